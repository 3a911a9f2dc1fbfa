#include "platform/linux/FreedesktopClassStore.h"

#include "platform/Controls.h"
#include "platform/linux/PosixRunTime.h"
#include "shell/MFileAssociations.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>

// The desktop's own tools read what is written, and a second start, in
// tests/shell/registration_test.sh.
namespace tren::platform {
namespace {

namespace fs = std::filesystem;
using namespace MFileAssociations;
using Lines = std::vector<std::string>;

std::string ReadText(const std::string& path) {
    const auto bytes = test::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}
void WriteText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    test::WriteFile(path, {text.begin(), text.end()});
}

// The store's calls, each logged by name, the one told to fail failing with EIO.
class FaultyDesktopCalls final : public DesktopCalls {
    using Real = DesktopCalls;

  public:
    std::size_t failAt = 0; // counted from 1
    Lines made;

    int Open(const char* path, int flags, mode_t mode) override {
        return Fails(__func__) ? -1 : Real::Open(path, flags, mode);
    }
    ssize_t Read(int fd, void* to, size_t n) override {
        return Fails(__func__) ? -1 : Real::Read(fd, to, n);
    }
    ssize_t Write(int fd, const void* from, size_t n) override {
        return Fails(__func__) ? -1 : Real::Write(fd, from, n);
    }
    // No test needs its files on the disk, and the wait would make the fault table slow.
    int FSync(int) override { return Fails(__func__) ? -1 : 0; }
    // The descriptor goes even when close reports a failure.
    int Close(int fd) override {
        const int closed = Real::Close(fd);
        return Fails(__func__) ? -1 : closed;
    }
    int Rename(const char* from, const char* to) override {
        return Fails(__func__) ? -1 : Real::Rename(from, to);
    }
    int MkDir(const char* path, mode_t mode) override {
        return Fails(__func__) ? -1 : Real::MkDir(path, mode);
    }
    int Stat(const char* path, struct stat* st) override {
        return Fails(__func__) ? -1 : Real::Stat(path, st);
    }
    int Access(const char* path, int mode) override {
        return Fails(__func__) ? -1 : Real::Access(path, mode);
    }
    int ListFolder(const char* path, Lines& names) override {
        return Fails(__func__) ? -1 : Real::ListFolder(path, names);
    }
    // The databases' tools as far as the store sees them: a cache newer than what
    // it is built from, or a tool that ran and reported a failure.
    int Run(const Lines& arguments) override {
        if (Fails("Run " + arguments.at(0)))
            return 1;
        const bool mime = arguments.at(0) == "update-mime-database";
        WriteText(arguments.at(1) + (mime ? "/mime.cache" : "/mimeinfo.cache"), "built");
        return 0;
    }

  private:
    bool Fails(std::string name) {
        made.push_back(std::move(name));
        if (made.size() != failAt)
            return false;
        errno = EIO;
        return true;
    }
};

// Registers as start-up does, through the store, which it stands in front of to
// keep where each step began among the calls and what it came to.
class StoreTest : public testing::Test, Window, ClassStore {
  protected:
    test::TempFolder home;
    std::string data = home / "data", config = home / "config", system = home / "system";
    std::string program = home / "bin dir/tren", type = "application/x-tr-file";
    PosixRunTime runTime;
    FaultyDesktopCalls calls;
    std::optional<FreedesktopClassStore> store;
    std::vector<std::pair<std::size_t, StoreResult>> steps; // of the latest registration
    Lines boxes;

    void MsgBox(const std::string& text, MessageStyle, const std::string&) override {
        boxes.push_back(text);
    }
    std::string ChooseFolder(const std::string&) override { return {}; }
    void TearDown() override { EXPECT_EQ(boxes, Lines{}); }

    template <class Step> StoreResult Logged(Step step) {
        const std::size_t first = calls.made.size() + 1;
        steps.emplace_back(first, step());
        return steps.back().second;
    }
    StoreResult CreateKey(RootKey root, const std::string& key) override {
        return Logged([&] { return store->CreateKey(root, key); });
    }
    StoreResult SetDefaultValue(RootKey root, const std::string& key,
                                const std::string& value) override {
        return Logged([&] { return store->SetDefaultValue(root, key, value); });
    }
    StoreResult Publish() override {
        return Logged([&] { return store->Publish(); });
    }

