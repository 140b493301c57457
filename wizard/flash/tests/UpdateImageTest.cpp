#include <gtest/gtest.h>

#include <vector>

#include "HandMadeImage.h"
#include "ImageType.h"
#include "UpdateImage.h"

namespace {

constexpr uint32_t kMiB = 1048576;

// A header whose every byte says where it lies: byte i holds i's low eight bits, so a field
// read from a neighbouring offset reads a different value. Only the mode and the text length
// are set to what they mean.
std::vector<uint8_t> CountingHeader() {
    std::vector<uint8_t> f(1024 + 16);
    for (size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<uint8_t>(i);
    f[120] = 0xE0;
    f[512] = 5;
    return f;
}

TEST(ImageHeader, FieldsComeFromTheirOffsets) {
    const std::vector<uint8_t> f = CountingHeader();
    const ImageHeader h = ReadImageHeader(f.data(), static_cast<uint32_t>(f.size()));
    EXPECT_TRUE(h.complete);
    EXPECT_EQ(std::vector<uint8_t>(h.keyBlock, h.keyBlock + 96),
              std::vector<uint8_t>(f.begin(), f.begin() + 96));
    EXPECT_EQ(h.osSizeMiB, 0x6160) << "bytes 96 and 97, little-endian";
    EXPECT_EQ(h.cpSizeMiB, 0x6362) << "bytes 98 and 99";
    EXPECT_EQ(std::vector<uint8_t>(h.iplVersion, h.iplVersion + 6),
              (std::vector<uint8_t>{100, 101, 102, 103, 104, 105}));
    EXPECT_EQ(std::vector<uint8_t>(h.osVersion, h.osVersion + 6),
              (std::vector<uint8_t>{106, 107, 108, 109, 110, 111}));
    EXPECT_EQ(std::vector<uint8_t>(h.cpVersion, h.cpVersion + 6),
              (std::vector<uint8_t>{112, 113, 114, 115, 116, 117}));
    EXPECT_EQ(h.updateMode, 0xE0);
    EXPECT_EQ(h.versionText, std::string("\x01\x02\x03\x04\x05")) << "five bytes from offset 513";
}

TEST(ImageHeader, PartitionsFollowTheSizeFieldsAtTheirOffsets) {
    std::vector<uint8_t> f(1024 + 3 * 1048576);
    f[96] = 1; // OS size 1 MiB
    f[99] = 0; // CP size 2 MiB, high byte
    f[98] = 2;
    f[120] = 0xE0;
    const std::vector<Partition> parts =
        UpdatePartitions(ReadImageHeader(f.data(), static_cast<uint32_t>(f.size())),
                         static_cast<uint32_t>(f.size()));
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].offset, 1024u);
    EXPECT_EQ(parts[0].length, 1048576u);
    EXPECT_EQ(parts[1].offset, 1024u + 1048576u);
    EXPECT_EQ(parts[1].length, 2u * 1048576u);
    EXPECT_TRUE(CheckUpdateImage(f.data(), static_cast<uint32_t>(f.size())).Ok());
}

TEST(ImageHeader, VersionTextTakesExactlyItsLengthAndDecodesAnsi) {
    std::vector<uint8_t> image(1024, 'Z');
    image[512] = 0;
    EXPECT_EQ(VersionTextForDisplay(ReadImageHeader(image.data(), 1024)), L"");

    const uint8_t text[] = {'V', 0xE9, 0x80, '1'}; // e acute and the euro sign in Windows-1252
    image[512] = sizeof text;
    std::copy(text, text + sizeof text, image.begin() + 513);
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
    ::testing::Values(PartitionCase{"OS only", 0xCE, 44, 0, 1024 + 44 * kMiB, {{1024, 44 * kMiB}}},
                      PartitionCase{
                          "CP only ignores the CP size", 0xC0, 0, 9, 1024 + 5000, {{1024, 5000}}},
                      PartitionCase{"OS then CP",
                                    0xE0,
                                    2,
                                    3,
                                    1024 + 5 * kMiB,
                                    {{1024, 2 * kMiB}, {1024 + 2 * kMiB, 3 * kMiB}}},
                      PartitionCase{"unknown mode", 0xAB, 2, 3, 1024 + 5 * kMiB, {}}),
    [](const auto& item) { return "mode_" + std::to_string(item.param.mode); });

HandMadeImage Kit(uint8_t mode, uint16_t osMiB, uint16_t cpMiB, int64_t payload = -1) {
    HandMadeImage image{mode, osMiB, cpMiB};
    image.payloadBytes = payload;
    return image;
}

TEST(ImageChecks, TruthfulImagesPass) {
    for (uint8_t mode : {0xCE, 0xC0, 0xE0}) {
        std::vector<uint8_t> image = Kit(mode, 1, 1).Bytes();
        const Result check = CheckUpdateImage(image.data(), static_cast<uint32_t>(image.size()));
        EXPECT_TRUE(check.Ok()) << int(mode) << ": " << check.Message();
    }
}

TEST(ImageChecks, ImagesThatLieAboutTheirSizesAreRefused) {
    std::vector<uint8_t> tiny = Kit(0xCE, 0, 0).Bytes();
    tiny.resize(127);
    const struct {
        const char* what;
        std::vector<uint8_t> image;
        const char* mentions;
    } lies[] = {
        {"shorter than the header", tiny, "shorter than its 1024-byte header"},
        {"OS beyond the file", Kit(0xCE, 2, 0, 1048576).Bytes(), "OS partition"},
        {"CP one byte beyond the file", Kit(0xE0, 1, 2, 3 * 1048576 - 1).Bytes(), "CP partition"},
        {"unknown update mode", Kit(0x42, 1, 0, 1048576).Bytes(), "unknown update mode 0x42"},
    };
    for (const auto& lie : lies) {
        const Result check =
            CheckUpdateImage(lie.image.data(), static_cast<uint32_t>(lie.image.size()));
        EXPECT_FALSE(check.Ok()) << lie.what;
        EXPECT_NE(check.Message().find(lie.mentions), std::string::npos)
            << lie.what << ": " << check.Message();
    }
    EXPECT_FALSE(CheckUpdateImage(nullptr, 0).Ok());
    std::vector<uint8_t> shortIpl(1023);
    EXPECT_FALSE(CheckIplImage(shortIpl.data(), 1023).Ok());
    std::vector<uint8_t> emptyIpl(1024);
    EXPECT_TRUE(CheckIplImage(emptyIpl.data(), 1024).Ok())
        << "an IPL with an empty payload is whole";
}

TEST(ImageType, EverySignatureGivesItsTypeAndNothingElseMatches) {
    ASSERT_EQ(IMAGE_TYPE_SIGNATURE_COUNT, 5);
    const int expected[5] = {0, 0, 1, 2, 3};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(RecognizeImageType(ImageTypeSignature(i)), expected[i]) << i;
        uint8_t nearly[32];
        std::copy(ImageTypeSignature(i), ImageTypeSignature(i) + 32, nearly);
        nearly[31] ^= 1;
        EXPECT_EQ(RecognizeImageType(nearly), -1) << i;
    }
    for (uint32_t i = 0; i < 32; ++i)
        EXPECT_TRUE(ImageTypeSignature(0)[i] >= 0x20 && ImageTypeSignature(0)[i] < 0x7F)
            << "the first signature is printable text";
    const uint8_t zeros[32] = {};
    EXPECT_EQ(RecognizeImageType(zeros), -1);
}

} // namespace
