// linkbench: the flash link against the raw pipe under it, and its block CRC against a
// well-kept reference, each pair measured in the same run on the same bytes.
//
//   1. Throughput: a RAM load of the shipped-size image (46,138,368 bytes) through the link to
//      the virtual boot loader, against the same bytes written raw through the same kind of
//      pipe to a reader that only takes them. Goal: the link reaches 90% of the raw pipe.
//   2. CalcBlockCrc over 64 KiB blocks against Boost.CRC's table-driven CRC-16/MODBUS.
//      Goal: twice as fast, the same results.
#include <algorithm>
#include <boost/crc.hpp>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "CVug_CommsDLL.h"
#include "LinkWords.h"
#include "MemoryWire.h"
#include "PtyLine.h"
#include "SampleKit.h"
#include "VirtualBootLoader.h"

namespace {

using Clock = std::chrono::steady_clock;

// Each figure is the best of this many runs, raw and link runs taking turns: other work on
// the machine only ever adds time, and taking turns exposes both to the same conditions.
constexpr int kRuns = 9;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double MiBps(size_t bytes, double seconds) {
    return bytes / 1048576.0 / seconds;
}

// The fastest of a few runs: the machine's noise only ever adds time.
double Best(int runs, const std::function<double()>& run) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, run());
    return best;
}

// One kind of pipe: how the host end is made and how a device line is served on it.
struct PipeKind {
    const char* name;
    // Runs `device` on a line whose host end `host` then uses; returns host's seconds.
    std::function<double(const std::function<void(DeviceLine&)>& device,
                         const std::function<double(CVug_CommsDLL&)>& host)>
        run;
};

double OverPty(const std::function<void(DeviceLine&)>& device,
               const std::function<double(CVug_CommsDLL&)>& host) {
    PtyLine line;
    if (!line.Ok())
        return 0;
    std::thread served([&] {
        line.WaitForHost(-1);
        device(line);
    });
    CVug_CommsDLL link;
    link.SetDevicePath(line.SlavePath().c_str());
    link.OpenUsbSyncDriver();
    const double seconds = host(link);
    link.CloseUSBSyncDriver();
    served.join();
    return seconds;
}

double OverMemory(const std::function<void(DeviceLine&)>& device,
                  const std::function<double(CVug_CommsDLL&)>& host) {
    MemoryWire wire;
    std::thread served([&] { device(wire.DeviceEnd()); });
    CVug_CommsDLL link;
    link.SetPipe(&wire.HostEnd());
    link.OpenUsbSyncDriver();
    const double seconds = host(link);
    link.CloseUSBSyncDriver();
    served.join();
    return seconds;
}

// The raw pipe: the host writes the bytes in the device layer's pieces and the device only
// takes them, then answers one word, so both measurements end with the same round trip.
double RawSeconds(const PipeKind& kind, const std::vector<uint8_t>& image) {
    return kind.run(
        [&](DeviceLine& line) {
            std::vector<uint8_t> sink(1 << 20);
            size_t left = image.size();
            while (left > 0) {
                const uint32_t n = static_cast<uint32_t>(std::min(left, sink.size()));
                if (!line.Read(sink.data(), n))
                    return;
                left -= n;
            }
            uint8_t word[4];
            PutWordLE(word, WORD_ACK);
            line.Write(word, 4);
        },
        [&](CVug_CommsDLL& link) {
            const Clock::time_point start = Clock::now();
            link.Write_USB_Data(image.data(), static_cast<uint32_t>(image.size()));
            uint8_t word[4];
            link.Read_USB_Data(word, 4);
            return Seconds(start);
        });
}

