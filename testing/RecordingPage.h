#pragma once

#include <string>
#include <vector>

#include "ProgressSink.h"
#include "UpdatePageView.h"

// An update page that writes down everything the worker and the link tell it, in order.
// Entries read "status: ...", "guidance: ...", "notice: ...", "box: ...", "link box: ...".
class RecordingPage : public UpdatePageView, public ProgressSink, public MessageSink {
public:
    void SetStatusLine(const std::wstring& t) override { Add(L"status: ", t); }
    void SetGuidanceText(const std::wstring& t) override { Add(L"guidance: ", t); }
    void SetNoticeText(const std::wstring& t) override { Add(L"notice: ", t); }
    void ShowMessageBox(const std::wstring& t) override { Add(L"box: ", t); }
    void SetWaitCursor(bool on) override { waitCursor.push_back(on); }
    void EnableClose() override { closeEnabled = true; }
    void DisableUpdate() override { updateDisabled = true; }
    void SetProgressPos(uint32_t pos) override { SetPos(pos); }

    void SetRange(uint32_t upper) override {
        ranges.push_back(upper);
        progress.push_back("range " + std::to_string(upper));
    }
    void SetPos(uint32_t pos) override {
        lastPos = pos;
        progress.push_back("pos " + std::to_string(pos));
    }

    void ShowMessage(const char* text, const char* caption) override {
        Add(L"link box: ", std::wstring(text, text + std::char_traits<char>::length(text)));
        (void)caption;
    }

    std::vector<std::wstring> entries;
    std::vector<bool> waitCursor;
    std::vector<uint32_t> ranges;
    std::vector<std::string> progress; // "range N" and "pos N", in order
    uint32_t lastPos = 0xFFFFFFFF;
    bool closeEnabled = false;
    bool updateDisabled = false;

    bool Has(const std::wstring& entry) const {
        for (const std::wstring& e : entries)
            if (e == entry)
                return true;
        return false;
    }

private:
    void Add(const wchar_t* kind, const std::wstring& text) { entries.push_back(kind + text); }
};
