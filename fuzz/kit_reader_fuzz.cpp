// Reads arbitrary bytes as an update kit, through the same files and reader that the wizard and
// kovflash use, and describes it as `kovflash --check` does. Whatever the check lets through
// must be flashable: every byte of every partition lies inside the file read, which the
// sanitizer sees when the partitions are read whole.
//
// Input: one flag byte (bit 0: the kit has an IPL image; bit 1: the update image is padded);
// when padded, three little-endian bytes of how many zero bytes follow the update image's own
// (partition sizes count in MiB, so only a padded image can end just short of one); with an
// IPL, two little-endian bytes of its length, then its bytes; the rest is the update image.

#include <cstdlib>
#include <cstring>
#include <vector>

#include "KitReport.h"
#include "TempDir.h"

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

// Sums a partition's bytes, so that each one is read.
uint32_t Touch(const uint8_t* data, const Partition& p) {
    uint32_t sum = 0;
    for (uint32_t i = 0; i < p.length; ++i)
        sum += data[p.offset + i];
    return sum;
}

bool Same(const ImageRecord& r, const std::vector<uint8_t>& bytes) {
    return r.HasData() && r.size == bytes.size() &&
           (bytes.empty() || std::memcmp(r.data.get(), bytes.data(), bytes.size()) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TempDir dir;
    if (size < 1)
        return 0;
    const bool hasIpl = data[0] & 1;
    const bool padded = data[0] & 2;
    size_t at = 1;
    size_t padding = 0;
    if (padded) {
        if (size < at + 3)
            return 0;
        padding = data[at] | data[at + 1] << 8 | (data[at + 2] & 0x3F) << 16;
        at += 3;
    }
    std::vector<uint8_t> iplBytes;
    if (hasIpl) {
        if (size < at + 2)
            return 0;
        const size_t want = data[at] | data[at + 1] << 8;
        at += 2;
        const size_t take = want < size - at ? want : size - at;
        iplBytes.assign(data + at, data + at + take);
        at += take;
    }
    std::vector<uint8_t> updateBytes(data + at, data + size);
    updateBytes.resize(updateBytes.size() + padding);
    dir.Write(UPDATE_IMAGE_NAME, updateBytes);
    if (hasIpl)
        dir.Write(IPL_IMAGE_NAME, iplBytes);
    else
        std::remove(dir.File(IPL_IMAGE_NAME).c_str());

    CImageLoader loader;
    ImageRecord ipl, update;
    const KitOutcome outcome = ReadUpdateKit(loader, ipl, update, dir.Path());
    Check(outcome == KitOutcome::Loaded && Same(update, updateBytes));
    Check(hasIpl ? Same(ipl, iplBytes) : !ipl.HasData());

    const KitReport report = DescribeKit(ipl, update, outcome);
    const bool updateOk = static_cast<bool>(CheckUpdateImage(update.data.get(), update.size));
    const bool iplOk = !hasIpl || (ipl.size >= IMAGE_HEADER_SIZE && report.iplMatches);
    Check(report.problems.empty() == (updateOk && iplOk));
    if (!updateOk)
        return 0;

    // What the worker would send equals the file's bytes there.
    const ImageHeader header = ReadImageHeader(update.data.get(), update.size);
    for (const Partition& p : UpdatePartitions(header, update.size))
        Check(Touch(update.data.get(), p) == Touch(updateBytes.data(), p));
    if (hasIpl && iplOk) {
        const Partition p = IplPartition(ipl.size);
        Check(Touch(ipl.data.get(), p) == Touch(iplBytes.data(), p));
    }
    return 0;
}
