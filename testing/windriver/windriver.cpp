// windriver: drives a Win32 program's windows from outside, as a user would, for the
// end-to-end tests. Runs its commands in order and stops at the first that fails.
//
//   windriver [--timeout MS] [--shots DIR] [--resources EXE] COMMAND...
//
// Waiting for windows (each wait ends after --timeout, 10000 ms by default):
//   page TITLE        a visible window with a caption bar titled TITLE becomes the current one
//   popup TITLE       the same for a window without a caption bar (a wait window)
//   box TEXT          a visible message box saying TEXT becomes the current window
//   gone              the current window is hidden or destroyed
// Checks on the current window (each waits, up to the timeout, for what it expects, since a
// click is posted and the program answers it in its own time):
//   title TEXT        its title            text ID TEXT      control ID's text
//   like ID PATTERN   control ID's text reads as PATTERN, where each # is one digit
//   position ID N     progress bar ID stands at N
//   enabled ID 0|1    checked ID 0|1       topmost 0|1       iconic 0|1
//   at X Y            its top-left corner on the screen
//   centred           centred on the screen's work area
//   foreground        it is the foreground window
//   picture ID RES    control ID shows bitmap RES of --resources (default KovShop.exe), and
//                     no other bitmap of it as closely
//   quiet MS          for MS ms it stays visible and no message box appears
// Checks on the desktop (waiting as well):
//   count TITLE N     exactly N visible windows carry TITLE
// Actions:
//   click ID          clicks control ID once it is visible and enabled
//   press KEY         presses enter or escape on the current window's focused control
//   read ID           prints control ID's text
//   minimize          minimises the current window (and waits until it is)
//   signal NAME       sets the named event NAME
//   shot NAME         saves the current window with its frame as DIR\NAME.bmp
//   screen NAME       saves the whole screen as DIR\NAME.bmp
//   sleep MS
//
// In TEXT and TITLE arguments \r, \n and \\ stand for a carriage return, a line feed and a
// backslash, so that texts of several lines fit on a command line.
//
// Exit code 0 when every command passed, 1 at the first failure, 2 for a wrong command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Capture.h"
#include "Finder.h"
#include "Keys.h"

namespace {

struct Driver {
    DWORD timeoutMs = 10000;
    std::wstring shotsDir = L".";
    std::wstring resources = L"KovShop.exe";
    HWND current = nullptr;
};

struct Failure {
    std::wstring why;
};

void Say(const std::wstring& line) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n > 0 ? n : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, &utf8[0], n, nullptr, nullptr);
    std::printf("windriver: %s\n", utf8.c_str());
    std::fflush(stdout);
}

int Number(const std::wstring& text) {
    wchar_t* end = nullptr;
    const long v = std::wcstol(text.c_str(), &end, 0);
    if (text.empty() || *end)
        throw Failure{L"not a number: " + text};
    return static_cast<int>(v);
}

bool Flag(const std::wstring& text) {
    const int v = Number(text);
    if (v != 0 && v != 1)
        throw Failure{L"expected 0 or 1: " + text};
    return v == 1;
}

// Polls `ready` until it holds or the timeout passes.
bool WaitFor(const Driver& d, const std::function<bool()>& ready) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (ready())
            return true;
        if (::GetTickCount() - start >= d.timeoutMs)
            return false;
        ::Sleep(50);
    }
}

HWND Current(const Driver& d) {
    if (!d.current || !::IsWindow(d.current))
        throw Failure{L"no current window"};
    return d.current;
}

HWND Control(const Driver& d, const std::wstring& id) {
    HWND control = ::GetDlgItem(Current(d), Number(id));
    if (!control)
        throw Failure{L"no control " + id};
    return control;
}

// Lets the window's thread finish what it was doing: a sent message is served only once the
// thread's earlier work is done.
void Settle(HWND window) {
    DWORD_PTR ignored;
    ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
}

std::wstring ControlText(HWND control) {
    wchar_t text[2048] = {};
    DWORD_PTR ignored;
    ::SendMessageTimeoutW(control, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, 2000, &ignored);
    return text;
}

void Expect(bool holds, const std::wstring& what) {
    if (!holds)
        throw Failure{what};
}

std::wstring Str(long v) {
    return std::to_wstring(v);
}

// Waits for `check` to find nothing wrong (an empty text); fails with what it last found.
void Eventually(const Driver& d, const std::function<std::wstring()>& check) {
    std::wstring wrong;
    WaitFor(d, [&] {
        wrong = check();
        return wrong.empty();
    });
    Expect(wrong.empty(), wrong);
}

