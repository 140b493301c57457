#include "StandIns.h"

#include "Linux.h"
#include "Text.h"

namespace {

using namespace linux_arm;

const uint32_t kInvalidHandle = 0xFFFFFFFF;
const uint32_t kFirstFileHandle = 0x100;
const uint32_t kShellModule = 0x7A000000;
const uint32_t kExitWindowsExOrdinal = 2011;
const uint32_t kEwxReboot = 2;
const uint32_t kMaxPath = 260;
const uint32_t kShownBytes = 256;
const uint32_t kMaxOpenFiles = 32;

const uint32_t kGenericRead = 0x80000000;
const uint32_t kGenericWrite = 0x40000000;
const uint32_t kCreateNew = 1;
const uint32_t kCreateAlways = 2;
const uint32_t kOpenExisting = 3;
const uint32_t kOpenAlways = 4;
const uint32_t kTruncateExisting = 5;

HandsetFolder g_handset;
char g_line[2048];

struct OpenFile {
    uint32_t handle;
    int fd;
};
OpenFile g_files[kMaxOpenFiles];
uint32_t g_nextHandle = kFirstFileHandle;

template <class Function> uint32_t Address(Function* function) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(function));
}

uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool StrEqual(const char* a, const char* b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

Text Line() {
    return Text(g_line, sizeof g_line);
}

void Record(const Text& line) {
    RecordLine(line.Data(), line.Length());
}

// A pointer the stand-in neither reads nor writes: whether it was given is what matters.
Text& Pointer(Text& t, const void* p) {
    return t.Add(p ? "ptr" : "NULL");
}

// A pointer to a 32-bit value the stand-in fills in, shown with the value it holds afterwards.
Text& OutValue(Text& t, const uint32_t* p) {
    return p ? t.Add('[').Unsigned(*p).Add(']') : t.Add("NULL");
}

Text& Bytes(Text& t, const uint8_t* data, uint32_t size) {
    return data ? t.Quoted(data, size, kShownBytes) : t.Add("NULL");
}

Text& Handle(Text& t, uint32_t handle) {
    return t.Hex(handle);
}

// A wide string of at most kMaxPath characters; its length in `length`, false when it has no
// terminator by then.
bool WideLength(const uint16_t* text, uint32_t& length) {
    for (length = 0; length <= kMaxPath; ++length) {
        if (!text[length])
            return true;
    }
    length = kMaxPath;
    return false;
}

Text& Wide(Text& t, const uint16_t* text) {
    if (!text)
        return t.Add("NULL");
    uint32_t length = 0;
    const bool whole = WideLength(text, length);
    return t.QuotedWide(text, whole ? length : length + 1, kMaxPath);
}

bool WideEqualsIgnoringCase(const uint16_t* wide, const char* ascii) {
    for (;; ++wide, ++ascii) {
        uint32_t c = *wide;
        char a = *ascii;
        if (c >= 'A' && c <= 'Z')
            c = c - 'A' + 'a';
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (c != static_cast<uint32_t>(static_cast<unsigned char>(a)))
            return false;
        if (!c)
            return true;
    }
}

void AppendToFolderFile(const char* name, const char* text) {
    const long fd = Call(kOpenat, g_handset.folder, reinterpret_cast<long>(name),
                         kOpenWriteOnly | kOpenCreate | kOpenAppend | kOpenCloseOnExec, 0644);
    if (fd < 0)
        return;
    WriteText(static_cast<int>(fd), text);
    Call(kClose, fd);
}

bool Failing(uint32_t code) {
    for (uint32_t i = 0; i < g_handset.failingCount; ++i) {
        if (g_handset.failing[i] == code)
            return true;
    }
    return false;
}

// The handset's file `name` as a path below the folder: "\Temp\log.txt" is files/Temp/log.txt.
// A handset has no current directory, so a name without the leading backslash starts at the
// root too. False when the name would leave files/ (an empty part, "." or "..") or holds what a
// handset's file system refuses in a name.
bool HostPath(const uint16_t* name, char* path, uint32_t capacity) {
    Text t(path, capacity);
    t.Add("files/");
    if (*name == '\\')
        ++name;
    const uint16_t* part = name;
    for (const uint16_t* p = name;; ++p) {
        if (*p != '\\' && *p)
            continue;
        const uint32_t length = static_cast<uint32_t>(p - part);
        if (length == 0 || (length == 1 && part[0] == '.') ||
            (length == 2 && part[0] == '.' && part[1] == '.'))
            return false;
        for (const uint16_t* c = part; c < p; ++c) {
            const uint32_t u = *c;
            if (u < 0x20 || u == '/' || u == ':' || u == '*' || u == '?' || u == '"' || u == '<' ||
                u == '>' || u == '|')
                return false;
            if (u < 0x80) {
                t.Add(static_cast<char>(u));
                continue;
            }
            uint32_t code = u;
            if (u >= 0xD800 && u < 0xDC00 && c + 1 < p && c[1] >= 0xDC00 && c[1] < 0xE000) {
                code = 0x10000 + ((u - 0xD800) << 10) + (c[1] - 0xDC00);
                ++c;
            } else if (u >= 0xD800 && u < 0xE000) {
                return false;
            }
            if (code < 0x800) {
                t.Add(static_cast<char>(0xC0 | code >> 6));
            } else if (code < 0x10000) {
                t.Add(static_cast<char>(0xE0 | code >> 12));
                t.Add(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            } else {
                t.Add(static_cast<char>(0xF0 | code >> 18));
                t.Add(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
                t.Add(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            }
            t.Add(static_cast<char>(0x80 | (code & 0x3F)));
        }
        if (!*p)
            break;
        t.Add('/');
        part = p + 1;
    }
    return t.Length() + 1 < capacity;
}

OpenFile* FindFile(uint32_t handle) {
    for (OpenFile& f : g_files) {
        if (f.handle && f.handle == handle)
            return &f;
    }
    return nullptr;
}

uint32_t OpenHandsetFile(const uint16_t* name, uint32_t access, uint32_t creation) {
    uint32_t length = 0;
    if (!name || !WideLength(name, length))
        return kInvalidHandle;
    char path[4 * kMaxPath + 16];
    if (!HostPath(name, path, sizeof path))
        return kInvalidHandle;
    long flags = kOpenLargeFile | kOpenCloseOnExec;
    const bool reads = (access & kGenericRead) != 0, writes = (access & kGenericWrite) != 0;
    flags |= reads && writes ? kOpenReadWrite : writes ? kOpenWriteOnly : kOpenReadOnly;
    switch (creation) {
    case kCreateNew:
        flags |= kOpenCreate | kOpenExclusive;
        break;
    case kCreateAlways:
        flags |= kOpenCreate | kOpenTruncate;
        break;
    case kOpenExisting:
        break;
    case kOpenAlways:
        flags |= kOpenCreate;
        break;
    case kTruncateExisting:
        flags |= kOpenTruncate;
        break;
    default:
        return kInvalidHandle;
    }
    OpenFile* slot = nullptr;
    for (OpenFile& f : g_files) {
        if (!f.handle) {
            slot = &f;
            break;
        }
    }
    if (!slot)
        return kInvalidHandle;
    const long fd = Call(kOpenat, g_handset.folder, reinterpret_cast<long>(path), flags, 0644);
    if (fd < 0)
        return kInvalidHandle;
    slot->fd = static_cast<int>(fd);
    slot->handle = g_nextHandle;
    g_nextHandle += 4;
    return slot->handle;
}

// coredll.dll

int KernelIoControl(uint32_t code, const uint8_t* input, uint32_t inputSize, void* output,
                    uint32_t outputSize, uint32_t* returned) {
    const char* flag = code == 0x0101208C   ? "update\n"
                       : code == 0x01012084 ? "cp-area\n"
                       : code == 0x01012080 ? "masterclear\n"
                                            : nullptr;
    // The firmware takes its flag as a 32-bit 1, as the switch tool passes it.
    const bool holdsOne = input && inputSize == 4 && U32(input) == 1;
    const int result = flag && holdsOne && !Failing(code) ? 1 : 0;
    if (returned)
        *returned = 0;
    Text t = Line();
    t.Add("KernelIoControl(").Hex(code).Add(", ");
    Bytes(t, input, inputSize).Add(", ").Unsigned(inputSize).Add(", ");
    Pointer(t, output).Add(", ").Unsigned(outputSize).Add(", ");
    OutValue(t, returned).Add(") = ").Signed(result);
    Record(t);
    if (result)
        AppendToFolderFile("flags.txt", flag);
    return result;
}

uint32_t GetTickCount() {
    const uint32_t now =
        g_handset.ticks + static_cast<uint32_t>(Milliseconds() - g_handset.started);
    Text t = Line();
    t.Add("GetTickCount() = ").Unsigned(now);
    Record(t);
    return now;
}

uint32_t CreateFileW(const uint16_t* name, uint32_t access, uint32_t share, void* security,
                     uint32_t creation, uint32_t flags, uint32_t templateFile) {
    const uint32_t handle = OpenHandsetFile(name, access, creation);
    Text t = Line();
    t.Add("CreateFileW(");
    Wide(t, name).Add(", ").Hex(access).Add(", ").Hex(share).Add(", ");
    Pointer(t, security).Add(", ").Unsigned(creation).Add(", ").Hex(flags).Add(", ");
    (templateFile ? t.Hex(templateFile) : t.Add("NULL")).Add(") = ");
    Handle(t, handle);
    Record(t);
    return handle;
}

uint32_t SetFilePointer(uint32_t handle, int32_t distance, int32_t* high, uint32_t method) {
    const OpenFile* file = FindFile(handle);
    uint32_t result = kInvalidHandle;
    if (file && method <= 2) {
        const int64_t offset =
            high ? static_cast<int64_t>(static_cast<uint64_t>(static_cast<uint32_t>(*high)) << 32 |
                                        static_cast<uint32_t>(distance))
                 : distance;
        uint64_t position = 0;
        if (Call(kLlseek, file->fd, static_cast<long>(static_cast<uint64_t>(offset) >> 32),
                 static_cast<long>(static_cast<uint32_t>(offset)),
                 reinterpret_cast<long>(&position), static_cast<long>(method)) == 0) {
            result = static_cast<uint32_t>(position);
            if (high)
                *high = static_cast<int32_t>(position >> 32);
        }
    }
    Text t = Line();
    t.Add("SetFilePointer(");
    Handle(t, handle).Add(", ").Signed(distance).Add(", ");
    OutValue(t, reinterpret_cast<uint32_t*>(high)).Add(", ").Unsigned(method).Add(") = ");
    t.Unsigned(result);
    Record(t);
    return result;
}

int WriteFile(uint32_t handle, const uint8_t* data, uint32_t size, uint32_t* written,
              void* overlapped) {
    const OpenFile* file = FindFile(handle);
    // Windows CE has no overlapped file writes.
    const int result = file && data && !overlapped && WriteAll(file->fd, data, size) ? 1 : 0;
    if (written)
        *written = result ? size : 0;
    Text t = Line();
    t.Add("WriteFile(");
    Handle(t, handle).Add(", ");
    Bytes(t, data, size).Add(", ").Unsigned(size).Add(", ");
    OutValue(t, written).Add(", ");
    Pointer(t, overlapped).Add(") = ").Signed(result);
    Record(t);
    return result;
}

int CloseHandle(uint32_t handle) {
    OpenFile* file = FindFile(handle);
    if (file) {
        Call(kClose, file->fd);
        file->handle = 0;
    }
    Text t = Line();
    t.Add("CloseHandle(");
    Handle(t, handle).Add(") = ").Signed(file ? 1 : 0);
    Record(t);
    return file ? 1 : 0;
}

uint32_t LoadLibraryW(const uint16_t* name) {
    const uint32_t module = name && WideEqualsIgnoringCase(name, "aygshell.dll") ? kShellModule : 0;
    Text t = Line();
    t.Add("LoadLibraryW(");
    Wide(t, name).Add(") = ");
    (module ? t.Hex(module) : t.Add("NULL"));
    Record(t);
    return module;
}

int ExitWindowsEx(uint32_t flags, uint32_t reserved);

uint32_t GetProcAddressW(uint32_t module, const uint16_t* name) {
    const uint32_t value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(name));
    // A value that fits 16 bits is an ordinal, not a name.
    const bool byOrdinal = value <= 0xFFFF;
    const bool reboot = module == kShellModule && byOrdinal && value == kExitWindowsExOrdinal;
    Text t = Line();
    t.Add("GetProcAddressW(").Hex(module).Add(", ");
    if (byOrdinal)
        t.Add('#').Unsigned(value);
    else
        Wide(t, name);
    t.Add(") = ").Add(reboot ? "ExitWindowsEx" : "NULL");
    Record(t);
    return reboot ? Address(&ExitWindowsEx) : 0;
}

int FreeLibrary(uint32_t module) {
    const int result = module == kShellModule ? 1 : 0;
    Text t = Line();
    t.Add("FreeLibrary(").Hex(module).Add(") = ").Signed(result);
    Record(t);
    return result;
}

void* LocalFree(void* memory) {
    Text t = Line();
    t.Add("LocalFree(");
    Pointer(t, memory).Add(") = NULL");
    Record(t);
    return nullptr;
}

// aygshell.dll, ordinal 2011. Only a reboot is carried out; the handset then restarts, so
// the record comes first.
int ExitWindowsEx(uint32_t flags, uint32_t reserved) {
    const int result = flags == kEwxReboot ? 1 : 0;
    Text t = Line();
    t.Add("ExitWindowsEx(").Unsigned(flags).Add(", ").Unsigned(reserved).Add(") = ").Signed(result);
    Record(t);
    if (result) {
        const long fd = Call(kOpenat, g_handset.folder, reinterpret_cast<long>("rebooted"),
                             kOpenWriteOnly | kOpenCreate | kOpenTruncate | kOpenCloseOnExec, 0644);
        if (fd >= 0)
            Call(kClose, fd);
    }
    return result;
}

} // namespace

void UseHandsetFolder(const HandsetFolder& folder) {
    g_handset = folder;
}

void RecordLine(const char* line, uint32_t length) {
    char record[sizeof g_line + 1];
    uint32_t n = 0;
    for (; n < length && n < sizeof g_line; ++n)
        record[n] = line[n];
    record[n++] = '\n';
    // One write per line, so that a line is never split by another writer of the file.
    WriteAll(g_handset.calls, record, n);
}

uint32_t ResolveCoreDll(const char* name, uint32_t, void*) {
    if (!name)
        return 0;
    const struct {
        const char* name;
        uint32_t address;
    } standIns[] = {
        {"KernelIoControl", Address(&KernelIoControl)},
        {"GetTickCount", Address(&GetTickCount)},
        {"CreateFileW", Address(&CreateFileW)},
        {"SetFilePointer", Address(&SetFilePointer)},
        {"WriteFile", Address(&WriteFile)},
        {"CloseHandle", Address(&CloseHandle)},
        {"LoadLibraryW", Address(&LoadLibraryW)},
        {"GetProcAddressW", Address(&GetProcAddressW)},
        {"FreeLibrary", Address(&FreeLibrary)},
        {"LocalFree", Address(&LocalFree)},
    };
    for (const auto& s : standIns) {
        if (StrEqual(name, s.name))
            return s.address;
    }
    return 0;
}
