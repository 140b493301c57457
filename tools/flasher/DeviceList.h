#pragma once

#include <chrono>
#include <string>
#include <vector>

// How long kovflash pauses between two looks for a handset that is not there yet: a handset
// plugged in is taken before anyone notices the delay, and the looking costs the PC nothing.
constexpr std::chrono::milliseconds kLookAgain{75};

// Every device present that a handset in its boot loader shows up as, in order: on Windows
// "\\.\WCEUSBSH001", "\\.\WCEUSBSH002", ... (each one that opens); elsewhere the USB serial
// devices /dev/ttyACM*, or what the pattern in KOVFLASH_ALL_GLOB names (a folder of links to
// the ptys of virtual boot loaders, for tests).
std::vector<std::string> BootLoaderDevices();

// The device a single update uses when none is named: Windows has one, elsewhere there is none.
std::string DefaultDevice();
