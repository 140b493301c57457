#pragma once

// The ActiveSync remote API, version 2, declared from the platform's documentation: the SDK's
// header is not part of MinGW. Shared by the wizard's provider and the virtual running handset,
// which implements the same interfaces.
//
// Every method carries the COM calling convention. On i686 that is __stdcall, where the callee
// pops its arguments: a method declared without it, or with the wrong number of parameters,
// corrupts the caller's stack against the real library. Pointers to structures this kit never
// uses are declared to incomplete types; they still take one stack slot each.

#include <windows.h>

#include <objbase.h>
#include <unknwn.h>

// {35440327-1517-4B72-865E-3FFE8E97002F}
inline const CLSID CLSID_RAPI = {
    0x35440327, 0x1517, 0x4B72, {0x86, 0x5E, 0x3F, 0xFE, 0x8E, 0x97, 0x00, 0x2F}};
// {DCBEB807-14D0-4CBD-926C-B991F4FD1B91}
inline const IID IID_IRAPIDesktop = {
    0xDCBEB807, 0x14D0, 0x4CBD, {0x92, 0x6C, 0xB9, 0x91, 0xF4, 0xFD, 0x1B, 0x91}};
// {357A557C-B03F-4240-90D8-C6C71C659BF1}
inline const IID IID_IRAPIEnumDevices = {
    0x357A557C, 0xB03F, 0x4240, {0x90, 0xD8, 0xC6, 0xC7, 0x1C, 0x65, 0x9B, 0xF1}};
// {8A0F1632-3905-4CA4-AEA4-7E094ECBB9A7}
inline const IID IID_IRAPIDevice = {
    0x8A0F1632, 0x3905, 0x4CA4, {0xAE, 0xA4, 0x7E, 0x09, 0x4E, 0xCB, 0xB9, 0xA7}};
// {76A78B7D-8E54-4C06-AC38-459E6A1AB5E3}
inline const IID IID_IRAPISession = {
    0x76A78B7D, 0x8E54, 0x4C06, {0xAC, 0x38, 0x45, 0x9E, 0x6A, 0x1A, 0xB5, 0xE3}};

typedef DWORD CEOID;
typedef DWORD CEPROPID;
struct CEGUID {
    DWORD Data1, Data2, Data3, Data4;
};
typedef CEGUID* PCEGUID;

struct CE_FIND_DATA;
struct CEOIDINFO;
struct SORTORDERSPEC;
struct CEPROPVAL;
struct CEDBASEINFO;
struct CENOTIFYREQUEST;
struct CEDB_FIND_DATA;
struct STORE_INFORMATION;
struct CEOSVERSIONINFO;
struct IRAPIStream;

enum RAPI_DEVICESTATUS { RAPI_DEVICE_DISCONNECTED = 0, RAPI_DEVICE_CONNECTED = 1 };
enum RAPI_GETDEVICEOPCODE { RAPI_GETDEVICE_NONBLOCKING = 0, RAPI_GETDEVICE_BLOCKING = 1 };

struct RAPI_DEVICEINFO {
    GUID DeviceId;
    DWORD dwOsVersionMajor;
    DWORD dwOsVersionMinor;
    BSTR bstrName;
    BSTR bstrPlatform;
};

struct RAPI_CONNECTIONINFO;

// The handset's power status as CeGetSystemPowerStatusEx fills it.
struct CE_SYSTEM_POWER_STATUS_EX {
    BYTE ACLineStatus;
    BYTE BatteryFlag;
    BYTE BatteryLifePercent;
    BYTE Reserved1;
    DWORD BatteryLifeTime;
    DWORD BatteryFullLifeTime;
    BYTE Reserved2;
    BYTE BackupBatteryFlag;
    BYTE BackupBatteryLifePercent;
    BYTE Reserved3;
    DWORD BackupBatteryLifeTime;
    DWORD BackupBatteryFullLifeTime;
};
static_assert(sizeof(CE_SYSTEM_POWER_STATUS_EX) == 24, "the handset's record is 24 bytes");
static_assert(offsetof(CE_SYSTEM_POWER_STATUS_EX, BatteryLifePercent) == 2, "third byte");
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(RAPI_DEVICEINFO) == 32, "the platform's record is 32 bytes on x86");
#endif

#pragma GCC diagnostic push
// COM interfaces have no destructor in their vtables; the objects release themselves.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

struct IRAPIDevice;
struct IRAPIEnumDevices;
struct IRAPISession;
struct IRAPISink;

