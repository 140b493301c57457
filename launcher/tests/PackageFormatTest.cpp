#include <gtest/gtest.h>

#include "PackageBytes.h"
#include "PackageFormat.h"

using namespace package;

TEST(PackageFormat, ModeFollowsTheProgramSizeAlone) {
    EXPECT_FALSE(IsPackageSize(0));
    EXPECT_FALSE(IsPackageSize(3072000));
    EXPECT_TRUE(IsPackageSize(3072001));
}

TEST(PackageFormat, NameFieldsKeepUpTo129UnitsAndATerminator) {
    const struct {
        size_t units;
        size_t stored;
    } cases[] = {{1, 1}, {129, 129}, {130, 130}, {131, 130}, {200, 130}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.units);
        std::u16string name;
        for (size_t i = 0; i < c.units; ++i)
            name += static_cast<char16_t>(u'a' + i % 26);
        const package::NameField field = EncodeName(name);
        EXPECT_EQ(Bytes(field.begin(), field.end()), FieldBytes(name));
        EXPECT_EQ(DecodeName(field.data(), 260), name.substr(0, c.stored));
    }
    // 129 units: the terminator takes the field's last two bytes.
    const package::NameField full = EncodeName(std::u16string(129, u'x'));
    EXPECT_EQ(full[256], 'x');
    EXPECT_EQ(full[258], 0);
    EXPECT_EQ(full[259], 0);
}

TEST(PackageFormat, ReadersStopAtTheFirstZeroUnit) {
    // A later entry's field still holds the tail of an earlier, longer name after its zero.
    Bytes field = FieldBytes(u"Quillo.exe_ll_of_an_earlier_name.dll");
    field[20] = field[21] = 0;
    EXPECT_EQ(DecodeName(field.data(), 260), u"Quillo.exe");
    // Non-ASCII units come through whole.
    EXPECT_EQ(DecodeName(FieldBytes(u"\u00e9t\u00e9.dip").data(), 260), u"\u00e9t\u00e9.dip");
    // A damaged package may hold only part of a field; an odd byte is a unit of its own.
    const Bytes partial = FieldBytes(u"ab\u0141c");
    EXPECT_EQ(DecodeName(partial.data(), 5), u"abA");
    EXPECT_EQ(DecodeName(partial.data(), 0), u"");
}

TEST(PackageFormat, MarkerIsTheFirstAlignedOneWithRoomForTheLength) {
    Bytes image(64, 0);
    auto put = [&image](size_t at) {
        image[at] = 0x78, image[at + 1] = 0x56, image[at + 2] = 0x34, image[at + 3] = 0x12;
    };
    put(2);  // unaligned: not the marker
    put(60); // aligned, but no room for the word after it
    EXPECT_FALSE(FindSelfLengthMarker(image.data(), image.size(), 0x12345678).has_value());
    put(20);
    put(40);
    EXPECT_EQ(FindSelfLengthMarker(image.data(), image.size(), 0x12345678), 20u);
    EXPECT_EQ(FindSelfLengthMarker(image.data(), 28, 0x12345678), 20u);
    EXPECT_FALSE(FindSelfLengthMarker(image.data(), 27, 0x12345678).has_value());
}

TEST(PackageFormat, OnlyPlainNamesInTheCurrentDirectoryAreSafe) {
    const char16_t* safe[] = {u"WMUPDAT.DIP",  u"Zentro_Comms.dll", u"a",     u"..x",
                              u"x..",          u"CONSOLE.txt",      u"COM10", u"nul-ish",
                              u"\u00e9t\u00e9"};
    for (const char16_t* name : safe)
        EXPECT_TRUE(IsPlainFileName(name)) << Utf8(name);
    const char16_t* unsafe[] = {u"",         u".",        u"..",      u"...",      u"..\\x.exe",
                                u"../x.exe", u"sub\\x",   u"sub/x",   u"C:x.exe",  u"\\x",
                                u"x:stream", u"CON",      u"con",     u"nul.txt",  u"Aux .dll",
                                u"COM1",     u"lpt9.dip", u"CONOUT$", u"a\u0001b", u"a*b",
                                u"a?b",      u"a<b>",     u"a|b",     u"a\"b"};
    for (const char16_t* name : unsafe)
        EXPECT_FALSE(IsPlainFileName(name)) << Utf8(name);
}

TEST(PackageFormat, Utf8KeepsSurrogatePairsAndMarksLoneOnes) {
    EXPECT_EQ(Utf8(u"K\u00f6v\u20ac"), "K\xc3\xb6v\xe2\x82\xac");
    EXPECT_EQ(Utf8(u"\U0001F600"), "\xf0\x9f\x98\x80");
    EXPECT_EQ(Utf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xef\xbf\xbdx");
}
