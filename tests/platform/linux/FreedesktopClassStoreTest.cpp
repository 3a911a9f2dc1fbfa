#include "platform/linux/FreedesktopClassStore.h"

#include "platform/Controls.h"
#include "platform/linux/PosixRunTime.h"
#include "shell/MFileAssociations.h"
#include "support/TempFolder.h"
#include "support/linux/FaultyDesktopCalls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <vector>

// The desktop's own tools read what is written in tests/shell/registration_test.sh.
namespace tren::platform {
namespace {

namespace fs = std::filesystem;
using namespace MFileAssociations;

// The store as the registration meets it, with where each of its steps began
// among the calls and what the steps came to.
class LoggedStore final : public ClassStore {
  public:
    struct Step {
        std::size_t firstCall; // counted from 1
        std::string name;
        StoreResult result;
    };
    std::vector<Step> steps;

    LoggedStore(ClassStore& inner, const std::vector<std::string>& calls)
        : inner_(inner), calls_(calls) {}
    StoreResult CreateKey(RootKey root, const std::string& subKey) override {
        return Log("CreateKey " + subKey, [&] { return inner_.CreateKey(root, subKey); });
    }
    StoreResult SetDefaultValue(RootKey root, const std::string& subKey,
                                const std::string& value) override {
        return Log("SetDefaultValue " + subKey,
                   [&] { return inner_.SetDefaultValue(root, subKey, value); });
    }
    StoreResult Publish() override {
        return Log("Publish", [&] { return inner_.Publish(); });
    }

  private:
    template <class Call> StoreResult Log(std::string name, Call call) {
        const std::size_t first = calls_.size() + 1;
        StoreResult result = call();
        steps.push_back({first, std::move(name), result});
        return result;
    }
    ClassStore& inner_;
    const std::vector<std::string>& calls_;
};

// The step that made a call, counted from 1.
const LoggedStore::Step& StepOf(const std::vector<LoggedStore::Step>& steps, std::size_t call) {
    auto step = steps.rbegin();
    while (step->firstCall > call)
        ++step;
    return *step;
}

class StoreTest : public testing::Test, Window {
  protected:
    test::TempFolder home;
    std::string data = home / "data", config = home / "config", system = home / "system";
    std::string program = home / "bin dir/tren", type = "application/x-tr-file";
    PosixRunTime runTime;
    test::FaultyDesktopCalls calls;
    std::vector<ThemeIcon> icons{{"scalable", ".svg", "<svg/>"}};
    std::vector<LoggedStore::Step> steps; // of the latest registration

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
        calls.Made.clear();
        FreedesktopClassStore store({data, config, {system}, home / "bin dir"}, program, icons,
                                    calls);
        LoggedStore logged(store, calls.Made);
        Services services{*this, logged, runTime};
        EXPECT_TRUE(CreateFileAssociation(services, ".tr0", "TR.File", "Trening File", "Build",
                                          program, "", IconSetting::Set, program + ", 0",
                                          Reporting::Show));
        steps = logged.steps;
    }

