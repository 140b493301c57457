#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "DatagramSocket.h"

// What one download reads from "setting.ini" in the current directory, section "setting":
//   retrytimes     consecutive failed waits allowed per block (default 15, also when empty)
//   targetaddress  the target's IPv4 address (default 100.100.100.1)
//   targetport     the target's TFTP port (default 69)
// The last two exist so that the updater can be pointed at a server on another address,
// a test's loopback server above all.
struct UpdaterSettings {
    uint32_t retryLimit = 15;
    Endpoint target{0x64646401, 69};
    // Empty when the settings are usable; otherwise what is wrong with them.
    std::string problem;
};

// Reads the profile value `key` of `section` from the INI file at `path`, as the platform's
// profile functions see it. False when the file, the section or the key is missing.
bool ReadProfileText(const std::filesystem::path& path, const char* section, const char* key,
                     std::string& value);

// Reads the updater settings from `iniPath`; missing keys keep their defaults.
UpdaterSettings ReadUpdaterSettings(const std::filesystem::path& iniPath);

// The same from "setting.ini" in the current directory, read afresh at every call. The
// directory may be of any length, and on Windows its name need not fit the ANSI code page.
UpdaterSettings ReadUpdaterSettings();

// A profile integer as the platform reads one: leading decimal digits, 0 when there are
// none or the value is negative.
uint32_t ProfileInteger(const std::string& text);

// `text` without the blanks around it.
std::string Trimmed(const std::string& text);

// A dotted IPv4 address in host order; false for anything else.
bool ParseIpv4(const std::string& text, uint32_t& address);
