#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// A running handset in software, as ActiveSync would show it: its registry values, its power
// status, its files, and the programs it runs. It starts only what a handset could start (a
// Windows CE program for ARM, see HandsetImage.h), and runs it as a handset does: on an ARM
// processor (the host's user-mode emulator running the tree's program loader), after the start
// call has returned, with the program's calls acting on the handset's firmware flags, files and
// power. Its state lives in a folder, so a test sets it before a program uses the handset and
// reads it afterwards:
//
//   handset.ini     what the handset is (set by the test; every line optional):
//                     version=ROM 1.0         the "ZR_VERSION" text; without it, no such value
//                     version_unterminated=1  that text stored without its terminator
//                     charge=50               the "charge" value; without it, no such value
//                     percent=49              power-status percentage, or "none" (default 100)
//                     copy=fail               writing a file onto the handset fails
//                     connected=0             no handset on ActiveSync at all
//                     locked=init             listed on ActiveSync, but no session starts
//                                             (CeRapiInit fails), as with a locked handset
//                     locked=device_info      listed, but its device information cannot be read
//                     update_flag=fail        the firmware refuses the update-flag control,
//                     cp_area=fail            the customization-area control,
//                     masterclear_flag=fail   the MasterClear-flag control
//                     uptime=0                milliseconds the handset has been up when a
//                                             program starts: its tick count starts there
//                     loader=/x/bin/ceload    the program loader (a Linux path; without it no
//                                             program starts)
//                     emulator=/usr/bin/qemu-arm   the user-mode ARM emulator that runs it
//                     cpu=ti925t              the emulated processor (ti925t: ARMv4T,
//                                             pxa270: XScale)
//                     start_returns=after_exit   the start call returns only once the program
//                                             has ended (by default it returns at once)
//   files/          the handset's file system ("\Temp\log.txt" is files/Temp/log.txt)
//   journal.txt     one line per call the handset received over ActiveSync
//   flags.txt       one line per firmware flag a program set: update, cp-area, masterclear
//   calls.txt       one line per system call a program made, as the loader records it
//   program.txt     what the loader printed
//   exited          once the last program started has ended: the loader's exit status
//                   (0: the program returned; 2: the loader refused the image)
//   rebooted        present once a program rebooted the handset; it is then gone from
//                   ActiveSync
class RunningHandset {
public:
    explicit RunningHandset(std::filesystem::path folder);

    // Whether the handset is on ActiveSync now: listed, and not yet rebooted.
    bool Connected() const;
    // Whether a session or the device information is refused although the handset is listed.
    bool SessionLocked() const;
    bool DeviceInfoLocked() const;

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

    enum class StartFailure {
        kNone,
        kNoFile,      // no such file on the handset
        kNotAProgram, // not a program a handset could start
        kNoProcessor, // the loader or the emulator is missing or would not start
    };
    // Starts the program `application` with `commandLine` and returns without waiting for it
    // (unless handset.ini asks otherwise); what it does arrives later. On failure, `why` says
    // why in a few words.
    StartFailure Start(const std::wstring& application, const std::wstring& commandLine,
                       std::string& why);

    // Adds a line to the journal.
    void Note(const std::string& line);

    // Where `name` lives in the folder, or empty when it would leave the handset's files.
    std::filesystem::path HostPath(const std::wstring& name) const;

private:
    std::filesystem::path m_folder;
    std::map<std::string, std::string> m_settings;

    std::string Setting(const std::string& key, const std::string& otherwise = "") const;
    bool AwaitExit() const;
};
