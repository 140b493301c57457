// Quillo's Windows CE layer: the handset's kernel I/O control, tick count, file append and the
// shell's reboot request, under the tool's logic. Built with a Windows CE ARM toolchain for the
// handset; it declares what it uses itself, so it needs no SDK headers. The README says how to
// build it.
#include <stdint.h>

#include "SwitchTool.h"

// Windows CE on ARM has one calling convention; the x86 emulator builds use __stdcall.
#if defined(_M_IX86) || defined(__i386__)
#define CE_API __stdcall
#else
#define CE_API
#endif

typedef void* HANDLE;
typedef void* HMODULE;
typedef int(CE_API* ExitWindowsExProc)(uint32_t flags, uint32_t reserved);

extern "C" {
__declspec(dllimport) int CE_API
    KernelIoControl(uint32_t code, void* input, uint32_t inputSize, void* output,
                    uint32_t outputSize, uint32_t* returned);
__declspec(dllimport) uint32_t CE_API GetTickCount();
__declspec(dllimport) HANDLE CE_API
    CreateFileW(const wchar_t* name, uint32_t access, uint32_t share, void* security,
                uint32_t creation, uint32_t flags, HANDLE templateFile);
__declspec(dllimport) uint32_t CE_API
    SetFilePointer(HANDLE file, int32_t distance, int32_t* high, uint32_t method);
__declspec(dllimport) int CE_API
    WriteFile(HANDLE file, const void* data, uint32_t size, uint32_t* written, void* overlapped);
__declspec(dllimport) int CE_API CloseHandle(HANDLE object);
__declspec(dllimport) HMODULE CE_API LoadLibraryW(const wchar_t* name);
__declspec(dllimport) void* CE_API GetProcAddressW(HMODULE module, const wchar_t* name);
__declspec(dllimport) int CE_API FreeLibrary(HMODULE module);
}

namespace {

const uint32_t kGenericWrite = 0x40000000;
const uint32_t kFileShareRead = 0x1;
const uint32_t kOpenAlways = 4;
const uint32_t kFileAttributeNormal = 0x80;
const uint32_t kFileEnd = 2;
HANDLE const kInvalidHandle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
const uint32_t kEwxReboot = 2;
const uintptr_t kExitWindowsExOrdinal = 2011;

class CePlatform : public HandsetPlatform {
public:
    bool KernelIoControl(uint32_t code, void* input, uint32_t inputSize) override {
        return ::KernelIoControl(code, input, inputSize, nullptr, 0, nullptr) != 0;
    }
    uint32_t TickCount() override { return ::GetTickCount(); }
    void AppendLogEntry(const char* head, uint32_t headLength, const char* text,
                        uint32_t textLength) override {
        HANDLE log = ::CreateFileW(L"\\Temp\\log.txt", kGenericWrite, kFileShareRead, nullptr,
                                   kOpenAlways, kFileAttributeNormal, nullptr);
        if (log == kInvalidHandle)
            return;
        ::SetFilePointer(log, 0, nullptr, kFileEnd);
        uint32_t written = 0;
        ::WriteFile(log, head, headLength, &written, nullptr);
        ::WriteFile(log, text, textLength, &written, nullptr);
        ::CloseHandle(log);
    }
    // The shell library exports its reboot request by ordinal; older images name it instead.
    void Reboot() override {
        HMODULE shell = ::LoadLibraryW(L"aygshell.dll");
        if (!shell)
            return;
        void* proc =
            ::GetProcAddressW(shell, reinterpret_cast<const wchar_t*>(kExitWindowsExOrdinal));
        if (!proc)
            proc = ::GetProcAddressW(shell, L"ExitWindowsEx");
        if (proc)
            reinterpret_cast<ExitWindowsExProc>(proc)(kEwxReboot, 0);
        ::FreeLibrary(shell);
    }
};

} // namespace

extern "C" int CE_API WinMain(HMODULE, HMODULE, wchar_t* commandLine, int) {
    CePlatform platform;
    return RunSwitchTool(platform, commandLine);
}
