// Binding the shipped kit into a package and extracting it again, against `cp` copying the same
// files the same way in the same run; and the extractor's peak memory, for a kit with the
// 46 MB image and one with a 1 MiB image, against a process that only starts.
//
//   packagebench [--rounds N]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Binder.h"
#include "Extractor.h"
#include "SampleKit.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kMarker = 0x12345678;
// The sizes of the Windows programs in a kit; their bytes do not matter here.
const std::pair<const char*, size_t> kPrograms[] = {
    {"KovShop.exe", 1714688}, {"Zentro_Comms.dll", 215040}, {"Quillo.exe", 24576}};
constexpr size_t kBuilderBytes = 242176;

struct Quiet : package::PackageHost {
    Clock::time_point extracted;
    void Line(const std::string&) override {}
    bool RunWizard() override {
        extracted = Clock::now();
        return true;
    }
    void Pause(unsigned) override {}
};

void WriteBytes(const fs::path& path, size_t size, uint8_t seed) {
    std::vector<char> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 131 + seed + (i >> 12));
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
}

// A kit with its builder: the marker at an aligned offset of a builder-sized file.
void WriteKit(const fs::path& dir, uint16_t imageMiB) {
    fs::create_directories(dir);
    WriteBytes(dir / "MakeKov.exe", kBuilderBytes, 1);
    {
        std::fstream builder(dir / "MakeKov.exe", std::ios::in | std::ios::out | std::ios::binary);
        builder.seekp(4096);
        const char marker[8] = {0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0};
        builder.write(marker, 8);
    }
    for (const auto& [name, size] : kPrograms)
        WriteBytes(dir / name, size, static_cast<uint8_t>(size));
    const Result written =
        WriteSampleImage((dir / "WMUPDAT.DIP").string(), SampleSpec(0xCE, imageMiB, 0));
    if (!written) {
        std::fprintf(stderr, "%s\n", written.Message().c_str());
        std::exit(1);
    }
}

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// The peak resident set of this process so far, in KiB (the kernel's high-water mark, which an
// exec starts afresh, unlike the rusage of a child).
long PeakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmHWM:") == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

// Runs this program again with `args` and reads the peak it reports, or -1.
long ChildPeakKiB(const std::string& args) {
    std::FILE* child =
        ::popen((fs::canonical("/proc/self/exe").string() + " " + args).c_str(), "r");
    if (!child)
        return -1;
    long peak = -1;
    if (std::fscanf(child, "%ld", &peak) != 1)
        peak = -1;
    return ::pclose(child) == 0 ? peak : -1;
}

double CpSeconds(const fs::path& from, const fs::path& to, bool withBuilder) {
    std::string command = "cp";
    for (const auto& [name, size] : kPrograms)
        command += " '" + (from / name).string() + "'";
    command += " '" + (from / "WMUPDAT.DIP").string() + "'";
    if (withBuilder)
        command += " '" + (from / "MakeKov.exe").string() + "'";
    command += " '" + to.string() + "/'";
    const Clock::time_point start = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::exit(1);
    return Seconds(start, Clock::now());
}

void Empty(const fs::path& dir) {
    fs::remove_all(dir);
    fs::create_directories(dir);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The child for the memory figures: extracts PACKAGE into the current directory, then cleans up.
int ExtractChild(const char* packagePath) {
    Quiet host;
    const std::string path = packagePath;
    package::RunPackage(package::Path(path.begin(), path.end()), kBuilderBytes, host);
    std::printf("%ld\n", PeakKiB());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--extract-child")
        return ExtractChild(argv[2]);
    if (argc == 2 && std::string(argv[1]) == "--idle-child") {
        std::printf("%ld\n", PeakKiB());
        return 0;
    }
    int rounds = 5;
    if (argc == 3 && std::string(argv[1]) == "--rounds")
        rounds = std::max(1, std::atoi(argv[2]));

    const fs::path work = fs::temp_directory_path() / ("packagebench-" + std::to_string(getpid()));
    const fs::path kit = work / "kit", unpacked = work / "unpacked", copyA = work / "copy-a",
                   copyB = work / "copy-b";
    WriteKit(kit, 44);
    const fs::path packagePath = kit / "Kov.exe";
    const std::string packageText = packagePath.string();
    const package::Path packageName(packageText.begin(), packageText.end());

    std::vector<double> bind, bindCp, extract, extractCp;
    for (int round = 0; round < rounds; ++round) {
        Quiet host;
        fs::current_path(kit);
        Clock::time_point start = Clock::now();
        package::BindPackage(u"MakeKov.exe", kMarker, host);
        bind.push_back(Seconds(start, Clock::now()));
        Empty(copyA);
        bindCp.push_back(CpSeconds(kit, copyA, true));

        Empty(unpacked);
        fs::current_path(unpacked);
        start = Clock::now();
        package::RunPackage(packageName, kBuilderBytes, host);
        extract.push_back(Seconds(start, host.extracted));
        Empty(copyB);
        extractCp.push_back(CpSeconds(copyA, copyB, false));
    }
    const uint64_t packageBytes = fs::file_size(packagePath);

    // Peak memory of extracting the 46 MB kit, of a kit whose image is 1 MiB, and of a process
    // that only starts.
    Empty(unpacked);
    fs::current_path(unpacked);
    const long bigPeak = ChildPeakKiB("--extract-child '" + packageText + "'");
    fs::current_path(work);
    fs::remove_all(kit);
    WriteKit(kit, 1);
    fs::current_path(kit);
    {
        Quiet host;
        package::BindPackage(u"MakeKov.exe", kMarker, host);
    }
    fs::current_path(unpacked);
    const long smallPeak = ChildPeakKiB("--extract-child '" + packageText + "'");
    const long idlePeak = ChildPeakKiB("--idle-child");
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(work);

    const double b = Median(bind), bc = Median(bindCp), e = Median(extract), ec = Median(extractCp);
    std::printf("package of %llu bytes: stub %zu, image 46,138,368, medians of %d rounds\n",
                static_cast<unsigned long long>(packageBytes), kBuilderBytes, rounds);
    std::printf("  bind     %7.3f s   cp of the same files %7.3f s   ratio %.2f\n", b, bc, b / bc);
    std::printf("  extract  %7.3f s   cp of the same files %7.3f s   ratio %.2f\n", e, ec, e / ec);
    std::printf("  both     %7.3f s   cp                   %7.3f s   ratio %.2f (goal 1.20)\n",
                b + e, bc + ec, (b + e) / (bc + ec));
    std::printf("peak resident memory of the extracting process (goal under 8 MiB):\n");
    std::printf(
        "  46 MB image %.2f MiB, 1 MiB image %.2f MiB, a process that only starts %.2f MiB\n",
        bigPeak / 1024.0, smallPeak / 1024.0, idlePeak / 1024.0);
    std::printf("  the extraction's own share: %.2f MiB\n", (bigPeak - idlePeak) / 1024.0);
    return bigPeak > 0 && smallPeak > 0 && idlePeak > 0 ? 0 : 1;
}
