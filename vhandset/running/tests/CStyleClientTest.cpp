// A C client of the RAPI2 class, as one of the platform's library would be: vtables declared
// here, apart from the kit's own declarations, each method with an explicit __stdcall and the
// slot number the platform documents. Our server is built from the same declarations as the
// wizard's provider, so a method declared there without the COM calling convention would go
// unnoticed between the two; against this client it corrupts the stack on i686.
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <cstddef>
#include <string>

#include "VirtualHandsetFolder.h"

namespace {

typedef HRESULT(__stdcall* QueryInterfaceFn)(void* self, const IID* iid, void** out);
typedef ULONG(__stdcall* AddRefFn)(void* self);
typedef ULONG(__stdcall* ReleaseFn)(void* self);

struct CUnknownVtbl {
    QueryInterfaceFn QueryInterface;
    AddRefFn AddRef;
    ReleaseFn Release;
};

struct CDesktopVtbl {
    CUnknownVtbl unknown;
    void* FindDevice;                                            // 3
    HRESULT(__stdcall* EnumDevices)(void* self, void** devices); // 4
};

struct CEnumDevicesVtbl {
    CUnknownVtbl unknown;
    HRESULT(__stdcall* Next)(void* self, void** device); // 3
};

struct CDeviceInfo {
    GUID DeviceId;
    DWORD dwOsVersionMajor;
    DWORD dwOsVersionMinor;
    BSTR bstrName;
    BSTR bstrPlatform;
};

struct CDeviceVtbl {
    CUnknownVtbl unknown;
    void* GetConnectStat;                                             // 3
    HRESULT(__stdcall* GetDeviceInfo)(void* self, CDeviceInfo* info); // 4
    void* GetConnectionInfo;                                          // 5
    HRESULT(__stdcall* CreateSession)(void* self, void** session);    // 6
};

struct CPowerStatus {
    BYTE bytes[24];
};

struct CSessionVtbl {
    CUnknownVtbl unknown;
    HRESULT(__stdcall* CeRapiInit)(void* self);   // 3
    HRESULT(__stdcall* CeRapiUninit)(void* self); // 4
    void* slots5to12[8];
    HANDLE(__stdcall* CeCreateFile)
    (void* self, LPCWSTR name, DWORD access, DWORD share, void* security, DWORD creation,
     DWORD attributes,
     HANDLE templ); // 13
    void* slot14;
    BOOL(__stdcall* CeWriteFile)
    (void* self, HANDLE file, const void* data, DWORD size, DWORD* written, void* overlapped); // 15
    BOOL(__stdcall* CeCloseHandle)(void* self, HANDLE object);                                 // 16
    void* slots17to32[16];
    BOOL(__stdcall* CeCreateProcess)
    (void* self, LPCWSTR application, LPCWSTR commandLine, void* processSecurity,
     void* threadSecurity, BOOL inherit, DWORD flags, void* environment, LPWSTR directory,
     void* startup, PROCESS_INFORMATION* process); // 33
    void* slots34to37[4];
    LONG(__stdcall* CeRegOpenKeyEx)
    (void* self, HKEY key, LPCWSTR subKey, DWORD options, DWORD access, HKEY* result); // 38
    void* slots39to40[2];
    LONG(__stdcall* CeRegCloseKey)(void* self, HKEY key); // 41
    void* slots42to45[4];
    LONG(__stdcall* CeRegQueryValueEx)
    (void* self, HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type, BYTE* data,
     DWORD* size); // 46
    void* slots47to63[17];
    BOOL(__stdcall* CeGetSystemPowerStatusEx)(void* self, CPowerStatus* status,
                                              BOOL update); // 64
};

#define SLOT(vtbl, method, n) static_assert(offsetof(vtbl, method) == (n) * sizeof(void*), #method)
SLOT(CDesktopVtbl, EnumDevices, 4);
SLOT(CEnumDevicesVtbl, Next, 3);
SLOT(CDeviceVtbl, GetDeviceInfo, 4);
SLOT(CDeviceVtbl, CreateSession, 6);
SLOT(CSessionVtbl, CeRapiInit, 3);
SLOT(CSessionVtbl, CeRapiUninit, 4);
SLOT(CSessionVtbl, CeCreateFile, 13);
SLOT(CSessionVtbl, CeWriteFile, 15);
SLOT(CSessionVtbl, CeCloseHandle, 16);
SLOT(CSessionVtbl, CeCreateProcess, 33);
SLOT(CSessionVtbl, CeRegOpenKeyEx, 38);
SLOT(CSessionVtbl, CeRegCloseKey, 41);
SLOT(CSessionVtbl, CeRegQueryValueEx, 46);
SLOT(CSessionVtbl, CeGetSystemPowerStatusEx, 64);

template <typename Vtbl> const Vtbl& V(void* object) {
    return **static_cast<Vtbl**>(object);
}

const CLSID kClsidRapi = {
    0x35440327, 0x1517, 0x4B72, {0x86, 0x5E, 0x3F, 0xFE, 0x8E, 0x97, 0x00, 0x2F}};
const IID kIidDesktop = {
    0xDCBEB807, 0x14D0, 0x4CBD, {0x92, 0x6C, 0xB9, 0x91, 0xF4, 0xFD, 0x1B, 0x91}};

// The program reboots the handset before the start call returns, so the closing calls meet a
// handset that has gone: they fail, as over a connection that has ended.
TEST(CStyleClient, WalksTheWizardsCallsThroughStdcallVtables) {
    KOV_NEED_ARM_PROCESSOR();
    VirtualHandsetFolder handset("version=ROM 7\ncharge=64\npercent=73\n"
                                 "start_returns=after_exit\n");
    const std::vector<uint8_t> image = ArmProcessor::SwitchToolImage();

    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    void* desktop = nullptr;
    ASSERT_EQ(S_OK,
              ::CoCreateInstance(kClsidRapi, nullptr, CLSCTX_INPROC_SERVER, kIidDesktop, &desktop));
    void* devices = nullptr;
    ASSERT_EQ(S_OK, V<CDesktopVtbl>(desktop).EnumDevices(desktop, &devices));
    void* device = nullptr;
    ASSERT_EQ(S_OK, V<CEnumDevicesVtbl>(devices).Next(devices, &device));
    CDeviceInfo info = {};
    ASSERT_EQ(S_OK, V<CDeviceVtbl>(device).GetDeviceInfo(device, &info));
    ::SysFreeString(info.bstrName);
    ::SysFreeString(info.bstrPlatform);
    void* session = nullptr;
    ASSERT_EQ(S_OK, V<CDeviceVtbl>(device).CreateSession(device, &session));
    const CSessionVtbl& s = V<CSessionVtbl>(session);
    ASSERT_EQ(S_OK, s.CeRapiInit(session));

    HKEY key = nullptr;
    ASSERT_EQ(0, s.CeRegOpenKeyEx(session, HKEY_LOCAL_MACHINE, L"ControlPanel\\BatteryCharge", 0, 0,
                                  &key));
    DWORD charge = 0, size = 4;
    EXPECT_EQ(0, s.CeRegQueryValueEx(session, key, L"charge", nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(&charge), &size));
    EXPECT_EQ(64u, charge);
    EXPECT_EQ(0, s.CeRegCloseKey(session, key));

    CPowerStatus power = {};
    ASSERT_TRUE(s.CeGetSystemPowerStatusEx(session, &power, TRUE));
    EXPECT_EQ(73, power.bytes[2]);

    HANDLE file = s.CeCreateFile(session, L"\\Temp\\Quillo.exe", GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    EXPECT_TRUE(s.CeWriteFile(session, file, image.data(), static_cast<DWORD>(image.size()),
                              &written, nullptr));
    EXPECT_EQ(image.size(), written);
    EXPECT_TRUE(s.CeCloseHandle(session, file));

    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(s.CeCreateProcess(session, L"\\Temp\\Quillo.exe", L"other", nullptr, nullptr, FALSE,
                                  0x10, nullptr, nullptr, nullptr, &process));
    EXPECT_FALSE(s.CeCloseHandle(session, process.hProcess));
    EXPECT_FALSE(s.CeCloseHandle(session, process.hThread));
    EXPECT_TRUE(FAILED(s.CeRapiUninit(session)));

    s.unknown.Release(session);
    V<CUnknownVtbl>(device).Release(device);
    V<CUnknownVtbl>(devices).Release(devices);
    V<CUnknownVtbl>(desktop).Release(desktop);

    EXPECT_EQ(std::string(image.begin(), image.end()), handset.Read("files/Temp/Quillo.exe"));
    EXPECT_EQ("update\n", handset.Read("flags.txt"));
    EXPECT_TRUE(handset.Exists("rebooted"));
}

} // namespace
