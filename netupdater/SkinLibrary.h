#pragma once

// Gives the window the skin library's look when that library is installed. The library is
// an outside product a user may not have, so it is looked for when the window starts, never
// imported: without it the window keeps the system's look.
void ApplySkin();
