// Under Wine: one update through the link's real Win32 device, "\\.\WCEUSBSH001", which the
// test's script links to kovvboot's pty. Argument 1: where to write the image's payload, for
// the script to compare with what kovvboot saved; argument 2: the call expected to fail, or
// "none". Exit 0 when the update ended as expected.
#include <cstdio>
#include <cstring>
#include <string>

#include "CVug_CommsDLL.h"
#include "SampleKit.h"
#include "UpdateDriver.h"

namespace {

class Quiet : public MessageSink {
public:
    void ShowMessage(const char* text, const char*) override {
        std::printf("link message: %s\n", text);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wine_pty_update PAYLOAD_OUT EXPECTED_FAILED_CALL|none\n");
        return 2;
    }
    SampleImageSpec spec;
    spec.updateMode = UPDATE_MODE_OS;
    spec.osSizeMiB = 44;
    const std::vector<uint8_t> image = BuildSampleImage(spec);

    CVug_CommsDLL link;
    Quiet messages;
    link.SetMessageSink(&messages);
    int crcCheck = 0;
    link.m_pCrcCheck = &crcCheck;
    if (link.OpenUsbSyncDriver() != 1) {
        std::printf("cannot open %s\n", USB_SYNC_DEVICE_PATH);
        return 1;
    }
    const UpdateOutcome outcome = DriveUpdate(link, image);
    link.CloseUSBSyncDriver();
    const std::string failed = outcome.failedAt ? outcome.failedAt : "none";
    std::printf("update through %s: failed at %s; link text: %s\n", USB_SYNC_DEVICE_PATH,
                failed.c_str(), outcome.failedAt ? link.m_ErrorText : "-");

    if (std::FILE* f = std::fopen(argv[1], "wb")) {
        std::fwrite(image.data() + IMAGE_HEADER_SIZE, 1, image.size() - IMAGE_HEADER_SIZE, f);
        std::fclose(f);
    }
    return failed == argv[2] ? 0 : 1;
}
