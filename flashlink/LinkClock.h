#pragma once

#include <cstdint>

#include "ZentroApi.h"

// The wall clock as the link's time limits see it, replaceable so that tests of a
// one-minute give-up run in milliseconds.
class ZENTRO_API LinkClock {
public:
    virtual ~LinkClock();

    // Wall-clock time in whole seconds.
    virtual uint32_t NowSeconds() = 0;

    // The process-wide real clock.
    static LinkClock& System();
};
