// tftpbench: Zamri's transfer sending one multi-megabyte file to Debian's TFTP server on a
// loopback port, against Debian's own TFTP client (tftp-hpa) and curl's TFTP upload sending
// the same file to the same server in the same run. The transfer's fixed one-second pause
// after the write request is left out, since it is a rule of the target, not of speed.
//
//   tftpbench [MEGABYTES] [ROUNDS]      (8 and 5 by default)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "DownloadTransfer.h"
#include "TftpServer.h"

namespace {

class QuietView : public TransferView {
public:
    void EnableDownload(bool) override {}
    void SetStatus(const std::string&) override {}
    void SetProgressText(const std::string&) override {}
    void SetProgressRange(uint16_t) override {}
    void SetProgressPosition(uint32_t) override {}
    void ShowMessage(const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

class NoPauseClock : public TransferClock {
public:
    int64_t NowSeconds() override { return TransferClock::System().NowSeconds(); }
    uint64_t NowMilliseconds() override { return TransferClock::System().NowMilliseconds(); }
    void Pause(uint32_t) override {}
};

std::vector<char> Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Seconds that `send` takes; 0 when the file did not arrive intact.
double Timed(const TftpServer& server, const std::vector<char>& expected,
             const std::function<bool()>& send) {
    std::remove(server.File("doc.bin").c_str());
    const auto start = std::chrono::steady_clock::now();
    const bool sent = send();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return sent && Contents(server.File("doc.bin")) == expected ? seconds : 0;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 8;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (megabytes <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: tftpbench [MEGABYTES] [ROUNDS]\n");
        return 2;
    }
    TftpServer server;
    if (!server.Ready()) {
        std::fprintf(stderr, "tftpbench: in.tftpd did not start\n");
        return 1;
    }
    TempDir here;
    std::vector<char> bytes(static_cast<size_t>(megabytes) << 20);
    uint32_t state = 12345;
    for (char& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<char>(state >> 16);
    }
    const std::string path = here.File("upload.bin");
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const std::string port = std::to_string(server.Port());

    QuietView view;
    NoPauseClock clock;
    struct Contender {
        const char* name;
        std::function<bool()> send;
        std::vector<double> seconds;
    } contenders[] = {
        {"Zamri's transfer",
         [&] {
             UpdaterSettings settings;
             settings.target = {0x7F000001, server.Port()};
             DiskFile file(path);
             DownloadTransfer transfer(view, SocketLibrary::System(), clock);
             return transfer.Run(file, settings) == TransferOutcome::Success;
         },
         {}},
        {"tftp-hpa",
         [&] {
             const std::string command = "tftp -m binary 127.0.0.1 " + port + " -c put '" + path +
                                         "' doc.bin >/dev/null 2>&1";
             return std::system(command.c_str()) == 0;
         },
         {}},
        {"curl",
         [&] {
             const std::string command = "curl -s --tftp-no-options -T '" + path +
                                         "' tftp://127.0.0.1:" + port + "/doc.bin";
             return std::system(command.c_str()) == 0;
         },
         {}},
    };
    // Round by round, so that a busy moment of the machine falls on all three alike.
    for (int round = 0; round < rounds; ++round)
        for (Contender& c : contenders) {
            const double s = Timed(server, bytes, c.send);
            if (s == 0) {
                std::fprintf(stderr, "tftpbench: %s did not deliver the file\n", c.name);
                return 1;
            }
            c.seconds.push_back(s);
        }

    std::printf("%d MiB to in.tftpd on 127.0.0.1, %d rounds, median seconds:\n", megabytes, rounds);
    for (const Contender& c : contenders)
        std::printf("  %-18s %7.3f s  %6.2f MiB/s\n", c.name, Median(c.seconds),
                    megabytes / Median(c.seconds));
    const double ours = Median(contenders[0].seconds);
    const double best = std::min(Median(contenders[1].seconds), Median(contenders[2].seconds));
    std::printf("ratio: Zamri's transfer takes %.2f times the faster peer's time\n", ours / best);
    return 0;
}
