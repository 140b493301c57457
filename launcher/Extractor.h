#pragma once

#include <cstdint>

#include "Console.h"
#include "Files.h"

namespace package {

// What package mode needs from the platform beyond files.
class PackageHost : public Console {
public:
    // Starts "KovShop.exe" from the current directory and returns once it has ended; false when
    // it could not be started.
    virtual bool RunWizard() = 0;
    virtual void Pause(unsigned milliseconds) = 0;
};

// Package mode: unpacks the entries that follow the stub of `ownPath` (`selfLength` bytes) into
// the current directory, runs the wizard, and deletes what it unpacked. A package that turns
// out damaged, unreadable or hostile part-way stops with a line; the wizard is then not started,
// and the files unpacked before stay, as after every failure of the extraction.
void RunPackage(const Path& ownPath, uint32_t selfLength, PackageHost& host,
                Files& files = SystemFiles());

} // namespace package
