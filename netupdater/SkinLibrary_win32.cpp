#include "SkinLibrary.h"

#include <windows.h>

namespace {

typedef int(SkinCall)(const char*);

// The library's calling convention is its own; on 32-bit x86 a call through the wrong one
// leaves the stack pointer four bytes off. A frame pointer in this small function restores
// it on the way out whichever convention the callee used, and nothing here is addressed
// through the stack pointer in between.
__attribute__((noinline, optimize("no-omit-frame-pointer"))) void Call(FARPROC entry,
                                                                       const char* skin) {
    if (entry)
        reinterpret_cast<SkinCall*>(reinterpret_cast<void*>(entry))(skin);
}

} // namespace

void ApplySkin() {
    HMODULE library = ::LoadLibraryW(L"SkinPlusPlusDLL.dll");
    if (!library)
        return;
    // Kept loaded for the rest of the run: the skin draws the window from inside it.
    const char skin[] = "SoftCrystal.ssk";
    Call(::GetProcAddress(library, MAKEINTRESOURCEA(1)), skin);
    Call(::GetProcAddress(library, "LoadSkin"), skin);
}
