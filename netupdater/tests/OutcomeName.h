#pragma once

#include <ostream>

#include "DownloadTransfer.h"

// Transfer outcomes by name in the tests' failure messages. A switch, so that the compiler
// names an outcome added without its name here.
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
