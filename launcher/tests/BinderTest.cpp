#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>

#include "Binder.h"
#include "FaultyFiles.h"
#include "PackageBytes.h"
#include "TempDir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

struct Transcript : package::Console {
    std::vector<std::string> lines;
    void Line(const std::string& text) override { lines.push_back(text); }
    bool Has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

// A builder's file: the marker 78 56 34 12 at offset 16 and its self-length word after it, an
// unaligned copy of the marker before them, and 1000 bytes in all unless told.
Bytes FakeBuilder(size_t size = 1000) {
    Bytes image = Pattern(size, 7);
    const uint8_t marker[] = {0x78, 0x56, 0x34, 0x12};
    std::copy(marker, marker + 4, image.begin() + 5);
    std::copy(marker, marker + 4, image.begin() + 16);
    std::fill(image.begin() + 20, image.begin() + 24, 0);
    return image;
}

struct Entry {
    std::u16string name;
    Bytes data;
};

// Reads a package's entries by the layout's literal sizes.
std::vector<Entry> EntriesOf(const Bytes& package, size_t stubLength) {
    std::vector<Entry> entries;
    for (size_t at = stubLength; at < package.size();) {
        std::u16string name;
        for (size_t i = 0; i < 260; i += 2) {
            const char16_t unit = static_cast<char16_t>(package[at + i] | package[at + i + 1] << 8);
            if (unit == 0)
                break;
            name += unit;
        }
        const uint32_t length = Le32(package, at + 260);
        const auto data = package.begin() + static_cast<std::ptrdiff_t>(at + 264);
        entries.push_back({name, Bytes(data, data + length)});
        at += 264 + length;
    }
    return entries;
}

class Binder : public ::testing::Test {
protected:
    TempDir dir;
    ScopedCwd cwd{dir.Path()};
    Transcript console;
    const Bytes builder = FakeBuilder();

