#include "DownloadTransfer.h"

#include <algorithm>
#include <cstdio>

#include "TftpWire.h"
#include "TransferTexts.h"

namespace {

constexpr uint32_t kRequestWaitMs = 1000;
constexpr uint32_t kPauseAfterRequestMs = 1000;
// A file of one block has no block before its final one to take the wait from.
constexpr uint32_t kSingleBlockWaitMs = 1000;
constexpr uint32_t kFinalBlockAttempts = 10;
// A block whose file read fails is tried again this often, this far apart, before the
// transfer gives up: long enough to ride out a moment's lock on the file, short enough
// that the target is still waiting.
constexpr uint32_t kReadAttempts = 10;
constexpr uint32_t kReadRetryMs = 100;
// Replies that keep coming but never acknowledge the block reset the time-out counter each
// time; past this many of them in one block (or the retry limit, if higher) the block fails.
constexpr uint64_t kWrongRepliesAllowed = 15;

} // namespace

uint32_t AcknowledgementWait(uint32_t block) {
    const uint64_t offset = (static_cast<uint64_t>(block) - 1) * kTftpBlockSize;
    return offset < 66048 ? 12000 : 2000;
}

std::string ProgressText(uint32_t percent, int64_t elapsedSeconds) {
    if (elapsedSeconds < 0)
        elapsedSeconds = 0;
    char text[64];
    std::snprintf(text, sizeof text, "%u%% finished.mins: %02d, secs: %02d", percent,
                  static_cast<int>(elapsedSeconds / 60 % 60),
                  static_cast<int>(elapsedSeconds % 60));
    return text;
}

TransferView::~TransferView() = default;

DownloadTransfer::DownloadTransfer(TransferView& view, SocketLibrary& sockets, TransferClock& clock)
    : m_view(view), m_sockets(sockets), m_clock(clock) {}

void DownloadTransfer::SetStatus(const std::string& text) {
    m_status = text;
    m_view.SetStatus(text);
}

void DownloadTransfer::ShowProgress(uint32_t block, uint32_t percent) {
    m_view.SetProgressText(ProgressText(percent, m_clock.NowSeconds() - m_startSeconds));
    m_view.SetProgressPosition(block / 100);
}

TransferOutcome DownloadTransfer::Run(DownloadFile& file, const UpdaterSettings& settings) {
    m_view.EnableDownload(false);
    SetStatus(texts::kBegin);
    auto refuse = [this](TransferOutcome outcome, const char* message) {
        m_view.EnableDownload(true);
        m_view.ShowMessage(message);
        return outcome;
    };
    if (!settings.problem.empty())
        return refuse(TransferOutcome::BadSettings, texts::kBadTarget);

    uint64_t length = 0;
    if (!file.Length(length))
        return refuse(TransferOutcome::NoFile, texts::kNoFile);
    // Lengths are 32-bit on the wire's terms; a longer file would go out cut short.
    if (length > 0xFFFFFFFFu)
        return refuse(TransferOutcome::FileTooLarge, texts::kTooLarge);
    Plan plan;
    plan.length = static_cast<uint32_t>(length);
    plan.blocks = plan.length / kTftpBlockSize + 1;
    plan.step = plan.blocks / 100;
    plan.retryLimit = settings.retryLimit;
    m_view.SetProgressRange(static_cast<uint16_t>(plan.step));
    m_view.SetProgressPosition(0);

    uint16_t version = 0;
    if (!m_sockets.Startup(version))
        return refuse(TransferOutcome::LibraryFailed, texts::kLibraryFailed);
    m_socket = m_sockets.OpenSocket();
    if (version != 0x0101) {
        m_socket.reset();
        m_sockets.Cleanup();
        return refuse(TransferOutcome::WrongVersion, texts::kWrongVersion);
    }

    TransferOutcome outcome = TransferOutcome::NoSocket;
    if (m_socket)
        outcome = Exchange(file, plan, settings.target);
    m_socket.reset();
    m_sockets.Cleanup();
    m_view.EnableDownload(true);

    switch (outcome) {
    case TransferOutcome::NoAnswer:
        SetStatus(texts::kNoAnswer);
        m_view.SetProgressText("");
        m_view.SetProgressPosition(0);
        break;
    case TransferOutcome::NoSocket:
    case TransferOutcome::ConnectError:
        SetStatus(texts::kConnectError);
        break;
    case TransferOutcome::TimedOut:
        SetStatus(texts::kTimedOut);
        break;
    case TransferOutcome::SocketFailed:
        SetStatus(texts::kSocketFailed);
        break;
    case TransferOutcome::FileLost:
        m_view.SetProgressPosition(0);
        m_view.ShowMessage(texts::kNoFile);
        break;
    default:
        // Success and the quiet endings.
        SetStatus(m_status);
        m_view.SetProgressPosition(0);
        break;
    }
    return outcome;
}

TransferOutcome DownloadTransfer::Exchange(DownloadFile& file, const Plan& plan,
                                           const Endpoint& target) {
    Endpoint destination = target;
    const TransferOutcome requested = Request(target, destination);
    if (requested != TransferOutcome::Success)
        return requested;

    m_clock.Pause(kPauseAfterRequestMs);
    m_view.SetProgressText("0% finished.");
    m_view.SetProgressPosition(0);
    SetStatus(texts::kDownloading);
    m_startSeconds = m_clock.NowSeconds();

    for (uint32_t block = 1; block < plan.blocks; ++block) {
        const TransferOutcome sent = SendBlock(file, plan, block, destination);
        if (sent != TransferOutcome::Success)
            return sent;
        // A file of fewer than 100 blocks has no step: it shows every block instead.
        if (plan.step == 0 || block % plan.step == 0)
            ShowProgress(block, static_cast<uint32_t>(uint64_t{100} * block / plan.blocks));
    }
    return SendFinalBlock(file, plan, destination);
}

