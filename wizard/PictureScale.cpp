#include "PictureScale.h"

#include <cmath>

namespace {

const int kChannels = 4;

// Resizes `count` lines of `from` samples each to `to` samples, every channel; samples of a
// line lie `step` apart and lines `lineStep` apart, in and out alike.
void ScaleLines(const std::vector<double>& in, std::vector<double>& out, int from, int to,
                int count, size_t step, size_t inLineStep, size_t outLineStep) {
    const double scale = static_cast<double>(from) / to;
    for (int line = 0; line < count; ++line)
        for (int i = 0; i < to; ++i) {
            const double start = i * scale, end = (i + 1) * scale;
            double sum[kChannels] = {};
            for (int s = static_cast<int>(start); s < from && s < end; ++s) {
                const double weight =
                    std::fmin(end, s + 1.0) - std::fmax(start, static_cast<double>(s));
                for (int c = 0; c < kChannels; ++c)
                    sum[c] += weight * in[line * inLineStep + s * step + c];
            }
            for (int c = 0; c < kChannels; ++c)
                out[line * outLineStep + i * step + c] = sum[c] / scale;
        }
}

} // namespace

std::vector<uint8_t> ScalePicture(const std::vector<uint8_t>& pixels, int width, int height,
                                  int newWidth, int newHeight) {
    if (width <= 0 || height <= 0 || newWidth <= 0 || newHeight <= 0 ||
        pixels.size() < static_cast<size_t>(width) * height * kChannels)
        return {};
    std::vector<double> source(pixels.begin(),
                               pixels.begin() + static_cast<size_t>(width) * height * kChannels);
    // Across first (rows of width samples), then down (columns of height samples).
    std::vector<double> across(static_cast<size_t>(newWidth) * height * kChannels);
    ScaleLines(source, across, width, newWidth, height, kChannels,
               static_cast<size_t>(width) * kChannels, static_cast<size_t>(newWidth) * kChannels);
    std::vector<double> down(static_cast<size_t>(newWidth) * newHeight * kChannels);
    const size_t rowStep = static_cast<size_t>(newWidth) * kChannels;
    ScaleLines(across, down, height, newHeight, newWidth, rowStep, kChannels, kChannels);

    std::vector<uint8_t> result(down.size());
    for (size_t i = 0; i < down.size(); ++i) {
        const double v = std::round(down[i]);
        result[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
    return result;
}

PictureFit FitInside(int width, int height, int boxWidth, int boxHeight) {
    PictureFit fit;
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return fit;
    // The side that limits the scale fills the box; the other is rounded to the nearest pixel.
    const int64_t acrossFirst = static_cast<int64_t>(boxWidth) * height;
    const int64_t downFirst = static_cast<int64_t>(boxHeight) * width;
    if (acrossFirst <= downFirst) {
        fit.width = boxWidth;
        fit.height = static_cast<int>((acrossFirst + width / 2) / width);
    } else {
        fit.height = boxHeight;
        fit.width = static_cast<int>((downFirst + height / 2) / height);
    }
    if (fit.width < 1)
        fit.width = 1;
    if (fit.height < 1)
        fit.height = 1;
    fit.x = (boxWidth - fit.width) / 2;
    fit.y = (boxHeight - fit.height) / 2;
    return fit;
}
