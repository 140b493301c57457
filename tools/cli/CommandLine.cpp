#include "CommandLine.h"

#include <cstdio>
#include <cstring>

ArgReader::ArgReader(int argc, char** argv, int first) : argc_(argc), argv_(argv), next_(first) {}

bool ArgReader::Next() {
    if (next_ >= argc_)
        return false;
    const std::string arg = argv_[next_++];
    attached_ = false;
    value_.clear();
    option_ = !operandsOnly_ && arg.size() > 1 && arg[0] == '-';
    if (option_ && arg == "--") {
        operandsOnly_ = true;
        return Next();
    }
    name_ = arg;
    const size_t equals = arg.find('=');
    if (option_ && arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
        name_ = arg.substr(0, equals);
        value_ = arg.substr(equals + 1);
        attached_ = true;
    }
    return true;
}

bool ArgReader::Is(const char* longName, const char* shortName) const {
    return option_ && (name_ == longName || (shortName && name_ == shortName));
}

bool ArgReader::TakeValue(std::string& value) {
    if (attached_) {
        value = value_;
        attached_ = false; // taken: not an unwanted value any more
        return true;
    }
    if (next_ >= argc_)
        return false;
    value = argv_[next_++];
    return true;
}

const char* ToolVersion() {
    return KOV_VERSION;
}

void PrintVersion(const char* program) {
    std::printf("%s %s\n", program, ToolVersion());
}
