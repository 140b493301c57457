#include "ProgressSink.h"

#include <cstdio>

ProgressSink::~ProgressSink() = default;
MessageSink::~MessageSink() = default;

namespace {

class StderrMessages : public MessageSink {
public:
    void ShowMessage(const char* text, const char* caption) override {
        std::fprintf(stderr, "%s%s%s\n", caption ? caption : "", caption ? ": " : "", text);
    }
};

} // namespace

MessageSink& MessageSink::Default() {
    static StderrMessages sink;
    return sink;
}
