#include "platform/windows/RegistryClassStore.h"

#include "platform/Controls.h"
#include "platform/windows/Win32RunTime.h"
#include "shell/MFileAssociations.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <map>
#include <random>

namespace tren::platform {
namespace {

using Lines = std::vector<std::string>;

// The real registry, with every call logged and one of them, or every write of a
// value, refused when told.
class FaultyRegistryCalls : public RegistryCalls {
  public:
    Lines made;           // every call, by name, in order
    std::size_t failAt{}; // the call, counted from 1, that fails
    bool refusesValues = false;

    LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass,
                            DWORD options, REGSAM access, SECURITY_ATTRIBUTES* security,
                            HKEY* result, DWORD* disposition) override {
        return Fails("RegCreateKeyExA")
                   ? ERROR_ACCESS_DENIED
                   : RegistryCalls::RegCreateKeyExA(key, subKey, reserved, keyClass, options,
                                                    access, security, result, disposition);
    }
    LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access,
                          HKEY* result) override {
        return Fails("RegOpenKeyExA")
                   ? ERROR_ACCESS_DENIED
                   : RegistryCalls::RegOpenKeyExA(key, subKey, options, access, result);
    }
    LSTATUS RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                             DWORD* size) override {
        return Fails("RegQueryValueExA")
                   ? ERROR_ACCESS_DENIED
                   : RegistryCalls::RegQueryValueExA(key, name, reserved, type, data, size);
    }
    LSTATUS RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) override {
        return Fails("RegSetValueExA") || refusesValues
                   ? ERROR_ACCESS_DENIED
                   : RegistryCalls::RegSetValueExA(key, name, reserved, type, data, size);
    }
    LSTATUS RegCloseKey(HKEY key) override {
        // The handle goes even when the call reports a failure.
        const LSTATUS closed = RegistryCalls::RegCloseKey(key);
        return Fails("RegCloseKey") ? ERROR_INVALID_HANDLE : closed;
    }
    DWORD GetFileAttributesA(const char* path) override {
        if (!Fails("GetFileAttributesA"))
            return RegistryCalls::GetFileAttributesA(path);
        ::SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_FILE_ATTRIBUTES;
    }
    // The notice has no failure to cause.
    void SHChangeNotify(LONG event, UINT flags, const void* item1, const void* item2) override {
        EXPECT_TRUE(event == SHCNE_ASSOCCHANGED && flags == SHCNF_IDLIST && !item1 && !item2);
        made.push_back("SHChangeNotify");
    }
    // The calls that change the registry or tell the shell.
    Lines Changes() const {
        Lines changes;
        for (const auto& call : made)
            if (call == "RegSetValueExA" || call == "SHChangeNotify")
                changes.push_back(call);
        return changes;
    }

  private:
    bool Fails(const char* name) {
        made.push_back(name);
        return made.size() == failAt;
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
    FaultyRegistryCalls calls;
    Lines boxes;

    RegistryStoreTest() { test::WriteFile(program, {'M', 'Z'}); }
    ~RegistryStoreTest() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str()); }
    void MsgBox(const std::string& text, MessageStyle, const std::string&) override {
        boxes.push_back(text);
    }
    std::string ChooseFolder(const std::string&) override { return {}; }

    // As frmTren::CreateFileType calls it, into classes under the root: the changes made.
    Lines Register(const std::string& classes = "Classes") {
        calls.made.clear();
        RegistryClassStore store(calls, root + "\\" + classes);
        MFileAssociations::Services services{*this, store, runTime};
        EXPECT_TRUE(MFileAssociations::CreateFileAssociation(
            services, ".tr0", "TR.File", "Trening File", "Build", program, "",
            MFileAssociations::IconSetting::Set, program + ", 0",
            MFileAssociations::Reporting::Show));
        return calls.Changes();
    }
    std::string Value(const std::string& subKey, const std::string& classes = "Classes") {
        char data[1024] = "(missing)";
        DWORD size = sizeof data;
        ::RegGetValueA(HKEY_CURRENT_USER, (root + "\\" + classes + "\\" + subKey).c_str(), "",
                       RRF_RT_REG_SZ, nullptr, data, &size);
        return data;
    }
    // The four values of the registration.
    Lines Values(const std::string& classes) {
        Lines values;
        for (const char* key :
             {".tr0", "TR.File", "TR.File\\DefaultIcon", "TR.File\\shell\\Build\\command"})
            values.push_back(Value(key, classes));
        return values;
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
    calls.refusesValues = true;
    Register();
    EXPECT_EQ(boxes, Lines(4, error + "set key default value."));
    EXPECT_EQ(Value(".tr0"), "(missing)");
}

// Each call of a registration fails in turn, in classes of its own: the user sees
// the message of the step it failed, or nothing where the step went on without it,
// and the next start puts every value right.
TEST_F(RegistryStoreTest, EachFailingCallIsShownAndTheNextStartRepairsIt) {
    Register("Clean");
    const Lines clean = calls.made;
    const Lines values = Values("Clean");
    ASSERT_EQ(values.front(), "TR.File");
    RecordProperty("Calls", static_cast<int>(clean.size()));
    const std::string error = "An error occured while attempting to ";
    // The first message of each failing call; none where the step needs no more:
    // a value that cannot be read back is written again, a handle left unclosed
    // loses nothing, and a program that cannot be looked at is quoted whole.
    const std::map<std::string, std::string> shown = {
        {"RegCreateKeyExA", error + "to create a registery key."},
        {"RegOpenKeyExA", error + "access the registery."},
        {"RegSetValueExA", error + "set key default value."},
        {"RegQueryValueExA", ""},
        {"RegCloseKey", ""},
        {"GetFileAttributesA", ""}};
    const Lines messages = {error + "to create a registery key.", error + "access the registery.",
                            error + "set key default value."};
    for (std::size_t failing = 1; failing <= clean.size(); ++failing) {
        if (clean[failing - 1] == "SHChangeNotify")
            continue;
        const std::string classes = "Run" + std::to_string(failing);
        SCOPED_TRACE("call " + std::to_string(failing) + ", " + clean[failing - 1]);
        calls.failAt = failing;
        Register(classes);
        calls.failAt = 0;
        EXPECT_EQ(calls.made.at(failing - 1), clean[failing - 1]);
        const std::string& first = shown.at(clean[failing - 1]);
        if (first.empty()) {
            EXPECT_EQ(boxes, Lines{});
            EXPECT_EQ(Values(classes), values);
        } else {
            EXPECT_EQ(boxes.empty() ? "" : boxes.front(), first);
        }
        for (const auto& box : boxes)
            EXPECT_NE(std::find(messages.begin(), messages.end(), box), messages.end()) << box;
        boxes.clear();
        Register(classes);
        EXPECT_EQ(boxes, Lines{});
        EXPECT_EQ(Values(classes), values);
        boxes.clear();
    }
}

} // namespace
} // namespace tren::platform
