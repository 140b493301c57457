#pragma once

#include <string>

// The settings file "KovShop.ini" beside the program. Each page holds its own; nothing is
// written, and every read goes to the file afresh.
class CAppSettings {
public:
    // Fixes the settings path from the running program's location; touches no file.
    CAppSettings();

    // Key "SoftwareVersion" of section "KovShop": at most 259 characters; a missing file,
    // section or key reads as empty text.
    std::wstring ReadSoftwareVersion() const;

private:
    std::wstring m_strSettingsPath;
};

// The full path of the running program file, however long.
std::wstring ProgramFilePath();
