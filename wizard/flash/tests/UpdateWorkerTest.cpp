#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "CVug_CommsDLL.h"
#include "LinkWords.h"
#include "MemoryWire.h"
#include "RecordingPage.h"
#include "SampleKit.h"
#include "UpdateTexts.h"
#include "UpdateWorker.h"
#include "VirtualBootLoader.h"

namespace {

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

ImageRecord Record(const std::vector<uint8_t>& bytes) {
    ImageRecord r;
    r.size = static_cast<uint32_t>(bytes.size());
    r.data.reset(new uint8_t[bytes.size() ? bytes.size() : 1]);
    if (!bytes.empty())
        std::memcpy(r.data.get(), bytes.data(), bytes.size());
    return r;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t length) {
    return std::vector<uint8_t>(v.begin() + from, v.begin() + from + length);
}

Version Newest() {
    Version v;
    v.fill(0xFF);
    return v;
}

// One update page's run against the virtual boot loader, over the real link.
class Worker : public ::testing::Test {
protected:
    void SetUp() override {
        SucceededFlag(PageKind::Normal) = 0;
        SucceededFlag(PageKind::Rescue) = 0;
    }

    void Kit(const SampleImageSpec& spec, const SampleImageSpec* iplSpec = nullptr) {
        image = BuildSampleImage(spec);
        update = Record(image);
        if (iplSpec) {
            iplImage = BuildSampleImage(*iplSpec);
            ipl = Record(iplImage);
        }
    }

    // Runs the thread entry as the page's worker thread would; returns its exit code.
    uint32_t Run(PageKind kind = PageKind::Normal, LinkClock* clock = nullptr) {
        device.reset(new VirtualBootLoader(script));
        device->Start(wire.DeviceEnd());
        link.SetPipe(&counter);
        link.m_pProgress = &page;
        link.m_pCrcCheck = &update.crcCheck;
        link.SetMessageSink(&page);
        EXPECT_EQ(link.OpenUsbSyncDriver(), 1);
        UpdateRun run(link, update, ipl, page, kind);
        if (clock)
            run.clock = clock;
        uint32_t code = UpdateThreadEntry(run);
        failure = run.failure;
        closesByWorker = counter.closes;
        // A failed run leaves the link open; the page's end closes it.
        if (counter.closes == 0)
            link.CloseUSBSyncDriver();
        device->Wait();
        return code;
    }

    bool Succeeded() const {
        return page.Has(std::wstring(L"notice: ") + TXT_CONGRATULATIONS) &&
               page.Has(std::wstring(L"guidance: ") + TXT_CLICK_CLOSE);
    }

