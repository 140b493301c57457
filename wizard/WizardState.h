#pragma once

#include <cstdint>

// What the welcome page found in the update image, kept for the whole process and read by
// every later page. Written and read on the user-interface thread only.
struct WizardState {
    int32_t imageType = -1; // 0..3, or -1 when no signature matched (or nothing was read yet)
    uint8_t updateMode = 0; // byte 120 of the update image: the remembered update mode
};

WizardState& TheWizardState();

// The side picture for `imageType`: bitmaps 139..142 for types 0..3, or 0 for any other type,
// when the template's default picture stays.
int SidePictureFor(int32_t imageType);
