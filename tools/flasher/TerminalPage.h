#pragma once

#include <chrono>
#include <string>

#include "Console.h"
#include "ProgressSink.h"
#include "TerminalEscape.h"
#include "UpdatePageView.h"

class StopTarget;

// One device's update page on the shared terminal: the worker's texts as lines, the link's
// progress as a progress line with throughput and time left, the link's message boxes as error
// lines. With several devices each line starts with its device. In JSON mode every event is one
// JSON object on its own line, carrying its device, for scripts and other front-ends. A page
// without a device speaks for the run as a whole (the kit, the summary).
class TerminalPage : public UpdatePageView, public ProgressSink, public MessageSink {
public:
    // `slot` is the device's progress line; `labelled` starts its lines with the device.
    TerminalPage(Console& console, const std::string& device = std::string(), size_t slot = 0,
                 bool labelled = false);

    // UpdatePageView
    void SetStatusLine(const std::wstring& text) override;
    void SetGuidanceText(const std::wstring& text) override;
    void SetNoticeText(const std::wstring& text) override;
    void ShowMessageBox(const std::wstring& text) override;
    void SetWaitCursor(bool) override {}
    void EnableClose() override {}
    void DisableUpdate() override {}
    // The worker's closing reset of the bar: nothing left to draw on a terminal.
    void SetProgressPos(uint32_t pos) override;
    void EnterPhase(UpdatePhase phase, const char* partition, uint32_t bytes) override;

    // ProgressSink: the link's progress bar
    void SetRange(uint32_t upper) override;
    void SetPos(uint32_t pos) override;

    // MessageSink: the link's own message boxes
    void ShowMessage(const char* text, const char* caption) override;

    // A line of the flasher's own, outside the worker's texts. `kind` names it in JSON mode.
    void Say(const char* kind, const std::string& text, bool evenWhenQuiet = false);
    // In JSON mode, an event with preformatted members (`members` is `"a":1,"b":"x"`).
    void Event(const char* name, const std::string& members);
    // The device's progress line, outside any phase ("waiting").
    void ShowState(const std::string& text);

    UpdatePhase Phase() const { return phase_; }
    // Tells Ctrl-C where the update stands (not owned; null for none).
    void SetStopTarget(StopTarget* stop) { stop_ = stop; }
    // The run is over, with the handset in `state`; a forced stop after this repeats it.
    void EndRun(const std::string& state);

private:
    void Text(const char* kind, const std::wstring& text, bool evenWhenQuiet);
    void DrawBar(bool final);

    Console& console_;
    std::string device_;
    std::string label_; // what starts each line: the device, or nothing
    size_t slot_;
    StopTarget* stop_ = nullptr;
    bool inPhase_ = false;
    UpdatePhase phase_ = UpdatePhase::Key;
    std::string partition_;
    uint32_t partitionBytes_ = 0;
    uint32_t range_ = 0;
    uint32_t pos_ = 0;
    int lastDecile_ = -1;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point phaseStart_;
    std::chrono::steady_clock::time_point lastDraw_;
};
