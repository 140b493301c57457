#include "Linux.h"

namespace linux_arm {

long Call(long number, long a, long b, long c, long d, long e, long f) {
    register long r0 asm("r0") = a;
    register long r1 asm("r1") = b;
    register long r2 asm("r2") = c;
    register long r3 asm("r3") = d;
    register long r4 asm("r4") = e;
    register long r5 asm("r5") = f;
    register long r7 asm("r7") = number;
    asm volatile("swi 0"
                 : "+r"(r0)
                 : "r"(r1), "r"(r2), "r"(r3), "r"(r4), "r"(r5), "r"(r7)
                 : "memory");
    return r0;
}

bool WriteAll(int fd, const void* data, uint32_t size) {
    const char* p = static_cast<const char*>(data);
    while (size) {
        const long n = Call(kWrite, fd, reinterpret_cast<long>(p), static_cast<long>(size));
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<uint32_t>(n);
    }
    return true;
}

bool WriteText(int fd, const char* text) {
    uint32_t length = 0;
    while (text[length])
        ++length;
    return WriteAll(fd, text, length);
}

void Exit(int status) {
    for (;;)
        Call(kExitGroup, status);
}

uint64_t Milliseconds() {
    struct {
        long seconds;
        long nanoseconds;
    } now = {0, 0};
    Call(kClockGettime, kClockMonotonic, reinterpret_cast<long>(&now));
    return static_cast<uint64_t>(now.seconds) * 1000 +
           static_cast<uint32_t>(now.nanoseconds) / 1000000;
}

} // namespace linux_arm

// What the compiler's code may call for copies and clears; there is no C library to give them.
// Built with -fno-tree-loop-distribute-patterns, so these loops do not turn into calls to
// themselves.
extern "C" {
void* memcpy(void* to, const void* from, unsigned int size) {
    char* t = static_cast<char*>(to);
    const char* f = static_cast<const char*>(from);
    while (size--)
        *t++ = *f++;
    return to;
}

void* memmove(void* to, const void* from, unsigned int size) {
    char* t = static_cast<char*>(to);
    const char* f = static_cast<const char*>(from);
    if (t < f) {
        while (size--)
            *t++ = *f++;
    } else {
        while (size--)
            t[size] = f[size];
    }
    return to;
}

void* memset(void* to, int value, unsigned int size) {
    char* t = static_cast<char*>(to);
    while (size--)
        *t++ = static_cast<char>(value);
    return to;
}

int memcmp(const void* a, const void* b, unsigned int size) {
    const unsigned char* x = static_cast<const unsigned char*>(a);
    const unsigned char* y = static_cast<const unsigned char*>(b);
    for (; size; --size, ++x, ++y) {
        if (*x != *y)
            return *x < *y ? -1 : 1;
    }
    return 0;
}
}
