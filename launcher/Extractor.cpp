#include "Extractor.h"

#include <new>
#include <vector>

#include "PackageFormat.h"

namespace package {

namespace {

// How one entry's extraction ended.
enum class Unpacked { Whole, ArchiveEnded, Failed };

// Copies `length` bytes through `buffer` and says whether all of them arrived.
bool CopyData(FileStream& in, FileStream& out, uint32_t length, std::vector<uint8_t>& buffer,
              const std::string& name, Console& console) {
    for (uint32_t left = length; left > 0;) {
        const size_t want = left < buffer.size() ? left : buffer.size();
        const size_t got = in.Read(buffer.data(), want);
        if (!out.Write(buffer.data(), got)) {
            console.Line("ERROR:Write " + name + " error!");
            return false;
        }
        if (got != want) {
            console.Line(in.ReadFailed()
                             ? "ERROR:Read " + name + " error!"
                             : "ERROR:" + name + " ends early, the package is damaged!");
            return false;
        }
        left -= static_cast<uint32_t>(got);
    }
    return true;
}

// Unpacks the entry at the package's read position. The file takes the entry's name once it is
// whole, and is then appended to `unpacked`; otherwise the name keeps what it held. The package
// never removes a name it has not written itself: under Wine that would remove what a link
// there leads to.
Unpacked UnpackEntry(FileStream& package, std::vector<uint8_t>& buffer, std::vector<Path>& unpacked,
                     Files& files, Console& console) {
    uint8_t field[kNameFieldBytes];
    const size_t fieldBytes = package.Read(field, sizeof field);
    // Only the end of the file ends the archive. A read that failed may have left any part of the
    // kit unread, and a wizard started on part of a kit would flash part of an update.
    if (package.ReadFailed()) {
        console.Line("ERROR:Read self error!");
        return Unpacked::Failed;
    }
    if (fieldBytes == 0)
        return Unpacked::ArchiveEnded;
    const Path name = DecodeName(field, fieldBytes);
    // A name is used relative to the current directory, so one that could reach elsewhere
    // (or open a device) stops the package before anything is made of it.
    if (!IsPlainFileName(name)) {
        console.Line("ERROR:Unsafe file name in the package!");
        return Unpacked::Failed;
    }
    // Writing through a link already at the name would change whatever it leads to, anywhere.
    File out = files.CreateAnew(name);
    if (!out) {
        console.Line("ERROR:Create first file error!");
        return Unpacked::Failed;
    }
    uint8_t lengthBytes[kLengthBytes];
    if (package.Read(lengthBytes, sizeof lengthBytes) != sizeof lengthBytes) {
        console.Line("ERROR:Read first file length error!");
        // A package that ends here leaves the entry's empty file, as it always has; one that
        // could not be read leaves nothing of the entry.
        if (!package.ReadFailed())
            out->Close();
        return Unpacked::Failed;
    }
    if (!CopyData(package, *out, GetLe32(lengthBytes), buffer, Utf8(name), console))
        return Unpacked::Failed;
    if (!out->Close()) {
        console.Line("ERROR:Write " + Utf8(name) + " error!");
        return Unpacked::Failed;
    }
    unpacked.push_back(name);
    return Unpacked::Whole;
}

} // namespace

void RunPackage(const Path& ownPath, uint32_t selfLength, PackageHost& host, Files& files) {
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(kCopyBlockBytes);
    } catch (const std::bad_alloc&) {
        host.Line("ERROR:Not enough memory to extract files!");
        return;
    }
    File package = files.Open(ownPath, "rb");
    if (!package || !package->Seek(selfLength)) {
        host.Line("ERROR:Open self error!");
        return;
    }
    std::vector<Path> unpacked;
    host.Line("Extract files, please wait.");
    for (;;) {
        const Unpacked result = UnpackEntry(*package, buffer, unpacked, files, host);
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
        files.RemoveFile(name);
}

} // namespace package
