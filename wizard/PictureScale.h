#pragma once

#include <cstdint>
#include <vector>

// Resizes a picture of 32-bit pixels (four 8-bit channels, rows top-down, no padding): each
// new pixel is the mean of the part of the picture it covers, weighted by area. Shrinking the
// side pictures to their control this way keeps thin lines and soft edges; the platform's
// default stretch drops or merges whole rows and leaves dark streaks.
// Returns no pixels when a size is not positive or `pixels` is too short.
std::vector<uint8_t> ScalePicture(const std::vector<uint8_t>& pixels, int width, int height,
                                  int newWidth, int newHeight);

// Where a picture of width x height goes inside a box of boxWidth x boxHeight: as large as
// fits with its aspect ratio kept, centred. Zero sizes when either size is not positive.
struct PictureFit {
    int x = 0, y = 0, width = 0, height = 0;
};
PictureFit FitInside(int width, int height, int boxWidth, int boxHeight);
