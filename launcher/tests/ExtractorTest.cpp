#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "Extractor.h"
#include "FaultyFiles.h"
#include "PackageBytes.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;

// The directory's files and their bytes.
std::map<std::string, Bytes> Contents(const std::string& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::directory_iterator(dir))
        files[entry.path().filename().string()] = ReadAll(entry.path().string());
    return files;
}

struct Host : package::PackageHost {
    std::vector<std::string> lines;
    std::vector<unsigned> pauses;
    int wizardRuns = 0;
    std::map<std::string, Bytes> seenByWizard;
    std::string dir;

    void Line(const std::string& text) override { lines.push_back(text); }
    bool RunWizard() override {
        ++wizardRuns;
        seenByWizard = Contents(dir);
        return true;
    }
    void Pause(unsigned milliseconds) override { pauses.push_back(milliseconds); }
};

const std::vector<std::string> kWholeRun = {"Extract files, please wait.",
                                            "Extract files complete.",
                                            "Initial to load the application, please wait."};

// The package lies in a folder of its own; it unpacks into `work`, the current directory.
class Extractor : public ::testing::Test {
protected:
    TempDir home, work;
    ScopedCwd cwd{work.Path()};
    Host host;
    Bytes package = Pattern(4096, 99); // the stub

    void SetUp() override { host.dir = work.Path(); }
    void Run(uint32_t selfLength = 4096, package::Files& files = package::SystemFiles()) {
        home.Write("Kov.exe", package);
        package::RunPackage(u"" + Utf16(home.File("Kov.exe")), selfLength, host, files);
    }
    static std::u16string Utf16(const std::string& ascii) {
        return std::u16string(ascii.begin(), ascii.end());
    }
};

TEST_F(Extractor, UnpacksRunsTheWizardAndCleansUp) {
    const std::map<std::string, Bytes> kit = {
        {"Zentro_Comms.dll", Pattern(131072 + 1, 1)},
        {"KovShop.exe", Pattern(2 * 131072, 2)}, // whole blocks only
        {"Quillo.exe", {}},
        {"WMUPDAT.DIP", Pattern(131071, 4)},
    };
    for (const auto& [name, data] : kit)
        AppendEntry(package, Utf16(name), data);
    work.Write("WMUPDAT.DIP", Pattern(7, 5)); // overwritten, then deleted
    Run();

    EXPECT_EQ(host.lines, kWholeRun);
    EXPECT_EQ(host.wizardRuns, 1);
    EXPECT_EQ(host.seenByWizard, kit);
    EXPECT_EQ(host.pauses, std::vector<unsigned>{500});
    EXPECT_TRUE(Contents(work.Path()).empty());
}

TEST_F(Extractor, AnEmptyArchiveStillRunsTheWizard) {
    Run();
    EXPECT_EQ(host.lines, kWholeRun);
    EXPECT_EQ(host.wizardRuns, 1);
}

TEST_F(Extractor, NamesOfEveryLengthComeOutAsTheyReadBack) {
    const std::string name129(129, 'n'), name130(130, 'c');
    AppendEntry(package, Utf16(name129), Pattern(1, 1));
    AppendEntry(package, Utf16(name130 + "-cut-off"), Pattern(2, 2));
    AppendEntry(package, u"\u00e9t\u00e9.txt", Pattern(3, 3));
    Run();
    std::set<std::string> names;
    for (const auto& [name, data] : host.seenByWizard)
        names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{name129, name130, "\xc3\xa9t\xc3\xa9.txt"}));
}

TEST_F(Extractor, AnOwnFileThatCannotBeOpenedStopsAtOnce) {
    package::RunPackage(u"" + Utf16(home.File("missing.exe")), 4096, host);
    EXPECT_EQ(host.lines, std::vector<std::string>{"ERROR:Open self error!"});
    EXPECT_EQ(host.wizardRuns, 0);
}

