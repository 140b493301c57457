#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What the screen shows, as the user would see it: saved as a picture, or reduced to a coarse
// grid of mean colours that tells pictures apart whatever size they are drawn at.

// Saves the screen rectangle `rect` as a 24-bit BMP file.
bool SaveScreenBmp(const RECT& rect, const std::wstring& path, std::wstring* error);

// Mean colour of each cell of a GRID_COLUMNS x GRID_ROWS grid laid over a picture, as
// r, g, b values in row order.
constexpr int GRID_COLUMNS = 6;
constexpr int GRID_ROWS = 12;
using ColourGrid = std::vector<double>;

bool ScreenGrid(const RECT& rect, ColourGrid& grid);
bool BitmapGrid(HBITMAP bitmap, ColourGrid& grid);

// Mean squared difference per channel, 0 for identical grids.
double GridDistance(const ColourGrid& a, const ColourGrid& b);
