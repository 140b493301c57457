#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Top-level windows of the desktop the driver runs on, as the user would pick them out.

enum class WindowKind {
    Page,       // a window with a caption bar
    Popup,      // a window without one (the wait windows)
    MessageBox, // a dialog with the message box's OK button and text
};

std::wstring TitleOf(HWND window);
std::wstring ClassOf(HWND window);
bool IsMessageBox(HWND window);
// The text of a message box.
std::wstring MessageBoxText(HWND window);

// Visible top-level windows of `kind`; with a title given, only those carrying it exactly.
std::vector<HWND> VisibleWindows(WindowKind kind, const std::wstring* title);
