// The update worker and its thread entry on the real link against the virtual boot loader:
// what reaches the handset, and what the page shows on every road, word for word.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CaseName.h"
#include "HandMadeImage.h"
#include "MemoryWire.h"
#include "Transcript.h"
#include "UpdateThreadRun.h"
#include "VirtualBootLoader.h"
#include "WireWords.h"
#include "WorkerTexts.h"

namespace {

using Entries = std::vector<std::wstring>;

constexpr uint32_t kMiB = 1048576;

// A byte pipe that counts how often the link closes the device.
class CloseCounter : public BytePipe {
public:
    explicit CloseCounter(BytePipe& inner) : inner_(inner) {}
    DeviceHandle Open() override { return inner_.Open(); }
    void Close() override {
        ++closes;
        inner_.Close();
    }
    bool WriteAll(const uint8_t* d, uint32_t n) override { return inner_.WriteAll(d, n); }
    bool ReadAll(uint8_t* d, uint32_t n) override { return inner_.ReadAll(d, n); }
    void SetSilenceLimit(uint32_t ms) override { inner_.SetSilenceLimit(ms); }
    int closes = 0;

private:
    BytePipe& inner_;
};

// A calendar that moves on by a fixed span between the start and the end of a run.
class JumpingClock : public LinkClock {
public:
    explicit JumpingClock(uint32_t span) : span_(span) {}
    uint32_t NowSeconds() override { return readings_++ == 0 ? 100000 : 100000 + span_; }

private:
    uint32_t span_;
    int readings_ = 0;
};

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t length) {
    return std::vector<uint8_t>(v.begin() + from, v.begin() + from + length);
}

Version V(std::initializer_list<uint8_t> bytes) {
    Version v{};
    std::copy(bytes.begin(), bytes.end(), v.begin());
    return v;
}

Version Newest() {
    Version v;
    v.fill(0xFF);
    return v;
}

std::wstring Status(const wchar_t* t) {
    return std::wstring(L"status: ") + t;
}
std::wstring Box(const wchar_t* t) {
    return std::wstring(L"box: ") + t;
}
std::wstring Guidance(const wchar_t* t) {
    return std::wstring(L"guidance: ") + t;
}
std::wstring Notice(const wchar_t* t) {
    return std::wstring(L"notice: ") + t;
}

// What every run shows first.
const Entries kStart = {Status(said::DOWNLOADING), Guidance(said::GUIDANCE_UPDATING)};

Entries StartThen(const Entries& more) {
    Entries all = kStart;
    all.insert(all.end(), more.begin(), more.end());
    return all;
}

// One update page's run against the virtual boot loader, over the real link.
class Worker : public ::testing::Test {
protected:
    void SetUp() override {
        SucceededFlag(PageKind::Normal) = 0;
        SucceededFlag(PageKind::Rescue) = 0;
    }

    // Runs the thread entry as the page's worker thread would; returns its exit code.
    uint32_t Run(PageKind kind = PageKind::Normal, LinkClock* clock = nullptr,
                 BytePipe* pipe = nullptr) {
        device.reset(new VirtualBootLoader(script));
        device->Start(wire.DeviceEnd());
        link.SetPipe(pipe ? pipe : &counter);
        EXPECT_EQ(link.OpenUsbSyncDriver(), 1);
        outcome = RunUpdateThread(link, page, image, ipl.empty() ? nullptr : &ipl, kind, clock);
        closesByWorker = counter.closes;
        // A failed run leaves the link open; the page's end closes it.
        if (counter.closes == 0)
            link.CloseUSBSyncDriver();
        device->Wait();
        return outcome.exitCode;
    }

    BootLoaderScript script;
    MemoryWire wire;
    CloseCounter counter{wire.HostEnd()};
    std::unique_ptr<VirtualBootLoader> device;
    CVug_CommsDLL link;
    RecordingPage page;
    std::vector<uint8_t> image, ipl;
    UpdateThreadOutcome outcome;
    int closesByWorker = 0;
};

