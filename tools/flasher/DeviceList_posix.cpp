#include "DeviceList.h"

#include <cstdlib>
#include <glob.h>

std::vector<std::string> BootLoaderDevices() {
    const char* pattern = std::getenv("KOVFLASH_ALL_GLOB");
    if (!pattern || !*pattern)
        pattern = "/dev/ttyACM*";
    std::vector<std::string> devices;
    glob_t found = {};
    if (glob(pattern, 0, nullptr, &found) == 0)
        for (size_t i = 0; i < found.gl_pathc; ++i)
            devices.push_back(found.gl_pathv[i]);
    globfree(&found);
    return devices;
}

std::string DefaultDevice() {
    return std::string();
}
