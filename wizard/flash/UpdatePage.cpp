#include "UpdatePage.h"

#include <commctrl.h>

#include <utility>

#include "ShowError.h"
#include "UpdateKit.h"
#include "UpdatePageTexts.h"
#include "WizardTexts.h"
#include "resource.h"

namespace {

const UINT_PTR kProgressTimer = 1;

} // namespace

void PageProgressBar::SetRange(uint32_t upper) {
    m_range = upper;
    m_bPending = true;
}

void PageProgressBar::SetPos(uint32_t pos) {
    m_pos = pos;
    m_bPending = true;
}

void PageProgressBar::ShowMoves() {
    // Cleared first: a move made while this shows the last one is shown next time.
    if (!m_bPending.exchange(false))
        return;
    ::SendMessageW(m_hBar, PBM_SETRANGE32, 0, static_cast<LPARAM>(m_range.load()));
    ::SendMessageW(m_hBar, PBM_SETPOS, static_cast<WPARAM>(m_pos.load()), 0);
}

UpdatePage::UpdatePage(UINT templateId, const UpdatePageTraits& traits)
    : CDialogBase(templateId), m_Traits(traits), m_hIcon(ApplicationIcon()),
      m_Notice(RGB(255, 0, 0), RGB(236, 233, 216)) {}

UpdatePage::~UpdatePage() {
    // Close is disabled while the worker runs, so by now it has at most its last steps left.
    if (m_hWorker) {
        ::WaitForSingleObject(m_hWorker, INFINITE);
        ::CloseHandle(m_hWorker);
    }
}

void UpdatePage::TakeWaitWindow(WaitWindowThread waitWindow) {
    m_WaitWindow = std::move(waitWindow);
}

BOOL UpdatePage::OnInitDialog() {
    CDialogBase::OnInitDialog();
    m_progress = GetDlgItem(m_Traits.progressId);
    m_btnUpdate = GetDlgItem(IDC_BUTTON_UPDATE);
    m_staticStatus = GetDlgItem(m_Traits.statusId);
    m_btnClose = GetDlgItem(IDCANCEL);
    m_ProgressBar.Attach(m_progress);
    ::SetTimer(m_hWnd, kProgressTimer, PageProgressBar::kShowEveryMs, nullptr);
    SetPageIcons(m_hWnd);
    RaiseMainWindowAndCentre(m_hWnd);
    for (int id : m_Traits.noticeFontIds)
        if (id)
            m_NoticeFont.ApplyTo(m_hWnd, id);
    if (m_Traits.pictureBeforeCaption) {
        m_SidePicture.ShowDefault(m_hWnd);
        m_SidePicture.Show(m_hWnd);
        SetWindowText(WIZARD_TITLE);
    } else {
        SetWindowText(WIZARD_TITLE);
        m_SidePicture.ShowDefault(m_hWnd);
        m_SidePicture.Show(m_hWnd);
    }
    if (m_Traits.noticeAtInit)
        ::SetDlgItemTextW(m_hWnd, m_Traits.noticeId, m_Traits.noticeAtInit);

    if (!OpenKit()) {
        OnCancel();
        CShowError showError;
        showError.DoModal();
        return FALSE;
    }
    return TRUE;
}

int UpdatePage::OpenKit() {
    m_Comms.m_pCrcCheck = &m_UpdateRecord.crcCheck;
    m_Comms.m_pProgress = &m_ProgressBar;
    m_Comms.SetMessageSink(this);

    const auto reading = [this] { SetStatusLine(TXT_READING_INPUT_IMAGE); };
    const KitOutcome outcome =
        ReadUpdateKit(m_Loader, m_IplRecord, m_UpdateRecord, std::string(),
                      m_Traits.saysReadingInputImage ? reading : std::function<void()>());
    if (outcome == KitOutcome::Missing) {
        // The wait window would otherwise stay above the error page that follows.
        m_WaitWindow.End();
        ShowMessageBox(TXT_UNKNOWN_IMAGE_FILE);
        OnCancel();
        return 0;
    }
    if (outcome == KitOutcome::NotLoaded) {
        KitNotLoaded();
        return 1;
    }

    ShowVersions(ReadImageHeader(m_UpdateRecord.data.get(), m_UpdateRecord.size));

    if (!m_Comms.OpenUsbSyncDriver()) {
        m_UpdateRecord.Release();
        m_WaitWindow.End();
        ShowMessageBox(m_Traits.linkFailedText);
        OnCancel();
        return 1;
    }
    if (m_Traits.statusBeforeEndingWait) {
        SetStatusLine(TXT_USB_SYNC_OPEN);
        m_WaitWindow.End();
    } else {
        m_WaitWindow.End();
        SetStatusLine(TXT_USB_SYNC_OPEN);
    }
    return 1;
}

