// What a C++ program needs at run time on the handset without a C library: the entry that the
// handset's loader calls, and the few helpers the compiler's code refers to. Anything more (an
// atexit, operator new, exceptions) is left out on purpose, so that a new need fails the link
// instead of slipping in.
#include "CoreDll.h"

typedef void (*InitFunction)();
extern "C" InitFunction __init_array_start[];
extern "C" InitFunction __init_array_end[];

// Windows CE calls a program's entry with WinMain's own arguments; the command line holds the
// arguments only, without the program's name. Global objects are constructed first.
extern "C" int WinMainCRTStartup(HMODULE instance, HMODULE previous, wchar_t* commandLine,
                                 int show) {
    for (InitFunction* f = __init_array_start; f != __init_array_end; ++f)
        (*f)();
    return WinMain(instance, previous, commandLine, show);
}

// Deleting destructors refer to these even where nothing is ever deleted.
void operator delete(void* memory) noexcept {
    LocalFree(memory);
}
void operator delete(void* memory, unsigned int) noexcept {
    LocalFree(memory);
}

// Called only through a half-constructed object: stop with an undefined instruction, which the
// handset reports as the program's fault, rather than run on.
extern "C" void __cxa_pure_virtual() {
    __builtin_trap();
}
