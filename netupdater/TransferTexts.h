#pragma once

#include <string>

// Every text the transfer shows, exactly as users of the updater have always seen them.
namespace texts {
constexpr const char kBegin[] = "Begin to download to target...";
constexpr const char kNoFile[] = "The file to download is not exit!";
constexpr const char kLibraryFailed[] = "Set socket version error!";
constexpr const char kWrongVersion[] = "Validate socket version error!";
constexpr const char kNoAnswer[] =
    "Timeout!  The target may not in updating state, please check it and try again!";
constexpr const char kConnectError[] = "Connect EORROR!please reconnect your mobile with PC";
constexpr const char kDownloading[] = "It is downloading to target,  please wait...";
constexpr const char kTimedOut[] = "Timeout!  Download to Target failure!";
constexpr const char kSocketFailed[] = "Socket error!  Download to Target failure!";
constexpr const char kSuccess[] = "Download to Taget Success!";
constexpr const char kTooLarge[] = "The file to download is too large!";
constexpr const char kBadTarget[] =
    "The target set in setting.ini is not valid! Download to Target failure!";

// The target ended the transfer with an error datagram: its code and its message, the
// message already escaped.
inline std::string RefusedByTarget(unsigned code, const std::string& escapedMessage) {
    return "Refused by target (error " + std::to_string(code) + ": \"" + escapedMessage +
           "\")!  Download to Target failure!";
}
} // namespace texts
