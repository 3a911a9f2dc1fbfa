#include "shell/MFileAssociations.h"

#include "platform/ClassStore.h"
#include "platform/Controls.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <gtest/gtest.h>

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

    bool CreateKey(RootKey, const std::string& key) override {
        calls += "create " + key + "; ";
        return true;
    }
    SetOutcome SetDefaultValue(RootKey, const std::string& key, const std::string& value) override {
        calls += "set " + key + " = " + value + "; ";
        return SetOutcome::Done;
    }
    void Publish() override { calls += "publish"; }
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

} // namespace
} // namespace tren::MFileAssociations
