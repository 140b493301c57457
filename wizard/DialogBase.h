#pragma once

#include <windows.h>

#include <string>

// Moves texts between a dialog's controls and the page's members, in one direction at a time.
class DataExchange {
public:
    DataExchange(HWND dialog, bool saving) : m_hDialog(dialog), m_bSaving(saving) {}
    void Text(int controlId, std::wstring& value);

private:
    HWND m_hDialog;
    bool m_bSaving;
};

// The dialog layer the pages stand on: a modal run from a template, initialisation, control
// binding and cancel. One dialog procedure serves every page; it keeps the page object with
// the window from WM_INITDIALOG on and forwards to the page's virtual handlers.
class CDialogBase {
public:
    explicit CDialogBase(UINT templateId);
    virtual ~CDialogBase();
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Runs the page modally and returns how it ended (IDCANCEL, or -1 when the window could
    // not be made). Pages have no owner of their own: they are owned by the
    // application's main window when there is one on the calling thread.
    INT_PTR DoModal();

    // Ends the modal run with IDCANCEL. The page hides at once; its run returns when the
    // handler that called this returns, so a handler may run the next page first.
    virtual void OnCancel();

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int controlId) const { return ::GetDlgItem(m_hWnd, controlId); }

    // The application's main window: the page that start-up runs first. Every later page is
    // owned by it, and every page puts it into the topmost band.
    static void SetMainWindow(CDialogBase* page) { s_pMainWnd = page; }
    static HWND MainWindowHandle();

protected:
    // The standard initialisation: fills the bound controls from the bound members.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(DataExchange& dx);
    // A WM_COMMAND; false leaves it to the defaults (IDCANCEL ends the page).
    virtual bool OnCommand(int controlId, int notifyCode);
    // The button that Enter presses: the page's Next, or 0 for a page where Enter does
    // nothing. No page ends on Enter: the dialog's default OK would end it with no successor,
    // and with it the whole wizard.
    virtual int EnterButtonId() const;
    // Any other message; true when handled, with what the dialog procedure returns in `result`.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    void UpdateData(bool saveAndValidate);
    void SetWindowText(const std::wstring& text);
    bool IsChecked(int controlId) const;
    void EnableControl(int controlId, bool enable);

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nTemplateId;
    static CDialogBase* s_pMainWnd;
};
