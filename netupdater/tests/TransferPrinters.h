#pragma once

#include <ostream>

#include "DownloadTransfer.h"

// How the transfer's types show in the tests' failure messages.

inline void PrintTo(const Endpoint& e, std::ostream* os) {
    *os << (e.address >> 24) << '.' << ((e.address >> 16) & 0xFF) << '.'
        << ((e.address >> 8) & 0xFF) << '.' << (e.address & 0xFF) << ':' << e.port;
}

// Outcomes by name. A switch, so that the compiler names an outcome added without its name
// here.
inline void PrintTo(TransferOutcome outcome, std::ostream* os) {
#define KOV_OUTCOME(name)                                                                          \
    case TransferOutcome::name:                                                                    \
        *os << #name;                                                                              \
        return
    switch (outcome) {
        KOV_OUTCOME(Success);
        KOV_OUTCOME(BadSettings);
        KOV_OUTCOME(NoFile);
        KOV_OUTCOME(FileTooLarge);
        KOV_OUTCOME(LibraryFailed);
        KOV_OUTCOME(WrongVersion);
        KOV_OUTCOME(NoSocket);
        KOV_OUTCOME(NoAnswer);
        KOV_OUTCOME(ConnectError);
        KOV_OUTCOME(Refused);
        KOV_OUTCOME(TimedOut);
        KOV_OUTCOME(SocketFailed);
        KOV_OUTCOME(TargetError);
        KOV_OUTCOME(FileLost);
        KOV_OUTCOME(FinalFileLost);
        KOV_OUTCOME(FinalUnacknowledged);
    }
#undef KOV_OUTCOME
    *os << static_cast<int>(outcome);
}
