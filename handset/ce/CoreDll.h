#pragma once

// What the handset program calls in coredll.dll, declared here since no Windows CE headers are
// used: each is a plain ARM function of the usual register convention. The import list beside
// this file (coredll.imports) names the same functions; a call to one that is missing there
// fails the link.

#include <stdint.h>

// Every wide string handed to coredll.dll is UTF-16: with a 4-byte wchar_t it would be garbled.
static_assert(sizeof(wchar_t) == 2, "build the handset program with -fshort-wchar");

typedef void* HANDLE;
typedef void* HMODULE;

extern "C" {
int KernelIoControl(uint32_t code, void* input, uint32_t inputSize, void* output,
                    uint32_t outputSize, uint32_t* returned);
uint32_t GetTickCount();
HANDLE CreateFileW(const wchar_t* name, uint32_t access, uint32_t share, void* security,
                   uint32_t creation, uint32_t flags, HANDLE templateFile);
uint32_t SetFilePointer(HANDLE file, int32_t distance, int32_t* high, uint32_t method);
int WriteFile(HANDLE file, const void* data, uint32_t size, uint32_t* written, void* overlapped);
int CloseHandle(HANDLE object);
HMODULE LoadLibraryW(const wchar_t* name);
void* GetProcAddressW(HMODULE module, const wchar_t* name);
int FreeLibrary(HMODULE module);
void* LocalFree(void* memory);
}

// The program's own entry, called by the start-up code with what the handset's loader passed.
int WinMain(HMODULE instance, HMODULE previous, wchar_t* commandLine, int show);
