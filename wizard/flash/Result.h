#pragma once

#include <string>
#include <utility>

// How the core's checks, readers and writers end: success, or a failure with a sentence that
// says what went wrong. The flash link keeps its exported 1/0 results; this is for the code
// behind it, where a caller needs the reason as well as the verdict.
class [[nodiscard]] Result {
public:
    Result() = default; // success

    static Result Failure(std::string message) {
        Result result;
        result.failed_ = true;
        result.message_ = std::move(message);
        return result;
    }

    bool Ok() const { return !failed_; }
    explicit operator bool() const { return !failed_; }
    // Empty on success.
    const std::string& Message() const { return message_; }

private:
    bool failed_ = false;
    std::string message_;
};
