// Feeds arbitrary bytes to the link's message loop as the stream a device sends while it
// flashes: texts, progress, file requests, uploads and stored files, with every host file
// named in a folder of its own. The loop must end when the stream ends, never touch memory it
// does not own, keep no upload buffer past its end, and never fail without saying so, an
// upload it cannot hold included.
//
// Input: one flag byte (bit 0: the stored file's name ends in "cfg", which the device sends
// in two halves), then the device's bytes.

#include <cstdlib>
#include <string>

#include "CVug_CommsDLL.h"
#include "TempDir.h"

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

// The device's side: what the input holds, then silence, as after a pulled cable.
class StreamPipe : public BytePipe {
public:
    StreamPipe(const uint8_t* data, size_t size) : data_(data), left_(size) {}
    DeviceHandle Open() override { return reinterpret_cast<DeviceHandle>(intptr_t{1}); }
    void Close() override {}
    bool WriteAll(const uint8_t*, uint32_t) override { return true; }
    bool ReadAll(uint8_t* data, uint32_t length) override {
        if (length > left_)
            return false;
        for (uint32_t i = 0; i < length; ++i)
            data[i] = data_[i];
        data_ += length;
        left_ -= length;
        return true;
    }

private:
    const uint8_t* data_;
    size_t left_;
};

struct Messages : MessageSink {
    int shown = 0;
    void ShowMessage(const char* text, const char*) override {
        Check(text != nullptr);
        ++shown;
    }
};

struct Progress : ProgressSink {
    void SetRange(uint32_t) override {}
    void SetPos(uint32_t) override {}
};

TempDir& Folder() {
    static TempDir dir;
    static const bool written = (dir.Write("file0.bin", {0xA0, 0xA1, 0xA2}),
                                 dir.Write("file1.bin", std::vector<uint8_t>(700, 0xB1)),
                                 dir.Write("flash.bin", std::vector<uint8_t>(123, 0xF0)), true);
    (void)written;
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    TempDir& dir = Folder();
    StreamPipe pipe(data + 1, size - 1);
    Messages messages;
    Progress progress;
    int result;
    {
        CVug_CommsDLL link;
        link.SetPipe(&pipe);
        link.SetMessageSink(&messages);
        link.m_pProgress = &progress;
        link.SetHostFile(HOST_FILE_0, dir.File("file0.bin").c_str());
        link.SetHostFile(HOST_FILE_1, dir.File("file1.bin").c_str());
        link.SetHostFile(HOST_FLASH_FILE, dir.File("flash.bin").c_str());
        link.SetHostFile(HOST_UPLOAD_FILE, dir.File("upload.bin").c_str());
        link.SetHostFile(HOST_STORED_FILE,
                         dir.File(data[0] & 1 ? "stored.cfg" : "stored.bin").c_str());
        result = link.MessageHandler();
    }
    Check(result == 0 || result == 1);
    if (result == 0)
        Check(messages.shown > 0);
    return 0;
}
