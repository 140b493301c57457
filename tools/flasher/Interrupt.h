#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "CVug_CommsDLL.h"

// Where one device's update stands, as Ctrl-C sees it.
enum class RunStage { Waiting, Key, Transfer, Flashing, Ended, Count };

// What Ctrl-C reaches on one device: its link, where its update stands, and what to say. The
// first Ctrl-C asks the link to stop where it can and says what will happen; a second one ends
// the program at once and says in what state each handset was left. A signal handler may only
// write what was made before it ran, so every text is made when the target is, and the state at
// the end of a run is copied into a buffer of its own.
class StopTarget {
public:
    // `label` starts each line ("" for a single device).
    StopTarget(CVug_CommsDLL& link, const std::string& label);
    StopTarget(const StopTarget&) = delete;
    StopTarget& operator=(const StopTarget&) = delete;

    void SetStage(RunStage stage);
    // Ends the run with the handset's state, which a later forced stop repeats.
    void End(const std::string& handsetState);

    // For the handler: ask the link to stop, and the two lines it writes.
    void RequestStop();
    // Whether the link ended a transfer because it was asked to stop. A failure after Ctrl-C
    // that the link did not stop for (a firmware error while the handset writes its flash, a
    // refused key, a pulled cable) is the handset's own, and is reported as such.
    bool StoppedTheTransfer() const;
    const std::string& StopLine() const;
    const char* ForcedLine(size_t& length) const;

private:
    static constexpr size_t kEndStateSize = 512;
    static constexpr int kStages = static_cast<int>(RunStage::Count);

    CVug_CommsDLL& link_;
    std::atomic<bool> requested_{false};
    std::atomic<int> stage_{0};
    std::string stopLines_[kStages];
    std::string forcedLines_[kStages];
    char endState_[kEndStateSize] = {};
    std::atomic<size_t> endStateLength_{0};
};

// Ctrl-C (and SIGTERM) reaches every target; they must outlive the run.
void InstallInterruptHandler(StopTarget* const* targets, size_t count);
// More targets of the same array: the array must not have moved since it was installed.
void SetInterruptTargetCount(size_t count);
// While kovflash looks for handsets that come later, what the first Ctrl-C says about that;
// null when it does not look. The text must stay until it is taken back.
void SetSearchStopLine(const std::string* line);
// Before the targets go: Ctrl-C then only ends the program.
void ClearInterruptTargets();
bool Interrupted();

// The handler's work, shared by the platforms: `second` when the user pressed Ctrl-C again.
void OnInterrupt(StopTarget* const* targets, size_t count, bool second);
// Writes to standard error with what a signal handler may call.
void WriteToStderr(const char* text, size_t length);
