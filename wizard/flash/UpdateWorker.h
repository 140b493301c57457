#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "CVug_CommsDLL.h"
#include "LinkClock.h"
#include "UpdateImage.h"
#include "UpdatePageView.h"

// The two kinds of update page run the same worker; they differ in one message and in what the
// thread entry does with the Update button.
enum class PageKind { Normal, Rescue };

// Why a run failed, for callers that act on it (the command-line flasher's exit status).
enum class UpdateFailure {
    None,
    DamagedImage,   // the kit fails its checks: nothing was sent
    IplMismatch,    // nothing was sent
    UnknownMode,    // nothing was sent
    KeyRefused,     // the handset answered the key with a refusal
    VersionRefused, // the handset holds the same or newer firmware
    FlashMode,      // the handset did not take a flash mode
    Transfer,       // a partition, or the key or a version, did not get across: the link failed
    MessageLoop,    // the handset reported an error, or stopped answering, while flashing
    UploadRefused,  // while flashing, the handset announced an upload this PC cannot hold
};

// Everything the worker works on: the page's opened link, its two image records (the IPL record
// may hold no data) and the page itself.
struct UpdateRun {
    UpdateRun(CVug_CommsDLL& openedLink, ImageRecord& updateRecord, ImageRecord& iplRecord,
              UpdatePageView& pageView, PageKind pageKind)
        : link(openedLink), update(updateRecord), ipl(iplRecord), page(pageView), kind(pageKind) {}

    CVug_CommsDLL& link;
    ImageRecord& update;
    ImageRecord& ipl;
    UpdatePageView& page;
    PageKind kind;
    LinkClock* clock = &LinkClock::System(); // calendar seconds for the elapsed time
    UpdateFailure failure = UpdateFailure::None;
};

// One update, start to end: 1 when the handset finished, 0 when the run failed.
int UpdateWorker(UpdateRun& run);

// What the page's worker thread runs: the worker, then releasing the update image, the page
// kind's succeeded flag, and the buttons. Returns the succeeded flag (the thread's exit code).
uint32_t UpdateThreadEntry(UpdateRun& run);

// The succeeded flag that all pages of one kind share for the life of the process. Atomic,
// because runs of the same kind may go on side by side (one per handset in the command-line
// flasher), each on its own thread.
std::atomic<int>& SucceededFlag(PageKind kind);

// The partition procedures: 1 after their last step, 0 at their first failure.
int IplProcedure(UpdateRun& run, const ImageRecord& record, int k, bool selectMode);
int OsProcedure(UpdateRun& run, const ImageRecord& record, int k);
int CpProcedure(UpdateRun& run, const ImageRecord& record, int k);
int OscpProcedure(UpdateRun& run, const ImageRecord& record, int k);

// "(%M Minutes, %S Seconds)" of a span in whole seconds; hours and days are not shown.
std::wstring FormatElapsed(uint32_t span);
