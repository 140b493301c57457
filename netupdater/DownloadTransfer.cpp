#include "DownloadTransfer.h"

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

} // namespace

uint32_t AcknowledgementWait(uint32_t block) {
    const uint64_t offset = (static_cast<uint64_t>(block) - 1) * kTftpBlockSize;
    return offset < 66048 ? 12000 : 2000;
}

std::string EscapedText(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            escaped += '\\';
            escaped += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            escaped += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            escaped += hex;
        }
    }
    return escaped;
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
    case TransferOutcome::TargetError:
        SetStatus(m_refusal);
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

// The write request goes out once; the first reply names the port the transfer uses. The
// target answers from a port of its choosing but from its own address: a datagram from any
// other host is a stranger's, which must neither take the file nor end the transfer, and it
// is dropped while the one wait runs on.
TransferOutcome DownloadTransfer::Request(const Endpoint& target, Endpoint& destination) {
    const std::vector<uint8_t> request = TftpWriteRequest();
    m_socket->SendTo(target, request.data(), request.size());
    const uint64_t deadline = m_clock.NowMilliseconds() + kRequestWaitMs;
    uint8_t reply[kTftpMaxDatagram];
    for (;;) {
        const Received got = ReceiveBefore(deadline, reply, sizeof reply);
        if (got.result == WaitResult::TimedOut)
            return TransferOutcome::NoAnswer;
        if (got.result == WaitResult::Failed)
            return TransferOutcome::ConnectError;
        if (got.from.address != target.address)
            continue;
        // A target that refuses the write (no room, no permission) says why: the user sees it,
        // instead of a status line that still reads as if the download were beginning.
        if (RefusedWith(reply, static_cast<size_t>(got.length)))
            return TransferOutcome::TargetError;
        if (got.length < 4 || !IsTftpAckOf(reply, 4, 0))
            return TransferOutcome::Refused;
        destination = got.from;
        return TransferOutcome::Success;
    }
}

// Whether `datagram` is the target's error datagram; if so, the status line that quotes it.
bool DownloadTransfer::RefusedWith(const uint8_t* datagram, size_t length) {
    uint16_t code = 0;
    std::string message;
    if (!ParseTftpError(datagram, length, code, message))
        return false;
    m_refusal = texts::RefusedByTarget(code, EscapedText(message));
    return true;
}

DownloadTransfer::Received DownloadTransfer::ReceiveBefore(uint64_t deadline, uint8_t* buffer,
                                                           size_t capacity) {
    Received got;
    const uint64_t now = m_clock.NowMilliseconds();
    got.result = now < deadline ? m_socket->WaitReadable(static_cast<uint32_t>(deadline - now))
                                : WaitResult::TimedOut;
    if (got.result == WaitResult::Readable) {
        got.length = m_socket->ReceiveFrom(buffer, capacity, got.from);
        if (got.length < 0)
            got.result = WaitResult::Failed;
    }
    return got;
}

// Waits up to `milliseconds` for the target's acknowledgement of `block`, or for its error
// datagram, which ends the transfer. Whatever else comes in the meantime is read and dropped,
// and the wait runs on to its end: a datagram from anyone but the target, which must neither
// redirect the file nor keep the transfer alive, and the target's acknowledgement of another
// block, a repeated or a late one. Sending the block again for such an acknowledgement would
// draw a second acknowledgement of it, and from then on every block would go out twice or
// more.
DownloadTransfer::Answer DownloadTransfer::AwaitAnswer(uint32_t milliseconds,
                                                       const Endpoint& target, uint32_t block) {
    const uint64_t deadline = m_clock.NowMilliseconds() + milliseconds;
    uint8_t reply[kTftpMaxDatagram];
    for (;;) {
        const Received got = ReceiveBefore(deadline, reply, sizeof reply);
        if (got.result == WaitResult::TimedOut)
            return Answer::TimedOut;
        if (got.result == WaitResult::Failed)
            return Answer::Failed;
        if (got.from != target)
            continue;
        const size_t length = static_cast<size_t>(got.length);
        if (IsTftpAckOf(reply, length, block))
            return Answer::Acknowledged;
        // The target has given up the transfer: whatever went to it now would go unheard.
        if (RefusedWith(reply, length))
            return Answer::Refused;
    }
}

// Sends block `block` (not the final one) until it is acknowledged or the retry limit is
// passed. The block goes again only when a wait for it has run out.
TransferOutcome DownloadTransfer::SendBlock(DownloadFile& file, const Plan& plan, uint32_t block,
                                            const Endpoint& destination) {
    const uint32_t wait = AcknowledgementWait(block);
    const uint64_t offset = (static_cast<uint64_t>(block) - 1) * kTftpBlockSize;
    uint64_t timeouts = 0, errors = 0;
    uint32_t readFailures = 0;
    bool waitOnly = false;
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

        switch (AwaitAnswer(wait, destination, block)) {
        case Answer::Acknowledged:
            return TransferOutcome::Success;
        case Answer::TimedOut:
            if (++timeouts > plan.retryLimit)
                return TransferOutcome::TimedOut;
            break;
        case Answer::Failed:
            if (++errors > plan.retryLimit)
                return TransferOutcome::SocketFailed;
            waitOnly = true;
            break;
        case Answer::Refused:
            return TransferOutcome::TargetError;
        }
    }
}

TransferOutcome DownloadTransfer::SendFinalBlock(DownloadFile& file, const Plan& plan,
                                                 const Endpoint& destination) {
    const uint32_t block = plan.blocks;
    const size_t length = plan.length % kTftpBlockSize;
    uint8_t bytes[kTftpBlockSize];
    if (!file.ReadAt(static_cast<uint64_t>(block - 1) * kTftpBlockSize, bytes, length))
        return TransferOutcome::FinalFileLost;
    const std::vector<uint8_t> data = TftpDataDatagram(block, bytes, length);
    const uint32_t wait = block == 1 ? kSingleBlockWaitMs : AcknowledgementWait(block - 1);
    for (uint32_t attempt = 0; attempt < kFinalBlockAttempts; ++attempt) {
        m_socket->SendTo(destination, data.data(), data.size());
        const Answer answer = AwaitAnswer(wait, destination, block);
        if (answer == Answer::Refused)
            return TransferOutcome::TargetError;
        if (answer == Answer::Acknowledged) {
            ShowProgress(block, 100);
            m_view.SetProgressPosition(plan.step);
            SetStatus(texts::kSuccess);
            return TransferOutcome::Success;
        }
    }
    return TransferOutcome::FinalUnacknowledged;
}
