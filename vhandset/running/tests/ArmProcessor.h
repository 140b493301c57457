#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "HostProgram.h"

// What runs the virtual handset's programs, as the build found it (Linux paths): the tree's
// program loader from the native build, the host's user-mode ARM emulator, and the switch
// tool's handset image that this build made.
namespace ArmProcessor {

// The handset.ini lines that give a virtual handset its processor.
inline std::string IniLines() {
    return std::string("loader=") + KOV_CELOAD + "\nemulator=" + KOV_QEMU_ARM + "\n";
}

// What of it the build has not made, or empty.
inline std::string Missing() {
    std::string missing;
    for (const char* file : {KOV_CELOAD, KOV_QEMU_ARM, KOV_SWITCH_TOOL_IMAGE})
        if (!std::filesystem::is_regular_file(HostProgram::LocalName(file)))
            missing += std::string(missing.empty() ? "" : ", ") + file;
    return missing;
}

inline std::vector<uint8_t> SwitchToolImage() {
    std::ifstream file(HostProgram::LocalName(KOV_SWITCH_TOOL_IMAGE), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>());
}

} // namespace ArmProcessor

// Skips the test, saying why, where the native build has not made the loader or the image.
#define KOV_NEED_ARM_PROCESSOR()                                                                   \
    do {                                                                                           \
        const std::string missing = ArmProcessor::Missing();                                       \
        if (!missing.empty())                                                                      \
            GTEST_SKIP() << "no " << missing << ": build the native preset first";                 \
    } while (0)
