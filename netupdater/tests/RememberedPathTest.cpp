// The remembered-path file: the path's bytes alone, of which only the first 1000 count.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "RememberedPath.h"
#include "TempDir.h"

namespace {

TEST(RememberedPath, KeepsThePathAsBareBytes) {
    TempDir dir;
    const std::string file = dir.File("to_path.dat");
    EXPECT_EQ(ReadRememberedPath(file), "") << "no file yet";

    WriteRememberedPath(file, "C:\\images\\doc.bin");
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "C:\\images\\doc.bin");
    EXPECT_EQ(ReadRememberedPath(file), "C:\\images\\doc.bin");

    WriteRememberedPath(file, "");
    EXPECT_EQ(ReadRememberedPath(file), "") << "an empty path empties the file";

    WriteRememberedPath(file, std::string(1500, 'x'));
    EXPECT_EQ(ReadRememberedPath(file), std::string(1000, 'x'));

    // Nothing to report when the file cannot be written: the folder is gone.
    WriteRememberedPath(dir.File("gone/to_path.dat"), "C:\\doc.bin");
    EXPECT_EQ(ReadRememberedPath(dir.File("gone/to_path.dat")), "");
}

} // namespace
