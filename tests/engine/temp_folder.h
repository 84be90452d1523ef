#pragma once
// A fresh folder under the temporary folder for tests that put a real
// "database.bin" where the worker reads it; removed with that file.
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

class TempFolder {
public:
    TempFolder()
    {
        static std::atomic<int> serial{0};
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        // Wine reuses process ids, and a run that timed out leaves its
        // folders behind: take the first name that no folder holds.
        do {
            m_path = std::wstring(base) + L"orv_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                     std::to_wstring(++serial) + L"\\";
        } while (!CreateDirectoryW(m_path.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ~TempFolder()
    {
        DeleteFileW(File().c_str());
        RemoveDirectoryW(File().c_str());
        RemoveDirectoryW(m_path.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring File() const { return m_path + L"database.bin"; }

    // Writes the file whole; FALSE if it could not.
    bool Write(const std::vector<unsigned char>& bytes) const
    {
        HANDLE h = CreateFileW(File().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        const BOOL ok = bytes.empty() || WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(h);
        return ok && written == bytes.size();
    }

private:
    std::wstring m_path;
};
