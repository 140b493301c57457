// The update worker on a thread of its own, as the Update button starts it, against the virtual
// boot loader on its thread, while another thread asks the link to stop. Built and run under
// ThreadSanitizer too (label "threads"), which fails the run on any data race among them.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BoundedThread.h"
#include "CVug_CommsDLL.h"
#include "HandMadeImage.h"
#include "MemoryWire.h"
#include "UpdateThreadRun.h"
#include "VirtualBootLoader.h"

namespace {

using Clock = BoundedThread::Clock;

// How long a worker, a handset or the link's open may take to get where the test waits for it.
// A passing run needs well under a second, a few under ThreadSanitizer or Wine; one still going
// at this bound is hung.
constexpr std::chrono::seconds kBound{10};
// A worker or handset whose cable was pulled ends at once: every read and write fails.
constexpr std::chrono::seconds kAfterPull{5};

// An update page whose worker is watched from another thread: each position the worker shows,
// with the phase it shows it in ("transfer 3", "flashing 25"), is announced, and the worker can
// be held at one of them until the watcher lets it go on.
class WatchedPage : public RecordingPage {
public:
    void EnterPhase(UpdatePhase phase, const char*, uint32_t) override {
        std::lock_guard<std::mutex> lock(mutex_);
        phase_ = phase == UpdatePhase::Flashing ? "flashing " : "transfer ";
    }
    void SetPos(uint32_t pos) override {
        RecordingPage::SetPos(pos);
        std::unique_lock<std::mutex> lock(mutex_);
        const std::string shown = phase_ + std::to_string(pos);
        seen_.push_back(shown);
        changed_.notify_all();
        if (shown == holdAt_)
            changed_.wait(lock, [this] { return released_; });
    }

    // Before the worker starts: it stops when it shows `event`, until Release.
    void HoldAt(const std::string& event) { holdAt_ = event; }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
    }
    // Waits until the worker has shown `event`; false when it never did (the run ended first,
    // or the deadline passed).
    bool WaitFor(const std::string& event, Clock::time_point deadline) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_until(lock, deadline, [&] { return Seen(event) || workerDone_; });
        return Seen(event);
    }
    void WorkerDone() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            workerDone_ = true;
        }
        changed_.notify_all();
    }

private:
    bool Seen(const std::string& event) const {
        for (const std::string& s : seen_)
            if (s == event)
                return true;
        return false;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::string phase_ = "transfer ";
    std::vector<std::string> seen_;
    std::string holdAt_;
    bool released_ = false;
    bool workerDone_ = false;
};

// One handset on its cable, and the link that an update page holds for it. The handset serves
// on a thread of the test's own, so that the test can wait for its end with a bound.
struct Handset {
    explicit Handset(const BootLoaderScript& script = BootLoaderScript()) : device(script) {
        handset.Start([this] { end = device.Serve(wire.DeviceEnd()); });
        link.SetPipe(&wire.HostEnd());
    }
    // A test that stops half-way still ends its worker and its handset before anything they
    // use goes: the cable pulled, every read and write of both fails.
    ~Handset() {
        page.Release();
        wire.PullCable();
        if (!worker.EndsBy(Clock::now() + kAfterPull))
            BoundedThread::GiveUp("the update worker did not end with the cable pulled");
        if (!handset.EndsBy(Clock::now() + kAfterPull))
            BoundedThread::GiveUp("the virtual boot loader did not end with the cable pulled");
    }

    // Starts the update page's worker thread on the opened link.
    void StartUpdate(const std::vector<uint8_t>& image) {
        worker.Start([this, &image] {
            outcome = RunUpdateThread(link, page, image);
            page.WorkerDone();
        });
    }

    // Waits for the worker to end; false, after pulling the cable to end it, when it was
    // still running at the bound.
    bool WorkerEnds(Clock::time_point deadline = Clock::now() + kBound) {
        if (worker.EndsBy(deadline))
            return true;
        ADD_FAILURE() << "the update worker had not ended at the bound of " << kBound.count()
                      << " s; the cable is pulled";
        page.Release();
        wire.PullCable();
        if (!worker.EndsBy(Clock::now() + kAfterPull))
            BoundedThread::GiveUp("the update worker did not end with the cable pulled");
        return false;
    }

    // How the handset's connection ended. Once the host has let go, the handset sees it at
    // once; one still connected at the bound shows a host that never closed the device.
    VirtualBootLoader::End HandsetEnd(Clock::time_point deadline = Clock::now() + kBound) {
        if (!handset.EndsBy(deadline)) {
            ADD_FAILURE() << "the handset was still connected at the bound of " << kBound.count()
                          << " s: the host never let go of it";
            wire.PullCable();
            if (!handset.EndsBy(Clock::now() + kAfterPull))
                BoundedThread::GiveUp("the virtual boot loader did not end with the cable pulled");
        }
        return end;
    }

    // Runs the update while this thread asks the link to stop once the worker has shown
    // `seen`; the worker is held at `heldAt` until the request is in. False when the worker
    // never showed `seen` or did not end.
    bool UpdateStoppingAt(const std::vector<uint8_t>& image, const std::string& seen,
                          const std::string& heldAt) {
        const Clock::time_point deadline = Clock::now() + kBound;
        page.HoldAt(heldAt);
        StartUpdate(image);
        const bool reached = page.WaitFor(seen, deadline);
        EXPECT_TRUE(reached) << "the worker never showed \"" << seen << "\" within "
                             << kBound.count() << " s";
        link.m_Abort.store(1);
        page.Release();
        return WorkerEnds(deadline) && reached;
    }

