#include "CVug_CommsDLL.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "HostFiles.h"
#include "LinkWords.h"

namespace {

// Limits of the message loop's buffers: the text buffer keeps one byte for its terminator.
constexpr uint32_t kTextBufferSize = 4096;
constexpr uint32_t kStoredFileMax = 65536;
constexpr uint32_t kCfgHalf = 32768;

const char kLostDevice[] = "Error, lost the connection to the handset while it was flashing.";

} // namespace

CVug_CommsDLL::CVug_CommsDLL()
    // A caller that forgets m_pCrcCheck gets transfers without the per-block check rather
    // than a read through a wild pointer.
    : m_pCrcCheck(nullptr), m_pProgress(nullptr), m_Cancel(0), m_pRxBuffer(nullptr),
      m_pMessages(&MessageSink::Default()), m_ModulePath{} {}

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
        if (m_Cancel) {
            m_Cancel = 0;
            return 0;
        }
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
            m_pMessages->ShowMessage("Errors, Failed to read response", "Error");
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

int CVug_CommsDLL::EndLoop(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    m_pMessages->ShowMessage(text, "Error");
    return 0;
}

int CVug_CommsDLL::MessageHandler() {
    uint32_t msg = MSG_NONE;
    uint32_t msg_length = 0;
    uint32_t fileLength = 0;
    uint32_t imageLength = 0;
    uint32_t endrange = 100;
    uint32_t currentpos = 0;
    uint32_t error = 0;
    std::vector<uint8_t> text(kTextBufferSize);
    uint32_t uploadCount = 0;
    // Only chunks after an announcement of this call may land in m_pRxBuffer: the pointer
    // may still hold a buffer that SaveFile already released.
    bool uploading = false;

    ProgressControl(m_pProgress, 100, PROGRESS_RANGE);
    ProgressControl(m_pProgress, 0, PROGRESS_POS);

    for (;;) {
        // A device that is unplugged or stops answering ends the loop: reading on would
        // only fail again, for ever.
        if (ReadWord(msg) != USB_READ_OK)
            return EndLoop("%s", kLostDevice);
        if (msg == WORD_ACK)
            return 1;

        switch (msg) {
        case MSG_TEXT:
            if (msg_length > kTextBufferSize - 1)
                return EndLoop("Error, the handset sent a text of %u bytes; at most %u fit.",
                               msg_length, kTextBufferSize - 1);
            if (Read_USB_Data(text.data(), msg_length) != USB_READ_OK)
                return EndLoop("%s", kLostDevice);
            text[msg_length] = 0;
            break;
        case MSG_TEXT_LENGTH:
            if (ReadWord(msg_length) != USB_READ_OK)
                return EndLoop("%s", kLostDevice);
            break;
        case MSG_PROGRESS_POS:
            if (ReadWord(currentpos) != USB_READ_OK)
                return EndLoop("%s", kLostDevice);
            ProgressControl(m_pProgress, currentpos, PROGRESS_POS);
            break;
        case MSG_PROGRESS_RANGE:
            if (ReadWord(endrange) != USB_READ_OK)
                return EndLoop("%s", kLostDevice);
            ProgressControl(m_pProgress, endrange, PROGRESS_RANGE);
            ProgressControl(m_pProgress, 0, PROGRESS_POS);
            break;
        case MSG_FIRMWARE_ERROR: {
            if (ReadWord(error) != USB_READ_OK)
                return EndLoop("%s", kLostDevice);
            ProgressControl(m_pProgress, 0, PROGRESS_POS);
            char shown[64];
            std::snprintf(shown, sizeof shown, "Flash Firmware Error occurred:  code %d",
                          static_cast<int>(error));
            m_pMessages->ShowMessage(shown, nullptr);
            return 0;
        }
        case MSG_LENGTH:
            if (ReadWord(fileLength) != USB_READ_OK)
                return EndLoop("%s", kLostDevice);
            break;
        case MSG_REQUEST_FILE_0:
            SendFile(FILE_ID_0);
            break;
        case MSG_REQUEST_FILE_1:
            SendFile(FILE_ID_1);
            break;
        case MSG_REQUEST_FLASH_SIZE:
            SendFlash();
            break;
        case MSG_UPLOAD_BEGIN:
            if (ReadWord(imageLength) != USB_READ_OK)
                return EndLoop("%s", kLostDevice);
            // An upload left unfinished by an earlier announcement is dropped, and the count
            // starts again, so a second upload lands in its own buffer.
            delete[] m_pRxBuffer;
            m_pRxBuffer = new (std::nothrow) uint8_t[imageLength ? imageLength : 1];
            uploadCount = 0;
            uploading = m_pRxBuffer != nullptr;
            if (!uploading)
                return EndLoop("Error, no memory for the handset's upload of %u bytes.",
                               imageLength);
            break;
        case MSG_UPLOAD_CHUNK:
            if (!uploading)
                return EndLoop("Error, the handset sent upload data before announcing an "
                               "upload.");
            if (fileLength > imageLength - uploadCount)
                return EndLoop("Error, the handset sent more upload data than the %u bytes it "
                               "announced.",
                               imageLength);
            if (Read_USB_Data(m_pRxBuffer + uploadCount, fileLength) != USB_READ_OK)
                return EndLoop("%s", kLostDevice);
            uploadCount += fileLength;
            if (uploadCount == imageLength) {
                uploading = false;
                SaveFile(imageLength);
            }
            break;
        case MSG_STORE_FILE:
            if (fileLength > kStoredFileMax)
                return EndLoop("Error, the handset sent a file of %u bytes; at most %u fit.",
                               fileLength, kStoredFileMax);
            RecvFile(fileLength, m_HostFiles[HOST_STORED_FILE].c_str());
            break;
        default:
            // Host-direction words and anything outside the message range carry nothing
            // after them.
            break;
        }
        msg = MSG_NONE;
    }
}

