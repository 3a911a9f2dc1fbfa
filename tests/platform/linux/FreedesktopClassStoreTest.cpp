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

std::string Text(const std::string& path) {
    const auto bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

void Write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    test::WriteFile(path, {text.begin(), text.end()});
}

// A home of its own with a program in a folder whose name has a blank, and a
// system data folder that provides nothing until a test says so; the boxes
// shown are kept.
class StoreTest : public testing::Test, Window {
  protected:
    test::TempFolder home;
    std::string data = home / "data";
    std::string config = home / "config";
    std::string system = home / "system";
    std::string program = home / "bin dir/tren";
    PosixRunTime runTime;
    Lines shown;

    void MsgBox(const std::string& text, MessageStyle, const std::string&) override {
        shown.push_back(text);
    }
    std::string ChooseFolder(const std::string&) override { return {}; }

    void Register() {
        fs::create_directories(home / "bin dir");
        test::WriteFile(program, {0x7f, 'E', 'L', 'F'});
        fs::permissions(program, fs::perms::owner_exec, fs::perm_options::add);
        FreedesktopClassStore store({data, config, {system}, home / "bin dir"}, program,
                                    {{"16x16", ".png", "sixteen"}, {"scalable", ".svg", "<svg/>"}});
        MFileAssociations::Services services{*this, store, runTime};
        MFileAssociations::CreateFileAssociation(
            services, ".tr0", "TR.File", "Trening File", "Build", program, "",
            MFileAssociations::IconSetting::Set, program + ", 0",
            MFileAssociations::Reporting::Show);
    }
};

TEST_F(StoreTest, WritesTheTypeItsIconsAndItsDefaultApplication) {
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
    EXPECT_EQ(Text(data + "/icons/hicolor/scalable/apps/tren.svg"), "<svg/>");
    const std::string entry = Text(data + "/applications/tren.desktop");
    for (const std::string& line : {"Exec=\"" + program + "\" %f", std::string("Icon=tren"),
                                    std::string("MimeType=application/x-tr-file;")})
        EXPECT_NE(entry.find("\n" + line + "\n"), std::string::npos) << line << "\n" << entry;
    // A desktop action receives no file.
    EXPECT_EQ(entry.find("Action"), std::string::npos) << entry;
    EXPECT_EQ(Text(config + "/mimeapps.list"),
              "[Default Applications]\napplication/x-tr-file=tren.desktop\n");
}

TEST_F(StoreTest, TheUsersChoiceStaysAndOtherLinesToo) {
    const std::string others = "# mine\n[Added Associations]\ntext/plain=gedit.desktop;\n\n"
                               "[Default Applications]\ntext/plain=gedit.desktop\n";
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } table[] = {
        {"no choice: tren becomes the default", others,
         others + "application/x-tr-file=tren.desktop\n"},
        {"another default stays; tren is added", others + "application/x-tr-file=other.desktop\n",
         "# mine\n[Added Associations]\ntext/plain=gedit.desktop;\n"
         "application/x-tr-file=tren.desktop;\n\n[Default Applications]\n"
         "text/plain=gedit.desktop\napplication/x-tr-file=other.desktop\n"},
        {"added already: nothing changes",
         "[Default Applications]\napplication/x-tr-file=other.desktop;\n[Added Associations]\n"
         "application/x-tr-file=other.desktop;tren.desktop;\n",
         "[Default Applications]\napplication/x-tr-file=other.desktop;\n[Added Associations]\n"
         "application/x-tr-file=other.desktop;tren.desktop;\n"},
        {"tren is the default: nothing changes",
         "[Default Applications]\napplication/x-tr-file=tren.desktop\n",
         "[Default Applications]\napplication/x-tr-file=tren.desktop\n"},
    };
    for (const auto& row : table) {
        Write(config + "/mimeapps.list", row.before);
        Register();
        EXPECT_EQ(Text(config + "/mimeapps.list"), row.after) << row.name;
    }
}

TEST_F(StoreTest, AnInstalledPackageLeavesTheUsersFoldersAlone) {
    const std::string type = "application/x-tr-file";
    const struct {
        const char* name;
        std::string exec;
        std::string globs;
        bool written;
    } table[] = {
        {"an entry that runs this program", "\"" + program + "\" %f", "50:" + type + ":*.tr0\n",
         false},
        {"a bare name found on the search path", "tren %f", "50:" + type + ":*.tr0\n", false},
        {"an entry that runs another program", "/usr/bin/true %f", "50:" + type + ":*.tr0\n", true},
        {"a type the system's database does not know", "tren %f", "50:text/plain:*.txt\n", true},
    };
    for (const auto& row : table) {
        fs::remove_all(data);
        fs::remove_all(config);
        Write(system + "/applications/org.example.tren.desktop",
              "[Desktop Entry]\nType=Application\nName=tren\nExec=" + row.exec +
                  "\nMimeType=" + type + ";\n");
        Write(system + "/mime/globs2", "# a comment\n" + row.globs);
        Register();
        EXPECT_TRUE(shown.empty()) << row.name;
        EXPECT_EQ(fs::exists(data), row.written) << row.name;
        EXPECT_EQ(fs::exists(config), row.written) << row.name;
    }
}

TEST_F(StoreTest, AStoreThatCannotBeWrittenReportsEachStepInOrder) {
    Write(data, "x"); // a file where the data folder should be
    Register();
    const std::string create = "An error occured while attempting to to create a registery key.";
    const std::string access = "An error occured while attempting to access the registery.";
    EXPECT_EQ(shown, (Lines{create, create, create, access, access, access, access}));
    EXPECT_FALSE(fs::exists(config + "/mimeapps.list"));
}

TEST(DesktopExec, QuotesEscapesAndReadsBackTheProgram) {
    const std::pair<const char*, const char*> table[] = {
        {"/usr/bin/tren", "/usr/bin/tren %f"},
        {"/opt/my tools/tren", "\"/opt/my tools/tren\" %f"},
        {"/opt/a\"b/tren", "\"/opt/a\\\"b/tren\" %f"},
        {"/opt/$HOME/`x`", "\"/opt/\\$HOME/\\`x\\`\" %f"},
        {"/opt/back\\slash", "\"/opt/back\\\\\\\\slash\" %f"},
        {"/opt/100% off/tren", "\"/opt/100%% off/tren\" %f"},
        {"/opt/100%/tren", "/opt/100%%/tren %f"},
    };
    for (const auto& [program, exec] : table) {
        EXPECT_EQ(DesktopExec(program, ""), exec) << program;
        EXPECT_EQ(ExecProgram(exec), program) << exec;
    }
    EXPECT_EQ(DesktopExec("/t", "-q"), "/t -q %f");
}

} // namespace
} // namespace tren::platform