TEST_F(Worker, OsUpdateWithoutIplFlashesThePayloadAndEndsWithTheSuccessTexts) {
    image = HandMadeImage{0xCE, 2, 0}.Bytes();
    JumpingClock clock(245);
    EXPECT_EQ(Run(PageKind::Normal, &clock), 1u);

    EXPECT_EQ(page.entries,
              StartThen({Status(said::UPGRADE_OS), Status(said::UPGRADE_COMPLETED),
                         Status(L"Task is Successful (04 Minutes, 05 Seconds)"),
                         Notice(said::CONGRATULATIONS), Guidance(said::CLICK_CLOSE)}));
    EXPECT_EQ(outcome.failure, UpdateFailure::None);
    ASSERT_TRUE(device->HasFlashed(FlashPartition::OS));
    EXPECT_EQ(device->Flashed(FlashPartition::OS), Slice(image, 1024, 2 * kMiB));
    EXPECT_FALSE(device->HasFlashed(FlashPartition::IPL));
    EXPECT_EQ(device->DataWords(), std::vector<uint32_t>{wire::DATA_WORD_CLOSE})
        << "without an IPL the closing word is sent once, after the partition";
    EXPECT_EQ(device->FlashModes(), std::vector<uint32_t>{wire::FLASH_MODE_OS});
    EXPECT_EQ(device->Key(), Slice(image, 0, 96));
    EXPECT_EQ(device->Held(FlashPartition::OS), V({0x21, 0x22, 0x23, 0x24, 0x25, 0x26}))
        << "the OS version is the six bytes at offset 106";
    EXPECT_EQ(page.ranges.front(), 32u) << "two MiB are 32 blocks";

    EXPECT_EQ(closesByWorker, 1);
    EXPECT_EQ(page.lastPos, 0u);
    EXPECT_EQ(page.waitCursor, (std::vector<bool>{true, false}));
    EXPECT_TRUE(page.closeEnabled);
    EXPECT_TRUE(page.updateDisabled);
    EXPECT_TRUE(outcome.updateReleased);
    EXPECT_EQ(SucceededFlag(PageKind::Normal).load(), 1);
    EXPECT_EQ(SucceededFlag(PageKind::Rescue).load(), 0);
}

TEST_F(Worker, IplThenOsAndCpPlacesEveryPartitionAndVersion) {
    image = HandMadeImage{0xE0, 1, 2}.Bytes();
    ipl = HandMadeIpl(image, 70000);
    EXPECT_EQ(Run(), 1u);

    EXPECT_EQ(device->Flashed(FlashPartition::IPL), Slice(ipl, 1024, 70000));
    EXPECT_EQ(device->Flashed(FlashPartition::OS), Slice(image, 1024, kMiB));
    EXPECT_EQ(device->Flashed(FlashPartition::CP), Slice(image, 1024 + kMiB, 2 * kMiB))
        << "the CP follows OS size MiB of payload";
    EXPECT_EQ(device->FlashModes(),
              (std::vector<uint32_t>{wire::FLASH_MODE_BEFORE_IPL, wire::FLASH_MODE_OSCP}));
    EXPECT_EQ(device->DataWords(),
              (std::vector<uint32_t>{wire::DATA_WORD_CLOSE, wire::DATA_WORD_SIZES_FOLLOW,
                                     0x00010002, wire::DATA_WORD_CLOSE}));
    EXPECT_EQ(device->Held(FlashPartition::IPL), V({0x41, 0x42, 0x43, 0x44, 0x45, 0x46}))
        << "the IPL's version comes from offset 100 of the IPL image";
    EXPECT_EQ(device->Held(FlashPartition::OS), V({0x21, 0x22, 0x23, 0x24, 0x25, 0x26}));
    EXPECT_EQ(device->Held(FlashPartition::CP), V({0x31, 0x32, 0x33, 0x34, 0x35, 0x36}));
    EXPECT_EQ(device->Key(), Slice(image, 0, 96)) << "the IPL's key block is never sent";
    EXPECT_EQ(page.ranges, (std::vector<uint32_t>{2, 16, 32, 100, 100}))
        << "blocks of the IPL, the OS and the CP, then the message loop's and the handset's";
    EXPECT_EQ(std::vector<std::wstring>(page.entries.begin(), page.entries.begin() + 6),
              StartThen({Status(said::UPGRADE_IPL), Status(said::UPGRADE_OS),
                         Status(said::UPGRADE_CP), Status(said::UPGRADE_COMPLETED)}));
}

