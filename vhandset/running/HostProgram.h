#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The Linux host's programs as the virtual handset reaches them. Natively they are this
// process's neighbours; inside the COM server, which runs in a Windows program under Wine, they
// are reached through Wine, which starts a Linux program given by its path on the Unix drive
// but hands back none of its exit status. So a program started here reports through files.
namespace HostProgram {

// A Linux path as this process names the file.
std::filesystem::path LocalName(const std::string& linuxPath);

// This process's name of a file as a Linux path; empty when there is none.
std::string LinuxName(const std::filesystem::path& local);

// Starts `argv` (argv[0] a Linux path) and returns without waiting for it. Its output and errors
// are appended to `outputFile`; when it ends, its exit status, a decimal and a line break, is
// written to `statusFile` (all Linux paths). False, with the reason in `failure`, when it could
// not be started.
bool StartInBackground(const std::vector<std::string>& argv, const std::string& outputFile,
                       const std::string& statusFile, std::string& failure);

// The shell script that runs the program apart from its starter, so that nothing of the
// starter's (its output pipe, its process) waits for it: `sh -c SCRIPT sh OUTPUT STATUS ARGV...`.
extern const char kBackgroundScript[];

} // namespace HostProgram
