// linkbench: the flash link against the raw pipe under it, and its block CRC against a
// well-kept reference, each pair measured in the same run on the same bytes.
//
//   1. Throughput: a RAM load of the shipped-size image (46,138,368 bytes) through the link to
//      the virtual boot loader, against the same bytes written raw through the same kind of
//      pipe to a reader that only takes them. Goal: the link reaches 90% of the raw pipe.
//      Between the two, the bare protocol: the link's words and pieces with no logic on either
//      side, which shows what the one round trip per block costs on this machine.
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

// Each figure is the median of this many runs; the runs of a comparison take turns, so that
// both sides see the same conditions.
constexpr int kRuns = 15;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double MiBps(size_t bytes, double seconds) {
    return bytes / 1048576.0 / seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median of a few runs, for a figure of its own.
double MedianOf(int runs, const std::function<double()>& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(run());
    return Median(times);
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
// The protocol's own cost without the link or the device behind it: per block the same
// three words, a one-word answer, then the block, in the device layer's pieces.
double BareProtocolSeconds(const PipeKind& kind, const std::vector<uint8_t>& image) {
    const size_t total = image.size();
    return kind.run(
        [&](DeviceLine& line) {
            std::vector<uint8_t> block(LINK_BLOCK_SIZE + 4);
            uint8_t word[12];
            PutWordLE(word, WORD_ACK);
            for (size_t at = 0; at < total; at += LINK_BLOCK_SIZE) {
                const uint32_t n =
                    static_cast<uint32_t>(std::min<size_t>(LINK_BLOCK_SIZE, total - at));
                if (!line.Read(word, 12) || !line.Write(word, 4) || !line.Read(block.data(), 4 + n))
                    return;
            }
            if (line.Read(word, 4))
                line.Write(word, 4);
        },
        [&](CVug_CommsDLL& link) {
            uint8_t word[4];
            PutWordLE(word, WORD_ACK);
            const Clock::time_point start = Clock::now();
            for (size_t at = 0; at < total; at += LINK_BLOCK_SIZE) {
                const uint32_t n =
                    static_cast<uint32_t>(std::min<size_t>(LINK_BLOCK_SIZE, total - at));
                link.Write_USB_Data(word, 4);
                link.Write_USB_Data(word, 4);
                link.Write_USB_Data(word, 4);
                link.Read_USB_Data(word, 4);
                link.Write_USB_Data(word, 4);
                link.Write_USB_Data(image.data() + at, n);
            }
            link.Write_USB_Data(word, 4);
            link.Read_USB_Data(word, 4);
            return Seconds(start);
        });
}

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
    // The pty is the pipe the goal is for: kovvboot's, with the real device layer's pieces.
    // The in-memory wire is shown for reference only: its raw figure is a memory copy, which
    // leaves no transfer time for the link's round trip per block to hide in.
    const struct {
        PipeKind kind;
        bool goal;
    } kinds[] = {{{"pty (kovvboot's pipe)", OverPty}, true},
                 {{"in-memory wire", OverMemory}, false}};
    std::printf("Throughput: one RAM load of %zu bytes to the virtual boot loader\n", image.size());
    for (const auto& k : kinds) {
        bool intact = true;
        bool allIntact = true;
        // Each round measures the three back to back, so they share the machine's state of
        // the moment; medians keep one lucky or unlucky round from deciding.
        std::vector<double> raw, bare, linked, bareRatio, linkRatio, linkToBare;
        VirtualBootLoader device;
        for (int i = 0; i < kRuns; ++i) {
            raw.push_back(RawSeconds(k.kind, image));
            bare.push_back(BareProtocolSeconds(k.kind, image));
            linked.push_back(LinkSeconds(k.kind, image, device, intact));
            allIntact = allIntact && intact;
            bareRatio.push_back(raw.back() / bare.back());
            linkRatio.push_back(raw.back() / linked.back());
            linkToBare.push_back(bare.back() / linked.back());
        }
        const size_t n = image.size();
        std::printf("  %s\n", k.kind.name);
        std::printf("    raw pipe           %8.1f MiB/s\n", MiBps(n, Median(raw)));
        std::printf("    bare stop-and-wait %8.1f MiB/s   %5.1f%% of raw: the protocol's own round "
                    "trip per block\n",
                    MiBps(n, Median(bare)), 100.0 * Median(bareRatio));
        std::printf("    link               %8.1f MiB/s   %5.1f%% of raw %s, %5.1f%% of the bare "
                    "protocol%s\n",
                    MiBps(n, Median(linked)), 100.0 * Median(linkRatio),
                    k.goal ? "(goal >= 90%)" : "(for reference)", 100.0 * Median(linkToBare),
                    allIntact ? "" : "  FLASHED BYTES DIFFER");
    }
}

void Crc(const std::vector<uint8_t>& image) {
    const uint32_t block = LINK_BLOCK_SIZE;
    const size_t blocks = image.size() / block;
    std::vector<uint32_t> ours(blocks), reference(blocks);
    const int rounds = kRuns;
    const double oursSeconds = MedianOf(rounds, [&] {
        const Clock::time_point start = Clock::now();
        for (size_t i = 0; i < blocks; ++i)
            ours[i] = USBComms::CalcBlockCrc(image.data() + i * block, block);
        return Seconds(start);
    });
    const double referenceSeconds = MedianOf(rounds, [&] {
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
    std::printf("linkbench: medians of %d runs; load average %.2f on %u cores at the start\n",
                kRuns, load, std::thread::hardware_concurrency());
    SampleImageSpec spec;
    spec.updateMode = 0xCE;
    spec.osSizeMiB = 44;
    const std::vector<uint8_t> image = BuildSampleImage(spec);
    Throughput(image);
    Crc(image);
    return 0;
}
