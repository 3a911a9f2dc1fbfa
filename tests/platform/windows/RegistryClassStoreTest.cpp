#include "platform/windows/RegistryClassStore.h"

#include "platform/Controls.h"
#include "platform/windows/Win32RunTime.h"
#include "shell/MFileAssociations.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <map>
#include <random>

namespace tren::platform {
namespace {

using namespace MFileAssociations;
using Lines = std::vector<std::string>;

// The real registry, with every call logged and the one told to fail refused.
class FaultyRegistryCalls : public RegistryCalls {
    using Real = RegistryCalls;
    static constexpr LSTATUS Denied = ERROR_ACCESS_DENIED;

  public:
    Lines made;           // every call, by name, in order
    std::size_t failAt{}; // the call, counted from 1, that fails
    std::string failing;  // or every call of this name

    LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass,
                            DWORD options, REGSAM access, SECURITY_ATTRIBUTES* security,
                            HKEY* result, DWORD* disposition) override {
        return Fails(__func__) ? Denied
                               : Real::RegCreateKeyExA(key, subKey, reserved, keyClass, options,
                                                       access, security, result, disposition);
    }
    LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access,
                          HKEY* result) override {
        return Fails(__func__) ? Denied : Real::RegOpenKeyExA(key, subKey, options, access, result);
    }
    LSTATUS RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                             DWORD* size) override {
        return Fails(__func__) ? Denied
                               : Real::RegQueryValueExA(key, name, reserved, type, data, size);
    }
    LSTATUS RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) override {
        return Fails(__func__) ? Denied
                               : Real::RegSetValueExA(key, name, reserved, type, data, size);
    }
    LSTATUS RegCloseKey(HKEY key) override {
        // The handle goes even when the call reports a failure.
        const LSTATUS closed = Real::RegCloseKey(key);
        return Fails(__func__) ? ERROR_INVALID_HANDLE : closed;
    }
    LSTATUS RegDeleteTreeA(HKEY key, const char* subKey) override {
        return Fails(__func__) ? Denied : Real::RegDeleteTreeA(key, subKey);
    }
    LSTATUS RegDeleteValueA(HKEY key, const char* name) override {
        return Fails(__func__) ? Denied : Real::RegDeleteValueA(key, name);
    }
    DWORD GetFileAttributesA(const char* path) override {
        if (!Fails(__func__))
            return Real::GetFileAttributesA(path);
        ::SetLastError(Denied);
        return INVALID_FILE_ATTRIBUTES;
    }
    // The notice has no failure to cause.
    void SHChangeNotify(LONG event, UINT flags, const void* item1, const void* item2) override {
        EXPECT_TRUE(event == SHCNE_ASSOCCHANGED && flags == SHCNF_IDLIST && !item1 && !item2);
        made.push_back(__func__);
    }

  private:
    bool Fails(const char* name) {
        made.push_back(name);
        return made.size() == failAt || failing == name;
    }
};

// Registers as start-up does, for a program whose name has a blank, into classes
// under a root of its own in the user's registry that goes with the test.
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

    // The calls that change the registry or tell the shell.
    Lines Register(const std::string& classes) {
        calls.made.clear();
        RegistryClassStore store(calls, root + "\\" + classes);
        Services services{*this, store, runTime};
        EXPECT_TRUE(CreateFileAssociation(services, ".tr0", "TR.File", "Trening File", "Build",
                                          program, "", IconSetting::Set, program + ", 0",
                                          Reporting::Show));
        Lines changes;
        for (const auto& call : calls.made)
            if (call == "RegSetValueExA" || call == "SHChangeNotify")
                changes.push_back(call);
        return changes;
    }
    // The four values of the registration.
    Lines Values(const std::string& classes) {
        Lines values;
        for (const char* key :
             {".tr0", "TR.File", "TR.File\\DefaultIcon", "TR.File\\shell\\Build\\command"}) {
            char data[1024] = "(missing)";
            DWORD size = sizeof data;
            ::RegGetValueA(HKEY_CURRENT_USER, (root + "\\" + classes + "\\" + key).c_str(), "",
                           RRF_RT_REG_SZ, nullptr, data, &size);
            values.push_back(data);
        }
        return values;
    }
};

