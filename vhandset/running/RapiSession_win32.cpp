// One RAPI2 session with the virtual running handset. The calls the wizard makes act on the
// handset and are journalled with their arguments; every other call fails as on a handset that
// does not offer it, with each parameter declared so that the callee pops exactly what the
// caller pushed.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "ComObject.h"
#include "Rapi2.h"
#include "RunningHandset.h"
#include "Utf8.h"

namespace {

std::string Number(uint32_t value, bool hex = false) {
    char text[16];
    wsprintfA(text, hex ? "0x%x" : "%u", value);
    return text;
}

class Session : public ComObject<IRAPISession> {
public:
    explicit Session(const std::filesystem::path& folder)
        : ComObject(IID_IRAPISession), m_handset(folder) {}

    HRESULT STDMETHODCALLTYPE CeRapiInit() override {
        if (m_handset.SessionLocked()) {
            m_handset.Note("init: locked");
            return E_ACCESSDENIED;
        }
        m_handset.Note("init");
        if (!m_handset.Connected())
            return HRESULT_FROM_WIN32(ERROR_NOT_CONNECTED);
        m_bInitialised = true;
        return S_OK;
    }
    // A handset that rebooted meanwhile has taken the connection with it: what is left of the
    // session on this side ends, but the handset no longer answers.
    HRESULT STDMETHODCALLTYPE CeRapiUninit() override {
        m_bInitialised = false;
        if (!m_handset.Connected()) {
            m_handset.Note("uninit: handset gone");
            return HRESULT_FROM_WIN32(ERROR_NOT_CONNECTED);
        }
        m_handset.Note("uninit");
        return S_OK;
    }
    DWORD STDMETHODCALLTYPE CeGetLastError() override { return m_lastError; }
    HRESULT STDMETHODCALLTYPE CeRapiGetError() override {
        return m_handset.Connected() ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_CONNECTED);
    }
    HRESULT STDMETHODCALLTYPE CeRapiFreeBuffer(void*) override { return S_OK; }

    HANDLE STDMETHODCALLTYPE CeCreateFile(LPCWSTR name, DWORD access, DWORD share,
                                          LPSECURITY_ATTRIBUTES security, DWORD creation,
                                          DWORD flagsAndAttributes, HANDLE) override {
        m_handset.Note("create " + Utf8(name ? name : L"") + " access=" + Number(access, true) +
                       " share=" + Number(share) + " creation=" + Number(creation) +
                       " attributes=" + Number(flagsAndAttributes, true) +
                       (security ? " security" : ""));
        if (!Ready() || !name || m_handset.HostPath(name).empty())
            return Fail<HANDLE>(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
        const HANDLE file = NewHandle();
        m_files[file] = OpenFile{name, {}};
        // Created anew, as CREATE_ALWAYS asks: an old file of that name is gone from now on.
        if (creation == CREATE_ALWAYS && !m_handset.WriteFile(name, {}))
            m_files[file].failed = true;
        return file;
    }
    BOOL STDMETHODCALLTYPE CeWriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
                                       LPOVERLAPPED) override {
        m_handset.Note("write " + Number(toWrite));
        auto found = m_files.find(file);
        if (written)
            *written = 0;
        if (!Ready() || found == m_files.end() || (toWrite && !buffer))
            return Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
        const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
        found->second.bytes.insert(found->second.bytes.end(), bytes, bytes + toWrite);
        if (found->second.failed || !m_handset.WriteFile(found->second.name, found->second.bytes))
            return Fail<BOOL>(ERROR_WRITE_FAULT, FALSE);
        if (written)
            *written = toWrite;
        return TRUE;
    }
    BOOL STDMETHODCALLTYPE CeCloseHandle(HANDLE object) override {
        const bool known = m_files.erase(object) + m_processes.erase(object) > 0;
        if (!m_handset.Connected()) {
            m_handset.Note("close handle: handset gone");
            return Fail<BOOL>(ERROR_NOT_CONNECTED, FALSE);
        }
        m_handset.Note("close handle");
        return known ? TRUE : Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }

