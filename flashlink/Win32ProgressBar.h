#pragma once

#include <windows.h>

#include "ProgressSink.h"
#include "ZentroApi.h"

// A progress bar control of the caller's window. The link sends it only PBM_SETRANGE32 and
// PBM_SETPOS, synchronously from the calling thread, so the control's own thread must keep
// processing messages while a transfer runs.
class ZENTRO_API Win32ProgressBar : public ProgressSink {
public:
    explicit Win32ProgressBar(HWND control) : m_hWnd(control) {}
    void SetRange(uint32_t upper) override;
    void SetPos(uint32_t pos) override;

    HWND m_hWnd;
};
