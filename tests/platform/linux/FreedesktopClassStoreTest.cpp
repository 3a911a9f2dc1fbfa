#include "platform/linux/FreedesktopClassStore.h"

#include "platform/Controls.h"
#include "platform/linux/PosixRunTime.h"
#include "shell/MFileAssociations.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tren::platform {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using test::ReadFile;
using test::WriteFile;

std::string Text(const std::string& path) {
    const auto bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

// A home of its own with a program in a folder whose name has a blank; the boxes
// shown are kept.
class StoreTest : public testing::Test, Window {
  protected:
    test::TempFolder home;
    std::string data = home / "data";
    std::string config = home / "config";
    std::string program = home / "bin dir/tren";
    PosixRunTime runTime;
    Lines shown;

    void MsgBox(const std::string& text, MessageStyle, const std::string&) override {
        shown.push_back(text);
    }
    std::string ChooseFolder(const std::string&) override { return {}; }

    void Register() {
        fs::create_directories(home / "bin dir");
        WriteFile(program, {0x7f, 'E', 'L', 'F'});
        FreedesktopClassStore store(data, config,
                                    {{"16x16", ".png", "sixteen"}, {"scalable", ".svg", "<svg/>"}});
        MFileAssociations::Services services{*this, store, runTime};
        MFileAssociations::CreateFileAssociation(
            services, ".tr0", "TR.File", "Trening File", "Build", program, "",
            MFileAssociations::IconSetting::Set, program + ", 0",
            MFileAssociations::Reporting::Show);
    }
};

TEST_F(StoreTest, WritesTheTypeItsIconAndItsDefaultApplication) {
    Register();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(Text(data + "/mime/packages/x-tr-file.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
              "  <mime-type type=\"application/x-tr-file\">\n"
              "    <comment>Trening File</comment>\n"
              "    <icon name=\"application-x-tr-file\"/>\n"
              "    <glob pattern=\"*.tr0\"/>\n"
              "  </mime-type>\n"
              "</mime-info>\n");
    EXPECT_EQ(Text(data + "/icons/hicolor/16x16/mimetypes/application-x-tr-file.png"), "sixteen");
    EXPECT_EQ(Text(data + "/icons/hicolor/scalable/mimetypes/application-x-tr-file.svg"), "<svg/>");
    const std::string entry = Text(data + "/applications/tren.desktop");
    EXPECT_NE(entry.find("\nExec=\"" + program + "\" %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nMimeType=application/x-tr-file;\n"), std::string::npos);
    EXPECT_NE(entry.find("\n[Desktop Action Build]\nName=Build\n"), std::string::npos);
    EXPECT_EQ(Text(config + "/mimeapps.list"),
              "[Default Applications]\napplication/x-tr-file=tren.desktop\n");
}

TEST_F(StoreTest, OtherLinesOfTheUsersListStay) {
    fs::create_directories(config);
    const std::string before = "# mine\n[Added Associations]\ntext/plain=gedit.desktop;\n\n"
                               "[Default Applications]\ntext/plain=gedit.desktop\n"
                               "application/x-tr-file=other.desktop\nimage/png=eog.desktop\n\n"
                               "[Removed Associations]\n";
    WriteFile(config + "/mimeapps.list", {before.begin(), before.end()});
    Register();
    std::string after = before;
    after.replace(after.find("other.desktop"), 13, "tren.desktop");
    EXPECT_EQ(Text(config + "/mimeapps.list"), after);
}

TEST_F(StoreTest, AStoreThatCannotBeWrittenReportsEachStepInOrder) {
    WriteFile(data, {1}); // a file where the data folder should be
    Register();
    const std::string create = "An error occured while attempting to to create a registery key.";
    const std::string access = "An error occured while attempting to access the registery.";
    EXPECT_EQ(shown, (Lines{create, create, create, access, access, access, access}));
    EXPECT_FALSE(fs::exists(config + "/mimeapps.list"));
}

TEST(DesktopExec, QuotesAndEscapesTheProgram) {
    const std::pair<const char*, const char*> table[] = {
        {"/usr/bin/tren", "/usr/bin/tren %f"},
        {"/opt/my tools/tren", "\"/opt/my tools/tren\" %f"},
        {"/opt/a\"b/tren", "\"/opt/a\\\"b/tren\" %f"},
        {"/opt/$HOME/`x`", "\"/opt/\\$HOME/\\`x\\`\" %f"},
        {"/opt/back\\slash", "\"/opt/back\\\\\\\\slash\" %f"},
        {"/opt/100% off/tren", "\"/opt/100%% off/tren\" %f"},
    };
    for (const auto& [program, exec] : table)
        EXPECT_EQ(DesktopExec(program, ""), exec) << program;
    EXPECT_EQ(DesktopExec("/t", "-q"), "/t -q %f");
}

} // namespace
} // namespace tren::platform
