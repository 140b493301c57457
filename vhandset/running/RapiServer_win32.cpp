// The virtual running handset as an in-process COM server of the RAPI2 desktop class: the
// wizard's provider finds it as it would find the platform's, once regsvr32 has registered it.
// The handset it plays lives in the folder that holds this DLL (see RunningHandset.h).
#include <windows.h>

#include <olectl.h>

#include "ComObject.h"
#include "Rapi2.h"
#include "RunningHandset.h"

namespace {

HMODULE g_module = nullptr;

} // namespace

LONG g_objects = 0;

namespace {

std::filesystem::path HandsetFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(g_module, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

class Device : public ComObject<IRAPIDevice> {
public:
    Device() : ComObject(IID_IRAPIDevice) {}
    HRESULT STDMETHODCALLTYPE GetConnectStat(RAPI_DEVICESTATUS* status) override {
        if (!status)
            return E_POINTER;
        *status = RunningHandset(HandsetFolder()).Connected() ? RAPI_DEVICE_CONNECTED
                                                              : RAPI_DEVICE_DISCONNECTED;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceInfo(RAPI_DEVICEINFO* info) override {
        if (!info)
            return E_POINTER;
        *info = RAPI_DEVICEINFO();
        RunningHandset handset(HandsetFolder());
        if (handset.DeviceInfoLocked()) {
            handset.Note("device info: locked");
            return E_ACCESSDENIED;
        }
        info->dwOsVersionMajor = 5;
        info->dwOsVersionMinor = 2;
        info->bstrName = ::SysAllocString(L"Virtual handset");
        info->bstrPlatform = ::SysAllocString(L"PocketPC");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInfo(RAPI_CONNECTIONINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateSession(IRAPISession** session) override {
        if (!session)
            return E_POINTER;
        *session = NewVirtualSession(HandsetFolder());
        return S_OK;
    }
};

// Lists the one handset while it is on ActiveSync, and nothing once it has rebooted.
class DeviceList : public ComObject<IRAPIEnumDevices> {
public:
    DeviceList() : ComObject(IID_IRAPIEnumDevices) {}
    HRESULT STDMETHODCALLTYPE Next(IRAPIDevice** device) override {
        if (!device)
            return E_POINTER;
        *device = nullptr;
        if (m_bListed || !RunningHandset(HandsetFolder()).Connected())
            return HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);
        m_bListed = true;
        *device = new Device();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        m_bListed = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        m_bListed = m_bListed || count > 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IRAPIEnumDevices**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCount(ULONG* count) override {
        if (!count)
            return E_POINTER;
        *count = RunningHandset(HandsetFolder()).Connected() ? 1 : 0;
        return S_OK;
    }

private:
    bool m_bListed = false;
};

class Desktop : public ComObject<IRAPIDesktop> {
public:
    Desktop() : ComObject(IID_IRAPIDesktop) {}
    HRESULT STDMETHODCALLTYPE FindDevice(GUID*, RAPI_GETDEVICEOPCODE, IRAPIDevice**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumDevices(IRAPIEnumDevices** devices) override {
        if (!devices)
            return E_POINTER;
        *devices = new DeviceList();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IRAPISink*, DWORD_PTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnAdvise(DWORD_PTR) override { return E_NOTIMPL; }
};

#pragma GCC diagnostic push
// Static, never deleted: it has no destructor to make virtual.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static: it lives as long as the DLL.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        Desktop* desktop = new Desktop();
        const HRESULT result = desktop->QueryInterface(iid, out);
        desktop->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            ::InterlockedIncrement(&g_objects);
        else
            ::InterlockedDecrement(&g_objects);
        return S_OK;
    }
};
#pragma GCC diagnostic pop

Factory g_factory;

const wchar_t kClassKey[] = L"CLSID\\{35440327-1517-4B72-865E-3FFE8E97002F}";
const wchar_t kServerKey[] = L"CLSID\\{35440327-1517-4B72-865E-3FFE8E97002F}\\InprocServer32";

bool SetText(HKEY key, const wchar_t* name, const wchar_t* text) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (classId != CLSID_RAPI)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() {
    return g_objects == 0 ? S_OK : S_FALSE;
}

// Registers this DLL as the RAPI2 desktop class, free to be used from any apartment: the
// wizard calls from a multithreaded one, and no proxy exists for these interfaces.
STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH] = {};
    if (!::GetModuleFileNameW(g_module, path, MAX_PATH))
        return E_FAIL;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    const bool written = SetText(key, nullptr, path) && SetText(key, L"ThreadingModel", L"Both");
    ::RegCloseKey(key);
    return written ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, kServerKey);
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, kClassKey);
    return S_OK;
}
