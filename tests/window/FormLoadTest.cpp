#include "window/frmTren.h"

#include "support/TempFolder.h"
#include "window/ScriptedForm.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tren::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Runs with its own default folder and current directory, and puts the latter
// back afterwards.
class FormLoadTest : public testing::Test {
  protected:
    TempFolder home, sets, out, elsewhere;
    fs::path savedDirectory = fs::current_path();
    ScriptedForm ui{ScriptedForm::Start::Unloaded};
    std::vector<std::uint8_t> source = RandomBytes(1440000 + 77, 21);

    FormLoadTest() {
        ui.runTime.Default = home / "TEMP";
        fs::current_path(elsewhere.Path());
    }
    ~FormLoadTest() override { fs::current_path(savedDirectory); }

    Lines StoreCalls() const {
        Lines calls;
        for (const auto& entry : ui.log)
            if (entry.rfind("store ", 0) == 0)
                calls.push_back(entry.substr(6));
        return calls;
    }
};

// The steps and their order are MFileAssociationsTest's; here, which program.
TEST_F(FormLoadTest, WithoutAnArgumentRegistersTheRunningProgram) {
    // A program file elsewhere than the current directory, as the system names it.
    fs::create_directory(home / "bin");
    const std::string program = home / "bin/tren";
    WriteFile(program, {0x7f});
    ui.runTime.Program = program;
    ui.form.Form_Load("");
    const Lines calls = StoreCalls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[3], "set TR.File\\DefaultIcon = " + program + ", 0");
    EXPECT_EQ(calls[6], "set TR.File\\shell\\Build\\command = " + program + " %1");
    EXPECT_TRUE(ui.Boxes().empty());
}

struct ArgumentCase {
    const char* name;
    const char* setName;
    bool inItsFolder; // run from the set's folder rather than another one
    bool relative;
    friend void PrintTo(const ArgumentCase& c, std::ostream* os) { *os << c.name; }
};

// The path from the current directory, its bytes kept as UTF-8 on every system.
std::string Relative(const std::string& path) {
    const std::u8string relative =
        fs::relative(fs::path(std::u8string(path.begin(), path.end()))).u8string();
    return {relative.begin(), relative.end()};
}

class BuildAtStartTest : public FormLoadTest, public testing::WithParamInterface<ArgumentCase> {};

TEST_P(BuildAtStartTest, BuildsTheNamedSetWithoutRegistering) {
    const auto& c = GetParam();
    {
        ScriptedForm cutter;
        WriteFile(sets / c.setName, source);
        cutter.AnswerOpen(sets / c.setName);
        cutter.AnswerFolder(sets.Path());
        cutter.form.fltbTren_Click();
        ASSERT_EQ(cutter.ListLines().back(), "Finish Trening successfully");
        fs::remove(sets / c.setName);
    }
    if (c.inItsFolder)
        fs::current_path(sets.Path());
    const std::string header = sets / (std::string(c.setName) + ".tr0");
    ui.AnswerFolder(out.Path());
    ui.form.Form_Load(c.relative ? Relative(header) : header);

    EXPECT_TRUE(StoreCalls().empty());
    EXPECT_EQ(ui.Boxes(), Lines{});
    EXPECT_EQ(ui.ListLines(),
              (Lines{out / c.setName + " [1440077 bytes]", "Finish building successfully"}));
    EXPECT_TRUE(ReadFile(out / c.setName) == source);
}

const ArgumentCase arguments[] = {
    ArgumentCase{"bare_name_in_its_folder", "plain.bin", true, true},
    ArgumentCase{"relative_from_another_folder", "r\xC3\xA9sum\xC3\xA9.txt", false, true},
#ifndef _WIN32
    // A name may itself begin and end with a quote; it is taken as it is. Windows
    // names hold no quotes.
    ArgumentCase{"absolute_with_quotes_in_the_name", "\"quoted\"", false, false},
#endif
};

INSTANTIATE_TEST_SUITE_P(Arguments, BuildAtStartTest, testing::ValuesIn(arguments),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormLoadTest, AMissingSetGetsExactlyOneMessage) {
    ui.form.Form_Load(sets / "no such set.tr0");
    EXPECT_EQ(ui.log, (Lines{"clear", "box Building Error|48|File is not exist."}));
    EXPECT_EQ(ui.text.text, sets / "no such set.tr0");
}

} // namespace
} // namespace tren::test