void WaitWindow(Driver& d, WindowKind kind, const std::wstring& title) {
    HWND found = nullptr;
    const bool ok = WaitFor(d, [&] {
        std::vector<HWND> windows = VisibleWindows(kind, &title);
        found = windows.empty() ? nullptr : windows.front();
        return found != nullptr;
    });
    Expect(ok, L"no window \"" + title + L"\" appeared");
    Settle(found);
    d.current = found;
}

void WaitBox(Driver& d, const std::wstring& text) {
    HWND found = nullptr;
    std::wstring seen;
    const bool ok = WaitFor(d, [&] {
        for (HWND box : VisibleWindows(WindowKind::MessageBox, nullptr)) {
            seen = MessageBoxText(box);
            if (seen == text) {
                found = box;
                return true;
            }
        }
        return false;
    });
    Expect(ok, L"no message box \"" + text + L"\" appeared" +
                   (seen.empty() ? L"" : L" (one said \"" + seen + L"\")"));
    d.current = found;
}

void Click(const Driver& d, const std::wstring& id) {
    HWND control = Control(d, id);
    Eventually(d, [&]() -> std::wstring {
        if (!::IsWindowVisible(control))
            return L"control " + id + L" is hidden";
        return ::IsWindowEnabled(control) ? L"" : L"control " + id + L" is disabled";
    });
    // Posted: a click that opens the next page does not return until that page closes.
    ::PostMessageW(control, BM_CLICK, 0, 0);
}

