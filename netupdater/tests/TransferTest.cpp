// The transfer against a scripted target: the exact exchange, the waits, the retry rules and
// every ending, without spending real time on any wait.
#include <gtest/gtest.h>

#include <numeric>

#include "DownloadTransfer.h"
#include "FakeTarget.h"
#include "RecordingView.h"
#include "TransferPrinters.h"

namespace {

using Lines = std::vector<std::string>;

struct TftpTransfer : ::testing::Test {
    TransferOutcome Run(uint64_t size, uint32_t retryLimit = 15) {
        PatternFile file(size);
        return Run(file, retryLimit);
    }
    TransferOutcome Run(DownloadFile& file, uint32_t retryLimit = 15) {
        UpdaterSettings settings;
        settings.retryLimit = retryLimit;
        settings.target = {0x64646401, 69};
        DownloadTransfer transfer(view, target, target);
        const TransferOutcome outcome = transfer.Run(file, settings);
        EXPECT_EQ(target.socketsOpen, 0) << "the socket is left open";
        EXPECT_EQ(target.startups, target.cleanups) << "the socket library is left started";
        EXPECT_EQ(view.lines.empty() ? "" : view.Only("button").back(), "button on");
        return outcome;
    }
    // A fresh target and window, for a test's next transfer.
    void Reset() {
        target = FakeTarget();
        view = RecordingView();
    }
    // The numbers from `first` to `last`.
    static std::vector<int> Counting(int first, int last) {
        std::vector<int> numbers(static_cast<size_t>(last - first + 1));
        std::iota(numbers.begin(), numbers.end(), first);
        return numbers;
    }
    // Which data blocks went out, in order, as their wire numbers.
    std::vector<int> BlocksSent() const {
        std::vector<int> blocks;
        for (const auto& s : target.sent)
            if (FakeTarget::BlockOf(s.bytes) >= 0)
                blocks.push_back(FakeTarget::BlockOf(s.bytes));
        return blocks;
    }

