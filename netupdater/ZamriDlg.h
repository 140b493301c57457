#pragma once

#include <windows.h>

#include <mutex>
#include <string>

#include "DialogBase.h"
#include "TransferView.h"

// The updater window: the download path, Browse, Download and the About box, and the
// operations through which a running transfer reports to the user. Those are called from
// the transfer's worker thread and change the controls through window messages, which the
// window's own thread serves; it never waits for the worker.
class CZamriDlg : public CDialogBase, public TransferView {
public:
    CZamriDlg();

    // TransferView, for the worker thread.
    void EnableDownload(bool enable) override;
    void SetStatus(const std::string& text) override;
    void SetProgressText(const std::string& text) override;
    void SetProgressRange(uint16_t maximum) override;
    void SetProgressPosition(uint32_t position) override;
    void ShowMessage(const std::string& text) override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int controlId, int notifyCode) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void OnBrowse();
    void OnDownload();
    void OnPaintIconic();
    std::wstring PathFieldText() const;
    int Ask(const std::wstring& text, UINT buttons) const;

    std::wstring m_strDownloadPath;
    // Written by transfer threads: once a transfer has enabled Download again, a second one can
    // start while the first still sets its last status line.
    std::mutex m_statusLock;
    std::wstring m_strStatus;
    std::wstring m_strProgress;
    HICON m_hIcon;
};

// The updater window once it has been initialised; the transfer finds it here.
extern CZamriDlg* g_pUpdaterWindow;

// The executable's file name without folder or extension: every message box's caption.
std::wstring ProgramCaption();

// The remembered-path file.
extern const char kRememberedPathFile[];
