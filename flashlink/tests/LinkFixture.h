#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CVug_CommsDLL.h"
#include "FakePipe.h"
#include "Transcript.h"
#include "WireWords.h"

// What a progress bar was told, in order: "range N" and "pos N".
class RecordedProgress : public ProgressSink {
public:
    void SetRange(uint32_t upper) override { events.push_back("range " + std::to_string(upper)); }
    void SetPos(uint32_t pos) override { events.push_back("pos " + std::to_string(pos)); }
    std::vector<std::string> events;
};

// The link's message boxes, as "caption|text" (caption "-" for the default one).
class RecordedMessages : public MessageSink {
public:
    void ShowMessage(const char* text, const char* caption) override {
        shown.push_back(std::string(caption ? caption : "-") + "|" + text);
    }
    std::vector<std::string> shown;
};

using Lines = std::vector<std::string>;

// A link over a scripted device: words queued for it to read, and a transcript of the exchange.
class LinkTest : public ::testing::Test {
protected:
    LinkTest() : recorder(pipe) {
        link.SetPipe(&recorder);
        link.SetClock(&clock);
        link.SetMessageSink(&messages);
        link.m_pProgress = &progress;
    }

    void Queue(std::initializer_list<uint32_t> words) {
        for (uint32_t w : words)
            pipe.QueueWord(w);
    }
    void QueueBytes(const std::vector<uint8_t>& bytes) {
        pipe.toRead.insert(pipe.toRead.end(), bytes.begin(), bytes.end());
    }
    Lines Transcript() const { return recorder.Lines(wire::Name); }

    FakePipe pipe;
    RecordingPipe recorder;
    SteppingClock clock;
    RecordedProgress progress;
    RecordedMessages messages;
    CVug_CommsDLL link;
};

inline std::string W(uint32_t word) {
    const char* name = wire::Name(word);
    return name ? name : RecordingPipe::Hex(word);
}
inline std::string Sent(uint32_t word) {
    return "> " + W(word);
}
inline std::string Got(uint32_t word) {
    return "< " + W(word);
}
inline std::string SentBytes(uint32_t n) {
    return "> " + std::to_string(n) + " bytes";
}
inline std::string GotBytes(uint32_t n) {
    return "< " + std::to_string(n) + " bytes";
}

inline void Append(Lines& to, const Lines& more) {
    to.insert(to.end(), more.begin(), more.end());
}

inline std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 1) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(i * 31 + seed + (i >> 8));
    return bytes;
}
