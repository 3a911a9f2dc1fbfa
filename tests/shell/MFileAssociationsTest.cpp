#include "shell/MFileAssociations.h"

#include "platform/ClassStore.h"
#include "platform/Controls.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <gtest/gtest.h>

namespace tren::MFileAssociations {
namespace {

using Lines = std::vector<std::string>;
using platform::SetOutcome;

// The store, the window and the file system in one: it records each store call
// and box, and fails the store calls it is told to. Two programs exist; one path
// cannot be looked up.
class AssociationTest : public testing::Test,
                        platform::ClassStore,
                        platform::Window,
                        platform::EntryLookup {
  protected:
    Lines calls, boxes;
    bool createFails = false;
    SetOutcome setOutcome = SetOutcome::Done;
    Services services{*this, *this, *this};

    bool CreateKey(platform::RootKey, const std::string& subKey) override {
        calls.push_back("create " + subKey);
        return !createFails;
    }
    SetOutcome SetDefaultValue(platform::RootKey, const std::string& subKey,
                               const std::string& value) override {
        calls.push_back("set " + subKey + " = " + value);
        return setOutcome;
    }
    void Publish() override { calls.push_back("publish"); }
    void MsgBox(const std::string& text, platform::MessageStyle style,
                const std::string& title) override {
        boxes.push_back(title + "|" + std::to_string(static_cast<int>(style)) + "|" + text);
    }
    std::string ChooseFolder(const std::string&) override { return {}; }
    std::string LookUpEntry(const std::string& path, int attributes) override {
        EXPECT_EQ(attributes, 0); // ordinary files only: a folder is no program
        if (path == "/unreadable/tren")
            throw RunTimeError(ErrorCode::PermissionDenied, "Cannot look up", path);
        return path == "/opt/tren/tren" || path == "/opt/my tools/tren" ? "tren" : "";
    }

    bool Register(const std::string& ext, const std::string& appPath,
                  const std::string& params = "", const std::string& iconPath = "",
                  Reporting reporting = Reporting::Show) {
        return CreateFileAssociation(services, ext, "TR.File", "Trening File", "Build", appPath,
                                     params, IconSetting::Set, iconPath, reporting);
    }
};

TEST_F(AssociationTest, WritesTheStepsInOrder) {
    // The dot is added, the parameters lose their outer blanks.
    EXPECT_TRUE(Register("tr0", "/opt/my tools/tren", "  -q  ", "/opt/my tools/tren, 0"));
    EXPECT_EQ(
        calls,
        (Lines{"create .tr0", "create TR.File\\shell\\Build\\command",
               "create TR.File\\DefaultIcon", "set TR.File\\DefaultIcon = /opt/my tools/tren, 0",
               "set .tr0 = TR.File", "set TR.File = Trening File",
               "set TR.File\\shell\\Build\\command = /opt/my tools/tren -q %1", "publish"}));
    EXPECT_TRUE(boxes.empty());

    calls.clear(); // no icon given: the program's first
    EXPECT_TRUE(Register(".tr0", "/opt/tren/tren"));
    EXPECT_EQ(calls[3], "set TR.File\\DefaultIcon = /opt/tren/tren,0");
}

struct RefusalCase {
    const char* name;
    const char* ext;
    const char* appPath;
    const char* box;
    friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }
};

class RefusalTest : public AssociationTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, ShowsItsMessageOnlyWhenAskedAndWritesNothing) {
    const auto& c = GetParam();
    EXPECT_FALSE(Register(c.ext, c.appPath, "", "", Reporting::Silent));
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(Register(c.ext, c.appPath));
    EXPECT_EQ(boxes, Lines{std::string("DLL/OCX Register|16|") + c.box});
    EXPECT_TRUE(calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    testing::Values(
        RefusalCase{"missing_program", ".tr0", "/opt/tren/missing",
                    "The application path '/opt/tren/missing' cannot be found."},
        RefusalCase{"illegal_character", "tr:0", "/opt/tren/tren",
                    "The file extension '.tr:0' contains an illegal char (\\/:*?<>|\")."},
        RefusalCase{"empty_extension", "", "/opt/tren/tren",
                    "An error occured while attempting to create the file extension ''."},
        RefusalCase{"failing_lookup", ".tr0", "/unreadable/tren",
                    "An error occured while attempting to create the file extension '.tr0'."}),
    [](const auto& info) { return std::string(info.param.name); });

// The store's "cannot open" answer is checked with the real store.
TEST_F(AssociationTest, EveryFailingStoreStepIsReportedAndTheRestRuns) {
    createFails = true;
    setOutcome = SetOutcome::CannotSet;
    EXPECT_TRUE(Register(".tr0", "/opt/tren/tren"));
    const std::string create =
        "DLL/OCX Register|16|An error occured while attempting to to create a registery key.";
    const std::string set =
        "DLL/OCX Register|16|An error occured while attempting to set key default value.";
    EXPECT_EQ(boxes, (Lines{create, create, create, set, set, set, set}));
    EXPECT_EQ(calls.size(), 8u);
    boxes.clear();
    EXPECT_TRUE(Register(".tr0", "/opt/tren/tren", "", "", Reporting::Silent));
    EXPECT_TRUE(boxes.empty());
}

} // namespace
} // namespace tren::MFileAssociations
