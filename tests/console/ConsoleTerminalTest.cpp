// tren-cli on a Windows console and on no terminal at all (terminal_test.sh tries a
// terminal that reads escape codes): the progress bar and the listed lines share one
// stream, as standard error and standard output share a console; and the help speaks
// the system's own paths.
#include "console/ConsoleCommand.h"
#include "console/ConsoleControls.h"
#include "platform/ClassStore.h"
#include "platform/Paths.h"

#include "support/SystemUnderTest.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tren::console {
namespace {

using Lines = std::vector<std::string>;

// What a console shows for text: a carriage return goes back to the row's start and
// later characters overwrite; blanks at a row's end are not seen.
Lines Shown(const std::string& text) {
    Lines rows(1);
    std::size_t column = 0;
    for (const char c : text) {
        if (c == '\n')
            rows.emplace_back(), column = 0;
        else if (c == '\r')
            column = 0;
        else if (column < rows.back().size())
            rows.back()[column++] = c;
        else
            rows.back() += c, ++column;
    }
    for (std::string& row : rows)
        row.erase(row.find_last_not_of(' ') + 1);
    return rows;
}

// A run that lists its pieces as the bar climbs, the count going from one digit to
// two, then the final line after the bar has gone.
TEST(ConsoleTerminalTest, ListedLinesStandAloneOnTheirRows) {
    for (const Terminal kind : {Terminal::PlainConsole, Terminal::None}) {
        std::ostringstream console;
        ConsoleProgressBar bar(console, kind);
        ConsoleListBox list(console, bar, false);
        bar.SetMin(0);
        bar.SetMax(12);
        const Lines listed = {"C:\\a.tr1 [1 bytes]", "b", "C:\\a.tr3 [1440000 bytes]",
                              "Finish Trening successfully"};
        for (int value = 1; value <= 12; ++value) {
            bar.SetValue(static_cast<float>(value));
            if (value % 4 == 0)
                list.AddItem(listed[static_cast<std::size_t>(value / 4 - 1)]);
        }
        bar.SetValue(12);
        bar.SetValue(0);
        list.AddItem(listed.back());
        const std::string text = console.str();

        Lines expected = listed;
        expected.emplace_back(); // the row after the last line, where the bar stood
        EXPECT_EQ(Shown(text), expected) << testing::PrintToString(text);
        EXPECT_EQ(text.find('\r') != std::string::npos, kind == Terminal::PlainConsole)
            << "the bar was drawn";
        EXPECT_EQ(text.find('\033'), std::string::npos) << "escape sequences";
    }
}

class NoStore final : public platform::ClassStore {
  public:
    platform::StoreResult CreateKey(platform::RootKey, const std::string&) override { return {}; }
    platform::StoreResult SetDefaultValue(platform::RootKey, const std::string&,
                                          const std::string&) override {
        return {};
    }
    platform::StoreResult Publish() override { return {}; }
};

// Every help names only paths and tools of the system it runs on.
TEST(ConsoleHelpTest, ExamplesSpeakTheSystemsOwnPaths) {
    const bool windows = platform::PathSeparator == '\\';
    const Lines own = windows ? Lines{"E:\\report.doc.tr0", "%USERPROFILE%\\restored"}
                              : Lines{"/media/usb/report.doc.tr0", "~/restored", "split -b"};
    const Lines foreign = windows ? Lines{"/media", "~/", "split -b", ".tar"}
                                  : Lines{"E:\\", "%USERPROFILE%", "Explorer"};
    for (const char* verb : {"", "tren", "build", "info", "verify"}) {
        SCOPED_TRACE(verb);
        std::vector<const char*> argv = {"tren-cli", "help"};
        if (*verb)
            argv.push_back(verb);
        test::SystemRunTime runTime;
        NoStore store;
        std::ostringstream out, err;
        EXPECT_EQ(RunCommand(static_cast<int>(argv.size()), argv.data(), runTime, store, out, err,
                             Terminal::None),
                  Succeeded);
        const std::string help = out.str();
        for (const std::string& word : foreign)
            EXPECT_EQ(help.find(word), std::string::npos) << word << " in\n" << help;
        for (const std::string& word : *verb ? Lines{} : own)
            EXPECT_NE(help.find(word), std::string::npos) << word << " not in\n" << help;
    }
}

} // namespace
} // namespace tren::console
