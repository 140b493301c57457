#pragma once

#include <cstdint>
#include <string>

#include "WizardState.h"

// The welcome page's look at the update image: its first 128 bytes give the image type (from
// the first 32) and the update mode (byte 120).
constexpr std::size_t WELCOME_READ_SIZE = 128;

enum class ImageCheckOutcome {
    Missing,    // the file cannot be opened: the user is told and the wizard ends
    Unreadable, // shorter than 128 bytes, or no memory or position for the read: said nothing
    Read,
};

struct WelcomeImageCheck {
    ImageCheckOutcome outcome = ImageCheckOutcome::Missing;
    int32_t imageType = -1;
    uint8_t updateMode = 0;
};

// Reads the start of the image file at `path` (the welcome page passes "WMUPDAT.DIP", which
// the current directory resolves).
WelcomeImageCheck CheckWelcomeImage(const std::string& path);

// A read check replaces the image type and the remembered update mode; any other outcome
// leaves both as an earlier welcome page found them.
void RememberImageCheck(WizardState& state, const WelcomeImageCheck& check);
