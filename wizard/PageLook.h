#pragma once

#include <windows.h>

// What every wizard page looks like beyond its template: heading font, icons, topmost
// placement, the side picture of the image type in force and coloured texts.

// Owns one GDI object (a brush, a bitmap, a font) and deletes it when it goes.
template <class Handle> class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : m_handle(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle Get() const { return m_handle; }
    // Gives the object up to a new owner.
    Handle Release() {
        Handle handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    void Reset(Handle handle = nullptr) {
        if (m_handle && m_handle != handle)
            ::DeleteObject(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};

// Arial, 20 units high, regular, for a page's heading. Lives as long as its page.
class HeadingFont {
public:
    HeadingFont() = default;
    ~HeadingFont();
    HeadingFont(const HeadingFont&) = delete;
    HeadingFont& operator=(const HeadingFont&) = delete;

    void ApplyTo(HWND page, int controlId);

private:
    GdiObject<HFONT> m_hFont;
};

// The picture of control 1017, as large as the control holds with its shape kept, centred on
// the page's colour. Lives as long as its page.
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

    GdiObject<HBITMAP> m_hBitmap;
};

// A static control's text in its own colour on a background of its own, answering the page's
// WM_CTLCOLORSTATIC for that control. The text cells and the rest of the control get the same
// background, so the control reads as one block.
class ColouredText {
public:
    ColouredText(COLORREF text, COLORREF background);

    // Sets the colours into the control's device context; returns the brush for the rest.
    INT_PTR Paint(HDC dc) const;

private:
    COLORREF m_crText;
    COLORREF m_crBackground;
    GdiObject<HBRUSH> m_hBrush;
};

// The application icon (resource 128), as the page's big and small icon.
HICON ApplicationIcon();
void SetPageIcons(HWND page);

// Puts the application's main window into the topmost band (the pages it owns come along)
// and centres `page` on the screen.
void RaiseMainWindowAndCentre(HWND page);

// A message box as the pages show them: OK button, topmost, owned by `owner`.
void ShowPageMessage(HWND owner, const wchar_t* text, const wchar_t* caption);
