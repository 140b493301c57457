#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Text.h"

namespace {

std::string Quoted(const std::string& bytes, uint32_t limit = 64) {
    char buffer[256];
    Text t(buffer, sizeof buffer);
    t.Quoted(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
             limit);
    return std::string(t.Data(), t.Length());
}

std::string QuotedWide(const std::u16string& text, uint32_t limit = 64) {
    char buffer[256];
    Text t(buffer, sizeof buffer);
    t.QuotedWide(reinterpret_cast<const uint16_t*>(text.data()), static_cast<uint32_t>(text.size()),
                 limit);
    return t.Data();
}

TEST(Text, QuotesBytesAsCWouldWriteThem) {
    const struct {
        std::string bytes;
        const char* shown;
    } cases[] = {
        {"Write update flag OK.", "\"Write update flag OK.\""},
        {"\n[00001234]", "\"\\n[00001234]\""},
        {std::string("\x01\x00\x00\x00", 4), "\"\\x01\\x00\\x00\\x00\""},
        {"a\\b\"c\r\t\x7F\xFF", "\"a\\\\b\\\"c\\r\\t\\x7F\\xFF\""},
        {"", "\"\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.shown, Quoted(c.bytes));
    EXPECT_EQ("\"abc\"...", Quoted("abcdef", 3)) << "cut at the limit, and says so";
}

TEST(Text, QuotesWideTextWithoutByteEscapes) {
    EXPECT_EQ("L\"\\\\Temp\\\\log.txt\"", QuotedWide(u"\\Temp\\log.txt"));
    EXPECT_EQ("L\"caf\\u00E9 \\u20AC\\uD83D\\uDE00\"", QuotedWide(u"caf\u00e9 \u20ac\U0001F600"));
    EXPECT_EQ("L\"\\u0001\\n\"", QuotedWide(std::u16string(u"\x01\n")));
    EXPECT_EQ("L\"ab\"...", QuotedWide(u"abc", 2));
}

TEST(Text, NumbersAndAFullBuffer) {
    char buffer[64];
    Text t(buffer, sizeof buffer);
    t.Hex(0x0101208C).Add(' ').Hex(0).Add(' ').Unsigned(4294967295u).Add(' ');
    t.Signed(-2147483647 - 1).Add(' ').Signed(0).Add(' ').Signed(42);
    EXPECT_STREQ("0x0101208C 0x00000000 4294967295 -2147483648 0 42", buffer);

    char small[8];
    Text cut(small, sizeof small);
    cut.Add("KernelIoControl").Hex(1);
    EXPECT_STREQ("KernelI", small) << "what does not fit is dropped, the text stays terminated";
    EXPECT_EQ(7u, cut.Length());
}

TEST(Text, LibraryNamesCompareWithoutCase) {
    EXPECT_TRUE(EqualIgnoringCase("COREDLL.dll", "coredll.dll"));
    EXPECT_TRUE(EqualIgnoringCase("", ""));
    EXPECT_FALSE(EqualIgnoringCase("coredll.dl", "coredll.dll"));
    EXPECT_FALSE(EqualIgnoringCase("coredll.dll", "coredll.dl"));
    EXPECT_FALSE(EqualIgnoringCase("coredll[dll", "coredll{dll")) << "only letters fold";
}

} // namespace
