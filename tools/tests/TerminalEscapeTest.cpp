#include <gtest/gtest.h>

#include <string>

#include "CaseName.h"
#include "TerminalEscape.h"

namespace {

struct EscapeCase {
    const char* name;
    std::string in;
    std::string out;
};

class EscapeControlsTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeControlsTest, ShowsControlsAsEscapes) {
    EXPECT_EQ(EscapeControls(GetParam().in), GetParam().out);
}

const EscapeCase kCases[] = {
    {"plain", "ROM 2.0 (build 7)", "ROM 2.0 (build 7)"},
    {"empty", "", ""},
    {"bell", "ROM\a2.0", "ROM\\x072.0"},
    {"escape_sequence", "\x1b[2J\x1b]0;owned\x07", "\\x1B[2J\\x1B]0;owned\\x07"},
    {"newline_and_return", "one\r\ntwo", "one\\x0D\\x0Atwo"},
    {"tab_and_nul", std::string("a\tb\0c", 5), "a\\x09b\\x00c"},
    {"delete", "x\x7fy", "x\\x7Fy"},
    {"c1_csi_in_utf8",
     "a\xc2\x9b"
     "31mb",
     "a\\u009B31mb"},
    {"c1_nel_in_utf8", "a\xc2\x85z", "a\\u0085z"},
    {"lone_c1_byte",
     "a\x9b"
     "31m",
     "a\\x9B31m"},
    {"latin_and_cjk_pass", "Gr\xc3\xbc\xc3\x9f \xe4\xb8\xad\xe6\x96\x87",
     "Gr\xc3\xbc\xc3\x9f \xe4\xb8\xad\xe6\x96\x87"},
    {"no_break_space_passes", "a\xc2\xa0z", "a\xc2\xa0z"},
    {"four_byte_passes", "\xf0\x9f\x93\xb1", "\xf0\x9f\x93\xb1"},
    {"overlong_slash", "\xc0\xaf", "\\xC0\\xAF"},
    {"surrogate", "\xed\xa0\x80", "\\xED\\xA0\\x80"},
    {"cut_sequence_at_end", "ok\xe4\xb8", "ok\\xE4\\xB8"},
    {"stray_continuation", "\x80z", "\\x80z"},
    {"beyond_unicode", "\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
};

INSTANTIATE_TEST_SUITE_P(Texts, EscapeControlsTest, ::testing::ValuesIn(kCases), CaseName());

// Every JSON line must parse, whatever bytes a device sent.
class JsonStringTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(JsonStringTest, IsAlwaysValidJson) {
    EXPECT_EQ(JsonString(GetParam().in), GetParam().out);
}

const EscapeCase kJsonCases[] = {
    {"plain", "ROM 2.0", "\"ROM 2.0\""},
    {"quote_and_backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
    {"controls", std::string("\a\x1b[2J\0\x7f", 7), "\"\\u0007\\u001b[2J\\u0000\\u007f\""},
    {"utf8_passes", "Gr\xc3\xbc\xc3\x9f \xe4\xb8\xad", "\"Gr\xc3\xbc\xc3\x9f \xe4\xb8\xad\""},
    {"code_page_byte", "caf\xe9", "\"caf\\u00e9\""},
    {"cut_sequence_at_end", "ok\xe4\xb8", "\"ok\\u00e4\\u00b8\""},
    {"overlong", "\xc0\xaf", "\"\\u00c0\\u00af\""},
};

INSTANTIATE_TEST_SUITE_P(Texts, JsonStringTest, ::testing::ValuesIn(kJsonCases), CaseName());

} // namespace
