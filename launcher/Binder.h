#pragma once

#include <cstdint>

#include "Console.h"
#include "Files.h"

namespace package {

// Builder mode: writes "Kov.exe" in the current directory, a copy of the program file at
// `ownPath` whose self-length word (the word after the first aligned `marker`) holds the file's
// size, followed by one entry per regular file of the current directory but the builder and
// the package themselves, told by what a name leads to rather than by its letters. Every
// outcome is reported on `console`; a failed bind leaves no "Kov.exe".
void BindPackage(const Path& ownPath, uint32_t marker, Console& console,
                 Files& files = SystemFiles());

} // namespace package
