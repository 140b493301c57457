#include "ScriptOptions.h"

#include "Format.h"
#include "HandsetTexts.h"
#include "SampleKit.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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

} // namespace

Result ParseStream(const std::string& text, std::vector<StreamItem>& items) {
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
                return Result::Failure(Format(TXT_BAD_STREAM_ITEM, item.c_str()));
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
            return Result::Failure(Format(TXT_BAD_STREAM_ITEM, item.c_str()));
        }
    }
    if (items.empty())
        return Result::Failure(TXT_EMPTY_STREAM);
    return {};
}

namespace {

// Each option's setter: false for a bad value, with `why` when there is more to say than that.
using Setter = bool (*)(const std::string& value, BootLoaderScript& s, std::string& why);

bool SetKey(const std::string& value, BootLoaderScript& s, std::string&) {
    if (value == "ok")
        s.keyReply = KeyReply::Accept;
    else if (value == "alt")
        s.keyReply = KeyReply::AcceptAlt;
    else if (value == "refuse")
        s.keyReply = KeyReply::Refuse;
    else
        return false;
    return true;
}

template <FlashPartition P>
bool SetHeld(const std::string& value, BootLoaderScript& s, std::string&) {
    return ParseVersion(value, s.held[static_cast<int>(P)].data());
}

bool SetReady(const std::string& value, BootLoaderScript& s, std::string&) {
    uint32_t word = 0;
    if (value == "msg") {
        s.readiness = Readiness::MsgReady;
    } else if (value == "ack") {
        s.readiness = Readiness::AckAndWord;
    } else if (value.compare(0, 4, "ack:") == 0 && ParseU32(value.substr(4), word, 16)) {
        s.readiness = Readiness::AckAndWord;
        s.readinessWord = word;
    } else {
        return false;
    }
    return true;
}

bool SetAckOn(const std::string& value, BootLoaderScript& s, std::string&) {
    uint32_t n = 0, at = 0;
    bool hasAt = false;
    if (!ParseCountAt(value, n, at, hasAt) || n == 0)
        return false;
    s.ackOnQuery = n;
    s.ackOnQueryHandshake = hasAt ? at : 0;
    return true;
}

bool SetLateAck(const std::string& value, BootLoaderScript& s, std::string&) {
    std::string text = value;
    s.lateAckBusy = false;
    if (text.size() > 5 && text.compare(text.size() - 5, 5, ":busy") == 0) {
        s.lateAckBusy = true;
        text.resize(text.size() - 5);
    }
    uint32_t n = 0, at = 1;
    bool hasAt = false;
    if (!ParseCountAt(text, n, at, hasAt))
        return false;
    s.lateAckMs = n;
    s.lateAckHandshake = hasAt ? at : 1;
    return true;
}

bool SetWrongCrc(const std::string& value, BootLoaderScript& s, std::string&) {
    return ParseU32(value, s.wrongCrcAt);
}

bool SetFirmwareError(const std::string& value, BootLoaderScript& s, std::string&) {
    uint32_t code = 0;
    if (!ParseCode(value, code))
        return false;
    s.stream = {StreamItem::TextOf(TXT_WRITING_FLASH),
                StreamItem::Of(StreamItem::ProgressRange, 100),
                StreamItem::Of(StreamItem::ProgressPos, 50),
                StreamItem::Of(StreamItem::FirmwareError, code)};
    return true;
}

bool SetStream(const std::string& value, BootLoaderScript& s, std::string& why) {
    const Result parsed = ParseStream(value, s.stream);
    why = parsed.Message();
    return parsed.Ok();
}

bool SetAnswerWait(const std::string& value, BootLoaderScript& s, std::string&) {
    return ParseU32(value, s.answerWaitMs);
}

// "EVENT:N", N from 1; `rest` is what follows a further colon, if anything.
bool ParseEventPoint(const std::string& value, EventPoint& point, std::string* rest = nullptr) {
    const size_t colon = value.find(':');
    bool known = false;
    for (const auto& e : kEvents)
        if (value.compare(0, colon, e.name) == 0 && std::strlen(e.name) == colon) {
            point.event = e.event;
            known = true;
        }
    if (!known || colon == std::string::npos)
        return false;
    const size_t second = rest ? value.find(':', colon + 1) : std::string::npos;
    if (rest && second == std::string::npos)
        return false;
    uint32_t n = 0;
    if (!ParseU32(value.substr(colon + 1, second - colon - 1), n) || n == 0)
        return false;
    point.nth = n;
    if (rest)
        *rest = value.substr(second + 1);
    return true;
}

bool SetPullAt(const std::string& value, BootLoaderScript& s, std::string&) {
    return ParseEventPoint(value, s.pullAt);
}

bool SetSilentAt(const std::string& value, BootLoaderScript& s, std::string&) {
    std::string ms;
    return ParseEventPoint(value, s.silentAt, &ms) && ParseU32(ms, s.silentMs);
}

bool SetPullAfterBytes(const std::string& value, BootLoaderScript& s, std::string&) {
    uint64_t bytes = 0;
    if (!ParseUnsigned(value, bytes) || bytes == 0)
        return false;
    s.pullAfterHostBytes = bytes;
    return true;
}

// Bytes per second: decimal digits with an optional k (thousand) or M (million), as line
// speeds are counted.
bool SetLineRate(const std::string& value, BootLoaderScript& s, std::string&) {
    uint64_t multiplier = 1;
    std::string digits = value;
    if (!digits.empty() && (digits.back() == 'k' || digits.back() == 'M')) {
        multiplier = digits.back() == 'k' ? 1000 : 1000000;
        digits.pop_back();
    }
    uint64_t rate = 0;
    if (digits.find_first_not_of("0123456789") != std::string::npos ||
        !ParseUnsigned(digits, rate, 10) || rate > 0xFFFFFFFFull / multiplier)
        return false;
    s.lineRate = static_cast<uint32_t>(rate * multiplier);
    return true;
}

// The options, in the order the help lists them. A row without help shares the next row's;
// a row with a heading starts a group.
const struct ScriptOption {
    const char* heading;
    const char* name;
    const char* argument;
    Setter set;
    const char* help;
} kOptions[] = {
    {"What the handset holds and answers", "--key", "ok|alt|refuse", SetKey,
     "the reply to the key (default ok; alt makes the host ignore\n"
     "version refusals)"},
    {nullptr, "--held-ipl", "V", SetHeld<FlashPartition::IPL>, nullptr},
    {nullptr, "--held-os", "V", SetHeld<FlashPartition::OS>, nullptr},
    {nullptr, "--held-cp", "V", SetHeld<FlashPartition::CP>,
     "the versions held: older ones are refused (twelve hex digits,\n"
     "or up to six characters; default all zero)"},
    {nullptr, "--ready", "msg|ack[:WORD]", SetReady,
     "readiness before a flash mode: MSG_READY (default), or\n"
     "WORD_ACK followed by WORD (hex, default 1)"},
    {"Faults", "--ack-on", "N[@H]", SetAckOn,
     "acknowledge only the Nth query of a handshake (of handshake H\n"
     "only, counted from 1 as they end; default every handshake)"},
    {nullptr, "--late-ack", "MS[@H][:busy]", SetLateAck,
     "acknowledge handshake H (default 1; 0 every one) only after\n"
     "MS milliseconds: silently, or with other words to each query"},
    {nullptr, "--wrong-crc", "N", SetWrongCrc, "answer the Nth CRC query with a wrong CRC"},
    {nullptr, "--firmware-error", "CODE", SetFirmwareError,
     "end the message stream with a firmware error CODE"},
    {nullptr, "--stream", "ITEMS", SetStream,
     "the message stream, items separated by ';':\n"
     "  text:STRING  range:N  pos:N  file0  file1  flashsize\n"
     "  upload:SIZE[/CHUNKS]  store:SIZE  word:HEX  ack\n"
     "  error:CODE  pull\n"
     "(a stream that does not end itself gets a final ack)"},
    {nullptr, "--answer-wait", "MS", SetAnswerWait,
     "how long a file request waits for the host (default 1000)"},
    {nullptr, "--pull-at", "EVENT:N", SetPullAt,
     "pull the cable at the Nth EVENT: key, ready, mode, version,\n"
     "ack, block (half-way through its data), data, stream"},
    {nullptr, "--silent-at", "EVENT:N:MS", SetSilentAt,
     "stay silent for MS milliseconds at the Nth EVENT (as for\n"
     "--pull-at; block: before its data), then go on"},
    {nullptr, "--pull-after-bytes", "N", SetPullAfterBytes,
     "pull the cable once the host has sent N bytes"},
    {"The link", "--line-rate", "BYTES_PER_SECOND", SetLineRate,
     "move no faster than this, both ways together (k and M\n"
     "suffixes: 1M is 1,000,000, about full-speed USB; default 0,\n"
     "as fast as the pty allows)"},
};

const ScriptOption* Find(const std::string& name) {
    for (const ScriptOption& option : kOptions)
        if (name == option.name)
            return &option;
    return nullptr;
}

} // namespace

