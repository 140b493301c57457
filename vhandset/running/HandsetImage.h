#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Whether a handset could start a program file: a Windows CE program for ARM, whole. A handset
// refuses anything else before a single instruction runs, whatever its name, so the virtual
// handset refuses it too: a PC build of a tool, an empty or cut copy, a library.
struct HandsetImageVerdict {
    bool startable = false;
    // Why not, in a few words for the handset's journal; empty when startable.
    std::string reason;
};

HandsetImageVerdict CheckHandsetImage(const uint8_t* bytes, size_t size);