    MemoryWire wire;
    VirtualBootLoader device;
    VirtualBootLoader::End end = VirtualBootLoader::End::HostHungUp;
    CVug_CommsDLL link;
    WatchedPage page;
    UpdateThreadOutcome outcome;
    BoundedThread handset;
    BoundedThread worker;
};

std::vector<uint8_t> OsImage(uint16_t mib) {
    HandMadeImage image;
    image.osMiB = mib;
    return image.Bytes();
}

std::vector<uint8_t> Payload(const std::vector<uint8_t>& image) {
    return std::vector<uint8_t>(image.begin() + 1024, image.end());
}

class UpdateThread : public ::testing::Test {
protected:
    UpdateThread() {
        SucceededFlag(PageKind::Normal) = 0;
        SucceededFlag(PageKind::Rescue) = 0;
    }
};

// The request comes while the worker moves blocks, unsynchronised with its reads of the flag;
// the worker is held two blocks later until the request is in, so the stop is certain to land
// before the last block.
TEST_F(UpdateThread, AStopMidTransferEndsTheRunAtABlockBoundary) {
    Handset h;
    ASSERT_EQ(h.link.OpenUsbSyncDriver(), 1);
    const std::vector<uint8_t> image = OsImage(2); // 32 blocks
    ASSERT_TRUE(h.UpdateStoppingAt(image, "transfer 3", "transfer 5"));

    EXPECT_EQ(h.outcome.exitCode, 0u);
    EXPECT_EQ(h.outcome.failure, UpdateFailure::Transfer);
    EXPECT_EQ(h.link.m_Abort.load(), 0) << "the link clears the request it acted on";
    EXPECT_TRUE(h.page.Has(L"box: Error, A Problem occurred while sending the OS Image"));
    EXPECT_EQ(h.page.entries.back(), L"status: Error, Download OS Failed.");
    h.link.CloseUSBSyncDriver();
    EXPECT_EQ(h.HandsetEnd(), VirtualBootLoader::End::HostHungUp);
    EXPECT_FALSE(h.device.HasFlashed(FlashPartition::OS));
}

// While the handset writes its flash there is no block to stop at, and leaving it then would
// leave it half-written: the run goes on to the end and the request is not acted on.
TEST_F(UpdateThread, AStopWhileTheHandsetFlashesLetsItFinish) {
    Handset h;
    ASSERT_EQ(h.link.OpenUsbSyncDriver(), 1);
    const std::vector<uint8_t> image = OsImage(1);
    ASSERT_TRUE(h.UpdateStoppingAt(image, "flashing 25", "flashing 50"));

    EXPECT_EQ(h.outcome.exitCode, 1u);
    EXPECT_EQ(h.outcome.failure, UpdateFailure::None);
    EXPECT_EQ(h.link.m_Abort.load(), 1);
    EXPECT_EQ(h.HandsetEnd(), VirtualBootLoader::End::HostHungUp);
    EXPECT_EQ(h.device.Flashed(FlashPartition::OS), Payload(image));
}

// The page's initialisation opens the link while another thread may give up waiting for it.
TEST_F(UpdateThread, ACancelFromAnotherThreadEndsTheOpenRetries) {
    Handset h;
    h.wire.SetPresent(false);
    int opened = -1;
    BoundedThread opener;
    opener.Start([&] { opened = h.link.OpenUsbSyncDriver(); });
    h.link.m_Cancel.store(1);
    // Without the cancel, the open would go on for a minute.
    if (!opener.EndsBy(Clock::now() + kBound))
        BoundedThread::GiveUp("the open still went on " + std::to_string(kBound.count()) +
                              " s after the cancel");
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(h.link.m_Cancel.load(), 0);
}

// Handsets updated side by side, one worker each, share no state but the succeeded flag: both
// finish byte-exact.
TEST_F(UpdateThread, TwoHandsetsAtOnceBothFinish) {
    Handset first, second;
    ASSERT_EQ(first.link.OpenUsbSyncDriver(), 1);
    ASSERT_EQ(second.link.OpenUsbSyncDriver(), 1);
    const std::vector<uint8_t> image = OsImage(1);
    first.StartUpdate(image);
    second.StartUpdate(image);
    const Clock::time_point workersEnd = Clock::now() + kBound;
    ASSERT_TRUE(first.WorkerEnds(workersEnd));
    ASSERT_TRUE(second.WorkerEnds(workersEnd));
    const Clock::time_point handsetsEnd = Clock::now() + kBound;
    for (Handset* h : {&first, &second}) {
        EXPECT_EQ(h->outcome.exitCode, 1u);
        EXPECT_EQ(h->HandsetEnd(handsetsEnd), VirtualBootLoader::End::HostHungUp);
        EXPECT_EQ(h->device.Flashed(FlashPartition::OS), Payload(image));
    }
    EXPECT_EQ(SucceededFlag(PageKind::Normal).load(), 1);
}

} // namespace
