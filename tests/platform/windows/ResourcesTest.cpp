// The Windows program's resources as the system reads them: the icons at each
// of their sizes, the link's hand cursor, the version the shell shows, and what
// the manifest asks for. This exe links the program's own tren.rc.
#include "resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kBlack = 0x000000, kWhite = 0xffffff, kGrey = 0x808080, kLight = 0xc0c0c0,
                        kRed = 0xff0000, kBlue = 0x0000ff, kGreen = 0x008000,
                        kBrightGreen = 0x00ff00, kYellow = 0xffff00, kOlive = 0x808000;
constexpr std::optional<std::uint32_t> kClear; // the background shows through

HINSTANCE Self() {
    return GetModuleHandleA(nullptr);
}

template <class Function> Function Entry(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::string SelfPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// The pixels (0xRRGGBB) an icon or cursor shows when drawn over one colour.
std::vector<std::uint32_t> Drawn(HICON icon, int size, std::uint32_t background) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    auto* pixels = static_cast<std::uint32_t*>(bits);
    std::fill(pixels, pixels + size * size, background);
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    GdiFlush();
    std::vector<std::uint32_t> drawn(pixels, pixels + size * size);
    for (auto& pixel : drawn)
        pixel &= 0xffffff;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return drawn;
}

// One pixel as seen: its colour, or empty where the background shows through.
std::optional<std::uint32_t> Seen(HICON icon, int size, int x, int y) {
    std::uint32_t overBlack = Drawn(icon, size, kBlack)[y * size + x];
    std::uint32_t overWhite = Drawn(icon, size, kWhite)[y * size + x];
    if (overBlack == kBlack && overWhite == kWhite)
        return kClear;
    EXPECT_EQ(overBlack, overWhite) << "half-transparent at (" << x << ", " << y << ")";
    return overBlack;
}

#pragma pack(push, 2)
struct GroupHeader {
    WORD reserved, type, count;
};
struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// The sizes an icon group holds, so that no size is a stretched neighbour.
std::vector<int> GroupSizes(int id) {
    HRSRC found = FindResourceA(Self(), MAKEINTRESOURCEA(id), RT_GROUP_ICON);
    if (!found)
        return {};
    auto* header = static_cast<const GroupHeader*>(LockResource(LoadResource(Self(), found)));
    auto* entries = reinterpret_cast<const GroupEntry*>(header + 1);
    std::vector<int> sizes;
    for (int i = 0; i < header->count; ++i) {
        EXPECT_EQ(entries[i].width, entries[i].height);
        sizes.push_back(entries[i].width == 0 ? 256 : entries[i].width);
    }
    return sizes;
}

TEST(ResourcesTest, EachIconHoldsExactlyItsSizes) {
    EXPECT_EQ(GroupSizes(IDI_TREN), (std::vector<int>{16, 32, 48}));
    EXPECT_EQ(GroupSizes(IDI_TREN_PICTURE), (std::vector<int>{16, 32}));
    EXPECT_EQ(GroupSizes(IDI_BUILD), (std::vector<int>{32}));
}

struct Sample {
    int id, size, x, y;
    std::optional<std::uint32_t> seen;
};