// The page stays up without a link and says why it cannot go on: there is no update image to
// send, so Update stays disabled, and the wait window goes instead of hiding the page.
void UpdatePage::KitNotLoaded() {
    m_WaitWindow.End();
    ::EnableWindow(m_btnUpdate, FALSE);
    SetStatusLine(TXT_IMAGE_UNREADABLE_STATUS);
    SetGuidanceText(TXT_CLICK_CLOSE_TO_QUIT);
    ShowMessageBox(TXT_IMAGE_UNREADABLE);
}

void UpdatePage::ShowVersions(const ImageHeader&) {}

bool UpdatePage::OnCommand(int controlId, int notifyCode) {
    if (controlId == IDC_BUTTON_UPDATE && notifyCode == BN_CLICKED) {
        OnUpdate();
        return true;
    }
    if (controlId == IDCANCEL) {
        OnClose();
        return true;
    }
    return false;
}

void UpdatePage::OnUpdate() {
    // Never a run without an update image, however the click arrived.
    if (!m_UpdateRecord.HasData() || m_hWorker)
        return;
    ::EnableWindow(m_btnUpdate, FALSE);
    ::EnableWindow(m_btnClose, FALSE);
    m_hWorker = ::CreateThread(nullptr, 0, &UpdatePage::WorkerThread, this, 0, nullptr);
    if (!m_hWorker)
        ::EnableWindow(m_btnClose, TRUE);
}

// Escape and the caption's close button come here as well as Close: while the worker runs,
// Close is disabled and the page must not go from under it.
void UpdatePage::OnClose() {
    if (m_btnClose && !::IsWindowEnabled(m_btnClose))
        return;
    OnCancel();
}

DWORD WINAPI UpdatePage::WorkerThread(LPVOID argument) {
    UpdatePage& page = *static_cast<UpdatePage*>(argument);
    UpdateRun run(page.m_Comms, page.m_UpdateRecord, page.m_IplRecord, page, page.m_Traits.kind);
    return UpdateThreadEntry(run);
}

bool UpdatePage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message == WM_CTLCOLORSTATIC &&
        ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == m_Traits.noticeId) {
        result = m_Notice.Paint(reinterpret_cast<HDC>(wParam));
        return true;
    }
    if (message == WM_TIMER && wParam == kProgressTimer) {
        m_ProgressBar.ShowMoves();
        return true;
    }
    if (message == WM_SETCURSOR && m_bWaitCursor) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
        result = TRUE;
        return true;
    }
    return false;
}

void UpdatePage::SetStatusLine(const std::wstring& text) {
    ::SetWindowTextW(m_staticStatus, text.c_str());
}

void UpdatePage::SetGuidanceText(const std::wstring& text) {
    ::SetDlgItemTextW(m_hWnd, m_Traits.guidanceId, text.c_str());
}

void UpdatePage::SetNoticeText(const std::wstring& text) {
    ::SetDlgItemTextW(m_hWnd, m_Traits.noticeId, text.c_str());
}

void UpdatePage::ShowMessageBox(const std::wstring& text) {
    ShowPageMessage(m_hWnd, text.c_str(), TXT_ERROR_CAPTION);
}

void UpdatePage::SetWaitCursor(bool on) {
    m_bWaitCursor = on;
}

void UpdatePage::EnableClose() {
    ::EnableWindow(m_btnClose, TRUE);
}

void UpdatePage::DisableUpdate() {
    ::EnableWindow(m_btnUpdate, FALSE);
}

void UpdatePage::SetProgressPos(uint32_t pos) {
    m_ProgressBar.SetPos(pos);
}

void UpdatePage::ShowMessage(const char* text, const char* caption) {
    const std::wstring wideCaption = caption ? DecodeAnsi(caption) : TXT_ERROR_CAPTION;
    ShowPageMessage(m_hWnd, DecodeAnsi(text ? text : "").c_str(), wideCaption.c_str());
}
