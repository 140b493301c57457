#include "KitReport.h"

#include <cstdio>
#include <cstring>

#include "ImageType.h"
#include "Utf8.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t n) {
    std::string out;
    char two[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, "%02X", bytes[i]);
        out += two;
    }
    return out;
}

const char* ModeName(uint8_t mode) {
    switch (mode) {
    case UPDATE_MODE_OS:
        return "OS";
    case UPDATE_MODE_CP:
        return "CP";
    case UPDATE_MODE_OSCP:
        return "OSCP";
    default:
        return "unknown";
    }
}

} // namespace

KitReport DescribeKit(const ImageRecord& ipl, const ImageRecord& update, KitOutcome outcome) {
    KitReport r;
    r.outcome = outcome;
    if (outcome == KitOutcome::Missing) {
        r.problems.push_back(std::string("There is no update image ") + UPDATE_IMAGE_NAME + ".");
        return r;
    }
    if (outcome == KitOutcome::NotLoaded) {
        r.problems.push_back(std::string("The update image ") + UPDATE_IMAGE_NAME +
                             " could not be read into memory.");
        return r;
    }

    const ImageHeader h = ReadImageHeader(update.data.get(), update.size);
    char line[256];
    std::snprintf(line, sizeof line, "update image: %s, %u bytes", UPDATE_IMAGE_NAME, update.size);
    r.lines.push_back(line);
    r.lines.push_back("version text: \"" + Utf8(VersionTextForDisplay(h)) + "\"");
    std::snprintf(line, sizeof line, "image type: %d", RecognizeImageType(h.Signature()));
    r.lines.push_back(line);
    std::snprintf(line, sizeof line, "update mode: 0x%02X (%s), OS size %u MiB, CP size %u MiB",
                  h.updateMode, ModeName(h.updateMode), h.osSizeMiB, h.cpSizeMiB);
    r.lines.push_back(line);

    std::string problem = CheckUpdateImage(update.data.get(), update.size);
    if (!problem.empty())
        r.problems.push_back(problem);

    r.hasIpl = ipl.HasData();
    if (r.hasIpl) {
        std::string iplProblem = CheckIplImage(ipl.data.get(), ipl.size);
        r.iplMatches = SameImageFamily(ipl, update);
        if (!iplProblem.empty()) {
            r.problems.push_back(iplProblem);
        } else {
            const ImageHeader ih = ReadImageHeader(ipl.data.get(), ipl.size);
            std::snprintf(line, sizeof line, "IPL: %u bytes from offset 1024, version %s",
                          IplPartition(ipl.size).length, Hex(ih.iplVersion, 6).c_str());
            r.lines.push_back(line);
            if (!r.iplMatches)
                r.problems.push_back(std::string("The IPL image ") + IPL_IMAGE_NAME +
                                     " does not belong to the update image: their first 32 "
                                     "bytes differ.");
        }
    } else {
        r.lines.push_back(std::string("IPL: none (no ") + IPL_IMAGE_NAME + ")");
    }

    if (problem.empty()) {
        for (const Partition& p : UpdatePartitions(h, update.size)) {
            const uint8_t* version = std::strcmp(p.name, "OS") == 0 ? h.osVersion : h.cpVersion;
            std::snprintf(line, sizeof line, "%s: %u bytes from offset %u, version %s", p.name,
                          p.length, p.offset, Hex(version, 6).c_str());
            r.lines.push_back(line);
        }
    }
    return r;
}
