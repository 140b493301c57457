#include "ScriptOptions.h"

#include "SampleKit.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

const char kScriptOptionsHelp[] =
    "What the handset holds and answers:\n"
    "  --key ok|alt|refuse      the reply to the key (default ok; alt makes the host ignore\n"
    "                           version refusals)\n"
    "  --held-ipl V, --held-os V, --held-cp V\n"
    "                           the versions held: older ones are refused (twelve hex digits,\n"
    "                           or up to six characters; default all zero)\n"
    "  --ready msg|ack[:WORD]   readiness before a flash mode: MSG_READY (default), or\n"
    "                           WORD_ACK followed by WORD (hex, default 1)\n"
    "\n"
    "Faults:\n"
    "  --ack-on N[@H]           acknowledge only the Nth query of a handshake (of handshake H\n"
    "                           only, counted from 1 as they end; default every handshake)\n"
    "  --late-ack MS[@H][:busy] acknowledge handshake H (default 1; 0 every one) only after\n"
    "                           MS milliseconds: silently, or with other words to each query\n"
    "  --wrong-crc N            answer the Nth CRC query with a wrong CRC\n"
    "  --firmware-error CODE    end the message stream with a firmware error CODE\n"
    "  --stream ITEMS           the message stream, items separated by ';':\n"
    "                             text:STRING  range:N  pos:N  file0  file1  flashsize\n"
    "                             upload:SIZE[/CHUNKS]  store:SIZE  word:HEX  ack\n"
    "                             error:CODE  pull\n"
    "                           (a stream that does not end itself gets a final ack)\n"
    "  --answer-wait MS         how long a file request waits for the host (default 1000)\n"
    "  --pull-at EVENT:N        pull the cable at the Nth EVENT: key, ready, mode, version,\n"
    "                           ack, block (half-way through its data), data, stream\n"
    "  --pull-after-bytes N     pull the cable once the host has sent N bytes\n";

namespace {

bool ParseUnsigned(const std::string& text, uint64_t& value, int base = 0) {
    if (text.empty() || text[0] == '-')
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text.c_str(), &end, base);
    return errno == 0 && *end == 0;
}

bool ParseU32(const std::string& text, uint32_t& value, int base = 0) {
    uint64_t v = 0;
    if (!ParseUnsigned(text, v, base) || v > 0xFFFFFFFFull)
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// A firmware error code as the device sends it: a signed or unsigned 32-bit value.
bool ParseCode(const std::string& text, uint32_t& value) {
    if (!text.empty() && text[0] == '-') {
        char* end = nullptr;
        const long long v = std::strtoll(text.c_str(), &end, 0);
        if (*end || v < INT32_MIN)
            return false;
        value = static_cast<uint32_t>(static_cast<int32_t>(v));
        return true;
    }
    return ParseU32(text, value);
}

std::vector<uint8_t> Pattern(uint32_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (uint32_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 13 + seed + (i >> 10));
    return bytes;
}

bool Fail(std::string* error, const std::string& text) {
    if (error)
        *error = text;
    return false;
}

// "N" or "N@H".
bool ParseCountAt(const std::string& text, uint32_t& n, uint32_t& at, bool& hasAt) {
    const size_t sep = text.find('@');
    hasAt = sep != std::string::npos;
    if (!ParseU32(text.substr(0, sep), n))
        return false;
    return !hasAt || ParseU32(text.substr(sep + 1), at);
}

const struct {
    const char* name;
    DeviceEvent event;
} kEvents[] = {
    {"key", DeviceEvent::Key},        {"ready", DeviceEvent::Readiness},
    {"mode", DeviceEvent::FlashMode}, {"version", DeviceEvent::OfferedVersion},
    {"ack", DeviceEvent::AckQuery},   {"block", DeviceEvent::Block},
    {"data", DeviceEvent::DataWord},  {"stream", DeviceEvent::Stream},
};

const char* const kOptions[] = {
    "--key",         "--held-ipl", "--held-os",         "--held-cp",        "--ready",
    "--ack-on",      "--late-ack", "--wrong-crc",       "--firmware-error", "--stream",
    "--answer-wait", "--pull-at",  "--pull-after-bytes"};

} // namespace

