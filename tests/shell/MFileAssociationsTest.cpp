#include "shell/MFileAssociations.h"

#include "engine/RunTimeError.h"
#include "platform/ClassStore.h"
#include "platform/Controls.h"
#include "platform/RunTime.h"

#include <gtest/gtest.h>

#include <set>

namespace tren::MFileAssociations {
namespace {

using Lines = std::vector<std::string>;
using platform::SetOutcome;

// A store that records each call and fails the ones it is told to.
class RecordingStore final : public platform::ClassStore {
public:
    Lines calls;
    bool createFails = false;
    SetOutcome setOutcome = SetOutcome::Done;

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
};

class RecordingWindow final : public platform::Window {
public:
    Lines boxes;
    void MsgBox(const std::string& text, platform::MessageStyle style,
                const std::string& title) override {
        boxes.push_back(title + "|" + std::to_string(static_cast<int>(style)) + "|" + text);
    }
    std::string ChooseFolder(const std::string&) override { return {}; }
};

// Ordinary files that exist, and paths whose lookup fails.
class Files final : public platform::EntryLookup {
public:
    std::set<std::string> files{"/opt/tren/tren", "/opt/my tools/tren"};
    std::string LookUpEntry(const std::string& path, int attributes) override {
        EXPECT_EQ(attributes, 0);
        if (path == "/unreadable/tren")
            throw RunTimeError(ErrorCode::PermissionDenied, "Cannot look up", path);
        return files.count(path) ? path.substr(path.rfind('/') + 1) : std::string();
    }
};

class AssociationTest : public testing::Test {
protected:
    RecordingStore store;
    RecordingWindow window;
    Files files;
    Services services{window, store, files};

    bool Register(const std::string& ext, const std::string& appPath,
                  const std::string& params = "", const std::string& iconPath = "",
                  Reporting reporting = Reporting::Show) {
        return CreateFileAssociation(services, ext, "TR.File", "Trening File", "Build", appPath,
                                     params, IconSetting::Set, iconPath, reporting);
    }
};

TEST_F(AssociationTest, WritesTheSevenStepsInOrder) {
    EXPECT_TRUE(Register(".tr0", "/opt/my tools/tren", "", "/opt/my tools/tren, 0"));
    EXPECT_EQ(store.calls, (Lines{"create .tr0",
                                  "create TR.File\\shell\\Build\\command",
                                  "create TR.File\\DefaultIcon",
                                  "set TR.File\\DefaultIcon = /opt/my tools/tren, 0",
                                  "set .tr0 = TR.File",
                                  "set TR.File = Trening File",
                                  "set TR.File\\shell\\Build\\command = /opt/my tools/tren %1",
                                  "publish"}));
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(AssociationTest, CompletesTheExtensionParametersAndIcon) {
    EXPECT_TRUE(Register("tr0", "/opt/tren/tren", "  -q  "));
    EXPECT_EQ(store.calls[0], "create .tr0");
    EXPECT_EQ(store.calls[3], "set TR.File\\DefaultIcon = /opt/tren/tren,0");
    EXPECT_EQ(store.calls[6], "set TR.File\\shell\\Build\\command = /opt/tren/tren -q %1");
}

struct RefusalCase {
    const char* name;
    const char* ext;
    const char* appPath;
    const char* box;
};

class RefusalTest : public AssociationTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, ShowsItsMessageAndWritesNothing) {
    const auto& c = GetParam();
    EXPECT_FALSE(Register(c.ext, c.appPath));
    EXPECT_EQ(window.boxes, Lines{std::string("DLL/OCX Register|16|") + c.box});
    EXPECT_TRUE(store.calls.empty());

    window.boxes.clear();
    EXPECT_FALSE(Register(c.ext, c.appPath, "", "", Reporting::Silent));
    EXPECT_TRUE(window.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    testing::Values(
        RefusalCase{"missing_program", ".tr0", "/opt/tren/missing",
                    "The application path '/opt/tren/missing' cannot be found."},
        RefusalCase{"program_is_a_folder", ".tr0", "/opt/tren",
                    "The application path '/opt/tren' cannot be found."},
        RefusalCase{"colon", "tr:0", "/opt/tren/tren",
                    "The file extension '.tr:0' contains an illegal char (\\/:*?<>|\")."},
        RefusalCase{"double_quote", ".t\"r", "/opt/tren/tren",
                    "The file extension '.t\"r' contains an illegal char (\\/:*?<>|\")."},
        RefusalCase{"separator", "a/b", "/opt/tren/tren",
                    "The file extension '.a/b' contains an illegal char (\\/:*?<>|\")."},
        RefusalCase{"empty_extension", "", "/opt/tren/tren",
                    "An error occured while attempting to create the file extension ''."},
        RefusalCase{"failing_lookup", ".tr0", "/unreadable/tren",
                    "An error occured while attempting to create the file extension '.tr0'."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AssociationTest, EveryFailingStoreStepIsReportedAndTheRestRuns) {
    const std::pair<SetOutcome, const char*> outcomes[] = {
        {SetOutcome::CannotOpen, "An error occured while attempting to access the registery."},
        {SetOutcome::CannotSet, "An error occured while attempting to set key default value."}};
    for (const auto& [outcome, setText] : outcomes) {
        store = RecordingStore{};
        window.boxes.clear();
        store.createFails = true;
        store.setOutcome = outcome;
        EXPECT_TRUE(Register(".tr0", "/opt/tren/tren"));
        const std::string create =
            "DLL/OCX Register|16|An error occured while attempting to to create a registery key.";
        const std::string set = std::string("DLL/OCX Register|16|") + setText;
        EXPECT_EQ(window.boxes, (Lines{create, create, create, set, set, set, set}));
        EXPECT_EQ(store.calls.size(), 8u);
    }
    window.boxes.clear();
    EXPECT_TRUE(Register(".tr0", "/opt/tren/tren", "", "", Reporting::Silent));
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_FALSE(ErrorReporting());
}

} // namespace
} // namespace tren::MFileAssociations
