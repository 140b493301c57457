#include "UpdateWorker.h"

#include "LinkWords.h"
#include "UpdateTexts.h"

namespace {

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// Every failure of a run is recorded here. The first one is the cause; what fails after it
// (a procedure's caller giving up) does not replace it.
bool Record(UpdateRun& run, UpdateFailure why) {
    if (run.failure == UpdateFailure::None)
        run.failure = why;
    return false;
}

// Ends the run on a failure.
int Fail(UpdateRun& run, UpdateFailure why) {
    Record(run, why);
    run.page.SetWaitCursor(false);
    return 0;
}

// The link returns 0 both for a refusal and for a reply that never came; the user sees the
// same text for both, but a handset that went away refused nothing.
UpdateFailure RefusedOrLost(const UpdateRun& run, UpdateFailure refused) {
    return run.link.DeviceFailed() ? UpdateFailure::Transfer : refused;
}

// The handset judges the version; a refusal stops the procedure unless the key waived it.
bool VersionCheck(UpdateRun& run, const ImageRecord& record, uint32_t offset, int k) {
    if (run.link.LoadVersion(record.data.get() + offset, IMAGE_VERSION_SIZE))
        return true;
    if (k == 2)
        return true;
    run.page.ShowMessageBox(TXT_VERSION_OLDER);
    return Record(run, RefusedOrLost(run, UpdateFailure::VersionRefused));
}

bool SendPartition(UpdateRun& run, const char* name, const uint8_t* start, uint32_t length,
                   const wchar_t* failText) {
    run.page.EnterPhase(UpdatePhase::Transfer, name, length);
    if (run.link.LoadRAM(start, RAM_LOAD_ADDRESS, length))
        return true;
    run.page.ShowMessageBox(failText);
    return Record(run, UpdateFailure::Transfer);
}

bool FlashMode(UpdateRun& run, uint32_t mode, const wchar_t* failText) {
    if (run.link.LoadFlashMode(mode))
        return true;
    run.page.ShowMessageBox(failText);
    return Record(run, UpdateFailure::FlashMode);
}

// Nothing may reach the handset from an image whose header or sizes do not hold together:
// a partition that ends past the file would send whatever memory follows the buffer.
bool KitHoldsTogether(UpdateRun& run) {
    const ImageRecord& update = run.update;
    if (update.HasData() && update.size > OFFSET_UPDATE_MODE) {
        uint8_t mode = update.data[OFFSET_UPDATE_MODE];
        if (mode != UPDATE_MODE_OS && mode != UPDATE_MODE_CP && mode != UPDATE_MODE_OSCP) {
            run.page.SetStatusLine(TXT_NO_UPDATE_MODE);
            return Record(run, UpdateFailure::UnknownMode);
        }
    }
    Result check = CheckUpdateImage(update.data.get(), update.size);
    if (check && run.ipl.HasData())
        check = CheckIplImage(run.ipl.data.get(), run.ipl.size);
    if (check)
        return true;
    run.page.ShowMessageBox(Widen(check.Message()));
    return Record(run, UpdateFailure::DamagedImage);
}

} // namespace

std::atomic<int>& SucceededFlag(PageKind kind) {
    static std::atomic<int> normal{0};
    static std::atomic<int> rescue{0};
    return kind == PageKind::Normal ? normal : rescue;
}

std::wstring FormatElapsed(uint32_t span) {
    wchar_t text[64];
    swprintf(text, 64, L"(%02u Minutes, %02u Seconds)", (span / 60) % 60, span % 60);
    return text;
}

int IplProcedure(UpdateRun& run, const ImageRecord& record, int k, bool selectMode) {
    if (selectMode && !run.link.LoadFlashMode(FLASH_MODE_IPL)) {
        run.page.SetStatusLine(TXT_IPL_MODE_FAILED);
        return Record(run, UpdateFailure::FlashMode);
    }
    if (!VersionCheck(run, record, OFFSET_IPL_VERSION, k))
        return 0;
    run.page.SetStatusLine(TXT_UPGRADE_IPL);
    const Partition ipl = IplPartition(record.size);
    return SendPartition(run, "IPL", record.data.get() + ipl.offset, ipl.length,
                         TXT_IPL_SEND_FAILED);
}

int OsProcedure(UpdateRun& run, const ImageRecord& record, int k) {
    if (!FlashMode(run, FLASH_MODE_OS, TXT_FLASH_MODE_ERROR_1))
        return 0;
    if (!VersionCheck(run, record, OFFSET_OS_VERSION, k))
        return 0;
    run.page.SetStatusLine(TXT_UPGRADE_OS);
    const ImageHeader header = ReadImageHeader(record.data.get(), record.size);
    const uint32_t osBytes = static_cast<uint32_t>(header.osSizeMiB) << 20;
    return SendPartition(run, "OS", record.data.get() + IMAGE_HEADER_SIZE, osBytes,
                         TXT_OS_SEND_FAILED);
}

int CpProcedure(UpdateRun& run, const ImageRecord& record, int k) {
    if (!FlashMode(run, FLASH_MODE_CP, TXT_FLASH_MODE_ERROR_2))
        return 0;
    if (!VersionCheck(run, record, OFFSET_CP_VERSION, k))
        return 0;
    run.page.SetStatusLine(TXT_UPGRADE_CP);
    return SendPartition(run, "CP", record.data.get() + IMAGE_HEADER_SIZE,
                         record.size - IMAGE_HEADER_SIZE, TXT_IMAGE_SEND_FAILED);
}