bool IsScriptOption(const std::string& name) {
    return Find(name) != nullptr;
}

Result ApplyScriptOption(const std::string& name, const std::string& value, BootLoaderScript& s) {
    const ScriptOption* option = Find(name);
    if (!option)
        return Result::Failure(Format(TXT_UNKNOWN_OPTION, name.c_str()));
    std::string why;
    if (!option->set(value, s, why))
        return Result::Failure(why.empty() ? Format(TXT_BAD_VALUE, value.c_str(), name.c_str())
                                           : Format(TXT_OPTION_WHY, name.c_str(), why.c_str()));
    return {};
}

std::string ScriptOptionsHelp() {
    const size_t column = 27; // where the help begins, after the option and its argument
    std::string text, label;
    for (const ScriptOption& option : kOptions) {
        if (option.heading)
            text += std::string(text.empty() ? "" : "\n") + option.heading + ":\n";
        label += (label.empty() ? "  " : ", ") + std::string(option.name) + " " + option.argument;
        if (!option.help)
            continue;
        text += label;
        text += label.size() < column ? std::string(column - label.size(), ' ')
                                      : "\n" + std::string(column, ' ');
        for (const char* c = option.help; *c; ++c)
            text += *c == '\n' ? "\n" + std::string(column, ' ') : std::string(1, *c);
        text += "\n";
        label.clear();
    }
    return text;
}
