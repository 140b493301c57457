// kovkit: writes sample update kits, and tells what a kit would install.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#if defined(_WIN32)
#include <direct.h>
#endif

#include "ImageType.h"
#include "KitReport.h"
#include "SampleKit.h"

namespace {

const char kUsage[] =
    "usage: kovkit make --out DIR [options]\n"
    "       kovkit describe DIR\n"
    "\n"
    "make writes WMUPDAT.DIP (and, with --ipl-size, WMIPL.DIP) into DIR:\n"
    "  --mode M            update mode byte: 0xCE OS, 0xC0 CP, 0xE0 OS then CP (default 0xCE)\n"
    "  --os-size MIB       OS size field (default 44)\n"
    "  --cp-size MIB       CP size field (default 0)\n"
    "  --payload-bytes N   payload length, whatever the sizes say (default: what they say)\n"
    "  --file-bytes N      cut or pad the whole file to N bytes (an image that lies)\n"
    "  --signature K       image-type signature 0..4, or 'none' (default 0)\n"
    "  --ipl-version V, --os-version V, --cp-version V\n"
    "                      six bytes: 12 hex digits, or up to 6 characters\n"
    "  --version-text T    the version text shown to the user\n"
    "  --seed N            payload pattern (default 1)\n"
    "  --ipl-size N        also write an IPL image with N payload bytes\n"
    "  --ipl-signature K   the IPL image's signature (default: the update image's)\n"
    "\n"
    "describe reads DIR as the wizard would and prints what it would install.\n";

bool ParseNumber(const char* text, int64_t& out) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 0);
    if (errno || *end || v < 0)
        return false;
    out = v;
    return true;
}

// A number no larger than `max`, into a field of its own width.
template <typename Field> bool ParseField(const char* text, int64_t max, Field& field) {
    int64_t n = 0;
    if (!ParseNumber(text, n) || n > max)
        return false;
    field = static_cast<Field>(n);
    return true;
}

bool ParseSignature(const char* text, int& out) {
    if (text && std::strcmp(text, "none") == 0) {
        out = -1;
        return true;
    }
    int64_t v;
    if (!ParseNumber(text, v) || v >= IMAGE_TYPE_SIGNATURE_COUNT)
        return false;
    out = static_cast<int>(v);
    return true;
}

int Make(int argc, char** argv) {
    SampleImageSpec spec;
    std::string out;
    int64_t iplSize = -1;
    int iplSignature = -2; // the update image's
    for (int i = 2; i < argc; ++i) {
        std::string opt = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = value != nullptr;
        if (opt == "--out")
            out = value ? value : "";
        else if (opt == "--mode")
            ok = ok && ParseField(value, 255, spec.updateMode);
        else if (opt == "--os-size")
            ok = ok && ParseField(value, 65535, spec.osSizeMiB);
        else if (opt == "--cp-size")
            ok = ok && ParseField(value, 65535, spec.cpSizeMiB);
        else if (opt == "--payload-bytes")
            ok = ok && ParseNumber(value, spec.payloadBytes);
        else if (opt == "--file-bytes")
            ok = ok && ParseNumber(value, spec.fileBytes);
        else if (opt == "--signature")
            ok = ok && ParseSignature(value, spec.signature);
        else if (opt == "--ipl-version")
            ok = ok && ParseVersion(value, spec.iplVersion);
        else if (opt == "--os-version")
            ok = ok && ParseVersion(value, spec.osVersion);
        else if (opt == "--cp-version")
            ok = ok && ParseVersion(value, spec.cpVersion);
        else if (opt == "--version-text")
            spec.versionText = value ? value : "";
        else if (opt == "--seed")
            ok = ok && ParseField(value, INT64_MAX, spec.seed);
        else if (opt == "--ipl-size")
            ok = ok && ParseNumber(value, iplSize);
        else if (opt == "--ipl-signature")
            ok = ok && ParseSignature(value, iplSignature);
        else {
            std::fprintf(stderr, "kovkit: unknown option %s\n%s", opt.c_str(), kUsage);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "kovkit: %s needs a valid value\n", opt.c_str());
            return 2;
        }
        ++i;
    }
    if (out.empty()) {
        std::fprintf(stderr, "kovkit: make needs --out DIR\n%s", kUsage);
        return 2;
    }
#if defined(_WIN32)
    _mkdir(out.c_str());
#else
    mkdir(out.c_str(), 0777);
#endif
    std::string error;
    const std::string updatePath = KitPath(out, UPDATE_IMAGE_NAME);
    if (!WriteSampleImage(updatePath, spec, &error)) {
        std::fprintf(stderr, "kovkit: %s\n", error.c_str());
        return 1;
    }
    std::printf("wrote %s\n", updatePath.c_str());
    if (iplSize >= 0) {
        SampleImageSpec ipl = spec;
        ipl.payloadBytes = iplSize;
        ipl.fileBytes = -1;
        ipl.seed = spec.seed + 1000;
        if (iplSignature != -2)
            ipl.signature = iplSignature;
        const std::string iplPath = KitPath(out, IPL_IMAGE_NAME);
        if (!WriteSampleImage(iplPath, ipl, &error)) {
            std::fprintf(stderr, "kovkit: %s\n", error.c_str());
            return 1;
        }
        std::printf("wrote %s\n", iplPath.c_str());
    }
    return 0;
}

int Describe(const char* dir) {
    CImageLoader loader;
    ImageRecord ipl, update;
    KitOutcome outcome = ReadUpdateKit(loader, ipl, update, dir);
    KitReport report = DescribeKit(ipl, update, outcome);
    for (const std::string& line : report.lines)
        std::printf("%s\n", line.c_str());
    for (const std::string& problem : report.problems)
        std::printf("problem: %s\n", problem.c_str());
    std::printf(report.problems.empty() ? "the kit can be flashed\n"
                                        : "the kit cannot be flashed\n");
    return report.problems.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "make") == 0)
        return Make(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "describe") == 0)
        return Describe(argv[2]);
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::fputs(kUsage, stderr);
    return 2;
}
