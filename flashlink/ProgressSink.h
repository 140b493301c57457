#pragma once

#include <cstdint>

#include "ZentroApi.h"

// What a transfer tells a progress display: the two requests a progress bar understands.
// The Win32 adapter turns them into PBM_SETRANGE32 and PBM_SETPOS on a progress bar control;
// the command-line flasher and the tests implement them directly.
class ZENTRO_API ProgressSink {
public:
    virtual ~ProgressSink();

    // Range 0..upper.
    virtual void SetRange(uint32_t upper) = 0;
    virtual void SetPos(uint32_t pos) = 0;
};

// How the link shows its two message boxes. On Windows the default is a topmost message box
// on the calling thread; natively the default writes to standard error.
class ZENTRO_API MessageSink {
public:
    virtual ~MessageSink();

    // Blocks until the user has seen the text. `caption` may be null: the program's default.
    virtual void ShowMessage(const char* text, const char* caption) = 0;

    static MessageSink& Default();
};
