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

#include "CommandLine.h"
#include "ImageType.h"
#include "KitReport.h"
#include "SampleKit.h"
#include "TerminalEscape.h"
#include "ToolTexts.h"

namespace {

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

// Writes one image and says so, or says why it could not.
bool WriteAndSay(const std::string& path, const SampleImageSpec& spec) {
    const Result written = WriteSampleImage(path, spec);
    if (!written) {
        std::fprintf(stderr, TXT_KOVKIT_ERROR, written.Message().c_str());
        return false;
    }
    std::printf(TXT_KOVKIT_WROTE, path.c_str());
    return true;
}

int Make(int argc, char** argv) {
    SampleImageSpec spec;
    std::string out;
    int64_t iplSize = -1;
    int iplSignature = -2; // the update image's
    ArgReader args(argc, argv, 2);
    while (args.Next()) {
        const std::string& opt = args.Name();
        // Every option of make takes a value.
        std::string text;
        const char* value = args.TakeValue(text) ? text.c_str() : nullptr;
        bool ok = value != nullptr;
        if (opt == "--out")
            out = text;
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
            spec.versionText = text;
        else if (opt == "--seed")
            ok = ok && ParseField(value, INT64_MAX, spec.seed);
        else if (opt == "--ipl-size")
            ok = ok && ParseNumber(value, iplSize);
        else if (opt == "--ipl-signature")
            ok = ok && ParseSignature(value, iplSignature);
        else {
            std::fprintf(stderr, TXT_KOVKIT_UNKNOWN_OPTION, opt.c_str());
            std::fputs(TXT_KIT_USAGE, stderr);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, TXT_KOVKIT_BAD_VALUE, opt.c_str());
            return 2;
        }
    }
    if (out.empty()) {
        std::fputs(TXT_KOVKIT_NEEDS_OUT, stderr);
        std::fputs(TXT_KIT_USAGE, stderr);
        return 2;
    }
#if defined(_WIN32)
    _mkdir(out.c_str());
#else
    mkdir(out.c_str(), 0777);
#endif
    if (!WriteAndSay(KitPath(out, UPDATE_IMAGE_NAME), spec))
        return 1;
    if (iplSize >= 0) {
        SampleImageSpec ipl = spec;
        ipl.payloadBytes = iplSize;
        ipl.fileBytes = -1;
        ipl.seed = spec.seed + 1000;
        if (iplSignature != -2)
            ipl.signature = iplSignature;
        if (!WriteAndSay(KitPath(out, IPL_IMAGE_NAME), ipl))
            return 1;
    }
    return 0;
}

int Describe(const char* dir) {
    CImageLoader loader;
    ImageRecord ipl, update;
    KitOutcome outcome = ReadUpdateKit(loader, ipl, update, dir);
    KitReport report = DescribeKit(ipl, update, outcome);
    for (const std::string& line : report.lines)
        std::printf(TXT_KOVKIT_LINE, EscapeControls(line).c_str());
    for (const std::string& problem : report.problems)
        std::printf(TXT_KOVKIT_PROBLEM, EscapeControls(problem).c_str());
    for (const std::string& text : report.wizardTexts)
        std::printf(TXT_KOVKIT_WIZARD_TEXT, EscapeControls(text).c_str());
    std::fputs(report.problems.empty() ? TXT_KOVKIT_CAN_FLASH : TXT_KOVKIT_CANNOT_FLASH, stdout);
    return report.problems.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "make") == 0)
        return Make(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "describe") == 0)
        return Describe(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        PrintVersion("kovkit");
        return 0;
    }
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(TXT_KIT_USAGE, stdout);
        return 0;
    }
    std::fputs(TXT_KIT_USAGE, stderr);
    return 2;
}
