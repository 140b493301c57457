// elf2ce: the host tool that turns the handset program, linked as ARM ELF, into a Windows CE
// image (see PeWriter.h), and writes the import thunks the link needs.
//
//   elf2ce thunks IMPORT-LIST OUT.S
//   elf2ce image [--timestamp SECONDS] [--version MAJOR.MINOR] IMPORT-LIST AT-BASE.elf
//                MOVED.elf OUT.exe
//
// Exit status 0 on success, 1 when the input is refused or a file cannot be read or written
// (one line on stderr says why; no output file is left behind), 2 for a bad command line.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "ElfFile.h"
#include "ImportList.h"
#include "PeWriter.h"

namespace {

const char kUsage[] =
    "usage: elf2ce thunks IMPORT-LIST OUT.S\n"
    "       elf2ce image [--timestamp SECONDS] [--version MAJOR.MINOR] IMPORT-LIST AT-BASE.elf "
    "MOVED.elf OUT.exe\n";

int Usage(const std::string& why) {
    std::cerr << "elf2ce: " << why << "\n" << kUsage;
    return 2;
}

int Refuse(const std::string& why) {
    std::cerr << "elf2ce: " << why << "\n";
    return 1;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Written beside the target and renamed over it, so a failed write leaves no half a file.
bool WriteFile(const std::string& path, const void* data, size_t size) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out.flush()) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

bool ReadImports(const std::string& path, std::vector<ImportedFunction>& imports,
                 std::string& error) {
    std::vector<uint8_t> text;
    if (!ReadFile(path, text)) {
        error = "cannot read " + path;
        return false;
    }
    if (!ParseImportList(std::string(text.begin(), text.end()), imports, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool ParseNumber(const std::string& text, uint32_t limit, uint32_t& value) {
    if (text.empty() || text.size() > 10)
        return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > limit)
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

int Thunks(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return Usage("thunks takes an import list and an output file");
    std::vector<ImportedFunction> imports;
    std::string error;
    if (!ReadImports(args[0], imports, error))
        return Refuse(error);
    const std::string source = ImportThunks(imports);
    if (!WriteFile(args[1], source.data(), source.size()))
        return Refuse("cannot write " + args[1]);
    return 0;
}

int Image(const std::vector<std::string>& args) {
    CeImageOptions options;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--timestamp" || a == "--version") && i + 1 == args.size())
            return Usage(a + " needs a value");
        if (a == "--timestamp") {
            if (!ParseNumber(args[++i], 0xFFFFFFFF, options.timestamp))
                return Usage("--timestamp takes seconds since 1970 that fit 32 bits");
        } else if (a == "--version") {
            const std::string v = args[++i];
            const size_t dot = v.find('.');
            uint32_t major = 0, minor = 0;
            if (dot == std::string::npos || !ParseNumber(v.substr(0, dot), 0xFFFF, major) ||
                !ParseNumber(v.substr(dot + 1), 0xFFFF, minor))
                return Usage("--version takes MAJOR.MINOR, such as 5.0");
            options.versionMajor = static_cast<uint16_t>(major);
            options.versionMinor = static_cast<uint16_t>(minor);
        } else if (a.rfind("--", 0) == 0) {
            return Usage("unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 4)
        return Usage("image takes an import list, two links and an output file");

    std::vector<ImportedFunction> imports;
    std::string error;
    if (!ReadImports(files[0], imports, error))
        return Refuse(error);
    LinkedProgram links[2];
    for (int i = 0; i < 2; ++i) {
        std::vector<uint8_t> elf;
        if (!ReadFile(files[1 + i], elf))
            return Refuse("cannot read " + files[1 + i]);
        if (!ReadLinkedProgram(elf, links[i], error))
            return Refuse(files[1 + i] + ": " + error);
    }
    std::vector<uint8_t> image;
    std::remove(files[3].c_str());
    if (!WriteCeImage(links[0], links[1], imports, options, image, error))
        return Refuse(files[1] + ": " + error);
    if (!WriteFile(files[3], image.data(), image.size()))
        return Refuse("cannot write " + files[3]);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage("no command");
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "thunks")
        return Thunks(args);
    if (command == "image")
        return Image(args);
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    return Usage("unknown command " + command);
}
