// Reads the program's resources back through the platform's resource calls,
// as the loader, the dialog manager and the update worker will.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "resource.h"

namespace {

const WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

struct Blob {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

Blob FindBlob(LPCWSTR type, LPCWSTR name, WORD language)
{
    Blob blob;
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceExW(module, type, name, language);
    if (!found)
        return blob;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded)
        return blob;
    blob.data = static_cast<const BYTE*>(LockResource(loaded));
    blob.size = blob.data ? SizeofResource(module, found) : 0;
    return blob;
}

uint32_t LittleEndian32(const BYTE* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t BigEndian32(const BYTE* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// A name in a dialog template is an ordinal (0xFFFF, n) or a UTF-16 string;
// an ordinal is read back as "#n".
using NameOrOrdinal = std::wstring;

std::wstring Ordinal(WORD n)
{
    return L"#" + std::to_wstring(n);
}

// The fixed parts of a DIALOGEX template, as they lie in the resource.
#pragma pack(push, 2)
struct TemplateHead {
    WORD version, signature;
    DWORD helpId, exStyle, style;
    WORD count;
    short x, y, cx, cy;
};
struct FontHead {
    WORD pointSize, weight;
    BYTE italic, charset;
};
struct ItemHead {
    DWORD helpId, exStyle, style;
    short x, y, cx, cy;
    DWORD id;
};
#pragma pack(pop)

struct DialogItem : ItemHead {
    NameOrOrdinal windowClass, title;
    WORD extraBytes;
};

struct DialogTemplate : TemplateHead, FontHead {
    bool complete;
    NameOrOrdinal menu, windowClass, caption;
    std::wstring face;
    std::vector<DialogItem> items;
};

// Reads a DIALOGEX template field by field; any read past the resource's
// end leaves the template marked incomplete instead of reading on.
class TemplateReader {
public:
    explicit TemplateReader(Blob blob) : blob_(blob) {}

    bool ok() const { return ok_; }

    template <typename T> T Read()
    {
        T value{};
        if (!Need(sizeof(T)))
            return value;
        std::memcpy(&value, blob_.data + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }

    std::wstring ReadString()
    {
        std::wstring text;
        for (WORD c = Read<WORD>(); ok_ && c != 0; c = Read<WORD>())
            text.push_back(static_cast<wchar_t>(c));
        return text;
    }

    NameOrOrdinal ReadNameOrOrdinal()
    {
        const size_t start = offset_;
        if (Read<WORD>() == 0xFFFF)
            return Ordinal(Read<WORD>());
        offset_ = start;
        return ReadString();
    }

    void AlignToDword() { offset_ = (offset_ + 3) & ~size_t(3); }
    void Skip(size_t bytes) { Need(bytes) ? void(offset_ += bytes) : void(); }

private:
    bool Need(size_t bytes)
    {
        if (!ok_ || offset_ + bytes > blob_.size)
            ok_ = false;
        return ok_;
    }

    Blob blob_;
    size_t offset_ = 0;
    bool ok_ = true;
};

DialogTemplate ParseDialog(WORD id)
{
    DialogTemplate dialog{};
    Blob blob = FindBlob(RT_DIALOG, MAKEINTRESOURCEW(id), kChinese);
    if (!blob.data)
        return dialog;
    TemplateReader in(blob);
    static_cast<TemplateHead&>(dialog) = in.Read<TemplateHead>();
    dialog.menu = in.ReadNameOrOrdinal();
    dialog.windowClass = in.ReadNameOrOrdinal();
    dialog.caption = in.ReadNameOrOrdinal();
    if (dialog.style & DS_SETFONT) {
        static_cast<FontHead&>(dialog) = in.Read<FontHead>();
        dialog.face = in.ReadString();
    }
    for (WORD i = 0; i < dialog.count && in.ok(); ++i) {
        in.AlignToDword();
        DialogItem item{in.Read<ItemHead>()};
        item.windowClass = in.ReadNameOrOrdinal();
        item.title = in.ReadNameOrOrdinal();
        item.extraBytes = in.Read<WORD>();
        in.Skip(item.extraBytes);
        dialog.items.push_back(item);
    }
    dialog.complete = in.ok() && dialog.items.size() == dialog.count;
    return dialog;
}

const WORD kButton = 0x0080;
const WORD kStatic = 0x0082;
const wchar_t kProgress[] = L"msctls_progress32";
const DWORD kNoId = 0xFFFFFFFF;

// One control as a template table gives it. A class of 0 stands for the
// progress bar's class name; a text of nullptr for the picture ordinal.
struct ExpectedItem {
    DWORD id;
    WORD classOrdinal;
    DWORD style, exStyle;
    short x, y, cx, cy;
    const wchar_t* text;
    WORD textOrdinal;
};

void ExpectItems(const DialogTemplate& dialog, const std::vector<ExpectedItem>& expected)
{
    ASSERT_TRUE(dialog.complete);
    ASSERT_EQ(dialog.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const DialogItem& got = dialog.items[i];
        const ExpectedItem& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(i + 1) + ", id " + std::to_string(int(want.id)));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.helpId, 0u);
        EXPECT_EQ(got.style, want.style);
        EXPECT_EQ(got.exStyle, want.exStyle);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
        EXPECT_EQ(got.windowClass, want.classOrdinal ? Ordinal(want.classOrdinal) : kProgress);
        EXPECT_EQ(got.title, want.text ? want.text : Ordinal(want.textOrdinal));
        EXPECT_EQ(got.extraBytes, 0);
    }
}

// A template's header as drawn: the fields that differ between the three.
struct Header {
    DWORD style, exStyle;
    short cx, cy;
    const wchar_t* caption;
    WORD pointSize, weight;
    BYTE charset;
    const wchar_t* face;
};

void ExpectHeader(const DialogTemplate& dialog, const Header& want)
{
    EXPECT_EQ(dialog.version, 1);
    EXPECT_EQ(dialog.signature, 0xFFFF);
    EXPECT_EQ(dialog.helpId, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.menu, L"");
    EXPECT_EQ(dialog.windowClass, L"");
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.style, want.style);
    EXPECT_EQ(dialog.exStyle, want.exStyle);
    EXPECT_EQ(dialog.cx, want.cx);
    EXPECT_EQ(dialog.cy, want.cy);
    EXPECT_EQ(dialog.caption, want.caption);
    EXPECT_EQ(dialog.pointSize, want.pointSize);
    EXPECT_EQ(dialog.weight, want.weight);
    EXPECT_EQ(dialog.charset, want.charset);
    EXPECT_EQ(dialog.face, want.face);
}

const DWORD kChildShown = WS_CHILD | WS_VISIBLE;

TEST(Resources, UpdateDialogTemplateHoldsItsThirteenControlsInOrder)
{
    DialogTemplate dialog = ParseDialog(IDD_UPDATE_DIALOG);
    ASSERT_TRUE(dialog.complete);
    ExpectHeader(dialog, {WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
                          WS_EX_APPWINDOW, 310, 190, L"Kelto Vend9 (V1.1.2) ", 8, 400, 0, L"Microsoft Sans Serif"});

    ExpectItems(dialog, {
        {kNoId, kStatic, 0x5000000E, WS_EX_CLIENTEDGE, 3, 1, 93, 156, nullptr, IDB_PRODUCT_PICTURE},
        {IDC_BTN_CANCEL, kButton, 0x50000000, 0, 240, 164, 49, 17, L"Отмена", 0},
        {IDC_LABEL_DATABASE, kStatic, 0x40020000, 0, 106, 26, 185, 8, L"11111111111111111", 0},
        {IDC_LABEL_FIRMWARE, kStatic, 0x40020000, 0, 106, 53, 185, 8, L"22222222222222", 0},
        {IDC_PROGRESS_DATABASE, 0, 0x40800000, 0, 133, 36, 129, 14, L"", 0},
        {IDC_PROGRESS_FIRMWARE, 0, 0x40800000, 0, 133, 63, 129, 14, L"", 0},
        {IDC_DEVICE_STATE, kStatic, 0x50020000, 0, 130, 5, 143, 18, L"", 0},
        {IDC_STATUS, kStatic, 0x50020000, WS_EX_ACCEPTFILES, 127, 136, 142, 17, L"", 0},
        {IDC_BTN_START, kButton, 0x50010000, 0, 168, 164, 49, 17, L"Начало", 0},
        {IDC_LABEL_AUDIO, kStatic, 0x40020000, 0, 106, 80, 188, 8, L"33333333", 0},
        {IDC_PROGRESS_AUDIO, 0, 0x40800000, 0, 133, 90, 129, 14, L"", 0},
        {IDC_PROGRESS_RADAR, 0, 0x40800000, 0, 133, 117, 129, 15, L"", 0},
        {IDC_LABEL_RADAR, kStatic, 0x40020000, 0, 105, 107, 188, 8, L"33333333", 0},
    });
}

const DWORD kSmallDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;

TEST(Resources, AboutBoxAndErrorTipTemplatesAreAsDrawn)
{
    DialogTemplate about = ParseDialog(IDD_ABOUTBOX);
    ASSERT_TRUE(about.complete);
    ExpectHeader(about, {kSmallDialogStyle, 0, 235, 55, L"About Flashwright", 8, 0, 1, L"MS Shell Dlg"});
    ASSERT_EQ(about.items.size(), 4u);
    // The third line's text is ours to choose.
    const wchar_t* thirdLine = about.items[2].title.c_str();
    ExpectItems(about, {
        {kNoId, kStatic, kChildShown | SS_ICON, 0, 9, 17, 20, 20, nullptr, IDR_MAINFRAME},
        {kNoId, kStatic, kChildShown | WS_GROUP | SS_LEFT | SS_NOPREFIX, 0, 30, 10, 156, 8, L"Morvel Quillon(V3.0.6) ", 0},
        {kNoId, kStatic, kChildShown | WS_GROUP | SS_LEFT, 0, 40, 25, 119, 8, thirdLine, 0},
        {IDOK, kButton, kChildShown | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 178, 7, 50, 16, L"OK", 0},
    });

    DialogTemplate tip = ParseDialog(IDD_ERROR_TIP);
    ASSERT_TRUE(tip.complete);
    ExpectHeader(tip, {kSmallDialogStyle, 0, 158, 70, L"Dialog", 8, 400, 1, L"MS Shell Dlg"});
    ExpectItems(tip, {
        {IDOK, kButton, kChildShown | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 41, 38, 50, 14, L"OK", 0},
        {kNoId, kStatic, kChildShown | WS_GROUP | SS_LEFT, 0, 16, 14, 124, 11, L"Update error\xFF0CUpdate again please!", 0},
    });
}

TEST(Resources, AboutEntryStringAndEmptyDialogLayout)
{
    wchar_t text[64] = {};
    EXPECT_EQ(LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, 64), 20);
    EXPECT_STREQ(text, L"&About ORV_update...");

