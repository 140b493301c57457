#include "DevicePipe.h"

#include <windows.h>

#include "MoveAll.h"

namespace {

// Each ReadFile returns after at most this long, with whatever has arrived. Under Wine a read
// blocked without a time-out never returns when the far end hangs up, and a time-out is also
// the only way to see a pulled cable: between two such reads ClearCommError asks whether the
// device is still there. The value is how quickly a pulled cable is noticed.
constexpr DWORD kReadSliceMs = 500;

// A write that the device does not take within the silence limit ends with what it moved. False
// when the device takes no time-outs: it keeps the driver's blocking behaviour.
bool ApplyTimeouts(HANDLE device, uint32_t silenceLimitMs) {
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadTotalTimeoutConstant = kReadSliceMs;
    timeouts.WriteTotalTimeoutConstant = silenceLimitMs;
    return SetCommTimeouts(device, &timeouts) != FALSE;
}

} // namespace

DevicePipe::DevicePipe(const char* path) : path_(path ? path : "") {}

DevicePipe::~DevicePipe() {
    Close();
}

DeviceHandle DevicePipe::Open() {
    // This object holds at most one handle; the device itself allows no second one either.
    if (handle_ != INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    HANDLE h = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    handle_ = h;
    commTimeouts_ = false;
    if (h != INVALID_HANDLE_VALUE)
        commTimeouts_ = ApplyTimeouts(h, silenceLimitMs_);
    return h;
}

void DevicePipe::SetSilenceLimit(uint32_t milliseconds) {
    silenceLimitMs_ = milliseconds;
    // The write limit lives in the driver: an open device takes the new one at once.
    if (handle_ != INVALID_HANDLE_VALUE && commTimeouts_)
        ApplyTimeouts(handle_, milliseconds);
}

void DevicePipe::Close() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}

bool DevicePipe::WriteAll(const uint8_t* data, uint32_t length) {
    if (handle_ == INVALID_HANDLE_VALUE)
        return false;
    DWORD moved = 0;
    // A zero-length request still reaches the driver once, as a zero-byte WriteFile.
    if (length == 0)
        return WriteFile(handle_, data, 0, &moved, nullptr) != FALSE;
    return MoveAll(length, [&](uint32_t done, uint32_t left) -> long long {
        if (!WriteFile(handle_, data + done, left, &moved, nullptr))
            return kMoveFailed;
        // Nothing moved within the write time-out: the device is not taking bytes.
        return moved > 0 ? moved : kMoveFailed;
    });
}

bool DevicePipe::ReadAll(uint8_t* data, uint32_t length) {
    if (handle_ == INVALID_HANDLE_VALUE)
        return false;
    DWORD moved = 0;
    if (length == 0)
        return ReadFile(handle_, data, 0, &moved, nullptr) != FALSE;
    DWORD lastMove = GetTickCount();
    return MoveAll(length, [&](uint32_t done, uint32_t left) -> long long {
        if (!ReadFile(handle_, data + done, left, &moved, nullptr))
            return kMoveFailed;
        if (moved > 0) {
            lastMove = GetTickCount();
            return moved;
        }
        // Without time-outs a read returns nothing only when the device is gone.
        if (!commTimeouts_)
            return kMoveFailed;
        DWORD errors = 0;
        COMSTAT status;
        if (!ClearCommError(handle_, &errors, &status))
            return kMoveFailed;
        return GetTickCount() - lastMove >= silenceLimitMs_ ? kMoveFailed : 0;
    });
}
