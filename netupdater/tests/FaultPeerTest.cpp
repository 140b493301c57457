// The transfer over real loopback sockets against a server that plays a faulty network:
// acknowledgements that come twice, a block held up on the way, an error in the middle of
// the write, a stranger answering first. Debian's own client meets the same server for
// comparison.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "DownloadTransfer.h"
#include "FakeTarget.h"
#include "FaultServer.h"
#include "RecordingView.h"
#include "TempDir.h"

namespace {

// A FaultServer serving on a thread of its own until Finish, in a folder of its own.
class ServedFaults {
public:
    explicit ServedFaults(FaultPlan plan) : m_server(std::move(plan), m_dir.Path()) {
        if (m_server.Ready())
            m_thread = std::thread([this] { m_server.Serve(m_stop); });
    }
    ~ServedFaults() { Finish(); }

    bool Ready() const { return m_server.Ready(); }
    uint16_t Port() const { return m_server.Port(); }
    std::vector<uint8_t> Received() const {
        std::ifstream in(m_dir.File("doc.bin"), std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    // Stops the server and says what reached it.
    const FaultTally& Finish() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_server.Tally();
    }

private:
    TempDir m_dir;
    FaultServer m_server;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Real time, but without the second's pause after the write request.
class NoPauseClock : public TransferClock {
public:
    int64_t NowSeconds() override { return TransferClock::System().NowSeconds(); }
    uint64_t NowMilliseconds() override { return TransferClock::System().NowMilliseconds(); }
    void Pause(uint32_t) override {}
};

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = PatternFile::ByteAt(i);
    return bytes;
}

struct Sent {
    TransferOutcome outcome;
    double seconds;
};

// Zamri's transfer of a file of `size` pattern bytes to the server.
Sent SendOurs(const ServedFaults& server, size_t size, RecordingView& view,
              uint32_t retryLimit = 15) {
    UpdaterSettings settings;
    settings.retryLimit = retryLimit;
    settings.target = {0x7F000001, server.Port()};
    PatternFile file(size);
    NoPauseClock clock;
    DownloadTransfer transfer(view, SocketLibrary::System(), clock);
    const auto start = std::chrono::steady_clock::now();
    const TransferOutcome outcome = transfer.Run(file, settings);
    return {outcome,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

TEST(FaultPeer, TakesAPlainWriteByteForByte) {
    ServedFaults server({});
    ASSERT_TRUE(server.Ready());
    RecordingView view;
    EXPECT_EQ(SendOurs(server, 3000, view).outcome, TransferOutcome::Success);
    const FaultTally& tally = server.Finish();
    EXPECT_TRUE(server.Received() == Pattern(3000)) << "doc.bin differs";
    EXPECT_EQ(tally.writes, 1u);
    EXPECT_EQ(tally.data, 6u);
    EXPECT_TRUE(tally.complete);
}

} // namespace
