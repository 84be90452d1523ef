#pragma once
// The calls through which the tool reaches its images: the program's own
// path (the database file lies beside it), the database file and the "BIN"
// resources. The program uses the real ones; tests put their own in place to
// give any size or path, or to place an image right before a guard page.
#include <windows.h>

struct ImagePlatform {
    DWORD(WINAPI* GetModuleFileNameW)(HMODULE, LPWSTR, DWORD);
    HANDLE(WINAPI* CreateFileW)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    DWORD(WINAPI* GetFileSize)(HANDLE, LPDWORD);
    BOOL(WINAPI* ReadFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* CloseHandle)(HANDLE);
    HRSRC(WINAPI* FindResourceW)(HMODULE, LPCWSTR, LPCWSTR);
    DWORD(WINAPI* SizeofResource)(HMODULE, HRSRC);
    HGLOBAL(WINAPI* LoadResource)(HMODULE, HRSRC);
    LPVOID(WINAPI* LockResource)(HGLOBAL);
    HMODULE (*ResourceModule)();  // the module the dialogs come from
};

// The table in force; the program's default binds the platform.
ImagePlatform& ImageCalls();
// The platform's own table.
const ImagePlatform& RealImageCalls();
