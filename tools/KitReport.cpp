#include "KitReport.h"

#include <cstdio>
#include <cstring>

#include "Format.h"
#include "ImageType.h"
#include "ToolTexts.h"
#include "UpdateTexts.h"
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
        return TXT_MODE_UNKNOWN;
    }
}

} // namespace

KitReport DescribeKit(const ImageRecord& ipl, const ImageRecord& update, KitOutcome outcome) {
    KitReport r;
    r.outcome = outcome;
    if (outcome == KitOutcome::Missing) {
        r.problems.push_back(Format(TXT_NO_UPDATE_IMAGE, UPDATE_IMAGE_NAME));
        return r;
    }
    if (outcome == KitOutcome::NotLoaded) {
        r.problems.push_back(Format(TXT_UPDATE_NOT_LOADED, UPDATE_IMAGE_NAME));
        return r;
    }

    const ImageHeader h = ReadImageHeader(update.data.get(), update.size);
    r.lines.push_back(Format(TXT_UPDATE_IMAGE, UPDATE_IMAGE_NAME, update.size));
    r.lines.push_back(Format(TXT_VERSION_TEXT, Utf8(VersionTextForDisplay(h)).c_str()));
    r.lines.push_back(Format(TXT_IMAGE_TYPE, RecognizeImageType(h.Signature())));
    r.lines.push_back(
        Format(TXT_UPDATE_MODE, h.updateMode, ModeName(h.updateMode), h.osSizeMiB, h.cpSizeMiB));

    const Result check = CheckUpdateImage(update.data.get(), update.size);
    if (!check)
        r.problems.push_back(check.Message());
    // The worker judges the mode byte before anything else, as soon as the file reaches it.
    if (update.size > OFFSET_UPDATE_MODE &&
        std::strcmp(ModeName(h.updateMode), TXT_MODE_UNKNOWN) == 0)
        r.wizardTexts.push_back(Utf8(TXT_NO_UPDATE_MODE));

    r.hasIpl = ipl.HasData();
    if (r.hasIpl) {
        const Result iplCheck = CheckIplImage(ipl.data.get(), ipl.size);
        r.iplMatches = SameImageFamily(ipl, update);
        if (!iplCheck) {
            r.problems.push_back(iplCheck.Message());
        } else {
            const ImageHeader ih = ReadImageHeader(ipl.data.get(), ipl.size);
            r.lines.push_back(Format(TXT_IPL_PARTITION, IplPartition(ipl.size).length,
                                     Hex(ih.iplVersion, 6).c_str()));
            if (!r.iplMatches) {
                r.problems.push_back(Format(TXT_IPL_NOT_FAMILY, IPL_IMAGE_NAME));
                r.wizardTexts.push_back(Utf8(TXT_IPL_MISMATCH));
            }
        }
    } else {
        r.lines.push_back(Format(TXT_NO_IPL, IPL_IMAGE_NAME));
    }

    if (check) {
        for (const Partition& p : UpdatePartitions(h, update.size)) {
            const uint8_t* version = std::strcmp(p.name, "OS") == 0 ? h.osVersion : h.cpVersion;
            r.lines.push_back(
                Format(TXT_PARTITION, p.name, p.length, p.offset, Hex(version, 6).c_str()));
        }
    }
    return r;
}
