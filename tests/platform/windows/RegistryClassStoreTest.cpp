#include "platform/windows/RegistryClassStore.h"

#include "platform/Controls.h"
#include "platform/windows/Win32RunTime.h"
#include "shell/MFileAssociations.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <random>

namespace tren::platform {
namespace {

using Lines = std::vector<std::string>;

// The real registry, with the changes logged and the values' writes refused when told.
class RefusingRegistryCalls : public RegistryCalls {
  public:
    bool refuses = false;
    Lines changes;

    LSTATUS RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) override {
        changes.push_back("RegSetValueExA");
        return refuses ? ERROR_ACCESS_DENIED
                       : RegistryCalls::RegSetValueExA(key, name, reserved, type, data, size);
    }
    void SHChangeNotify(LONG event, UINT flags, const void* item1, const void* item2) override {
        EXPECT_TRUE(event == SHCNE_ASSOCCHANGED && flags == SHCNF_IDLIST && !item1 && !item2);
        changes.push_back("SHChangeNotify");
    }
};

// Registers as start-up does, for a program whose name has a blank, under a root
// of its own in the user's registry that goes with the test.
class RegistryStoreTest : public testing::Test, Window {
  protected:
    const std::string root = "Software\\tren-test-" + std::to_string(std::random_device{}());
    test::TempFolder folder;
    const std::string program = folder / "my tren.exe";
    Win32RunTime runTime;
    RefusingRegistryCalls calls;
    Lines boxes;

    RegistryStoreTest() { test::WriteFile(program, {'M', 'Z'}); }
    ~RegistryStoreTest() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str()); }
    void MsgBox(const std::string& text, MessageStyle, const std::string&) override {
        boxes.push_back(text);
    }
    std::string ChooseFolder(const std::string&) override { return {}; }

    // As frmTren::CreateFileType calls it, into classes under the root: the changes made.
    Lines Register(const std::string& classes = "Classes") {
        calls.changes.clear();
        RegistryClassStore store(calls, root + "\\" + classes);
        MFileAssociations::Services services{*this, store, runTime};
        EXPECT_TRUE(MFileAssociations::CreateFileAssociation(
            services, ".tr0", "TR.File", "Trening File", "Build", program, "",
            MFileAssociations::IconSetting::Set, program + ", 0",
            MFileAssociations::Reporting::Show));
        return calls.changes;
    }
    std::string Value(const std::string& subKey) {
        char data[1024] = "(missing)";
        DWORD size = sizeof data;
        ::RegGetValueA(HKEY_CURRENT_USER, (root + "\\Classes\\" + subKey).c_str(), "",
                       RRF_RT_REG_SZ, nullptr, data, &size);
        return data;
    }
};

TEST_F(RegistryStoreTest, WritesTheValuesOnceAndOnlyWhatDiffersAfterwards) {
    EXPECT_EQ(Register().size(), 5u) << "four values and one notice";
    // The program is quoted whole, blank and all, and so is the document.
    EXPECT_EQ(Value("TR.File\\shell\\Build\\command"), "\"" + program + "\" \"%1\"");
    EXPECT_EQ(Register(), Lines{}) << "a second start changes nothing";
    // A value someone else changed is put back, and only that one.
    ::RegSetKeyValueA(HKEY_CURRENT_USER, (root + "\\Classes\\.tr0").c_str(), "", REG_SZ,
                      "TR.File.old", 12);
    EXPECT_EQ(Register(), (Lines{"RegSetValueExA", "SHChangeNotify"}));
    EXPECT_EQ(Value(".tr0"), "TR.File");
    EXPECT_TRUE(boxes.empty()) << boxes.front();
}

// A key not created (its name longer than the registry takes) cannot be opened
// either; each failure shows its own message, for every key.
TEST_F(RegistryStoreTest, AFailingCallShowsItsMessage) {
    const std::string error = "An error occured while attempting to ";
    Lines shown(3, error + "to create a registery key.");
    shown.insert(shown.end(), 4, error + "access the registery.");
    Register(std::string(300, 'x'));
    EXPECT_EQ(boxes, shown);
    boxes.clear();
    calls.refuses = true;
    Register();
    EXPECT_EQ(boxes, Lines(4, error + "set key default value."));
    EXPECT_EQ(Value(".tr0"), "(missing)");
}

} // namespace
} // namespace tren::platform
