#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The coredll.dll functions a handset program calls: the tree's own list, one per line,
//
//   # a comment
//   KernelIoControl          imported by name
//   SomeFunction @1234       imported by ordinal 1234; the program still calls it SomeFunction
//
// Every function gets an ARM thunk of that name and a slot in the import address table, which
// the handset's loader fills in.

struct ImportedFunction {
    std::string name;
    bool byOrdinal = false;
    uint16_t ordinal = 0;
};

// False, with the line and what is wrong with it, for a malformed line, a name that could not be
// an assembler symbol, an ordinal outside 1..65535, a name listed twice or an empty list.
bool ParseImportList(const std::string& text, std::vector<ImportedFunction>& imports,
                     std::string& error);

// GNU assembler source of the thunks and the import address table, which starts at
// __ImportAddressTable and ends after its zero slot at __ImportAddressTableEnd.
std::string ImportThunks(const std::vector<ImportedFunction>& imports);

// The symbols that bound the import address table in a linked program.
extern const char kImportTableStart[];
extern const char kImportTableEnd[];
