#include "PageLook.h"

#include <vector>

#include "DialogBase.h"
#include "PictureScale.h"
#include "WizardState.h"
#include "resource.h"

namespace {

// `source` scaled to fit a box of width x height with its shape kept, centred on `background`,
// as a 24-bit picture (a 32-bit one would be taken for one with transparency), or null when
// it cannot be.
HBITMAP FitBitmap(HBITMAP source, int width, int height, COLORREF background) {
    BITMAP info;
    if (width <= 0 || height <= 0 || !::GetObjectW(source, sizeof(info), &info))
        return nullptr;
    const PictureFit fit = FitInside(info.bmWidth, info.bmHeight, width, height);
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = info.bmWidth;
    format.bmiHeader.biHeight = -info.bmHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight * 4);
    HDC screen = ::GetDC(nullptr);
    const int rows = ::GetDIBits(screen, source, 0, static_cast<UINT>(info.bmHeight), pixels.data(),
                                 &format, DIB_RGB_COLORS);
    std::vector<uint8_t> scaled;
    if (rows == info.bmHeight)
        scaled = ScalePicture(pixels, info.bmWidth, info.bmHeight, fit.width, fit.height);
    HBITMAP fitted = nullptr;
    void* bits = nullptr;
    if (!scaled.empty()) {
        format.bmiHeader.biWidth = width;
        format.bmiHeader.biHeight = -height;
        format.bmiHeader.biBitCount = 24;
        fitted = ::CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    }
    ::ReleaseDC(nullptr, screen);
    if (!fitted)
        return nullptr;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    const uint8_t fill[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
    uint8_t* out = static_cast<uint8_t*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int px = x - fit.x, py = y - fit.y;
            const bool inside = px >= 0 && px < fit.width && py >= 0 && py < fit.height;
            for (int c = 0; c < 3; ++c)
                out[y * stride + x * 3 + c] =
                    inside ? scaled[(static_cast<size_t>(py) * fit.width + px) * 4 + c] : fill[c];
        }
    return fitted;
}

} // namespace

HeadingFont::~HeadingFont() = default;

void HeadingFont::ApplyTo(HWND page, int controlId) {
    if (!m_hFont.Get())
        m_hFont.Reset(::CreateFontW(20, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    FF_SWISS, L"Arial"));
    ::SendDlgItemMessageW(page, controlId, WM_SETFONT, reinterpret_cast<WPARAM>(m_hFont.Get()),
                          TRUE);
}

// By the time the members go, the page's window, and the control with it, has gone.
SidePicture::~SidePicture() = default;

void SidePicture::ShowDefault(HWND page) {
    Put(page, IDB_SIDE_DEFAULT);
}

void SidePicture::Show(HWND page) {
    if (const int picture = SidePictureFor(TheWizardState().imageType))
        Put(page, picture);
}

void SidePicture::Put(HWND page, int picture) {
    HWND control = ::GetDlgItem(page, IDC_PICTURE_SIDE);
    if (!control)
        return;
    GdiObject<HBITMAP> source(
        static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(picture),
                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!source.Get())
        return;
    RECT client;
    ::GetClientRect(control, &client);
    GdiObject<HBITMAP> fitted(
        FitBitmap(source.Get(), client.right, client.bottom, ::GetSysColor(COLOR_BTNFACE)));
    GdiObject<HBITMAP>& shown = fitted.Get() ? fitted : source;
    HBITMAP old = reinterpret_cast<HBITMAP>(
        ::SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(shown.Get())));
    // The control frees no picture it was given, nor the one it loaded from the template
    // once that has been replaced.
    if (old && old != m_hBitmap.Get())
        ::DeleteObject(old);
    m_hBitmap.Reset(shown.Release());
}

ColouredText::ColouredText(COLORREF text, COLORREF background)
    : m_crText(text), m_crBackground(background), m_hBrush(::CreateSolidBrush(background)) {}

INT_PTR ColouredText::Paint(HDC dc) const {
    ::SetTextColor(dc, m_crText);
    ::SetBkColor(dc, m_crBackground);
    ::SetBkMode(dc, OPAQUE);
    return reinterpret_cast<INT_PTR>(m_hBrush.Get());
}

HICON ApplicationIcon() {
    return ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

void SetPageIcons(HWND page) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HICON big = ApplicationIcon();
    // The same icon at the small size, rather than the big one squeezed by the caption bar.
    HICON small = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                  IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                  ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    ::SendMessageW(page, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    ::SendMessageW(page, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small ? small : big));
}

void RaiseMainWindowAndCentre(HWND page) {
    if (HWND main = CDialogBase::MainWindowHandle())
        ::SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE);
    RECT area, window;
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) || !::GetWindowRect(page, &window))
        return;
    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;
    const LONG x = area.left + (area.right - area.left - width) / 2;
    const LONG y = area.top + (area.bottom - area.top - height) / 2;
    ::SetWindowPos(page, nullptr, x > area.left ? x : area.left, y > area.top ? y : area.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowPageMessage(HWND owner, const wchar_t* text, const wchar_t* caption) {
    ::MessageBoxW(owner, text, caption, MB_OK | MB_TOPMOST);
}
