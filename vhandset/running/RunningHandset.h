#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// A running handset in software, as ActiveSync would show it: its registry values, its power
// status, its files, and the switch tool run against its firmware flags. Its state lives in a
// folder, so a test sets it before a program uses the handset and reads it afterwards:
//
//   handset.ini     what the handset is (set by the test; every line optional):
//                     version=ROM 1.0         the "ZR_VERSION" text; without it, no such value
//                     version_unterminated=1  that text stored without its terminator
//                     charge=50               the "charge" value; without it, no such value
//                     percent=49              power-status percentage, or "none" (default 100)
//                     update_flag=fail        the firmware refuses the update-flag control
//                     copy=fail               writing a file onto the handset fails
//                     connected=0             no handset on ActiveSync at all
//   files/          the handset's file system ("\Temp\log.txt" is files/Temp/log.txt)
//   flags.txt       one line per firmware flag set: update, cp-area, masterclear
//   journal.txt     one line per call the handset received
//   rebooted        present once the handset rebooted; it is then gone from ActiveSync
class RunningHandset {
public:
    explicit RunningHandset(std::filesystem::path folder);

    // Whether a connection can be made now.
    bool Connected() const;

    // Registry of HKEY_LOCAL_MACHINE: whether the key exists, and a value's bytes as the
    // handset stores them.
    bool HasKey(const std::wstring& key) const;
    bool ReadValue(const std::wstring& key, const std::wstring& name,
                   std::vector<uint8_t>& bytes) const;

    // The main battery's percentage; false when the status cannot be read.
    bool BatteryPercent(uint8_t& percent) const;

    // Replaces the handset file `name` (a path from the root, "\Temp\x") with `bytes`. False
    // when writing fails or the name leaves the handset's file system.
    bool WriteFile(const std::wstring& name, const std::vector<uint8_t>& bytes);

    // Starts the program `application` with `commandLine`. The handset runs one program: the
    // switch tool, which sets the flags, writes its log and reboots the handset. False when
    // the file does not exist on the handset.
    bool Start(const std::wstring& application, const std::wstring& commandLine);

    // Adds a line to the journal.
    void Note(const std::string& line);

    // Where `name` lives in the folder, or empty when it would leave the handset's files.
    std::filesystem::path HostPath(const std::wstring& name) const;

private:
    std::filesystem::path m_folder;
    std::map<std::string, std::string> m_settings;

    std::string Setting(const std::string& key, const std::string& otherwise = "") const;
};
