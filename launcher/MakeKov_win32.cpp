// MakeKov: run as itself it binds the files of the current directory into "Kov.exe"; run as such
// a package (any file larger than the builder can be) it unpacks them, runs the wizard and
// cleans up. Exit code 0 whatever happened; the console lines tell.
#include <windows.h>

#include <cstdio>
#include <string>

#include "Binder.h"
#include "Extractor.h"
#include "PackageFormat.h"

namespace {

// The binder finds this pair by scanning its own file for the first 4-byte-aligned marker and
// writes the stub's length into the word after it. The marker is never written as a constant in
// the code, only here, so no earlier aligned copy of it can exist; and volatile makes package
// mode read the length the binder wrote into the file rather than this initial value.
struct SelfLengthWords {
    uint32_t marker;
    uint32_t selfLength;
};
volatile SelfLengthWords g_selfLengthWords = {0x12345678, 0};

class WindowsHost : public package::PackageHost {
public:
    WindowsHost() {
        DWORD mode;
        console_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
        toConsole_ = ::GetConsoleMode(console_, &mode) != 0;
    }

    void Line(const std::string& text) override {
        // A console shows every name in UTF-16; a pipe or a file gets UTF-8.
        if (toConsole_) {
            std::wstring wide(text.size() + 1, L'\0');
            int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                          &wide[0], static_cast<int>(wide.size()));
            wide.resize(static_cast<size_t>(n > 0 ? n : 0));
            wide += L"\r\n";
            DWORD written;
            ::WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written,
                            nullptr);
        } else {
            std::fputs(text.c_str(), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        }
    }

    bool RunWizard() override {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        // Named without a path, the wizard is taken from the current directory, never searched
        // for elsewhere.
        if (!::CreateProcessW(L"KovShop.exe", nullptr, nullptr, nullptr, FALSE,
                              NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process))
            return false;
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        return true;
    }

    void Pause(unsigned milliseconds) override { ::Sleep(milliseconds); }

private:
    HANDLE console_ = nullptr;
    bool toConsole_ = false;
};

} // namespace

int wmain() {
    wchar_t own[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, own, MAX_PATH);
    const package::Path ownPath(reinterpret_cast<const char16_t*>(own));
    WindowsHost host;
    if (package::IsPackageSize(package::SystemFiles().FileSize(ownPath).value_or(0)))
        package::RunPackage(ownPath, g_selfLengthWords.selfLength, host);
    else
        package::BindPackage(ownPath, g_selfLengthWords.marker, host);
    return 0;
}
