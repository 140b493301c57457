#pragma once

#include <string>
#include <vector>

#include "Console.h"
#include "LinkTimeouts.h"

struct FlasherOptions {
    std::string kit;
    std::vector<std::string> devices; // as named, in order
    bool all = false;                 // every boot-loader device present
    bool check = false;
    bool crcCheck = false; // the handset checks each block's CRC
    int waitSeconds = 60;
    bool waitNamed = false; // --wait given: --all then also takes handsets that come that long
    LinkTimeouts timeouts;  // the same for every device's link
    OutputMode mode = OutputMode::Human;
};

enum class ParseResult { Run, Help, Version, Usage };

// Reads kovflash's command line. On Usage, `error` says what was wrong (empty when the usage
// text alone says it).
ParseResult ParseFlasherArgs(int argc, char** argv, FlasherOptions& o, std::string& error);