// Damaged packages: the wizard is never started, the files unpacked before stay, and so does
// the empty file of an entry whose length is missing; an entry whose data is cut is removed.
TEST_F(Extractor, DamagedPackagesStopBeforeTheWizard) {
    Bytes whole = package;
    AppendEntry(whole, u"KovShop.exe", Pattern(10, 1));
    AppendEntry(whole, u"WMUPDAT.DIP", Pattern(300000, 2));
    const size_t second = 4096 + 264 + 10;
    const struct {
        const char* what;
        size_t cutAt;
        std::vector<std::string> files;
        const char* error;
    } cases[] = {
        {"inside a name field",
         second + 22,
         {"KovShop.exe", "WMUPDAT.DIP"},
         "ERROR:Read first file length error!"},
        {"inside a length field",
         second + 262,
         {"KovShop.exe", "WMUPDAT.DIP"},
         "ERROR:Read first file length error!"},
        {"inside the data",
         second + 264 + 131072 + 5,
         {"KovShop.exe"},
         "ERROR:WMUPDAT.DIP ends early, the package is damaged!"},
        {"one byte short",
         whole.size() - 1,
         {"KovShop.exe"},
         "ERROR:WMUPDAT.DIP ends early, the package is damaged!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        package.assign(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(c.cutAt));
        host.lines.clear();
        Run();
        EXPECT_EQ(host.lines, (std::vector<std::string>{"Extract files, please wait.", c.error}));
        EXPECT_EQ(host.wizardRuns, 0);
        std::vector<std::string> files;
        for (const auto& [name, data] : Contents(work.Path()))
            files.push_back(name);
        EXPECT_EQ(files, c.files);
        for (const auto& name : files)
            fs::remove(work.File(name));
    }
}

// A package file that cannot be read to its end, as from a failing disk or a share that went
// away, stops as a damaged package does, wherever the reading fails; above all a failure between
// two entries is not the archive's end, which would start the wizard on part of the kit.
TEST_F(Extractor, AReadErrorStopsLikeADamagedPackage) {
    AppendEntry(package, u"KovShop.exe", Pattern(10, 1));
    AppendEntry(package, u"WMUPDAT.DIP", Pattern(300000, 2));
    const size_t second = 4096 + 264 + 10;
    const struct {
        const char* what;
        size_t failAt;
        const char* error;
    } cases[] = {
        {"between two entries", second, "ERROR:Read self error!"},
        {"inside a name field", second + 22, "ERROR:Read self error!"},
        {"inside a length field", second + 262, "ERROR:Read first file length error!"},
        {"inside the data", second + 264 + 131072 + 5, "ERROR:Read WMUPDAT.DIP error!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FaultyFiles files;
        files.failingFile = Utf16(home.File("Kov.exe"));
        files.failAt = c.failAt;
        host.lines.clear();
        host.wizardRuns = 0;
        Run(4096, files);
        EXPECT_EQ(host.lines, (std::vector<std::string>{"Extract files, please wait.", c.error}));
        EXPECT_EQ(host.wizardRuns, 0);
        std::vector<std::string> left;
        for (const auto& [name, data] : Contents(work.Path()))
            left.push_back(name);
        EXPECT_EQ(left, std::vector<std::string>{"KovShop.exe"}); // nothing of the failed entry
        fs::remove(work.File("KovShop.exe"));
    }
}

// What a folder holds, its subfolders' files under their paths, and each subfolder as its path
// with a slash.
std::map<std::string, Bytes> Tree(const std::string& dir) {
    std::map<std::string, Bytes> tree;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string path = fs::relative(entry.path(), dir).generic_string();
        if (entry.is_directory())
            tree[path + "/"] = {};
        else
            tree[path] = ReadAll(entry.path().string());
    }
    return tree;
}

// A link that already stands at an entry's name, to a file or a place elsewhere, is replaced by
// the entry's file: nothing is written through it, so whatever it leads to stays as it was.
TEST_F(Extractor, ALinkAtAnEntrysNameIsReplacedNotWrittenThrough) {
    const std::map<std::string, Bytes> kit = {{"KovShop.exe", Pattern(10, 1)},
                                              {"WMUPDAT.DIP", Pattern(300000, 2)}};
    for (const auto& [name, data] : kit)
        AppendEntry(package, Utf16(name), data);
    const struct {
        const char* what;
        std::function<void(const fs::path& at, const fs::path& elsewhere)> make;
    } cases[] = {
        {"a hard link to a file elsewhere",
         [](const fs::path& at, const fs::path& elsewhere) {
             fs::create_hard_link(elsewhere / "precious.bin", at);
         }},
#ifndef _WIN32
        {"a symbolic link to a file elsewhere",
         [](const fs::path& at, const fs::path& elsewhere) {
             fs::create_symlink(elsewhere / "precious.bin", at);
         }},
        {"a symbolic link to a name elsewhere that nothing holds yet",
         [](const fs::path& at, const fs::path& elsewhere) {
             fs::create_symlink(elsewhere / "planted.bin", at);
         }},
        {"a symbolic link to a folder elsewhere",
         [](const fs::path& at, const fs::path& elsewhere) {
             fs::create_directory_symlink(elsewhere / "folder", at);
         }},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir elsewhere;
        elsewhere.Write("precious.bin", Pattern(64, 3));
        fs::create_directories(elsewhere.File("folder"));
        const std::map<std::string, Bytes> before = Tree(elsewhere.Path());
        c.make(work.File("WMUPDAT.DIP"), elsewhere.Path());
        host = Host();
        host.dir = work.Path();
        Run();
        EXPECT_EQ(host.lines, kWholeRun);
        EXPECT_EQ(host.seenByWizard, kit);
        EXPECT_EQ(Tree(elsewhere.Path()), before);
        EXPECT_TRUE(fs::is_empty(work.Path()));
        for (const auto& entry : fs::directory_iterator(work.Path()))
            fs::remove_all(entry.path());
    }
}

TEST_F(Extractor, HostileNamesCreateNothingAndStartNothing) {
    const std::u16string names[] = {u"../escaped.txt",
                                    u"..\\escaped.txt",
                                    u"C:escaped.txt",
                                    u"sub/escaped.txt",
                                    u"NUL",
                                    u"con.txt",
                                    u"..",
                                    u""};
    // The package runs one level down, so that what escapes lands in the test's own folder.
    const TempDir outer;
    const fs::path run = fs::path(outer.Path()) / "run";
    fs::create_directories(run / "sub");
    host.dir = run.string();
    const ScopedCwd inRun{run.string()};
    for (const std::u16string& name : names) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        package.resize(4096);
        AppendEntry(package, u"first.txt", Pattern(5, 1));
        AppendEntry(package, name, Pattern(5, 2));
        host.lines.clear();
        Run();
        EXPECT_EQ(host.lines, (std::vector<std::string>{"Extract files, please wait.",
                                                        "ERROR:Unsafe file name in the package!"}));
        EXPECT_EQ(host.wizardRuns, 0);
        EXPECT_TRUE(fs::is_empty(run / "sub"));
        EXPECT_FALSE(fs::exists(fs::path(outer.Path()) / "escaped.txt"));
        fs::remove(run / "first.txt");
        fs::remove(run / "sub");
        EXPECT_TRUE(fs::is_empty(run));
        fs::create_directories(run / "sub");
    }
}

} // namespace
