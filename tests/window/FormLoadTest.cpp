#include "window/frmTren.h"

#include "support/TempFolder.h"
#include "window/ScriptedForm.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace tren::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Runs with its own home and, when asked, another current directory, and puts
// both back afterwards.
class FormLoadTest : public testing::Test {
protected:
    TempFolder home, sets, out, elsewhere;
    std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    fs::path savedDirectory = fs::current_path();
    ScriptedForm ui{ScriptedForm::Start::Unloaded};
    std::vector<std::uint8_t> source = RandomBytes(1440000 + 77, 21);

    FormLoadTest() { ::setenv("HOME", home.Path().c_str(), 1); }
    ~FormLoadTest() override {
        fs::current_path(savedDirectory);
        ::setenv("HOME", savedHome.c_str(), 1);
    }

    // Cuts the source into sets/NAME.tr0 .. with a form of its own.
    std::string MakeSet(const std::string& name) {
        ScriptedForm cutter;
        WriteFile(sets / name, source);
        cutter.AnswerOpen(sets / name);
        cutter.AnswerFolder(sets.Path());
        cutter.form.fltbTren_Click();
        EXPECT_EQ(cutter.ListLines().back(), "Finish Trening successfully");
        fs::remove(sets / name);
        return sets / (name + ".tr0");
    }

    Lines StoreCalls() const {
        Lines calls;
        for (const auto& entry : ui.log)
            if (entry.rfind("store ", 0) == 0)
                calls.push_back(entry.substr(6));
        return calls;
    }
};

TEST_F(FormLoadTest, WithoutAnArgumentRegistersTheRunningProgram) {
    ui.form.Form_Load("");
    const std::string program = fs::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(StoreCalls(), (Lines{"create .tr0",
                                   "create TR.File\\shell\\Build\\command",
                                   "create TR.File\\DefaultIcon",
                                   "set TR.File\\DefaultIcon = " + program + ", 0",
                                   "set .tr0 = TR.File",
                                   "set TR.File = Trening File",
                                   "set TR.File\\shell\\Build\\command = " + program + " %1",
                                   "publish"}));
    EXPECT_TRUE(ui.Boxes().empty());
    EXPECT_EQ(ui.text.text, "");
    EXPECT_EQ(ui.form.AppDir, program.substr(0, program.rfind('/') + 1));
    EXPECT_EQ(ui.combo.entries.size(), 5u);
    EXPECT_EQ(ui.combo.ListIndex(), 2);
    EXPECT_EQ(ui.form.PieceSize, 1440000);
    EXPECT_EQ(ui.label.pointer, platform::MousePointer::Custom);
    EXPECT_EQ(ui.label.icon, platform::Artwork::HandCursor);
    EXPECT_EQ(ui.progress.min, 0);
}

TEST_F(FormLoadTest, AStoreThatCannotBeWrittenIsReportedAndStartUpGoesOn) {
    ui.store.broken = true;
    ui.form.Form_Load("");
    const std::string create =
        "DLL/OCX Register|16|An error occured while attempting to to create a registery key.";
    const std::string access =
        "DLL/OCX Register|16|An error occured while attempting to access the registery.";
    EXPECT_EQ(ui.Boxes(), (Lines{create, create, create, access, access, access, access}));
    EXPECT_EQ(ui.combo.ListIndex(), 2);
    EXPECT_EQ(ui.label.pointer, platform::MousePointer::Custom);
    EXPECT_FALSE(ui.form.PendingError());
}

struct ArgumentCase {
    const char* name;
    const char* setName;
    bool fromAnotherDirectory;
    bool relative;
};

class BuildAtStartTest : public FormLoadTest, public testing::WithParamInterface<ArgumentCase> {};

TEST_P(BuildAtStartTest, BuildsTheNamedSetWithoutRegistering) {
    const auto& c = GetParam();
    std::string header = MakeSet(c.setName);
    fs::current_path(c.fromAnotherDirectory ? elsewhere.Path() : sets.Path());
    if (c.relative)
        header = fs::relative(header).string();
    ui.AnswerFolder(out.Path());
    ui.form.Form_Load(header);

    EXPECT_TRUE(StoreCalls().empty());
    EXPECT_TRUE(ui.Boxes().empty());
    EXPECT_EQ(ui.text.text, header);
    EXPECT_EQ(ui.form.SrcTitle, std::string(c.setName) + ".tr0");
    EXPECT_EQ(ui.ListLines(), (Lines{out / c.setName + " [1440077 bytes]",
                                     "Finish building successfully"}));
    EXPECT_TRUE(ReadFile(out / c.setName) == source);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BuildAtStartTest,
    testing::Values(ArgumentCase{"beside_the_set", "plain.bin", false, false},
                    ArgumentCase{"from_another_directory", "plain.bin", true, false},
                    ArgumentCase{"blanks_in_the_path", "my report 2.doc", true, false},
                    ArgumentCase{"relative_from_another_directory", "r\xC3\xA9sum\xC3\xA9.txt", true, true},
                    // A name may itself begin and end with a quote; it is taken as it is.
                    ArgumentCase{"quotes_are_part_of_the_name", "\"quoted\"", true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormLoadTest, AMissingSetGetsExactlyOneMessage) {
    ui.form.Form_Load(sets / "no such set.tr0");
    EXPECT_EQ(ui.log, (Lines{"clear", "box Building Error|48|File is not exist."}));
    EXPECT_EQ(ui.text.text, sets / "no such set.tr0");
    EXPECT_EQ(ui.form.PieceSize, 1440000);
    EXPECT_TRUE(StoreCalls().empty());
}

TEST_F(FormLoadTest, TheLinkOpensAMailAndShowsNothingWhenItCannot) {
    ui.form.PrepareControls();
    for (std::int32_t result : {platform::AddressOpened, platform::NoAssociation}) {
        ui.desktop.result = result;
        ui.log.clear();
        ui.form.lblLink_Click();
        EXPECT_EQ(ui.log, Lines{"open mailto:tren@example.org"});
    }
}

} // namespace
} // namespace tren::test