TEST_F(Worker, CpOnlySendsTheWholePayloadWhateverTheCpSizeSays) {
    HandMadeImage cp{0xC0, 0, 9};
    cp.payloadBytes = 3 * 65536 + 1;
    image = cp.Bytes();
    EXPECT_EQ(Run(), 1u);
    EXPECT_EQ(device->Flashed(FlashPartition::CP), Slice(image, 1024, 3 * 65536 + 1));
    EXPECT_EQ(device->FlashModes(), std::vector<uint32_t>{wire::FLASH_MODE_CP});
    EXPECT_EQ(device->Held(FlashPartition::CP), V({0x31, 0x32, 0x33, 0x34, 0x35, 0x36}))
        << "the CP version is the six bytes at offset 112";
    EXPECT_EQ(page.ranges.front(), 4u) << "three full blocks and a one-byte block";
}

TEST_F(Worker, KeyTwoWaivesEveryVersionRefusal) {
    for (Version& v : script.held)
        v = Newest();
    script.keyReply = KeyReply::AcceptAlt;
    image = HandMadeImage{0xE0, 1, 1}.Bytes();
    ipl = HandMadeIpl(image, 5000);
    EXPECT_EQ(Run(), 1u);
    EXPECT_TRUE(device->HasFlashed(FlashPartition::IPL));
    EXPECT_TRUE(device->HasFlashed(FlashPartition::OS));
    EXPECT_TRUE(device->HasFlashed(FlashPartition::CP));
    EXPECT_FALSE(page.Has(Box(said::VERSION_OLDER)));
    EXPECT_TRUE(page.Has(Notice(said::CONGRATULATIONS)));
}

TEST_F(Worker, TheElapsedTimeDropsTheHour) {
    image = HandMadeImage{0xCE, 1, 0}.Bytes();
    JumpingClock clock(3725);
    EXPECT_EQ(Run(PageKind::Normal, &clock), 1u);
    EXPECT_TRUE(page.Has(L"status: Task is Successful (02 Minutes, 05 Seconds)"));
    EXPECT_EQ(FormatElapsed(0), L"(00 Minutes, 00 Seconds)");
}