// One device for every run, as a handset keeps its RAM between updates: only the first run
// pays for touching it.
double LinkSeconds(const PipeKind& kind, const std::vector<uint8_t>& image,
                   VirtualBootLoader& device, bool& intact) {
    const double seconds = kind.run(
        [&](DeviceLine& line) {
            device.ResetConnection();
            device.Serve(line);
        },
        [&](CVug_CommsDLL& link) {
            const uint8_t key[96] = {};
            const uint8_t version[6] = {1};
            link.LoadKey(key, 96);
            link.LoadFlashMode(FLASH_MODE_OS);
            link.LoadVersion(version, 6);
            const Clock::time_point start = Clock::now();
            const int loaded =
                link.LoadRAM(image.data(), RAM_LOAD_ADDRESS, static_cast<uint32_t>(image.size()));
            const double s = Seconds(start);
            link.LoadData(DATA_WORD_CLOSE);
            intact = loaded == 1 && link.MessageHandler() == 1;
            return s;
        });
    intact = intact && device.Flashed(FlashPartition::OS) == image;
    return seconds;
}

void Throughput(const std::vector<uint8_t>& image) {
    const PipeKind kinds[] = {{"pty (kovvboot's pipe)", OverPty}, {"in-memory wire", OverMemory}};
    std::printf("Throughput: one RAM load of %zu bytes to the virtual boot loader\n", image.size());
    for (const PipeKind& kind : kinds) {
        bool intact = true;
        bool allIntact = true;
        // Interleaved, so that both see the same state of the machine.
        double raw = 1e30;
        double linked = 1e30;
        VirtualBootLoader device;
        for (int i = 0; i < kRuns; ++i) {
            raw = std::min(raw, RawSeconds(kind, image));
            linked = std::min(linked, LinkSeconds(kind, image, device, intact));
            allIntact = allIntact && intact;
        }
        std::printf(
            "  %-22s raw %8.1f MiB/s   link %8.1f MiB/s   link/raw %5.1f%%  (goal >= 90%%)%s\n",
            kind.name, MiBps(image.size(), raw), MiBps(image.size(), linked), 100.0 * raw / linked,
            allIntact ? "" : "  FLASHED BYTES DIFFER");
    }
}

void Crc(const std::vector<uint8_t>& image) {
    const uint32_t block = LINK_BLOCK_SIZE;
    const size_t blocks = image.size() / block;
    std::vector<uint32_t> ours(blocks), reference(blocks);
    const int rounds = kRuns;
    const double oursSeconds = Best(rounds, [&] {
        const Clock::time_point start = Clock::now();
        for (size_t i = 0; i < blocks; ++i)
            ours[i] = USBComms::CalcBlockCrc(image.data() + i * block, block);
        return Seconds(start);
    });
    const double referenceSeconds = Best(rounds, [&] {
        const Clock::time_point start = Clock::now();
        for (size_t i = 0; i < blocks; ++i) {
            boost::crc_optimal<16, 0x8005, 0xFFFF, 0, true, true> crc;
            crc.process_bytes(image.data() + i * block, block);
            reference[i] = crc.checksum();
        }
        return Seconds(start);
    });
    const size_t bytes = blocks * block;
    std::printf("Block CRC: %zu blocks of 64 KiB, CRC-16/MODBUS\n", blocks);
    std::printf("  Boost.CRC crc_optimal  %8.1f MiB/s\n", MiBps(bytes, referenceSeconds));
    std::printf("  CalcBlockCrc           %8.1f MiB/s   %.2fx the reference  (goal >= 2x)  %s\n",
                MiBps(bytes, oursSeconds), referenceSeconds / oursSeconds,
                ours == reference ? "same results" : "RESULTS DIFFER");
}

} // namespace

int main() {
    double load = 0;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = 0;
        std::fclose(f);
    }
    std::printf("linkbench: best of %d runs each; load average %.2f on %u cores at the start\n",
                kRuns, load, std::thread::hardware_concurrency());
    SampleImageSpec spec;
    spec.updateMode = 0xCE;
    spec.osSizeMiB = 44;
    const std::vector<uint8_t> image = BuildSampleImage(spec);
    Throughput(image);
    Crc(image);
    return 0;
}
