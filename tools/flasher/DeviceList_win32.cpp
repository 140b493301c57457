#include "DeviceList.h"

#include <cstdio>
#include <windows.h>

#include "USBInterface.h"

namespace {

// The USB serial host driver numbers its devices from 1; a handset unplugged earlier leaves a
// gap, so every number up to this is tried.
constexpr unsigned kMostDevices = 32;

bool Opens(const std::string& path) {
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

} // namespace

std::vector<std::string> BootLoaderDevices() {
    std::vector<std::string> devices;
    for (unsigned n = 1; n <= kMostDevices; ++n) {
        char path[32];
        std::snprintf(path, sizeof path, "\\\\.\\WCEUSBSH%03u", n);
        if (Opens(path))
            devices.push_back(path);
    }
    return devices;
}

std::string DefaultDevice() {
    return USB_SYNC_DEVICE_PATH;
}