// A whole small update as bytes on the wire: an IPL, then a CP-only image of one full and one
// partial block, then the handset's report of its flashing.
TEST_F(Worker, TheWholeExchangeOfASmallUpdateWordForWord) {
    HandMadeImage cp{0xC0, 0, 0};
    cp.payloadBytes = 65536 + 100;
    image = cp.Bytes();
    ipl = HandMadeIpl(image, 10);
    RecordingPipe recorder(counter);
    EXPECT_EQ(Run(PageKind::Normal, nullptr, &recorder), 1u);

    const std::vector<std::string> expected = {
        // the key block, accepted
        "> CMD_KEY_LENGTH", "> 0x00000060", "> CMD_KEY_DATA", "> 96 bytes", "< REPLY_KEY_OK",
        // the IPL: readiness, its flash mode, its version, its RAM load, the closing word
        "< MSG_READY", "> MSG_FLASH_MODE", "> 0xFFFF00BF", "> CMD_VERSION_LENGTH", "> 0x00000006",
        "> CMD_VERSION_DATA", "> 6 bytes", "< REPLY_VERSION_OK", "> WORD_ACK", "< WORD_ACK",
        "> CMD_TOTAL_LENGTH", "> 0x0000000A", "> CMD_BLOCK_SIZE", "> 0x00010000", "> CMD_ADDRESS",
        "> 0x10100000", "> CMD_BLOCK_SIZE", "> 0x0000000A", "> WORD_ACK", "< WORD_ACK",
        "> CMD_BLOCK_DATA", "> 10 bytes", "> WORD_ACK", "< WORD_ACK", "> 0xFFFF2001",
        // the CP: readiness, flash mode, version, one full and one partial block
        "< MSG_READY", "> MSG_FLASH_MODE", "> 0xFFFF000C", "> CMD_VERSION_LENGTH", "> 0x00000006",
        "> CMD_VERSION_DATA", "> 6 bytes", "< REPLY_VERSION_OK", "> WORD_ACK", "< WORD_ACK",
        "> CMD_TOTAL_LENGTH", "> 0x00010064", "> CMD_BLOCK_SIZE", "> 0x00010000", "> CMD_ADDRESS",
        "> 0x10100000", "> WORD_ACK", "< WORD_ACK", "> CMD_BLOCK_DATA", "> 65536 bytes",
        "> CMD_ADDRESS", "> 0x10110000", "> CMD_BLOCK_SIZE", "> 0x00000064", "> WORD_ACK",
        "< WORD_ACK", "> CMD_BLOCK_DATA", "> 100 bytes", "> WORD_ACK", "< WORD_ACK",
        // the closing word and the handset's report of its flashing
        "> 0xFFFF2001", "< MSG_TEXT_LENGTH", "< 0x0000000D", "< MSG_TEXT", "< 13 bytes",
        "< MSG_PROGRESS_RANGE", "< 0x00000064", "< MSG_PROGRESS_POS", "< 0x00000019",
        "< MSG_PROGRESS_POS", "< 0x00000032", "< MSG_PROGRESS_POS", "< 0x0000004B",
        "< MSG_PROGRESS_POS", "< 0x00000064", "< WORD_ACK"};
    EXPECT_EQ(recorder.Lines(wire::Name), expected);

    // The bytes behind the "bytes" lines: the key block and each version from its offset.
    const std::vector<RecordingPipe::Call>& calls = recorder.Calls();
    std::vector<std::vector<uint8_t>> blocks;
    for (const RecordingPipe::Call& c : calls)
        if (c.write && c.bytes.size() != 4 && !c.bytes.empty())
            blocks.push_back(c.bytes);
    ASSERT_GE(blocks.size(), 4u);
    EXPECT_EQ(blocks[0], Slice(image, 0, 96));
    EXPECT_EQ(blocks[1], Slice(ipl, 100, 6)) << "the IPL's version";
    EXPECT_EQ(blocks[1], (std::vector<uint8_t>{0x41, 0x42, 0x43, 0x44, 0x45, 0x46}));
    EXPECT_EQ(blocks[2], Slice(ipl, 1024, 10));
    EXPECT_EQ(blocks[3], (std::vector<uint8_t>{0x31, 0x32, 0x33, 0x34, 0x35, 0x36}))
        << "the CP version";
}

// Every road on which a run fails once something has been sent, with all the page shows in
// order: a procedure's own message comes before the worker's word on that procedure.
struct Road {
    const char* name;
    HandMadeImage kit;
    bool withIpl;
    void (*fault)(BootLoaderScript&);
    PageKind kind;
    Entries shown; // after the two texts of every start
    UpdateFailure failure;
};

void PrintTo(const Road& c, std::ostream* os) {
    *os << c.name;
}

void PullAt(BootLoaderScript& s, DeviceEvent e, uint32_t nth) {
    s.pullAt = {e, nth};
}
void NeverReady(BootLoaderScript& s) {
    s.readiness = Readiness::NotReady;
}
void Refuse(BootLoaderScript& s, FlashPartition p) {
    s.held[static_cast<int>(p)] = Newest();
}
// While flashing, the handset announces an upload that no 32-bit PC can hold.
void AnnounceAnUploadOf2GiB(BootLoaderScript& s) {
    s.stream = {StreamItem::Of(StreamItem::Word, wire::MSG_UPLOAD_BEGIN),
                StreamItem::Of(StreamItem::Word, 0x80000000u)};
}

class FailureRoads : public Worker, public ::testing::WithParamInterface<Road> {};

TEST_P(FailureRoads, ShowTheirTextsInOrderAndEndTheRun) {
    const Road& r = GetParam();
    image = r.kit.Bytes();
    if (r.withIpl)
        ipl = HandMadeIpl(image, 70000);
    r.fault(script);
    EXPECT_EQ(Run(r.kind), 0u);
    EXPECT_EQ(page.entries, StartThen(r.shown));
    EXPECT_EQ(outcome.failure, r.failure);
    EXPECT_EQ(closesByWorker, 0) << "a failed run leaves the link open";
    EXPECT_EQ(page.waitCursor, (std::vector<bool>{true, false}));
    EXPECT_TRUE(page.closeEnabled);
    EXPECT_EQ(page.updateDisabled, r.kind == PageKind::Normal);
    EXPECT_TRUE(outcome.updateReleased);
    EXPECT_EQ(SucceededFlag(PageKind::Normal).load(), 0);
    EXPECT_EQ(SucceededFlag(PageKind::Rescue).load(), 0);
}