// Each call of a registration fails in turn, in classes of its own: the user sees
// the message of the step it failed, or nothing where the step went on without it,
// and the next start puts every value right. Without a failure a second start
// changes nothing, and a value someone else changed is put back, and only that one.
TEST_F(RegistryStoreTest, EachFailingCallIsShownAndTheNextStartRepairsIt) {
    EXPECT_EQ(Register("Clean").size(), 5u) << "four values and one notice";
    const Lines clean = calls.made;
    // The program is quoted whole, blank and all, and so is the document.
    const Lines values = {"TR.File", "Trening File", program + ", 0", "\"" + program + "\" \"%1\""};
    ASSERT_EQ(Values("Clean"), values);
    EXPECT_EQ(Register("Clean"), Lines{}) << "a second start changes nothing";
    ::RegSetKeyValueA(HKEY_CURRENT_USER, (root + "\\Clean\\.tr0").c_str(), "", REG_SZ,
                      "TR.File.old", 12);
    EXPECT_EQ(Register("Clean"), (Lines{"RegSetValueExA", "SHChangeNotify"}));
    EXPECT_EQ(Values("Clean"), values);

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
    for (std::size_t failing = 1; failing <= clean.size(); ++failing) {
        if (clean[failing - 1] == "SHChangeNotify")
            continue;
        const std::string classes = "Run" + std::to_string(failing);
        SCOPED_TRACE("call " + std::to_string(failing) + ", " + clean[failing - 1]);
        boxes.clear();
        calls.failAt = failing;
        Register(classes);
        calls.failAt = 0;
        const std::string& first = shown.at(clean[failing - 1]);
        EXPECT_EQ(boxes.empty() ? "" : boxes.front(), first);
        if (first.empty()) {
            EXPECT_EQ(Values(classes), values);
        }
        for (const auto& box : boxes)
            EXPECT_TRUE(box == shown.at("RegCreateKeyExA") || box == shown.at("RegOpenKeyExA") ||
                        box == shown.at("RegSetValueExA"))
                << box;
        boxes.clear();
        Register(classes);
        EXPECT_EQ(boxes, Lines{});
        EXPECT_EQ(Values(classes), values);
    }
}

// Unregistering removes the four values for the program registered, in any case
// of its path, and nothing for another; what else the extension's key holds
// stays; a failing removal says so.
TEST_F(RegistryStoreTest, UnregisteringRemovesOnlyThisProgramsRegistration) {
    const std::string gone = "(missing)";
    const Lines values = {"TR.File", "Trening File", program + ", 0", "\"" + program + "\" \"%1\""};
    struct Row {
        const char* name;
        std::string asking;
        const char* failing; // the call told to fail, or ""
        Removal removed;
        Lines left;
    };
    const Row table[] = {
        {"another program", folder / "other.exe", "", Removal::NothingToRemove, values},
        {"this program", program, "", Removal::Removed, {gone, gone, gone, gone}},
        {"in other case", folder / "MY TREN.EXE", "", Removal::Removed, {gone, gone, gone, gone}},
        {"the class cannot go", program, "RegDeleteTreeA", Removal::NothingToRemove, values},
        {"the extension cannot go",
         program,
         "RegDeleteValueA",
         Removal::NothingToRemove,
         {"TR.File", gone, gone, gone}},
    };
    int run = 0;
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const std::string classes = "Remove" + std::to_string(++run);
        Register(classes);
        // Explorer's own list under the extension must outlive the removal.
        ::RegSetKeyValueA(HKEY_CURRENT_USER,
                          (root + "\\" + classes + "\\.tr0\\OpenWithProgids").c_str(), "TR.File",
                          REG_NONE, nullptr, 0);
        RegistryClassStore store(calls, root + "\\" + classes);
        calls.failing = row.failing;
        const RemovalResult removal = store.RemoveClass(".tr0", "TR.File", "Build", row.asking);
        calls.failing.clear();
        EXPECT_EQ(removal.What, row.removed);
        EXPECT_EQ(!removal.Result, *row.failing != '\0');
        EXPECT_EQ(Values(classes), row.left);
        HKEY key = nullptr;
        EXPECT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, (root + "\\" + classes + "\\.tr0").c_str(), 0,
                                  KEY_READ, &key),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }
}

} // namespace
} // namespace tren::platform
