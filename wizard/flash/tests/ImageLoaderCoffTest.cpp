#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CoffBuilder.h"
#include "ImageLoader.h"
#include "TempDir.h"

namespace {

class CoffLoader : public ::testing::Test {
protected:
    CoffLoader() { loader.SetType(CImageLoader::TYPE_COFF); }

    std::string WriteCoff(const std::vector<TestSection>& sections) {
        TestCoff c;
        c.sections = sections;
        dir.Write("loader.out", c.Build());
        return dir.File("loader.out");
    }

    TempDir dir;
    CImageLoader loader;
};

TEST_F(CoffLoader, MeasureAndLoadFlattenTheSectionsWithRawData) {
    // Out of address order, with a gap, and a lower section without raw data that takes no
    // part in the span.
    const std::string name = WriteCoff({{".b", 0x2010, Pattern(4, 0x40)},
                                        {".bss", 0x1000, {}, false, 0x100},
                                        {".a", 0x2000, Pattern(8, 0x10)}});
    ASSERT_EQ(loader.Measure(name.c_str()), 0x14u);
    EXPECT_EQ(loader.size, 0x14u);

    std::vector<uint8_t> buffer(loader.size + 8, 0xEE);
    ASSERT_EQ(loader.Load(buffer.data(), name.c_str()), 1);
    std::vector<uint8_t> expected = Pattern(8, 0x10);
    expected.resize(0x10, 0xEE); // the gap keeps what was there
    const std::vector<uint8_t> b = Pattern(4, 0x40);
    expected.insert(expected.end(), b.begin(), b.end());
    expected.resize(0x14 + 8, 0xEE);
    EXPECT_EQ(buffer, expected);
    EXPECT_EQ(loader.GetErrorCode(), 0);
    EXPECT_EQ(loader.m_pDestination, buffer.data());
    EXPECT_STREQ(loader.m_FileName, name.c_str());
}

TEST_F(CoffLoader, SpansAtTheEdgesOfTheAddressSpace) {
    const struct {
        const char* what;
        std::vector<TestSection> sections;
        uint32_t measured;
    } cases[] = {
        {"no section with raw data spans nothing", {{".bss", 0x10, {}, false, 0x20}}, 0},
        {"a section ending exactly at 4 GiB", {{".top", 0xFFFFFFF8, Pattern(8, 0)}}, 8},
        {"an empty section with raw data", {{".e", 0x500, {}}}, 0},
        // Wider than 32 bits: the measure fails and keeps the previous size.
        {"sections from 0 to past 4 GiB",
         {{".low", 0, Pattern(4, 0)}, {".high", 0xFFFFFFFC, Pattern(8, 0)}},
         555},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        loader.size = 555;
        const std::string name = WriteCoff(c.sections);
        EXPECT_EQ(loader.Measure(name.c_str()), c.measured);
        EXPECT_EQ(loader.size, c.measured);
        EXPECT_EQ(loader.GetErrorCode(), 0);
    }
}

TEST_F(CoffLoader, AFailedMeasureKeepsThePreviousSize) {
    dir.Write("raw.bin", Pattern(77, 0));
    loader.SetType(CImageLoader::TYPE_RAW);
    ASSERT_EQ(loader.Measure(dir.File("raw.bin").c_str()), 77u);
    loader.SetType(CImageLoader::TYPE_COFF);
    for (const char* name : {"raw.bin", "missing.out", ""}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(loader.Measure(dir.File(name).c_str()), 77u);
        EXPECT_EQ(loader.size, 77u);
        EXPECT_EQ(loader.GetErrorCode(), 0);
    }
    std::vector<uint8_t> buffer(77, 0xEE);
    EXPECT_EQ(loader.Load(buffer.data(), dir.File("raw.bin").c_str()), 0);
    EXPECT_EQ(loader.GetErrorCode(), CImageLoader::ERR_OPEN);
    EXPECT_EQ(buffer, std::vector<uint8_t>(77, 0xEE));
}

TEST_F(CoffLoader, ALoadNeverOverrunsTheMeasuredDestination) {
    const std::string name = WriteCoff({{".a", 0x100, Pattern(8, 1)}});
    ASSERT_EQ(loader.Measure(name.c_str()), 8u);
    std::vector<uint8_t> buffer(8 + 16, 0xEE);
    // The file now spans 24 bytes, past the 8 that the destination was sized for.
    WriteCoff({{".a", 0x100, Pattern(8, 1)}, {".b", 0x110, Pattern(8, 2)}});
    EXPECT_EQ(loader.Load(buffer.data(), name.c_str()), 0);
    EXPECT_EQ(loader.GetErrorCode(), CImageLoader::ERR_OPEN);
    EXPECT_EQ(buffer, std::vector<uint8_t>(24, 0xEE));
}

} // namespace