const HandMadeImage kOs{0xCE, 1, 0};
const HandMadeImage kCp{0xC0, 0, 1};
const HandMadeImage kOsCp{0xE0, 1, 1};

INSTANTIATE_TEST_SUITE_P(Roads, FailureRoads,
                         ::testing::Values(
                             Road{"KeyRefusedOnTheNormalPage",
                                  kOs,
                                  false,
                                  [](BootLoaderScript& s) { s.keyReply = KeyReply::Refuse; },
                                  PageKind::Normal,
                                  {Box(said::INVALID_IMAGE_NORMAL)},
                                  UpdateFailure::KeyRefused},
                             Road{"KeyRefusedOnTheRescuePage",
                                  kOs,
                                  false,
                                  [](BootLoaderScript& s) { s.keyReply = KeyReply::Refuse; },
                                  PageKind::Rescue,
                                  {Box(said::INVALID_IMAGE_RESCUE)},
                                  UpdateFailure::KeyRefused},
                             Road{"IplModeNotTaken",
                                  kOs,
                                  true,
                                  NeverReady,
                                  PageKind::Normal,
                                  {Status(said::IPL_MODE_FAILED)},
                                  UpdateFailure::FlashMode},
                             Road{"OsModeNotTaken",
                                  kOs,
                                  false,
                                  NeverReady,
                                  PageKind::Normal,
                                  {Box(said::FLASH_MODE_ERROR_1), Status(said::OS_FAILED)},
                                  UpdateFailure::FlashMode},
                             Road{"CpModeNotTaken",
                                  kCp,
                                  false,
                                  NeverReady,
                                  PageKind::Normal,
                                  {Box(said::FLASH_MODE_ERROR_2), Status(said::CP_FAILED)},
                                  UpdateFailure::FlashMode},
                             Road{"OsCpModeNotTaken",
                                  kOsCp,
                                  false,
                                  NeverReady,
                                  PageKind::Normal,
                                  {Box(said::FLASH_MODE_ERROR_3), Status(said::OSCP_FAILED)},
                                  UpdateFailure::FlashMode},
                             Road{"IplVersionRefused",
                                  kOs,
                                  true,
                                  [](BootLoaderScript& s) { Refuse(s, FlashPartition::IPL); },
                                  PageKind::Normal,
                                  {Box(said::VERSION_OLDER), Box(said::IPL_FAILED)},
                                  UpdateFailure::VersionRefused},
                             Road{"OsVersionRefused",
                                  kOs,
                                  false,
                                  [](BootLoaderScript& s) { Refuse(s, FlashPartition::OS); },
                                  PageKind::Normal,
                                  {Box(said::VERSION_OLDER), Status(said::OS_FAILED)},
                                  UpdateFailure::VersionRefused},
                             Road{"CpVersionRefused",
                                  kCp,
                                  false,
                                  [](BootLoaderScript& s) { Refuse(s, FlashPartition::CP); },
                                  PageKind::Normal,
                                  {Box(said::VERSION_OLDER), Status(said::CP_FAILED)},
                                  UpdateFailure::VersionRefused},
                             Road{"OsVersionOfOsAndCpRefused",
                                  kOsCp,
                                  false,
                                  [](BootLoaderScript& s) { Refuse(s, FlashPartition::OS); },
                                  PageKind::Normal,
                                  {Box(said::VERSION_OLDER), Status(said::OSCP_FAILED)},
                                  UpdateFailure::VersionRefused},
                             Road{"CpVersionOfOsAndCpRefused",
                                  kOsCp,
                                  false,
                                  [](BootLoaderScript& s) { Refuse(s, FlashPartition::CP); },
                                  PageKind::Normal,
                                  {Box(said::VERSION_OLDER), Status(said::OSCP_FAILED)},
                                  UpdateFailure::VersionRefused},
                             Road{"IplTransferFails",
                                  kOs,
                                  true,
                                  [](BootLoaderScript& s) { PullAt(s, DeviceEvent::Block, 1); },
                                  PageKind::Normal,
                                  {Status(said::UPGRADE_IPL), Box(said::IPL_SEND_FAILED),
                                   Box(said::IPL_FAILED)},
                                  UpdateFailure::Transfer},
                             Road{"OsTransferFails",
                                  kOs,
                                  false,
                                  [](BootLoaderScript& s) { PullAt(s, DeviceEvent::Block, 3); },
                                  PageKind::Normal,
                                  {Status(said::UPGRADE_OS), Box(said::OS_SEND_FAILED),
                                   Status(said::OS_FAILED)},
                                  UpdateFailure::Transfer},
                             Road{"CpTransferFails",
                                  kCp,
                                  false,
                                  [](BootLoaderScript& s) { PullAt(s, DeviceEvent::Block, 3); },
                                  PageKind::Rescue,
                                  {Status(said::UPGRADE_CP), Box(said::IMAGE_SEND_FAILED),
                                   Status(said::CP_FAILED)},
                                  UpdateFailure::Transfer},
                             Road{"OsOfOsAndCpFails",
                                  kOsCp,
                                  false,
                                  [](BootLoaderScript& s) { PullAt(s, DeviceEvent::Block, 16); },
                                  PageKind::Normal,
                                  {Status(said::UPGRADE_OS), Box(said::OS_SEND_FAILED),
                                   Status(said::OSCP_FAILED)},
                                  UpdateFailure::Transfer},
                             Road{"CpOfOsAndCpFails",
                                  kOsCp,
                                  false,
                                  [](BootLoaderScript& s) { PullAt(s, DeviceEvent::Block, 17); },
                                  PageKind::Normal,
                                  {Status(said::UPGRADE_OS), Status(said::UPGRADE_CP),
                                   Box(said::CP_SEND_FAILED), Status(said::OSCP_FAILED)},
                                  UpdateFailure::Transfer},
                             Road{"FirmwareErrorWhileFlashing",
                                  kOs,
                                  false,
                                  [](BootLoaderScript& s) {
                                      s.stream = {StreamItem::Of(StreamItem::ProgressRange, 10),
                                                  StreamItem::Of(StreamItem::FirmwareError, 7)};
                                  },
                                  PageKind::Normal,
                                  {Status(said::UPGRADE_OS), Status(said::UPGRADE_COMPLETED),
                                   L"link box: Flash Firmware Error occurred:  code 7"},
                                  UpdateFailure::MessageLoop},
                             Road{"UploadThePcCannotHold",
                                  kOs,
                                  false,
                                  AnnounceAnUploadOf2GiB,
                                  PageKind::Rescue,
                                  {Status(said::UPGRADE_OS), Status(said::UPGRADE_COMPLETED),
                                   L"link box: Error, the handset announced an upload of "
                                   L"2147483648 bytes; the PC cannot hold it.",
                                   Status(said::UPLOAD_REFUSED)},
                                  UpdateFailure::UploadRefused}),
                         CaseName());

