#pragma once

#include <stdint.h>

// A line of text built in a buffer of the caller's, for a program without a C library. What
// does not fit is dropped, and the text stays NUL-terminated.
class Text {
public:
    Text(char* buffer, uint32_t capacity);

    Text& Add(const char* text);
    Text& Add(const char* text, uint32_t length);
    Text& Add(char c);
    // 0x and eight upper-case hex digits.
    Text& Hex(uint32_t value);
    Text& Unsigned(uint32_t value);
    Text& Signed(int32_t value);
    // Bytes in double quotes, as C would write them: \\ \" \n \r \t, printable ASCII as it is,
    // anything else \xHH. Beyond `limit` bytes the quotes close and "..." follows.
    Text& Quoted(const uint8_t* data, uint32_t size, uint32_t limit);
    // UTF-16 text as L"...": the same escapes, and \uHHHH for what is not ASCII.
    Text& QuotedWide(const uint16_t* text, uint32_t length, uint32_t limit);

    const char* Data() const { return buffer_; }
    uint32_t Length() const { return length_; }

private:
    // Wide text shows every other character as \uHHHH, never \xHH, which would read as a byte.
    void Escaped(uint32_t c, bool wide);

    char* buffer_;
    uint32_t capacity_;
    uint32_t length_ = 0;
};

// Whether the NUL-terminated `a` and `b` are equal, ignoring the case of ASCII letters.
bool EqualIgnoringCase(const char* a, const char* b);
