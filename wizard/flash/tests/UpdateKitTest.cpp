#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "SampleKit.h"
#include "TempDir.h"
#include "UpdateKit.h"

namespace {

std::vector<uint8_t> SmallImage(uint32_t seed) {
    SampleImageSpec s;
    s.osSizeMiB = 1;
    s.seed = seed;
    return BuildSampleImage(s);
}

TEST(UpdateKit, ReadsBothImagesWhole) {
    TempDir dir;
    dir.Write(UPDATE_IMAGE_NAME, SmallImage(1));
    dir.Write(IPL_IMAGE_NAME, SmallImage(2));
    CImageLoader loader;
    ImageRecord ipl, update;
    ASSERT_EQ(ReadUpdateKit(loader, ipl, update, dir.Path()), KitOutcome::Loaded);
    ASSERT_TRUE(update.HasData());
    ASSERT_TRUE(ipl.HasData());
    EXPECT_EQ(std::vector<uint8_t>(update.data.get(), update.data.get() + update.size),
              SmallImage(1));
    EXPECT_EQ(std::vector<uint8_t>(ipl.data.get(), ipl.data.get() + ipl.size), SmallImage(2));
    EXPECT_EQ(update.crcCheck, 0);
}

TEST(UpdateKit, TakesTheCurrentDirectoryByDefault) {
    TempDir dir;
    dir.Write(UPDATE_IMAGE_NAME, SmallImage(1));
    ScopedCwd cwd(dir.Path());
    CImageLoader loader;
    ImageRecord ipl, update;
    EXPECT_EQ(ReadUpdateKit(loader, ipl, update), KitOutcome::Loaded);
    EXPECT_FALSE(ipl.HasData()) << "no IPL image is no IPL, silently";
}

TEST(UpdateKit, AMissingUpdateImageIsMissingAndTheIplIsStillRead) {
    TempDir dir;
    dir.Write(IPL_IMAGE_NAME, SmallImage(2));
    CImageLoader loader;
    ImageRecord ipl, update;
    EXPECT_EQ(ReadUpdateKit(loader, ipl, update, dir.Path()), KitOutcome::Missing);
    EXPECT_FALSE(update.HasData());
    EXPECT_TRUE(ipl.HasData());
}

TEST(UpdateKit, ReadingAgainReplacesWhatTheRecordsHeld) {
    TempDir dir;
    dir.Write(UPDATE_IMAGE_NAME, SmallImage(1));
    CImageLoader loader;
    ImageRecord ipl, update;
    ASSERT_EQ(ReadUpdateKit(loader, ipl, update, dir.Path()), KitOutcome::Loaded);
    dir.Write(UPDATE_IMAGE_NAME, {1, 2, 3});
    ASSERT_EQ(ReadUpdateKit(loader, ipl, update, dir.Path()), KitOutcome::Loaded);
    EXPECT_EQ(update.size, 3u);
    EXPECT_EQ(update.data[2], 3);
}

// The page says "Reading Input Image" at this moment: the image is measured, not yet buffered.
TEST(UpdateKit, TellsWhenTheUpdateImageIsMeasuredAndBeforeItIsBuffered) {
    TempDir dir;
    dir.Write(IPL_IMAGE_NAME, SmallImage(2));
    CImageLoader loader;
    ImageRecord ipl, update;
    std::vector<std::pair<uint32_t, bool>> calls; // the update record's size and data then
    const auto measured = [&] { calls.emplace_back(update.size, update.HasData()); };
    ASSERT_EQ(ReadUpdateKit(loader, ipl, update, dir.Path(), measured), KitOutcome::Missing);
    EXPECT_TRUE(calls.empty()) << "no update image, nothing measured; the IPL image does not count";

    dir.Write(UPDATE_IMAGE_NAME, SmallImage(1));
    ASSERT_EQ(ReadUpdateKit(loader, ipl, update, dir.Path(), measured), KitOutcome::Loaded);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, SmallImage(1).size());
    EXPECT_FALSE(calls[0].second);
}

#if !defined(_WIN32)
// A folder opens for reading on POSIX systems but cannot be read: it stands for a file that
// opens and then fails to load.
TEST(UpdateKit, ImagesThatOpenButCannotBeLoaded) {
    TempDir dir;
    std::filesystem::create_directory(dir.File(IPL_IMAGE_NAME));
    std::filesystem::create_directory(dir.File(UPDATE_IMAGE_NAME));
    CImageLoader loader;
    ImageRecord ipl, update;
    EXPECT_EQ(ReadUpdateKit(loader, ipl, update, dir.Path()), KitOutcome::NotLoaded);
    EXPECT_FALSE(update.HasData());
    EXPECT_FALSE(ipl.HasData()) << "an IPL image that cannot be loaded counts as absent";
}
#endif

} // namespace
