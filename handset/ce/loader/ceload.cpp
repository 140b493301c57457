// ceload: runs a Windows CE ARM program under user-mode ARM emulation, as a handset would run
// it, against a handset folder:
//
//   qemu-arm -cpu CPU ceload --handset DIR [--fail CODE]... [--ticks MS] IMAGE [COMMAND-LINE]
//
// It maps the image away from its preferred base, applies its base relocations, binds its
// coredll.dll imports to the stand-ins of StandIns.cpp and calls its entry. README.md beside
// this file documents the options, the folder, the records and the exit statuses.

#include <stdint.h>

#include "CeImage.h"
#include "Linux.h"
#include "StandIns.h"
#include "Text.h"

namespace {

using namespace linux_arm;

const int kEntryReturned = 0;
const int kNotRun = 2;
const int kFault = 3;

const uint32_t kMaxFailing = 16;
const uint32_t kMaxCommandLine = 8192;
const uint32_t kPage = 0x1000;
// Where the image goes: anywhere but its preferred base, so that its relocations are used.
const uint32_t kMapping = 0x20000000;
const uint32_t kOtherMapping = 0x30000000;
const int kShowWindow = 5;

const char kUsage[] = "usage: qemu-arm -cpu CPU ceload --handset DIR [--fail CODE]... "
                      "[--ticks MS] IMAGE [COMMAND-LINE]\n";

struct Options {
    const char* handset = nullptr;
    const char* image = nullptr;
    const char* commandLine = nullptr;
    uint32_t failing[kMaxFailing] = {};
    uint32_t failingCount = 0;
    uint32_t ticks = 0;
};

typedef int (*Entry)(uint32_t instance, uint32_t previous, const uint16_t* commandLine, int show);

ce::Image g_image;
uint16_t g_commandLine[kMaxCommandLine + 1];
uint32_t g_base = 0;
uint32_t g_size = 0;

uint32_t AlignUp(uint32_t value, uint32_t alignment) {
    return (value + alignment - 1) & ~(alignment - 1);
}

bool StartsWith(const char* text, const char* prefix) {
    while (*prefix && *text == *prefix) {
        ++text;
        ++prefix;
    }
    return !*prefix;
}

bool StrEqual(const char* a, const char* b) {
    return StartsWith(a, b) && StartsWith(b, a);
}

// One line on stderr; the program did not run at all.
int NotRun(const char* a, const char* b = "", const char* c = "") {
    char buffer[512];
    Text line(buffer, sizeof buffer - 1);
    line.Add("ceload: ").Add(a).Add(b).Add(c);
    buffer[line.Length()] = '\n';
    WriteAll(2, buffer, line.Length() + 1);
    return kNotRun;
}

// 0x-prefixed hex or decimal, fitting 32 bits.
bool ParseNumber(const char* text, uint32_t& value) {
    const bool hex = StartsWith(text, "0x") || StartsWith(text, "0X");
    const uint32_t radix = hex ? 16 : 10;
    if (hex)
        text += 2;
    if (!*text)
        return false;
    uint64_t v = 0;
    for (; *text; ++text) {
        const char c = *text;
        uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<uint32_t>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<uint32_t>(c - 'A' + 10);
        else
            return false;
        v = v * radix + digit;
        if (v > 0xFFFFFFFFu)
            return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

// UTF-8 to the UTF-16 a handset passes; a byte that is not UTF-8 becomes U+FFFD.
bool Widen(const char* text, uint16_t* wide, uint32_t capacity) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text);
    uint32_t n = 0;
    while (*p) {
        uint32_t code = 0xFFFD;
        uint32_t extra = 0;
        if (*p < 0x80)
            code = *p, extra = 0;
        else if ((*p & 0xE0) == 0xC0)
            code = *p & 0x1F, extra = 1;
        else if ((*p & 0xF0) == 0xE0)
            code = *p & 0x0F, extra = 2;
        else if ((*p & 0xF8) == 0xF0)
            code = *p & 0x07, extra = 3;
        else
            extra = 0;
        ++p;
        for (uint32_t i = 0; i < extra; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) {
                code = 0xFFFD;
                break;
            }
            code = code << 6 | (*p & 0x3F);
        }
        if (code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
            code = 0xFFFD;
        if (n + 2 >= capacity)
            return false;
        if (code >= 0x10000) {
            code -= 0x10000;
            wide[n++] = static_cast<uint16_t>(0xD800 + (code >> 10));
            wide[n++] = static_cast<uint16_t>(0xDC00 + (code & 0x3FF));
        } else {
            wide[n++] = static_cast<uint16_t>(code);
        }
    }
    wide[n] = 0;
    return true;
}

uint32_t Length(const char* text) {
    uint32_t n = 0;
    while (text[n])
        ++n;
    return n;
}

// A bad command line: one line saying what is wrong, then the usage.
bool Usage(const char* a, const char* b = "") {
    NotRun(a, b);
    WriteText(2, kUsage);
    return false;
}

bool ParseOptions(int argc, char** argv, Options& options, int& status) {
    status = kNotRun;
    bool positionalOnly = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!positionalOnly && StrEqual(a, "--help")) {
            WriteText(1, kUsage);
            status = kEntryReturned;
            return false;
        }
        if (!positionalOnly && StrEqual(a, "--")) {
            positionalOnly = true;
            continue;
        }
        // --name VALUE or --name=VALUE
        const char* const names[] = {"--handset", "--fail", "--ticks"};
        const char* value = nullptr;
        int option = -1;
        for (int n = 0; !positionalOnly && n < 3; ++n) {
            const uint32_t length = Length(names[n]);
            if (StrEqual(a, names[n])) {
                if (i + 1 == argc)
                    return Usage(names[n], " needs a value");
                option = n;
                value = argv[++i];
            } else if (StartsWith(a, names[n]) && a[length] == '=') {
                option = n;
                value = a + length + 1;
            }
        }
        if (option == 0) {
            options.handset = value;
        } else if (option == 1) {
            if (options.failingCount == kMaxFailing ||
                !ParseNumber(value, options.failing[options.failingCount++]))
                return Usage("--fail takes a control code such as 0x01012084, at most 16 times");
        } else if (option == 2) {
            if (!ParseNumber(value, options.ticks))
                return Usage("--ticks takes milliseconds");
        } else if (!positionalOnly && StartsWith(a, "--")) {
            return Usage("unknown option ", a);
        } else if (!options.image) {
            options.image = a;
        } else if (!options.commandLine) {
            options.commandLine = a;
        } else {
            return Usage("one command line only: quote it as one argument");
        }
    }
    if (!options.handset)
        return Usage("--handset DIR is required");
    if (!options.image)
        return Usage("no image");
    if (!Widen(options.commandLine ? options.commandLine : "", g_commandLine, kMaxCommandLine + 1))
        return Usage("the command line is too long");
    return true;
}