    void SetUp() override { dir.Write("MakeKov.exe", builder); }
    void Bind(package::Files& files = package::SystemFiles()) {
        package::BindPackage(u"MakeKov.exe", 0x12345678, console, files);
    }
    bool PackageExists() const { return std::filesystem::exists(dir.File("Kov.exe")); }
};

TEST_F(Binder, BindsEveryOtherFileBehindThePatchedBuilder) {
    dir.Write("Kov.exe", Bytes(5000, 0xEE)); // an older package: replaced, not bound
    dir.Write("WMUPDAT.DIP", Pattern(300000, 1));
    dir.Write("Quillo.exe", Pattern(1000, 2));
    std::filesystem::create_directories(dir.File("sub"));
    dir.Write("sub/inner.txt", Pattern(9, 4));
    Bind();

    const Bytes package = ReadAll(dir.File("Kov.exe"));
    ASSERT_GE(package.size(), 1000u);
    Bytes stub(package.begin(), package.begin() + 1000);
    EXPECT_EQ(Le32(stub, 20), 1000u);
    std::fill(stub.begin() + 20, stub.begin() + 24, 0);
    EXPECT_EQ(stub, builder);

    std::map<std::u16string, Bytes> entries;
    for (const Entry& e : EntriesOf(package, 1000))
        entries[e.name] = e.data;
    const std::map<std::u16string, Bytes> expected = {
        {u"WMUPDAT.DIP", Pattern(300000, 1)},
        {u"Quillo.exe", Pattern(1000, 2)},
    };
    EXPECT_EQ(entries, expected);

    ASSERT_GE(console.lines.size(), 3u);
    EXPECT_EQ(console.lines[0], "Bind self OK! Self length:1000");
    EXPECT_EQ(console.lines[1], "Current path is " + std::filesystem::current_path().string());
    EXPECT_EQ(console.lines.back(), "Kov bind succeed!");
    for (const char* line :
         {"File name is MakeKov.exe", "File name is Kov.exe", "File name is WMUPDAT.DIP",
          "Bind WMUPDAT.DIP OK! Length:300000", "Bind Quillo.exe OK! Length:1000"})
        EXPECT_TRUE(console.Has(line)) << line;
    EXPECT_FALSE(console.Has("File name is sub"));
    EXPECT_EQ(console.lines.size(), 9u);
}

#ifndef _WIN32
// Windows folds letter case, so only here can both names lie side by side.
TEST_F(Binder, NamesThatDifferOnlyInCaseAreBound) {
    dir.Write("makekov.exe", Pattern(3, 3));
    dir.Write("KOV.EXE", Pattern(4, 4));
    Bind();
    const auto entries = EntriesOf(ReadAll(dir.File("Kov.exe")), 1000);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_TRUE(console.Has("Bind makekov.exe OK! Length:3"));
    EXPECT_TRUE(console.Has("Bind KOV.EXE OK! Length:4"));
}
#endif

TEST_F(Binder, LongNamesAreCutTo130Units) {
    const std::string name129(129, 'n'), name131 = std::string(130, 'c') + "X";
    dir.Write(name129, Pattern(10, 1));
    dir.Write(name131, Pattern(11, 2));
    Bind();
    const Bytes package = ReadAll(dir.File("Kov.exe"));
    for (size_t at = 1000; at < package.size(); at += 264 + Le32(package, at + 260)) {
        if (package[at] == 'n') {
            EXPECT_EQ(package[at + 256], 'n');
            EXPECT_EQ(package[at + 258], 0);
            EXPECT_EQ(package[at + 259], 0);
        } else {
            EXPECT_EQ(package[at + 258], 'c'); // the 130th unit fills the field: no terminator
            EXPECT_EQ(package[at + 259], 0);
            EXPECT_EQ(Le32(package, at + 260), 11u);
        }
    }
    const auto entries = EntriesOf(package, 1000);
    ASSERT_EQ(entries.size(), 2u);
}

TEST_F(Binder, ABuilderAloneGivesAPackageOfTheStubOnly) {
    Bind();
    const Bytes package = ReadAll(dir.File("Kov.exe"));
    EXPECT_EQ(package.size(), 1000u);
    EXPECT_EQ(console.lines.back(), "Kov bind succeed!");
}

TEST_F(Binder, AFileThatCannotBeBoundRemovesThePartialPackage) {
    dir.Write("a.bin", Pattern(10, 1));
    const struct {
        const char* name;
        std::function<void(const std::string& path)> make;
    } cases[] = {
        {"empty.bin", [](const std::string& path) { std::ofstream{path}; }},
#ifndef _WIN32
        // A pipe has no size, and a reader that opened it would wait for a writer.
        {"pipe", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.make(dir.File(c.name));
        console.lines.clear();
        auto bind = std::async(std::launch::async, [&] { Bind(); });
        if (bind.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            std::ofstream{dir.File(c.name)}; // lets a reader that waits on a pipe go on
            FAIL() << "the bind still waits after 10 s, on " << c.name;
        }
        EXPECT_TRUE(console.Has("ERROR: Cann't get the " + std::string(c.name) + " file info."));
        EXPECT_FALSE(console.Has("Kov bind succeed!"));
        EXPECT_FALSE(PackageExists());
        std::filesystem::remove(dir.File(c.name));
    }
}

// A folder that cannot be listed whole would give a package that lacks part of the kit, and one
// that may well be large enough to run as a package; none is left.
TEST_F(Binder, AFolderThatCannotBeListedWholeLeavesNoPackage) {
    dir.Write("a.bin", Pattern(10, 1));
    dir.Write("b.bin", Pattern(11, 2));
    const std::string here = "Current path is " + std::filesystem::current_path().string();
    const struct {
        const char* what;
        int currentDirectoryError;
        std::optional<FaultyFiles::ListingFault> listingFault;
        std::vector<std::string> lines;
    } cases[] = {
        {"the current directory cannot be taken",
         2,
         std::nullopt,
         {"Current path is ", "GetCurrentDirectory failed (2)"}},
        {"the listing cannot be started",
         0,
         FaultyFiles::ListingFault{0, 5},
         {here, "ERROR: Cann't list the current directory (5)!"}},
        {"the listing fails part-way",
         0,
         FaultyFiles::ListingFault{3, 1117},
         {here, "ERROR: Cann't list the current directory (1117)!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FaultyFiles files;
        files.currentDirectoryError = c.currentDirectoryError;
        files.listingFault = c.listingFault;
        console.lines.clear();
        Bind(files);
        std::vector<std::string> expected = {"Bind self OK! Self length:1000"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(console.lines, expected);
        EXPECT_FALSE(PackageExists());
    }
}

#ifdef __linux__
// A file whose content is shorter than the size the system reports for it, as a file cut while
// it is bound: its entry would carry a length that disagrees with its data.
TEST_F(Binder, AFileShorterThanItsSizeStopsTheBind) {
    std::filesystem::create_symlink("/sys/kernel/mm/transparent_hugepage/enabled",
                                    dir.File("shrinking.txt"));
    if (ReadAll(dir.File("shrinking.txt")).size() >= 4096)
        GTEST_SKIP() << "no file here that reads shorter than its size";
    Bind();
    EXPECT_TRUE(console.Has("ERROR: Cann't read the whole shrinking.txt file."));
    EXPECT_FALSE(PackageExists());
}
#endif

// A file still being written while it is bound: its entry would carry a length that disagrees
// with its data.
TEST_F(Binder, AFileThatGrowsWhileBoundStopsTheBind) {
    dir.Write("grows.bin", Pattern(10, 1));
    FaultyFiles files;
    files.growingFile = u"grows.bin";
    Bind(files);
    EXPECT_TRUE(console.Has("ERROR: The grows.bin file grew while it was bound."));
    EXPECT_FALSE(PackageExists());
}

// Neither the package being written nor the builder is bound under another name the folder lists
// it by: a name in another letter case, which is the same file where names fold as on Windows,
// or a second link to it.
TEST_F(Binder, ThePackageAndTheBuilderAreNotBoundUnderOtherNames) {
    namespace fs = std::filesystem;
    const struct {
        const char* what;
        const char16_t* builder;
        std::function<void(const TempDir&)> make;
    } cases[] = {
        {"the builder named in other letters", u"makekov.exe",
         [&](const TempDir& d) { d.Write("makekov.exe", builder); }},
        {"a hard link to the builder", u"MakeKov.exe",
         [&](const TempDir& d) {
             d.Write("MakeKov.exe", builder);
             fs::create_hard_link(d.File("MakeKov.exe"), d.File("Builder copy.exe"));
         }},
        {"a hard link to an older package, which is written over", u"MakeKov.exe",
         [&](const TempDir& d) {
             d.Write("MakeKov.exe", builder);
             d.Write("Kov.exe", Pattern(5000, 6));
             fs::create_hard_link(d.File("Kov.exe"), d.File("Kov copy.exe"));
         }},
#ifdef _WIN32
        {"an older package named in other letters, which is written over", u"MakeKov.exe",
         [&](const TempDir& d) {
             d.Write("MakeKov.exe", builder);
             d.Write("kov.exe", Pattern(5000, 6));
         }},
#else
        {"a symbolic link to the package", u"MakeKov.exe",
         [&](const TempDir& d) {
             d.Write("MakeKov.exe", builder);
             fs::create_symlink("Kov.exe", d.File("Kov link.exe"));
         }},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir folder;
        ScopedCwd inFolder(folder.Path());
        c.make(folder);
        folder.Write("a.bin", Pattern(10, 1));
        console.lines.clear();
        package::BindPackage(c.builder, 0x12345678, console);
        EXPECT_EQ(console.lines.back(), "Kov bind succeed!");
        Bytes package;
        for (const auto& entry : fs::directory_iterator(folder.Path())) {
            if (entry.path().filename().string() == "Kov.exe" ||
                entry.path().filename().string() == "kov.exe")
                package = ReadAll(entry.path().string());
        }
        if (package.size() < 1000) {
            ADD_FAILURE() << "no package";
            continue;
        }
        std::map<std::u16string, Bytes> entries;
        for (const Entry& e : EntriesOf(package, 1000))
            entries[e.name] = e.data;
        EXPECT_EQ(entries, (std::map<std::u16string, Bytes>{{u"a.bin", Pattern(10, 1)}}));
    }
}

TEST_F(Binder, FailuresBeforeTheStubWriteNothing) {
    const struct {
        Bytes builder;
        const char* line;
    } cases[] = {
        {{}, "ERROR:binding self error!"},
        {Pattern(64, 9), "ERROR:Binding, cann't read self length!"},
    };
    for (const auto& c : cases) {
        console.lines.clear();
        dir.Write("MakeKov.exe", c.builder);
        Bind();
        EXPECT_EQ(console.lines, std::vector<std::string>{c.line});
        EXPECT_FALSE(PackageExists());
    }
    console.lines.clear();
    package::BindPackage(u"NoSuchBuilder.exe", 0x12345678, console);
    EXPECT_EQ(console.lines, std::vector<std::string>{"ERROR:binding self error!"});
}

} // namespace
