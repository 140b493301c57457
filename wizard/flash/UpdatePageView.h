#pragma once

#include <cstdint>
#include <string>

enum class UpdatePhase {
    Key,      // the key block goes to the handset
    Transfer, // a partition goes to the handset's RAM
    Flashing, // the handset writes its flash and reports through its message stream
};

// The update page as the update worker sees it. The Win32 update pages implement it with their
// controls, the command-line flasher on a terminal, the tests with a recorder. The worker calls
// it from its own thread.
class UpdatePageView {
public:
    virtual ~UpdatePageView() = default;

    virtual void SetStatusLine(const std::wstring& text) = 0;
    virtual void SetGuidanceText(const std::wstring& text) = 0;
    virtual void SetNoticeText(const std::wstring& text) = 0;
    // A message box owned by the page: caption "Error", an OK button, topmost. Returns when the
    // user has closed it.
    virtual void ShowMessageBox(const std::wstring& text) = 0;
    virtual void SetWaitCursor(bool on) = 0;
    virtual void EnableClose() = 0;
    virtual void DisableUpdate() = 0;
    virtual void SetProgressPos(uint32_t pos) = 0;

    // Where the run stands, for front-ends that show more than the page's controls. A
    // partition transfer names its partition and length; the other phases pass null and 0.
    virtual void EnterPhase(UpdatePhase phase, const char* partition, uint32_t bytes) {
        (void)phase;
        (void)partition;
        (void)bytes;
    }
};
