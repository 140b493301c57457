#pragma once

#include <cstdint>
#include <cstdio>

// Positions beyond 2 GiB on both platforms: a 32-bit long cannot hold them on Windows.
inline int SeekToEnd(std::FILE* f) {
#if defined(_WIN32)
    return _fseeki64(f, 0, SEEK_END);
#else
    return fseeko(f, 0, SEEK_END);
#endif
}

inline int64_t TellPosition(std::FILE* f) {
#if defined(_WIN32)
    return _ftelli64(f);
#else
    return static_cast<int64_t>(ftello(f));
#endif
}

inline int SeekTo(std::FILE* f, int64_t offset) {
#if defined(_WIN32)
    return _fseeki64(f, offset, SEEK_SET);
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET);
#endif
}
