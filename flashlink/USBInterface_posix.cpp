#include "USBInterface.h"

// A tty has no device I/O controls of the USB sync driver's kind.
constexpr uint32_t kErrorNotSupported = 50;

uint32_t USBInterface::SynchronousIoctl(DeviceHandle, uint32_t, const void*, uint32_t, void*,
                                        uint32_t, uint32_t* returned) {
    if (returned)
        *returned = 0;
    return kErrorNotSupported;
}

// No window messages exist outside Windows.
void USBInterface::HandleMessages() {}