// Points of each picture that tell it apart, upside down or in other colours.
const Sample kIconSamples[] = {
    // A stack of sheets crossed by a band, drawn at 16 and enlarged.
    {IDI_TREN, 16, 0, 0, kClear},
    {IDI_TREN, 16, 0, 8, kOlive},
    {IDI_TREN, 16, 15, 9, kYellow},
    {IDI_TREN, 16, 8, 2, kWhite},
    {IDI_TREN, 16, 5, 12, kGrey},
    {IDI_TREN, 16, 3, 15, kBlack},
    {IDI_TREN, 32, 0, 0, kClear},
    {IDI_TREN, 32, 1, 17, kOlive},
    {IDI_TREN, 32, 31, 19, kYellow},
    {IDI_TREN, 32, 17, 5, kWhite},
    {IDI_TREN, 32, 11, 25, kGrey},
    {IDI_TREN, 48, 0, 0, kClear},
    {IDI_TREN, 48, 2, 26, kOlive},
    {IDI_TREN, 48, 47, 29, kYellow},
    {IDI_TREN, 48, 26, 8, kWhite},
    {IDI_TREN, 48, 16, 37, kGrey},
    // A box with pieces leaving it over a pair of arrows.
    {IDI_TREN_PICTURE, 16, 0, 0, kClear},
    {IDI_TREN_PICTURE, 16, 11, 0, kRed},
    {IDI_TREN_PICTURE, 16, 15, 1, kBrightGreen},
    {IDI_TREN_PICTURE, 16, 8, 2, kBlue},
    {IDI_TREN_PICTURE, 16, 11, 4, kYellow},
    {IDI_TREN_PICTURE, 16, 3, 6, kLight},
    {IDI_TREN_PICTURE, 16, 3, 9, kGrey},
    {IDI_TREN_PICTURE, 16, 0, 14, kBlack},
    {IDI_TREN_PICTURE, 16, 15, 14, kClear},
    {IDI_TREN_PICTURE, 32, 0, 0, kClear},
    {IDI_TREN_PICTURE, 32, 5, 15, kLight},
    {IDI_TREN_PICTURE, 32, 8, 11, kWhite},
    {IDI_TREN_PICTURE, 32, 5, 20, kGrey},
    {IDI_TREN_PICTURE, 32, 20, 7, kYellow},
    {IDI_TREN_PICTURE, 32, 26, 2, kRed},
    {IDI_TREN_PICTURE, 32, 28, 9, kBrightGreen},
    {IDI_TREN_PICTURE, 32, 23, 14, kBlue},
    {IDI_TREN_PICTURE, 32, 15, 26, kBlack},
    {IDI_TREN_PICTURE, 32, 15, 31, kClear},
    // Four squares fitted into one block, with a shadow.
    {IDI_BUILD, 32, 0, 0, kClear},
    {IDI_BUILD, 32, 8, 8, kRed},
    {IDI_BUILD, 32, 22, 8, kBlue},
    {IDI_BUILD, 32, 8, 22, kGreen},
    {IDI_BUILD, 32, 22, 22, kYellow},
    {IDI_BUILD, 32, 3, 3, kWhite},
    {IDI_BUILD, 32, 29, 10, kGrey},
    {IDI_BUILD, 32, 31, 31, kClear},
};

TEST(ResourcesTest, IconsLoadAtEachSizeAsDrawn) {
    for (const Sample& sample : kIconSamples) {
        SCOPED_TRACE(testing::Message() << "icon " << sample.id << " at " << sample.size << ", ("
                                        << sample.x << ", " << sample.y << ")");
        auto icon = static_cast<HICON>(LoadImageA(Self(), MAKEINTRESOURCEA(sample.id), IMAGE_ICON,
                                                  sample.size, sample.size, 0));
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(Seen(icon, sample.size, sample.x, sample.y), sample.seen);
        DestroyIcon(icon);
    }
}

TEST(ResourcesTest, TheShellShowsTheProgramIconFirst) {
    // What the shell does for "tren.exe,0".
    HICON shown = nullptr;
    ASSERT_EQ(ExtractIconExA(SelfPath().c_str(), 0, &shown, nullptr, 1), 1u);
    auto icon =
        static_cast<HICON>(LoadImageA(Self(), MAKEINTRESOURCEA(IDI_TREN), IMAGE_ICON, 32, 32, 0));
    for (std::uint32_t background : {kBlack, kWhite})
        EXPECT_EQ(Drawn(shown, 32, background), Drawn(icon, 32, background));
    DestroyIcon(shown);
    DestroyIcon(icon);
}

