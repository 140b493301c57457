#include "Outcome.h"

#include <algorithm>

#include "Format.h"
#include "ToolTexts.h"

const char* HandsetState(UpdateFailure failure, UpdatePhase phase) {
    switch (failure) {
    case UpdateFailure::None:
        return TXT_STATE_UPDATED;
    case UpdateFailure::DamagedImage:
    case UpdateFailure::IplMismatch:
    case UpdateFailure::UnknownMode:
        return TXT_STATE_NOTHING_SENT;
    case UpdateFailure::KeyRefused:
    case UpdateFailure::VersionRefused:
        return TXT_STATE_REFUSED;
    case UpdateFailure::FlashMode:
    case UpdateFailure::Transfer:
        return phase == UpdatePhase::Key ? TXT_STATE_KEPT : TXT_STATE_NOT_WHOLE;
    case UpdateFailure::MessageLoop:
        return TXT_STATE_STOPPED_FLASHING;
    }
    return "";
}

int ExitFor(UpdateFailure failure) {
    switch (failure) {
    case UpdateFailure::None:
        return EXIT_FINISHED;
    case UpdateFailure::DamagedImage:
    case UpdateFailure::IplMismatch:
    case UpdateFailure::UnknownMode:
        return EXIT_KIT;
    case UpdateFailure::KeyRefused:
    case UpdateFailure::VersionRefused:
        return EXIT_REFUSED;
    case UpdateFailure::FlashMode:
    case UpdateFailure::Transfer:
        return EXIT_LINK_FAILED;
    case UpdateFailure::MessageLoop:
        return EXIT_FLASHING;
    }
    return EXIT_LINK_FAILED;
}

const char* ResultOf(UpdateFailure failure) {
    switch (failure) {
    case UpdateFailure::None:
        return TXT_RESULT_FINISHED;
    case UpdateFailure::DamagedImage:
    case UpdateFailure::IplMismatch:
    case UpdateFailure::UnknownMode:
        return TXT_RESULT_KIT;
    case UpdateFailure::KeyRefused:
        return TXT_RESULT_KEY_REFUSED;
    case UpdateFailure::VersionRefused:
        return TXT_RESULT_VERSION_REFUSED;
    case UpdateFailure::FlashMode:
        return TXT_RESULT_FLASH_MODE;
    case UpdateFailure::Transfer:
        return TXT_RESULT_TRANSFER;
    case UpdateFailure::MessageLoop:
        return TXT_RESULT_FLASHING;
    }
    return "";
}

int CombinedExit(const std::vector<DeviceOutcome>& outcomes) {
    if (outcomes.empty())
        return EXIT_NO_DEVICE;
    const int first = outcomes.front().exit;
    for (const DeviceOutcome& o : outcomes)
        if (o.exit != first)
            return EXIT_DEVICES_DIFFER;
    return first;
}

std::vector<std::string> SummaryLines(const std::vector<DeviceOutcome>& outcomes) {
    size_t deviceWidth = 0, resultWidth = 0;
    for (const DeviceOutcome& o : outcomes) {
        deviceWidth = std::max(deviceWidth, o.device.size());
        resultWidth = std::max(resultWidth, o.result.size());
    }
    std::vector<std::string> lines;
    for (const DeviceOutcome& o : outcomes)
        lines.push_back(Format(TXT_SUMMARY_LINE, static_cast<int>(deviceWidth), o.device.c_str(),
                               static_cast<int>(resultWidth), o.result.c_str(), o.exit, o.seconds,
                               o.state.c_str()));
    return lines;
}
