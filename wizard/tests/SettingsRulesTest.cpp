#include <gtest/gtest.h>

#include "SettingsRules.h"

namespace {

TEST(SettingsRules, TheSettingsFileLiesBesideTheProgram) {
    const struct {
        const wchar_t* program;
        const wchar_t* settings;
    } cases[] = {
        {L"C:\\Kit\\KovShop.exe", L"C:\\Kit\\KovShop.ini"},
        {L"C:\\KovShop.exe", L"C:\\KovShop.ini"},
        {L"C:\\a.b\\c d\\KovShop.exe", L"C:\\a.b\\c d\\KovShop.ini"},
        {L"\\\\server\\share\\kit\\KovShop.exe", L"\\\\server\\share\\kit\\KovShop.ini"},
        {L"KovShop.exe", L".\\KovShop.ini"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsPathBeside(c.program), c.settings) << c.program;
}

TEST(SettingsRules, APathLongerThanTheOldBufferIsKeptWhole) {
    const std::wstring deep = L"C:\\" + std::wstring(300, L'd');
    EXPECT_EQ(SettingsPathBeside(deep + L"\\KovShop.exe"), deep + L"\\KovShop.ini");
}

TEST(SettingsRules, SoftwareVersionIsCutTo259Characters) {
    EXPECT_EQ(UsableSoftwareVersion(L""), L"");
    const std::wstring exact(259, L'v');
    EXPECT_EQ(UsableSoftwareVersion(exact), exact);
    std::wstring longer = exact + L"XYZ";
    EXPECT_EQ(UsableSoftwareVersion(longer), exact);
}

TEST(SettingsRules, TheDecoratedTitlePutsTheVersionDirectlyInFront) {
    EXPECT_EQ(DecoratedTitle(L""), L"Kov V2.1.1");
    EXPECT_EQ(DecoratedTitle(L"Beta "), L"Beta Kov V2.1.1");
    EXPECT_EQ(DecoratedTitle(L"R7-"), L"R7-Kov V2.1.1");
}

TEST(SettingsRules, TheProgramNameDropsDirectoryAndExtension) {
    EXPECT_EQ(ProgramName(L"C:\\Kit\\KovShop.exe"), L"KovShop");
    EXPECT_EQ(ProgramName(L"C:\\dir.v2\\KovShop"), L"KovShop");
    EXPECT_EQ(ProgramName(L"C:\\Kit\\my.shop.exe"), L"my.shop");
}

} // namespace
