#include "HandsetAccess.h"

#include <vector>

namespace {

const uint32_t kCopyWaitMs = 6000;
const uint32_t kCopyLatePauseMs = 2000;

// Closes the key on every path out of a read.
class OpenedKey {
public:
    OpenedKey(HandsetSession& session, const wchar_t* subKey) : m_session(session) {
        m_bOpen = session.OpenKey(subKey, m_key);
    }
    ~OpenedKey() {
        if (m_bOpen)
            m_session.CloseKey(m_key);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    bool IsOpen() const { return m_bOpen; }
    bool Query(const wchar_t* name, void* data, uint32_t& size) {
        return m_session.QueryValue(m_key, name, data, size);
    }

private:
    HandsetSession& m_session;
    HandsetSession::Key m_key = 0;
    bool m_bOpen = false;
};

} // namespace

HandsetAccess::~HandsetAccess() = default;
HandsetSession::~HandsetSession() = default;
HandsetLink::~HandsetLink() = default;

const wchar_t* SwitchToolArgument(uint8_t updateMode) {
    return updateMode == 0xC0 ? L"cp" : L"other";
}

const wchar_t* HandsetOperations::ReadHandsetVersion() {
    std::unique_ptr<HandsetSession> session = OpenHandsetConnection();
    if (!session)
        return nullptr;
    OpenedKey key(*session, L"ControlPanel\\OEMINFORMATION");
    if (!key.IsOpen())
        return nullptr;
    uint32_t size = sizeof(m_versionBytes);
    if (!key.Query(L"ZR_VERSION", m_versionBytes, size))
        return nullptr;
    // A value that fills the buffer need not end in a terminator: the text then ends at the
    // last character the buffer can hold, or where the handset's bytes end.
    const uint32_t lastChar = sizeof(m_versionBytes) / 2 - 1;
    const uint32_t chars = size / 2 < lastChar ? size / 2 : lastChar;
    uint32_t i = 0;
    for (; i < chars; ++i) {
        const wchar_t c =
            static_cast<wchar_t>(m_versionBytes[2 * i] | m_versionBytes[2 * i + 1] << 8);
        if (c == L'\0')
            break;
        m_szVersion[i] = c;
    }
    m_szVersion[i] = L'\0';
    return m_szVersion;
}

int32_t HandsetOperations::ReadBatteryCharge() {
    std::unique_ptr<HandsetSession> session = OpenHandsetConnection();
    if (!session)
        return -2;
    OpenedKey key(*session, L"ControlPanel\\BatteryCharge");
    if (!key.IsOpen())
        return -1;
    // The handset writes its four bytes little-endian, as the PC reads them.
    uint8_t bytes[4] = {};
    uint32_t size = 4;
    if (!key.Query(L"charge", bytes, size))
        return -1;
    return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | uint32_t(bytes[1]) << 8 |
                                uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
}

uint32_t HandsetOperations::ReadBatteryPercent() {
    std::unique_ptr<HandsetSession> session = OpenHandsetConnection();
    uint8_t percent = 0;
    if (!session || !session->BatteryLifePercent(percent))
        return 0;
    return percent;
}

int HandsetOperations::CopyFileToHandset(const wchar_t* pcFile, const wchar_t* handsetFile,
                                         HandsetSession& session) {
    std::vector<uint8_t> bytes;
    if (!m_link.ReadPcFile(pcFile, bytes))
        return 0;
    HandsetSession::File file = 0;
    if (!session.CreateHandsetFile(handsetFile, file))
        return 0;
    const bool written =
        session.WriteHandsetFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()));
    session.CloseHandsetFile(file);
    if (!written)
        return 0;
    m_bCopyEventExists = true;
    m_bCopyEventSet = true;
    return 1;
}

int HandsetOperations::StartSwitchTool(uint8_t updateMode) {
    std::unique_ptr<HandsetSession> session = OpenHandsetConnection();
    if (!session)
        return 0;
    CopyFileToHandset(L"Quillo.exe", L"\\Temp\\Quillo.exe", *session);
    // The copy runs on this very thread, so the event is either set already or stays unset for
    // the whole wait. Unset, the handset may still hold the tool from an earlier run.
    if (m_bCopyEventSet) {
        m_bCopyEventSet = false;
    } else {
        if (m_bCopyEventExists)
            m_link.Pause(kCopyWaitMs);
        m_link.Pause(kCopyLatePauseMs);
    }
    if (!session->StartProcess(L"\\Temp\\Quillo.exe", SwitchToolArgument(updateMode)))
        return 0;
    return 1;
}
