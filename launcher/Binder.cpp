#include "Binder.h"

#include <algorithm>
#include <new>
#include <vector>

#include "PackageFormat.h"

namespace package {

namespace {

const Path kPackageName = u"Kov.exe";

std::string Number(uint64_t value) {
    return std::to_string(value);
}

// The files that are never bound, whatever names the folder lists them by.
struct OwnFiles {
    std::optional<FileIdentity> package;
    std::optional<FileIdentity> builder;

    bool Holds(const std::optional<FileIdentity>& file) const {
        return file && (file == package || file == builder);
    }
};

// Appends one file's entry through `buffer`. The entry holds exactly the size recorded in its
// length field; a file that turns out shorter or longer than that stops the bind, since a
// length that disagrees with its data would make every later entry unreadable.
bool AppendEntry(FileStream& out, const DirectoryEntry& entry, std::vector<uint8_t>& buffer,
                 Files& files, Console& console) {
    const std::string name = Utf8(entry.name);
    const std::optional<uint64_t> size = files.FileSize(entry.name);
    if (!size || *size == 0) {
        console.Line("ERROR: Cann't get the " + name + " file info.");
        return false;
    }
    if (*size > kMaxEntryLength) {
        console.Line("ERROR: The " + name + " file is too large to bind.");
        return false;
    }
    File in = files.Open(entry.name, "rb");
    if (!in) {
        console.Line("ERROR: Cann't open " + name + " file.");
        return false;
    }
    uint8_t length[kLengthBytes];
    PutLe32(length, static_cast<uint32_t>(*size));
    const NameField field = EncodeName(entry.name);
    if (!out.Write(field.data(), field.size()) || !out.Write(length, sizeof length)) {
        console.Line("ERROR: Cann't write the final file!");
        return false;
    }
    for (uint64_t left = *size; left > 0;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
        const size_t got = in->Read(buffer.data(), want);
        if (got != want) {
            console.Line("ERROR: Cann't read the whole " + name + " file.");
            return false;
        }
        if (!out.Write(buffer.data(), got)) {
            console.Line("ERROR: Cann't write the final file!");
            return false;
        }
        left -= got;
    }
    uint8_t beyond;
    if (in->Read(&beyond, 1) != 0) {
        console.Line("ERROR: The " + name + " file grew while it was bound.");
        return false;
    }
    console.Line("Bind " + name + " OK! Length:" + Number(*size));
    return true;
}

bool IsSkipped(const Path& name) {
    return name == u"." || name == u".." || name == u"MakeKov.exe" || name == kPackageName;
}

// Everything after the stub: one entry per file of the current directory. False when the bind
// must be abandoned.
bool BindDirectory(FileStream& out, const OwnFiles& own, std::vector<uint8_t>& buffer, Files& files,
                   Console& console) {
    const CurrentDirectory current = files.TakeCurrentDirectory();
    console.Line("Current path is " + Utf8(current.path));
    if (current.error != 0) {
        console.Line("GetCurrentDirectory failed (" + std::to_string(current.error) + ")");
        return false;
    }
    // A package that lacks some of the folder's files would unpack a kit with parts missing, and
    // with the image among what was bound it is large enough to run as a package.
    const Listing listing = files.ListDirectory(current.path);
    if (listing.error != 0) {
        console.Line("ERROR: Cann't list the current directory (" + std::to_string(listing.error) +
                     ")!");
        return false;
    }
    for (const DirectoryEntry& entry : listing.entries) {
        if (entry.directory)
            continue;
        console.Line("File name is " + Utf8(entry.name));
        if (IsSkipped(entry.name))
            continue;
        // Where names fold, as on Windows, a leftover "kov.exe" is the package being written,
        // and either program may have a second name (a link) here: only what a name leads to
        // tells, and a package that held itself could never be read back.
        if (own.Holds(files.Identity(entry.name)))
            continue;
        if (!AppendEntry(out, entry, buffer, files, console))
            return false;
    }
    return true;
}

} // namespace

void BindPackage(const Path& ownPath, uint32_t marker, Console& console, Files& files) {
    const uint64_t selfLength = files.FileSize(ownPath).value_or(0);
    if (selfLength == 0) {
        console.Line("ERROR:binding self error!");
        return;
    }
    std::vector<uint8_t> image;
    try {
        image.resize(static_cast<size_t>(selfLength));
    } catch (const std::bad_alloc&) {
        console.Line("ERROR:binding self length error!");
        return;
    }
    OwnFiles own;
    {
        File self = files.Open(ownPath, "rb");
        if (!self) {
            console.Line("ERROR:open self error!");
            return;
        }
        own.builder = self->Identity();
        if (self->Read(image.data(), image.size()) != image.size()) {
            console.Line("ERROR:Binding self, cann't read self!");
            return;
        }
    }
    const std::optional<size_t> at = FindSelfLengthMarker(image.data(), image.size(), marker);
    if (!at) {
        console.Line("ERROR:Binding, cann't read self length!");
        return;
    }
    PutLe32(&image[*at], marker);
    PutLe32(&image[*at + 4], static_cast<uint32_t>(selfLength));

    File out = files.Open(kPackageName, "wb");
    if (!out) {
        console.Line("ERROR: Cann't create the final file!");
        return;
    }
    own.package = out->Identity();
    bool bound = false;
    if (out->Write(image.data(), image.size())) {
        console.Line("Bind self OK! Self length:" + Number(selfLength));
        bound = BindDirectory(*out, own, image, files, console);
    } else {
        console.Line("ERROR: Cann't write the final file!");
    }
    // Success is told only once every byte has reached the file.
    if (!out->Close() && bound) {
        console.Line("ERROR: Cann't write the final file!");
        bound = false;
    }
    if (bound)
        console.Line("Kov bind succeed!");
    else
        files.RemoveFile(kPackageName);
}

} // namespace package
