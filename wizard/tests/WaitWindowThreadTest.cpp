// The wait windows in real windows, inside this test program: what each shows, where, and
// that ending the thread never leaves it running, however early it is asked.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "AppSettings.h"
#include "SettingsRules.h"
#include "WaitWindowThread.h"
#include "resource.h"

namespace {

struct Found {
    DWORD threadId;
    HWND window;
};

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM param) {
    Found* found = reinterpret_cast<Found*>(param);
    if (::IsWindowVisible(window)) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

// The thread's visible window, waited for up to ten seconds.
HWND WaitForWindow(DWORD threadId) {
    Found found = {threadId, nullptr};
    for (int i = 0; i < 200 && !found.window; ++i) {
        ::EnumThreadWindows(threadId, FindVisibleDialog, reinterpret_cast<LPARAM>(&found));
        if (!found.window)
            ::Sleep(50);
    }
    return found.window;
}

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

DWORD ExitCode(HANDLE thread) {
    DWORD code = 0;
    ::GetExitCodeThread(thread, &code);
    return code;
}

TEST(WaitWindowThread, EachKindShowsItsWindowAndEndsWhenAsked) {
    const struct {
        const wchar_t* argument;
        const wchar_t* text;
        bool centred;
    } cases[] = {
        {L"NORMAL", L"Verifying the information on your device, please wait...", true},
        {L"SUPER", L"Please connect the handset with PC using USB cable.", false},
    };
    RECT area;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    for (const auto& c : cases) {
        WaitWindowThread thread(c.argument);
        HWND window = WaitForWindow(thread.Id());
        ASSERT_NE(window, nullptr) << c.argument;
        EXPECT_EQ(TextOf(window), DecoratedTitle(CAppSettings().ReadSoftwareVersion()));
        EXPECT_EQ(TextOf(::GetDlgItem(window, IDC_STATIC_TEXT)), c.text);
        EXPECT_TRUE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) << c.argument;
        EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr) << "a wait window has no owner";
        RECT rect;
        ::GetWindowRect(window, &rect);
        if (c.centred) {
            EXPECT_NEAR(rect.left + rect.right, area.left + area.right, 3);
            EXPECT_NEAR(rect.top + rect.bottom, area.top + area.bottom, 3);
        } else {
            EXPECT_EQ(rect.left, 0);
            EXPECT_EQ(rect.top, 0);
        }

        EXPECT_TRUE(thread.End());
        EXPECT_EQ(::WaitForSingleObject(thread.Handle(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(ExitCode(thread.Handle()), 1u);
        EXPECT_FALSE(::IsWindow(window));
    }
}

TEST(WaitWindowThread, AThreadAskedToEndBeforeItsWindowIsUpStillEnds) {
    // Few rounds: on an X server without a window manager Wine waits two seconds for each
    // window it hides.
    for (int i = 0; i < 4; ++i) {
        WaitWindowThread thread(i % 2 ? L"SUPER" : L"NORMAL");
        ASSERT_TRUE(thread.End()) << "round " << i;
        EXPECT_EQ(ExitCode(thread.Handle()), 1u) << "round " << i;
    }
}

TEST(WaitWindowThread, EndingAgainOrWithoutAThreadIsHarmless) {
    WaitWindowThread none;
    EXPECT_TRUE(none.End());
    WaitWindowThread thread(L"NORMAL");
    ASSERT_TRUE(thread.End());
    EXPECT_TRUE(thread.End());
    EXPECT_TRUE(EndWaitWindowThread(thread.Id(), thread.Handle()));
}

} // namespace
