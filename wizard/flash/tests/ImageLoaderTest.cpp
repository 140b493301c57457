#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageLoader.h"
#include "TempDir.h"

namespace {

std::vector<uint8_t> Bytes(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i * 13 + 5);
    return v;
}

TEST(ImageLoader, RawMeasureThenLoadCopiesTheWholeFile) {
    TempDir dir;
    dir.Write("a.dip", Bytes(70000));
    CImageLoader loader;
    EXPECT_EQ(loader.SetType(CImageLoader::TYPE_RAW), 1);
    const std::string name = dir.File("a.dip");
    ASSERT_EQ(loader.Measure(name.c_str()), 70000u);
    EXPECT_EQ(loader.size, 70000u);
    std::vector<uint8_t> buffer(loader.size);
    ASSERT_EQ(loader.Load(buffer.data(), name.c_str()), 1);
    EXPECT_EQ(buffer, Bytes(70000));
    EXPECT_EQ(loader.GetErrorCode(), 0);
    EXPECT_EQ(loader.m_pDestination, buffer.data());
    EXPECT_STREQ(loader.m_FileName, name.c_str());
}

TEST(ImageLoader, RawFailuresSetTheirCodesAndNothingClearsThem) {
    TempDir dir;
    CImageLoader loader;
    loader.SetType(CImageLoader::TYPE_RAW);
    const std::string missing = dir.File("missing.dip");
    EXPECT_EQ(loader.Measure(missing.c_str()), 0xFFFFFFFFu);
    EXPECT_EQ(loader.GetErrorCode(), CImageLoader::ERR_OPEN);

    uint8_t buffer[16];
    EXPECT_EQ(loader.Load(buffer, missing.c_str()), 0);
    EXPECT_EQ(loader.GetErrorCode(), CImageLoader::ERR_OPEN);

    // A file that shrank after it was measured reads short.
    dir.Write("b.dip", Bytes(16));
    const std::string b = dir.File("b.dip");
    ASSERT_EQ(loader.Measure(b.c_str()), 16u);
    dir.Write("b.dip", Bytes(10));
    EXPECT_EQ(loader.Load(buffer, b.c_str()), 0);
    EXPECT_EQ(loader.GetErrorCode(), CImageLoader::ERR_SHORT_READ);

    // Success afterwards leaves the old code in place.
    ASSERT_EQ(loader.Measure(b.c_str()), 10u);
    EXPECT_EQ(loader.Load(buffer, b.c_str()), 1);
    EXPECT_EQ(loader.GetErrorCode(), CImageLoader::ERR_SHORT_READ);
}

TEST(ImageLoader, EmptyNameMeasuresZeroAndTouchesNoErrorCode) {
    CImageLoader loader;
    loader.SetType(CImageLoader::TYPE_RAW);
    loader.size = 1234;
    EXPECT_EQ(loader.Measure(""), 0u);
    EXPECT_EQ(loader.GetErrorCode(), 0);
    EXPECT_EQ(loader.size, 1234u);
}

TEST(ImageLoader, UnknownTypeCodesMeasureAndLoadNothing) {
    TempDir dir;
    dir.Write("a.dip", Bytes(32));
    const std::string name = dir.File("a.dip");
    for (int32_t type : {0, 1, 7, 9, -1}) {
        CImageLoader loader;
        loader.SetType(type);
        uint8_t buffer[32] = {};
        EXPECT_EQ(loader.Measure(name.c_str()), 0u) << type;
        EXPECT_EQ(loader.Load(buffer, name.c_str()), 0) << type;
        EXPECT_EQ(loader.GetErrorCode(), 0) << type;
        EXPECT_EQ(loader.size, 0u) << type;
        EXPECT_EQ(buffer[0], 0) << type;
    }
}

TEST(ImageLoader, AnOverlongNameIsCutToTheField) {
    CImageLoader loader;
    loader.SetType(CImageLoader::TYPE_RAW);
    const std::string name(1500, 'x');
    EXPECT_EQ(loader.Measure(name.c_str()), 0xFFFFFFFFu);
    EXPECT_EQ(std::string(loader.m_FileName), std::string(999, 'x'));
}

} // namespace
