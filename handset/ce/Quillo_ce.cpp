// Quillo's Windows CE layer: the handset's kernel I/O control, tick count, file append and the
// shell's reboot request, under the tool's logic. Built for ARM by arm_build.sh into the image
// that kits carry; the calls into coredll.dll are declared in CoreDll.h.
#include <stdint.h>

#include "CoreDll.h"
#include "SwitchTool.h"

namespace {

const uint32_t kGenericWrite = 0x40000000;
const uint32_t kFileShareRead = 0x1;
const uint32_t kOpenAlways = 4;
const uint32_t kFileAttributeNormal = 0x80;
const uint32_t kFileEnd = 2;
HANDLE const kInvalidHandle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
const uint32_t kEwxReboot = 2;
const uintptr_t kExitWindowsExOrdinal = 2011;

typedef int (*ExitWindowsExProc)(uint32_t flags, uint32_t reserved);

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
    // The shell library is loaded only here, so the image imports from coredll.dll alone; it
    // exports its reboot request by ordinal, older images by name.
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

int WinMain(HMODULE, HMODULE, wchar_t* commandLine, int) {
    CePlatform platform;
    return RunSwitchTool(platform, commandLine);
}
