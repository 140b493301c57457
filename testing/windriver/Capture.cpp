#include "Capture.h"

#include <cstdio>

namespace {

// Top-down 32-bit pixels (blue, green, red, unused) of the screen rectangle or a bitmap.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgrx;
};

bool ReadDib(HDC dc, HBITMAP bitmap, int width, int height, Pixels& out) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    out.width = width;
    out.height = height;
    out.bgrx.assign(static_cast<size_t>(width) * height * 4, 0);
    return ::GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), out.bgrx.data(), &info,
                       DIB_RGB_COLORS) == height;
}

bool CaptureScreen(const RECT& rect, Pixels& out) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    const bool copied =
        ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    ::SelectObject(memory, old);
    const bool read = copied && ReadDib(memory, bitmap, width, height, out);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return read;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Grid(const Pixels& p, ColourGrid& grid) {
    grid.assign(GRID_COLUMNS * GRID_ROWS * 3, 0.0);
    std::vector<int> counts(GRID_COLUMNS * GRID_ROWS, 0);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const int cell = (y * GRID_ROWS / p.height) * GRID_COLUMNS + x * GRID_COLUMNS / p.width;
            const uint8_t* px = &p.bgrx[(static_cast<size_t>(y) * p.width + x) * 4];
            grid[cell * 3 + 0] += px[2];
            grid[cell * 3 + 1] += px[1];
            grid[cell * 3 + 2] += px[0];
            ++counts[cell];
        }
    for (int cell = 0; cell < GRID_COLUMNS * GRID_ROWS; ++cell)
        for (int c = 0; c < 3; ++c)
            grid[cell * 3 + c] /= counts[cell] ? counts[cell] : 1;
}

} // namespace

bool SaveScreenBmp(const RECT& rect, const std::wstring& path, std::wstring* error) {
    Pixels p;
    if (!CaptureScreen(rect, p)) {
        *error = L"the screen could not be read";
        return false;
    }
    const uint32_t stride = (static_cast<uint32_t>(p.width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = stride * static_cast<uint32_t>(p.height);
    std::vector<uint8_t> file;
    Put16(file, 0x4D42);
    Put32(file, 54 + imageBytes);
    Put32(file, 0);
    Put32(file, 54);
    Put32(file, 40);
    Put32(file, static_cast<uint32_t>(p.width));
    Put32(file, static_cast<uint32_t>(p.height));
    Put16(file, 1);
    Put16(file, 24);
    Put32(file, BI_RGB);
    Put32(file, imageBytes);
    for (int i = 0; i < 4; ++i)
        Put32(file, 0);
    for (int y = p.height - 1; y >= 0; --y) {
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* px = &p.bgrx[(static_cast<size_t>(y) * p.width + x) * 4];
            file.insert(file.end(), px, px + 3);
        }
        file.resize(file.size() + stride - static_cast<uint32_t>(p.width) * 3);
    }
    std::FILE* f = ::_wfopen(path.c_str(), L"wb");
    if (!f) {
        *error = L"cannot write " + path;
        return false;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    if (std::fclose(f) != 0 || !written) {
        *error = L"cannot write " + path;
        return false;
    }
    return true;
}

bool ScreenGrid(const RECT& rect, ColourGrid& grid) {
    Pixels p;
    if (!CaptureScreen(rect, p))
        return false;
    Grid(p, grid);
    return true;
}

bool BitmapGrid(HBITMAP bitmap, ColourGrid& grid) {
    BITMAP info;
    if (!::GetObjectW(bitmap, sizeof(info), &info))
        return false;
    HDC screen = ::GetDC(nullptr);
    Pixels p;
    const bool read = ReadDib(screen, bitmap, info.bmWidth, info.bmHeight, p);
    ::ReleaseDC(nullptr, screen);
    if (!read)
        return false;
    Grid(p, grid);
    return true;
}

double GridDistance(const ColourGrid& a, const ColourGrid& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        sum += (a[i] - b[i]) * (a[i] - b[i]);
    return a.empty() ? 0 : sum / a.size();
}