TEST_F(Worker, ARefusedOsVersionOfOsAndCpSendsNeitherDataWord) {
    Refuse(script, FlashPartition::OS);
    image = kOsCp.Bytes();
    EXPECT_EQ(Run(), 0u);
    EXPECT_TRUE(device->DataWords().empty());
    EXPECT_FALSE(device->HasFlashed(FlashPartition::OS));
}

TEST_F(Worker, TheIplProcedureCanSelectItsOwnMode) {
    image = kOs.Bytes();
    ipl = HandMadeIpl(image, 100);
    device.reset(new VirtualBootLoader(script));
    device->Start(wire.DeviceEnd());
    link.SetPipe(&counter);
    ASSERT_EQ(link.OpenUsbSyncDriver(), 1);
    link.SetMessageSink(&page);
    ImageRecord iplRecord = RecordOf(ipl), update = RecordOf(image);
    link.m_pCrcCheck = &update.crcCheck;
    UpdateRun run(link, update, iplRecord, page, PageKind::Normal);
    ASSERT_NE(link.LoadKey(update.data.get(), 96), 0);
    EXPECT_EQ(IplProcedure(run, iplRecord, 1, true), 1);
    link.CloseUSBSyncDriver();
    device->Wait();
    EXPECT_EQ(device->FlashModes(), std::vector<uint32_t>{wire::FLASH_MODE_IPL});
    EXPECT_EQ(page.entries, Entries{Status(said::UPGRADE_IPL)});

    // Against a handset that never says it is ready, it says so on the status line.
    MemoryWire dead;
    dead.PullCable();
    CVug_CommsDLL deadLink;
    deadLink.SetPipe(&dead.HostEnd());
    UpdateRun deadRun(deadLink, update, iplRecord, page, PageKind::Normal);
    page.entries.clear();
    EXPECT_EQ(IplProcedure(deadRun, iplRecord, 1, true), 0);
    EXPECT_EQ(page.entries, Entries{Status(said::IPL_MODE_FAILED)});
}

