#pragma once

#include <string>

// Reads a command line as users of command-line programs expect: "--name value" and
// "--name=value" alike, short options ("-d value"), and "--" before arguments that start
// with a dash. Each tool keeps its own table of options; this only takes the line apart.
class ArgReader {
public:
    ArgReader(int argc, char** argv, int first = 1);

    // Moves to the next argument; false after the last one.
    bool Next();
    // The current argument, or for "--name=value" its "--name".
    const std::string& Name() const { return name_; }
    bool Is(const char* longName, const char* shortName = nullptr) const;
    // The current argument is an option (it starts with a dash), not an operand.
    bool IsOption() const { return option_; }
    // The value of an option that takes one: what follows its '=', else the next argument.
    // False when there is none.
    bool TakeValue(std::string& value);
    // "--quiet=yes": an option that takes no value was given one.
    bool HasAttachedValue() const { return attached_; }

private:
    int argc_;
    char** argv_;
    int next_;
    bool operandsOnly_ = false;
    std::string name_;
    std::string value_;
    bool attached_ = false;
    bool option_ = false;
};

// The one version string of every tool, from the build.
const char* ToolVersion();
// "PROGRAM VERSION" on standard output, for --version.
void PrintVersion(const char* program);
