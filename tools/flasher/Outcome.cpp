#include "Outcome.h"

#include <algorithm>

#include "Format.h"
#include "ToolTexts.h"

namespace {

// What kovflash makes of each way an update can end.
struct FailureFacts {
    int exit;
    const char* result;
    const char* state;
};

FailureFacts FactsOf(UpdateFailure failure) {
    switch (failure) {
    case UpdateFailure::None:
        return {EXIT_FINISHED, TXT_RESULT_FINISHED, TXT_STATE_UPDATED};
    case UpdateFailure::DamagedImage:
    case UpdateFailure::IplMismatch:
    case UpdateFailure::UnknownMode:
        return {EXIT_KIT, TXT_RESULT_KIT, TXT_STATE_NOTHING_SENT};
    case UpdateFailure::KeyRefused:
        return {EXIT_REFUSED, TXT_RESULT_KEY_REFUSED, TXT_STATE_REFUSED};
    case UpdateFailure::VersionRefused:
        return {EXIT_REFUSED, TXT_RESULT_VERSION_REFUSED, TXT_STATE_REFUSED};
    case UpdateFailure::FlashMode:
        return {EXIT_LINK_FAILED, TXT_RESULT_FLASH_MODE, TXT_STATE_NOT_WHOLE};
    case UpdateFailure::Transfer:
        return {EXIT_LINK_FAILED, TXT_RESULT_TRANSFER, TXT_STATE_NOT_WHOLE};
    case UpdateFailure::MessageLoop:
        return {EXIT_FLASHING, TXT_RESULT_FLASHING, TXT_STATE_STOPPED_FLASHING};
    case UpdateFailure::UploadRefused:
        return {EXIT_FLASHING, TXT_RESULT_UPLOAD_REFUSED, TXT_STATE_UPLOAD_REFUSED};
    }
    return {EXIT_LINK_FAILED, TXT_RESULT_TRANSFER, TXT_STATE_NOT_WHOLE};
}

} // namespace

// A link that failed while the key was still on its way sent no partition.
const char* HandsetState(UpdateFailure failure, UpdatePhase phase) {
    const bool linkFailed =
        failure == UpdateFailure::FlashMode || failure == UpdateFailure::Transfer;
    return linkFailed && phase == UpdatePhase::Key ? TXT_STATE_KEPT : FactsOf(failure).state;
}

int ExitFor(UpdateFailure failure) {
    return FactsOf(failure).exit;
}

const char* ResultOf(UpdateFailure failure) {
    return FactsOf(failure).result;
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
