#include "support/TempFolder.h"
#include "window/ScriptedForm.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tren::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Runs in a current directory of its own, and puts the old one back afterwards.
class FormLoadTest : public testing::Test {
  protected:
    TempFolder sets, out, elsewhere;
    fs::path savedDirectory = fs::current_path();

    FormLoadTest() { fs::current_path(elsewhere.Path()); }
    ~FormLoadTest() override { fs::current_path(savedDirectory); }
};

// The path from the current directory, its bytes kept as UTF-8 on every system.
std::string Relative(const std::string& path) {
    const auto relative =
        fs::relative(fs::path(std::u8string(path.begin(), path.end()))).u8string();
    return {relative.begin(), relative.end()};
}

TEST_F(FormLoadTest, BuildsTheNamedSetOrSaysItIsMissingWithoutRegistering) {
    const std::vector<std::uint8_t> source = RandomBytes(1440077, 21);
    // name, run from the set's folder (or another), named by a relative path (or an absolute one)
    const std::tuple<std::string, bool, bool> cases[] = {
        {"plain.bin", true, true},
        {"r\xC3\xA9sum\xC3\xA9.txt", false, true},
#ifndef _WIN32
        {"\"quoted\"", false, false}, // taken as it is; Windows names hold no quotes
#endif
    };
    for (const auto& [name, inItsFolder, relative] : cases) {
        WriteFile(sets / name, source);
        ScriptedForm cutter, started{ScriptedForm::Start::Unloaded};
        cutter.Tren(sets / name, {sets.Path()});
        ASSERT_EQ(cutter.LastLine(), "Finish Trening successfully");
        fs::current_path(inItsFolder ? sets.Path() : elsewhere.Path());
        const std::string header = sets / (name + ".tr0");
        started.folders.push_back(out.Path());
        started.form.Form_Load(relative ? Relative(header) : header);
        EXPECT_EQ(started.Only("store "), Lines{});
        EXPECT_EQ(started.Boxes(), Lines{});
        EXPECT_EQ(started.list.lines,
                  (Lines{out / name + " [1440077 bytes]", "Finish building successfully"}));
        EXPECT_TRUE(ReadFile(out / name) == source);
    }
    ScriptedForm ui{ScriptedForm::Start::Unloaded};
    ui.form.Form_Load(sets / "no such set.tr0");
    EXPECT_EQ(ui.log, (Lines{"clear", "box Building Error|48|File is not exist."}));
    EXPECT_EQ(ui.text.text, sets / "no such set.tr0");
}

} // namespace
} // namespace tren::test