bool Mapped(long result) {
    return static_cast<unsigned long>(result) < static_cast<unsigned long>(-4095L);
}

// The whole file, in memory of its own; false when it cannot be read or is larger than any
// handset program.
bool ReadWholeFile(const char* path, const uint8_t*& data, uint32_t& size, bool& tooLarge) {
    tooLarge = false;
    const long fd = Call(kOpenat, kAtCurrentDirectory, reinterpret_cast<long>(path),
                         kOpenReadOnly | kOpenLargeFile | kOpenCloseOnExec);
    if (fd < 0)
        return false;
    const uint32_t capacity = AlignUp(ce::kMaxFileSize + 1, kPage);
    const long buffer = Call(kMmap2, 0, static_cast<long>(capacity), kProtRead | kProtWrite,
                             kMapPrivate | kMapAnonymous, -1, 0);
    if (!Mapped(buffer)) {
        Call(kClose, fd);
        return false;
    }
    uint8_t* bytes = reinterpret_cast<uint8_t*>(buffer);
    size = 0;
    for (;;) {
        const long n = Call(kRead, fd, reinterpret_cast<long>(bytes + size),
                            static_cast<long>(capacity - size));
        if (n < 0) {
            Call(kClose, fd);
            return false;
        }
        if (n == 0)
            break;
        size += static_cast<uint32_t>(n);
        if (size > ce::kMaxFileSize) {
            tooLarge = true;
            Call(kClose, fd);
            return false;
        }
    }
    Call(kClose, fd);
    data = bytes;
    return true;
}

// Each section's pages get what its characteristics allow, as on a handset, and the gaps
// nothing; where sections share pages everything stays open.
void Protect(uint8_t* memory, const ce::Image& image) {
    if (image.sectionAlignment < kPage)
        return;
    Call(kMprotect, reinterpret_cast<long>(memory), static_cast<long>(g_size), kProtNone);
    Call(kMprotect, reinterpret_cast<long>(memory),
         static_cast<long>(AlignUp(image.sizeOfHeaders, kPage)), kProtRead);
    for (uint32_t i = 0; i < image.sectionCount; ++i) {
        const ce::Section& s = image.sections[i];
        if (!s.virtualSize)
            continue;
        long protection = kProtRead;
        if (s.characteristics & 0x80000000u)
            protection |= kProtWrite;
        if (s.characteristics & (0x20000000u | 0x00000020u))
            protection |= kProtExec;
        Call(kMprotect, reinterpret_cast<long>(memory + s.rva),
             static_cast<long>(AlignUp(s.virtualSize, kPage)), protection);
    }
}