// Which of the program's pictures control `id` shows: empty when it is `resource`.
std::wstring PictureMismatch(const Driver& d, const std::wstring& id,
                             const std::wstring& resource) {
    HWND control = Control(d, id);
    RECT rect;
    ::GetWindowRect(control, &rect);
    ColourGrid shown;
    if (!ScreenGrid(rect, shown))
        return L"the screen could not be read";

    HMODULE module = ::LoadLibraryExW(d.resources.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return L"cannot load " + d.resources;
    int best = 0;
    double bestDistance = 0;
    bool wantedFound = false;
    std::wstring report;
    for (int res : {134, 139, 140, 141, 142}) {
        HBITMAP bitmap = static_cast<HBITMAP>(
            ::LoadImageW(module, MAKEINTRESOURCEW(res), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ColourGrid grid;
        const bool read = bitmap && BitmapGrid(bitmap, grid);
        if (bitmap)
            ::DeleteObject(bitmap);
        if (!read)
            continue;
        const double distance = GridDistance(shown, grid);
        report += L" " + Str(res) + L":" + Str(static_cast<long>(distance));
        wantedFound = wantedFound || res == Number(resource);
        if (!best || distance < bestDistance) {
            best = res;
            bestDistance = distance;
        }
    }
    ::FreeLibrary(module);
    if (!wantedFound)
        return L"no bitmap " + resource + L" in " + d.resources;
    if (best != Number(resource))
        return L"control " + id + L" looks like bitmap " + Str(best) + L", not " + resource +
               L" (distances" + report + L")";
    return L"";
}

void Quiet(const Driver& d, const std::wstring& ms) {
    HWND window = Current(d);
    const DWORD start = ::GetTickCount();
    const DWORD span = static_cast<DWORD>(Number(ms));
    while (::GetTickCount() - start < span) {
        std::vector<HWND> boxes = VisibleWindows(WindowKind::MessageBox, nullptr);
        Expect(boxes.empty(), L"a message box appeared: \"" +
                                  (boxes.empty() ? L"" : MessageBoxText(boxes.front())) + L"\"");
        Expect(::IsWindowVisible(window), L"the window went away");
        ::Sleep(50);
    }
}

// As the caption's minimise button does it. Asked again until it holds: a window that is
// still settling after it first showed can let the request go by.
void Minimize(const Driver& d) {
    HWND window = Current(d);
    DWORD asked = 0;
    const bool done = WaitFor(d, [&] {
        if (::IsIconic(window))
            return true;
        if (::GetTickCount() - asked >= 500) {
            ::PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
            asked = ::GetTickCount();
        }
        return false;
    });
    Expect(done, L"the window would not minimise");
}

std::wstring NotCentred(const Driver& d) {
    RECT area, rect;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    ::GetWindowRect(Current(d), &rect);
    const long dx = (rect.left + rect.right) - (area.left + area.right);
    const long dy = (rect.top + rect.bottom) - (area.top + area.bottom);
    if (dx >= -3 && dx <= 3 && dy >= -3 && dy <= 3)
        return L"";
    return L"not centred: " + Str(rect.left) + L"," + Str(rect.top) + L" " +
           Str(rect.right - rect.left) + L"x" + Str(rect.bottom - rect.top);
}

void Shot(const Driver& d, const std::wstring& name, bool wholeScreen) {
    HWND window = Current(d);
    Settle(window);
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Settle(window);
    // Painting comes after every other message, so a moment more for it to reach the screen.
    ::Sleep(300);
    RECT rect;
    if (wholeScreen)
        rect = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    else
        ::GetWindowRect(window, &rect);
    std::wstring error;
    Expect(SaveScreenBmp(rect, d.shotsDir + L"\\" + name + L".bmp", &error), error);
}

std::wstring Unescape(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const wchar_t next = text[++i];
        if (next == L'r')
            out += L'\r';
        else if (next == L'n')
            out += L'\n';
        else if (next == L'\\')
            out += L'\\';
        else
            out += std::wstring(1, L'\\') + next;
    }
    return out;
}

using Handler = std::function<void(Driver&, const std::vector<std::wstring>&)>;

struct Command {
    size_t arguments;
    Handler run;
};

const std::map<std::wstring, Command>& Commands() {
    static const std::map<std::wstring, Command> table = {
        {L"page", {1, [](Driver& d, auto& a) { WaitWindow(d, WindowKind::Page, a[0]); }}},
        {L"popup", {1, [](Driver& d, auto& a) { WaitWindow(d, WindowKind::Popup, a[0]); }}},
        {L"box", {1, [](Driver& d, auto& a) { WaitBox(d, a[0]); }}},
        {L"gone",
         {0,
          [](Driver& d, auto&) {
              HWND w = d.current;
              Expect(WaitFor(d, [&] { return !::IsWindow(w) || !::IsWindowVisible(w); }),
                     L"the window is still there");
          }}},
        {L"title",
         {1,
          [](Driver& d, auto& a) {
              Eventually(d, [&]() -> std::wstring {
                  const std::wstring t = TitleOf(Current(d));
                  return t == a[0] ? L"" : L"title is \"" + t + L"\"";
              });
          }}},
        {L"text",
         {2,
          [](Driver& d, auto& a) {
              Eventually(d, [&]() -> std::wstring {
                  const std::wstring t = ControlText(Control(d, a[0]));
                  return t == a[1] ? L"" : L"control " + a[0] + L" says \"" + t + L"\"";
              });
          }}},
        {L"enabled",
         {2,
          [](Driver& d, auto& a) {
              Eventually(d, [&]() -> std::wstring {
                  const bool on = ::IsWindowEnabled(Control(d, a[0])) != FALSE;
                  return on == Flag(a[1])
                             ? L""
                             : L"control " + a[0] + (on ? L" is enabled" : L" is disabled");
              });
          }}},
        {L"checked",
         {2,
          [](Driver& d, auto& a) {
              Eventually(d, [&]() -> std::wstring {
                  DWORD_PTR state = 0;
                  ::SendMessageTimeoutW(Control(d, a[0]), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000,
                                        &state);
                  const bool ticked = state == BST_CHECKED;
                  return ticked == Flag(a[1])
                             ? L""
                             : L"control " + a[0] + (ticked ? L" is ticked" : L" is not ticked");
              });
          }}},
        {L"topmost",
         {1,
          [](Driver& d, auto& a) {
              Eventually(d, [&]() -> std::wstring {
                  const bool top =
                      (::GetWindowLongPtrW(Current(d), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
                  return top == Flag(a[0]) ? L""
                         : top             ? L"the window is topmost"
                                           : L"the window is not topmost";
              });
          }}},
        {L"iconic",
         {1,
          [](Driver& d, auto& a) {
              Eventually(d, [&]() -> std::wstring {
                  const bool iconic = ::IsIconic(Current(d)) != FALSE;
                  return iconic == Flag(a[0]) ? L""
                         : iconic             ? L"the window is minimised"
                                              : L"the window is not minimised";
              });
          }}},
        {L"at",
         {2,
          [](Driver& d, auto& a) {
              Eventually(d, [&]() -> std::wstring {
                  RECT r;
                  ::GetWindowRect(Current(d), &r);
                  return r.left == Number(a[0]) && r.top == Number(a[1])
                             ? L""
                             : L"the window is at " + Str(r.left) + L"," + Str(r.top);
              });
          }}},
        {L"centred", {0, [](Driver& d, auto&) { Eventually(d, [&] { return NotCentred(d); }); }}},
        {L"foreground",
         {0,
          [](Driver& d, auto&) {
              Eventually(d, [&]() -> std::wstring {
                  return ::GetForegroundWindow() == Current(d)
                             ? L""
                             : L"the window is not in the foreground";
              });
          }}},
        {L"picture",
         {2,
          [](Driver& d, auto& a) {
              Settle(Current(d));
              Eventually(d, [&] { return PictureMismatch(d, a[0], a[1]); });
          }}},
        {L"quiet", {1, [](Driver& d, auto& a) { Quiet(d, a[0]); }}},
        {L"count",
         {2,
          [](Driver& d, auto& a) {
              Eventually(d, [&]() -> std::wstring {
                  size_t n = 0;
                  for (WindowKind k : {WindowKind::Page, WindowKind::Popup, WindowKind::MessageBox})
                      n += VisibleWindows(k, &a[0]).size();
                  return n == static_cast<size_t>(Number(a[1]))
                             ? L""
                             : Str(static_cast<long>(n)) + L" windows carry \"" + a[0] + L"\"";
              });
          }}},
        {L"click", {1, [](Driver& d, auto& a) { Click(d, a[0]); }}},
        {L"minimize", {0, [](Driver& d, auto&) { Minimize(d); }}},
        {L"signal",
         {1,
          [](Driver&, auto& a) {
              HANDLE event = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, a[0].c_str());
              Expect(event != nullptr, L"no event " + a[0]);
              ::SetEvent(event);
              ::CloseHandle(event);
          }}},
        {L"shot", {1, [](Driver& d, auto& a) { Shot(d, a[0], false); }}},
        {L"screen", {1, [](Driver& d, auto& a) { Shot(d, a[0], true); }}},
        {L"sleep", {1, [](Driver&, auto& a) { ::Sleep(static_cast<DWORD>(Number(a[0]))); }}},
        {L"like",
         {2,
          [](Driver& d, auto& a) {
              Eventually(d, [&]() -> std::wstring {
                  const std::wstring t = ControlText(Control(d, a[0]));
                  return MatchesPattern(t, a[1]) ? L""
                                                 : L"control " + a[0] + L" says \"" + t + L"\"";
              });
          }}},
        {L"position",
         {2,
          [](Driver& d, auto& a) {
              Eventually(d, [&]() -> std::wstring {
                  const int pos = ProgressPosition(Control(d, a[0]));
                  return pos == Number(a[1]) ? L"" : L"control " + a[0] + L" stands at " + Str(pos);
              });
          }}},
        {L"read",
         {1, [](Driver& d,
                auto& a) { Say(L"read " + a[0] + L": " + ControlText(Control(d, a[0]))); }}},
        {L"press",
         {1,
          [](Driver& d, auto& a) {
              std::wstring why;
              Expect(PressKey(Current(d), a[0], &why), why);
          }}},
    };
    return table;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    Driver d;
    int i = 1;
    for (; i + 1 < argc && argv[i][0] == L'-' && argv[i][1] == L'-'; i += 2) {
        const std::wstring option = argv[i];
        if (option == L"--timeout")
            d.timeoutMs = static_cast<DWORD>(std::wcstoul(argv[i + 1], nullptr, 10));
        else if (option == L"--shots")
            d.shotsDir = argv[i + 1];
        else if (option == L"--resources")
            d.resources = argv[i + 1];
        else {
            Say(L"unknown option " + option);
            return 2;
        }
    }
    while (i < argc) {
        const std::wstring name = argv[i++];
        auto command = Commands().find(name);
        if (command == Commands().end() ||
            i + command->second.arguments > static_cast<size_t>(argc)) {
            Say(L"unknown command or missing arguments: " + name);
            return 2;
        }
        std::vector<std::wstring> args;
        for (size_t k = 0; k < command->second.arguments; ++k)
            args.push_back(Unescape(argv[i++]));
        std::wstring line = name;
        for (const std::wstring& a : args)
            line += L" \"" + a + L"\"";
        try {
            command->second.run(d, args);
        } catch (const Failure& failure) {
            Say(L"FAIL " + line + L": " + failure.why);
            return 1;
        }
        Say(L"ok   " + line);
    }
    return 0;
}
