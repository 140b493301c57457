#pragma once

#include <memory>
#include <utility>

#include "Files.h"

// The system's files with the faults in front of them that a real disk seldom makes on demand.
// Everything not made to fail goes to the real files.

// A real file whose reads fail from `failAt` bytes into it on, as over a bad sector or a share
// that went away: the bytes before arrive, then nothing more.
class FailingReads : public package::FileStream {
public:
    FailingReads(package::File real, uint64_t failAt) : real_(std::move(real)), failAt_(failAt) {}

    size_t Read(uint8_t* into, size_t size) override {
        if (failed_)
            return 0;
        const uint64_t room = failAt_ > position_ ? failAt_ - position_ : 0;
        const size_t want = room < size ? static_cast<size_t>(room) : size;
        const size_t got = real_->Read(into, want);
        position_ += got;
        failed_ = got == want && want < size;
        return got;
    }
    bool ReadFailed() const override { return failed_ || real_->ReadFailed(); }
    bool Write(const uint8_t* from, size_t size) override { return real_->Write(from, size); }
    bool Seek(uint64_t offset) override {
        if (!real_->Seek(offset))
            return false;
        position_ = offset;
        return true;
    }
    std::optional<package::FileIdentity> Identity() const override { return real_->Identity(); }
    bool Close() override { return real_->Close(); }

private:
    package::File real_;
    uint64_t failAt_;
    uint64_t position_ = 0;
    bool failed_ = false;
};

// A real file that reads on past its end, as one that is still being written: `extra` more
// bytes arrive once its own have been read.
class GrowingReads : public package::FileStream {
public:
    GrowingReads(package::File real, size_t extra) : real_(std::move(real)), extra_(extra) {}

    size_t Read(uint8_t* into, size_t size) override {
        size_t got = real_->Read(into, size);
        for (; got < size && extra_ > 0 && !real_->ReadFailed(); --extra_)
            into[got++] = 0x47;
        return got;
    }
    bool ReadFailed() const override { return real_->ReadFailed(); }
    bool Write(const uint8_t* from, size_t size) override { return real_->Write(from, size); }
    bool Seek(uint64_t offset) override { return real_->Seek(offset); }
    std::optional<package::FileIdentity> Identity() const override { return real_->Identity(); }
    bool Close() override { return real_->Close(); }

private:
    package::File real_;
    size_t extra_;
};

struct FaultyFiles : package::Files {
    package::Files& real = package::SystemFiles();
    // Reading the file opened by this name fails `failAt` bytes into it.
    package::Path failingFile;
    uint64_t failAt = 0;
    // The file opened by this name grows while it is read.
    package::Path growingFile;
    // The system's error code for a current directory that cannot be taken.
    int currentDirectoryError = 0;
    // A listing that fails with `error` after the first `listed` entries of the real one (none:
    // it cannot be started).
    struct ListingFault {
        size_t listed;
        int error;
    };
    std::optional<ListingFault> listingFault;

    package::File Open(const package::Path& path, const char* mode) override {
        package::File file = real.Open(path, mode);
        if (file && path == failingFile)
            return std::make_unique<FailingReads>(std::move(file), failAt);
        if (file && path == growingFile)
            return std::make_unique<GrowingReads>(std::move(file), 100);
        return file;
    }
    package::File CreateAnew(const package::Path& name) override { return real.CreateAnew(name); }
    std::optional<uint64_t> FileSize(const package::Path& path) override {
        return real.FileSize(path);
    }
    std::optional<package::FileIdentity> Identity(const package::Path& path) override {
        return real.Identity(path);
    }
    bool RemoveFile(const package::Path& path) override { return real.RemoveFile(path); }
    package::CurrentDirectory TakeCurrentDirectory() override {
        if (currentDirectoryError != 0)
            return {package::Path(), currentDirectoryError};
        return real.TakeCurrentDirectory();
    }
    package::Listing ListDirectory(const package::Path& directory) override {
        package::Listing listing = real.ListDirectory(directory);
        if (listingFault) {
            if (listing.entries.size() > listingFault->listed)
                listing.entries.resize(listingFault->listed);
            listing.error = listingFault->error;
        }
        return listing;
    }
};
