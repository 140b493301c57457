#include "FakeTarget.h"

#include <algorithm>
#include <cstdio>

class FakeSocket : public DatagramSocket {
public:
    explicit FakeSocket(FakeTarget& target) : t(target) { ++t.socketsOpen; }
    ~FakeSocket() override {
        --t.socketsOpen;
        t.wire.push_back("close");
    }

    bool SendTo(const Endpoint& to, const uint8_t* data, size_t length) override {
        FakeTarget::Sent s{to, std::vector<uint8_t>(data, data + length)};
        t.wire.push_back("> " + FakeTarget::Describe(s.bytes) + " to " + Dotted(to.address) + ":" +
                         std::to_string(to.port));
        const size_t k = t.sent.size();
        t.sent.push_back(s);
        m_lastAddress = to.address;
        std::optional<std::vector<Event>> scripted;
        if (t.script)
            scripted = t.script(k, s);
        if (scripted) {
            t.pending.insert(t.pending.end(), scripted->begin(), scripted->end());
        } else if (k == 0) {
            t.pending.push_back(Ack(0));
        } else {
            const int block = FakeTarget::BlockOf(s.bytes);
            if (block >= 0)
                t.pending.push_back(Ack(static_cast<uint32_t>(block)));
        }
        return true;
    }

    WaitResult WaitReadable(uint32_t milliseconds) override {
        t.waits.push_back(milliseconds);
        const std::string wait = "wait " + std::to_string(milliseconds);
        Event e = Silence();
        if (!t.pending.empty()) {
            e = t.pending.front();
            if (e.kind == Event::Datagram && e.delayMs > milliseconds) {
                // Still on its way when the wait ends.
                t.pending.front().delayMs -= milliseconds;
                e = Silence();
            } else {
                t.pending.pop_front();
            }
        }
        switch (e.kind) {
        case Event::Silence:
            t.nowMs += milliseconds;
            t.wire.push_back(wait + " timed out");
            return WaitResult::TimedOut;
        case Event::WaitFails:
            t.wire.push_back(wait + " failed");
            return WaitResult::Failed;
        default:
            t.nowMs += e.delayMs;
            t.delivering = e;
            t.wire.push_back(e.delayMs ? wait + ", " + std::to_string(e.delayMs) + " passed"
                                       : wait);
            return WaitResult::Readable;
        }
    }

    int ReceiveFrom(uint8_t* buffer, size_t capacity, Endpoint& from) override {
        if (!t.delivering || t.delivering->kind == Event::ReceiveFails) {
            t.delivering.reset();
            t.wire.push_back("< receive failed");
            return -1;
        }
        const Event e = *t.delivering;
        t.delivering.reset();
        from = {e.address ? e.address : m_lastAddress, e.port};
        const size_t n = std::min(capacity, e.bytes.size());
        std::copy(e.bytes.begin(), e.bytes.begin() + static_cast<long>(n), buffer);
        std::string source = std::to_string(e.port);
        if (e.address)
            source = Dotted(e.address) + ":" + source;
        t.wire.push_back("< " + FakeTarget::Describe(e.bytes) + " from " + source);
        return static_cast<int>(n);
    }

private:
    static std::string Dotted(uint32_t a) {
        char text[20];
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF,
                      a & 0xFF);
        return text;
    }

    FakeTarget& t;
    uint32_t m_lastAddress = 0;
};

bool FakeTarget::Startup(uint16_t& v) {
    v = version;
    if (startFails)
        return false;
    ++startups;
    return true;
}

std::unique_ptr<DatagramSocket> FakeTarget::OpenSocket() {
    if (noSocket)
        return nullptr;
    return std::make_unique<FakeSocket>(*this);
}

void FakeTarget::Pause(uint32_t milliseconds) {
    nowMs += milliseconds;
    wire.push_back("pause " + std::to_string(milliseconds));
}

int FakeTarget::BlockOf(const std::vector<uint8_t>& d) {
    if (d.size() < 4 || d[0] != 0 || d[1] != 3)
        return -1;
    return d[2] << 8 | d[3];
}

std::string FakeTarget::Describe(const std::vector<uint8_t>& d) {
    const auto text = [&](size_t from) {
        std::string s;
        while (from < d.size() && d[from])
            s += static_cast<char>(d[from++]);
        return s;
    };
    if (d.size() >= 2 && d[0] == 0 && d[1] == 2) {
        const std::string name = text(2);
        return "WRQ " + name + " " + text(3 + name.size());
    }
    if (d.size() >= 4 && d[0] == 0 && d[1] == 3)
        return "DATA " + std::to_string(d[2] << 8 | d[3]) + " +" + std::to_string(d.size() - 4);
    if (d.size() == 4 && d[0] == 0 && d[1] == 4)
        return "ACK " + std::to_string(d[2] << 8 | d[3]);
    if (d.size() >= 4 && d[0] == 0 && d[1] == 5)
        return "ERROR " + std::to_string(d[2] << 8 | d[3]) + " " + text(4);
    std::string hex;
    for (uint8_t b : d) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X", b);
        hex += two;
    }
    return hex;
}

bool PatternFile::Length(uint64_t& length) {
    if (missing)
        return false;
    length = m_size;
    return true;
}

bool PatternFile::ReadAt(uint64_t offset, uint8_t* buffer, size_t length) {
    const size_t call = reads++;
    if (call >= lostFromCall || std::count(failReads.begin(), failReads.end(), call))
        return false;
    if (offset + length > m_size)
        return false;
    for (size_t i = 0; i < length; ++i)
        buffer[i] = ByteAt(offset + i);
    return true;
}
