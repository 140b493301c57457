// The boot-loader operations: what each sends, in what order, and how replies become results.
#include "CaseName.h"
#include "LinkFixture.h"

namespace {

class Protocol : public LinkTest {};

struct ReplyCase {
    const char* name;
    bool queueReply;
    uint32_t reply;
    int result;
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

class KeyReplies : public Protocol, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(KeyReplies, MapToTheResult) {
    const ReplyCase& c = GetParam();
    if (c.queueReply)
        Queue({c.reply});
    const std::vector<uint8_t> key = Pattern(96);
    EXPECT_EQ(link.LoadKey(key.data(), 96), c.result);
    Lines expected = {Sent(wire::CMD_KEY_LENGTH), Sent(96), Sent(wire::CMD_KEY_DATA),
                      SentBytes(96)};
    expected.push_back(c.queueReply ? Got(c.reply) : "< 0x00000000 FAILED");
    EXPECT_EQ(Transcript(), expected);
    EXPECT_EQ(std::vector<uint8_t>(pipe.written.begin(), pipe.written.begin() + 8),
              (std::vector<uint8_t>{0x03, 0x55, 0xFF, 0xAA, 0x60, 0x00, 0x00, 0x00}))
        << "words travel least significant byte first";
    EXPECT_EQ(std::vector<uint8_t>(pipe.written.begin() + 12, pipe.written.end()), key);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, KeyReplies,
    ::testing::Values(ReplyCase{"Accepted", true, wire::REPLY_KEY_OK, 1},
                      ReplyCase{"AcceptedWithTheSecondWord", true, wire::REPLY_KEY_OK_ALT, 2},
                      ReplyCase{"VersionWordIsNoKeyReply", true, wire::REPLY_VERSION_OK, 0},
                      ReplyCase{"NoReply", false, 0, 0}),
    CaseName());

class VersionReplies : public Protocol, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(VersionReplies, MapToTheResult) {
    const ReplyCase& c = GetParam();
    if (c.queueReply)
        Queue({c.reply});
    const uint8_t version[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(link.LoadVersion(version, 6), c.result);
    Lines expected = {Sent(wire::CMD_VERSION_LENGTH), Sent(6), Sent(wire::CMD_VERSION_DATA),
                      SentBytes(6)};
    expected.push_back(c.queueReply ? Got(c.reply) : "< 0x00000000 FAILED");
    EXPECT_EQ(Transcript(), expected);
}

INSTANTIATE_TEST_SUITE_P(Replies, VersionReplies,
                         ::testing::Values(ReplyCase{"Accepted", true, wire::REPLY_VERSION_OK, 1},
                                           ReplyCase{"KeyWordIsNoVersionReply", true,
                                                     wire::REPLY_KEY_OK, 0},
                                           ReplyCase{"NoReply", false, 0, 0}),
                         CaseName());

TEST_F(Protocol, AFailedKeyWriteReadsNoReply) {
    pipe.failWriteAt = 3;
    Queue({wire::REPLY_KEY_OK});
    const std::vector<uint8_t> key = Pattern(96);
    EXPECT_EQ(link.LoadKey(key.data(), 96), 0);
    EXPECT_EQ(pipe.toRead.size(), 4u);
}

TEST_F(Protocol, FlashModeAfterMsgReadyGoesOutAtOnce) {
    Queue({wire::MSG_READY});
    EXPECT_EQ(link.LoadFlashMode(wire::FLASH_MODE_OS), 1);
    EXPECT_EQ(Transcript(),
              (Lines{Got(wire::MSG_READY), Sent(wire::MSG_FLASH_MODE), Sent(wire::FLASH_MODE_OS)}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Protocol, FlashModeAfterAckConsumesOneMoreWord) {
    Queue({wire::WORD_ACK, 0x12345678});
    EXPECT_EQ(link.LoadFlashMode(wire::FLASH_MODE_CP), 1);
    EXPECT_EQ(Transcript(), (Lines{Got(wire::WORD_ACK), Got(0x12345678), Sent(wire::MSG_FLASH_MODE),
                                   Sent(wire::FLASH_MODE_CP)}));
}

TEST_F(Protocol, FlashModeShowsItsBoxOnlyWhenTheWordAfterAckIsMissing) {
    Queue({wire::WORD_ACK});
    EXPECT_EQ(link.LoadFlashMode(wire::FLASH_MODE_OS), 0);
    EXPECT_EQ(messages.shown, Lines{"Error|Errors, Failed to read response"});
    EXPECT_TRUE(pipe.written.empty());

    messages.shown.clear();
    Queue({wire::REPLY_KEY_OK});
    EXPECT_EQ(link.LoadFlashMode(wire::FLASH_MODE_OS), 0) << "not a readiness word";
    EXPECT_EQ(link.LoadFlashMode(wire::FLASH_MODE_OS), 0) << "nothing to read";
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(pipe.written.empty());
}

TEST_F(Protocol, FlashModeFailsWhenItsWordsCannotBeWritten) {
    Queue({wire::MSG_READY});
    pipe.failWriteAt = 1;
    EXPECT_EQ(link.LoadFlashMode(wire::FLASH_MODE_OS), 0);
}

TEST_F(Protocol, DataWordIsOneWriteAndNoRead) {
    EXPECT_EQ(link.LoadData(wire::DATA_WORD_CLOSE), 1);
    EXPECT_EQ(Transcript(), Lines{Sent(wire::DATA_WORD_CLOSE)});
    pipe.failWriteAt = 1;
    EXPECT_EQ(link.LoadData(wire::DATA_WORD_CLOSE), 0);
}

TEST_F(Protocol, LoadRamHandshakesOnceThenSendsWithoutCrcWhileTheSwitchIsUnset) {
    ASSERT_EQ(link.m_pCrcCheck, nullptr);
    Queue({wire::WORD_ACK, wire::WORD_ACK, wire::WORD_ACK});
    const std::vector<uint8_t> data = Pattern(20);
    EXPECT_EQ(link.LoadRAM(data.data(), wire::RAM_LOAD_ADDRESS, 20), 1);
    const Lines expected = {Sent(wire::WORD_ACK),         Got(wire::WORD_ACK),
                            Sent(wire::CMD_TOTAL_LENGTH), Sent(20),
                            Sent(wire::CMD_BLOCK_SIZE),   Sent(65536),
                            Sent(wire::CMD_ADDRESS),      Sent(wire::RAM_LOAD_ADDRESS),
                            Sent(wire::CMD_BLOCK_SIZE),   Sent(20),
                            Sent(wire::WORD_ACK),         Got(wire::WORD_ACK),
                            Sent(wire::CMD_BLOCK_DATA),   SentBytes(20),
                            Sent(wire::WORD_ACK),         Got(wire::WORD_ACK)};
    EXPECT_EQ(Transcript(), expected);
    EXPECT_EQ(progress.events, (Lines{"range 1", "pos 0", "pos 1"}));
}

TEST_F(Protocol, LoadRamReadsTheCrcSwitchAtEachCall) {
    int crcCheck = 1;
    link.m_pCrcCheck = &crcCheck;
    const std::vector<uint8_t> data = Pattern(20);
    Queue(
        {wire::WORD_ACK, wire::WORD_ACK, USBComms::CalcBlockCrc(data.data(), 20), wire::WORD_ACK});
    EXPECT_EQ(link.LoadRAM(data.data(), wire::RAM_LOAD_ADDRESS, 20), 1);
    EXPECT_EQ(Transcript()[14], Sent(wire::CMD_GET_CRC));
}

TEST_F(Protocol, LoadRamSendsNothingMoreWhenItsHandshakeFails) {
    Queue({0});
    const std::vector<uint8_t> data = Pattern(20);
    EXPECT_EQ(link.LoadRAM(data.data(), wire::RAM_LOAD_ADDRESS, 20), 0);
    EXPECT_EQ(Transcript(), (Lines{Sent(wire::WORD_ACK), Got(0)}));
}

TEST_F(Protocol, RunHandshakesThenStartsAtTheAddress) {
    Queue({wire::WORD_ACK, wire::WORD_ACK});
    EXPECT_EQ(link.Run(0x8C000000), 1);
    EXPECT_EQ(Transcript(), (Lines{Sent(wire::WORD_ACK), Got(wire::WORD_ACK),
                                   Sent(wire::CMD_ADDRESS), Sent(0x8C000000), Sent(wire::WORD_ACK),
                                   Got(wire::WORD_ACK), Sent(wire::CMD_RUN)}));
    recorder.Clear();
    Queue({0});
    EXPECT_EQ(link.Run(0x8C000000), 0);
    EXPECT_EQ(Transcript().size(), 2u);
}

} // namespace
