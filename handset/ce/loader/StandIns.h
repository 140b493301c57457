#pragma once

#include <stdint.h>

// The handset as a program run by ceload sees it: the coredll.dll functions it may import and
// the shell library's reboot request. Each stand-in records its call as one line in the
// handset folder's calls.txt and acts on the folder as a handset would (README.md beside this
// file has both in full).

struct HandsetFolder {
    int folder;              // the handset folder, open as a directory
    int calls;               // its calls.txt, open for appending
    const uint32_t* failing; // control codes that fail
    uint32_t failingCount;
    uint32_t ticks;   // GetTickCount when the loader started
    uint64_t started; // the loader's start on the monotonic clock, in ms
};

void UseHandsetFolder(const HandsetFolder& folder);

// For ce::BindImports: the stand-in for coredll.dll's `name`, or 0. No function is known by
// ordinal.
uint32_t ResolveCoreDll(const char* name, uint32_t ordinal, void* context);

// Appends one line (a newline is added) to calls.txt.
void RecordLine(const char* line, uint32_t length);
