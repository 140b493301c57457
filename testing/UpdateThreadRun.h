#pragma once

#include <cstring>
#include <vector>

#include "CVug_CommsDLL.h"
#include "RecordingPage.h"
#include "UpdateWorker.h"

// An image file as an update page holds it after reading its kit.
inline ImageRecord RecordOf(const std::vector<uint8_t>& bytes) {
    ImageRecord r;
    r.size = static_cast<uint32_t>(bytes.size());
    r.data.reset(new uint8_t[bytes.empty() ? 1 : bytes.size()]);
    if (!bytes.empty())
        std::memcpy(r.data.get(), bytes.data(), bytes.size());
    return r;
}

struct UpdateThreadOutcome {
    uint32_t exitCode = 0;
    UpdateFailure failure = UpdateFailure::None;
    bool updateReleased = false; // the thread entry let go of the update image
};

// What the Update button starts: the update worker's thread entry, on an opened link, with
// `page` standing in for the page's controls, progress bar and the link's message boxes.
inline UpdateThreadOutcome RunUpdateThread(CVug_CommsDLL& link, RecordingPage& page,
                                           const std::vector<uint8_t>& image,
                                           const std::vector<uint8_t>* iplImage = nullptr,
                                           PageKind kind = PageKind::Normal,
                                           LinkClock* clock = nullptr) {
    ImageRecord update = RecordOf(image);
    ImageRecord ipl = iplImage ? RecordOf(*iplImage) : ImageRecord();
    link.m_pProgress = &page;
    link.m_pCrcCheck = &update.crcCheck;
    link.SetMessageSink(&page);
    UpdateRun run(link, update, ipl, page, kind);
    if (clock)
        run.clock = clock;
    UpdateThreadOutcome out;
    out.exitCode = UpdateThreadEntry(run);
    out.failure = run.failure;
    out.updateReleased = !update.HasData();
    link.m_pCrcCheck = nullptr;
    return out;
}
