// A whole update of the shipped image size through a pty, against the same pty moving the same
// bytes raw. Prints both times and their ratio; each side is the best of a few runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "CVug_CommsDLL.h"
#include "DevicePipe.h"
#include "PtyLine.h"
#include "SampleKit.h"
#include "UpdateWorker.h"
#include "VirtualBootLoader.h"

namespace {

using Clock = std::chrono::steady_clock;

class SilentPage : public UpdatePageView {
public:
    void SetStatusLine(const std::wstring&) override {}
    void SetGuidanceText(const std::wstring&) override {}
    void SetNoticeText(const std::wstring&) override {}
    void ShowMessageBox(const std::wstring& text) override {
        std::fprintf(stderr, "message: %ls\n", text.c_str());
    }
    void SetWaitCursor(bool) override {}
    void EnableClose() override {}
    void DisableUpdate() override {}
    void SetProgressPos(uint32_t) override {}
    void EnterPhase(UpdatePhase phase, const char*, uint32_t) override {
        if (phase == UpdatePhase::Transfer)
            transferStart = Clock::now();
        if (phase == UpdatePhase::Flashing)
            flashingStart = Clock::now();
    }
    Clock::time_point transferStart, flashingStart;
};

double g_transfer = 1e9; // the best RAM load alone, for the breakdown

double RawSeconds(const std::vector<uint8_t>& bytes) {
    PtyLine line;
    if (!line.Ok())
        return -1;
    std::thread reader([&] {
        std::vector<uint8_t> sink(65536);
        size_t left = bytes.size();
        while (left > 0) {
            uint32_t n = static_cast<uint32_t>(std::min<size_t>(left, sink.size()));
            if (!line.Read(sink.data(), n))
                break;
            left -= n;
        }
    });
    USBInterface usb;
    usb.SetDevicePath(line.SlavePath().c_str());
    const Clock::time_point start = Clock::now();
    bool ok = usb.OpenUsbSyncDriver() == USB_OPEN_OK;
    for (size_t at = 0; ok && at < bytes.size(); at += 65536) {
        uint32_t n = static_cast<uint32_t>(std::min<size_t>(65536, bytes.size() - at));
        ok = usb.Write_USB_Data(bytes.data() + at, n) == USB_WRITE_OK;
    }
    reader.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    usb.CloseUSBSyncDriver();
    return ok ? seconds : -1;
}

// One virtual handset serves every round, as kovvboot serves one host after another, so the
// rounds after the first measure the link and the worker rather than the device's first touch
// of its memory.
double UpdateSeconds(const std::vector<uint8_t>& image, PtyLine& line, VirtualBootLoader& device) {
    device.ResetConnection();
    std::thread serve([&] {
        if (line.WaitForHost(10000))
            device.Serve(line, true);
    });
    ImageRecord update, ipl;
    update.size = static_cast<uint32_t>(image.size());
    update.data.reset(new uint8_t[image.size()]);
    std::copy(image.begin(), image.end(), update.data.get());

    CVug_CommsDLL link;
    link.SetDevicePath(line.SlavePath().c_str());
    link.m_pCrcCheck = &update.crcCheck;
    SilentPage page;
    const Clock::time_point start = Clock::now();
    int ok = link.OpenUsbSyncDriver();
    UpdateRun run(link, update, ipl, page, PageKind::Normal);
    ok = ok && UpdateWorker(run);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    g_transfer = std::min(
        g_transfer, std::chrono::duration<double>(page.flashingStart - page.transferStart).count());
    if (!ok)
        link.CloseUSBSyncDriver();
    serve.join();
    const std::vector<uint8_t>& os = device.Flashed(FlashPartition::OS);
    bool same =
        os.size() == image.size() - 1024 && std::equal(os.begin(), os.end(), image.begin() + 1024);
    return ok && same ? seconds : -1;
}

} // namespace

int main() {
    SampleImageSpec spec; // OS only, 44 MiB: the shipped image's 46,138,368 bytes
    const std::vector<uint8_t> image = BuildSampleImage(spec);
    const std::vector<uint8_t> payload(image.begin() + 1024, image.end());
    const int rounds = 5;
    double raw = 1e9, update = 1e9, first = 0;
    PtyLine line;
    VirtualBootLoader device;
    for (int i = 0; i < rounds; ++i) {
        double r = RawSeconds(payload);
        double u = line.Ok() ? UpdateSeconds(image, line, device) : -1;
        if (i == 0)
            first = u;
        if (r < 0 || u < 0) {
            std::fprintf(stderr, "updatebench: a run failed (raw %.3f, update %.3f)\n", r, u);
            return 1;
        }
        raw = std::min(raw, r);
        update = std::min(update, u);
    }
    const double mib = payload.size() / 1048576.0;
    std::printf("image: %zu bytes (payload %zu), best of %d runs each\n", image.size(),
                payload.size(), rounds);
    std::printf("first update of the device: %7.3f s  %7.1f MiB/s of payload\n", first,
                mib / first);
    std::printf("full update through a pty : %7.3f s  %7.1f MiB/s of payload\n", update,
                mib / update);
    std::printf("  of which the RAM load  : %7.3f s  %7.1f MiB/s\n", g_transfer, mib / g_transfer);
    std::printf("raw pty, same payload     : %7.3f s  %7.1f MiB/s\n", raw, mib / raw);
    std::printf("update / raw time ratio   : %7.2f  (update reaches %.0f%% of the raw pty)\n",
                update / raw, 100.0 * raw / update);
    return 0;
}