// The write request goes out once; the first reply names the port the transfer uses.
TransferOutcome DownloadTransfer::Request(const Endpoint& target, Endpoint& destination) {
    const std::vector<uint8_t> request = TftpWriteRequest();
    m_socket->SendTo(target, request.data(), request.size());
    switch (m_socket->WaitReadable(kRequestWaitMs)) {
    case WaitResult::TimedOut:
        return TransferOutcome::NoAnswer;
    case WaitResult::Failed:
        return TransferOutcome::ConnectError;
    case WaitResult::Readable:
        break;
    }
    uint8_t reply[kTftpMaxDatagram];
    Endpoint from;
    const int got = m_socket->ReceiveFrom(reply, sizeof reply, from);
    if (got < 0)
        return TransferOutcome::ConnectError;
    if (got < 4 || !IsTftpAckOf(reply, 4, 0))
        return TransferOutcome::Refused;
    destination = from;
    return TransferOutcome::Success;
}

// Sends block `block` (not the final one) until it is acknowledged or the retry limit is
// passed. Replies that come from anywhere but the destination are not the target's: they
// are dropped and count as a wait that timed out, so that no stray sender can redirect the
// file or keep the transfer alive.
TransferOutcome DownloadTransfer::SendBlock(DownloadFile& file, const Plan& plan, uint32_t block,
                                            Endpoint& destination) {
    const uint32_t wait = AcknowledgementWait(block);
    const uint64_t offset = (static_cast<uint64_t>(block) - 1) * kTftpBlockSize;
    const uint64_t wrongRepliesAllowed = std::max(plan.retryLimit, kWrongRepliesAllowed);
    uint64_t timeouts = 0, errors = 0, wrongReplies = 0;
    uint32_t readFailures = 0;
    bool waitOnly = false;
    uint8_t reply[kTftpMaxDatagram];
    for (;;) {
        const bool readAhead = m_readAheadBlock == block;
        m_readAheadBlock = 0;
        if (!readAhead && !file.ReadAt(offset, m_block, sizeof m_block)) {
            if (++readFailures >= kReadAttempts)
                return TransferOutcome::FileLost;
            m_clock.Pause(kReadRetryMs);
            continue;
        }
        readFailures = 0;
        if (!waitOnly) {
            const std::vector<uint8_t> data = TftpDataDatagram(block, m_block, sizeof m_block);
            m_socket->SendTo(destination, data.data(), data.size());
            // The next block's first attempt reads its bytes now, while the target takes its
            // turn, rather than after the acknowledgement: the read leaves the round trip.
            if (block + 1 < plan.blocks &&
                file.ReadAt(offset + kTftpBlockSize, m_block, sizeof m_block))
                m_readAheadBlock = block + 1;
        }
        waitOnly = false;

        WaitResult waited = m_socket->WaitReadable(wait);
        Endpoint from;
        int got = -1;
        if (waited == WaitResult::Readable) {
            got = m_socket->ReceiveFrom(reply, sizeof reply, from);
            if (got < 0)
                waited = WaitResult::Failed;
            else if (from != destination) {
                waited = WaitResult::TimedOut;
                waitOnly = true;
            }
        }
        if (waited == WaitResult::TimedOut) {
            if (++timeouts > plan.retryLimit)
                return TransferOutcome::TimedOut;
            continue;
        }
        if (waited == WaitResult::Failed) {
            if (++errors > plan.retryLimit)
                return TransferOutcome::SocketFailed;
            waitOnly = true;
            continue;
        }
        timeouts = errors = 0;
        if (IsTftpAckOf(reply, static_cast<size_t>(got), block))
            return TransferOutcome::Success;
        if (++wrongReplies > wrongRepliesAllowed)
            return TransferOutcome::TimedOut;
    }
}

TransferOutcome DownloadTransfer::SendFinalBlock(DownloadFile& file, const Plan& plan,
                                                 Endpoint& destination) {
    const uint32_t block = plan.blocks;
    const size_t length = plan.length % kTftpBlockSize;
    uint8_t bytes[kTftpBlockSize];
    if (!file.ReadAt(static_cast<uint64_t>(block - 1) * kTftpBlockSize, bytes, length))
        return TransferOutcome::FinalFileLost;
    const std::vector<uint8_t> data = TftpDataDatagram(block, bytes, length);
    const uint32_t wait = block == 1 ? kSingleBlockWaitMs : AcknowledgementWait(block - 1);
    uint8_t reply[kTftpMaxDatagram];
    for (uint32_t attempt = 0; attempt < kFinalBlockAttempts; ++attempt) {
        m_socket->SendTo(destination, data.data(), data.size());
        if (m_socket->WaitReadable(wait) != WaitResult::Readable)
            continue;
        Endpoint from;
        const int got = m_socket->ReceiveFrom(reply, sizeof reply, from);
        if (got >= 0 && from == destination &&
            IsTftpAckOf(reply, static_cast<size_t>(got), block)) {
            ShowProgress(block, 100);
            m_view.SetProgressPosition(plan.step);
            SetStatus(texts::kSuccess);
            return TransferOutcome::Success;
        }
    }
    return TransferOutcome::FinalUnacknowledged;
}
