#pragma once

#include <cstdint>

// How long the device may stay silent (no byte moving either way) before a read or write on
// the link fails, by phase. A dead device must end an update; a slow healthy one must not be
// cut off while it writes its flash.
struct LinkTimeouts {
    // Opening, key, flash mode, version, blocks and the closing word. A boot loader answers each
    // word at once and takes a 64 KiB block well within a second, so a minute without a byte
    // means a frozen device or a cable that went without a hang-up.
    static constexpr uint32_t kDefaultTransferMs = 60 * 1000;
    // The message loop. The handset erases and writes its flash between two of its messages and
    // may report nothing for a long stretch; a whole update takes about four minutes, so ten
    // minutes of silence leave a slow handset room and still end the run on a dead one.
    static constexpr uint32_t kDefaultFlashMs = 10 * 60 * 1000;

    uint32_t transferMs = kDefaultTransferMs;
    uint32_t flashMs = kDefaultFlashMs;
};
