#include "ProgressSink.h"
#include "Win32ProgressBar.h"

#include <commctrl.h>
#include <windows.h>

ProgressSink::~ProgressSink() = default;
MessageSink::~MessageSink() = default;

void Win32ProgressBar::SetRange(uint32_t upper) {
    SendMessageW(m_hWnd, PBM_SETRANGE32, 0, static_cast<LPARAM>(upper));
}

void Win32ProgressBar::SetPos(uint32_t pos) {
    SendMessageW(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

namespace {

class MessageBoxes : public MessageSink {
public:
    void ShowMessage(const char* text, const char* caption) override {
        MessageBoxA(nullptr, text, caption, MB_OK | MB_TOPMOST);
    }
};

} // namespace

MessageSink& MessageSink::Default() {
    static MessageBoxes sink;
    return sink;
}
