#include "Keys.h"

#include <commctrl.h>

bool PressKey(HWND window, const std::wstring& key, std::wstring* why) {
    UINT vk = 0;
    if (key == L"enter")
        vk = VK_RETURN;
    else if (key == L"escape")
        vk = VK_ESCAPE;
    if (!vk) {
        *why = L"no key " + key;
        return false;
    }
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    HWND target = window;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    // Posted, as the keyboard would queue them: the dialog's loop turns them into its commands.
    const UINT scan = ::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    ::PostMessageW(target, WM_KEYDOWN, vk, 1 | (static_cast<LPARAM>(scan) << 16));
    ::PostMessageW(target, WM_KEYUP, vk,
                   1 | (static_cast<LPARAM>(scan) << 16) | (1u << 30) | (1u << 31));
    return true;
}

int ProgressPosition(HWND control) {
    DWORD_PTR pos = 0;
    ::SendMessageTimeoutW(control, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &pos);
    return static_cast<int>(pos);
}

bool MatchesPattern(const std::wstring& text, const std::wstring& pattern) {
    if (text.size() != pattern.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (pattern[i] == L'#' ? (text[i] < L'0' || text[i] > L'9') : text[i] != pattern[i])
            return false;
    }
    return true;
}
