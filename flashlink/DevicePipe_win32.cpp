#include "DevicePipe.h"

#include <windows.h>

DevicePipe::DevicePipe(const char* path) : path_(path ? path : "") {}

DevicePipe::~DevicePipe() { Close(); }

DeviceHandle DevicePipe::Open() {
    HANDLE h = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    handle_ = h;
    return h;
}

void DevicePipe::Close() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}

bool DevicePipe::WriteAll(const uint8_t* data, uint32_t length) {
    // A zero-length request still reaches the driver once, as a zero-byte WriteFile.
    uint32_t done = 0;
    do {
        DWORD moved = 0;
        if (!WriteFile(handle_, data + done, length - done, &moved, nullptr)) {
            GetLastError();
            return false;
        }
        if (moved == 0 && done < length)
            return false;
        done += moved;
    } while (done < length);
    return true;
}

bool DevicePipe::ReadAll(uint8_t* data, uint32_t length) {
    uint32_t done = 0;
    do {
        DWORD moved = 0;
        if (!ReadFile(handle_, data + done, length - done, &moved, nullptr)) {
            GetLastError();
            return false;
        }
        if (moved == 0 && done < length)
            return false;
        done += moved;
    } while (done < length);
    return true;
}
