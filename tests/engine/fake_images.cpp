#include "fake_images.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>

namespace {
const HANDLE kDatabaseHandle = reinterpret_cast<HANDLE>(0xDB00);
}

GuardedBytes::GuardedBytes(const std::vector<unsigned char>& bytes) : m_size(bytes.size())
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const std::size_t page = info.dwPageSize;
    const std::size_t dataPages = (m_size + page - 1) / page;
    const std::size_t total = (dataPages + 1) * page;
    m_base = VirtualAlloc(nullptr, total, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    DWORD old = 0;
    auto* guard = static_cast<unsigned char*>(m_base) + dataPages * page;
    VirtualProtect(guard, page, PAGE_NOACCESS, &old);
    m_data = guard - m_size;
    if (m_size)
        std::memcpy(m_data, bytes.data(), m_size);
}

GuardedBytes::~GuardedBytes()
{
    VirtualFree(m_base, 0, MEM_RELEASE);
}

FakeImages* FakeImages::s_current = nullptr;

FakeImages::FakeImages() : m_saved(ImageCalls())
{
    s_current = this;
    ImageCalls() = ImagePlatform{::GetModuleFileNameW, CreateFile, FileSize, Read, Close, Find, Size, Load, Lock, Module};
}

FakeImages::~FakeImages()
{
    ImageCalls() = m_saved;
    s_current = nullptr;
}

void FakeImages::SetDatabase(std::vector<unsigned char> bytes)
{
    m_database = std::make_unique<GuardedBytes>(bytes);
    m_databaseSize = bytes.size();
    m_databasePresent = true;
}

void FakeImages::SetDatabaseClaimedSize(std::uint64_t size)
{
    SetDatabase(std::vector<unsigned char>(16, 0xAB));
    m_databaseSize = size;
}

void FakeImages::RemoveDatabase()
{
    m_databasePresent = false;
}

void FakeImages::SetDatabaseShortRead(std::uint32_t delivered)
{
    m_shortRead = delivered;
    m_shortReadSet = true;
}

void FakeImages::SetResource(int id, std::vector<unsigned char> bytes, bool loadable)
{
    Resource& r = m_resources[id];
    r.claimedSize = static_cast<std::uint32_t>(bytes.size());
    r.bytes = std::make_unique<GuardedBytes>(bytes);
    r.loadable = loadable;
}

void FakeImages::SetResourceClaimedSize(int id, std::uint32_t size)
{
    Resource& r = m_resources[id];
    r.bytes = std::make_unique<GuardedBytes>(std::vector<unsigned char>(16, 0xAB));
    r.claimedSize = size;
}

HANDLE WINAPI FakeImages::CreateFile(LPCWSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    s_current->lastOpenedPath = path;
    const DWORD writes = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA;
    if (!s_current->m_databasePresent || s_current->m_databaseLocked
        || (s_current->m_databaseReadOnly && (access & writes) != 0))
        return INVALID_HANDLE_VALUE;
    ++s_current->m_openHandles;
    return kDatabaseHandle;
}

DWORD WINAPI FakeImages::FileSize(HANDLE, LPDWORD high)
{
    if (high)
        *high = static_cast<DWORD>(s_current->m_databaseSize >> 32);
    return static_cast<DWORD>(s_current->m_databaseSize);
}

BOOL WINAPI FakeImages::Read(HANDLE, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED)
{
    ++s_current->m_reads;
    DWORD n = std::min<DWORD>(toRead, static_cast<DWORD>(s_current->m_database->size()));
    if (s_current->m_shortReadSet)
        n = std::min<DWORD>(n, s_current->m_shortRead);
    std::memcpy(buffer, s_current->m_database->data(), n);
    *read = n;
    return TRUE;
}

BOOL WINAPI FakeImages::Close(HANDLE)
{
    --s_current->m_openHandles;
    return TRUE;
}

HRSRC WINAPI FakeImages::Find(HMODULE, LPCWSTR name, LPCWSTR type)
{
    if (!IS_INTRESOURCE(name) || std::wcscmp(type, L"BIN") != 0)
        return nullptr;
    const int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    return s_current->m_resources.count(id) ? reinterpret_cast<HRSRC>(static_cast<ULONG_PTR>(id)) : nullptr;
}

DWORD WINAPI FakeImages::Size(HMODULE, HRSRC r)
{
    return s_current->m_resources.at(static_cast<int>(reinterpret_cast<ULONG_PTR>(r))).claimedSize;
}

HGLOBAL WINAPI FakeImages::Load(HMODULE, HRSRC r)
{
    const Resource& res = s_current->m_resources.at(static_cast<int>(reinterpret_cast<ULONG_PTR>(r)));
    return res.loadable ? reinterpret_cast<HGLOBAL>(r) : nullptr;
}

LPVOID WINAPI FakeImages::Lock(HGLOBAL g)
{
    return s_current->m_resources.at(static_cast<int>(reinterpret_cast<ULONG_PTR>(g))).bytes->data();
}

HMODULE FakeImages::Module()
{
    return GetModuleHandleW(nullptr);
}
