#include "ImportList.h"

#include <set>
#include <sstream>

const char kImportTableStart[] = "__ImportAddressTable";
const char kImportTableEnd[] = "__ImportAddressTableEnd";

namespace {

bool IsSymbolName(const std::string& name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    for (char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '_')
            return false;
    }
    return true;
}

bool ParseOrdinal(const std::string& text, uint16_t& ordinal) {
    if (text.size() < 2 || text[0] != '@' || text.size() > 6)
        return false;
    uint32_t value = 0;
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    if (value == 0 || value > 0xFFFF)
        return false;
    ordinal = static_cast<uint16_t>(value);
    return true;
}

} // namespace

bool ParseImportList(const std::string& text, std::vector<ImportedFunction>& imports,
                     std::string& error) {
    imports.clear();
    std::set<std::string> seen;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::string name, ordinal, extra;
        if (!(words >> name))
            continue;
        const std::string where = "import list line " + std::to_string(number) + ": ";
        ImportedFunction function;
        function.name = name;
        if (!IsSymbolName(name)) {
            error = where + "\"" + name + "\" is not a function name";
            return false;
        }
        if (words >> ordinal) {
            if (!ParseOrdinal(ordinal, function.ordinal)) {
                error = where + "\"" + ordinal + "\" is not an ordinal from @1 to @65535";
                return false;
            }
            function.byOrdinal = true;
        }
        if (words >> extra) {
            error = where + "unexpected \"" + extra + "\"";
            return false;
        }
        if (!seen.insert(name).second) {
            error = where + name + " is listed twice";
            return false;
        }
        imports.push_back(function);
    }
    if (imports.empty()) {
        error = "the import list names no function";
        return false;
    }
    return true;
}

std::string ImportThunks(const std::vector<ImportedFunction>& imports) {
    std::ostringstream s;
    s << "@ Written by elf2ce from the import list: one ARM thunk per coredll.dll function, and\n"
         "@ the import address table that the handset's loader fills in.\n"
         "    .syntax unified\n"
         "    .arm\n"
         "    .section .text.imports,\"ax\",%progbits\n";
    for (const ImportedFunction& f : imports) {
        // Through ip and bx, so that a coredll.dll in Thumb code is entered correctly too.
        s << "    .balign 4\n"
          << "    .global " << f.name << "\n"
          << "    .type " << f.name << ", %function\n"
          << f.name << ":\n"
          << "    ldr ip, 1f\n"
          << "    ldr ip, [ip]\n"
          << "    bx ip\n"
          << "1:  .word __imp_" << f.name << "\n"
          << "    .size " << f.name << ", . - " << f.name << "\n";
    }
    s << "    .section .idata.iat,\"aw\",%progbits\n"
         "    .balign 4\n"
         "    .global "
      << kImportTableStart << "\n"
      << kImportTableStart << ":\n";
    for (const ImportedFunction& f : imports)
        s << "__imp_" << f.name << ":\n    .word 0\n";
    s << "    .word 0\n"
         "    .global "
      << kImportTableEnd << "\n"
      << kImportTableEnd << ":\n";
    return s.str();
}
