#include <gtest/gtest.h>

#include "PictureScale.h"

namespace {

// A picture of one channel value per pixel, the other three channels following it.
std::vector<uint8_t> Grey(const std::vector<int>& values) {
    std::vector<uint8_t> pixels;
    for (int v : values)
        for (int c = 0; c < 4; ++c)
            pixels.push_back(static_cast<uint8_t>(v + c));
    return pixels;
}

TEST(PictureScale, EachNewPixelIsTheAreaWeightedMeanOfWhatItCovers) {
    EXPECT_EQ(ScalePicture(Grey({0, 0, 200, 200}), 4, 1, 2, 1), Grey({0, 200}));
    EXPECT_EQ(ScalePicture(Grey({0, 90, 180}), 3, 1, 2, 1), Grey({30, 150}));
    EXPECT_EQ(ScalePicture(Grey({0, 40, 80, 120}), 2, 2, 1, 1), Grey({60}));
    EXPECT_EQ(ScalePicture(Grey({0, 30, 60, 120, 120, 120}), 1, 6, 1, 4), Grey({10, 50, 120, 120}))
        << "down the columns, a row split between two new rows counts for each by its share";
}

TEST(PictureScale, TheSameSizeGivesTheSamePictureAndEnlargingRepeatsPixels) {
    const std::vector<uint8_t> picture = Grey({3, 50, 97, 144, 191, 238});
    EXPECT_EQ(ScalePicture(picture, 3, 2, 3, 2), picture);
    EXPECT_EQ(ScalePicture(Grey({10, 200}), 2, 1, 4, 1), Grey({10, 10, 200, 200}));
}

TEST(PictureScale, AFlatPictureStaysFlatAtTheSidePicturesSizes) {
    const std::vector<uint8_t> flat = Grey(std::vector<int>(210 * 460, 123));
    const std::vector<uint8_t> shrunk = ScalePicture(flat, 210, 460, 174, 374);
    ASSERT_EQ(shrunk.size(), 174u * 374u * 4u);
    EXPECT_EQ(shrunk, Grey(std::vector<int>(174 * 374, 123)));
}

TEST(PictureScale, NoPictureForEmptySizesOrTooFewPixels) {
    EXPECT_TRUE(ScalePicture(Grey({1, 2}), 2, 1, 0, 1).empty());
    EXPECT_TRUE(ScalePicture(Grey({1, 2}), 0, 1, 1, 1).empty());
    EXPECT_TRUE(ScalePicture(Grey({1, 2}), 2, 2, 1, 1).empty());
}

struct FitCase {
    int width, height, boxWidth, boxHeight;
    int x, y, fitWidth, fitHeight;
};

TEST(PictureFit, TheWholePictureFitsTheBoxWithItsAspectKeptAndCentred) {
    const FitCase cases[] = {
        // The side pictures in the control Wine makes of 119 x 230 dialog units: the height
        // limits, and the picture keeps its 210:460 shape instead of losing a fifth of it.
        {210, 460, 207, 370, 19, 0, 169, 370},
        {210, 460, 210, 460, 0, 0, 210, 460},
        {210, 460, 105, 460, 0, 115, 105, 230}, // the width limits
        {100, 50, 300, 300, 0, 75, 300, 150},   // enlarged
        {3, 1, 10, 10, 0, 3, 10, 3},            // 3.33 rounds to 3, centred below
        {1000, 1, 10, 10, 0, 4, 10, 1},         // never thinner than a pixel
    };
    for (const FitCase& c : cases) {
        const PictureFit fit = FitInside(c.width, c.height, c.boxWidth, c.boxHeight);
        EXPECT_EQ(fit.x, c.x) << c.width << "x" << c.height << " in " << c.boxWidth << "x"
                              << c.boxHeight;
        EXPECT_EQ(fit.y, c.y) << c.width << "x" << c.height;
        EXPECT_EQ(fit.width, c.fitWidth) << c.width << "x" << c.height;
        EXPECT_EQ(fit.height, c.fitHeight) << c.width << "x" << c.height;
    }
    const PictureFit none = FitInside(210, 460, 0, 370);
    EXPECT_EQ(none.width, 0);
    EXPECT_EQ(none.height, 0);
}

} // namespace