TEST(ResourcesTest, TheHandCursorPointsWithItsFingertip) {
    auto loaded = LoadCursorA(Self(), MAKEINTRESOURCEA(IDC_HAND_CURSOR));
    ASSERT_NE(loaded, nullptr);
    auto cursor = static_cast<HCURSOR>(
        LoadImageA(Self(), MAKEINTRESOURCEA(IDC_HAND_CURSOR), IMAGE_CURSOR, 32, 32, 0));
    ASSERT_NE(cursor, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 5u);
    EXPECT_EQ(info.yHotspot, 0u);
    DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);

    const struct {
        int x, y;
        std::optional<std::uint32_t> seen;
    } samples[] = {{5, 0, kBlack}, {5, 1, kWhite},   {0, 0, kClear},   {0, 9, kBlack},
                   {1, 9, kWhite}, {10, 19, kBlack}, {10, 20, kClear}, {31, 31, kClear}};
    for (const auto& sample : samples) {
        SCOPED_TRACE(testing::Message() << "(" << sample.x << ", " << sample.y << ")");
        EXPECT_EQ(Seen(cursor, 32, sample.x, sample.y), sample.seen);
    }
    DestroyCursor(cursor);
}

TEST(ResourcesTest, TheVersionIsTheProjects) {
    const std::string path = SelfPath();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xfeef04bdu);
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD(MAKELONG(TREN_VERSION_MINOR, TREN_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(MAKELONG(0, TREN_VERSION_PATCH)));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));

    // Readers find the texts through the translation, as the shell does.
    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, sizeof(Translation));
    const std::string version = std::to_string(TREN_VERSION_MAJOR) + "." +
                                std::to_string(TREN_VERSION_MINOR) + "." +
                                std::to_string(TREN_VERSION_PATCH);
    const struct {
        const char* name;
        std::string text;
    } texts[] = {{"ProductName", "tren"},
                 {"FileDescription", "File Trenning"},
                 {"FileVersion", version},
                 {"ProductVersion", version}};
    for (const auto& text : texts) {
        char key[80];
        wsprintfA(key, "\\StringFileInfo\\%04x%04x\\%s", translation->language,
                  translation->codePage, text.name);
        char* value = nullptr;
        ASSERT_TRUE(VerQueryValueA(data.data(), key, reinterpret_cast<void**>(&value), &length))
            << key;
        EXPECT_EQ(std::string(value), text.text) << key;
    }
}

TEST(ResourcesTest, TheManifestIsInForce) {
    EXPECT_EQ(GetACP(), 65001u);

    // Wine's DllGetVersion says 5 in either version: ask where it came from.
    HMODULE controls = LoadLibraryA("comctl32.dll");
    ASSERT_NE(controls, nullptr);
    char path[MAX_PATH];
    GetModuleFileNameA(controls, path, MAX_PATH);
    std::string lower = path;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(lower.find("\\winsxs\\x86_microsoft.windows.common-controls_6595b64144ccf1df_6."),
              std::string::npos)
        << path;

    // Declared only for Windows 10, which the build does not require.
    HMODULE user = GetModuleHandleA("user32.dll");
    using Context = HANDLE(WINAPI*)();
    using Awareness = int(WINAPI*)(HANDLE);
    auto context = Entry<Context>(user, "GetThreadDpiAwarenessContext");
    auto awareness = Entry<Awareness>(user, "GetAwarenessFromDpiAwarenessContext");
    ASSERT_NE(context, nullptr);
    ASSERT_NE(awareness, nullptr);
    constexpr int kPerMonitorAware = 2;
    EXPECT_EQ(awareness(context()), kPerMonitorAware);
    // Wine is per-monitor aware with or without the manifest: read what the manifest says.
    wchar_t setting[64] = {};
    SIZE_T written = 0;
    ASSERT_TRUE(QueryActCtxSettingsW(0, nullptr,
                                     L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                     L"dpiAwareness", setting, 64, &written));
    EXPECT_EQ(std::wstring(setting), L"PerMonitorV2, PerMonitor");
}

} // namespace
