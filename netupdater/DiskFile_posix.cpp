#include "DownloadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool DiskFile::Length(uint64_t& length) {
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    const bool ok = ::fstat(fd, &info) == 0;
    ::close(fd);
    if (ok)
        length = static_cast<uint64_t>(info.st_size);
    return ok;
}

bool DiskFile::ReadAt(uint64_t offset, uint8_t* buffer, size_t length) {
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    size_t got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, buffer + got, length - got, static_cast<off_t>(offset + got));
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return got == length;
}
