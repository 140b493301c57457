// The transfer over real loopback sockets against a server that plays a faulty network:
// acknowledgements that come twice, a block held up on the way, an error in the middle of
// the write, a stranger answering first. Debian's own client meets the same server for
// comparison.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <unistd.h>

#include "DownloadTransfer.h"
#include "FakeTarget.h"
#include "FaultServer.h"
#include "RecordingView.h"
#include "TempDir.h"
#include "TransferPrinters.h"

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

// Every acknowledgement comes twice. Zamri's transfer and Debian's client each send a file of
// 300 blocks to the same server, in the same run; each block must reach it once.
TEST(FaultPeer, EveryBlockGoesOnceWhenEveryAcknowledgementComesTwice) {
    const size_t size = 299 * 512 + 77;
    TempDir here;
    here.Write("upload.bin", Pattern(size));
    struct Sender {
        const char* name;
        std::function<bool(const ServedFaults&)> send;
    } senders[] = {
        {"Zamri's transfer",
         [&](const ServedFaults& server) {
             RecordingView view;
             return SendOurs(server, size, view).outcome == TransferOutcome::Success;
         }},
        {"tftp-hpa",
         [&](const ServedFaults& server) {
             // Bounded: a client that never finished would otherwise hold the test.
             const std::string command = "timeout 60 tftp -m binary 127.0.0.1 " +
                                         std::to_string(server.Port()) + " -c put '" +
                                         here.File("upload.bin") + "' doc.bin >/dev/null 2>&1";
             return std::system(command.c_str()) == 0;
         }},
    };
    for (const Sender& sender : senders) {
        if (std::string(sender.name) == "tftp-hpa" && ::access("/usr/bin/tftp", X_OK) != 0) {
            ADD_FAILURE() << "Debian's tftp client is missing: bash scripts/setup.sh";
            continue;
        }
        FaultPlan plan;
        plan.duplicateAcks = true;
        ServedFaults server(plan);
        ASSERT_TRUE(server.Ready());
        EXPECT_TRUE(sender.send(server)) << sender.name;
        const FaultTally& tally = server.Finish();
        EXPECT_TRUE(server.Received() == Pattern(size)) << sender.name << ": doc.bin differs";
        EXPECT_EQ(tally.data, 300u) << sender.name << ": data datagrams for 300 blocks";
        std::printf("%s: %u data datagrams for 300 blocks\n", sender.name, tally.data);
    }
}

// The first copy of block 140 is held up on the way past its wait of 2 seconds and reaches the
// server just ahead of the copy sent again: each draws an acknowledgement of block 140, the
// second while block 141 waits. Block 140 goes twice, every other block once.
TEST(FaultPeer, OnlyTheHeldUpBlockGoesTwice) {
    FaultPlan plan;
    plan.delayBlock = 140;
    ServedFaults server(plan);
    ASSERT_TRUE(server.Ready());
    RecordingView view;
    const size_t size = 199 * 512 + 5;
    EXPECT_EQ(SendOurs(server, size, view).outcome, TransferOutcome::Success);
    const FaultTally& tally = server.Finish();
    EXPECT_TRUE(server.Received() == Pattern(size)) << "doc.bin differs";
    EXPECT_EQ(tally.data, 201u) << "data datagrams for 200 blocks";
}

// The server refuses block 5 with an error datagram. The transfer ends at once with the
// server's words in the status line, and nothing more reaches the server.
TEST(FaultPeer, AnErrorInTheMiddleEndsTheWriteAtOnce) {
    FaultPlan plan;
    plan.errorAtBlock = 5;
    plan.errorCode = 3;
    plan.errorText = "Disk full";
    ServedFaults server(plan);
    ASSERT_TRUE(server.Ready());
    RecordingView view;
    EXPECT_EQ(SendOurs(server, 20 * 512, view, 1).outcome, TransferOutcome::TargetError);
    EXPECT_EQ(view.Only("status").back(),
              "status Refused by target (error 3: \"Disk full\")!  Download to Target failure!");
    const FaultTally& tally = server.Finish();
    EXPECT_EQ(tally.data, 5u);
    EXPECT_EQ(tally.afterError, 0u) << "data went out after the error";
}

// A stranger on 127.0.0.2 sends the client each acknowledgement just before the server does,
// the first one included. With retrytimes at 0, a stranger's datagram that ended a wait or
// took the transfer's address would end the transfer; the file arrives whole instead.
TEST(FaultPeer, AStrangersRepliesAreDropped) {
    FaultPlan plan;
    plan.stranger = true;
    ServedFaults server(plan);
    ASSERT_TRUE(server.Ready()) << "no socket on 127.0.0.2";
    RecordingView view;
    const size_t size = 9 * 512 + 300;
    EXPECT_EQ(SendOurs(server, size, view, 0).outcome, TransferOutcome::Success);
    const FaultTally& tally = server.Finish();
    EXPECT_TRUE(server.Received() == Pattern(size)) << "doc.bin differs";
    EXPECT_EQ(tally.data, 10u);
    EXPECT_EQ(tally.strays, 11u);
}

} // namespace
