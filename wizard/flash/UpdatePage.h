#pragma once

#include <atomic>

#include "CVug_CommsDLL.h"
#include "DialogBase.h"
#include "ImageLoader.h"
#include "PageLook.h"
#include "UpdateImage.h"
#include "UpdatePageView.h"
#include "UpdateWorker.h"
#include "WaitWindowThread.h"
#include "Win32ProgressBar.h"

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
    Win32ProgressBar m_ProgressBar{nullptr};
    CVug_CommsDLL m_Comms;
    ImageRecord m_UpdateRecord;
    ImageRecord m_IplRecord;
    CImageLoader m_Loader;
    WaitWindowThread m_WaitWindow;
    HeadingFont m_NoticeFont;
    SidePicture m_SidePicture;
    std::atomic<bool> m_bWaitCursor{false};
};