int OscpProcedure(UpdateRun& run, const ImageRecord& record, int k) {
    if (!FlashMode(run, FLASH_MODE_OSCP, TXT_FLASH_MODE_ERROR_3))
        return 0;
    if (!VersionCheck(run, record, OFFSET_OS_VERSION, k))
        return 0;
    if (!VersionCheck(run, record, OFFSET_CP_VERSION, k))
        return 0;
    const ImageHeader header = ReadImageHeader(record.data.get(), record.size);
    const uint16_t osMiB = header.osSizeMiB;
    const uint16_t cpMiB = header.cpSizeMiB;
    run.link.LoadData(DATA_WORD_SIZES_FOLLOW);
    run.link.LoadData(static_cast<uint32_t>(osMiB) << 16 | cpMiB);
    run.page.SetStatusLine(TXT_UPGRADE_OS);
    const uint32_t osBytes = static_cast<uint32_t>(osMiB) << 20;
    if (!SendPartition(run, "OS", record.data.get() + IMAGE_HEADER_SIZE, osBytes,
                       TXT_OS_SEND_FAILED))
        return 0;
    run.page.SetStatusLine(TXT_UPGRADE_CP);
    return SendPartition(run, "CP", record.data.get() + IMAGE_HEADER_SIZE + osBytes,
                         static_cast<uint32_t>(cpMiB) << 20, TXT_CP_SEND_FAILED);
}

int UpdateWorker(UpdateRun& run) {
    run.failure = UpdateFailure::None;
    run.page.SetWaitCursor(true);
    const uint32_t time0 = run.clock->NowSeconds();
    run.page.SetStatusLine(TXT_DOWNLOADING);
    run.page.SetGuidanceText(TXT_GUIDANCE_UPDATING);

    const ImageRecord& update = run.update;
    const ImageRecord& ipl = run.ipl;
    if (ipl.HasData() && !SameImageFamily(ipl, update)) {
        run.page.ShowMessageBox(TXT_IPL_MISMATCH);
        return Fail(run, UpdateFailure::IplMismatch);
    }
    if (!KitHoldsTogether(run))
        return Fail(run, UpdateFailure::DamagedImage);

    run.page.EnterPhase(UpdatePhase::Key, nullptr, 0);
    const int k = run.link.LoadKey(update.data.get(), IMAGE_KEY_BLOCK_SIZE);
    if (k == 0) {
        run.page.ShowMessageBox(run.kind == PageKind::Normal ? TXT_INVALID_IMAGE_NORMAL
                                                             : TXT_INVALID_IMAGE_RESCUE);
        return Fail(run, RefusedOrLost(run, UpdateFailure::KeyRefused));
    }

    if (ipl.HasData()) {
        if (!run.link.LoadFlashMode(FLASH_MODE_BEFORE_IPL)) {
            run.page.SetStatusLine(TXT_IPL_MODE_FAILED);
            return Fail(run, UpdateFailure::FlashMode);
        }
        if (!IplProcedure(run, ipl, k, false)) {
            run.page.ShowMessageBox(TXT_IPL_FAILED);
            return Fail(run, UpdateFailure::Transfer);
        }
        run.link.LoadData(DATA_WORD_CLOSE);
    }

    switch (update.data[OFFSET_UPDATE_MODE]) {
    case UPDATE_MODE_OS:
        if (!OsProcedure(run, update, k)) {
            run.page.SetStatusLine(TXT_OS_FAILED);
            return Fail(run, UpdateFailure::Transfer);
        }
        break;
    case UPDATE_MODE_CP:
        if (!CpProcedure(run, update, k)) {
            run.page.SetStatusLine(TXT_CP_FAILED);
            return Fail(run, UpdateFailure::Transfer);
        }
        break;
    default: // OS then CP: the only mode left once the kit has been checked
        if (!OscpProcedure(run, update, k)) {
            run.page.SetStatusLine(TXT_OSCP_FAILED);
            return Fail(run, UpdateFailure::Transfer);
        }
        break;
    }
    run.link.LoadData(DATA_WORD_CLOSE);
    run.page.SetStatusLine(TXT_UPGRADE_COMPLETED);

    run.page.EnterPhase(UpdatePhase::Flashing, nullptr, 0);
    if (!run.link.MessageHandler()) {
        // The link's box has said why the loop ended. A refused upload is the PC's failure, not
        // the handset's, and the status line says so rather than keep "Upgrade completed.".
        if (run.link.UploadRefused()) {
            run.page.SetStatusLine(TXT_UPLOAD_REFUSED);
            return Fail(run, UpdateFailure::UploadRefused);
        }
        return Fail(run, UpdateFailure::MessageLoop);
    }

    const uint32_t span = run.clock->NowSeconds() - time0;
    run.page.SetStatusLine(std::wstring(TXT_TASK_SUCCESSFUL) + FormatElapsed(span));
    run.page.SetNoticeText(TXT_CONGRATULATIONS);
    run.page.SetGuidanceText(TXT_CLICK_CLOSE);
    run.link.CloseUSBSyncDriver();
    run.page.SetProgressPos(0);
    run.page.SetWaitCursor(false);
    return 1;
}

uint32_t UpdateThreadEntry(UpdateRun& run) {
    const int ok = UpdateWorker(run);
    run.update.Release();
    if (ok)
        SucceededFlag(run.kind).store(1);
    run.page.EnableClose();
    if (run.kind == PageKind::Normal)
        run.page.DisableUpdate();
    return static_cast<uint32_t>(SucceededFlag(run.kind).load());
}
