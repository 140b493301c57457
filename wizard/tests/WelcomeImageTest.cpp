#include <gtest/gtest.h>

#include "ImageType.h"
#include "SampleKit.h"
#include "TempDir.h"
#include "UpdateImage.h"
#include "WelcomeImage.h"
#include "resource.h"

namespace {

std::vector<uint8_t> ImageWith(int signature, uint8_t mode) {
    SampleImageSpec spec;
    spec.signature = signature;
    spec.updateMode = mode;
    spec.payloadBytes = 64;
    return BuildSampleImage(spec);
}

WelcomeImageCheck CheckBytes(const std::vector<uint8_t>& bytes) {
    TempDir dir;
    dir.Write("WMUPDAT.DIP", bytes);
    return CheckWelcomeImage(dir.File("WMUPDAT.DIP"));
}

TEST(WelcomeImage, EachSignatureGivesItsTypeAndByte120TheMode) {
    const struct {
        int signature;
        uint8_t mode;
        int type;
    } cases[] = {
        {0, UPDATE_MODE_OS, 0}, {1, UPDATE_MODE_CP, 0}, {2, UPDATE_MODE_OSCP, 1},
        {3, UPDATE_MODE_OS, 2}, {4, UPDATE_MODE_CP, 3}, {-1, UPDATE_MODE_OSCP, -1},
        {0, 0x5A, 0},
    };
    for (const auto& c : cases) {
        const WelcomeImageCheck check = CheckBytes(ImageWith(c.signature, c.mode));
        EXPECT_EQ(check.outcome, ImageCheckOutcome::Read);
        EXPECT_EQ(check.imageType, c.type) << "signature " << c.signature;
        EXPECT_EQ(check.updateMode, c.mode) << "signature " << c.signature;
    }
}

TEST(WelcomeImage, AllOf32BytesMustMatchAndNothingAfterThem) {
    std::vector<uint8_t> image = ImageWith(3, UPDATE_MODE_OS);
    image[40] ^= 0xFF;
    EXPECT_EQ(CheckBytes(image).imageType, 2) << "byte 40 lies outside the signature";
    image[IMAGE_SIGNATURE_SIZE - 1] ^= 0x01;
    EXPECT_EQ(CheckBytes(image).imageType, IMAGE_TYPE_UNKNOWN);
}

TEST(WelcomeImage, OnlyTheFirst128BytesAreNeeded) {
    std::vector<uint8_t> image = ImageWith(2, UPDATE_MODE_OSCP);
    image.resize(WELCOME_READ_SIZE);
    const WelcomeImageCheck exact = CheckBytes(image);
    EXPECT_EQ(exact.outcome, ImageCheckOutcome::Read);
    EXPECT_EQ(exact.imageType, 1);
    EXPECT_EQ(exact.updateMode, UPDATE_MODE_OSCP);

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
    RememberImageCheck(state, CheckBytes(ImageWith(4, UPDATE_MODE_CP)));
    EXPECT_EQ(state.imageType, 3);
    EXPECT_EQ(state.updateMode, UPDATE_MODE_CP);

    TempDir empty;
    RememberImageCheck(state, CheckWelcomeImage(empty.File("WMUPDAT.DIP")));
    RememberImageCheck(state, CheckBytes(std::vector<uint8_t>(100, 0xAB)));
    EXPECT_EQ(state.imageType, 3) << "a missing or short image leaves the earlier findings";
    EXPECT_EQ(state.updateMode, UPDATE_MODE_CP);

    RememberImageCheck(state, CheckBytes(ImageWith(-1, UPDATE_MODE_OS)));
    EXPECT_EQ(state.imageType, IMAGE_TYPE_UNKNOWN) << "an unknown image is still read";
    EXPECT_EQ(state.updateMode, UPDATE_MODE_OS);
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
