#pragma once

#include <string>

namespace package {

// Where the builder and the package report, one line at a time (UTF-8, without the line end).
class Console {
public:
    virtual ~Console() = default;
    virtual void Line(const std::string& text) = 0;
};

} // namespace package
