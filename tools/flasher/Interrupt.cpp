#include "Interrupt.h"

#include <algorithm>
#include <cstring>

#include "Format.h"
#include "ToolTexts.h"

namespace {

std::atomic<const std::string*> g_searchLine{nullptr};
static_assert(std::atomic<const std::string*>::is_always_lock_free, "read in a signal handler");

} // namespace

StopTarget::StopTarget(CVug_CommsDLL& link, const std::string& label) : link_(link) {
    const auto stage = [](RunStage s) { return static_cast<int>(s); };
    stopLines_[stage(RunStage::Waiting)] = label + TXT_STOPPING_WAIT;
    stopLines_[stage(RunStage::Key)] = label + TXT_STOPPING_BLOCK;
    stopLines_[stage(RunStage::Transfer)] = label + TXT_STOPPING_BLOCK;
    stopLines_[stage(RunStage::Flashing)] = label + TXT_STOPPING_FLASHING;
    forcedLines_[stage(RunStage::Waiting)] = label + Format(TXT_FORCED, TXT_STOPPED_WAITING);
    forcedLines_[stage(RunStage::Key)] = label + Format(TXT_FORCED, TXT_STATE_KEPT);
    forcedLines_[stage(RunStage::Transfer)] = label + Format(TXT_FORCED, TXT_STATE_NOT_WHOLE);
    forcedLines_[stage(RunStage::Flashing)] = label + Format(TXT_FORCED, TXT_STATE_LEFT_FLASHING);
    forcedLines_[stage(RunStage::Ended)] = label;
}

void StopTarget::SetStage(RunStage stage) {
    stage_.store(static_cast<int>(stage));
}

void StopTarget::End(const std::string& handsetState) {
    const std::string line = forcedLines_[static_cast<int>(RunStage::Ended)] + handsetState;
    const size_t length = std::min(line.size(), kEndStateSize - 1);
    std::memcpy(endState_, line.data(), length);
    endState_[length] = '\n';
    endStateLength_.store(length + 1);
    SetStage(RunStage::Ended);
}

// The request is noted last, so that whoever sees it noted also sees the link asked.
void StopTarget::RequestStop() {
    link_.m_Abort = 1;
    link_.m_Cancel = 1;
    requested_.store(true);
}

// The link clears the request in the step that acts on it.
bool StopTarget::StoppedTheTransfer() const {
    return requested_.load() && link_.m_Abort.load() == 0;
}

const std::string& StopTarget::StopLine() const {
    return stopLines_[stage_.load()];
}

const char* StopTarget::ForcedLine(size_t& length) const {
    const int stage = stage_.load();
    if (stage == static_cast<int>(RunStage::Ended)) {
        length = endStateLength_.load();
        return endState_;
    }
    length = forcedLines_[stage].size();
    return forcedLines_[stage].data();
}

void SetSearchStopLine(const std::string* line) {
    g_searchLine.store(line);
}

void OnInterrupt(StopTarget* const* targets, size_t count, bool second) {
    WriteToStderr("\n", 1);
    const std::string* search = g_searchLine.load();
    if (search && !second)
        WriteToStderr(search->data(), search->size());
    for (size_t i = 0; i < count; ++i) {
        if (second) {
            size_t length = 0;
            const char* line = targets[i]->ForcedLine(length);
            WriteToStderr(line, length);
        } else {
            targets[i]->RequestStop();
            const std::string& line = targets[i]->StopLine();
            WriteToStderr(line.data(), line.size());
        }
    }
}
