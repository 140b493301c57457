// The packet transfer layer: handshakes, block transfers in both directions, the CRC.
#include <cstring>

#include "CaseName.h"
#include "LinkFixture.h"

namespace {

constexpr uint32_t kAddress = 0x10100000;
constexpr uint32_t kNotAck = 0x00000000;

uint32_t ReferenceCrc(const uint8_t* data, size_t length) {
    uint32_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

TEST(BlockCrc, IsCrc16Modbus) {
    const char* check = "123456789";
    EXPECT_EQ(USBComms::CalcBlockCrc(reinterpret_cast<const uint8_t*>(check), 9), 0x4B37u);
    EXPECT_EQ(USBComms::CalcBlockCrc(nullptr, 0), 0xFFFFu);
    const std::vector<uint8_t> data = Pattern(65536 + 13);
    for (size_t length : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 4097u, 65536u, 65549u})
        EXPECT_EQ(USBComms::CalcBlockCrc(data.data(), static_cast<uint32_t>(length)),
                  ReferenceCrc(data.data(), length))
            << length << " bytes";
}

class Transfer : public LinkTest {};

struct SendCase {
    const char* name;
    uint32_t length;
    Lines transcript;
    Lines progress;
};

void PrintTo(const SendCase& c, std::ostream* os) {
    *os << c.name;
}

class SendDataLengths : public Transfer, public ::testing::WithParamInterface<SendCase> {};

TEST_P(SendDataLengths, BlocksHandshakesAndProgressFollowTheLength) {
    const SendCase& c = GetParam();
    const std::vector<uint8_t> data = Pattern(c.length);
    for (int i = 0; i < 8; ++i)
        Queue({wire::WORD_ACK});

    EXPECT_EQ(link.SendData(kAddress, c.length, data.data(), &progress, 0), 1);
    EXPECT_EQ(Transcript(), c.transcript);
    EXPECT_EQ(progress.events, c.progress);
    // Every block's bytes went out unchanged and in order.
    std::vector<uint8_t> sent;
    for (const RecordingPipe::Call& call : recorder.Calls())
        if (call.write && call.bytes.size() != 4)
            sent.insert(sent.end(), call.bytes.begin(), call.bytes.end());
    EXPECT_EQ(sent, data);
}

// The header, then for each block its address, a handshake and its data (a partial block
// announces its own size first), then the closing handshake.
INSTANTIATE_TEST_SUITE_P(
    Lengths, SendDataLengths,
    ::testing::Values(
        SendCase{"Empty",
                 0,
                 {"> CMD_TOTAL_LENGTH", "> 0x00000000", "> CMD_BLOCK_SIZE", "> 0x00010000",
                  "> WORD_ACK", "< WORD_ACK"},
                 {"range 0", "pos 0"}},
        SendCase{"ShorterThanABlock",
                 100,
                 {"> CMD_TOTAL_LENGTH", "> 0x00000064", "> CMD_BLOCK_SIZE", "> 0x00010000",
                  "> CMD_ADDRESS", "> 0x10100000", "> CMD_BLOCK_SIZE", "> 0x00000064", "> WORD_ACK",
                  "< WORD_ACK", "> CMD_BLOCK_DATA", "> 100 bytes", "> WORD_ACK", "< WORD_ACK"},
                 {"range 1", "pos 0", "pos 1"}},
        SendCase{"OneBlock",
                 65536,
                 {"> CMD_TOTAL_LENGTH", "> 0x00010000", "> CMD_BLOCK_SIZE", "> 0x00010000",
                  "> CMD_ADDRESS", "> 0x10100000", "> WORD_ACK", "< WORD_ACK", "> CMD_BLOCK_DATA",
                  "> 65536 bytes", "> WORD_ACK", "< WORD_ACK"},
                 {"range 1", "pos 0", "pos 0"}},
        SendCase{"ThreeBlocksAndOneByte",
                 3 * 65536 + 1,
                 {"> CMD_TOTAL_LENGTH", "> 0x00030001",  "> CMD_BLOCK_SIZE", "> 0x00010000",
                  "> CMD_ADDRESS",      "> 0x10100000",  "> WORD_ACK",       "< WORD_ACK",
                  "> CMD_BLOCK_DATA",   "> 65536 bytes", "> CMD_ADDRESS",    "> 0x10110000",
                  "> WORD_ACK",         "< WORD_ACK",    "> CMD_BLOCK_DATA", "> 65536 bytes",
                  "> CMD_ADDRESS",      "> 0x10120000",  "> WORD_ACK",       "< WORD_ACK",
                  "> CMD_BLOCK_DATA",   "> 65536 bytes", "> CMD_ADDRESS",    "> 0x10130000",
                  "> CMD_BLOCK_SIZE",   "> 0x00000001",  "> WORD_ACK",       "< WORD_ACK",
                  "> CMD_BLOCK_DATA",   "> 1 bytes",     "> WORD_ACK",       "< WORD_ACK"},
                 {"range 4", "pos 0", "pos 0", "pos 1", "pos 2", "pos 4"}}),
    CaseName());

TEST_F(Transfer, ADeviceThatAcknowledgesOnlyTheThirdQueryGetsThreeQueries) {
    Queue({kNotAck, kNotAck, wire::WORD_ACK, wire::WORD_ACK});
    const std::vector<uint8_t> data = Pattern(65536);
    EXPECT_EQ(link.SendData(kAddress, 65536, data.data(), nullptr, 0), 1);
    const Lines expected = {Sent(wire::CMD_TOTAL_LENGTH), Sent(65536),
                            Sent(wire::CMD_BLOCK_SIZE),   Sent(65536),
                            Sent(wire::CMD_ADDRESS),      Sent(kAddress),
                            Sent(wire::WORD_ACK),         Got(kNotAck),
                            Sent(wire::WORD_ACK),         Got(kNotAck),
                            Sent(wire::WORD_ACK),         Got(wire::WORD_ACK),
                            Sent(wire::CMD_BLOCK_DATA),   SentBytes(65536),
                            Sent(wire::WORD_ACK),         Got(wire::WORD_ACK)};
    EXPECT_EQ(Transcript(), expected);
}

TEST_F(Transfer, TheFullBlockHandshakeGivesUpAfterMoreThanThreeSeconds) {
    for (int i = 0; i < 20; ++i)
        Queue({kNotAck});
    const std::vector<uint8_t> data = Pattern(65536);
    EXPECT_EQ(link.SendData(kAddress, 65536, data.data(), nullptr, 0), 0);
    // The stepping clock advances a second per reading: noted at 0, queries end at 1, 2, 3, 4.
    EXPECT_EQ(pipe.toRead.size(), 16u * 4) << "four queries, then no more";
    EXPECT_STREQ(link.m_ErrorText, "Error: Device probably not recognized by 2nd boot");
    EXPECT_EQ(Transcript().back(), Got(kNotAck)) << "no block after a missing handshake";
}

TEST_F(Transfer, UnlimitedHandshakesKeepAskingWhileTheDeviceAnswers) {
    // The partial block and the closing handshake have no three-second rule.
    for (int i = 0; i < 10; ++i)
        Queue({kNotAck});
    Queue({wire::WORD_ACK});
    for (int i = 0; i < 10; ++i)
        Queue({kNotAck});
    Queue({wire::WORD_ACK});
    const std::vector<uint8_t> data = Pattern(10);
    EXPECT_EQ(link.SendData(kAddress, 10, data.data(), nullptr, 0), 1);
    EXPECT_TRUE(pipe.toRead.empty()) << "all 22 queries were made";
}

TEST_F(Transfer, AnUnlimitedHandshakeGivesUpOnceTheDeviceSaidNoForTheSilenceLimit) {
    LinkTimeouts timeouts;
    timeouts.transferMs = 5000;
    link.SetTimeouts(timeouts);
    for (int i = 0; i < 20; ++i)
        Queue({kNotAck});
    const std::vector<uint8_t> data = Pattern(10);
    EXPECT_EQ(link.SendData(kAddress, 10, data.data(), nullptr, 0), 0);
    // The stepping clock: noted at 0, queries end at 1 .. 6, and 6 is more than 5 seconds.
    EXPECT_EQ(pipe.toRead.size(), 14u * 4) << "six queries, then no more";
    EXPECT_EQ(Transcript().back(), Got(kNotAck)) << "no block after a missing handshake";
    EXPECT_FALSE(link.DeviceFailed()) << "the device answered every query";
}

TEST_F(Transfer, DeviceFailedTellsAGoneDeviceFromAWordItDidNotWant) {
    ASSERT_EQ(link.OpenUsbSyncDriver(), 1);
    Queue({wire::REPLY_KEY_OK});
    EXPECT_EQ(link.GetACK(), 0);
    EXPECT_FALSE(link.DeviceFailed());
    EXPECT_EQ(link.GetACK(), 0) << "nothing left to read";
    EXPECT_TRUE(link.DeviceFailed());
    link.CloseUSBSyncDriver();
    ASSERT_EQ(link.OpenUsbSyncDriver(), 1);
    EXPECT_FALSE(link.DeviceFailed()) << "a fresh open starts afresh";
}

struct GiveUpCase {
    const char* name;
    int (*run)(CVug_CommsDLL& link);
    uint32_t acksFirst; // handshakes the device answers before it is gone
    size_t wordsBefore; // transcript lines before the handshake that finds the device gone
};

void PrintTo(const GiveUpCase& c, std::ostream* os) {
    *os << c.name;
}

class UnlimitedHandshakes : public Transfer, public ::testing::WithParamInterface<GiveUpCase> {};

TEST_P(UnlimitedHandshakes, EndWithAClearTextOnceTheDeviceIsGone) {
    const GiveUpCase& c = GetParam();
    for (uint32_t i = 0; i < c.acksFirst; ++i)
        Queue({wire::WORD_ACK});
    EXPECT_EQ(c.run(link), 0);
    EXPECT_STREQ(link.m_ErrorText, "Error: no acknowledgement, the device is gone or silent");
    const Lines t = Transcript();
    ASSERT_EQ(t.size(), c.wordsBefore + 2);
    EXPECT_EQ(t[c.wordsBefore], Sent(wire::WORD_ACK));
    EXPECT_EQ(t.back(), "< 0x00000000 FAILED") << "one query, not a loop";
}

const std::vector<uint8_t> kTen = Pattern(10);
const std::vector<uint8_t> kBlock = Pattern(65536);
uint8_t gReadBack[16];

INSTANTIATE_TEST_SUITE_P(
    Operations, UnlimitedHandshakes,
    ::testing::Values(
        GiveUpCase{
            "SendDataPartialBlock",
            [](CVug_CommsDLL& l) { return l.SendData(kAddress, 10, kTen.data(), nullptr, 0); }, 0,
            8},
        GiveUpCase{
            "SendDataClosingHandshake",
            [](CVug_CommsDLL& l) { return l.SendData(kAddress, 65536, kBlock.data(), nullptr, 0); },
            1, 10},
        GiveUpCase{"GetData",
                   [](CVug_CommsDLL& l) { return l.GetData(kAddress, 10, gReadBack, nullptr); }, 0,
                   6},
        GiveUpCase{"Go", [](CVug_CommsDLL& l) { return l.Go(kAddress); }, 0, 2},
        GiveUpCase{"SetRAMType", [](CVug_CommsDLL& l) { return l.SetRAMType(2); }, 0, 2}),
    CaseName());

TEST_F(Transfer, AnAbortBeforeAFullBlockStopsAfterTheHeader) {
    link.m_Abort.store(1);
    const std::vector<uint8_t> data = Pattern(65536);
    EXPECT_EQ(link.SendData(kAddress, 65536, data.data(), &progress, 0), 0);
    EXPECT_EQ(link.m_Abort.load(), 0);
    EXPECT_EQ(Transcript(), (Lines{Sent(wire::CMD_TOTAL_LENGTH), Sent(65536),
                                   Sent(wire::CMD_BLOCK_SIZE), Sent(65536)}));
}

TEST_F(Transfer, TheCrcCheckAsksForEachBlocksCrcAndStopsAtAMismatch) {
    const std::vector<uint8_t> data = Pattern(65536 + 3);
    const uint32_t crc0 = ReferenceCrc(data.data(), 65536);
    const uint32_t crc1 = ReferenceCrc(data.data() + 65536, 3);
    Queue({wire::WORD_ACK, crc0, wire::WORD_ACK, crc1, wire::WORD_ACK});
    EXPECT_EQ(link.SendData(kAddress, 65536 + 3, data.data(), nullptr, 1), 1);
    const Lines t = Transcript();
    EXPECT_EQ(
        Lines(t.begin() + 8, t.begin() + 12),
        (Lines{Sent(wire::CMD_BLOCK_DATA), SentBytes(65536), Sent(wire::CMD_GET_CRC), Got(crc0)}));

    pipe.toRead.clear();
    recorder.Clear();
    Queue({wire::WORD_ACK, crc0 ^ 1});
    EXPECT_EQ(link.SendData(kAddress, 65536 + 3, data.data(), nullptr, 1), 0);
    EXPECT_STREQ(link.m_ErrorText, "Error CRC failure");
    EXPECT_EQ(Transcript().back(), Got(crc0 ^ 1));
}

TEST_F(Transfer, GetAckNamesWhatWentWrong) {
    pipe.failWriteAt = 0;
    EXPECT_EQ(link.GetACK(), 0);
    EXPECT_STREQ(link.m_ErrorText, "Error: couldn't write USB data");
    pipe.failWriteAt = -1;
    EXPECT_EQ(link.GetACK(), 0);
    EXPECT_STREQ(link.m_ErrorText, "Error: couldn't read USB data");
    Queue({wire::REPLY_KEY_OK});
    EXPECT_EQ(link.GetACK(), 0);
    EXPECT_STREQ(link.m_ErrorText, "Error: Device probably not recognized by 2nd boot");
    Queue({wire::WORD_ACK});
    EXPECT_EQ(link.GetACK(), 1);
}

TEST_F(Transfer, AFailedBlockWriteIsReported) {
    Queue({wire::WORD_ACK});
    pipe.failWriteAt = 7; // wire::CMD_BLOCK_DATA is the 7th write; its data's first piece the 8th
    const std::vector<uint8_t> data = Pattern(65536);
    EXPECT_EQ(link.SendData(kAddress, 65536, data.data(), nullptr, 0), 0);
    EXPECT_STREQ(link.m_ErrorText, "Error Second Boot not responding (Data TX)");
}

TEST_F(Transfer, GetDataReadsBlocksOnRequest) {
    const std::vector<uint8_t> memory = Pattern(65536 + 2, 7);
    Queue({wire::WORD_ACK});
    QueueBytes(std::vector<uint8_t>(memory.begin(), memory.begin() + 65536));
    Queue({wire::WORD_ACK});
    QueueBytes(std::vector<uint8_t>(memory.begin() + 65536, memory.end()));
    Queue({wire::WORD_ACK});
    std::vector<uint8_t> buffer(memory.size());
    progress.events.clear();
    EXPECT_EQ(link.GetData(kAddress, 65536 + 2, buffer.data(), &progress), 1);
    EXPECT_EQ(buffer, memory);
    const Lines expected = {Sent(wire::CMD_BLOCK_SIZE), Sent(65536),
                            Sent(wire::CMD_ADDRESS),    Sent(kAddress),
                            Sent(wire::WORD_ACK),       Got(wire::WORD_ACK),
                            Sent(wire::CMD_READ_BLOCK), GotBytes(65536),
                            Sent(wire::CMD_ADDRESS),    Sent(kAddress + 65536),
                            Sent(wire::CMD_BLOCK_SIZE), Sent(2),
                            Sent(wire::WORD_ACK),       Got(wire::WORD_ACK),
                            Sent(wire::CMD_READ_BLOCK), GotBytes(2),
                            Sent(wire::WORD_ACK),       Got(wire::WORD_ACK)};
    EXPECT_EQ(Transcript(), expected);
    EXPECT_EQ(progress.events, (Lines{"range 2", "pos 0", "pos 2"})) << "no reset to 0 first";
}

TEST_F(Transfer, AShortReadOfABlockIsReported) {
    Queue({wire::WORD_ACK});
    QueueBytes(Pattern(100));
    std::vector<uint8_t> buffer(65536);
    EXPECT_EQ(link.GetData(kAddress, 65536, buffer.data(), nullptr), 0);
    EXPECT_STREQ(link.m_ErrorText, "Error Second Boot not responding (Data TX)");
}

TEST_F(Transfer, GoAndSetRamTypeSendTheirWordsAroundAHandshake) {
    Queue({wire::WORD_ACK, wire::WORD_ACK});
    EXPECT_EQ(link.Go(0x80001000), 1);
    EXPECT_EQ(link.SetRAMType(3), 1);
    EXPECT_EQ(Transcript(),
              (Lines{Sent(wire::CMD_ADDRESS), Sent(0x80001000), Sent(wire::WORD_ACK),
                     Got(wire::WORD_ACK), Sent(wire::CMD_RUN), Sent(wire::CMD_RAM_TYPE), Sent(3),
                     Sent(wire::WORD_ACK), Got(wire::WORD_ACK)}));
    pipe.failWriteAt = static_cast<int>(pipe.writeSizes.size()) + 1;
    EXPECT_EQ(link.SetRAMType(3), 0);
    EXPECT_STREQ(link.m_ErrorText, "Error Second Boot not responding (Data TX)");
}

// One word of a block or of a start that does not get out, while the device goes on answering:
// the operation fails there, says so and sends nothing more, so a block's bytes never reach the
// device without their command word and a start that was never sent is never reported as done.
struct LostWordCase {
    const char* name;
    int (*operation)(USBComms& link, const std::vector<uint8_t>& data);
    int lostWrite; // the index of the piece that fails, as FakePipe counts them
    const char* errorText;
};

void PrintTo(const LostWordCase& c, std::ostream* os) {
    *os << c.name;
}

class LostWords : public Transfer, public ::testing::WithParamInterface<LostWordCase> {};

TEST_P(LostWords, FailTheOperationAndSendNothingAfterThem) {
    const LostWordCase& c = GetParam();
    const std::vector<uint8_t> data = Pattern(65536);
    // Whatever the device would answer if the host asked on: acknowledgements and the CRC.
    Queue({wire::WORD_ACK, ReferenceCrc(data.data(), 65536), wire::WORD_ACK, wire::WORD_ACK});
    pipe.failOneWriteAt = c.lostWrite;
    EXPECT_EQ(c.operation(link, data), 0);
    EXPECT_STREQ(link.m_ErrorText, c.errorText);
    EXPECT_EQ(pipe.writeSizes.size(), static_cast<size_t>(c.lostWrite) + 1)
        << "nothing is written after the lost word";
}

int SendOneBlock(USBComms& link, const std::vector<uint8_t>& data) {
    return link.SendData(kAddress, 65536, data.data(), nullptr, 0);
}
int SendOneCheckedBlock(USBComms& link, const std::vector<uint8_t>& data) {
    return link.SendData(kAddress, 65536, data.data(), nullptr, 1);
}
int GoThere(USBComms& link, const std::vector<uint8_t>&) {
    return link.Go(0x80001000);
}

// SendData writes its header (0..3), the block's address (4, 5) and handshake (6), then
// CMD_BLOCK_DATA (7), the block in six pieces (8..13) and CMD_GET_CRC (14). Go writes
// CMD_ADDRESS (0), the address (1), the handshake (2) and CMD_RUN (3).
INSTANTIATE_TEST_SUITE_P(
    Words, LostWords,
    ::testing::Values(
        LostWordCase{"BlockCommand", SendOneBlock, 7, "Error Second Boot not responding (Data TX)"},
        LostWordCase{"CrcQuery", SendOneCheckedBlock, 14, "Error: couldn't write USB data"},
        LostWordCase{"RunAddressCommand", GoThere, 0, "Error: couldn't write USB data"},
        LostWordCase{"RunAddress", GoThere, 1, "Error: couldn't write USB data"},
        LostWordCase{"RunCommand", GoThere, 3, "Error: couldn't write USB data"}),
    CaseName());

TEST_F(Transfer, SendDataTestWritesOneBareBlockAndSaysHowItWent) {
    const std::vector<uint8_t> data = Pattern(65536);
    EXPECT_EQ(link.SendDataTest(0, 0, data.data()), 1);
    EXPECT_EQ(Transcript(), Lines{SentBytes(65536)});
    EXPECT_STREQ(link.m_ErrorText, "Send the data Ok,sub_size : 10000");

    pipe.failWriteAt = static_cast<int>(pipe.writeSizes.size());
    EXPECT_EQ(link.SendDataTest(0, 0, data.data()), 0);
    char expected[200];
    std::snprintf(expected, sizeof expected, "Error ,pdata : %llx ,sub_size 65536 ,Ret : ffffffff",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(data.data())));
    EXPECT_STREQ(link.m_ErrorText, expected);
}

} // namespace
