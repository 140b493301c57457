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