// Kits that must stop the run before the key: nothing reaches the handset.
struct StopCase {
    const char* name;
    std::vector<uint8_t> (*update)();
    std::vector<uint8_t> (*ipl)(const std::vector<uint8_t>& update); // or null
    std::wstring shown;
    UpdateFailure failure;
};

void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.name;
}

class WorkerStops : public Worker, public ::testing::WithParamInterface<StopCase> {};

TEST_P(WorkerStops, BeforeAnythingIsSent) {
    const StopCase& c = GetParam();
    image = c.update();
    if (c.ipl)
        ipl = c.ipl(image);
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(device->BytesFromHost(), 0u);
    EXPECT_EQ(outcome.failure, c.failure);
    EXPECT_EQ(page.entries, StartThen({c.shown}));
}

std::vector<uint8_t> OsImage() {
    return kOs.Bytes();
}

std::vector<uint8_t> Lying(uint8_t mode, uint16_t os, uint16_t cp, int64_t payload) {
    HandMadeImage lie{mode, os, cp};
    lie.payloadBytes = payload;
    return lie.Bytes();
}

INSTANTIATE_TEST_SUITE_P(
    Kits, WorkerStops,
    ::testing::Values(
        StopCase{"IplOfAnotherFamily", OsImage,
                 [](const std::vector<uint8_t>& u) {
                     std::vector<uint8_t> i = HandMadeIpl(u, 100);
                     i[0] ^= 0xFF;
                     return i;
                 },
                 Box(said::IPL_MISMATCH), UpdateFailure::IplMismatch},
        StopCase{"IplDifferingOnlyInTheLastSignatureByte", OsImage,
                 [](const std::vector<uint8_t>& u) {
                     std::vector<uint8_t> i = HandMadeIpl(u, 100);
                     i[31] ^= 0x01;
                     return i;
                 },
                 Box(said::IPL_MISMATCH), UpdateFailure::IplMismatch},
        StopCase{"IplShorterThanItsHeader", OsImage,
                 [](const std::vector<uint8_t>& u) {
                     std::vector<uint8_t> i = HandMadeIpl(u, 0);
                     i.resize(1000);
                     return i;
                 },
                 L"box: The IPL image is damaged: it is 1000 bytes long, shorter than its "
                 L"1024-byte header.",
                 UpdateFailure::DamagedImage},
        StopCase{"UnknownUpdateMode", [] { return Lying(0x5A, 1, 0, kMiB); }, nullptr,
                 Status(said::NO_UPDATE_MODE), UpdateFailure::UnknownMode},
        StopCase{"OsLargerThanTheFile", [] { return Lying(0xCE, 3, 0, kMiB); }, nullptr,
                 L"box: The update image is damaged: its OS partition (3145728 bytes from "
                 L"offset 1024) ends past the end of the 1049600-byte file.",
                 UpdateFailure::DamagedImage},
        StopCase{"ShorterThanItsHeader",
                 [] {
                     std::vector<uint8_t> i = Lying(0xCE, 0, 0, 0);
                     i.resize(500);
                     return i;
                 },
                 nullptr,
                 L"box: The update image is damaged: it is 500 bytes long, shorter than its "
                 L"1024-byte header.",
                 UpdateFailure::DamagedImage},
        StopCase{"CpPastTheEnd", [] { return Lying(0xE0, 1, 1, kMiB + 10); }, nullptr,
                 L"box: The update image is damaged: its CP partition (1048576 bytes from "
                 L"offset 1049600) ends past the end of the 1049610-byte file.",
                 UpdateFailure::DamagedImage}),
    CaseName());

} // namespace