int CVug_CommsDLL::SendFile(t_FILEID id) {
    std::vector<uint8_t> bytes;
    if (!ReadHostFile(m_HostFiles[id == FILE_ID_0 ? HOST_FILE_0 : HOST_FILE_1], bytes))
        return 0;
    const uint32_t fileLength = static_cast<uint32_t>(bytes.size());
    WriteWord(MSG_LENGTH);
    WriteWord(fileLength);
    WriteWord(id == FILE_ID_0 ? MSG_FILE_KIND_0 : MSG_FILE_KIND_1);
    Write_USB_Data(bytes.data(), fileLength);
    return 1;
}

int CVug_CommsDLL::SendFlash() {
    uint32_t size = 0;
    if (!HostFileSize(m_HostFiles[HOST_FLASH_FILE], size))
        return 0;
    WriteWord(MSG_LENGTH);
    WriteWord(size);
    return 1;
}

int CVug_CommsDLL::SaveFile(uint32_t length) {
    const int result = WriteHostFile(m_HostFiles[HOST_UPLOAD_FILE], m_pRxBuffer, length) ? 1 : 0;
    delete[] m_pRxBuffer;
    // Cleared rather than left dangling, so no later path can write through it.
    m_pRxBuffer = nullptr;
    return result;
}

int CVug_CommsDLL::RecvFile(uint32_t length, const char* fileName) {
    // The device may name no more than the buffer holds; the message loop checks it first.
    if (length > kStoredFileMax)
        return 0;
    std::vector<uint8_t> fileBuf(kStoredFileMax, 0);
    const size_t nameLength = std::strlen(fileName);
    const bool cfg = nameLength >= 3 && std::strcmp(fileName + nameLength - 3, "cfg") == 0;
    if (cfg) {
        // The device puts one word between the two halves; the host keeps the halves only.
        Read_USB_Data(fileBuf.data(), kCfgHalf);
        Read_USB_Data(fileBuf.data() + kCfgHalf, 4);
        Read_USB_Data(fileBuf.data() + kCfgHalf, kCfgHalf);
    } else {
        Read_USB_Data(fileBuf.data(), length);
    }
    return WriteHostFile(fileName, fileBuf.data(), length) ? 1 : 0;
}

const char* CVug_CommsDLL::GetModulePath() {
    const std::string directory = ProgramDirectory();
    std::snprintf(m_ModulePath, sizeof m_ModulePath, "%s", directory.c_str());
    return m_ModulePath;
}
