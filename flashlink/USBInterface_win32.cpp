#include "USBInterface.h"

#include <windows.h>

uint32_t USBInterface::SynchronousIoctl(DeviceHandle device, uint32_t code, const void* input,
                                        uint32_t inputLength, void* output, uint32_t outputLength,
                                        uint32_t* returned) {
    DWORD bytesRet = 0;
    OVERLAPPED overlapped;
    ZeroMemory(&overlapped, sizeof overlapped);
    overlapped.hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!overlapped.hEvent)
        return IOCTL_NO_EVENT;

    DWORD status = 0;
    if (!DeviceIoControl(device, code, const_cast<void*>(input), inputLength, output, outputLength,
                         &bytesRet, &overlapped)) {
        status = GetLastError();
        if (status == ERROR_IO_PENDING)
            status = GetOverlappedResult(device, &overlapped, &bytesRet, TRUE) ? 0 : GetLastError();
    }
    if (returned)
        *returned = bytesRet;
    CloseHandle(overlapped.hEvent);
    return status;
}

void USBInterface::HandleMessages() {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