    void WriteProgram(const std::string& path) {
        WriteText(path, "#!");
        fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add);
    }
    // An installed package's desktop entry for the type, in a data folder.
    void WriteEntry(const std::string& name, const std::string& exec,
                    const std::string& folder = {}) {
        WriteText((folder.empty() ? system : folder) + "/applications/" + name + ".desktop",
                  "[Desktop Entry]\nType=Application\nName=x\nExec=" + exec + "\nMimeType=" + type +
                      ";\n");
    }

    void Register() {
        WriteProgram(program);
        calls.made.clear();
        steps.clear();
        const std::vector<ThemeIcon> icons{{"apps", "scalable", ".svg", "<svg/>"},
                                           {"mimetypes", "16x16", ".png", "png"}};
        store.emplace(DesktopFolders{data, config, {system}, home / "bin dir"}, program, icons,
                      calls);
        Services services{*this, *this, runTime};
        EXPECT_TRUE(CreateFileAssociation(services, ".tr0", "TR.File", "Trening File", "Build",
                                          program, "", IconSetting::Set, program + ", 0",
                                          Reporting::Show));
    }

    // Every file under home, by its path below it.
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(home.Path()))
            if (entry.is_regular_file())
                files[entry.path().string().substr(home.Path().size() + 1)] =
                    ReadText(entry.path());
        return files;
    }
};

