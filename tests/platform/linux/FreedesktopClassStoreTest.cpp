#include "platform/linux/FreedesktopClassStore.h"

#include "platform/Controls.h"
#include "platform/linux/PosixRunTime.h"
#include "shell/MFileAssociations.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

// The desktop's own tools read what is written in tests/shell/registration_test.sh.
namespace tren::platform {
namespace {

namespace fs = std::filesystem;
using namespace MFileAssociations;

class StoreTest : public testing::Test, Window {
  protected:
    test::TempFolder home;
    std::string data = home / "data", config = home / "config", system = home / "system";
    std::string program = home / "bin dir/tren", type = "application/x-tr-file";
    PosixRunTime runTime;

    static std::string Text(const std::string& path) {
        const auto bytes = test::ReadFile(path);
        return {bytes.begin(), bytes.end()};
    }
    static void Write(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(path).parent_path());
        test::WriteFile(path, {text.begin(), text.end()});
    }

    // "TITLE|STYLE|TEXT" of each message box; none unless a test takes them.
    std::vector<std::string> boxes;
    void MsgBox(const std::string& text, MessageStyle style, const std::string& title) override {
        boxes.push_back(title + "|" + std::to_string(static_cast<int>(style)) + "|" + text);
    }
    void TearDown() override { EXPECT_EQ(boxes, std::vector<std::string>{}); }
    std::string ChooseFolder(const std::string&) override { return {}; }

    void Register() {
        Write(program, "#!");
        fs::permissions(program, fs::perms::owner_exec, fs::perm_options::add);
        FreedesktopClassStore store({data, config, {system}, home / "bin dir"}, program,
                                    {{"scalable", ".svg", "<svg/>"}});
        Services services{*this, store, runTime};
        CreateFileAssociation(services, ".tr0", "TR.File", "Trening File", "Build", program, "",
                              IconSetting::Set, program + ", 0", Reporting::Show);
    }
};

TEST_F(StoreTest, WritesWhatNoPackageProvidesAndKeepsTheUsersChoiceAndOtherLines) {
    // Before, and what is added at its end (another default kept: the script).
    const std::pair<std::string, std::string> table[] = {
        {"# mine\n[Added Associations]\nx/y=a.desktop;\n\n[Default Applications]\nx/y=a.desktop\n",
         "application/x-tr-file=tren.desktop\n"},
        {"[Default Applications]\napplication/x-tr-file=other.desktop;\n[Added Associations]\n"
         "application/x-tr-file=other.desktop;tren.desktop;\n",
         ""}};
    for (const auto& [before, after] : table) {
        Write(config + "/mimeapps.list", before);
        Register();
        EXPECT_EQ(Text(config + "/mimeapps.list"), before + after) << before;
    }
    EXPECT_NE(Text(data + "/mime/packages/x-tr-file.xml").find("<comment>Trening File</comment>"),
              std::string::npos);
    EXPECT_EQ(Text(data + "/icons/hicolor/scalable/apps/tren.svg"), "<svg/>");
    const std::string entry = Text(data + "/applications/tren.desktop");
    for (const std::string line :
         {"Exec=\"" + program + "\" %f", std::string("Icon=tren"), "MimeType=" + type + ";"})
        EXPECT_NE(entry.find("\n" + line + "\n"), std::string::npos) << line << "\n" << entry;
    EXPECT_EQ(entry.find("Action"), std::string::npos) << entry; // an action receives no file
    // An installed package: the system's Exec and globs; whether the user's folders are written.
    const std::tuple<std::string, std::string, bool> packages[] = {
        {"tren %f", "50:" + type + ":*.tr0\n", false}, // found on the search path
        {"/usr/bin/true %f", "50:" + type + ":*.tr0\n", true},
        {"tren %f", "50:text/plain:*.txt\n", true}}; // a type the system does not know
    for (const auto& [exec, globs, written] : packages) {
        fs::remove_all(data);
        fs::remove_all(config);
        Write(system + "/applications/org.example.tren.desktop",
              "[Desktop Entry]\nType=Application\nName=tren\nExec=" + exec + "\nMimeType=" + type +
                  ";\n");
        Write(system + "/mime/globs2", "# a comment\n" + globs);
        Register();
        EXPECT_EQ(fs::exists(data) + fs::exists(config), written ? 2 : 0) << exec << " " << globs;
    }
}

TEST(DesktopExec, QuotesEscapesAndReadsBackTheProgram) {
    const std::tuple<const char*, const char*, const char*> table[] = {
        {"/opt/a\"b/$HOME/`x`/back\\slash", "",
         "\"/opt/a\\\"b/\\$HOME/\\`x\\`/back\\\\\\\\slash\" %f"},
        {"/opt/100% off/tren", "", "\"/opt/100%% off/tren\" %f"},
        {"/opt/100%/tren", "-q", "/opt/100%%/tren -q %f"}};
    for (const auto& [program, params, exec] : table) {
        EXPECT_EQ(DesktopExec(program, params), exec) << program;
        EXPECT_EQ(ExecProgram(exec), program) << exec;
    }
}

// A regular file where the data folder goes: every step fails with its own
// message, and none throws, so start-up goes on.
TEST_F(StoreTest, AnUnusableDataFolderGivesEachStepsMessage) {
    Write(data, "not a folder");
    EXPECT_NO_THROW(Register());
    ASSERT_FALSE(boxes.empty());
    for (const auto& box : boxes)
        EXPECT_EQ(box.rfind("DLL/OCX Register|16|An error occured while attempting to", 0), 0u)
            << box;
    boxes.clear();
}

} // namespace
} // namespace tren::platform
