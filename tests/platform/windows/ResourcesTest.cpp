// The Windows program's resources as the system reads them: the icons at their
// sizes, the link's hand cursor and the version. This exe links tren.rc itself.
#include "win32/ArtworkResources.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#define TEXT_OF(x) #x
#define VERSION_OF(major, minor, patch) TEXT_OF(major.minor.patch)
#define VERSION VERSION_OF(TREN_VERSION_MAJOR, TREN_VERSION_MINOR, TREN_VERSION_PATCH)
const HINSTANCE self = GetModuleHandleA(nullptr);

// The sizes an icon group holds (a 6-byte header, then 14 bytes an entry, the
// width first), each loaded, so that no size is a stretched neighbour.
static std::vector<int> GroupSizes(int id) {
    auto* group = static_cast<const BYTE*>(
        LockResource(LoadResource(self, FindResourceA(self, MAKEINTRESOURCEA(id), RT_GROUP_ICON))));
    std::vector<int> sizes;
    for (int i = 0; group && i < group[4]; ++i) {
        sizes.push_back(group[6 + 14 * i]);
        EXPECT_TRUE(LoadImageA(self, MAKEINTRESOURCEA(id), IMAGE_ICON, sizes[i], sizes[i], 0));
    }
    return sizes;
}

TEST(ResourcesTest, EachIconLoadsAtExactlyItsSizes) {
    EXPECT_EQ(GroupSizes(IDI_TREN), (std::vector<int>{16, 32, 48}));
    EXPECT_EQ(GroupSizes(IDI_TREN_PICTURE), (std::vector<int>{16, 32}));
    EXPECT_EQ(GroupSizes(IDI_BUILD), (std::vector<int>{32}));
}

TEST(ResourcesTest, TheHandCursorPointsWithItsFingertip) {
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(LoadCursorA(self, MAKEINTRESOURCEA(IDC_HAND_CURSOR)), &info));
    EXPECT_EQ(info.xHotspot, 5u);
    EXPECT_EQ(info.yHotspot, 0u);
    // Upside down or mis-masked, the tip would not be drawn nor the corner clear.
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, info.hbmMask);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 5, 0), RGB(0, 0, 0));
}

TEST(ResourcesTest, TheVersionTextsAreTheProjectsAndTheCodePageIsUtf8) {
    EXPECT_EQ(GetACP(), 65001u) << "the manifest is not in force";
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::vector<char> data(GetFileVersionInfoSizeA(path, nullptr));
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, data.size(), data.data()));
    // Readers find the texts through the translation, as the shell does.
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    for (const auto& [name, text] : {std::pair<const char*, const char*>{"ProductName", "tren"},
                                     {"FileDescription", "File Trenning"},
                                     {"FileVersion", VERSION},
                                     {"ProductVersion", VERSION}}) {
        char key[80], *value = nullptr;
        wsprintfA(key, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], name);
        ASSERT_TRUE(VerQueryValueA(data.data(), key, reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(std::string(value), text) << key;
    }
}
