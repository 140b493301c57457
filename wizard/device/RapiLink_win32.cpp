#include "RapiLink.h"

#include <utility>

#include "Rapi2.h"

namespace {

// Holds one COM reference and releases it.
template <typename T> class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    T** Out() {
        Reset();
        return &m_p;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    void Reset() {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};

class RapiSession : public HandsetSession {
public:
    explicit RapiSession(IRAPISession* session) : m_session(session) {}
    ~RapiSession() override {
        m_session->CeRapiUninit();
        m_session->Release();
    }
    RapiSession(const RapiSession&) = delete;
    RapiSession& operator=(const RapiSession&) = delete;

    bool OpenKey(const wchar_t* subKey, Key& key) override {
        HKEY opened = nullptr;
        if (m_session->CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, subKey, 0, 0, &opened) != ERROR_SUCCESS)
            return false;
        key = reinterpret_cast<Key>(opened);
        return true;
    }
    bool QueryValue(Key key, const wchar_t* name, void* data, uint32_t& size) override {
        DWORD bytes = size;
        if (m_session->CeRegQueryValueEx(reinterpret_cast<HKEY>(key), name, nullptr, nullptr,
                                         static_cast<LPBYTE>(data), &bytes) != ERROR_SUCCESS)
            return false;
        // A handset that claims more than it was offered has written no more than that.
        size = bytes < size ? bytes : size;
        return true;
    }
    void CloseKey(Key key) override { m_session->CeRegCloseKey(reinterpret_cast<HKEY>(key)); }

    bool BatteryLifePercent(uint8_t& percent) override {
        CE_SYSTEM_POWER_STATUS_EX status = {};
        if (!m_session->CeGetSystemPowerStatusEx(&status, TRUE))
            return false;
        percent = status.BatteryLifePercent;
        return true;
    }

    bool CreateHandsetFile(const wchar_t* name, File& file) override {
        HANDLE created =
            m_session->CeCreateFile(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE || created == nullptr)
            return false;
        file = reinterpret_cast<File>(created);
        return true;
    }
    bool WriteHandsetFile(File file, const void* data, uint32_t size) override {
        DWORD written = 0;
        return m_session->CeWriteFile(reinterpret_cast<HANDLE>(file), data, size, &written,
                                      nullptr) &&
               written == size;
    }
    void CloseHandsetFile(File file) override {
        m_session->CeCloseHandle(reinterpret_cast<HANDLE>(file));
    }

    bool StartProcess(const wchar_t* application, const wchar_t* commandLine) override {
        const DWORD kCreateNewConsole = 0x10;
        PROCESS_INFORMATION process = {};
        if (!m_session->CeCreateProcess(application, commandLine, nullptr, nullptr, FALSE,
                                        kCreateNewConsole, nullptr, nullptr, nullptr, &process))
            return false;
        m_session->CeCloseHandle(process.hProcess);
        m_session->CeCloseHandle(process.hThread);
        return true;
    }

private:
    IRAPISession* m_session;
};

} // namespace

std::unique_ptr<HandsetSession> RapiLink::Connect() {
    // Repeated on every connection; an already initialised thread is fine.
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ComRef<IRAPIDesktop> desktop;
    if (FAILED(::CoCreateInstance(CLSID_RAPI, nullptr, CLSCTX_INPROC_SERVER, IID_IRAPIDesktop,
                                  desktop.OutVoid())) ||
        !desktop.Get())
        return nullptr;
    ComRef<IRAPIEnumDevices> devices;
    if (FAILED(desktop->EnumDevices(devices.Out())) || !devices.Get())
        return nullptr;
    ComRef<IRAPIDevice> device;
    if (FAILED(devices->Next(device.Out())) || !device.Get())
        return nullptr;
    RAPI_DEVICEINFO info = {};
    const HRESULT infoResult = device->GetDeviceInfo(&info);
    ::SysFreeString(info.bstrName);
    ::SysFreeString(info.bstrPlatform);
    if (FAILED(infoResult))
        return nullptr;
    ComRef<IRAPISession> session;
    if (FAILED(device->CreateSession(session.Out())) || !session.Get())
        return nullptr;
    if (FAILED(session->CeRapiInit())) {
        session->CeRapiGetError();
        return nullptr;
    }
    IRAPISession* ready = session.Get();
    ready->AddRef();
    return std::make_unique<RapiSession>(ready);
}

bool RapiLink::ReadPcFile(const wchar_t* name, std::vector<uint8_t>& bytes) {
    HANDLE file = ::CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const DWORD size = ::GetFileSize(file, nullptr);
    bool read = size != INVALID_FILE_SIZE;
    if (read) {
        bytes.assign(size, 0);
        DWORD got = 0;
        read = ::ReadFile(file, bytes.data(), size, &got, nullptr) && got == size;
    }
    ::CloseHandle(file);
    return read;
}

void RapiLink::Pause(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

HandsetOperations& TheHandsetOperations() {
    static RapiLink link;
    static HandsetOperations operations(link);
    return operations;
}
