#pragma once

#include <windows.h>

// What every wizard page looks like beyond its template: heading font, icons, topmost
// placement and the side picture of the image type in force.

// Arial, 20 units high, regular, for a page's heading. Lives as long as its page.
class HeadingFont {
public:
    HeadingFont() = default;
    ~HeadingFont();
    HeadingFont(const HeadingFont&) = delete;
    HeadingFont& operator=(const HeadingFont&) = delete;

    void ApplyTo(HWND page, int controlId);

private:
    HFONT m_hFont = nullptr;
};

// The picture of control 1017, fitted to the control. Lives as long as its page.
class SidePicture {
public:
    SidePicture() = default;
    ~SidePicture();
    SidePicture(const SidePicture&) = delete;
    SidePicture& operator=(const SidePicture&) = delete;

    // The template's default picture, as the control would show it but scaled smoothly.
    void ShowDefault(HWND page);
    // The picture of the image type the welcome page found; for an unknown type what the
    // control shows stays.
    void Show(HWND page);

private:
    void Put(HWND page, int picture);

    HBITMAP m_hBitmap = nullptr;
};

// The application icon (resource 128), as the page's big and small icon.
HICON ApplicationIcon();
void SetPageIcons(HWND page);

// Puts the application's main window into the topmost band (the pages it owns come along)
// and centres `page` on the screen.
void RaiseMainWindowAndCentre(HWND page);

// A message box as the pages show them: OK button, topmost, owned by `owner`.
void ShowPageMessage(HWND owner, const wchar_t* text, const wchar_t* caption);
