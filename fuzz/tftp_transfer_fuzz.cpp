// Plays an arbitrary TFTP target against Zamri's download client: the datagrams it answers
// with, from its own port or a stranger's, silent waits and failing sockets. Once the input is
// spent it answers as a good server does, so every run reaches an end. The client must never
// read past a datagram, send anything but the write request and then the file's own blocks in
// order to the port that answered it from the target's address, and report success only when
// the final block was acknowledged.
//
// Input: two bytes of file length (little-endian, at most 16383), one byte of retry limit (its
// low two bits), then events, each one byte of kind and, for a datagram, two bytes of length
// (at most 1023) and its bytes.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "DownloadTransfer.h"
#include "TftpWire.h"

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

constexpr Endpoint kTarget{0x7F000001, 69};
constexpr Endpoint kPeer{0x7F000001, 50000};
constexpr Endpoint kStranger{0x7F000002, 50000};

struct Sent {
    Endpoint to;
    std::vector<uint8_t> bytes;
};

class Script {
public:
    Script(const uint8_t* data, size_t size) : data_(data), left_(size) {}

    enum Kind { Silence, WaitFails, ReceiveFails, FromPeer, FromStranger, Spent };

    // The next event, and for a datagram its bytes.
    Kind Next(std::vector<uint8_t>& bytes) {
        if (left_ == 0)
            return Spent;
        const Kind kind = static_cast<Kind>(Take() % 5);
        if (kind != FromPeer && kind != FromStranger)
            return kind;
        size_t length = (Take() | Take() << 8) & 0x3FF;
        length = length < left_ ? length : left_;
        bytes.assign(data_, data_ + length);
        data_ += length;
        left_ -= length;
        return kind;
    }

private:
    uint8_t Take() {
        if (left_ == 0)
            return 0;
        --left_;
        return *data_++;
    }
    const uint8_t* data_;
    size_t left_;
};

// One socket, whose far end is the script, and the record of what the client sent. A wait
// that times out moves the clock on by the wait, a datagram by a millisecond.
class ScriptedSocket : public DatagramSocket {
public:
    ScriptedSocket(Script& script, std::vector<Sent>& sent, uint64_t& nowMs)
        : script_(script), sent_(sent), nowMs_(nowMs) {}

    bool SendTo(const Endpoint& to, const uint8_t* data, size_t length) override {
        sent_.push_back({to, std::vector<uint8_t>(data, data + length)});
        return true;
    }
    WaitResult WaitReadable(uint32_t milliseconds) override {
        ready_ = false;
        switch (script_.Next(datagram_)) {
        case Script::Silence:
            nowMs_ += milliseconds;
            return WaitResult::TimedOut;
        case Script::WaitFails:
            return WaitResult::Failed;
        case Script::ReceiveFails:
            failReceive_ = true;
            return WaitResult::Readable;
        case Script::FromPeer:
        case Script::FromStranger:
            from_ = datagram_.size() % 2 ? kStranger : kPeer;
            break;
        case Script::Spent:
            GoodServerAnswer();
            break;
        }
        ready_ = true;
        ++nowMs_;
        return WaitResult::Readable;
    }
    int ReceiveFrom(uint8_t* buffer, size_t capacity, Endpoint& from) override {
        if (failReceive_) {
            failReceive_ = false;
            return -1;
        }
        Check(ready_);
        ready_ = false;
        const size_t n = datagram_.size() < capacity ? datagram_.size() : capacity;
        // Into a copy of exactly the datagram's size, so a read past it shows.
        std::vector<uint8_t> exact(datagram_.begin(), datagram_.begin() + n);
        if (n)
            std::memcpy(buffer, exact.data(), n);
        from = from_;
        // The first reply from the target's address names the port the transfer then uses.
        if (sent_.size() == 1 && from_.address == kTarget.address)
            peer_ = from_;
        return static_cast<int>(n);
    }

private:
    // Acknowledges the last datagram sent, from the port that answered the write request.
    void GoodServerAnswer() {
        const std::vector<uint8_t>& last = sent_.back().bytes;
        const bool request = sent_.size() == 1;
        datagram_ = {0, 4, request ? uint8_t{0} : last[2], request ? uint8_t{0} : last[3]};
        from_ = request ? kPeer : peer_;
    }