// A package that gives the type, its entry running this program found on the
// search path, in the system's folders or the user's own, leaves the user's
// folders as they were; one the database does not know the type of, or the entry
// an earlier start wrote, does not.
TEST_F(StoreTest, WritesNothingWhereAnInstalledPackageProvidesTheType) {
    const std::string known = "50:" + type + ":*.tr0\n";
    const std::tuple<std::string, std::string, std::string, bool> table[] = {
        {"system", "org.example.tren", known, false},
        {"system", "org.example.tren", "50:text/plain:*.txt\n", true},
        {"data", "org.example.tren", known, false},
        {"data", "tren", known, true}};
    for (const auto& [where, name, globs, written] : table) {
        for (const auto& folder : {data, config, system})
            fs::remove_all(folder);
        WriteEntry(name, "tren %f", home / where);
        WriteText(home / (where + "/mime/globs2"), globs);
        WriteProgram(program);
        const auto installed = Files();
        Register();
        EXPECT_EQ(Files() != installed, written) << where << " " << name << " " << globs;
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

// Each call of a registration fails in turn: the user sees the step's own message
// (none from the shell's notice, whose outcome tells), no file is left half
// written or beside its name, the user's list stays as it was or takes its whole
// new form, and the next start puts everything right.
TEST_F(StoreTest, EachFailingCallIsShownAndTheNextStartRepairsIt) {
    const std::string added = "# mine\n[Added Associations]\nx/y=a.desktop;\n";
    const std::string defaults = "\n[Default Applications]\n" + type + "=other.desktop;\n";
    const std::string mine = added + defaults;
    const auto scene = [&] {
        fs::remove_all(data);
        fs::remove_all(config);
        WriteText(config + "/mimeapps.list", mine);
        // Another program's package for the type, found on the search path.
        WriteProgram(home / "bin dir/other");
        WriteEntry("other", "other %f");
        WriteText(system + "/mime/globs2", "50:" + type + ":*.tr0\n");
        // Caches another program had built, before the type was there.
        for (const auto& cache :
             {data + "/mime/mime.cache", data + "/applications/mimeinfo.cache"}) {
            WriteText(cache, "old");
            fs::last_write_time(cache, fs::file_time_type::clock::now() - std::chrono::hours(1));
        }
    };
    scene();
    Register();
    const auto clean = Files();
    const Lines cleanCalls = calls.made;
    ASSERT_EQ(clean.at("data/mime/mime.cache") + clean.at("data/applications/mimeinfo.cache"),
              "builtbuilt");
    // The user's default stays, the program is offered beside it, every other line kept.
    ASSERT_EQ(clean.at("config/mimeapps.list"), added + type + "=tren.desktop;\n" + defaults);

    const std::string error = "An error occured while attempting to ";
    const Lines messages = {error + "to create a registery key.", error + "access the registery.",
                            error + "set key default value."};
    for (std::size_t failing = 1; failing <= cleanCalls.size(); ++failing) {
        SCOPED_TRACE("call " + std::to_string(failing) + ", " + cleanCalls.at(failing - 1));
        scene();
        boxes.clear();
        calls.failAt = failing;
        Register();
        calls.failAt = 0;
        auto step = steps.rbegin();
        while (step->first > failing)
            ++step;
        const StoreResult& result = step->second;
        ASSERT_FALSE(result) << "a failed call fails its step";
        if (const auto& call = cleanCalls.at(failing - 1); call == "Write" || call == "Rename") {
            EXPECT_EQ(result.Step(), StoreStep::SetValue)
                << "a file not written is a value not set";
        }
        EXPECT_EQ(result.Error().Path().rfind(home.Path(), 0), 0u)
            << "the failure names the file: " << result.Error().Description();
        // A failing step may leave a later one without its folder, and so without its
        // key: the first message is the failing step's own.
        EXPECT_EQ(boxes.empty() ? "" : boxes.front(),
                  result.Step() == StoreStep::Publish
                      ? ""
                      : messages.at(static_cast<std::size_t>(result.Step())));
        for (const auto& box : boxes)
            EXPECT_NE(std::find(messages.begin(), messages.end(), box), messages.end()) << box;
        const auto files = Files();
        EXPECT_EQ(files.count("config/mimeapps.list"), 1u) << "the user's list is gone";
        for (const auto& [path, text] : files) {
            EXPECT_EQ(path.find("/.tren-"), std::string::npos) << "left beside its name: " << path;
            if (path == "config/mimeapps.list") {
                EXPECT_TRUE(text == mine || text == clean.at(path)) << text;
            } else if (path.starts_with("data/mime/packages/")) {
                // Written whole, but perhaps before this run knew all of it.
                EXPECT_TRUE(text.ends_with("</mime-info>\n")) << path << " half written";
            } else if (!path.starts_with("data/mime/") && !path.ends_with("mimeinfo.cache")) {
                EXPECT_EQ(text, clean.count(path) ? clean.at(path) : "(none)") << path;
            }
        }
        boxes.clear();
        Register();
        EXPECT_EQ(boxes, Lines{});
        EXPECT_EQ(Files(), clean);
    }
}

// Unregistering takes back what registering wrote, and only for the program that
// is asked about: another copy's registration, and the user's other lines, stay.
TEST_F(StoreTest, UnregisteringRemovesOnlyThisProgramsRegistration) {
    const std::string others = "[Added Associations]\nx/y=a.desktop;\n";
    const std::string copy = home / "copy/tren";
    const std::tuple<const char*, bool, std::string, Removal> table[] = {
        {"nothing registered", false, program, Removal::NothingToRemove},
        {"another copy asks", true, copy, Removal::NothingToRemove},
        {"this program asks", true, program, Removal::Removed},
    };
    for (const auto& [name, registered, asking, expected] : table) {
        SCOPED_TRACE(name);
        fs::remove_all(data);
        fs::remove_all(config);
        WriteText(config + "/mimeapps.list", others);
        WriteProgram(copy);
        if (registered)
            Register();
        else
            store.emplace(DesktopFolders{data, config, {system}, home / "bin dir"}, program,
                          std::vector<ThemeIcon>{{"16x16", ".png", "png"}}, calls);
        const auto before = Files();
        const RemovalResult removal = store->RemoveClass(".tr0", "TR.File", "Build", asking);
        ASSERT_TRUE(removal.Result) << removal.Result.Error().Description();
        EXPECT_EQ(removal.What, expected);
        if (expected == Removal::NothingToRemove) {
            EXPECT_EQ(Files(), before);
            continue;
        }
        for (const auto& [path, text] : Files())
            EXPECT_TRUE(path.ends_with(".cache") || path.starts_with("bin dir/") ||
                        path.starts_with("copy/") || path == "config/mimeapps.list")
                << "left: " << path;
        const std::string list = ReadText(config + "/mimeapps.list");
        EXPECT_TRUE(list.starts_with(others) && list.find(type) == std::string::npos) << list;
    }
}

} // namespace
} // namespace tren::platform
