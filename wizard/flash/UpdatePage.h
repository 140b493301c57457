#pragma once

#include <atomic>

#include "CVug_CommsDLL.h"
#include "DialogBase.h"
#include "ImageLoader.h"
#include "PageLook.h"
#include "ProgressSink.h"
#include "UpdateImage.h"
#include "UpdatePageView.h"
#include "UpdateWorker.h"
#include "WaitWindowThread.h"

// What sets the normal and the rescue update page apart, apart from the normal page's version
// display.
struct UpdatePageTraits {
    PageKind kind;
    int statusId, guidanceId, noticeId, progressId;
    int noticeFontIds[2]; // 0: none
    bool pictureBeforeCaption;
    const wchar_t* noticeAtInit; // null keeps the template's text
    bool saysReadingInputImage;
    bool statusBeforeEndingWait; // when the link opens
    const wchar_t* linkFailedText;
};

// The page's progress bar as the link and the worker move it: they only note the latest range
// and position, and the page's own thread shows them a few times a second. A transfer thus
// never waits for the bar to paint (under Wine a synchronous request cost a paint per 64 KiB
// block, more than the block's own transfer), and moves that come faster than the eye can
// follow are merged into the last one.
class PageProgressBar : public ProgressSink {
public:
    // How often the page's thread looks for a move to show.
    static constexpr UINT kShowEveryMs = 40;

    void Attach(HWND bar) { m_hBar = bar; }
    void SetRange(uint32_t upper) override;
    void SetPos(uint32_t pos) override;
    // On the page's thread: shows the latest range and position when they moved.
    void ShowMoves();

private:
    HWND m_hBar = nullptr;
    std::atomic<uint32_t> m_range{100};
    std::atomic<uint32_t> m_pos{0};
    std::atomic<bool> m_bPending{false};
};

// An update page: reads the kit whole, opens the link while its creator's wait window is up,
// ends that window, and on Update runs the update worker on a thread of its own. The link
// object, the image records and the loader live and die with the page.
class UpdatePage : public CDialogBase, public UpdatePageView, public MessageSink {
public:
    ~UpdatePage() override;

    // The creator's wait window, shown while the page opens the link; the page ends it.
    void TakeWaitWindow(WaitWindowThread waitWindow);

    // UpdatePageView: the worker calls these from its thread.
    void SetStatusLine(const std::wstring& text) override;
    void SetGuidanceText(const std::wstring& text) override;
    void SetNoticeText(const std::wstring& text) override;
    void ShowMessageBox(const std::wstring& text) override;
    void SetWaitCursor(bool on) override;
    void EnableClose() override;
    void DisableUpdate() override;
    void SetProgressPos(uint32_t pos) override;

    // MessageSink: the link's own two boxes, owned by the page like the worker's, so that
    // they come up above it rather than behind the topmost page.
    void ShowMessage(const char* text, const char* caption) override;

protected:
    UpdatePage(UINT templateId, const UpdatePageTraits& traits);

    BOOL OnInitDialog() override;
    bool OnCommand(int controlId, int notifyCode) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    // What the normal page shows of the versions once the kit is read; nothing here.
    virtual void ShowVersions(const ImageHeader& header);

private:
    int OpenKit();
    void KitNotLoaded();
    void OnUpdate();
    void OnClose();
    static DWORD WINAPI WorkerThread(LPVOID page);

    const UpdatePageTraits& m_Traits;
    HICON m_hIcon;
    ColouredText m_Notice; // red on the page's RGB(236, 233, 216) brush
    HWND m_progress = nullptr;
    HWND m_btnUpdate = nullptr;
    HWND m_staticStatus = nullptr;
    HWND m_btnClose = nullptr;
    HANDLE m_hWorker = nullptr;
    PageProgressBar m_ProgressBar;
    CVug_CommsDLL m_Comms;
    ImageRecord m_UpdateRecord;
    ImageRecord m_IplRecord;
    CImageLoader m_Loader;
    WaitWindowThread m_WaitWindow;
    HeadingFont m_NoticeFont;
    SidePicture m_SidePicture;
    std::atomic<bool> m_bWaitCursor{false};
};