    // Every file under the user's folders, by its path below home.
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        for (const auto& folder : {data, config})
            if (fs::exists(folder))
                for (const auto& entry : fs::recursive_directory_iterator(folder))
                    if (entry.is_regular_file())
                        files[entry.path().string().substr(home.Path().size() + 1)] =
                            Text(entry.path().string());
        return files;
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

// Each call of a registration fails in turn: the user sees the step's own message
// (none from the shell's notice, whose outcome tells), no file is left half
// written or beside its name, the user's list stays as it was or takes its whole
// new form, and the next start puts everything right.
TEST_F(StoreTest, EachFailingCallIsShownAndTheNextStartRepairsIt) {
    const std::string mine =
        "# mine\n[Default Applications]\nx/y=a.desktop\n" + type + "=other.desktop;\n";
    const auto scene = [&] {
        fs::remove_all(data);
        fs::remove_all(config);
        fs::remove_all(system);
        Write(config + "/mimeapps.list", mine);
        // Another program's entry, found on the search path, and a type of the system's.
        Write(home / "bin dir/other", "#!");
        fs::permissions(home / "bin dir/other", fs::perms::owner_exec, fs::perm_options::add);
        Write(system + "/applications/other.desktop",
              "[Desktop Entry]\nType=Application\nName=other\nExec=other %f\nMimeType=" + type +
                  ";\n");
        Write(system + "/mime/globs2", "50:text/plain:*.txt\n");
        // Caches another program had built, before the type was there.
        for (const auto& cache :
             {data + "/mime/mime.cache", data + "/applications/mimeinfo.cache"}) {
            Write(cache, "old");
            fs::last_write_time(cache, fs::file_time_type::clock::now() - std::chrono::hours(1));
        }
    };
    icons.push_back({"16x16", ".png", "png"});
    // The databases' tools as far as the store sees them: a cache newer than what
    // it is built from. The registration script runs the real ones.
    calls.Programs = [](const std::vector<std::string>& arguments) {
        const bool mime = arguments.at(0) == "update-mime-database";
        Write(arguments.at(1) + (mime ? "/mime.cache" : "/mimeinfo.cache"), "built");
        return 0;
    };
    scene();
    Register();
    const auto clean = Files();
    const auto cleanCalls = calls.Made;
    RecordProperty("Calls", static_cast<int>(cleanCalls.size()));
    ASSERT_EQ(clean.at("data/mime/mime.cache") + clean.at("data/applications/mimeinfo.cache"),
              "builtbuilt");
    ASSERT_EQ(clean.at("config/mimeapps.list"),
              mine + "\n[Added Associations]\n" + type + "=tren.desktop;\n");
    Register();
    for (const auto& call : calls.Made)
        EXPECT_TRUE(call == "open" || call == "read" || call == "close" || call == "stat" ||
                    call == "access" || call == "list")
            << "a second start writes nothing, yet made " << call;
    EXPECT_EQ(Files(), clean);

    const std::vector<std::string> messages = {
        "DLL/OCX Register|16|An error occured while attempting to to create a registery key.",
        "DLL/OCX Register|16|An error occured while attempting to access the registery.",
        "DLL/OCX Register|16|An error occured while attempting to set key default value."};
    for (std::size_t failing = 1; failing <= cleanCalls.size(); ++failing) {
        scene();
        calls.FailAt = static_cast<long>(failing);
        Register();
        calls.FailAt = 0;
        const auto& step = StepOf(steps, failing);
        SCOPED_TRACE("call " + std::to_string(failing) + ", " + calls.Made.at(failing - 1) +
                     ", in " + step.name);
        EXPECT_EQ(calls.Made.at(failing - 1), cleanCalls.at(failing - 1));
        ASSERT_FALSE(step.result) << "a failed call fails its step";
        EXPECT_EQ(step.result.Error().Path().rfind(home.Path(), 0), 0u)
            << "the failure names the file: " << step.result.Error().Description();
        // A step that fails may leave a later one without its folder, and so without
        // its key: the first message is the failing step's own.
        if (step.result.Step() == StoreStep::Publish) {
            EXPECT_EQ(boxes, std::vector<std::string>{});
        } else {
            const std::size_t message = static_cast<std::size_t>(step.result.Step()) -
                                        static_cast<std::size_t>(StoreStep::CreateKey);
            EXPECT_EQ(boxes.empty() ? "" : boxes.front(), messages.at(message));
        }
        for (const auto& box : boxes)
            EXPECT_NE(std::find(messages.begin(), messages.end(), box), messages.end()) << box;
        const auto files = Files();
        EXPECT_EQ(files.count("config/mimeapps.list"), 1u) << "the user's list is gone";
        for (const auto& [path, text] : files) {
            EXPECT_EQ(path.find("/.tren-"), std::string::npos) << "left beside its name: " << path;
            if (path == "config/mimeapps.list") {
                EXPECT_TRUE(text == mine || text == clean.at(path)) << text;
            } else if (path.rfind("data/mime/packages/", 0) == 0) {
                // Written whole, but perhaps before this run knew all of it.
                EXPECT_TRUE(text.size() > 13 && text.substr(text.size() - 13) == "</mime-info>\n")
                    << path << " half written: " << text;
            } else if (path.rfind("data/mime/", 0) != 0 &&
                       path != "data/applications/mimeinfo.cache") {
                EXPECT_EQ(text, clean.count(path) ? clean.at(path) : "(none)") << path;
            }
        }
        boxes.clear();
        Register();
        EXPECT_EQ(boxes, std::vector<std::string>{});
        EXPECT_EQ(Files(), clean);
        boxes.clear();
    }
}

} // namespace
} // namespace tren::platform
