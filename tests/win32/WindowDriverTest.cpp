// The real tren.exe window, driven from outside by window messages, as a user's
// clicks and the shell would drive it. Cross-process list and combo texts come
// back wide under Wine, so those are asked for with SendMessageW.
#include "win32/ControlIds.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace tren::win32 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

std::string Narrow(const std::wstring& wide) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(), n,
                          nullptr, nullptr);
    return text;
}

std::string TextOf(HWND window) {
    char text[1024] = {};
    ::SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// Waits for a condition, up to a limit that only a hung window reaches.
bool WaitFor(const std::function<bool()>& condition, int seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

struct DialogSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<DialogSearch*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    char className[32] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (owner == search.process && ::IsWindowVisible(window) &&
        std::string(className) == "#32770") {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible dialog (a message box, the open dialog, the folder picker) of the
// process.
HWND DialogOf(DWORD process) {
    DialogSearch search{process, nullptr};
    ::EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The texts of a message box's static children, joined.
std::string BoxText(HWND box) {
    std::string text;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {};
        ::GetClassNameA(child, className, sizeof className);
        if (std::string(className) == "Static")
            text += TextOf(child);
    }
    return text;
}

// tren.exe, by its Windows name.
std::string TrenExe() {
    std::string path = TREN_EXE;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

class TrenWindow {
  public:
    // Starts tren.exe with command as its command line (after its name).
    explicit TrenWindow(const std::string& argument = {}, bool waitForWindow = true) {
        std::string line = "\"" + TrenExe() + "\"" + argument;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        EXPECT_TRUE(::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                     nullptr, &startup, &process_))
            << line;
        ::WaitForInputIdle(process_.hProcess, 30000);
        if (waitForWindow)
            Find();
    }
    TrenWindow(const TrenWindow&) = delete;
    TrenWindow& operator=(const TrenWindow&) = delete;
    ~TrenWindow() {
        if (window_)
            ::PostMessageA(window_, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0)
            ::TerminateProcess(process_.hProcess, 1);
        ::CloseHandle(process_.hThread);
        ::CloseHandle(process_.hProcess);
    }

    // The main window, once shown.
    HWND Find() {
        WaitFor([&] {
            window_ = ::FindWindowA(MainWindowClass, MainWindowCaption);
            return window_ != nullptr && ::IsWindowVisible(window_);
        });
        return window_;
    }
    HWND Control(int id) const { return ::GetDlgItem(window_, id); }
    DWORD Process() const { return process_.dwProcessId; }

    // The next dialog the program shows, waited for.
    HWND Dialog() const {
        HWND dialog = nullptr;
        WaitFor([&] { return (dialog = DialogOf(process_.dwProcessId)) != nullptr; });
        return dialog;
    }
    // Answers the open dialog with path.
    void Open(const std::string& path) const {
        const HWND dialog = Dialog();
        ASSERT_NE(dialog, nullptr) << "no open dialog";
        ::SetDlgItemTextA(dialog, 0x47c, path.c_str());
        ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); });
    }
    // Closes the folder picker or a message box, as Cancel or OK does.
    void Dismiss(int button) const {
        const HWND dialog = Dialog();
        ASSERT_NE(dialog, nullptr) << "no dialog to close";
        ::PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(button), 0);
        WaitFor([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); });
    }
    void Click(int id) const { ::PostMessageA(Control(id), BM_CLICK, 0, 0); }

    Lines ListLines() const {
        Lines lines;
        const HWND list = Control(IdLstFiles);
        const auto count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            std::wstring line(
                static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
            ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
            line.resize(line.find(L'\0'));
            lines.push_back(Narrow(line));
        }
        return lines;
    }
    // Waits for the list to end with line.
    bool ListEndsWith(const std::string& line) const {
        return WaitFor([&] {
            const Lines lines = ListLines();
            return !lines.empty() && lines.back() == line;
        });
    }

  private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

