#include "HostFiles.h"
#include "MoveAll.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// One read or write of a file, as MoveAll counts it.
long long Moved(ssize_t n) {
    if (n < 0 && errno == EINTR)
        return 0;
    return n > 0 ? n : kMoveFailed;
}

bool ReadFully(int fd, uint8_t* data, uint32_t length) {
    return MoveAll(
        length, [&](uint32_t done, uint32_t left) { return Moved(::read(fd, data + done, left)); });
}

bool WriteFully(int fd, const uint8_t* data, uint32_t length) {
    return MoveAll(length, [&](uint32_t done, uint32_t left) {
        return Moved(::write(fd, data + done, left));
    });
}

} // namespace

bool ReadHostFile(const std::string& name, std::vector<uint8_t>& bytes) {
    if (name.empty())
        return false;
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        bytes.assign(static_cast<uint32_t>(st.st_size), 0);
        ok = ReadFully(fd, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    ::close(fd);
    return ok;
}

bool HostFileSize(const std::string& name, uint32_t& size) {
    struct stat st;
    if (name.empty() || ::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    size = static_cast<uint32_t>(st.st_size);
    return true;
}

bool WriteHostFile(const std::string& name, const uint8_t* data, uint32_t length) {
    if (name.empty())
        return false;
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = WriteFully(fd, data, length);
    // Only a plain file is removed: a device under the name is not ours to delete.
    struct stat st;
    const bool plain = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ok = ::close(fd) == 0 && ok;
    if (!ok && plain)
        ::unlink(name.c_str());
    return ok;
}
