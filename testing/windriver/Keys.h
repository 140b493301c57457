#pragma once

#include <windows.h>

#include <string>

// Keys and progress bars, as a user meets them: a key goes to the control that has the
// keyboard focus in a window's thread, through that thread's own message loop.

// Presses "enter" or "escape" on the focused control of `window`'s thread (the window itself
// when nothing has the focus). False, with why, for an unknown key.
bool PressKey(HWND window, const std::wstring& key, std::wstring* why);

// A progress bar control's position.
int ProgressPosition(HWND control);

// Whether `text` reads as `pattern`, in which every '#' stands for one decimal digit.
bool MatchesPattern(const std::wstring& text, const std::wstring& pattern);
