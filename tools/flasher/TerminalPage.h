#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "ProgressSink.h"
#include "UpdatePageView.h"

class StopTarget;

enum class OutputMode { Human, Quiet, Json };

// The update page on a terminal: the worker's texts as lines, the link's progress as a live bar
// with throughput and time left, the link's message boxes as error lines. In JSON mode every
// event is one JSON object on its own line, for scripts and other front-ends.
class TerminalPage : public UpdatePageView, public ProgressSink, public MessageSink {
public:
    TerminalPage(OutputMode mode, std::FILE* out, bool liveBar);

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

    UpdatePhase Phase() const { return phase_; }
    // Tells Ctrl-C where the update stands (not owned; null for none).
    void SetStopTarget(StopTarget* stop) { stop_ = stop; }
    // The run is over, with the handset in `state`; a forced stop after this repeats it.
    void EndRun(const std::string& state);

private:
    void Text(const char* kind, const std::wstring& text, bool evenWhenQuiet);
    void DrawBar(bool final);
    void EndBar();

    OutputMode mode_;
    StopTarget* stop_ = nullptr;
    std::FILE* out_;
    bool liveBar_;
    bool barShown_ = false;
    bool inPhase_ = false;
    UpdatePhase phase_ = UpdatePhase::Key;
    std::string partition_;
    uint32_t partitionBytes_ = 0;
    uint32_t range_ = 0;
    uint32_t pos_ = 0;
    int lastDecile_ = -1;
    std::chrono::steady_clock::time_point phaseStart_;
    std::chrono::steady_clock::time_point lastDraw_;
};

std::string JsonString(const std::string& utf8);
