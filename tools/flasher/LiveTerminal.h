#pragma once

#include <cstdio>

// Whether `out` is a terminal that redraws lines in place (carriage return, cursor up, erase to
// the end of the line). On Windows the console is first asked to take such sequences; one that
// cannot (before Windows 10) gets plain lines like a file.
bool LiveTerminal(std::FILE* out);
