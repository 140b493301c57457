#include <gtest/gtest.h>

#include <vector>

#include "ImageType.h"
#include "SampleKit.h"
#include "UpdateImage.h"

namespace {

TEST(ImageHeader, FieldsComeFromTheirOffsets) {
    SampleImageSpec s = SampleSpec(UPDATE_MODE_OSCP, 3, 2);
    ParseVersion("0102030405AA", s.osVersion);
    ParseVersion("CP-1", s.cpVersion);
    s.versionText = "ROM 2.10.7";
    s.payloadBytes = 0;
    std::vector<uint8_t> image = BuildSampleImage(s);

    ImageHeader h = ReadImageHeader(image.data(), static_cast<uint32_t>(image.size()));
    EXPECT_TRUE(h.complete);
    EXPECT_EQ(h.osSizeMiB, 3);
    EXPECT_EQ(h.cpSizeMiB, 2);
    EXPECT_EQ(h.updateMode, UPDATE_MODE_OSCP);
    EXPECT_EQ(h.osVersion[0], 0x01);
    EXPECT_EQ(h.osVersion[5], 0xAA);
    EXPECT_EQ(h.cpVersion[0], 'C');
    EXPECT_EQ(h.cpVersion[4], 0);
    EXPECT_EQ(VersionTextForDisplay(h), L"ROM 2.10.7");
    EXPECT_EQ(RecognizeImageType(h.Signature()), 0);
}

TEST(ImageHeader, VersionTextTakesExactlyItsLengthAndDecodesAnsi) {
    std::vector<uint8_t> image(IMAGE_HEADER_SIZE, 'Z');
    image[OFFSET_VERSION_TEXT_LENGTH] = 0;
    EXPECT_EQ(VersionTextForDisplay(ReadImageHeader(image.data(), 1024)), L"");

    const uint8_t text[] = {'V', 0xE9, 0x80, '1'}; // e acute and the euro sign in Windows-1252
    image[OFFSET_VERSION_TEXT_LENGTH] = sizeof text;
    std::copy(text, text + sizeof text, image.begin() + OFFSET_VERSION_TEXT);
    EXPECT_EQ(VersionTextForDisplay(ReadImageHeader(image.data(), 1024)), L"V\u00E9\u20AC1");
}

TEST(ImageHeader, AShortFileReadsAsZerosBeyondItsEnd) {
    std::vector<uint8_t> image(97, 0xFF);
    ImageHeader h = ReadImageHeader(image.data(), 97);
    EXPECT_FALSE(h.complete);
    EXPECT_EQ(h.keyBlock[95], 0xFF);
    EXPECT_EQ(h.osSizeMiB, 0x00FF) << "only the low byte of the OS size is in the file";
    EXPECT_EQ(h.updateMode, 0);
    EXPECT_TRUE(h.versionText.empty());
}

struct PartitionCase {
    const char* what;
    uint8_t mode;
    uint16_t osMiB, cpMiB;
    uint32_t fileSize;
    std::vector<std::pair<uint32_t, uint32_t>> parts; // offset, length
};

void PrintTo(const PartitionCase& c, std::ostream* os) {
    *os << c.what;
}

class Partitions : public ::testing::TestWithParam<PartitionCase> {};

TEST_P(Partitions, EachModeTakesItsRanges) {
    const PartitionCase& c = GetParam();
    ImageHeader h;
    h.updateMode = c.mode;
    h.osSizeMiB = c.osMiB;
    h.cpSizeMiB = c.cpMiB;
    std::vector<std::pair<uint32_t, uint32_t>> got;
    for (const Partition& p : UpdatePartitions(h, c.fileSize))
        got.emplace_back(p.offset, p.length);
    EXPECT_EQ(got, c.parts) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Partitions,
    ::testing::Values(
        PartitionCase{"OS only", 0xCE, 44, 0, 1024 + 44 * MIB, {{1024, 44 * MIB}}},
        PartitionCase{"CP only ignores the CP size", 0xC0, 0, 9, 1024 + 5000, {{1024, 5000}}},
        PartitionCase{
            "OS then CP", 0xE0, 2, 3, 1024 + 5 * MIB, {{1024, 2 * MIB}, {1024 + 2 * MIB, 3 * MIB}}},
        PartitionCase{"unknown mode", 0xAB, 2, 3, 1024 + 5 * MIB, {}}),
    [](const auto& info) { return "mode_" + std::to_string(info.param.mode); });

TEST(ImageChecks, TruthfulImagesPass) {
    for (uint8_t mode : {UPDATE_MODE_OS, UPDATE_MODE_CP, UPDATE_MODE_OSCP}) {
        std::vector<uint8_t> image = BuildSampleImage(SampleSpec(mode, 1, 1));
        EXPECT_EQ(CheckUpdateImage(image.data(), static_cast<uint32_t>(image.size())), "")
            << int(mode);
    }
}

TEST(ImageChecks, ImagesThatLieAboutTheirSizesAreRefused) {
    struct Lie {
        const char* what;
        SampleImageSpec spec;
        const char* mentions;
    };
    SampleImageSpec tiny = SampleSpec(UPDATE_MODE_OS, 0, 0);
    tiny.fileBytes = 127;
    SampleImageSpec osTooBig = SampleSpec(UPDATE_MODE_OS, 2, 0);
    osTooBig.payloadBytes = MIB;
    SampleImageSpec cpTooBig = SampleSpec(UPDATE_MODE_OSCP, 1, 2);
    cpTooBig.payloadBytes = 3 * MIB - 1;
    SampleImageSpec unknown = SampleSpec(0x42, 1, 0);
    unknown.payloadBytes = MIB;
    const Lie lies[] = {
        {"shorter than the header", tiny, "shorter than its 1024-byte header"},
        {"OS beyond the file", osTooBig, "OS partition"},
        {"CP one byte beyond the file", cpTooBig, "CP partition"},
        {"unknown update mode", unknown, "unknown update mode 0x42"},
    };
    for (const Lie& lie : lies) {
        std::vector<uint8_t> image = BuildSampleImage(lie.spec);
        std::string problem = CheckUpdateImage(image.data(), static_cast<uint32_t>(image.size()));
        EXPECT_NE(problem.find(lie.mentions), std::string::npos) << lie.what << ": " << problem;
    }
    EXPECT_NE(CheckUpdateImage(nullptr, 0), "");
    std::vector<uint8_t> shortIpl(1023);
    EXPECT_NE(CheckIplImage(shortIpl.data(), 1023), "");
    std::vector<uint8_t> emptyIpl(1024);
    EXPECT_EQ(CheckIplImage(emptyIpl.data(), 1024), "") << "an IPL with an empty payload is whole";
}

TEST(ImageType, EverySignatureGivesItsTypeAndNothingElseMatches) {
    const int expected[IMAGE_TYPE_SIGNATURE_COUNT] = {0, 0, 1, 2, 3};
    for (int i = 0; i < IMAGE_TYPE_SIGNATURE_COUNT; ++i) {
        EXPECT_EQ(RecognizeImageType(ImageTypeSignature(i)), expected[i]) << i;
        uint8_t nearly[IMAGE_SIGNATURE_SIZE];
        std::copy(ImageTypeSignature(i), ImageTypeSignature(i) + 32, nearly);
        nearly[31] ^= 1;
        EXPECT_EQ(RecognizeImageType(nearly), IMAGE_TYPE_UNKNOWN) << i;
    }
    for (uint32_t i = 0; i < IMAGE_SIGNATURE_SIZE; ++i)
        EXPECT_TRUE(ImageTypeSignature(0)[i] >= 0x20 && ImageTypeSignature(0)[i] < 0x7F)
            << "the first signature is printable text";
    const uint8_t zeros[IMAGE_SIGNATURE_SIZE] = {};
    EXPECT_EQ(RecognizeImageType(zeros), IMAGE_TYPE_UNKNOWN);
}

} // namespace