// Every control at the place the form was drawn with: the twips scaled alike for
// all of them (by the font the window uses), so lstFiles gives the scale.
TEST(WindowDriverTest, ShowsEveryControlAtItsPlaceWithItsText) {
    TrenWindow tren;
    const HWND main = tren.Find();
    ASSERT_NE(main, nullptr) << "the window did not come up";
    EXPECT_EQ(TextOf(main), "File Trenning");
    EXPECT_EQ(::GetWindowLongA(main, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);

    struct {
        int id;
        int left, top, width, height;
        const char* text;
    } const controls[] = {
        {IdTxtSrcFile, 720, 1560, 4575, 285, ""},
        {IdFltbBuild, 2880, 2040, 1125, 540, "Build..."},
        {IdFltbTren, 4200, 2040, 1125, 540, "Tren..."},
        {IdProgressBar1, 240, 2520, 2295, 255, nullptr},
        {IdCmbSize, 720, 2040, 1815, 0, "1.44M Bytes"},
        {IdLstFiles, 240, 240, 5055, 1230, nullptr},
        {IdLblLink, 3000, 2640, 2175, 255, "tren@example.org"},
        {IdLabel2, 240, 2040, 495, 375, "Size:"},
        {IdLabel1, 240, 1560, 375, 255, "File:"},
    };
    RECT list{};
    ::GetWindowRect(tren.Control(IdLstFiles), &list);
    const double x = (list.right - list.left) / 5055.0, y = (list.bottom - list.top) / 1230.0;
    ASSERT_GT(x, 0.04);
    for (const auto& c : controls) {
        const HWND control = tren.Control(c.id);
        ASSERT_NE(control, nullptr) << c.id;
        RECT at{};
        ::GetWindowRect(control, &at);
        ::MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&at), 2);
        EXPECT_NEAR(at.left, c.left * x, 1.5) << c.id;
        EXPECT_NEAR(at.top, c.top * y, 1.5) << c.id;
        EXPECT_NEAR(at.right - at.left, c.width * x, 1.5) << c.id;
        if (c.height > 0) {
            EXPECT_NEAR(at.bottom - at.top, c.height * y, 1.5) << c.id;
        }
        if (c.text) {
            EXPECT_EQ(TextOf(control), c.text) << c.id;
        }
    }
    RECT client{};
    ::GetClientRect(main, &client);
    EXPECT_NEAR(client.right, 5520 * x, 1.5);
    EXPECT_NEAR(client.bottom, 2865 * y, 1.5);

    // The size list: its five entries, in the order a header's size code counts.
    const HWND sizes = tren.Control(IdCmbSize);
    const Lines entries = {"5M Bytes", "3M Bytes", "1.44M Bytes", "1M Bytes", "500K Bytes"};
    ASSERT_EQ(::SendMessageW(sizes, CB_GETCOUNT, 0, 0), 5);
    EXPECT_EQ(::SendMessageW(sizes, CB_GETCURSEL, 0, 0), 2);
    for (int i = 0; i < 5; ++i) {
        wchar_t entry[64] = {};
        ::SendMessageW(sizes, CB_GETLBTEXT, static_cast<WPARAM>(i),
                       reinterpret_cast<LPARAM>(entry));
        EXPECT_EQ(Narrow(entry), entries[static_cast<std::size_t>(i)]);
    }

    // The keyboard's order: lstFiles, cmbSize, fltbTren, fltbBuild, txtSrcFile.
    const int order[] = {IdLstFiles, IdCmbSize, IdFltbTren, IdFltbBuild, IdTxtSrcFile, IdLstFiles};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_EQ(::GetNextDlgTabItem(main, tren.Control(order[i]), FALSE),
                  tren.Control(order[i + 1]))
            << "after " << order[i];
}

TEST(WindowDriverTest, ThePathBoxRefusesWhatIsTypedOrPasted) {
    TrenWindow tren;
    ASSERT_NE(tren.Find(), nullptr);
    const HWND box = tren.Control(IdTxtSrcFile);
    ::SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("C:\\set.tr0"));
    for (const auto& [message, w] : {std::pair<UINT, WPARAM>{WM_CHAR, 'x'},
                                     {WM_CHAR, VK_BACK},
                                     {WM_PASTE, 0},
                                     {WM_CUT, 0},
                                     {WM_CLEAR, 0}})
        ::PostMessageA(box, message, w, 0);
    ::SendMessageA(box, WM_NULL, 0, 0); // the posted messages are handled by now
    EXPECT_EQ(TextOf(box), "C:\\set.tr0");
}

