#pragma once

#include <string>

// A text from outside (a kit's version text, the device's messages) made harmless for a
// terminal: control characters (C0, DEL and C1) and bytes that are not UTF-8 are shown as
// escapes, so none can ring the bell, move the cursor or start an escape sequence. Printable
// text, other languages included, passes unchanged.
std::string EscapeControls(const std::string& utf8);
