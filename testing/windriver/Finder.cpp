#include "Finder.h"

namespace {

// The static control that holds a message box's text.
const int MESSAGE_BOX_TEXT_ID = 0xFFFF;

struct Search {
    WindowKind kind;
    const std::wstring* title;
    std::vector<HWND> found;
};

WindowKind KindOf(HWND window) {
    if (IsMessageBox(window))
        return WindowKind::MessageBox;
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    return (style & WS_CAPTION) == WS_CAPTION ? WindowKind::Page : WindowKind::Popup;
}

BOOL CALLBACK Collect(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    if (!::IsWindowVisible(window) || KindOf(window) != search->kind)
        return TRUE;
    if (search->title && TitleOf(window) != *search->title)
        return TRUE;
    search->found.push_back(window);
    return TRUE;
}

} // namespace

std::wstring TitleOf(HWND window) {
    // Titles of other processes' windows come from the system's copy, without a message to
    // a window that may be busy.
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

bool IsMessageBox(HWND window) {
    // The wizard's pages are dialogs too, and have statics with id -1 (0xFFFF) as well, but
    // none has a control with the OK button's id.
    return ClassOf(window) == L"#32770" && ::GetDlgItem(window, IDOK) &&
           ::GetDlgItem(window, MESSAGE_BOX_TEXT_ID);
}

std::wstring MessageBoxText(HWND window) {
    return TitleOf(::GetDlgItem(window, MESSAGE_BOX_TEXT_ID));
}

std::vector<HWND> VisibleWindows(WindowKind kind, const std::wstring* title) {
    Search search = {kind, title, {}};
    ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