    BootLoaderScript script;
    MemoryWire wire;
    CloseCounter counter{wire.HostEnd()};
    std::unique_ptr<VirtualBootLoader> device;
    CVug_CommsDLL link;
    RecordingPage page;
    std::vector<uint8_t> image, iplImage;
    ImageRecord update, ipl;
    UpdateFailure failure = UpdateFailure::None;
    int closesByWorker = 0;
};

TEST_F(Worker, OsUpdateWithoutIplFlashesThePayloadAndEndsWithTheSuccessTexts) {
    Kit(SampleSpec(UPDATE_MODE_OS, 2, 0));
    EXPECT_EQ(Run(), 1u);

    EXPECT_EQ(failure, UpdateFailure::None);
    ASSERT_TRUE(device->HasFlashed(FlashPartition::OS));
    EXPECT_EQ(device->Flashed(FlashPartition::OS), Slice(image, 1024, 2 * MIB));
    EXPECT_FALSE(device->HasFlashed(FlashPartition::IPL));
    EXPECT_EQ(device->DataWords(), std::vector<uint32_t>{DATA_WORD_CLOSE})
        << "without an IPL the closing word is sent once, after the partition";
    EXPECT_EQ(device->FlashModes(), std::vector<uint32_t>{FLASH_MODE_OS});
    EXPECT_EQ(device->Key(), Slice(image, 0, 96));

    const std::vector<std::wstring> expected = {
        L"status: Downloading Data...",
        std::wstring(L"guidance: ") + TXT_GUIDANCE_UPDATING,
        L"status: Upgrade OS",
        L"status: Upgrade completed.",
    };
    ASSERT_GE(page.entries.size(), expected.size() + 3);
    EXPECT_EQ(std::vector<std::wstring>(page.entries.begin(), page.entries.begin() + 4), expected);
    EXPECT_EQ(page.entries[4].rfind(L"status: Task is Successful (", 0), 0u)
        << page.entries[4].c_str();
    EXPECT_TRUE(Succeeded());
    EXPECT_EQ(closesByWorker, 1);
    EXPECT_EQ(page.lastPos, 0u);
    EXPECT_EQ(page.waitCursor, (std::vector<bool>{true, false}));
    EXPECT_TRUE(page.closeEnabled);
    EXPECT_TRUE(page.updateDisabled);
    EXPECT_FALSE(update.HasData()) << "the thread entry releases the update image";
    EXPECT_EQ(SucceededFlag(PageKind::Normal), 1);
    EXPECT_EQ(SucceededFlag(PageKind::Rescue), 0);
}

TEST_F(Worker, IplThenOsAndCpPlacesEveryPartition) {
    SampleImageSpec iplSpec = SampleSpec(UPDATE_MODE_OSCP, 0, 0);
    iplSpec.payloadBytes = 70000;
    iplSpec.seed = 9;
    Kit(SampleSpec(UPDATE_MODE_OSCP, 1, 2), &iplSpec);
    EXPECT_EQ(Run(), 1u);

    EXPECT_EQ(device->Flashed(FlashPartition::IPL), Slice(iplImage, 1024, 70000));
    EXPECT_EQ(device->Flashed(FlashPartition::OS), Slice(image, 1024, MIB));
    EXPECT_EQ(device->Flashed(FlashPartition::CP), Slice(image, 1024 + MIB, 2 * MIB))
        << "the CP follows OS size MiB of payload";
    EXPECT_EQ(device->FlashModes(),
              (std::vector<uint32_t>{FLASH_MODE_BEFORE_IPL, FLASH_MODE_OSCP}));
    EXPECT_EQ(device->DataWords(), (std::vector<uint32_t>{DATA_WORD_CLOSE, DATA_WORD_SIZES_FOLLOW,
                                                          (1u << 16) | 2u, DATA_WORD_CLOSE}));
    EXPECT_TRUE(page.Has(L"status: Upgrade IPL"));
    EXPECT_TRUE(page.Has(L"status: Upgrade CP"));
    EXPECT_TRUE(Succeeded());
}

TEST_F(Worker, CpOnlySendsTheWholePayloadWhateverTheCpSizeSays) {
    SampleImageSpec spec = SampleSpec(UPDATE_MODE_CP, 0, 9);
    spec.payloadBytes = 3 * 65536 + 1;
    Kit(spec);
    EXPECT_EQ(Run(), 1u);
    EXPECT_EQ(device->Flashed(FlashPartition::CP), Slice(image, 1024, 3 * 65536 + 1));
    EXPECT_EQ(device->FlashModes(), std::vector<uint32_t>{FLASH_MODE_CP});
    EXPECT_TRUE(page.Has(L"status: Upgrade CP"));
}

TEST_F(Worker, KeyTwoWaivesEveryVersionRefusal) {
    for (Version& v : script.held)
        v = Newest();
    script.keyReply = KeyReply::AcceptAlt;
    SampleImageSpec iplSpec = SampleSpec(UPDATE_MODE_OSCP, 0, 0);
    iplSpec.payloadBytes = 5000;
    Kit(SampleSpec(UPDATE_MODE_OSCP, 1, 1), &iplSpec);
    EXPECT_EQ(Run(), 1u);
    EXPECT_TRUE(device->HasFlashed(FlashPartition::IPL));
    EXPECT_TRUE(device->HasFlashed(FlashPartition::OS));
    EXPECT_TRUE(device->HasFlashed(FlashPartition::CP));
    EXPECT_FALSE(page.Has(std::wstring(L"box: ") + TXT_VERSION_OLDER));
    EXPECT_TRUE(Succeeded());
}

TEST_F(Worker, ARefusedOsVersionStopsOsAndCpBeforeItsDataWords) {
    script.held[static_cast<int>(FlashPartition::OS)] = Newest();
    Kit(SampleSpec(UPDATE_MODE_OSCP, 1, 1));
    EXPECT_EQ(Run(), 0u);

    const size_t box = std::find(page.entries.begin(), page.entries.end(),
                                 std::wstring(L"box: ") + TXT_VERSION_OLDER) -
                       page.entries.begin();
    ASSERT_LT(box + 1, page.entries.size());
    EXPECT_EQ(page.entries[box + 1], std::wstring(L"status: ") + TXT_OSCP_FAILED);
    EXPECT_EQ(page.entries.back(), std::wstring(L"status: ") + TXT_OSCP_FAILED);
    EXPECT_TRUE(device->DataWords().empty()) << "neither data word of OS and CP was sent";
    EXPECT_FALSE(device->HasFlashed(FlashPartition::OS));
    EXPECT_EQ(failure, UpdateFailure::VersionRefused);
    EXPECT_EQ(closesByWorker, 0) << "a failed run leaves the link open";
    EXPECT_TRUE(page.closeEnabled);
    EXPECT_EQ(SucceededFlag(PageKind::Normal), 0);
}

TEST_F(Worker, AFailedMessageLoopShowsNoSuccessAndDoesNotClose) {
    script.stream = {StreamItem::Of(StreamItem::ProgressRange, 10),
                     StreamItem::Of(StreamItem::FirmwareError, 7)};
    Kit(SampleSpec(UPDATE_MODE_OS, 1, 0));
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(page.entries.back(), L"link box: Flash Firmware Error occurred:  code 7");
    EXPECT_EQ(page.entries[page.entries.size() - 2], L"status: Upgrade completed.")
        << "the status line keeps its last text";
    EXPECT_TRUE(page.Has(L"link box: Flash Firmware Error occurred:  code 7"));
    EXPECT_FALSE(Succeeded());
    EXPECT_EQ(closesByWorker, 0);
    EXPECT_EQ(failure, UpdateFailure::MessageLoop);
    EXPECT_EQ(page.waitCursor, (std::vector<bool>{true, false}));
}

TEST_F(Worker, TheElapsedTimeDropsTheHour) {
    Kit(SampleSpec(UPDATE_MODE_OS, 1, 0));
    JumpingClock clock(3725);
    EXPECT_EQ(Run(PageKind::Normal, &clock), 1u);
    EXPECT_TRUE(page.Has(L"status: Task is Successful (02 Minutes, 05 Seconds)"));
    EXPECT_EQ(FormatElapsed(245), L"(04 Minutes, 05 Seconds)");
    EXPECT_EQ(FormatElapsed(0), L"(00 Minutes, 00 Seconds)");
}

TEST_F(Worker, ARefusedKeyShowsThePageKindsText) {
    script.keyReply = KeyReply::Refuse;
    Kit(SampleSpec(UPDATE_MODE_OS, 1, 0));
    EXPECT_EQ(Run(PageKind::Rescue), 0u);
    EXPECT_TRUE(page.Has(std::wstring(L"box: ") + TXT_INVALID_IMAGE_RESCUE));
    EXPECT_TRUE(device->FlashModes().empty());
    EXPECT_FALSE(page.updateDisabled) << "the rescue page leaves its Update button as it was";
    EXPECT_EQ(failure, UpdateFailure::KeyRefused);
}

// Kits that must stop the run before the key: nothing reaches the handset.
struct StopCase {
    const char* what;
    SampleImageSpec spec;
    bool withMismatchedIpl;
    const wchar_t* entryStart;
    UpdateFailure failure;
};

class WorkerStops : public Worker, public ::testing::WithParamInterface<StopCase> {};

TEST_P(WorkerStops, BeforeAnythingIsSent) {
    const StopCase& c = GetParam();
    SampleImageSpec iplSpec = c.spec;
    iplSpec.signature = 2;
    iplSpec.payloadBytes = 100;
    Kit(c.spec, c.withMismatchedIpl ? &iplSpec : nullptr);
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(device->BytesFromHost(), 0u);
    EXPECT_EQ(failure, c.failure);
    ASSERT_FALSE(page.entries.empty());
    EXPECT_EQ(page.entries.back().rfind(c.entryStart, 0), 0u) << page.entries.back().c_str();
}

SampleImageSpec Lying(uint8_t mode, uint16_t os, uint16_t cp, int64_t payload) {
    SampleImageSpec s = SampleSpec(mode, os, cp);
    s.payloadBytes = payload;
    if (payload < 0)
        s.fileBytes = 500;
    return s;
}

void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Kits, WorkerStops,
    ::testing::Values(StopCase{"IPL of another family", SampleSpec(UPDATE_MODE_OS, 1, 0), true,
                               L"box: Error, The IPL image doesn't match OS image, please contact "
                               L"with the operator to "
                               L"fetch a them.",
                               UpdateFailure::IplMismatch},
                      StopCase{"unknown update mode", Lying(0x5A, 1, 0, MIB), false,
                               L"status: Error, no corresponding update mode.",
                               UpdateFailure::UnknownMode},
                      StopCase{"OS larger than the file", Lying(UPDATE_MODE_OS, 3, 0, MIB), false,
                               L"box: The update image is damaged: its OS partition",
                               UpdateFailure::DamagedImage},
                      StopCase{"shorter than its header", Lying(UPDATE_MODE_OS, 0, 0, -1), false,
                               L"box: The update image is damaged: it is 500 bytes long",
                               UpdateFailure::DamagedImage},
                      StopCase{"CP past the end", Lying(UPDATE_MODE_OSCP, 1, 1, MIB + 10), false,
                               L"box: The update image is damaged: its CP partition",
                               UpdateFailure::DamagedImage}));

} // namespace
