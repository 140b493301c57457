// Unpacks arbitrary bytes as the archive behind a package's stub, as Kov.exe does, into an
// empty current directory. Nothing may appear anywhere but in that directory, and only plain
// files there; when the wizard runs, the directory is empty again afterwards.
//
// Input: the archive (the package's bytes after its stub).

#include <cstdlib>
#include <filesystem>
#include <string>

#include "Extractor.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;

void Check(bool holds) {
    if (!holds)
        std::abort();
}

// Only plain files in the directory: no folder, link or device was made of an entry.
void PlainFilesOnly(const fs::path& dir) {
    for (const auto& entry : fs::directory_iterator(dir))
        Check(entry.is_regular_file() && !entry.is_symlink());
}

struct Host : package::PackageHost {
    fs::path work;
    int wizardRuns = 0;

    void Line(const std::string&) override {}
    bool RunWizard() override {
        ++wizardRuns;
        PlainFilesOnly(work);
        return true;
    }
    void Pause(unsigned) override {}
};

size_t Count(const fs::path& dir) {
    size_t n = 0;
    for (auto it = fs::directory_iterator(dir); it != fs::directory_iterator(); ++it)
        ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // root/home holds the package, root/work is the current directory it unpacks into.
    static TempDir root;
    static const fs::path home = fs::path(root.Path()) / "home";
    static const fs::path work = fs::path(root.Path()) / "work";
    static const std::string packagePath = (home / "Kov.exe").string();
    static const bool made = fs::create_directories(home) && fs::create_directories(work) &&
                             (fs::current_path(work), true);
    Check(made);

    {
        std::FILE* f = std::fopen(packagePath.c_str(), "wb");
        Check(f && std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0);
    }
    Host host;
    host.work = work;
    package::RunPackage(package::Path(packagePath.begin(), packagePath.end()), 0, host);

    Check(Count(root.Path()) == 2 && Count(home) == 1);
    if (host.wizardRuns)
        Check(Count(work) == 0);
    PlainFilesOnly(work);
    for (const auto& entry : fs::directory_iterator(work))
        fs::remove(entry.path());
    return 0;
}