const char* SignalName(int signal) {
    switch (signal) {
    case 4:
        return "SIGILL";
    case 5:
        return "SIGTRAP";
    case 7:
        return "SIGBUS";
    case 8:
        return "SIGFPE";
    case 11:
        return "SIGSEGV";
    }
    return "signal";
}

// A fault of the program (or of a stand-in, handed a bad pointer) ends the run with a record
// of where it happened.
void OnFault(int signal, void*, void* context) {
    // uc_mcontext.arm_pc in the ARM kernel's ucontext.
    const uint32_t pc = static_cast<uint32_t*>(context)[23];
    char buffer[128];
    Text line(buffer, sizeof buffer);
    line.Add("fault ").Add(SignalName(signal)).Add(" at ");
    if (pc - g_base < g_size)
        line.Add("RVA ").Hex(pc - g_base);
    else
        line.Hex(pc).Add(" (outside the image)");
    RecordLine(line.Data(), line.Length());
    WriteText(2, "ceload: ");
    WriteAll(2, line.Data(), line.Length());
    WriteText(2, "\n");
    Exit(kFault);
}

void CatchFaults() {
    struct {
        void (*handler)(int, void*, void*);
        unsigned long flags;
        void (*restorer)();
        uint32_t mask[2];
    } action = {&OnFault, 0x80000004ul /* SA_SIGINFO | SA_RESETHAND */, nullptr, {0, 0}};
    const int signals[] = {4, 5, 7, 8, 11};
    for (int s : signals)
        Call(kRtSigaction, s, reinterpret_cast<long>(&action), 0, 8);
}

} // namespace

extern "C" int LoaderMain(uint32_t* stack) {
    const uint64_t started = Milliseconds();
    const int argc = static_cast<int>(stack[0]);
    char** argv = reinterpret_cast<char**>(stack + 1);
    static Options options;
    int status = kNotRun;
    if (!ParseOptions(argc, argv, options, status))
        return status;

    const long folder = Call(kOpenat, kAtCurrentDirectory, reinterpret_cast<long>(options.handset),
                             kOpenReadOnly | kOpenDirectory | kOpenCloseOnExec);
    if (folder < 0)
        return NotRun("cannot open the handset folder ", options.handset);
    const uint8_t* file = nullptr;
    uint32_t fileSize = 0;
    bool tooLarge = false;
    if (!ReadWholeFile(options.image, file, fileSize, tooLarge))
        return NotRun(options.image,
                      tooLarge ? ": larger than a handset program can be" : ": cannot read it");
    ce::Refusal why;
    if (!ce::ReadImage(file, fileSize, g_image, why))
        return NotRun(options.image, ": ", why.text);

    g_size = AlignUp(g_image.sizeOfImage, kPage);
    const uint32_t hint = g_image.imageBase == kMapping ? kOtherMapping : kMapping;
    const long mapping = Call(kMmap2, static_cast<long>(hint), static_cast<long>(g_size),
                              kProtRead | kProtWrite, kMapPrivate | kMapAnonymous, -1, 0);
    if (!Mapped(mapping))
        return NotRun(options.image, ": no memory for the image");
    uint8_t* memory = reinterpret_cast<uint8_t*>(mapping);
    g_base = static_cast<uint32_t>(mapping);
    ce::LayOut(g_image, memory);
    if (!ce::Relocate(g_image, memory, g_base, why) ||
        !ce::BindImports(g_image, memory, &ResolveCoreDll, nullptr, why))
        return NotRun(options.image, ": ", why.text);

    const long calls = Call(kOpenat, folder, reinterpret_cast<long>("calls.txt"),
                            kOpenWriteOnly | kOpenCreate | kOpenAppend | kOpenCloseOnExec, 0644);
    if (calls < 0)
        return NotRun("cannot write calls.txt in ", options.handset);
    HandsetFolder handset = {static_cast<int>(folder), static_cast<int>(calls), options.failing,
                             options.failingCount,     options.ticks,           started};
    UseHandsetFolder(handset);

    Call(kCacheflush, mapping, mapping + static_cast<long>(g_size), 0);
    Protect(memory, g_image);
    CatchFaults();
    const Entry entry = reinterpret_cast<Entry>(g_base + g_image.entry);
    const int result = entry(g_base, 0, g_commandLine, kShowWindow);

    char buffer[32];
    Text line(buffer, sizeof buffer);
    line.Add("return ").Signed(result);
    RecordLine(line.Data(), line.Length());
    return kEntryReturned;
}
