// The download file on disk, read by its length and a block at a time.
#include <gtest/gtest.h>

#include <fstream>

#include "DownloadFile.h"
#include "TempDir.h"

namespace {

// A folder named in Cyrillic, Arabic and Hebrew together, which no ANSI code page can spell:
// the file in it is found by its wide path on Windows, by its UTF-8 bytes elsewhere.
TEST(DiskFile, ReadsAFileInAFolderNamedOutsideTheAnsiCodePage) {
    TempDir dir;
    const std::filesystem::path folder =
        std::filesystem::path(dir.Path()) / std::filesystem::u8path(u8"тест-ملف-קובץ");
    std::filesystem::create_directories(folder);
    const std::filesystem::path path = folder / "doc.bin";
    std::string bytes(1500, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 13);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));

    DiskFile file(path);
    uint64_t length = 0;
    ASSERT_TRUE(file.Length(length)) << "not found by its path";
    EXPECT_EQ(length, 1500u);
    uint8_t block[512];
    ASSERT_TRUE(file.ReadAt(512, block, sizeof block));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block), sizeof block), bytes.substr(512, 512));
    EXPECT_FALSE(file.ReadAt(1024, block, sizeof block)) << "read past the end";
}

} // namespace
