#include "CVug_CommsDLL.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "HostFiles.h"
#include "LinkTexts.h"
#include "LinkWords.h"

namespace {

// A stored file whose name ends in "cfg" comes in two halves of this size.
constexpr uint32_t kCfgHalf = 32768;

} // namespace

CVug_CommsDLL::CVug_CommsDLL()
    // A caller that forgets m_pCrcCheck gets transfers without the per-block check rather
    // than a read through a wild pointer.
    : m_pCrcCheck(nullptr), m_pProgress(nullptr), m_Cancel(0), m_pRxBuffer(nullptr),
      m_pMessages(&MessageSink::Default()), m_UploadRefused(false) {}

// The device stays open. m_pRxBuffer is null unless an upload was left unfinished, and then
// nobody else will ever free it.
CVug_CommsDLL::~CVug_CommsDLL() {
    delete[] m_pRxBuffer;
}

void CVug_CommsDLL::SetMessageSink(MessageSink* sink) {
    m_pMessages = sink ? sink : &MessageSink::Default();
}

void CVug_CommsDLL::SetHostFile(HostFileRole role, const char* path) {
    if (role >= 0 && role < HOST_FILE_ROLES)
        m_HostFiles[role] = path ? path : "";
}

int CVug_CommsDLL::OpenUsbSyncDriver() {
    const uint32_t start = m_pClock->NowSeconds();
    for (;;) {
        if (USBInterface::OpenUsbSyncDriver() == USB_OPEN_OK)
            return 1;
        if (m_pClock->NowSeconds() - start > 60)
            return 0;
        if (m_Cancel.exchange(0))
            return 0;
    }
}

void CVug_CommsDLL::CloseUSBSyncDriver() {
    USBInterface::CloseUSBSyncDriver();
}

// The key and version exchanges: only the bytes themselves and the reply are checked; a lost
// header word shows up as a wrong or missing reply.
int CVug_CommsDLL::ExchangeBlock(uint32_t lengthWord, uint32_t dataWord, const uint8_t* bytes,
                                 uint32_t length, uint32_t& reply) {
    WriteWord(lengthWord);
    WriteWord(length);
    WriteWord(dataWord);
    if (Write_USB_Data(bytes, length) != USB_WRITE_OK)
        return 0;
    return ReadWord(reply) == USB_READ_OK ? 1 : 0;
}

int CVug_CommsDLL::LoadKey(const uint8_t* key, uint32_t length) {
    uint32_t keystate = 0;
    if (!ExchangeBlock(CMD_KEY_LENGTH, CMD_KEY_DATA, key, length, keystate))
        return 0;
    if (keystate == REPLY_KEY_OK)
        return 1;
    if (keystate == REPLY_KEY_OK_ALT)
        return 2;
    return 0;
}

int CVug_CommsDLL::LoadVersion(const uint8_t* version, uint32_t length) {
    uint32_t versionstate = 0;
    if (!ExchangeBlock(CMD_VERSION_LENGTH, CMD_VERSION_DATA, version, length, versionstate))
        return 0;
    return versionstate == REPLY_VERSION_OK ? 1 : 0;
}

int CVug_CommsDLL::LoadFlashMode(uint32_t mode) {
    uint32_t response = 0;
    if (ReadWord(response) != USB_READ_OK)
        return 0;
    if (response != WORD_ACK && response != MSG_READY)
        return 0;
    if (response == WORD_ACK) {
        uint32_t ignored = 0;
        if (ReadWord(ignored) != USB_READ_OK) {
            m_pMessages->ShowMessage(kTextNoResponse, kCaptionError);
            return 0;
        }
    }
    if (WriteWord(MSG_FLASH_MODE) != USB_WRITE_OK || WriteWord(mode) != USB_WRITE_OK)
        return 0;
    return 1;
}

int CVug_CommsDLL::LoadData(uint32_t word) {
    return WriteWord(word) == USB_WRITE_OK ? 1 : 0;
}

int CVug_CommsDLL::LoadRAM(const uint8_t* data, uint32_t address, uint32_t length) {
    if (!GetACK())
        return 0;
    const int crcCheck = m_pCrcCheck ? *m_pCrcCheck : 0;
    return SendData(address, length, data, m_pProgress, crcCheck);
}

int CVug_CommsDLL::Run(uint32_t address) {
    if (!GetACK())
        return 0;
    return Go(address);
}

CVug_CommsDLL::FileExchange CVug_CommsDLL::SendFile(t_FILEID id) {
    std::vector<uint8_t> bytes;
    if (!ReadHostFile(m_HostFiles[id == FILE_ID_0 ? HOST_FILE_0 : HOST_FILE_1], bytes))
        return FILE_HOST_FAILED;
    const uint32_t fileLength = static_cast<uint32_t>(bytes.size());
    const bool sent =
        WriteWord(MSG_LENGTH) == USB_WRITE_OK && WriteWord(fileLength) == USB_WRITE_OK &&
        WriteWord(id == FILE_ID_0 ? MSG_FILE_KIND_0 : MSG_FILE_KIND_1) == USB_WRITE_OK &&
        Write_USB_Data(bytes.data(), fileLength) == USB_WRITE_OK;
    return sent ? FILE_EXCHANGED : FILE_LINK_FAILED;
}

CVug_CommsDLL::FileExchange CVug_CommsDLL::SendFlash() {
    uint32_t size = 0;
    if (!HostFileSize(m_HostFiles[HOST_FLASH_FILE], size))
        return FILE_HOST_FAILED;
    const bool sent = WriteWord(MSG_LENGTH) == USB_WRITE_OK && WriteWord(size) == USB_WRITE_OK;
    return sent ? FILE_EXCHANGED : FILE_LINK_FAILED;
}

int CVug_CommsDLL::SaveFile(uint32_t length) {
    const int result = WriteHostFile(m_HostFiles[HOST_UPLOAD_FILE], m_pRxBuffer, length) ? 1 : 0;
    delete[] m_pRxBuffer;
    // Cleared rather than left dangling, so no later path can write through it.
    m_pRxBuffer = nullptr;
    return result;
}

CVug_CommsDLL::FileExchange CVug_CommsDLL::RecvFile(uint32_t length, const char* fileName) {
    // The device may name no more than the buffer holds; the message loop checks it first.
    if (length > kStoredFileMax)
        return FILE_HOST_FAILED;
    std::vector<uint8_t> fileBuf(kStoredFileMax, 0);
    const size_t nameLength = std::strlen(fileName);
    const bool cfg = nameLength >= 3 && std::strcmp(fileName + nameLength - 3, "cfg") == 0;
    bool received;
    if (cfg) {
        // The device puts one word between the two halves; the host keeps the halves only.
        received = Read_USB_Data(fileBuf.data(), kCfgHalf) == USB_READ_OK &&
                   Read_USB_Data(fileBuf.data() + kCfgHalf, 4) == USB_READ_OK &&
                   Read_USB_Data(fileBuf.data() + kCfgHalf, kCfgHalf) == USB_READ_OK;
    } else {
        received = Read_USB_Data(fileBuf.data(), length) == USB_READ_OK;
    }
    // Stored anyway, the part that never came would read as zeros in a file that looks whole.
    if (!received)
        return FILE_LINK_FAILED;
    return WriteHostFile(fileName, fileBuf.data(), length) ? FILE_EXCHANGED : FILE_HOST_FAILED;
}
