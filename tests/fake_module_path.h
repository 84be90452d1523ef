#pragma once
// GetModuleFileNameW for a program path that a test makes up: a buffer too
// small gets as much as fits and a result equal to its size, with a
// terminator (as today's systems give it) or without (as older ones did).
#include <windows.h>

#include <string>
#include <vector>

namespace fake {

inline std::wstring g_modulePath;
inline bool g_terminatesWhenCut = true;
inline std::vector<DWORD> g_moduleBufferSizes;  // of each call, in order

inline DWORD WINAPI ModuleFileName(HMODULE, LPWSTR buffer, DWORD size)
{
    g_moduleBufferSizes.push_back(size);
    const std::size_t length = g_modulePath.size() < size ? g_modulePath.size() : size;
    g_modulePath.copy(buffer, length);
    if (length < size)
        buffer[length] = L'\0';
    else if (g_terminatesWhenCut)
        buffer[size - 1] = L'\0';
    return static_cast<DWORD>(length);
}

} // namespace fake
