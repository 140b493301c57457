#include <windows.h>

#include "HostProgram.h"

namespace HostProgram {

namespace {

// Wine's own conversions between its drives and the Unix file system; a Windows without Wine
// has neither, and no Linux programs to start either.
typedef char*(CDECL* UnixNameFn)(LPCWSTR);
typedef WCHAR*(CDECL* DosNameFn)(const char*);

template <typename Fn> Fn WineExport(const char* name) {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(kernel, name)))
                  : nullptr;
}

std::wstring Wide(const std::string& utf8) {
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], length);
    return wide;
}

// One word of a command line as Wine splits it into a Linux program's arguments: quoted, with
// backslashes doubled where they stand before a quote.
void AppendQuoted(std::wstring& line, const std::wstring& word) {
    line += L" \"";
    size_t backslashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

} // namespace

std::filesystem::path LocalName(const std::string& linuxPath) {
    if (DosNameFn dosName = WineExport<DosNameFn>("wine_get_dos_file_name")) {
        if (WCHAR* name = dosName(linuxPath.c_str())) {
            std::filesystem::path local(name);
            ::HeapFree(::GetProcessHeap(), 0, name);
            return local;
        }
    }
    std::wstring name = L"Z:" + Wide(linuxPath);
    for (wchar_t& c : name)
        if (c == L'/')
            c = L'\\';
    return name;
}

std::string LinuxName(const std::filesystem::path& local) {
    UnixNameFn unixName = WineExport<UnixNameFn>("wine_get_unix_file_name");
    if (!unixName)
        return {};
    char* name = unixName(std::filesystem::absolute(local).wstring().c_str());
    if (!name)
        return {};
    std::string unixPath(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return unixPath;
}

bool StartInBackground(const std::vector<std::string>& argv, const std::string& outputFile,
                       const std::string& statusFile, std::string& failure) {
    if (!WineExport<UnixNameFn>("wine_get_unix_file_name")) {
        failure = "Linux programs start only under Wine";
        return false;
    }
    std::wstring line = LocalName("/bin/sh").wstring();
    for (const std::string& word : {std::string("-c"), std::string(kBackgroundScript),
                                    std::string("sh"), outputFile, statusFile})
        AppendQuoted(line, Wide(word));
    for (const std::string& word : argv)
        AppendQuoted(line, Wide(word));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        failure = "cannot start /bin/sh (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    // Wine gives no exit status of a Linux program, nor, for 64-bit programs, a wait on it.
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

} // namespace HostProgram
