#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LinkedProgram.h"

// Reads a 32-bit little-endian ARM ELF executable, as arm-none-eabi-ld writes it with -q, into
// the writer's model. Sections that are not loaded (debug information, the symbol table itself)
// are left out, and so are relocations that patch them. False, with a one-line reason, when the
// file is not such an executable or is cut short.
bool ReadLinkedProgram(const std::vector<uint8_t>& file, LinkedProgram& program,
                       std::string& error);
