#include "Extractor.h"

#include <new>
#include <vector>

#include "PackageFormat.h"

namespace package {

namespace {

// How one entry's extraction ended.
enum class Unpacked { Whole, ArchiveEnded, Failed };

// Copies `length` bytes through `buffer` and says whether all of them arrived.
bool CopyData(std::FILE* in, std::FILE* out, uint32_t length, std::vector<uint8_t>& buffer,
              const std::string& name, Console& console) {
    for (uint32_t left = length; left > 0;) {
        const size_t want = left < buffer.size() ? left : buffer.size();
        const size_t got = std::fread(buffer.data(), 1, want, in);
        if (std::fwrite(buffer.data(), 1, got, out) != got) {
            console.Line("ERROR:Write " + name + " error!");
            return false;
        }
        if (got != want) {
            console.Line("ERROR:" + name + " ends early, the package is damaged!");
            return false;
        }
        left -= static_cast<uint32_t>(got);
    }
    return true;
}

// Unpacks the entry at the package's read position. Appends the file to `unpacked` once it is
// whole, or removes it when its data could not be written whole.
Unpacked UnpackEntry(std::FILE* package, std::vector<uint8_t>& buffer, std::vector<Path>& unpacked,
                     Console& console) {
    uint8_t field[kNameFieldBytes];
    const size_t fieldBytes = std::fread(field, 1, sizeof field, package);
    if (fieldBytes == 0)
        return Unpacked::ArchiveEnded;
    const Path name = DecodeName(field, fieldBytes);
    // A name is used relative to the current directory, so one that could reach elsewhere
    // (or open a device) stops the package before anything is made of it.
    if (!IsPlainFileName(name)) {
        console.Line("ERROR:Unsafe file name in the package!");
        return Unpacked::Failed;
    }
    File out = OpenFile(name, "wb");
    if (!out) {
        console.Line("ERROR:Create first file error!");
        return Unpacked::Failed;
    }
    uint8_t lengthBytes[kLengthBytes];
    if (std::fread(lengthBytes, 1, sizeof lengthBytes, package) != sizeof lengthBytes) {
        console.Line("ERROR:Read first file length error!");
        return Unpacked::Failed;
    }
    const bool copied =
        CopyData(package, out.get(), GetLe32(lengthBytes), buffer, Utf8(name), console);
    const bool closed = std::fclose(out.release()) == 0;
    if (!copied || !closed) {
        if (copied)
            console.Line("ERROR:Write " + Utf8(name) + " error!");
        RemoveFile(name);
        return Unpacked::Failed;
    }
    unpacked.push_back(name);
    return Unpacked::Whole;
}

} // namespace

void RunPackage(const Path& ownPath, uint32_t selfLength, PackageHost& host) {
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(kCopyBlockBytes);
    } catch (const std::bad_alloc&) {
        host.Line("ERROR:Not enough memory to extract files!");
        return;
    }
    File package = OpenFile(ownPath, "rb");
    if (!package || std::fseek(package.get(), static_cast<long>(selfLength), SEEK_SET) != 0) {
        host.Line("ERROR:Open self error!");
        return;
    }
    std::vector<Path> unpacked;
    host.Line("Extract files, please wait.");
    for (;;) {
        const Unpacked result = UnpackEntry(package.get(), buffer, unpacked, host);
        if (result == Unpacked::Failed)
            return;
        if (result == Unpacked::ArchiveEnded)
            break;
    }
    host.Line("Extract files complete.");
    host.Line("Initial to load the application, please wait.");
    host.RunWizard();
    host.Pause(500);
    for (const Path& name : unpacked)
        RemoveFile(name);
}

} // namespace package
