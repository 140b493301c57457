#include "FlasherOptions.h"

#include <algorithm>
#include <cstdlib>

#include "CommandLine.h"
#include "Format.h"
#include "ToolTexts.h"

namespace {

// The usage text states these defaults.
static_assert(LinkTimeouts::kDefaultTransferMs == 60 * 1000, "see TXT_FLASH_USAGE");
static_assert(LinkTimeouts::kDefaultFlashMs == 600 * 1000, "see TXT_FLASH_USAGE");

// A whole number of seconds, from `least` up to a day.
bool ParseSeconds(const std::string& text, long least, long& out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end || v < least || v > 86400)
        return false;
    out = v;
    return true;
}

// A device named twice would get two links on one handset.
bool AddDevice(FlasherOptions& o, const std::string& device, std::string& error) {
    if (device.empty()) {
        error = Format(TXT_FLASH_BAD_VALUE, "--device");
        return false;
    }
    if (std::find(o.devices.begin(), o.devices.end(), device) != o.devices.end()) {
        error = Format(TXT_FLASH_DEVICE_TWICE, device.c_str());
        return false;
    }
    o.devices.push_back(device);
    return true;
}

} // namespace

ParseResult ParseFlasherArgs(int argc, char** argv, FlasherOptions& o, std::string& error) {
    ArgReader args(argc, argv);
    bool help = false, version = false, kitNamed = false;
    std::string value;
    // An option without a value that was given one ("--quiet=yes") is refused, not ignored.
    bool flagWithValue = false;
    const auto flag = [&](const char* longName, const char* shortName = nullptr) {
        if (!args.Is(longName, shortName))
            return false;
        flagWithValue = args.HasAttachedValue();
        return true;
    };
    while (args.Next() && !flagWithValue) {
        const std::string& name = args.Name();
        if (flag("--help", "-h")) {
            help = true;
        } else if (flag("--version")) {
            version = true;
        } else if (flag("--check", "-c")) {
            o.check = true;
        } else if (flag("--quiet", "-q")) {
            o.mode = OutputMode::Quiet;
        } else if (flag("--crc-check")) {
            o.crcCheck = true;
        } else if (flag("--json")) {
            o.mode = OutputMode::Json;
        } else if (flag("--all")) {
            o.all = true;
        } else if (args.Is("--device", "-d")) {
            if (!args.TakeValue(value) || !AddDevice(o, value, error)) {
                if (error.empty())
                    error = Format(TXT_FLASH_BAD_VALUE, name.c_str());
                return ParseResult::Usage;
            }
        } else if (args.Is("--wait", "-w") || args.Is("--transfer-timeout") ||
                   args.Is("--flash-timeout")) {
            const bool wait = args.Is("--wait", "-w");
            long seconds = 0;
            if (!args.TakeValue(value) || !ParseSeconds(value, wait ? 0 : 1, seconds)) {
                error = Format(TXT_FLASH_BAD_VALUE, name.c_str());
                return ParseResult::Usage;
            }
            if (wait) {
                o.waitSeconds = static_cast<int>(seconds);
                o.waitNamed = true;
            } else if (args.Is("--transfer-timeout"))
                o.timeouts.transferMs = static_cast<uint32_t>(seconds) * 1000;
            else
                o.timeouts.flashMs = static_cast<uint32_t>(seconds) * 1000;
        } else if (args.IsOption()) {
            error = Format(TXT_FLASH_UNKNOWN_OPTION, name.c_str());
            return ParseResult::Usage;
        } else if (!kitNamed) {
            o.kit = name;
            kitNamed = true;
        } else {
            error = Format(TXT_FLASH_ONE_KIT, name.c_str());
            return ParseResult::Usage;
        }
    }
    if (flagWithValue) {
        error = Format(TXT_FLASH_NO_VALUE, args.Name().c_str());
        return ParseResult::Usage;
    }
    if (help)
        return ParseResult::Help;
    if (version)
        return ParseResult::Version;
    if (o.all && !o.devices.empty()) {
        error = TXT_FLASH_ALL_OR_DEVICE;
        return ParseResult::Usage;
    }
    return ParseResult::Run;
}
