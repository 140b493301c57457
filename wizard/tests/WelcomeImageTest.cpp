#include <gtest/gtest.h>

#include "ImageType.h"
#include "TempDir.h"
#include "UpdateImage.h"
#include "WelcomeImage.h"
#include "resource.h"

namespace {

// The first 128 bytes of an update image: a known signature (or none, -1) and the update mode
// at byte 120.
std::vector<uint8_t> ImageWith(int signature, uint8_t mode) {
    std::vector<uint8_t> image(128 + 64, 0x5A);
    if (signature >= 0)
        std::copy(ImageTypeSignature(signature), ImageTypeSignature(signature) + 32, image.begin());
    image[120] = mode;
    return image;
}

WelcomeImageCheck CheckBytes(const std::vector<uint8_t>& bytes) {
    TempDir dir;
    dir.Write("WMUPDAT.DIP", bytes);
    return CheckWelcomeImage(dir.File("WMUPDAT.DIP"));
}

// Which signature stands for which type is the image-type table's test; here, that the page
// takes the type from the file's first 32 bytes and the mode from byte 120.
TEST(WelcomeImage, TheFirst32BytesGiveTheTypeAndByte120TheMode) {
    const struct {
        int signature;
        uint8_t mode;
        int type;
    } cases[] = {{2, 0xE0, 1}, {4, 0xC0, 3}, {-1, 0xCE, -1}, {0, 0x5A, 0}};
    for (const auto& c : cases) {
        const WelcomeImageCheck check = CheckBytes(ImageWith(c.signature, c.mode));
        EXPECT_EQ(check.outcome, ImageCheckOutcome::Read);
        EXPECT_EQ(check.imageType, c.type) << "signature " << c.signature;
        EXPECT_EQ(check.updateMode, c.mode) << "signature " << c.signature;
    }
}

TEST(WelcomeImage, AllOf32BytesMustMatchAndNothingAfterThem) {
    std::vector<uint8_t> image = ImageWith(3, 0xCE);
    image[40] ^= 0xFF;
    EXPECT_EQ(CheckBytes(image).imageType, 2) << "byte 40 lies outside the signature";
    image[31] ^= 0x01;
    EXPECT_EQ(CheckBytes(image).imageType, -1);
}

TEST(WelcomeImage, OnlyTheFirst128BytesAreNeeded) {
    std::vector<uint8_t> image = ImageWith(2, 0xE0);
    image.resize(128);
    const WelcomeImageCheck exact = CheckBytes(image);
    EXPECT_EQ(exact.outcome, ImageCheckOutcome::Read);
    EXPECT_EQ(exact.imageType, 1);
    EXPECT_EQ(exact.updateMode, 0xE0);

    image.pop_back();
    EXPECT_EQ(CheckBytes(image).outcome, ImageCheckOutcome::Unreadable);
    EXPECT_EQ(CheckBytes({}).outcome, ImageCheckOutcome::Unreadable);
}

TEST(WelcomeImage, AMissingFileIsMissing) {
    TempDir dir;
    EXPECT_EQ(CheckWelcomeImage(dir.File("WMUPDAT.DIP")).outcome, ImageCheckOutcome::Missing);
}

TEST(WelcomeImage, OnlyAReadImageChangesWhatTheWizardRemembers) {
    WizardState state;
    RememberImageCheck(state, CheckBytes(ImageWith(4, 0xC0)));
    EXPECT_EQ(state.imageType, 3);
    EXPECT_EQ(state.updateMode, 0xC0);

    TempDir empty;
    RememberImageCheck(state, CheckWelcomeImage(empty.File("WMUPDAT.DIP")));
    RememberImageCheck(state, CheckBytes(std::vector<uint8_t>(100, 0xAB)));
    EXPECT_EQ(state.imageType, 3) << "a missing or short image leaves the earlier findings";
    EXPECT_EQ(state.updateMode, 0xC0);

    RememberImageCheck(state, CheckBytes(ImageWith(-1, 0xCE)));
    EXPECT_EQ(state.imageType, -1) << "an unknown image is still read";
    EXPECT_EQ(state.updateMode, 0xCE);
}

TEST(WelcomeImage, TheImageTypeChoosesTheSidePicture) {
    const struct {
        int type;
        int picture;
    } cases[] = {
        {-1, 0}, {0, IDB_SIDE_TYPE0}, {1, IDB_SIDE_TYPE1}, {2, IDB_SIDE_TYPE2}, {3, IDB_SIDE_TYPE3},
        {4, 0},  {-2147483647 - 1, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(SidePictureFor(c.type), c.picture) << "type " << c.type;
}

} // namespace