    Script& script_;
    std::vector<Sent>& sent_;
    std::vector<uint8_t> datagram_;
    Endpoint from_;
    Endpoint peer_ = kPeer;
    uint64_t& nowMs_;
    bool ready_ = false;
    bool failReceive_ = false;
};

class Target : public SocketLibrary, public TransferClock {
public:
    Target(Script& script, std::vector<Sent>& sent) : script_(script), sent_(sent) {}
    bool Startup(uint16_t& version) override {
        version = 0x0101;
        return true;
    }
    void Cleanup() override {}
    std::unique_ptr<DatagramSocket> OpenSocket() override {
        return std::make_unique<ScriptedSocket>(script_, sent_, nowMs_);
    }
    int64_t NowSeconds() override { return 0; }
    uint64_t NowMilliseconds() override { return nowMs_; }
    void Pause(uint32_t) override {}

private:
    Script& script_;
    std::vector<Sent>& sent_;
    uint64_t nowMs_ = 0;
};

class MemoryFile : public DownloadFile {
public:
    explicit MemoryFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    bool Length(uint64_t& length) override {
        length = bytes_.size();
        return true;
    }
    bool ReadAt(uint64_t offset, uint8_t* buffer, size_t length) override {
        if (offset > bytes_.size() || length > bytes_.size() - offset)
            return false;
        if (length)
            std::memcpy(buffer, bytes_.data() + offset, length);
        return true;
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

struct NoView : TransferView {
    void EnableDownload(bool) override {}
    void SetStatus(const std::string&) override {}
    void SetProgressText(const std::string&) override {}
    void SetProgressRange(uint16_t) override {}
    void SetProgressPosition(uint32_t) override {}
    void ShowMessage(const std::string&) override {}
};

// The client sent the write request to the target, then only blocks of the file, each in
// order after the one before it, all to the port that answered from the target's address,
// never to the stranger; true when the final one was among them.
bool SentOnlyTheFile(const std::vector<Sent>& sent, const std::vector<uint8_t>& file) {
    Check(!sent.empty() && sent[0].to == kTarget && sent[0].bytes == TftpWriteRequest());
    const uint32_t blocks = static_cast<uint32_t>(file.size() / kTftpBlockSize + 1);
    uint32_t last = 1;
    for (size_t i = 1; i < sent.size(); ++i) {
        const std::vector<uint8_t>& d = sent[i].bytes;
        Check(sent[i].to == kPeer && d.size() >= 4 && d[0] == 0 && d[1] == kTftpData);
        const uint32_t block = d[2] << 8 | d[3];
        Check(block == last || block == last + 1);
        last = block;
        const size_t offset = (block - 1) * size_t{kTftpBlockSize};
        const size_t length = block == blocks ? file.size() % kTftpBlockSize : kTftpBlockSize;
        Check(d.size() == 4 + length &&
              std::equal(d.begin() + 4, d.end(), file.begin() + static_cast<ptrdiff_t>(offset)));
    }
    return sent.size() > 1 && last == blocks;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const size_t length = (data[0] | data[1] << 8) & 0x3FFF;
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
    MemoryFile file(bytes);
    UpdaterSettings settings;
    settings.target = kTarget;
    settings.retryLimit = data[2] & 3;

    Script script(data + 3, size - 3);
    std::vector<Sent> sent;
    Target target(script, sent);
    NoView view;
    DownloadTransfer transfer(view, target, target);
    const TransferOutcome outcome = transfer.Run(file, settings);

    const bool finalSent = SentOnlyTheFile(sent, file.Bytes());
    if (outcome == TransferOutcome::Success)
        Check(finalSent);
    return 0;
}
