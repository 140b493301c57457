#include "Text.h"

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

} // namespace

Text::Text(char* buffer, uint32_t capacity) : buffer_(buffer), capacity_(capacity) {
    if (capacity_)
        buffer_[0] = '\0';
}

Text& Text::Add(char c) {
    if (length_ + 1 < capacity_) {
        buffer_[length_++] = c;
        buffer_[length_] = '\0';
    }
    return *this;
}

Text& Text::Add(const char* text, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        Add(text[i]);
    return *this;
}

Text& Text::Add(const char* text) {
    while (*text)
        Add(*text++);
    return *this;
}

Text& Text::Hex(uint32_t value) {
    Add("0x");
    for (int shift = 28; shift >= 0; shift -= 4)
        Add(kHexDigits[(value >> shift) & 0xF]);
    return *this;
}

Text& Text::Unsigned(uint32_t value) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    while (count)
        Add(digits[--count]);
    return *this;
}

Text& Text::Signed(int32_t value) {
    if (value < 0) {
        Add('-');
        return Unsigned(0u - static_cast<uint32_t>(value));
    }
    return Unsigned(static_cast<uint32_t>(value));
}

void Text::Escaped(uint32_t c, bool wide) {
    switch (c) {
    case '\\':
        Add("\\\\");
        return;
    case '"':
        Add("\\\"");
        return;
    case '\n':
        Add("\\n");
        return;
    case '\r':
        Add("\\r");
        return;
    case '\t':
        Add("\\t");
        return;
    }
    if (c >= 0x20 && c < 0x7F) {
        Add(static_cast<char>(c));
    } else if (c < 0x100 && !wide) {
        Add("\\x").Add(kHexDigits[c >> 4]).Add(kHexDigits[c & 0xF]);
    } else {
        Add("\\u");
        for (int shift = 12; shift >= 0; shift -= 4)
            Add(kHexDigits[(c >> shift) & 0xF]);
    }
}

Text& Text::Quoted(const uint8_t* data, uint32_t size, uint32_t limit) {
    Add('"');
    for (uint32_t i = 0; i < size && i < limit; ++i)
        Escaped(data[i], false);
    Add('"');
    if (size > limit)
        Add("...");
    return *this;
}

Text& Text::QuotedWide(const uint16_t* text, uint32_t length, uint32_t limit) {
    Add("L\"");
    for (uint32_t i = 0; i < length && i < limit; ++i)
        Escaped(text[i], true);
    Add('"');
    if (length > limit)
        Add("...");
    return *this;
}

bool EqualIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
        if (!x)
            return true;
    }
}