    // Strings live in blocks of sixteen: 101 is in block 7.
    EXPECT_NE(FindBlob(RT_STRING, MAKEINTRESOURCEW(IDS_ABOUTBOX / 16 + 1), kChinese).data, nullptr);

    Blob layout = FindBlob(L"AFX_DIALOG_LAYOUT", MAKEINTRESOURCEW(IDD_UPDATE_DIALOG), kChinese);
    ASSERT_NE(layout.data, nullptr);
    ASSERT_EQ(layout.size, 2u);
    EXPECT_EQ(layout.data[0], 0);
    EXPECT_EQ(layout.data[1], 0);
}

#ifdef _WIN64
#define PROCESSOR_ARCHITECTURE "amd64"
#else
#define PROCESSOR_ARCHITECTURE "x86"
#endif

TEST(Resources, ManifestIsOneLineAfterTheDeclaration)
{
    Blob manifest = FindBlob(RT_MANIFEST, MAKEINTRESOURCEW(1), kEnglishUs);
    ASSERT_NE(manifest.data, nullptr);
    std::string text(reinterpret_cast<const char*>(manifest.data), manifest.size);

    const std::string head = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
    ASSERT_EQ(text.compare(0, head.size(), head), 0);
    std::string body = text.substr(head.size());
    EXPECT_EQ(body.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(body.rfind("<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">", 0), 0u);
    ASSERT_GE(body.size(), 11u);
    EXPECT_EQ(body.substr(body.size() - 11), "</assembly>");

    // The parts in document order.
    const char* parts[] = {
        "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"" PROCESSOR_ARCHITECTURE "\" "
        "publicKeyToken=\"6595b64144ccf1df\" language=\"*\">",
        "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
        "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\">",
        "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings>"
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
    };
    size_t from = 0;
    for (const char* part : parts) {
        size_t at = body.find(part, from);
        EXPECT_NE(at, std::string::npos) << part;
        if (at != std::string::npos)
            from = at;
    }
}

std::wstring VersionString(const void* info, const wchar_t* name)
{
    std::wstring path = std::wstring(L"\\StringFileInfo\\040904e4\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info, path.c_str(), &value, &length) || !value)
        return L"<missing>";
    return static_cast<const wchar_t*>(value);
}

TEST(Resources, VersionBlockValues)
{
    ASSERT_NE(FindBlob(RT_VERSION, MAKEINTRESOURCEW(1), kChinese).data, nullptr);

    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD size = GetFileVersionInfoSizeW(path, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, DWORD(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);

    EXPECT_EQ(VersionString(info.data(), L"FileVersion"), L"1.0.0.1");
    EXPECT_EQ(VersionString(info.data(), L"ProductVersion"), L"1.0.0.1");
    EXPECT_EQ(VersionString(info.data(), L"InternalName"), L"ORV_update.exe");
    EXPECT_EQ(VersionString(info.data(), L"OriginalFilename"), L"ORV_update.exe");

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04E4);

    // The header names the Windows the program needs: 6.0, for GetTickCount64.
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(GetModuleHandleW(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(dos) + dos->e_lfanew);
    EXPECT_EQ(6, nt->OptionalHeader.MajorOperatingSystemVersion);
    EXPECT_EQ(6, nt->OptionalHeader.MajorSubsystemVersion);
    EXPECT_EQ(0, nt->OptionalHeader.MinorSubsystemVersion);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

TEST(Resources, IconGroupHoldsNineUncompressedImages)
{
    Blob group = FindBlob(RT_GROUP_ICON, MAKEINTRESOURCEW(IDR_MAINFRAME), kChinese);
    ASSERT_NE(group.data, nullptr);
    ASSERT_GE(group.size, 6u);
    WORD header[3];
    std::memcpy(header, group.data, 6);
    EXPECT_EQ(header[0], 0);
    EXPECT_EQ(header[1], 1);
    ASSERT_EQ(header[2], 9);
    ASSERT_EQ(group.size, 6u + 9 * sizeof(GroupIconEntry));

    int seen[3][3] = {};
    for (int i = 0; i < 9; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group.data + 6 + i * sizeof(entry), sizeof(entry));
        SCOPED_TRACE("image " + std::to_string(i));
        int size = entry.width;
        int bits = entry.bitCount;
        int sizeIndex = size == 48 ? 0 : size == 32 ? 1 : size == 16 ? 2 : -1;
        int bitsIndex = bits == 4 ? 0 : bits == 8 ? 1 : bits == 24 ? 2 : -1;
        ASSERT_GE(sizeIndex, 0);
        ASSERT_GE(bitsIndex, 0);
        ++seen[sizeIndex][bitsIndex];
        EXPECT_EQ(entry.height, entry.width);
        EXPECT_EQ(entry.colourCount, bits == 4 ? 16 : 0);
        EXPECT_EQ(entry.planes, 1);

        Blob image = FindBlob(RT_ICON, MAKEINTRESOURCEW(entry.id), kChinese);
        ASSERT_NE(image.data, nullptr);
        ASSERT_EQ(image.size, entry.bytesInRes);
        BITMAPINFOHEADER dib;
        ASSERT_GE(image.size, sizeof(dib));
        std::memcpy(&dib, image.data, sizeof(dib));
        EXPECT_EQ(dib.biSize, sizeof(dib));
        EXPECT_EQ(dib.biWidth, size);
        EXPECT_EQ(dib.biHeight, 2 * size);
        EXPECT_EQ(dib.biBitCount, bits);
        EXPECT_EQ(dib.biCompression, DWORD(BI_RGB));
        DWORD palette = bits == 24 ? 0 : 4u << bits;
        DWORD colourRow = ((size * bits + 31) / 32) * 4;
        DWORD maskRow = ((size + 31) / 32) * 4;
        EXPECT_EQ(image.size, sizeof(dib) + palette + (colourRow + maskRow) * size);
    }
    for (auto& row : seen)
        for (int count : row)
            EXPECT_EQ(count, 1);

    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(icon, nullptr);
    if (icon)
        DestroyIcon(icon);
}

TEST(Resources, ProductPictureIsA24BitBottomUpBitmap)
{
    Blob bitmap = FindBlob(RT_BITMAP, MAKEINTRESOURCEW(IDB_PRODUCT_PICTURE), kChinese);
    ASSERT_NE(bitmap.data, nullptr);
    BITMAPINFOHEADER dib;
    ASSERT_GE(bitmap.size, sizeof(dib));
    std::memcpy(&dib, bitmap.data, sizeof(dib));
    EXPECT_EQ(dib.biSize, sizeof(dib));
    EXPECT_EQ(dib.biWidth, 136);
    EXPECT_EQ(dib.biHeight, 250);
    EXPECT_EQ(dib.biPlanes, 1);
    EXPECT_EQ(dib.biBitCount, 24);
    EXPECT_EQ(dib.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(dib.biXPelsPerMeter, 3936);
    EXPECT_EQ(dib.biYPelsPerMeter, 3936);
    EXPECT_EQ(dib.biClrUsed, 0u);
    EXPECT_EQ(bitmap.size, sizeof(dib) + 136 * 3 * 250);
}

Blob FindImage(WORD id)
{
    return FindBlob(L"BIN", MAKEINTRESOURCEW(id), kChinese);
}

TEST(Resources, ProgramImagesStartWithTheirVectorTables)
{
    struct { WORD id; DWORD size; uint32_t stack, reset; } images[] = {
        {IDR_BIN_FIRMWARE, 40372, 0x20002970, 0x080091AD},
        {IDR_BIN_RADAR, 46560, 0x20001990, 0x0800F3AD},
    };
    for (const auto& want : images) {
        SCOPED_TRACE("BIN " + std::to_string(want.id));
        Blob image = FindImage(want.id);
        ASSERT_NE(image.data, nullptr);
        ASSERT_EQ(image.size, want.size);
        EXPECT_EQ(LittleEndian32(image.data), want.stack);
        EXPECT_EQ(LittleEndian32(image.data + 4), want.reset);
    }
}

TEST(Resources, VoiceImageStartsWithAscendingOffsetsThenZeros)
{
    Blob image = FindImage(IDR_BIN_AUDIO);
    ASSERT_NE(image.data, nullptr);
    ASSERT_EQ(image.size, 900427u);
    EXPECT_EQ(BigEndian32(image.data), 0x000023ABu);
    EXPECT_EQ(BigEndian32(image.data + 99 * 4), 900427u);
    for (int i = 1; i < 100; ++i)
        EXPECT_LT(BigEndian32(image.data + (i - 1) * 4), BigEndian32(image.data + i * 4)) << "offset " << i;
    int nonZero = 0;
    for (int i = 400; i <= 4520; ++i)
        nonZero += image.data[i] != 0;
    EXPECT_EQ(nonZero, 0);
}

TEST(Resources, EveryImageIsFoundWithoutALanguageToo)
{
    // The worker looks the images up without a language.
    struct { WORD id; DWORD size; } images[] = {
        {IDR_BIN_FIRMWARE, 40372}, {IDR_BIN_AUDIO, 900427}, {IDR_BIN_RADAR, 46560}, {IDR_BIN_UNUSED, 842830},
    };
    for (const auto& want : images) {
        SCOPED_TRACE("BIN " + std::to_string(want.id));
        EXPECT_EQ(FindImage(want.id).size, want.size);
        HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(want.id), L"BIN");
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(SizeofResource(nullptr, found), want.size);
    }
}

} // namespace
