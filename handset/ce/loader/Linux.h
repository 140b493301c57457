#pragma once

#include <stdint.h>

// The few Linux system calls the ARM loader makes, without a C library: EABI numbers, the
// number in r7 and the arguments in r0-r5. A negative result is the error number, negated.
namespace linux_arm {

const long kRead = 3;
const long kWrite = 4;
const long kClose = 6;
const long kMprotect = 125;
const long kLlseek = 140;
const long kRtSigaction = 174;
const long kMmap2 = 192;
const long kExitGroup = 248;
const long kClockGettime = 263;
const long kOpenat = 322;
const long kCacheflush = 0x0F0002;

// The ARM kernel's values, which differ from other architectures' in places.
const long kOpenReadOnly = 0;
const long kOpenWriteOnly = 01;
const long kOpenReadWrite = 02;
const long kOpenCreate = 0100;
const long kOpenExclusive = 0200;
const long kOpenTruncate = 01000;
const long kOpenAppend = 02000;
const long kOpenDirectory = 040000;
const long kOpenLargeFile = 0400000;
const long kOpenCloseOnExec = 02000000;
const long kAtCurrentDirectory = -100;

const long kProtNone = 0;
const long kProtRead = 1;
const long kProtWrite = 2;
const long kProtExec = 4;
const long kMapPrivate = 0x02;
const long kMapAnonymous = 0x20;

const long kClockMonotonic = 1;

long Call(long number, long a = 0, long b = 0, long c = 0, long d = 0, long e = 0, long f = 0);

// Writes every byte, going on after short writes. False on an error.
bool WriteAll(int fd, const void* data, uint32_t size);
// Writes a NUL-terminated text.
bool WriteText(int fd, const char* text);
[[noreturn]] void Exit(int status);
// Milliseconds of the monotonic clock.
uint64_t Milliseconds();

} // namespace linux_arm