bool ParseStream(const std::string& text, std::vector<StreamItem>& items, std::string* error) {
    items.clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string item = text.substr(start, end - start);
        start = end + 1;
        if (item.empty())
            continue;
        const size_t colon = item.find(':');
        const std::string kind = item.substr(0, colon);
        const std::string arg = colon == std::string::npos ? "" : item.substr(colon + 1);
        uint32_t n = 0;
        if (kind == "text" && colon != std::string::npos) {
            items.push_back(StreamItem::TextOf(arg));
        } else if (kind == "range" && ParseU32(arg, n)) {
            items.push_back(StreamItem::Of(StreamItem::ProgressRange, n));
        } else if (kind == "pos" && ParseU32(arg, n)) {
            items.push_back(StreamItem::Of(StreamItem::ProgressPos, n));
        } else if (kind == "file0" && arg.empty()) {
            items.push_back(StreamItem::Of(StreamItem::RequestFile0));
        } else if (kind == "file1" && arg.empty()) {
            items.push_back(StreamItem::Of(StreamItem::RequestFile1));
        } else if (kind == "flashsize" && arg.empty()) {
            items.push_back(StreamItem::Of(StreamItem::RequestFlashSize));
        } else if (kind == "upload") {
            const size_t slash = arg.find('/');
            uint32_t chunks = 1;
            if (!ParseU32(arg.substr(0, slash), n) ||
                (slash != std::string::npos && !ParseU32(arg.substr(slash + 1), chunks)) ||
                chunks == 0)
                return Fail(error, "bad stream item '" + item + "'");
            items.push_back(StreamItem::UploadOf(Pattern(n, 7), chunks));
        } else if (kind == "store" && ParseU32(arg, n)) {
            items.push_back(StreamItem::StoreOf(Pattern(n, 3)));
        } else if (kind == "word" && ParseU32(arg, n, 16)) {
            items.push_back(StreamItem::Of(StreamItem::Word, n));
        } else if (kind == "ack" && arg.empty()) {
            items.push_back(StreamItem::Of(StreamItem::Ack));
        } else if (kind == "error" && ParseCode(arg, n)) {
            items.push_back(StreamItem::Of(StreamItem::FirmwareError, n));
        } else if (kind == "pull" && arg.empty()) {
            items.push_back(StreamItem::Of(StreamItem::PullCable));
        } else {
            return Fail(error, "bad stream item '" + item + "'");
        }
    }
    if (items.empty())
        return Fail(error, "an empty stream");
    return true;
}

bool IsScriptOption(const std::string& name) {
    for (const char* option : kOptions)
        if (name == option)
            return true;
    return false;
}

bool ApplyScriptOption(const std::string& name, const std::string& value, BootLoaderScript& s,
                       std::string* error) {
    const std::string bad = "bad value '" + value + "' for " + name;
    uint32_t n = 0;
    if (name == "--key") {
        if (value == "ok")
            s.keyReply = KeyReply::Accept;
        else if (value == "alt")
            s.keyReply = KeyReply::AcceptAlt;
        else if (value == "refuse")
            s.keyReply = KeyReply::Refuse;
        else
            return Fail(error, bad);
    } else if (name == "--held-ipl" || name == "--held-os" || name == "--held-cp") {
        const FlashPartition p = name == "--held-ipl"  ? FlashPartition::IPL
                                 : name == "--held-os" ? FlashPartition::OS
                                                       : FlashPartition::CP;
        if (!ParseVersion(value, s.held[static_cast<int>(p)].data()))
            return Fail(error, bad);
    } else if (name == "--ready") {
        if (value == "msg") {
            s.readiness = Readiness::MsgReady;
        } else if (value == "ack") {
            s.readiness = Readiness::AckAndWord;
        } else if (value.compare(0, 4, "ack:") == 0 && ParseU32(value.substr(4), n, 16)) {
            s.readiness = Readiness::AckAndWord;
            s.readinessWord = n;
        } else {
            return Fail(error, bad);
        }
    } else if (name == "--ack-on") {
        uint32_t at = 0;
        bool hasAt = false;
        if (!ParseCountAt(value, n, at, hasAt) || n == 0)
            return Fail(error, bad);
        s.ackOnQuery = n;
        s.ackOnQueryHandshake = hasAt ? at : 0;
    } else if (name == "--late-ack") {
        std::string text = value;
        s.lateAckBusy = false;
        if (text.size() > 5 && text.compare(text.size() - 5, 5, ":busy") == 0) {
            s.lateAckBusy = true;
            text.resize(text.size() - 5);
        }
        uint32_t at = 1;
        bool hasAt = false;
        if (!ParseCountAt(text, n, at, hasAt))
            return Fail(error, bad);
        s.lateAckMs = n;
        s.lateAckHandshake = hasAt ? at : 1;
    } else if (name == "--wrong-crc") {
        if (!ParseU32(value, s.wrongCrcAt))
            return Fail(error, bad);
    } else if (name == "--firmware-error") {
        if (!ParseCode(value, n))
            return Fail(error, bad);
        s.stream = {StreamItem::TextOf("Writing flash"),
                    StreamItem::Of(StreamItem::ProgressRange, 100),
                    StreamItem::Of(StreamItem::ProgressPos, 50),
                    StreamItem::Of(StreamItem::FirmwareError, n)};
    } else if (name == "--stream") {
        std::string why;
        if (!ParseStream(value, s.stream, &why))
            return Fail(error, name + ": " + why);
    } else if (name == "--answer-wait") {
        if (!ParseU32(value, s.answerWaitMs))
            return Fail(error, bad);
    } else if (name == "--pull-at") {
        const size_t colon = value.find(':');
        bool known = false;
        for (const auto& e : kEvents)
            if (value.compare(0, colon, e.name) == 0 && std::strlen(e.name) == colon) {
                s.pullAt.event = e.event;
                known = true;
            }
        if (!known || colon == std::string::npos || !ParseU32(value.substr(colon + 1), n) || n == 0)
            return Fail(error, bad);
        s.pullAt.nth = n;
    } else if (name == "--pull-after-bytes") {
        uint64_t bytes = 0;
        if (!ParseUnsigned(value, bytes) || bytes == 0)
            return Fail(error, bad);
        s.pullAfterHostBytes = bytes;
    } else {
        return Fail(error, "unknown option " + name);
    }
    return true;
}
