#pragma once

#include <cstddef>
#include <string>

// The rules that start-up and CAppSettings follow, apart from the platform calls that apply
// them, so they can be checked on any machine.

#include "WizardTexts.h"

// The most characters of the SoftwareVersion setting that are used: the profile read fills a
// 260-character buffer, terminator included.
constexpr std::size_t SOFTWARE_VERSION_MAX = 259;

// "KovShop.ini" beside the program file whose full path is `programPath`: its directory, cut
// before the last backslash, then "\KovShop.ini".
std::wstring SettingsPathBeside(const std::wstring& programPath);

// A SoftwareVersion value as the program uses it: at most SOFTWARE_VERSION_MAX characters.
std::wstring UsableSoftwareVersion(const std::wstring& value);

// The title that wait windows carry and a second copy looks for: the SoftwareVersion text
// directly followed by the wizard title.
std::wstring DecoratedTitle(const std::wstring& softwareVersion);

// The program file's name without directory or extension: the caption of start-up's message
// box.
std::wstring ProgramName(const std::wstring& programPath);
