#pragma once
// Stands in for the database file and the "BIN" resources behind the
// worker's image calls. Each image lies right before a page that cannot be
// read, so a read past its end faults and the test fails.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image_platform.h"

class GuardedBytes {
public:
    explicit GuardedBytes(const std::vector<unsigned char>& bytes);
    ~GuardedBytes();
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    unsigned char* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    void* m_base = nullptr;
    unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
};

class FakeImages {
public:
    FakeImages();   // installs itself behind the image calls
    ~FakeImages();  // puts the real calls back

    // The database file; absent until set.
    void SetDatabase(std::vector<unsigned char> bytes);
    void RemoveDatabase();
    void SetDatabaseShortRead(std::uint32_t delivered);  // the read gives fewer bytes
    void SetDatabaseLocked() { m_databaseLocked = true; }  // cannot be opened
    // As the platform treats a read-only file: an open that asks to write fails.
    void SetDatabaseReadOnly() { m_databaseReadOnly = true; }
    // A size claimed without backing bytes (for 4 GiB and more).
    void SetDatabaseClaimedSize(std::uint64_t size);

    // A resource image; `loadable` false makes LoadResource fail.
    void SetResource(int id, std::vector<unsigned char> bytes, bool loadable = true);
    // A resource whose size is claimed without backing bytes (for sizes near 4 GiB).
    void SetResourceClaimedSize(int id, std::uint32_t size);

    int OpenDatabaseHandles() const { return m_openHandles; }
    int DatabaseReads() const { return m_reads; }
    // Where a resource's data lies (what LockResource hands out).
    const unsigned char* ResourceData(int id) const { return m_resources.at(id).bytes->data(); }
    std::wstring lastOpenedPath;

private:
    struct Resource {
        std::unique_ptr<GuardedBytes> bytes;
        std::uint32_t claimedSize = 0;
        bool loadable = true;
    };
    static FakeImages* s_current;
    static HANDLE WINAPI CreateFile(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    static DWORD WINAPI FileSize(HANDLE, LPDWORD);
    static BOOL WINAPI Read(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    static BOOL WINAPI Close(HANDLE);
    static HRSRC WINAPI Find(HMODULE, LPCWSTR, LPCWSTR);
    static DWORD WINAPI Size(HMODULE, HRSRC);
    static HGLOBAL WINAPI Load(HMODULE, HRSRC);
    static LPVOID WINAPI Lock(HGLOBAL);
    static HMODULE Module();

    ImagePlatform m_saved;
    std::unique_ptr<GuardedBytes> m_database;
    bool m_databasePresent = false;
    bool m_databaseLocked = false;
    bool m_databaseReadOnly = false;
    std::uint64_t m_databaseSize = 0;
    std::uint32_t m_shortRead = 0;
    bool m_shortReadSet = false;
    int m_openHandles = 0;
    int m_reads = 0;
    std::map<int, Resource> m_resources;
};
