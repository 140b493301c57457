// The faults the virtual boot loader plays, and what the link and the update worker make of
// each: every case ends, with the result and text a caller can act on.
#include "CaseName.h"
#include "DeviceFixture.h"
#include "WireWords.h"
#include "WorkerTexts.h"

namespace {

constexpr uint32_t kMiB = 1048576;
constexpr uint32_t kLoadAddress = 0x10100000;

// A clock that moves on by one second at every reading, so that the link's three-second rule
// is counted in queries, not waited for.
class SteppingClock : public LinkClock {
public:
    uint32_t NowSeconds() override { return now++; }
    uint32_t now = 5000;
};

class Faults : public DeviceTest {};

// Handshakes of an OS session's RAM load, counted as they end: 1 LoadRAM's own, 2 the first
// block's, and so on; the last is the closing one.
constexpr uint32_t kFirstBlockHandshake = 2;

TEST_F(Faults, LoadRamAsksOnlyOnceBeforeItsTransfer) {
    BootLoaderScript script;
    script.ackOnQuery = 2;
    script.ackOnQueryHandshake = 1;
    Connect(script);
    EnterOsSession();
    const std::vector<uint8_t> data(100);
    EXPECT_EQ(link.LoadRAM(data.data(), kLoadAddress, 100), 0);
    EXPECT_STREQ(link.m_ErrorText, "Error: Device probably not recognized by 2nd boot");
    Disconnect();
    EXPECT_EQ(device->ReceivedWords().back(), wire::WORD_ACK) << "nothing after the one query";
}

struct LateCase {
    const char* name;
    uint32_t ackOnQuery; // the query of the first block's handshake that is acknowledged
    uint32_t silentMs;   // how long the device keeps quiet before that acknowledgement
    int result;
};

void PrintTo(const LateCase& c, std::ostream* os) {
    *os << c.name;
}

class LateAcknowledgement : public Faults, public ::testing::WithParamInterface<LateCase> {};

// The link's clock moves a second per reading: it notes the time, then reads it after each
// failed query, and gives up once more than three seconds have passed. A device that is only
// silent is waited for, however long; one that keeps answering other words is given up.
TEST_P(LateAcknowledgement, OfAFullBlock) {
    const LateCase& c = GetParam();
    BootLoaderScript script;
    script.ackOnQuery = c.ackOnQuery;
    script.ackOnQueryHandshake = kFirstBlockHandshake;
    script.lateAckMs = c.silentMs;
    script.lateAckHandshake = kFirstBlockHandshake;
    SteppingClock clock;
    link.SetClock(&clock);
    const std::vector<uint8_t> image = OsImage(1);
    Connect(script);
    EnterOsSession();
    EXPECT_EQ(link.LoadRAM(image.data() + 1024, kLoadAddress, kMiB), c.result);
    if (!c.result) {
        EXPECT_STREQ(link.m_ErrorText, "Error: Device probably not recognized by 2nd boot");
    }
    Disconnect();
    const std::vector<uint32_t>& words = device->ReceivedWords();
    std::vector<uint32_t> expected = {wire::CMD_ADDRESS, kLoadAddress};
    expected.insert(expected.end(), c.result ? c.ackOnQuery : 4, wire::WORD_ACK);
    if (c.result)
        expected.push_back(wire::CMD_BLOCK_DATA);
    const auto at = std::search(words.begin(), words.end(), expected.begin(), expected.end());
    ASSERT_NE(at, words.end());
    if (!c.result) {
        EXPECT_EQ(at + expected.size(), words.end()) << "four queries, then nothing more";
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, LateAcknowledgement,
                         ::testing::Values(LateCase{"SilentForAWhile", 1, 300, 1},
                                           LateCase{"OnTheThirdQuery", 3, 0, 1},
                                           LateCase{"OnTheFourthQuery", 4, 0, 1},
                                           LateCase{"OnTheFifthQueryIsTooLate", 5, 0, 0}),
                         CaseName());

// A load whose third block the device answers with a wrong CRC, and what follows it.
enum class AfterWrongCrc { Nothing, LoadAgain, CloseTheMode };

struct CrcCase {
    const char* name;
    AfterWrongCrc then;
};

void PrintTo(const CrcCase& c, std::ostream* os) {
    *os << c.name;
}

class WrongCrc : public Faults, public ::testing::WithParamInterface<CrcCase> {};

TEST_P(WrongCrc, StopsTheLoadWhenTheCheckIsOn) {
    BootLoaderScript script;
    script.wrongCrcAt = 3;
    const std::vector<uint8_t> image = OsImage(1);
    Connect(script);
    EnterOsSession();
    int crcCheck = 1;
    link.m_pCrcCheck = &crcCheck;
    EXPECT_EQ(link.LoadRAM(image.data() + 1024, kLoadAddress, kMiB), 0);
    EXPECT_STREQ(link.m_ErrorText, "Error CRC failure");
    EXPECT_EQ(progress.events.back(), "pos 1") << "two blocks passed their check";

    switch (GetParam().then) {
    case AfterWrongCrc::Nothing:
        Disconnect();
        break;
    case AfterWrongCrc::LoadAgain:
        EXPECT_EQ(link.LoadRAM(image.data() + 1024, kLoadAddress, kMiB), 1);
        link.LoadData(wire::DATA_WORD_CLOSE);
        EXPECT_EQ(link.MessageHandler(), 1);
        Disconnect();
        EXPECT_EQ(device->Flashed(FlashPartition::OS), Payload(image)) << "flashed whole";
        break;
    case AfterWrongCrc::CloseTheMode:
        link.LoadData(wire::DATA_WORD_CLOSE);
        EXPECT_EQ(link.MessageHandler(), 0);
        Disconnect();
        EXPECT_EQ(device->LastErrorCode(), kErrorLoadIncomplete);
        EXPECT_FALSE(device->HasFlashed(FlashPartition::OS));
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Then, WrongCrc,
                         ::testing::Values(CrcCase{"StopThere", AfterWrongCrc::Nothing},
                                           CrcCase{"LoadAgainWhole", AfterWrongCrc::LoadAgain},
                                           CrcCase{"CloseTheModeOnAnUnfinishedLoad",
                                                   AfterWrongCrc::CloseTheMode}),
                         CaseName());

TEST_F(Faults, TheCrcCheckPassesAgainstTheDevicesOwnCrc) {
    const std::vector<uint8_t> image = OsImage(1);
    Connect();
    EnterOsSession();
    int crcCheck = 1;
    link.m_pCrcCheck = &crcCheck;
    EXPECT_EQ(link.LoadRAM(image.data() + 1024, kLoadAddress, 65536 * 2 + 5), 1);
    Disconnect();
}

TEST_F(Faults, AFirmwareErrorEndsTheUpdateWithItsCodeShownSigned) {
    BootLoaderScript script;
    script.stream = {StreamItem::Of(StreamItem::ProgressRange, 10),
                     StreamItem::Of(StreamItem::ProgressPos, 4),
                     StreamItem::Of(StreamItem::FirmwareError, static_cast<uint32_t>(-5))};
    Connect(script);
    const UpdateThreadOutcome outcome = Update(OsImage(1));
    Disconnect();
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.failure, UpdateFailure::MessageLoop);
    EXPECT_EQ(page.entries.back(), L"link box: Flash Firmware Error occurred:  code -5");
    EXPECT_TRUE(device->LastUpdateFailed());
}

struct PullCase {
    const char* name;
    DeviceEvent event;
    uint32_t nth;
    bool withIpl;
    UpdateFailure failure;
    std::wstring lastShown;
    bool osFlashed;
};

void PrintTo(const PullCase& c, std::ostream* os) {
    *os << c.name;
}

class PulledCable : public Faults, public ::testing::WithParamInterface<PullCase> {};

TEST_P(PulledCable, EndsTheUpdateWhereItHappens) {
    const PullCase& c = GetParam();
    BootLoaderScript script;
    script.pullAt = {c.event, c.nth};
    const std::vector<uint8_t> image = OsImage(1);
    const std::vector<uint8_t> ipl = HandMadeIpl(image, 5000);
    Connect(script);
    const UpdateThreadOutcome outcome = Update(image, c.withIpl ? &ipl : nullptr);
    EXPECT_EQ(Disconnect(), VirtualBootLoader::End::CablePulled);
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.failure, c.failure);
    ASSERT_FALSE(page.entries.empty());
    EXPECT_EQ(page.entries.back(), c.lastShown);
    EXPECT_FALSE(page.Has(std::wstring(L"notice: ") + said::CONGRATULATIONS));
    EXPECT_EQ(device->HasFlashed(FlashPartition::OS), c.osFlashed);
}

std::wstring Status(const wchar_t* t) {
    return std::wstring(L"status: ") + t;
}
std::wstring Box(const wchar_t* t) {
    return std::wstring(L"box: ") + t;
}
const wchar_t* const kLost =
    L"link box: Error, lost the connection to the handset while it was flashing.";

// Each moment is one at which nothing the host still expects is on its way to it, so the
// failing call does not depend on timing. A lost handset shows the same text as a refusal, but
// the worker records a link that failed, not a refusal.
INSTANTIATE_TEST_SUITE_P(
    Moments, PulledCable,
    ::testing::Values(PullCase{"AtTheKey", DeviceEvent::Key, 1, false, UpdateFailure::Transfer,
                               Box(said::INVALID_IMAGE_NORMAL), false},
                      PullCase{"AtReadinessAfterTheIpl", DeviceEvent::Readiness, 2, true,
                               UpdateFailure::FlashMode, Status(said::OS_FAILED), false},
                      PullCase{"AtTheVersion", DeviceEvent::OfferedVersion, 1, false,
                               UpdateFailure::Transfer, Status(said::OS_FAILED), false},
                      PullCase{"HalfWayThroughBlock5", DeviceEvent::Block, 5, false,
                               UpdateFailure::Transfer, Status(said::OS_FAILED), false},
                      PullCase{"AtTheClosingHandshake", DeviceEvent::AckQuery, 18, false,
                               UpdateFailure::Transfer, Status(said::OS_FAILED), false},
                      PullCase{"InTheMessageStream", DeviceEvent::Stream, 3, false,
                               UpdateFailure::MessageLoop, kLost, true}),
    CaseName());

TEST_F(Faults, APulledCableInTheStreamIsReportedAsALostHandset) {
    BootLoaderScript script;
    script.stream = {StreamItem::Of(StreamItem::ProgressRange, 10),
                     StreamItem::Of(StreamItem::PullCable)};
    Connect(script);
    const UpdateThreadOutcome outcome = Update(OsImage(1));
    Disconnect();
    EXPECT_EQ(outcome.failure, UpdateFailure::MessageLoop);
    EXPECT_EQ(page.entries.back(), kLost);
    EXPECT_TRUE(device->HasFlashed(FlashPartition::OS)) << "it had everything before the pull";
}

TEST_F(Faults, APullAfterAByteCountCutsABlockInTwo) {
    BootLoaderScript script;
    script.pullAfterHostBytes = 300000;
    Connect(script);
    const UpdateThreadOutcome outcome = Update(OsImage(1));
    Disconnect();
    EXPECT_EQ(outcome.failure, UpdateFailure::Transfer);
    EXPECT_EQ(page.entries.back(), Status(said::OS_FAILED));
    EXPECT_EQ(device->BytesFromHost(), 300000u);
}

} // namespace
