#include "shell/MFileAssociations.h"

#include "platform/ClassStore.h"
#include "platform/Controls.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace tren::MFileAssociations {
namespace {

using namespace platform;
using Lines = std::vector<std::string>;
// The part each store call fails in, by its place among the calls; none where empty.
using Failing = std::vector<std::optional<StoreStep>>;

const std::string Error = "An error occured while attempting to ";

// The store, the window and the file system in one.
class Association : public testing::Test, ClassStore, Window, EntryLookup {
  protected:
    std::string calls; // the store's, in turn
    Lines boxes;
    Services services{*this, *this, *this};
    Failing failing;

    StoreResult Answer(const std::string& call) {
        const auto made = static_cast<std::size_t>(std::count(calls.begin(), calls.end(), ';'));
        calls += call + "; ";
        if (made >= failing.size() || !failing[made])
            return {};
        return {*failing[made], RunTimeError(ErrorCode::PermissionDenied, "Cannot", call)};
    }
    StoreResult CreateKey(RootKey, const std::string& key) override {
        return Answer("create " + key);
    }
    StoreResult SetDefaultValue(RootKey, const std::string& key,
                                const std::string& value) override {
        return Answer("set " + key + " = " + value);
    }
    StoreResult Publish() override { return Answer("publish"); }
    void MsgBox(const std::string& text, MessageStyle, const std::string&) override {
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

// The dot is added and the parameters trimmed; a refusal is shown and writes
// nothing; a failing store step is shown with the message of the part that failed,
// and the steps after it still run. Each is shown only when the registration asks.
TEST_F(Association, WritesTheStepsInOrderOrShowsWhyNot) {
    using enum IconSetting;
    using enum Reporting;
    const std::string keys = "create .tr0; create TR.File\\shell\\Build\\command; ";
    const std::string icon = "create TR.File\\DefaultIcon; set TR.File\\DefaultIcon = /t, 0; ";
    const std::string values = "set .tr0 = TR.File; set TR.File = Trening File; "
                               "set TR.File\\shell\\Build\\command = /t -q %1; publish; ";
    using enum StoreStep;
    const Failing everyStep = {CreateKey, CreateKey, CreateKey, OpenKey,
                               SetValue,  OpenKey,   SetValue,  Publish};
    const Failing noticeFails = {{}, {}, {}, {}, {}, Publish};
    const std::string illegal =
        "The file extension '.tr:0' contains an illegal char (\\/:*?<>|\").";
    const Lines everyMessage = {
        Error + "to create a registery key.", Error + "to create a registery key.",
        Error + "to create a registery key.", Error + "access the registery.",
        Error + "set key default value.",     Error + "access the registery.",
        Error + "set key default value."};
    const struct {
        const char* name;
        std::string ext, program, calls;
        Lines shown;
        Failing failing = {};
        IconSetting icon = Set;
        Reporting reporting = Show;
    } runs[] = {
        {"every step fails, silent", "tr0", "/t", keys + icon + values, {}, everyStep, Set, Silent},
        {"no program", ".tr0", "/m", "", {"The application path '/m' cannot be found."}},
        {"no program, silent", ".tr0", "/m", "", {}, {}, Set, Silent},
        {"illegal character", "tr:0", "/t", "", {illegal}},
        {"empty extension, silent", "", "/t", "", {}, {}, Set, Silent},
        {"empty extension", "", "/t", "", {Error + "create the file extension ''."}},
        {"lookup fails", ".tr0", "/u", "", {Error + "create the file extension '.tr0'."}},
        {"dot added, parameters trimmed", "tr0", "/t", keys + icon + values, {}},
        {"every step fails", "tr0", "/t", keys + icon + values, everyMessage, everyStep},
        {"no icon, notice fails", "tr0", "/t", keys + values, {}, noticeFails, Omit},
    };
    for (const auto& run : runs) {
        calls.clear();
        boxes.clear();
        failing = run.failing;
        const bool done =
            CreateFileAssociation(services, run.ext, "TR.File", "Trening File", "Build",
                                  run.program, "  -q  ", run.icon, "/t, 0", run.reporting);
        EXPECT_EQ(calls, run.calls) << run.name;
        EXPECT_EQ(done, !calls.empty()) << run.name;
        EXPECT_EQ(boxes, run.shown) << run.name;
    }
}

} // namespace
} // namespace tren::MFileAssociations
