#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImportList.h"

namespace {

TEST(ImportList, TakesNamesAndOrdinalsInOrder) {
    std::vector<ImportedFunction> imports;
    std::string error;
    ASSERT_TRUE(ParseImportList("# coredll.dll\n"
                                "KernelIoControl\n"
                                "\n"
                                "  Shell_Reboot2   @2011  # by ordinal\r\n"
                                "GetTickCount\n",
                                imports, error))
        << error;
    ASSERT_EQ(3u, imports.size());
    EXPECT_EQ("KernelIoControl", imports[0].name);
    EXPECT_FALSE(imports[0].byOrdinal);
    EXPECT_EQ("Shell_Reboot2", imports[1].name);
    EXPECT_TRUE(imports[1].byOrdinal);
    EXPECT_EQ(2011, imports[1].ordinal);
    EXPECT_EQ("GetTickCount", imports[2].name);
}

TEST(ImportList, RefusesWhatCouldNotBeAnImport) {
    const struct {
        const char* text;
        const char* says;
    } cases[] = {
        {"", "names no function"},
        {"# only a comment\n", "names no function"},
        {"A\n1abc\n", "line 2: \"1abc\" is not a function name"},
        {"Foo-Bar\n", "\"Foo-Bar\" is not a function name"},
        {"Foo @0\n", "\"@0\" is not an ordinal from @1 to @65535"},
        {"Foo @65536\n", "is not an ordinal"},
        {"Foo @12x\n", "is not an ordinal"},
        {"Foo 12\n", "is not an ordinal"},
        {"Foo @12 more\n", "unexpected \"more\""},
        {"Foo\nBar\nFoo @3\n", "line 3: Foo is listed twice"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<ImportedFunction> imports;
        std::string error;
        EXPECT_FALSE(ParseImportList(c.text, imports, error));
        EXPECT_NE(std::string::npos, error.find(c.says)) << error;
    }
}

// The writer takes the table's slots to be in the list's order, one word each, then a zero.
TEST(ImportList, ThunksReserveOneSlotPerImportInListOrder) {
    const std::string source =
        ImportThunks({{"Alpha", false, 0}, {"Beta", true, 7}, {"Gamma", false, 0}});
    const size_t table = source.find("__ImportAddressTable:");
    ASSERT_NE(std::string::npos, table);
    const std::string slots = source.substr(table);
    EXPECT_EQ("__ImportAddressTable:\n"
              "__imp_Alpha:\n    .word 0\n"
              "__imp_Beta:\n    .word 0\n"
              "__imp_Gamma:\n    .word 0\n"
              "    .word 0\n"
              "    .global __ImportAddressTableEnd\n"
              "__ImportAddressTableEnd:\n",
              slots);
    for (const char* name : {"Alpha", "Beta", "Gamma"}) {
        EXPECT_NE(std::string::npos, source.find(std::string(name) + ":\n    ldr ip, 1f\n"));
        EXPECT_NE(std::string::npos, source.find(std::string(".word __imp_") + name + "\n"));
    }
}

} // namespace
