// The real tren.exe window, driven from outside by window messages as the shell
// drives it, and read back. Cross-process list texts come back wide under Wine.
#include "engine/PieceSet.h"
#include "win32/ControlIds.h"
#include "window/FormLayout.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tren::win32 {
namespace {

namespace Layout = tren::FormLayout;
using Lines = std::vector<std::string>;

const std::string caption(Layout::WindowCaption);

std::string TextOf(HWND window) {
    char text[1024] = {};
    ::SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// Waits for a condition, up to a limit that only a hung window reaches.
template <class Condition> void WaitFor(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// A visible dialog (a message box, the open dialog, the folder picker) of the thread.
HWND DialogOf(DWORD thread) {
    for (HWND w = ::FindWindowExA(nullptr, nullptr, "#32770", nullptr); w;
         w = ::FindWindowExA(nullptr, w, "#32770", nullptr))
        if (::GetWindowThreadProcessId(w, nullptr) == thread && ::IsWindowVisible(w))
            return w;
    return nullptr;
}

const std::string trenExe = std::filesystem::path(TREN_EXE).make_preferred().string();

// tren.exe, started with argument as its command line after its name.
struct TrenWindow {
    PROCESS_INFORMATION process{};

    explicit TrenWindow(std::string argument = {}) {
        argument.insert(0, "\"" + trenExe + "\"");
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        EXPECT_TRUE(::CreateProcessA(nullptr, argument.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                     nullptr, &startup, &process));
    }
    ~TrenWindow() {
        ::TerminateProcess(process.hProcess, 0);
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    HWND Main() const {
        WaitFor([] { return ::IsWindowVisible(::FindWindowA(MainWindowClass, caption.c_str())); });
        return ::FindWindowA(MainWindowClass, caption.c_str());
    }
    HWND Control(int id) const { return ::GetDlgItem(Main(), id); }
    void Click(int id) const { ::PostMessageA(Control(id), BM_CLICK, 0, 0); }
    // Answers the next dialog with a button, path typed in as a file's name: its text.
    std::string Answer(int button, const std::string& path = "") const {
        WaitFor([&] { return DialogOf(process.dwThreadId) != nullptr; });
        const HWND dialog = DialogOf(process.dwThreadId);
        const std::string shown = TextOf(dialog) + ": " + TextOf(::GetDlgItem(dialog, 0xffff));
        ::SetDlgItemTextA(dialog, 0x47c, path.c_str());
        ::PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(button), 0);
        WaitFor([&] { return !::IsWindowVisible(dialog); });
        return shown;
    }
    // The list's lines, once it ends with last.
    Lines ListLines(const std::string& last) const {
        Lines lines;
        WaitFor([&] {
            lines.clear();
            for (LRESULT i = 0; i < ::SendMessageW(Control(IdLstFiles), LB_GETCOUNT, 0, 0); ++i) {
                wchar_t line[1024] = {};
                ::SendMessageW(Control(IdLstFiles), LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
                lines.emplace_back(line, line + ::lstrlenW(line)); // the paths here are ASCII
            }
            return !lines.empty() && lines.back() == last;
        });
        return lines;
    }
};

// A plain start shows the form and registers the type without a message; a tren
// and a build go through the buttons, the dialogs answered as a user would (Cancel
// in the folder picker: C:\TEMP\); the set is then opened as the shell runs it.
TEST(WindowDriverTest, ShowsTheFormRegistersTheTypeAndTrensAndBuilds) {
    test::TempFolder folder;
    const auto source = test::RandomBytes(3500000, 5);
    test::WriteFile(folder / "whole.bin", source);
    test::WriteFile(folder / "small.bin", {1, 2, 3});
    const std::string set = "C:\\TEMP\\whole.bin";
    ::DeleteFileA(set.c_str());
    {
        TrenWindow tren;
        const HWND main = tren.Main();
        EXPECT_EQ(DialogOf(tren.process.dwThreadId), nullptr) << "a message at start-up";
        // Each control where the form has it, in twips scaled alike by the font (lstFiles
        // gives the scale; a combo box's height is its list's), showing its caption (the
        // size box: the default size); those that take the focus tab in turn.
        const struct {
            int id;
            const Layout::Control& drawn;
            bool tabStop;
        } controls[] = {
            {IdLstFiles, Layout::lstFiles, true},     {IdCmbSize, Layout::cmbSize, true},
            {IdFltbTren, Layout::fltbTren, true},     {IdFltbBuild, Layout::fltbBuild, true},
            {IdTxtSrcFile, Layout::txtSrcFile, true}, {IdProgressBar1, Layout::ProgressBar1, false},
            {IdLblLink, Layout::lblLink, false},      {IdLabel2, Layout::Label2, false},
            {IdLabel1, Layout::Label1, false}};
        ASSERT_EQ(std::size(controls), Layout::Controls.size());
        RECT at{};
        ::GetWindowRect(tren.Control(IdLstFiles), &at);
        const double x = (at.right - at.left) / double(Layout::lstFiles.At.Width),
                     y = (at.bottom - at.top) / double(Layout::lstFiles.At.Height);
        ASSERT_GT(x, 0.04) << "the window did not come up";
        std::vector<std::pair<int, int>> tabStops; // tab index, id
        for (const auto& c : controls) {
            SCOPED_TRACE(c.drawn.Name);
            const Layout::Twips& drawn = c.drawn.At;
            ::GetWindowRect(tren.Control(c.id), &at);
            ::MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&at), 2);
            EXPECT_NEAR(at.left, drawn.Left * x, 1.5);
            EXPECT_NEAR(at.top, drawn.Top * y, 1.5);
            EXPECT_NEAR(at.right - at.left, drawn.Width * x, 1.5);
            if (c.id != IdCmbSize) {
                EXPECT_NEAR(at.bottom - at.top, drawn.Height * y, 1.5);
            }
            EXPECT_EQ(TextOf(tren.Control(c.id)),
                      c.id == IdCmbSize ? pieces::SizeTable[2].Text : c.drawn.Caption);
            if (c.tabStop)
                tabStops.emplace_back(c.drawn.TabIndex, c.id);
        }
        std::ranges::sort(tabStops);
        for (std::size_t i = 0; i < tabStops.size(); ++i)
            EXPECT_EQ(::GetNextDlgTabItem(main, tren.Control(tabStops[i].second), FALSE),
                      tren.Control(tabStops[(i + 1) % tabStops.size()].second));

        const HWND box = tren.Control(IdTxtSrcFile);
        ::SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("C:\\set.tr0"));
        ::PostMessageA(box, WM_CHAR, VK_BACK, 0);
        for (const UINT message : {WM_CHAR, WM_PASTE, WM_CUT, WM_CLEAR})
            ::PostMessageA(box, message, 'x', 0);
        ::SendMessageA(box, WM_NULL, 0, 0); // the posted messages are handled by now
        EXPECT_EQ(TextOf(box), "C:\\set.tr0") << "the path box took a typed or pasted edit";

        // The command quoted, so that no C:\Program.exe is started for C:\Program Files\...
        for (const auto& [key, value] :
             {std::pair<std::string, std::string>{".tr0", "TR.File"},
              {"TR.File", "Trening File"},
              {"TR.File\\DefaultIcon", trenExe + ", 0"},
              {"TR.File\\shell\\Build\\command", "\"" + trenExe + "\" \"%1\""}}) {
            char stored[1024] = "(missing)";
            DWORD size = sizeof stored;
            ::RegGetValueA(HKEY_CURRENT_USER, ("Software\\Classes\\" + key).c_str(), nullptr,
                           RRF_RT_REG_SZ, nullptr, stored, &size);
            EXPECT_EQ(stored, value) << key;
        }

        tren.Click(IdFltbTren);
        tren.Answer(IDOK, folder / "small.bin");
        EXPECT_EQ(tren.Answer(IDOK), "Trenning Warnning: file is too small for Trening");

        // Typed text chooses no size: the default one cuts. (Choosing from the list
        // is a person's act, tried through the display server by window_input_test.sh.)
        const HWND field = ::GetWindow(tren.Control(IdCmbSize), GW_CHILD);
        ::SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        for (const char c : std::string(pieces::SizeTable[0].Text) + "\r")
            ::PostMessageA(field, WM_CHAR, static_cast<WPARAM>(c), 0);
        tren.Click(IdFltbTren);
        tren.Answer(IDOK, folder / "whole.bin");
        tren.Answer(IDCANCEL);
        EXPECT_EQ(tren.ListLines("Finish Trening successfully"),
                  (Lines{set + ".tr1 [1440000 bytes]", set + ".tr2 [1440000 bytes]",
                         set + ".tr3 [620000 bytes]", set + ".tr0 [10 bytes]",
                         "Finish Trening successfully"}));
        EXPECT_EQ(TextOf(tren.Control(IdCmbSize)), pieces::SizeTable[2].Text)
            << "the box shows a size the run did not cut with";

        tren.Click(IdFltbBuild);
        tren.Answer(IDOK, set + ".tr0");
        tren.Answer(IDCANCEL);
        EXPECT_EQ(tren.ListLines("Finish building successfully"),
                  (Lines{set + " [3500000 bytes]", "Finish building successfully"}));
        EXPECT_EQ(test::ReadFile(set), source);
    }
    // Opened, the set is built before the window shows, and its size selected.
    ::DeleteFileA(set.c_str());
    TrenWindow tren(" \"" + set + ".tr0\"");
    tren.Answer(IDCANCEL); // the folder picker
    EXPECT_EQ(tren.ListLines("Finish building successfully").size(), 2u);
    EXPECT_EQ(test::ReadFile(set), source);
    EXPECT_EQ(TextOf(tren.Control(IdTxtSrcFile)), set + ".tr0");
    EXPECT_EQ(TextOf(tren.Control(IdCmbSize)), pieces::SizeTable[2].Text);
}

} // namespace
} // namespace tren::win32