struct IRAPIDesktop : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE FindDevice(GUID* deviceId, RAPI_GETDEVICEOPCODE opcode,
                                                 IRAPIDevice** device) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumDevices(IRAPIEnumDevices** devices) = 0;
    virtual HRESULT STDMETHODCALLTYPE Advise(IRAPISink* sink, DWORD_PTR* context) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnAdvise(DWORD_PTR context) = 0;
};

struct IRAPIEnumDevices : public IUnknown {
    // One device per call, not the usual count-and-fetched pattern.
    virtual HRESULT STDMETHODCALLTYPE Next(IRAPIDevice** device) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IRAPIEnumDevices** copy) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCount(ULONG* count) = 0;
};

struct IRAPIDevice : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetConnectStat(RAPI_DEVICESTATUS* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceInfo(RAPI_DEVICEINFO* info) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnectionInfo(RAPI_CONNECTIONINFO* info) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSession(IRAPISession** session) = 0;
};

struct IRAPISink : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnDeviceConnected(IRAPIDevice* device) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDeviceDisconnected(IRAPIDevice* device) = 0;
};

// All 81 methods in their vtable order (slots 3 to 83), whether this kit calls them or not.
struct IRAPISession : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CeRapiInit() = 0;
    virtual HRESULT STDMETHODCALLTYPE CeRapiUninit() = 0;
    virtual DWORD STDMETHODCALLTYPE CeGetLastError() = 0;
    virtual HRESULT STDMETHODCALLTYPE CeRapiGetError() = 0;
    virtual HRESULT STDMETHODCALLTYPE CeRapiFreeBuffer(void* buffer) = 0;
    virtual HANDLE STDMETHODCALLTYPE CeFindFirstFile(LPCWSTR name, CE_FIND_DATA* data) = 0;
    virtual BOOL STDMETHODCALLTYPE CeFindNextFile(HANDLE find, CE_FIND_DATA* data) = 0;
    virtual BOOL STDMETHODCALLTYPE CeFindClose(HANDLE find) = 0;
    virtual DWORD STDMETHODCALLTYPE CeGetFileAttributes(LPCWSTR name) = 0;
    virtual BOOL STDMETHODCALLTYPE CeSetFileAttributes(LPCWSTR name, DWORD attributes) = 0;
    virtual HANDLE STDMETHODCALLTYPE CeCreateFile(LPCWSTR name, DWORD access, DWORD share,
                                                  LPSECURITY_ATTRIBUTES security, DWORD creation,
                                                  DWORD flagsAndAttributes, HANDLE templ) = 0;
    virtual BOOL STDMETHODCALLTYPE CeReadFile(HANDLE file, LPVOID buffer, DWORD toRead,
                                              LPDWORD read, LPOVERLAPPED overlapped) = 0;
    virtual BOOL STDMETHODCALLTYPE CeWriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite,
                                               LPDWORD written, LPOVERLAPPED overlapped) = 0;
    virtual BOOL STDMETHODCALLTYPE CeCloseHandle(HANDLE object) = 0;
    virtual BOOL STDMETHODCALLTYPE CeFindAllFiles(LPCWSTR path, DWORD flags, LPDWORD count,
                                                  CE_FIND_DATA** data) = 0;
    virtual HANDLE STDMETHODCALLTYPE CeFindFirstDatabase(DWORD type) = 0;
    virtual CEOID STDMETHODCALLTYPE CeFindNextDatabase(HANDLE find) = 0;
    virtual BOOL STDMETHODCALLTYPE CeOidGetInfo(CEOID oid, CEOIDINFO* info) = 0;
    virtual CEOID STDMETHODCALLTYPE CeCreateDatabase(LPWSTR name, DWORD type, WORD sortCount,
                                                     SORTORDERSPEC* sort) = 0;
    virtual HANDLE STDMETHODCALLTYPE CeOpenDatabase(CEOID* oid, LPWSTR name, CEPROPID prop,
                                                    DWORD flags, HWND notify) = 0;
    virtual BOOL STDMETHODCALLTYPE CeDeleteDatabase(CEOID oid) = 0;
    virtual CEOID STDMETHODCALLTYPE CeReadRecordProps(HANDLE db, DWORD flags, WORD* propCount,
                                                      CEPROPID* props, BYTE** buffer,
                                                      DWORD* size) = 0;
    virtual CEOID STDMETHODCALLTYPE CeWriteRecordProps(HANDLE db, CEOID oid, WORD propCount,
                                                       CEPROPVAL* values) = 0;
    virtual BOOL STDMETHODCALLTYPE CeDeleteRecord(HANDLE db, CEOID oid) = 0;
    virtual CEOID STDMETHODCALLTYPE CeSeekDatabase(HANDLE db, DWORD seekType, DWORD value,
                                                   DWORD* index) = 0;
    virtual BOOL STDMETHODCALLTYPE CeSetDatabaseInfo(CEOID oid, CEDBASEINFO* info) = 0;
    virtual DWORD STDMETHODCALLTYPE CeSetFilePointer(HANDLE file, LONG distance, PLONG high,
                                                     DWORD method) = 0;
    virtual BOOL STDMETHODCALLTYPE CeSetEndOfFile(HANDLE file) = 0;
    virtual BOOL STDMETHODCALLTYPE CeCreateDirectory(LPCWSTR path,
                                                     LPSECURITY_ATTRIBUTES security) = 0;
    virtual BOOL STDMETHODCALLTYPE CeRemoveDirectory(LPCWSTR path) = 0;
    virtual BOOL STDMETHODCALLTYPE CeCreateProcess(
        LPCWSTR application, LPCWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
        LPSECURITY_ATTRIBUTES threadSecurity, BOOL inheritHandles, DWORD flags, LPVOID environment,
        LPWSTR currentDirectory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION process) = 0;
    virtual BOOL STDMETHODCALLTYPE CeMoveFile(LPCWSTR from, LPCWSTR to) = 0;
    virtual BOOL STDMETHODCALLTYPE CeCopyFile(LPCWSTR from, LPCWSTR to, BOOL failIfExists) = 0;
    virtual BOOL STDMETHODCALLTYPE CeDeleteFile(LPCWSTR name) = 0;
    virtual DWORD STDMETHODCALLTYPE CeGetFileSize(HANDLE file, LPDWORD high) = 0;
    virtual LONG STDMETHODCALLTYPE CeRegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD options,
                                                  REGSAM access, PHKEY result) = 0;
    virtual LONG STDMETHODCALLTYPE CeRegEnumKeyEx(HKEY key, DWORD index, LPWSTR name,
                                                  LPDWORD nameSize, LPDWORD reserved,
                                                  LPWSTR className, LPDWORD classSize,
                                                  PFILETIME written) = 0;
    virtual LONG STDMETHODCALLTYPE CeRegCreateKeyEx(HKEY key, LPCWSTR subKey, DWORD reserved,
                                                    LPWSTR className, DWORD options, REGSAM access,
                                                    LPSECURITY_ATTRIBUTES security, PHKEY result,
                                                    LPDWORD disposition) = 0;
    virtual LONG STDMETHODCALLTYPE CeRegCloseKey(HKEY key) = 0;
    virtual LONG STDMETHODCALLTYPE CeRegDeleteKey(HKEY key, LPCWSTR subKey) = 0;
    virtual LONG STDMETHODCALLTYPE CeRegEnumValue(HKEY key, DWORD index, LPWSTR name,
                                                  LPDWORD nameSize, LPDWORD reserved, LPDWORD type,
                                                  LPBYTE data, LPDWORD dataSize) = 0;
    virtual LONG STDMETHODCALLTYPE CeRegDeleteValue(HKEY key, LPCWSTR name) = 0;
    virtual LONG STDMETHODCALLTYPE CeRegQueryInfoKey(
        HKEY key, LPWSTR className, LPDWORD classSize, LPDWORD reserved, LPDWORD subKeys,
        LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
        LPDWORD maxValueLength, LPDWORD securityDescriptor, PFILETIME written) = 0;
    virtual LONG STDMETHODCALLTYPE CeRegQueryValueEx(HKEY key, LPCWSTR name, LPDWORD reserved,
                                                     LPDWORD type, LPBYTE data,
                                                     LPDWORD dataSize) = 0;
    virtual LONG STDMETHODCALLTYPE CeRegSetValueEx(HKEY key, LPCWSTR name, DWORD reserved,
                                                   DWORD type, const BYTE* data,
                                                   DWORD dataSize) = 0;
    virtual BOOL STDMETHODCALLTYPE CeGetStoreInformation(STORE_INFORMATION* info) = 0;
    virtual INT STDMETHODCALLTYPE CeGetSystemMetrics(INT index) = 0;
    virtual INT STDMETHODCALLTYPE CeGetDesktopDeviceCaps(INT index) = 0;
    virtual BOOL STDMETHODCALLTYPE CeFindAllDatabases(DWORD type, WORD flags, LPWORD count,
                                                      CEDB_FIND_DATA** data) = 0;
    virtual void STDMETHODCALLTYPE CeGetSystemInfo(LPSYSTEM_INFO info) = 0;
    virtual BOOL STDMETHODCALLTYPE CeSHCreateShortcut(LPWSTR shortcut, LPWSTR target) = 0;
    virtual BOOL STDMETHODCALLTYPE CeSHGetShortcutTarget(LPWSTR shortcut, LPWSTR target,
                                                         INT size) = 0;
    virtual BOOL STDMETHODCALLTYPE CeCheckPassword(LPWSTR password) = 0;
    virtual BOOL STDMETHODCALLTYPE CeGetFileTime(HANDLE file, LPFILETIME created,
                                                 LPFILETIME accessed, LPFILETIME written) = 0;
    virtual BOOL STDMETHODCALLTYPE CeSetFileTime(HANDLE file, LPFILETIME created,
                                                 LPFILETIME accessed, LPFILETIME written) = 0;
    virtual BOOL STDMETHODCALLTYPE CeGetVersionEx(CEOSVERSIONINFO* info) = 0;
    virtual HWND STDMETHODCALLTYPE CeGetWindow(HWND window, UINT command) = 0;
    virtual LONG STDMETHODCALLTYPE CeGetWindowLong(HWND window, int index) = 0;
    virtual INT STDMETHODCALLTYPE CeGetWindowText(HWND window, LPWSTR text, int size) = 0;
    virtual INT STDMETHODCALLTYPE CeGetClassName(HWND window, LPWSTR name, int size) = 0;
    virtual void STDMETHODCALLTYPE CeGlobalMemoryStatus(LPMEMORYSTATUS status) = 0;
    virtual BOOL STDMETHODCALLTYPE CeGetSystemPowerStatusEx(CE_SYSTEM_POWER_STATUS_EX* status,
                                                            BOOL update) = 0;
    virtual DWORD STDMETHODCALLTYPE CeGetTempPath(DWORD size, LPWSTR path) = 0;
    virtual DWORD STDMETHODCALLTYPE CeGetSpecialFolderPath(int folder, DWORD size, LPWSTR path) = 0;
    virtual HRESULT STDMETHODCALLTYPE CeRapiInvoke(LPCWSTR dll, LPCWSTR function, DWORD inSize,
                                                   BYTE* input, DWORD* outSize, BYTE** output,
                                                   IRAPIStream** stream, DWORD reserved) = 0;
    virtual HANDLE STDMETHODCALLTYPE CeFindFirstDatabaseEx(PCEGUID volume, DWORD type) = 0;
    virtual CEOID STDMETHODCALLTYPE CeFindNextDatabaseEx(HANDLE find, PCEGUID volume) = 0;
    virtual CEOID STDMETHODCALLTYPE CeCreateDatabaseEx(PCEGUID volume, CEDBASEINFO* info) = 0;
    virtual BOOL STDMETHODCALLTYPE CeSetDatabaseInfoEx(PCEGUID volume, CEOID oid,
                                                       CEDBASEINFO* info) = 0;
    virtual HANDLE STDMETHODCALLTYPE CeOpenDatabaseEx(PCEGUID volume, CEOID* oid, LPWSTR name,
                                                      CEPROPID prop, DWORD flags,
                                                      CENOTIFYREQUEST* request) = 0;
    virtual BOOL STDMETHODCALLTYPE CeDeleteDatabaseEx(PCEGUID volume, CEOID oid) = 0;
    virtual CEOID STDMETHODCALLTYPE CeReadRecordPropsEx(HANDLE db, DWORD flags, LPWORD propCount,
                                                        CEPROPID* props, LPBYTE* buffer,
                                                        LPDWORD size, HANDLE heap) = 0;
    virtual BOOL STDMETHODCALLTYPE CeMountDBVol(PCEGUID volume, LPWSTR name, DWORD flags) = 0;
    virtual BOOL STDMETHODCALLTYPE CeUnmountDBVol(PCEGUID volume) = 0;
    virtual BOOL STDMETHODCALLTYPE CeFlushDBVol(PCEGUID volume) = 0;
    virtual BOOL STDMETHODCALLTYPE CeEnumDBVolumes(PCEGUID volume, LPWSTR name, DWORD size) = 0;
    virtual BOOL STDMETHODCALLTYPE CeOidGetInfoEx(PCEGUID volume, CEOID oid, CEOIDINFO* info) = 0;
    virtual HRESULT STDMETHODCALLTYPE CeSyncStart(LPCWSTR params) = 0;
    virtual HRESULT STDMETHODCALLTYPE CeSyncStop() = 0;
    virtual BOOL STDMETHODCALLTYPE CeQueryInstructionSet(DWORD instructionSet, LPDWORD current) = 0;
    virtual BOOL STDMETHODCALLTYPE CeGetDiskFreeSpaceEx(LPCWSTR directory,
                                                        PULARGE_INTEGER available,
                                                        PULARGE_INTEGER total,
                                                        PULARGE_INTEGER free) = 0;
};

#pragma GCC diagnostic pop