    LONG STDMETHODCALLTYPE CeRegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access,
                                          PHKEY result) override {
        m_handset.Note("open key " + Utf8(subKey ? subKey : L"") + " options=" + Number(options) +
                       " access=" + Number(access));
        if (!Ready() || key != HKEY_LOCAL_MACHINE || !subKey || !result ||
            !m_handset.HasKey(subKey))
            return ERROR_FILE_NOT_FOUND;
        *result = reinterpret_cast<HKEY>(NewHandle());
        m_keys[*result] = subKey;
        return ERROR_SUCCESS;
    }
    LONG STDMETHODCALLTYPE CeRegQueryValueEx(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type,
                                             LPBYTE data, LPDWORD dataSize) override {
        m_handset.Note("query " + Utf8(name ? name : L"") + " " +
                       (dataSize ? Number(*dataSize) : std::string("-")));
        auto found = m_keys.find(key);
        std::vector<uint8_t> bytes;
        if (!Ready() || found == m_keys.end() || !name ||
            !m_handset.ReadValue(found->second, name, bytes))
            return ERROR_FILE_NOT_FOUND;
        if (type)
            *type = bytes.size() == 4 && found->second.find(L"Battery") != std::wstring::npos
                        ? REG_DWORD
                        : REG_SZ;
        if (!dataSize)
            return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
        const DWORD offered = *dataSize;
        *dataSize = static_cast<DWORD>(bytes.size());
        if (!data)
            return ERROR_SUCCESS;
        if (bytes.size() > offered)
            return ERROR_MORE_DATA;
        std::copy(bytes.begin(), bytes.end(), data);
        return ERROR_SUCCESS;
    }
    LONG STDMETHODCALLTYPE CeRegCloseKey(HKEY key) override {
        m_handset.Note("close key");
        return m_keys.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    }

    BOOL STDMETHODCALLTYPE CeGetSystemPowerStatusEx(CE_SYSTEM_POWER_STATUS_EX* status,
                                                    BOOL update) override {
        m_handset.Note("power status update=" + Number(update));
        uint8_t percent = 0;
        if (!Ready() || !status || !m_handset.BatteryPercent(percent))
            return Fail<BOOL>(ERROR_NOT_SUPPORTED, FALSE);
        *status = CE_SYSTEM_POWER_STATUS_EX();
        status->ACLineStatus = 1;
        status->BatteryLifePercent = percent;
        status->BackupBatteryLifePercent = 100;
        return TRUE;
    }

    BOOL STDMETHODCALLTYPE CeCreateProcess(LPCWSTR application, LPCWSTR commandLine,
                                           LPSECURITY_ATTRIBUTES processSecurity,
                                           LPSECURITY_ATTRIBUTES threadSecurity,
                                           BOOL inheritHandles, DWORD flags, LPVOID environment,
                                           LPWSTR currentDirectory, LPSTARTUPINFOW startup,
                                           LPPROCESS_INFORMATION process) override {
        m_handset.Note("start " + Utf8(application ? application : L"") + " \"" +
                       Utf8(commandLine ? commandLine : L"") + "\" flags=" + Number(flags, true) +
                       (processSecurity || threadSecurity || inheritHandles || environment ||
                                currentDirectory || startup
                            ? " with extras"
                            : ""));
        if (!Ready() || !application || !process)
            return Fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
        std::string why;
        switch (m_handset.Start(application, commandLine ? commandLine : L"", why)) {
        case RunningHandset::StartFailure::kNone:
            break;
        case RunningHandset::StartFailure::kNoFile:
            m_handset.Note("start refused: " + why);
            return Fail<BOOL>(ERROR_FILE_NOT_FOUND, FALSE);
        case RunningHandset::StartFailure::kNotAProgram:
            m_handset.Note("start refused: " + why);
            return Fail<BOOL>(ERROR_BAD_EXE_FORMAT, FALSE);
        case RunningHandset::StartFailure::kNoProcessor:
            m_handset.Note("start failed: " + why);
            return Fail<BOOL>(ERROR_GEN_FAILURE, FALSE);
        }
        process->hProcess = NewHandle();
        process->hThread = NewHandle();
        process->dwProcessId = 0x100;
        process->dwThreadId = 0x101;
        m_processes[process->hProcess] = true;
        m_processes[process->hThread] = true;
        return TRUE;
    }

    // Calls the wizard never makes.
    HANDLE STDMETHODCALLTYPE CeFindFirstFile(LPCWSTR, CE_FIND_DATA*) override {
        return Unsupported(INVALID_HANDLE_VALUE);
    }
    BOOL STDMETHODCALLTYPE CeFindNextFile(HANDLE, CE_FIND_DATA*) override {
        return Unsupported(FALSE);
    }
    BOOL STDMETHODCALLTYPE CeFindClose(HANDLE) override { return Unsupported(FALSE); }
    DWORD STDMETHODCALLTYPE CeGetFileAttributes(LPCWSTR) override {
        return Unsupported(INVALID_FILE_ATTRIBUTES);
    }
    BOOL STDMETHODCALLTYPE CeSetFileAttributes(LPCWSTR, DWORD) override {
        return Unsupported(FALSE);
    }
    BOOL STDMETHODCALLTYPE CeReadFile(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) override {
        return Unsupported(FALSE);
    }
    BOOL STDMETHODCALLTYPE CeFindAllFiles(LPCWSTR, DWORD, LPDWORD, CE_FIND_DATA**) override {
        return Unsupported(FALSE);
    }
    HANDLE STDMETHODCALLTYPE CeFindFirstDatabase(DWORD) override {
        return Unsupported(INVALID_HANDLE_VALUE);
    }
    CEOID STDMETHODCALLTYPE CeFindNextDatabase(HANDLE) override { return Unsupported(CEOID(0)); }
    BOOL STDMETHODCALLTYPE CeOidGetInfo(CEOID, CEOIDINFO*) override { return Unsupported(FALSE); }
    CEOID STDMETHODCALLTYPE CeCreateDatabase(LPWSTR, DWORD, WORD, SORTORDERSPEC*) override {
        return Unsupported(CEOID(0));
    }
    HANDLE STDMETHODCALLTYPE CeOpenDatabase(CEOID*, LPWSTR, CEPROPID, DWORD, HWND) override {
        return Unsupported(INVALID_HANDLE_VALUE);
    }
    BOOL STDMETHODCALLTYPE CeDeleteDatabase(CEOID) override { return Unsupported(FALSE); }
    CEOID STDMETHODCALLTYPE CeReadRecordProps(HANDLE, DWORD, WORD*, CEPROPID*, BYTE**,
                                              DWORD*) override {
        return Unsupported(CEOID(0));
    }
    CEOID STDMETHODCALLTYPE CeWriteRecordProps(HANDLE, CEOID, WORD, CEPROPVAL*) override {
        return Unsupported(CEOID(0));
    }
    BOOL STDMETHODCALLTYPE CeDeleteRecord(HANDLE, CEOID) override { return Unsupported(FALSE); }
    CEOID STDMETHODCALLTYPE CeSeekDatabase(HANDLE, DWORD, DWORD, DWORD*) override {
        return Unsupported(CEOID(0));
    }
    BOOL STDMETHODCALLTYPE CeSetDatabaseInfo(CEOID, CEDBASEINFO*) override {
        return Unsupported(FALSE);
    }
    DWORD STDMETHODCALLTYPE CeSetFilePointer(HANDLE, LONG, PLONG, DWORD) override {
        return Unsupported(INVALID_SET_FILE_POINTER);
    }
    BOOL STDMETHODCALLTYPE CeSetEndOfFile(HANDLE) override { return Unsupported(FALSE); }
    BOOL STDMETHODCALLTYPE CeCreateDirectory(LPCWSTR, LPSECURITY_ATTRIBUTES) override {
        return Unsupported(FALSE);
    }
    BOOL STDMETHODCALLTYPE CeRemoveDirectory(LPCWSTR) override { return Unsupported(FALSE); }
    BOOL STDMETHODCALLTYPE CeMoveFile(LPCWSTR, LPCWSTR) override { return Unsupported(FALSE); }
    BOOL STDMETHODCALLTYPE CeCopyFile(LPCWSTR, LPCWSTR, BOOL) override {
        return Unsupported(FALSE);
    }
    BOOL STDMETHODCALLTYPE CeDeleteFile(LPCWSTR) override { return Unsupported(FALSE); }
    DWORD STDMETHODCALLTYPE CeGetFileSize(HANDLE, LPDWORD) override {
        return Unsupported(INVALID_FILE_SIZE);
    }
    LONG STDMETHODCALLTYPE CeRegEnumKeyEx(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPWSTR, LPDWORD,
                                          PFILETIME) override {
        return ERROR_NOT_SUPPORTED;
    }
    LONG STDMETHODCALLTYPE CeRegCreateKeyEx(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM,
                                            LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD) override {
        return ERROR_NOT_SUPPORTED;
    }
    LONG STDMETHODCALLTYPE CeRegDeleteKey(HKEY, LPCWSTR) override { return ERROR_NOT_SUPPORTED; }
    LONG STDMETHODCALLTYPE CeRegEnumValue(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE,
                                          LPDWORD) override {
        return ERROR_NOT_SUPPORTED;
    }
    LONG STDMETHODCALLTYPE CeRegDeleteValue(HKEY, LPCWSTR) override { return ERROR_NOT_SUPPORTED; }
    LONG STDMETHODCALLTYPE CeRegQueryInfoKey(HKEY, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                                             LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                                             PFILETIME) override {
        return ERROR_NOT_SUPPORTED;
    }
    LONG STDMETHODCALLTYPE CeRegSetValueEx(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*,
                                           DWORD) override {
        return ERROR_NOT_SUPPORTED;
    }
    BOOL STDMETHODCALLTYPE CeGetStoreInformation(STORE_INFORMATION*) override {
        return Unsupported(FALSE);
    }
    INT STDMETHODCALLTYPE CeGetSystemMetrics(INT) override { return Unsupported(0); }
    INT STDMETHODCALLTYPE CeGetDesktopDeviceCaps(INT) override { return Unsupported(0); }
    BOOL STDMETHODCALLTYPE CeFindAllDatabases(DWORD, WORD, LPWORD, CEDB_FIND_DATA**) override {
        return Unsupported(FALSE);
    }
    void STDMETHODCALLTYPE CeGetSystemInfo(LPSYSTEM_INFO info) override {
        if (info)
            *info = SYSTEM_INFO();
        m_lastError = ERROR_NOT_SUPPORTED;
    }
    BOOL STDMETHODCALLTYPE CeSHCreateShortcut(LPWSTR, LPWSTR) override {
        return Unsupported(FALSE);
    }
    BOOL STDMETHODCALLTYPE CeSHGetShortcutTarget(LPWSTR, LPWSTR, INT) override {
        return Unsupported(FALSE);
    }
    BOOL STDMETHODCALLTYPE CeCheckPassword(LPWSTR) override { return Unsupported(FALSE); }
    BOOL STDMETHODCALLTYPE CeGetFileTime(HANDLE, LPFILETIME, LPFILETIME, LPFILETIME) override {
        return Unsupported(FALSE);
    }
    BOOL STDMETHODCALLTYPE CeSetFileTime(HANDLE, LPFILETIME, LPFILETIME, LPFILETIME) override {
        return Unsupported(FALSE);
    }
    BOOL STDMETHODCALLTYPE CeGetVersionEx(CEOSVERSIONINFO*) override { return Unsupported(FALSE); }
    HWND STDMETHODCALLTYPE CeGetWindow(HWND, UINT) override { return Unsupported(HWND()); }
    LONG STDMETHODCALLTYPE CeGetWindowLong(HWND, int) override { return Unsupported(LONG(0)); }
    INT STDMETHODCALLTYPE CeGetWindowText(HWND, LPWSTR, int) override { return Unsupported(0); }
    INT STDMETHODCALLTYPE CeGetClassName(HWND, LPWSTR, int) override { return Unsupported(0); }
    void STDMETHODCALLTYPE CeGlobalMemoryStatus(LPMEMORYSTATUS status) override {
        if (status)
            *status = MEMORYSTATUS();
        m_lastError = ERROR_NOT_SUPPORTED;
    }
    DWORD STDMETHODCALLTYPE CeGetTempPath(DWORD, LPWSTR) override { return Unsupported(DWORD(0)); }
    DWORD STDMETHODCALLTYPE CeGetSpecialFolderPath(int, DWORD, LPWSTR) override {
        return Unsupported(DWORD(0));
    }
    HRESULT STDMETHODCALLTYPE CeRapiInvoke(LPCWSTR, LPCWSTR, DWORD, BYTE*, DWORD*, BYTE**,
                                           IRAPIStream**, DWORD) override {
        return E_NOTIMPL;
    }
    HANDLE STDMETHODCALLTYPE CeFindFirstDatabaseEx(PCEGUID, DWORD) override {
        return Unsupported(INVALID_HANDLE_VALUE);
    }
    CEOID STDMETHODCALLTYPE CeFindNextDatabaseEx(HANDLE, PCEGUID) override {
        return Unsupported(CEOID(0));
    }
    CEOID STDMETHODCALLTYPE CeCreateDatabaseEx(PCEGUID, CEDBASEINFO*) override {
        return Unsupported(CEOID(0));
    }
    BOOL STDMETHODCALLTYPE CeSetDatabaseInfoEx(PCEGUID, CEOID, CEDBASEINFO*) override {
        return Unsupported(FALSE);
    }
    HANDLE STDMETHODCALLTYPE CeOpenDatabaseEx(PCEGUID, CEOID*, LPWSTR, CEPROPID, DWORD,
                                              CENOTIFYREQUEST*) override {
        return Unsupported(INVALID_HANDLE_VALUE);
    }
    BOOL STDMETHODCALLTYPE CeDeleteDatabaseEx(PCEGUID, CEOID) override {
        return Unsupported(FALSE);
    }
    CEOID STDMETHODCALLTYPE CeReadRecordPropsEx(HANDLE, DWORD, LPWORD, CEPROPID*, LPBYTE*, LPDWORD,
                                                HANDLE) override {
        return Unsupported(CEOID(0));
    }
    BOOL STDMETHODCALLTYPE CeMountDBVol(PCEGUID, LPWSTR, DWORD) override {
        return Unsupported(FALSE);
    }
    BOOL STDMETHODCALLTYPE CeUnmountDBVol(PCEGUID) override { return Unsupported(FALSE); }
    BOOL STDMETHODCALLTYPE CeFlushDBVol(PCEGUID) override { return Unsupported(FALSE); }
    BOOL STDMETHODCALLTYPE CeEnumDBVolumes(PCEGUID, LPWSTR, DWORD) override {
        return Unsupported(FALSE);
    }
    BOOL STDMETHODCALLTYPE CeOidGetInfoEx(PCEGUID, CEOID, CEOIDINFO*) override {
        return Unsupported(FALSE);
    }
    HRESULT STDMETHODCALLTYPE CeSyncStart(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CeSyncStop() override { return E_NOTIMPL; }
    BOOL STDMETHODCALLTYPE CeQueryInstructionSet(DWORD, LPDWORD) override {
        return Unsupported(FALSE);
    }
    BOOL STDMETHODCALLTYPE CeGetDiskFreeSpaceEx(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                                PULARGE_INTEGER) override {
        return Unsupported(FALSE);
    }

private:
    struct OpenFile {
        std::wstring name;
        std::vector<uint8_t> bytes;
        bool failed = false;
    };

    bool Ready() const { return m_bInitialised && m_handset.Connected(); }
    HANDLE NewHandle() {
        return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(++m_lastHandle * 4));
    }
    template <typename T> T Fail(DWORD error, T result) {
        m_lastError = error;
        return result;
    }
    template <typename T> T Unsupported(T result) { return Fail(ERROR_NOT_SUPPORTED, result); }

    RunningHandset m_handset;
    bool m_bInitialised = false;
    DWORD m_lastError = 0;
    uintptr_t m_lastHandle = 0x100;
    std::map<HANDLE, OpenFile> m_files;
    std::map<HKEY, std::wstring> m_keys;
    std::map<HANDLE, bool> m_processes;
};

} // namespace

IRAPISession* NewVirtualSession(const std::filesystem::path& folder) {
    return new Session(folder);
}
