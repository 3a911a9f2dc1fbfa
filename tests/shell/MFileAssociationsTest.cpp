#include "shell/MFileAssociations.h"

#include "platform/ClassStore.h"
#include "platform/Controls.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <tuple>

namespace tren::MFileAssociations {
namespace {

using namespace platform;
using Lines = std::vector<std::string>;

// The store, the window and the file system in one.
class Association : public testing::Test, ClassStore, Window, EntryLookup {
  protected:
    std::string calls; // the store's, in turn
    Lines boxes;
    Services services{*this, *this, *this};
    // Store steps that fail ("create KEY", "set KEY", "publish"), and where.
    std::map<std::string, StoreStep> failing;

    StoreResult Answer(const std::string& step) {
        const auto failure = failing.find(step);
        if (failure == failing.end())
            return {};
        return {failure->second, RunTimeError(ErrorCode::PermissionDenied, "Cannot", step)};
    }
    StoreResult CreateKey(RootKey, const std::string& key) override {
        calls += "create " + key + "; ";
        return Answer("create " + key);
    }
    StoreResult SetDefaultValue(RootKey, const std::string& key,
                                const std::string& value) override {
        calls += "set " + key + " = " + value + "; ";
        return Answer("set " + key);
    }
    StoreResult Publish() override {
        calls += "publish";
        return Answer("publish");
    }
    void MsgBox(const std::string& text, MessageStyle style, const std::string& title) override {
        EXPECT_EQ(title + "|" + std::to_string(static_cast<int>(style)), "DLL/OCX Register|16");
        boxes.push_back(text);
    }
    std::string ChooseFolder(const std::string&) override { return {}; }
    std::string LookUpEntry(const std::string& path, int attributes) override {
        EXPECT_EQ(attributes, 0); // ordinary files only: a folder is no program
        if (path == "/u")
            throw RunTimeError(ErrorCode::PermissionDenied, "Cannot look up", path);
        return path == "/t" ? "t" : ""; // the one program; another cannot be read
    }
};

// The dot is added and the parameters trimmed; a refusal is shown and writes nothing.
TEST_F(Association, WritesTheStepsInOrderOrShowsWhyNot) {
    const std::string steps = "create .tr0; create TR.File\\shell\\Build\\command; "
                              "create TR.File\\DefaultIcon; set TR.File\\DefaultIcon = /t, 0; "
                              "set .tr0 = TR.File; set TR.File = Trening File; "
                              "set TR.File\\shell\\Build\\command = /t -q %1; publish";
    const std::string error = "An error occured while attempting to ";
    // extension, program, and the box of a refusal
    const std::tuple<std::string, std::string, Lines> runs[] = {
        {"tr0", "/t", {}},
        {".tr0", "/m", {"The application path '/m' cannot be found."}},
        {"tr:0", "/t", {"The file extension '.tr:0' contains an illegal char (\\/:*?<>|\")."}},
        {"", "/t", {error + "create the file extension ''."}},
        {".tr0", "/u", {error + "create the file extension '.tr0'."}}};
    for (const auto& [ext, program, shown] : runs) {
        calls.clear();
        boxes.clear();
        const bool done =
            CreateFileAssociation(services, ext, "TR.File", "Trening File", "Build", program,
                                  "  -q  ", IconSetting::Set, "/t, 0", Reporting::Show);
        EXPECT_EQ(calls, shown.empty() ? steps : "") << ext;
        EXPECT_EQ(done, !calls.empty()) << ext;
        EXPECT_EQ(boxes, shown) << ext;
    }
}

// A failing store step is shown, when asked, with the message of the part that
// failed, and the steps after it still run; the icon is left out when asked.
TEST_F(Association, StoreFailuresAreShownWhenAskedAndTheStepsGoOn) {
    const std::string all = "create .tr0; create TR.File\\shell\\Build\\command; "
                            "create TR.File\\DefaultIcon; set TR.File\\DefaultIcon = /t, 0; "
                            "set .tr0 = TR.File; set TR.File = Trening File; "
                            "set TR.File\\shell\\Build\\command = /t %1; publish";
    const std::string noIcon = "create .tr0; create TR.File\\shell\\Build\\command; "
                               "set .tr0 = TR.File; set TR.File = Trening File; "
                               "set TR.File\\shell\\Build\\command = /t %1; publish";
    const std::string error = "An error occured while attempting to ";
    const std::map<std::string, StoreStep> everyKey = {
        {"create .tr0", StoreStep::CreateKey},
        {"create TR.File\\shell\\Build\\command", StoreStep::CreateKey},
        {"create TR.File\\DefaultIcon", StoreStep::CreateKey},
        {"set TR.File\\DefaultIcon", StoreStep::OpenKey},
        {"set .tr0", StoreStep::SetValue},
        {"set TR.File", StoreStep::OpenKey},
        {"set TR.File\\shell\\Build\\command", StoreStep::SetValue},
        {"publish", StoreStep::Publish}};
    const struct {
        const char* name;
        std::map<std::string, StoreStep> failing;
        IconSetting icon;
        Reporting reporting;
        std::string calls;
        Lines shown;
    } runs[] = {
        {"every step fails, shown",
         everyKey,
         IconSetting::Set,
         Reporting::Show,
         all,
         {error + "to create a registery key.", error + "to create a registery key.",
          error + "to create a registery key.", error + "access the registery.",
          error + "set key default value.", error + "access the registery.",
          error + "set key default value."}},
        {"every step fails, silent", everyKey, IconSetting::Set, Reporting::Silent, all, {}},
        {"icon left out", {}, IconSetting::Omit, Reporting::Show, noIcon, {}},
        {"the shell's notice fails",
         {{"publish", StoreStep::Publish}},
         IconSetting::Omit,
         Reporting::Show,
         noIcon,
         {}},
    };
    for (const auto& run : runs) {
        calls.clear();
        boxes.clear();
        failing = run.failing;
        EXPECT_TRUE(CreateFileAssociation(services, "tr0", "TR.File", "Trening File", "Build", "/t",
                                          "", run.icon, "/t, 0", run.reporting))
            << run.name;
        EXPECT_EQ(calls, run.calls) << run.name;
        EXPECT_EQ(boxes, run.shown) << run.name;
    }
}

// The routines show their failures as the latest registration asked, also when
// called on their own; refusals before any key are shown only when asked too.
TEST_F(Association, TheLatestRegistrationDecidesWhatIsShown) {
    failing = {{"create x", StoreStep::CreateKey}, {"set x", StoreStep::SetValue}};
    for (const auto reporting : {Reporting::Silent, Reporting::Show, Reporting::Silent}) {
        boxes.clear();
        CreateFileAssociation(services, "tr0", "TR.File", "Trening File", "Build", "/m", "",
                              IconSetting::Set, "", reporting);
        CreateFileAssociation(services, "", "TR.File", "Trening File", "Build", "/t", "",
                              IconSetting::Set, "", reporting);
        EXPECT_FALSE(CreateRegKey(services, RootKey::ClassesRoot, "x"));
        const StoreResult set = SetKeyDefaultValue(services, RootKey::ClassesRoot, "x", "v");
        ASSERT_FALSE(set);
        EXPECT_EQ(set.Error().Path(), "set x") << "the outcome keeps the store's reason";
        EXPECT_EQ(boxes.size(), reporting == Reporting::Show ? 4u : 0u);
    }
}

// Before the first registration nothing is shown: in a process of its own, where
// the module's flag is as the program starts.
TEST_F(Association, NothingIsShownBeforeTheFirstRegistration) {
#if GTEST_HAS_DEATH_TEST
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    failing = {{"create x", StoreStep::CreateKey}, {"set x", StoreStep::OpenKey}};
    EXPECT_EXIT(
        {
            CreateRegKey(services, RootKey::ClassesRoot, "x");
            SetKeyDefaultValue(services, RootKey::ClassesRoot, "x", "v");
            std::exit(boxes.empty() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
#else
    GTEST_SKIP() << "this GoogleTest cannot start a process of its own";
#endif
}

} // namespace
} // namespace tren::MFileAssociations
