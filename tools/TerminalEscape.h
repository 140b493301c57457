#pragma once

#include <string>

// A text from outside (a kit's version text, the device's messages) made harmless for a
// terminal: control characters (C0, DEL and C1) and bytes that are not UTF-8 are shown as
// escapes, so none can ring the bell, move the cursor or start an escape sequence. Printable
// text, other languages included, passes unchanged.
std::string EscapeControls(const std::string& utf8);

// `utf8` as a JSON string, quotes included. Well-formed UTF-8 passes; control characters are
// escaped; a byte that is not UTF-8 (a device's text in a Windows code page) is read as the
// Latin-1 character of the same value, so that every line stays valid JSON.
std::string JsonString(const std::string& utf8);
