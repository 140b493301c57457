#include <cstdarg>
#include <cstdio>
#include <new>
#include <vector>

#include "CVug_CommsDLL.h"
#include "LinkTexts.h"
#include "LinkWords.h"

namespace {

// The text buffer keeps one byte for its terminator.
constexpr uint32_t kTextBufferSize = 4096;

// The kit ships as a 32-bit program, whose whole address space is 2 GiB: no upload this large
// can ever be held there. Refused as an allocation that failed, so every build ends such an
// announcement the same way, whatever memory the machine it runs on could give.
constexpr uint32_t kUploadNeverHeld = 0x80000000u;

} // namespace

// One run of the device's message stream: the words it has announced so far and one handler per
// message. Every handler that reads ends the loop the same way when the device is gone.
class MessageLoop {
public:
    explicit MessageLoop(CVug_CommsDLL& link) : link_(link), text_(kTextBufferSize) {}
    int Run();

private:
    enum Step { GO_ON, FINISHED, FAILED };
    using Handler = Step (MessageLoop::*)();

    Step Handle(uint32_t msg);
    // Reads a word or the bytes of a message; when the device is gone, the loop ends with the
    // link's own message and the caller returns FAILED.
    bool ReadOrEnd(uint32_t& word);
    bool ReadOrEnd(uint8_t* bytes, uint32_t length);
    Step End(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void Progress(uint32_t value, CVug_CommsDLL::ProgressRequest request) {
        CVug_CommsDLL::ProgressControl(link_.m_pProgress, value, request);
    }

    Step OnText();
    Step OnTextLength();
    Step OnProgressPos();
    Step OnProgressRange();
    Step OnFirmwareError();
    Step OnLength();
    Step OnRequestFile0();
    Step OnRequestFile1();
    Step OnRequestFlashSize();
    Step OnUploadBegin();
    Step OnUploadChunk();
    Step OnStoreFile();
    Step AfterFileRequest(CVug_CommsDLL::FileExchange exchange);

    CVug_CommsDLL& link_;
    std::vector<uint8_t> text_;
    uint32_t textLength_ = 0;
    uint32_t fileLength_ = 0;
    uint32_t imageLength_ = 0;
    uint32_t uploadCount_ = 0;
    // Only chunks after an announcement of this run may land in m_pRxBuffer: the pointer may
    // still hold a buffer that SaveFile already released.
    bool uploading_ = false;
};

int MessageLoop::Run() {
    Progress(100, CVug_CommsDLL::PROGRESS_RANGE);
    Progress(0, CVug_CommsDLL::PROGRESS_POS);
    for (;;) {
        // A device that is unplugged or stops answering ends the loop: reading on would only
        // fail again, for ever.
        uint32_t msg = MSG_NONE;
        if (!ReadOrEnd(msg))
            return 0;
        if (msg == WORD_ACK)
            return 1;
        switch (Handle(msg)) {
        case GO_ON:
            break;
        case FINISHED:
            return 1;
        case FAILED:
            return 0;
        }
    }
}

MessageLoop::Step MessageLoop::Handle(uint32_t msg) {
    static const struct {
        uint32_t word;
        Handler handler;
    } kHandlers[] = {
        {MSG_TEXT, &MessageLoop::OnText},
        {MSG_TEXT_LENGTH, &MessageLoop::OnTextLength},
        {MSG_PROGRESS_POS, &MessageLoop::OnProgressPos},
        {MSG_PROGRESS_RANGE, &MessageLoop::OnProgressRange},
        {MSG_FIRMWARE_ERROR, &MessageLoop::OnFirmwareError},
        {MSG_LENGTH, &MessageLoop::OnLength},
        {MSG_REQUEST_FILE_0, &MessageLoop::OnRequestFile0},
        {MSG_REQUEST_FILE_1, &MessageLoop::OnRequestFile1},
        {MSG_REQUEST_FLASH_SIZE, &MessageLoop::OnRequestFlashSize},
        {MSG_UPLOAD_BEGIN, &MessageLoop::OnUploadBegin},
        {MSG_UPLOAD_CHUNK, &MessageLoop::OnUploadChunk},
        {MSG_STORE_FILE, &MessageLoop::OnStoreFile},
    };
    for (const auto& h : kHandlers)
        if (h.word == msg)
            return (this->*h.handler)();
    // Host-direction words and anything outside the message range carry nothing after them.
    return GO_ON;
}

bool MessageLoop::ReadOrEnd(uint32_t& word) {
    if (link_.ReadWord(word) == USB_READ_OK)
        return true;
    End("%s", kTextLostDevice);
    return false;
}

bool MessageLoop::ReadOrEnd(uint8_t* bytes, uint32_t length) {
    if (link_.Read_USB_Data(bytes, length) == USB_READ_OK)
        return true;
    End("%s", kTextLostDevice);
    return false;
}

MessageLoop::Step MessageLoop::End(const char* format, ...) {
    char shown[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(shown, sizeof shown, format, args);
    va_end(args);
    link_.m_pMessages->ShowMessage(shown, kCaptionError);
    return FAILED;
}

MessageLoop::Step MessageLoop::OnText() {
    if (textLength_ > kTextBufferSize - 1)
        return End(kTextTooLong, textLength_, kTextBufferSize - 1);
    if (!ReadOrEnd(text_.data(), textLength_))
        return FAILED;
    text_[textLength_] = 0;
    return GO_ON;
}

MessageLoop::Step MessageLoop::OnTextLength() {
    return ReadOrEnd(textLength_) ? GO_ON : FAILED;
}

MessageLoop::Step MessageLoop::OnProgressPos() {
    uint32_t pos = 0;
    if (!ReadOrEnd(pos))
        return FAILED;
    Progress(pos, CVug_CommsDLL::PROGRESS_POS);
    return GO_ON;
}

MessageLoop::Step MessageLoop::OnProgressRange() {
    uint32_t range = 0;
    if (!ReadOrEnd(range))
        return FAILED;
    Progress(range, CVug_CommsDLL::PROGRESS_RANGE);
    Progress(0, CVug_CommsDLL::PROGRESS_POS);
    return GO_ON;
}

MessageLoop::Step MessageLoop::OnFirmwareError() {
    uint32_t error = 0;
    if (!ReadOrEnd(error))
        return FAILED;
    Progress(0, CVug_CommsDLL::PROGRESS_POS);
    char shown[64];
    std::snprintf(shown, sizeof shown, kTextFirmwareError, static_cast<int>(error));
    link_.m_pMessages->ShowMessage(shown, nullptr);
    return FAILED;
}

MessageLoop::Step MessageLoop::OnLength() {
    return ReadOrEnd(fileLength_) ? GO_ON : FAILED;
}

MessageLoop::Step MessageLoop::AfterFileRequest(CVug_CommsDLL::FileExchange exchange) {
    if (exchange == CVug_CommsDLL::FILE_LINK_FAILED)
        return End("%s", kTextLostDevice);
    return GO_ON;
}

MessageLoop::Step MessageLoop::OnRequestFile0() {
    return AfterFileRequest(link_.SendFile(FILE_ID_0));
}

MessageLoop::Step MessageLoop::OnRequestFile1() {
    return AfterFileRequest(link_.SendFile(FILE_ID_1));
}

MessageLoop::Step MessageLoop::OnRequestFlashSize() {
    return AfterFileRequest(link_.SendFlash());
}

MessageLoop::Step MessageLoop::OnUploadBegin() {
    if (!ReadOrEnd(imageLength_))
        return FAILED;
    // An upload left unfinished by an earlier announcement is dropped, and the count starts
    // again, so a second upload lands in its own buffer.
    delete[] link_.m_pRxBuffer;
    link_.m_pRxBuffer = imageLength_ >= kUploadNeverHeld
                            ? nullptr
                            : new (std::nothrow) uint8_t[imageLength_ ? imageLength_ : 1];
    uploadCount_ = 0;
    uploading_ = link_.m_pRxBuffer != nullptr;
    if (uploading_)
        return GO_ON;
    // The handset is still writing its flash, but the PC has stopped following it: an update
    // that is not finished, which the user must hear of like any other.
    link_.m_UploadRefused = true;
    return End(kTextUploadRefused, imageLength_);
}

MessageLoop::Step MessageLoop::OnUploadChunk() {
    if (!uploading_)
        return End("%s", kTextUnannouncedUpload);
    if (fileLength_ > imageLength_ - uploadCount_)
        return End(kTextUploadTooLong, imageLength_);
    if (!ReadOrEnd(link_.m_pRxBuffer + uploadCount_, fileLength_))
        return FAILED;
    uploadCount_ += fileLength_;
    if (uploadCount_ == imageLength_) {
        uploading_ = false;
        link_.SaveFile(imageLength_);
    }
    return GO_ON;
}

MessageLoop::Step MessageLoop::OnStoreFile() {
    if (fileLength_ > CVug_CommsDLL::kStoredFileMax)
        return End(kTextStoredFileTooLong, fileLength_, CVug_CommsDLL::kStoredFileMax);
    return AfterFileRequest(
        link_.RecvFile(fileLength_, link_.m_HostFiles[HOST_STORED_FILE].c_str()));
}

int CVug_CommsDLL::MessageHandler() {
    // The handset writes its flash between its messages and may be silent far longer than
    // during a transfer; whatever follows the loop is a transfer again.
    UseFlashingLimit(true);
    m_UploadRefused = false;
    const int result = MessageLoop(*this).Run();
    UseFlashingLimit(false);
    return result;
}