    FakeTarget target;
    RecordingView view;
};

TEST_F(TftpTransfer, SendsAFileOfTwoFullBlocksAsThreeDataDatagrams) {
    EXPECT_EQ(Run(1024), TransferOutcome::Success);
    EXPECT_EQ(target.wire, (Lines{
                               "> WRQ doc.bin octet to 100.100.100.1:69",
                               "wait 1000",
                               "< ACK 0 from 50000",
                               "pause 1000",
                               "> DATA 1 +512 to 100.100.100.1:50000",
                               "wait 12000",
                               "< ACK 1 from 50000",
                               "> DATA 2 +512 to 100.100.100.1:50000",
                               "wait 12000",
                               "< ACK 2 from 50000",
                               "> DATA 3 +0 to 100.100.100.1:50000",
                               "wait 12000",
                               "< ACK 3 from 50000",
                               "close",
                           }));
    EXPECT_EQ(target.sent[0].bytes, (std::vector<uint8_t>{0, 2, 'd', 'o', 'c', '.', 'b', 'i', 'n',
                                                          0, 'o', 'c', 't', 'e', 't', 0}));
    const std::vector<uint8_t>& second = target.sent[2].bytes;
    ASSERT_EQ(second.size(), 516u);
    EXPECT_EQ(std::vector<uint8_t>(second.begin(), second.begin() + 4),
              (std::vector<uint8_t>{0, 3, 0, 2}));
    for (size_t i = 0; i < 512; ++i)
        ASSERT_EQ(second[4 + i], PatternFile::ByteAt(512 + i)) << "byte " << i;
    EXPECT_EQ(target.sent[3].bytes, (std::vector<uint8_t>{0, 3, 0, 3}));

    // Three blocks have no progress step: every acknowledged block shows.
    EXPECT_EQ(view.lines, (Lines{
                              "button off",
                              "status Begin to download to target...",
                              "range 0",
                              "position 0",
                              "text 0% finished.",
                              "position 0",
                              "status It is downloading to target,  please wait...",
                              "text 33% finished.mins: 00, secs: 00",
                              "position 0",
                              "text 66% finished.mins: 00, secs: 00",
                              "position 0",
                              "text 100% finished.mins: 00, secs: 00",
                              "position 0",
                              "position 0",
                              "status Download to Taget Success!",
                              "button on",
                              "status Download to Taget Success!",
                              "position 0",
                          }));
}

TEST_F(TftpTransfer, SendsAFileShorterThanABlockAsTheFinalBlockAlone) {
    EXPECT_EQ(Run(100), TransferOutcome::Success);
    ASSERT_EQ(target.sent.size(), 2u);
    EXPECT_EQ(target.sent[1].bytes.size(), 104u);
    EXPECT_EQ(target.waits, (std::vector<uint32_t>{1000, 1000}));
}

// 50,688 bytes make 100 blocks, a step of 1: the bar moves every 100 blocks and the text
// shows the time since block 1 went out.
TEST_F(TftpTransfer, ShowsProgressAtEveryStepWithTheElapsedTime) {
    target.script = [](size_t k, const FakeTarget::Sent&) -> std::optional<std::vector<Event>> {
        if (k == 40) // block 40 waits out 5 time-outs of 12 seconds first
            return std::vector<Event>{Silence()};
        if (k >= 41 && k <= 44)
            return std::vector<Event>{Silence()};
        return std::nullopt;
    };
    EXPECT_EQ(Run(50688), TransferOutcome::Success);
    const Lines texts = view.Only("text");
    ASSERT_EQ(texts.size(), 101u);
    EXPECT_EQ(texts[0], "text 0% finished.");
    EXPECT_EQ(texts[39], "text 39% finished.mins: 00, secs: 00");
    EXPECT_EQ(texts[40], "text 40% finished.mins: 01, secs: 00");
    EXPECT_EQ(texts[99], "text 99% finished.mins: 01, secs: 00");
    EXPECT_EQ(texts[100], "text 100% finished.mins: 01, secs: 00");
    EXPECT_EQ(view.Only("range"), (Lines{"range 1"}));
    EXPECT_EQ(view.Tail(5), (Lines{"position 1", "status Download to Taget Success!", "button on",
                                   "status Download to Taget Success!", "position 0"}));
}

TEST_F(TftpTransfer, FormatsTheElapsedTimeAsMinutesWithinTheHourAndSeconds) {
    EXPECT_EQ(ProgressText(7, 0), "7% finished.mins: 00, secs: 00");
    EXPECT_EQ(ProgressText(50, 754), "50% finished.mins: 12, secs: 34");
    EXPECT_EQ(ProgressText(99, 3600 + 61), "99% finished.mins: 01, secs: 01");
}

TEST_F(TftpTransfer, WaitsTwelveSecondsForTheFirst129BlocksAndTwoAfterwards) {
    EXPECT_EQ(Run(200 * 512 + 3), TransferOutcome::Success);
    ASSERT_EQ(target.waits.size(), 202u);
    EXPECT_EQ(target.waits[129], 12000u) << "block 129";
    EXPECT_EQ(target.waits[130], 2000u) << "block 130";
    EXPECT_EQ(target.waits[201], 2000u) << "the final block waits as block 200";
    EXPECT_EQ(AcknowledgementWait(129), 12000u);
    EXPECT_EQ(AcknowledgementWait(130), 2000u);
}

TEST_F(TftpTransfer, NumbersBlocksModulo65536) {
    const uint64_t size = 65536ull * 512 + 100; // 65,537 blocks
    std::vector<int> acknowledgedAs;
    target.script = [&](size_t k, const FakeTarget::Sent& s) -> std::optional<std::vector<Event>> {
        if (k == 65536) {
            // Block 65,536 goes out as 0; an acknowledgement of 65,536 in 32 bits would not
            // fit the wire, so the 0 here is the only right answer.
            acknowledgedAs.push_back(FakeTarget::BlockOf(s.bytes));
            return std::vector<Event>{Ack(0)};
        }
        return std::nullopt;
    };
    EXPECT_EQ(Run(size), TransferOutcome::Success);
    const std::vector<int> blocks = BlocksSent();
    ASSERT_EQ(blocks.size(), 65537u);
    EXPECT_EQ(blocks[65534], 65535);
    EXPECT_EQ(blocks[65535], 0);
    EXPECT_EQ(blocks[65536], 1);
    EXPECT_EQ(target.sent.back().bytes.size(), 104u);
    EXPECT_EQ(acknowledgedAs, (std::vector<int>{0}));
}

struct Ending {
    const char* name;
    std::function<void(FakeTarget&, PatternFile&)> arrange;
    TransferOutcome outcome;
    Lines tail; // the view's last lines
};

void PrintTo(const Ending& e, std::ostream* os) {
    *os << e.name;
}

class Endings : public TftpTransfer, public ::testing::WithParamInterface<Ending> {};

TEST_P(Endings, ReportAndReenableDownload) {
    const Ending& e = GetParam();
    PatternFile file(2000);
    e.arrange(target, file);
    EXPECT_EQ(Run(file, 2), e.outcome);
    EXPECT_EQ(view.Tail(e.tail.size()), e.tail);

    // A second download starts at once and goes through.
    Reset();
    EXPECT_EQ(Run(2000), TransferOutcome::Success);
}

std::function<void(FakeTarget&, PatternFile&)> Answer(size_t k, std::vector<Event> events) {
    return [k, events](FakeTarget& t, PatternFile&) {
        t.script = [k, events](size_t i, const FakeTarget::Sent&) {
            return i == k ? std::optional<std::vector<Event>>(events) : std::nullopt;
        };
    };
}

std::function<void(FakeTarget&, PatternFile&)> SilentFrom(size_t k) {
    return [k](FakeTarget& t, PatternFile&) {
        t.script = [k](size_t i, const FakeTarget::Sent&) {
            return i >= k ? std::optional<std::vector<Event>>(std::vector<Event>{}) : std::nullopt;
        };
    };
}

const Ending kEndings[] = {
    {"NoFile",
     [](FakeTarget&, PatternFile& f) { f.missing = true; },
     TransferOutcome::NoFile,
     {"status Begin to download to target...", "button on",
      "message The file to download is not exit!"}},
    {"LibraryWillNotStart",
     [](FakeTarget& t, PatternFile&) { t.startFails = true; },
     TransferOutcome::LibraryFailed,
     {"position 0", "button on", "message Set socket version error!"}},
    {"OtherLibraryVersion",
     [](FakeTarget& t, PatternFile&) { t.version = 0x0202; },
     TransferOutcome::WrongVersion,
     {"position 0", "button on", "message Validate socket version error!"}},
    {"NoSocket",
     [](FakeTarget& t, PatternFile&) { t.noSocket = true; },
     TransferOutcome::NoSocket,
     {"button on", "status Connect EORROR!please reconnect your mobile with PC"}},
    {"NoReplyToTheWriteRequest",
     SilentFrom(0),
     TransferOutcome::NoAnswer,
     {"button on",
      "status Timeout!  The target may not in updating state, please check it and try again!",
      "text ", "position 0"}},
    {"SocketErrorWaitingForTheFirstReply",
     Answer(0, {WaitFails()}),
     TransferOutcome::ConnectError,
     {"position 0", "button on", "status Connect EORROR!please reconnect your mobile with PC"}},
    {"ErrorDatagramAsFirstReply",
     Answer(0, {Raw({0, 5, 0, 2, 'n', 'o', 0})}),
     TransferOutcome::TargetError,
     {"position 0", "button on",
      "status Refused by target (error 2: \"no\")!  Download to Target failure!"}},
    {"OtherDatagramAsFirstReply",
     Answer(0, {Raw({0, 4, 0, 1})}),
     TransferOutcome::Refused,
     {"position 0", "button on", "status Begin to download to target...", "position 0"}},
    {"ErrorDatagramDuringABlock",
     Answer(2, {Error(3, "Disk full or allocation exceeded")}),
     TransferOutcome::TargetError,
     {"position 0", "button on",
      "status Refused by target (error 3: \"Disk full or allocation exceeded\")!  Download to "
      "Target failure!"}},
    {"ErrorDatagramForTheFinalBlock",
     Answer(4, {Error(2, "Access violation")}),
     TransferOutcome::TargetError,
     {"position 0", "button on",
      "status Refused by target (error 2: \"Access violation\")!  Download to Target failure!"}},
    {"SilencePastRetryTimes",
     SilentFrom(3),
     TransferOutcome::TimedOut,
     {"position 0", "button on", "status Timeout!  Download to Target failure!"}},
    {"SocketErrorsPastRetryTimes",
     Answer(2, {WaitFails(), WaitFails(), ReceiveFails()}),
     TransferOutcome::SocketFailed,
     {"position 0", "button on", "status Socket error!  Download to Target failure!"}},
    {"FinalBlockUnacknowledged",
     SilentFrom(4),
     TransferOutcome::FinalUnacknowledged,
     {"button on", "status It is downloading to target,  please wait...", "position 0"}},
    {"FileGoneDuringTheTransfer",
     [](FakeTarget&, PatternFile& f) { f.lostFromCall = 1; },
     TransferOutcome::FileLost,
     {"button on", "position 0", "message The file to download is not exit!"}},
    {"FileGoneBeforeTheFinalBlock",
     [](FakeTarget&, PatternFile& f) { f.lostFromCall = 3; },
     TransferOutcome::FinalFileLost,
     {"button on", "status It is downloading to target,  please wait...", "position 0"}},
};

INSTANTIATE_TEST_SUITE_P(TftpTransfer, Endings, ::testing::ValuesIn(kEndings),
                         [](const auto& p) { return std::string(p.param.name); });

// An error datagram from the transfer's port ends the transfer at once: nothing goes out after
// it, and the status line quotes the target's message made harmless, with only printable
// ASCII shown as it is, so that a hostile target can write nothing into the window or a log.
// An error from another port is a stranger's, and one too short to hold an error code is no
// error datagram: both are dropped, and block 2 goes again once its wait has run out.
TEST_F(TftpTransfer, AnErrorDatagramEndsTheTransferAtOnce) {
    const struct {
        const char* name;
        Event error;
        std::vector<int> blocksSent;
        const char* status;
    } cases[] = {
        {"plain",
         Error(3, "Disk full or allocation exceeded"),
         {1, 2},
         "Refused by target (error 3: \"Disk full or allocation exceeded\")!  Download to Target "
         "failure!"},
        {"hostile text",
         Error(0, "a\r\nb\x1b[2J\"q\"\\ \xff\x7f"),
         {1, 2},
         "Refused by target (error 0: \"a\\x0D\\x0Ab\\x1B[2J\\\"q\\\"\\\\ \\xFF\\x7F\")!  "
         "Download to Target failure!"},
        {"no terminator",
         Raw({0, 5, 0, 1, 'n', 'o'}),
         {1, 2},
         "Refused by target (error 1: \"no\")!  Download to Target failure!"},
        {"no text",
         Raw({0, 5, 0, 4}),
         {1, 2},
         "Refused by target (error 4: \"\")!  Download to Target failure!"},
        {"from another port", Error(3, "x", 40000), {1, 2, 2, 3, 4}, "Download to Taget Success!"},
        {"too short", Raw({0, 5, 0}), {1, 2, 2, 3, 4}, "Download to Taget Success!"},
    };
    for (const auto& c : cases) {
        Reset();
        const Event error = c.error;
        target.script = [error](size_t k, const FakeTarget::Sent&) {
            return k == 2 ? std::optional<std::vector<Event>>(std::vector<Event>{error})
                          : std::nullopt;
        };
        Run(2000, 2);
        EXPECT_EQ(BlocksSent(), c.blocksSent) << c.name;
        EXPECT_EQ(view.Only("status").back(), std::string("status ") + c.status) << c.name;
    }
}

// The first reply must come from the target's own address, though from a port of its
// choosing. A stranger's datagram before it is dropped while the second's wait runs on, so
// that no other host can take the file or end the transfer; when no reply of the target's
// comes within that second, the target did not answer.
TEST_F(TftpTransfer, TakesTheFirstReplyOnlyFromTheTargetsAddress) {
    const Endpoint peer{0x64646401, kPeerPort};
    const struct {
        const char* name;
        std::vector<Event> replies;
        TransferOutcome outcome;
        int64_t requestWaitMs; // how long the write request's wait lasted
    } cases[] = {
        {"a stranger's acknowledgement first",
         {From(kStrangerAddress, Ack(0)), Late(300, Ack(0))},
         TransferOutcome::Success,
         300},
        {"a stranger's error first",
         {From(kStrangerAddress, Error(2, "Access violation")), Late(300, Ack(0))},
         TransferOutcome::Success,
         300},
        {"a stranger alone",
         {Late(200, From(kStrangerAddress, Ack(0)))},
         TransferOutcome::NoAnswer,
         1000},
    };
    for (const auto& c : cases) {
        Reset();
        const std::vector<Event> replies = c.replies;
        target.script = [replies](size_t k, const FakeTarget::Sent&) {
            return k == 0 ? std::optional<std::vector<Event>>(replies) : std::nullopt;
        };
        const int64_t start = target.nowMs;
        EXPECT_EQ(Run(1100, 0), c.outcome) << c.name;
        for (size_t i = 1; i < target.sent.size(); ++i)
            EXPECT_EQ(target.sent[i].to, peer) << c.name << ": datagram " << i;
        int64_t pause = 0;
        if (c.outcome == TransferOutcome::Success) {
            EXPECT_EQ(BlocksSent(), (std::vector<int>{1, 2, 3})) << c.name;
            pause = 1000;
        }
        EXPECT_EQ(target.nowMs - start, c.requestWaitMs + pause) << c.name;
    }
}

TEST_F(TftpTransfer, SendsTheWriteRequestOnceOnly) {
    target.script = [](size_t, const FakeTarget::Sent&) {
        return std::optional<std::vector<Event>>(std::vector<Event>{});
    };
    EXPECT_EQ(Run(5000), TransferOutcome::NoAnswer);
    EXPECT_EQ(target.wire,
              (Lines{"> WRQ doc.bin octet to 100.100.100.1:69", "wait 1000 timed out", "close"}));
}

TEST_F(TftpTransfer, SendsABlockRetryLimitPlusOneTimesIntoSilence) {
    for (uint32_t limit : {0u, 15u}) {
        Reset();
        target.script = [](size_t k, const FakeTarget::Sent&) {
            return k >= 1 ? std::optional<std::vector<Event>>(std::vector<Event>{}) : std::nullopt;
        };
        EXPECT_EQ(Run(5000, limit), TransferOutcome::TimedOut);
        EXPECT_EQ(target.sent.size(), 1 + limit + 1) << "retrytimes " << limit;
        EXPECT_EQ(view.Only("status").back(), "status Timeout!  Download to Target failure!");
    }
}

TEST_F(TftpTransfer, TriesTheFinalBlockTenTimes) {
    target.script = [](size_t k, const FakeTarget::Sent&) {
        return k >= 4 ? std::optional<std::vector<Event>>(std::vector<Event>{Ack(2)})
                      : std::nullopt;
    };
    EXPECT_EQ(Run(2000), TransferOutcome::FinalUnacknowledged);
    EXPECT_EQ(BlocksSent(), (std::vector<int>{1, 2, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}));
    EXPECT_EQ(target.sent.back().bytes.size(), 4u + 2000 % 512);
}

// Every acknowledgement comes twice, as on a network that duplicates datagrams. The second
// copy arrives while the next block waits and is let go: each block goes out once. Sending a
// block again for such a copy would draw two acknowledgements of it, and the traffic would
// double with every block until the transfer failed.
TEST_F(TftpTransfer, SendsEachBlockOnceWhenEveryAcknowledgementComesTwice) {
    target.script = [](size_t k, const FakeTarget::Sent& s) -> std::optional<std::vector<Event>> {
        const uint32_t block = k == 0 ? 0 : static_cast<uint32_t>(FakeTarget::BlockOf(s.bytes));
        return std::vector<Event>{Ack(block), Ack(block)};
    };
    EXPECT_EQ(Run(299 * 512 + 77), TransferOutcome::Success);
    EXPECT_EQ(BlocksSent(), Counting(1, 300));
    EXPECT_EQ(view.Only("status").back(), "status Download to Taget Success!");
}

// The first copy of block 5 is held up on the way for 13 seconds: its wait of 12 runs out and
// the block goes again and is acknowledged; then the held-up copy reaches the target, which
// acknowledges block 5 once more while block 6 waits. Only block 5 goes twice.
TEST_F(TftpTransfer, SendsOnlyTheHeldUpBlockAgainOnALossyNetwork) {
    target.script = [](size_t k, const FakeTarget::Sent&) -> std::optional<std::vector<Event>> {
        if (k == 5)
            return std::vector<Event>{Late(13000, Ack(5))};
        return std::nullopt;
    };
    EXPECT_EQ(Run(20 * 512 + 1), TransferOutcome::Success);
    std::vector<int> expected = Counting(1, 21);
    expected.insert(expected.begin() + 5, 5);
    EXPECT_EQ(BlocksSent(), expected);
}

// A late acknowledgement of block 1 and a stranger's acknowledgement of block 2 come 5 and 10
// seconds into block 2's wait of 12: both are dropped, and the wait goes on for the 2 seconds
// left rather than 12 afresh. Only then is block 2 sent again, and that time-out counts
// toward retrytimes as any other.
TEST_F(TftpTransfer, ResendsABlockOnlyWhenItsWaitRunsOut) {
    target.script = [](size_t k, const FakeTarget::Sent&) -> std::optional<std::vector<Event>> {
        if (k == 2)
            return std::vector<Event>{Late(5000, Ack(1)),
                                      Late(5000, From(kStrangerAddress, Ack(2)))};
        return std::nullopt;
    };
    EXPECT_EQ(Run(2000, 1), TransferOutcome::Success);
    EXPECT_EQ(BlocksSent(), (std::vector<int>{1, 2, 2, 3, 4}));
    EXPECT_EQ(target.waits,
              (std::vector<uint32_t>{1000, 12000, 12000, 7000, 2000, 12000, 12000, 12000}));
}

// A target that keeps sending acknowledgements of the block before, two a second, cannot hold
// the transfer: each wait still ends on time, and after retrytimes + 1 of them the transfer
// fails as it does in silence.
TEST_F(TftpTransfer, AFloodOfStaleAcknowledgementsCannotHoldTheTransfer) {
    target.script = [](size_t k, const FakeTarget::Sent&) -> std::optional<std::vector<Event>> {
        if (k < 2)
            return std::nullopt;
        return std::vector<Event>(100, Late(500, Ack(1)));
    };
    const int64_t start = target.nowMs;
    EXPECT_EQ(Run(5000, 2), TransferOutcome::TimedOut);
    EXPECT_EQ(BlocksSent(), (std::vector<int>{1, 2, 2, 2}));
    EXPECT_EQ(target.nowMs - start, 1000 + 3 * 12000)
        << "the pause after the write request and three whole waits for block 2";
    EXPECT_EQ(view.Only("status").back(), "status Timeout!  Download to Target failure!");
}

// A target that answers every datagram, but never with the right block number, ends the
// transfer as silence does: the block goes out retrytimes + 1 times.
TEST_F(TftpTransfer, GivesUpOnATargetThatNeverAcknowledgesTheBlock) {
    for (uint32_t limit : {3u, 20u}) {
        Reset();
        target.script = [](size_t k, const FakeTarget::Sent&) -> std::optional<std::vector<Event>> {
            if (k >= 2)
                return std::vector<Event>{Ack(7)};
            return std::nullopt;
        };
        EXPECT_EQ(Run(5000, limit), TransferOutcome::TimedOut);
        EXPECT_EQ(target.sent.size(), 2 + limit + 1) << "retrytimes " << limit;
        EXPECT_EQ(view.Only("status").back(), "status Timeout!  Download to Target failure!");
    }
}

// After a wait that failed, the next attempt only waits; the socket error counter then
// starts afresh with any datagram.
TEST_F(TftpTransfer, WaitsWithoutSendingAfterASocketError) {
    target.script = [](size_t k, const FakeTarget::Sent&) -> std::optional<std::vector<Event>> {
        if (k == 1)
            return std::vector<Event>{WaitFails(), ReceiveFails(), Ack(1)};
        return std::nullopt;
    };
    EXPECT_EQ(Run(600, 2), TransferOutcome::Success);
    EXPECT_EQ(BlocksSent(), (std::vector<int>{1, 2}));
}

// The first acknowledgement names the target's port; a datagram from any other port later is
// not the target's and moves nothing there, nor does it end a wait.
TEST_F(TftpTransfer, IgnoresDatagramsFromAnotherPort) {
    target.script = [](size_t k, const FakeTarget::Sent&) -> std::optional<std::vector<Event>> {
        if (k == 1)
            return std::vector<Event>{Ack(1, 40000), Ack(1)};
        if (k == 3)
            return std::vector<Event>{Ack(3, 40000), Ack(3, 40000)};
        return std::nullopt;
    };
    EXPECT_EQ(Run(1100, 2), TransferOutcome::Success);
    for (size_t i = 1; i < target.sent.size(); ++i)
        EXPECT_EQ(target.sent[i].to.port, kPeerPort) << "datagram " << i;
    // Block 1 takes its acknowledgement after the stray; the final block goes again only once
    // its wait has run out.
    EXPECT_EQ(BlocksSent(), (std::vector<int>{1, 2, 3, 3}));
}

TEST_F(TftpTransfer, RetriesABlockWhoseFileReadFailsAMoment) {
    PatternFile file(2000);
    file.failReads = {1, 2, 3};
    EXPECT_EQ(Run(file), TransferOutcome::Success);
    EXPECT_EQ(BlocksSent(), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(TftpTransfer, RefusesAFileOf4GiBOrMore) {
    EXPECT_EQ(Run(0x100000000ull), TransferOutcome::FileTooLarge);
    EXPECT_EQ(view.Tail(1), (Lines{"message The file to download is too large!"}));
    EXPECT_TRUE(target.sent.empty());
}

TEST_F(TftpTransfer, RefusesUnusableSettingsBeforeSendingAnything) {
    PatternFile file(10);
    UpdaterSettings settings;
    settings.problem = "targetport \"0\"";
    DownloadTransfer transfer(view, target, target);
    EXPECT_EQ(transfer.Run(file, settings), TransferOutcome::BadSettings);
    EXPECT_EQ(
        view.Tail(2),
        (Lines{"button on",
               "message The target set in setting.ini is not valid! Download to Target failure!"}));
    EXPECT_TRUE(target.sent.empty());
}

} // namespace
