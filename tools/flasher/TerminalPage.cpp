#include "TerminalPage.h"

#include <algorithm>

#include "Format.h"
#include "Interrupt.h"
#include "LinkWords.h"
#include "TerminalEscape.h"
#include "ToolTexts.h"
#include "Utf8.h"

namespace {

constexpr double MIB_BYTES = 1048576.0;

const char* PhaseName(UpdatePhase phase) {
    switch (phase) {
    case UpdatePhase::Key:
        return "key";
    case UpdatePhase::Transfer:
        return "transfer";
    case UpdatePhase::Flashing:
        return "flashing";
    }
    return "unknown";
}

// The worker's error texts all start so; the status line's error is the one that names what
// failed ("Error, Download OS Failed."), so it must reach even a quiet terminal.
bool IsErrorText(const std::wstring& text) {
    return text.compare(0, 5, L"Error") == 0;
}

RunStage StageOf(UpdatePhase phase) {
    switch (phase) {
    case UpdatePhase::Key:
        return RunStage::Key;
    case UpdatePhase::Transfer:
        return RunStage::Transfer;
    case UpdatePhase::Flashing:
        return RunStage::Flashing;
    }
    return RunStage::Key;
}

std::string Duration(double seconds) {
    long s = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

} // namespace

TerminalPage::TerminalPage(Console& console, const std::string& device, size_t slot, bool labelled)
    : console_(console), device_(device),
      label_(labelled ? Format(TXT_DEVICE_LABEL, device.c_str()) : std::string()), slot_(slot) {}

void TerminalPage::Event(const char* name, const std::string& members) {
    if (console_.Mode() != OutputMode::Json)
        return;
    std::string line = std::string("{\"event\":\"") + name + "\"";
    if (!device_.empty())
        line += ",\"device\":" + JsonString(device_);
    if (!members.empty())
        line += "," + members;
    console_.Line(line + "}");
}

void TerminalPage::Say(const char* kind, const std::string& text, bool evenWhenQuiet) {
    if (console_.Mode() == OutputMode::Json) {
        Event(kind, "\"text\":" + JsonString(text));
        return;
    }
    if (console_.Mode() == OutputMode::Quiet && !evenWhenQuiet)
        return;
    console_.Line(EscapeControls(label_ + text));
}

void TerminalPage::ShowState(const std::string& text) {
    if (console_.Live())
        console_.Progress(slot_, EscapeControls(label_ + text));
}

void TerminalPage::Text(const char* kind, const std::wstring& text, bool evenWhenQuiet) {
    Say(kind, Utf8(text), evenWhenQuiet);
}

void TerminalPage::SetStatusLine(const std::wstring& text) {
    Text("status", text, IsErrorText(text));
}
void TerminalPage::SetGuidanceText(const std::wstring& text) {
    Text("guidance", text, false);
}
void TerminalPage::SetNoticeText(const std::wstring& text) {
    Text("notice", text, false);
}

void TerminalPage::ShowMessageBox(const std::wstring& text) {
    if (console_.Mode() == OutputMode::Json)
        Event("message", "\"caption\":\"Error\",\"text\":" + JsonString(Utf8(text)));
    else
        Say("message", Format(TXT_CAPTIONED, TXT_ERROR_CAPTION, Utf8(text).c_str()), true);
}

void TerminalPage::ShowMessage(const char* text, const char* caption) {
    if (console_.Mode() == OutputMode::Json)
        Event("message", "\"caption\":" + JsonString(caption ? caption : "") +
                             ",\"text\":" + JsonString(text));
    else
        Say("message", Format(TXT_CAPTIONED, caption ? caption : TXT_ERROR_CAPTION, text), true);
}

void TerminalPage::SetProgressPos(uint32_t pos) {
    pos_ = pos;
    Event("progress", "\"pos\":" + std::to_string(pos));
}

void TerminalPage::EndRun(const std::string& state) {
    if (stop_)
        stop_->End(state);
}

void TerminalPage::EnterPhase(UpdatePhase phase, const char* partition, uint32_t bytes) {
    if (stop_)
        stop_->SetStage(StageOf(phase));
    inPhase_ = true;
    phase_ = phase;
    partition_ = partition ? partition : "";
    partitionBytes_ = bytes;
    range_ = pos_ = 0;
    lastDecile_ = -1;
    drawn_ = false;
    phaseStart_ = std::chrono::steady_clock::now();
    if (console_.Mode() == OutputMode::Json) {
        std::string members = std::string("\"phase\":\"") + PhaseName(phase) + "\"";
        if (partition)
            members +=
                ",\"partition\":" + JsonString(partition) + ",\"bytes\":" + std::to_string(bytes);
        Event("phase", members);
    } else if (phase == UpdatePhase::Key) {
        ShowState(PhaseName(phase));
    }
}

void TerminalPage::SetRange(uint32_t upper) {
    range_ = upper;
    pos_ = 0;
    if (console_.Mode() == OutputMode::Json)
        Event("progress", "\"range\":" + std::to_string(upper));
}

void TerminalPage::SetPos(uint32_t pos) {
    pos_ = pos;
    if (console_.Mode() == OutputMode::Json) {
        Event("progress", "\"pos\":" + std::to_string(pos));
        return;
    }
    if (console_.Mode() == OutputMode::Human && inPhase_ && phase_ != UpdatePhase::Key)
        DrawBar(false);
}

// The link counts blocks of 64 KiB while it sends, and whatever unit the handset chooses while
// it flashes; both become a share of the bar, and a transfer also gets bytes, speed and time left.
// A live line is redrawn at most ten times a second; elsewhere a line is written each tenth.
void TerminalPage::DrawBar(bool final) {
    if (range_ == 0)
        return;
    const double share = std::min(1.0, static_cast<double>(pos_) / range_);
    const auto now = std::chrono::steady_clock::now();
    const int decile = static_cast<int>(share * 10);
    if (console_.Live()) {
        if (!final && drawn_ && now - lastDraw_ < std::chrono::milliseconds(100) && share < 1.0)
            return;
    } else if (decile == lastDecile_ && !final) {
        return;
    }
    lastDraw_ = now;
    lastDecile_ = decile;
    drawn_ = true;

    const int width = 30;
    std::string bar(static_cast<size_t>(share * width), '#');
    bar.resize(width, ' ');
    std::string text;
    if (phase_ == UpdatePhase::Transfer) {
        const double seconds = std::chrono::duration<double>(now - phaseStart_).count();
        const double done =
            std::min<double>(partitionBytes_, static_cast<double>(pos_) * LINK_BLOCK_SIZE);
        const double rate = seconds > 0 ? done / seconds : 0;
        const double left = rate > 0 ? (partitionBytes_ - done) / rate : 0;
        text = Format(TXT_BAR_TRANSFER, partition_.c_str(), bar.c_str(),
                      static_cast<int>(share * 100), done / MIB_BYTES, partitionBytes_ / MIB_BYTES,
                      rate / MIB_BYTES, Duration(left).c_str());
    } else {
        text = Format(TXT_BAR_FLASHING, bar.c_str(), static_cast<int>(share * 100));
    }
    console_.Progress(slot_, label_ + text);
}