// A tren and a build through the two buttons, the dialogs answered as a user
// would: the file, then Cancel in the folder picker, so C:\TEMP\ is used.
TEST(WindowDriverTest, TrensAndBuildsThroughTheButtons) {
    test::TempFolder folder;
    const Bytes source = test::RandomBytes(3500000, 5);
    test::WriteFile(folder / "whole.bin", source);
    test::WriteFile(folder / "small.bin", Bytes(1000, 1));
    ::DeleteFileA("C:\\TEMP\\whole.bin");

    TrenWindow tren;
    ASSERT_NE(tren.Find(), nullptr);

    tren.Click(IdFltbTren);
    tren.Open(folder / "small.bin");
    const HWND box = tren.Dialog();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(TextOf(box), "Trenning Warnning");
    EXPECT_EQ(BoxText(box), "file is too small for Trening");
    tren.Dismiss(IDOK);

    // Typed text chooses no size: the pieces are cut at the chosen 1.44M.
    const HWND field = ::GetWindow(tren.Control(IdCmbSize), GW_CHILD);
    ::SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    for (const char c : std::string("5M Bytes\r"))
        ::PostMessageA(field, WM_CHAR, static_cast<WPARAM>(c), 0);
    tren.Click(IdFltbTren);
    tren.Open(folder / "whole.bin");
    tren.Dismiss(IDCANCEL);
    ASSERT_TRUE(tren.ListEndsWith("Finish Trening successfully"));
    EXPECT_EQ(
        tren.ListLines(),
        (Lines{"C:\\TEMP\\whole.bin.tr1 [1440000 bytes]", "C:\\TEMP\\whole.bin.tr2 [1440000 bytes]",
               "C:\\TEMP\\whole.bin.tr3 [620000 bytes]", "C:\\TEMP\\whole.bin.tr0 [10 bytes]",
               "Finish Trening successfully"}));

    // The size chosen before the build is not the set's: the build selects it.
    ::SendMessageA(tren.Control(IdCmbSize), CB_SETCURSEL, 4, 0);
    tren.Click(IdFltbBuild);
    tren.Open("C:\\TEMP\\whole.bin.tr0");
    tren.Dismiss(IDCANCEL);
    ASSERT_TRUE(tren.ListEndsWith("Finish building successfully"));
    EXPECT_EQ(tren.ListLines(),
              (Lines{"C:\\TEMP\\whole.bin [3500000 bytes]", "Finish building successfully"}));
    EXPECT_EQ(test::ReadFile("C:\\TEMP\\whole.bin"), source);
    EXPECT_EQ(TextOf(tren.Control(IdTxtSrcFile)), "C:\\TEMP\\whole.bin.tr0");
}

std::string RegistryValue(const std::string& key) {
    char value[1024] = {};
    DWORD size = sizeof value;
    if (::RegGetValueA(HKEY_CURRENT_USER, ("Software\\Classes\\" + key).c_str(), nullptr,
                       RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "(missing)";
    return value;
}

// A start without an argument registers the type for this user, without a
// message; the registered command then builds a set before the window shows.
TEST(WindowDriverTest, RegistersTheTypeAndBuildsWhatTheShellOpens) {
    {
        TrenWindow tren;
        ASSERT_NE(tren.Find(), nullptr);
        EXPECT_EQ(DialogOf(tren.Process()), nullptr) << "a message at start-up";
    }
    const std::string exe = TrenExe();
    EXPECT_EQ(RegistryValue(".tr0"), "TR.File");
    EXPECT_EQ(RegistryValue("TR.File"), "Trening File");
    EXPECT_EQ(RegistryValue("TR.File\\DefaultIcon"), exe + ", 0");
    const std::string command = RegistryValue("TR.File\\shell\\Build\\command");
    // Quoted, so that no C:\Program.exe is started for C:\Program Files\...
    EXPECT_EQ(command, "\"" + exe + "\" \"%1\"");
    const std::size_t placeholder = command.find("%1");
    ASSERT_NE(placeholder, std::string::npos) << command;

    // A set of two pieces at 1M: 1000000 bytes and 5.
    test::TempFolder folder;
    const Bytes source = test::RandomBytes(1000005, 9);
    test::WriteFile(folder / "opened.dat.tr1", Bytes(source.begin(), source.begin() + 1000000));
    test::WriteFile(folder / "opened.dat.tr2", Bytes(source.begin() + 1000000, source.end()));
    test::WriteFile(folder / "opened.dat.tr0", {2, 5, 0, 0, 0, 0, 0, 0, 0, 4});
    ::DeleteFileA("C:\\TEMP\\opened.dat");

    std::string line = command;
    line.replace(placeholder, 2, folder / "opened.dat.tr0");
    // The command line as the shell gives it, the program's own name first.
    const std::string argument = line.substr(line.find(".exe") + 4 + (line[0] == '"' ? 1 : 0));
    TrenWindow tren(argument, false);
    tren.Dismiss(IDCANCEL); // the folder picker, before the window shows
    ASSERT_NE(tren.Find(), nullptr);
    ASSERT_TRUE(tren.ListEndsWith("Finish building successfully"));
    EXPECT_EQ(test::ReadFile("C:\\TEMP\\opened.dat"), source);
    EXPECT_EQ(TextOf(tren.Control(IdTxtSrcFile)), folder / "opened.dat.tr0");
    EXPECT_EQ(TextOf(tren.Control(IdCmbSize)), "1M Bytes");
}

} // namespace
} // namespace tren::win32
