// Under Wine: one run of the update worker through the link's real Win32 device,
// "\\.\WCEUSBSH001", which the test's script links to kovvboot's pty. Argument 1: where to
// write the image's payload, for the script to compare with what kovvboot saved; argument 2:
// "finished" when the update must finish, "transfer" when it must fail in a transfer. Exit 0
// when the update ended as expected.
#include <cstdio>
#include <string>

#include "HandMadeImage.h"
#include "UpdateThreadRun.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wine_pty_update PAYLOAD_OUT finished|transfer\n");
        return 2;
    }
    HandMadeImage spec;
    spec.osMiB = 44;
    const std::vector<uint8_t> image = spec.Bytes();

    CVug_CommsDLL link;
    RecordingPage page;
    if (link.OpenUsbSyncDriver() != 1) {
        std::printf("cannot open %s\n", USB_SYNC_DEVICE_PATH);
        return 1;
    }
    const UpdateThreadOutcome outcome = RunUpdateThread(link, page, image);
    if (outcome.failure != UpdateFailure::None)
        link.CloseUSBSyncDriver(); // as the page's end does after a failed run
    for (const std::wstring& e : page.entries)
        std::printf("page: %s\n", std::string(e.begin(), e.end()).c_str());

    if (std::FILE* f = std::fopen(argv[1], "wb")) {
        std::fwrite(image.data() + 1024, 1, image.size() - 1024, f);
        std::fclose(f);
    }
    const std::string want = argv[2];
    const bool finished = outcome.exitCode == 1 && outcome.failure == UpdateFailure::None &&
                          page.entries.back() == L"guidance: Click close to Exit.";
    const bool failedInTransfer = outcome.exitCode == 0 &&
                                  outcome.failure == UpdateFailure::Transfer &&
                                  page.entries.back() == L"status: Error, Download OS Failed.";
    return (want == "finished" ? finished : failedInTransfer) ? 0 : 1;
}
