#include "platform/windows/RegistryClassStore.h"

#include "platform/Controls.h"
#include "platform/windows/Win32RunTime.h"
#include "shell/MFileAssociations.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <random>

namespace tren::platform {
namespace {

using Lines = std::vector<std::string>;

// The real registry, with the calls logged by name and key, one call made to fail
// on one key, and the keys still open kept.
class LoggedRegistryCalls : public RegistryCalls {
  public:
    std::string failingCall, failingKey; // the key under the classes root
    Lines made;                          // "RegSetValueExA .tr0"
    std::map<HKEY, std::string> open;

    LSTATUS RegCreateKeyExA(HKEY root, const char* subKey, DWORD reserved, char* keyClass,
                            DWORD options, REGSAM access, SECURITY_ATTRIBUTES* security,
                            HKEY* result, DWORD* disposition) override {
        EXPECT_TRUE(keyClass && !*keyClass) << "the class is an empty text, not null";
        EXPECT_EQ(access, 63u);
        EXPECT_EQ(options, static_cast<DWORD>(REG_OPTION_NON_VOLATILE));
        if (Fails("RegCreateKeyExA", subKey))
            return ERROR_ACCESS_DENIED;
        return Opened(RegistryCalls::RegCreateKeyExA(root, subKey, reserved, keyClass, options,
                                                     access, security, result, disposition),
                      result, subKey);
    }
    LSTATUS RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM access,
                          HKEY* result) override {
        EXPECT_EQ(access, 63u);
        if (Fails("RegOpenKeyExA", subKey))
            return ERROR_ACCESS_DENIED;
        return Opened(RegistryCalls::RegOpenKeyExA(root, subKey, options, access, result), result,
                      subKey);
    }
    LSTATUS RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) override {
        // The registry itself counts a NUL that follows the data but was left out.
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(size, std::strlen(reinterpret_cast<const char*>(data)) + 1) << "no NUL counted";
        if (Fails("RegSetValueExA", open[key]))
            return ERROR_ACCESS_DENIED;
        return RegistryCalls::RegSetValueExA(key, name, reserved, type, data, size);
    }
    LSTATUS RegCloseKey(HKEY key) override {
        EXPECT_EQ(open.erase(key), 1u) << "closed a key that was not open";
        return RegistryCalls::RegCloseKey(key);
    }
    void SHChangeNotify(LONG event, UINT flags, const void* item1, const void* item2) override {
        EXPECT_EQ(event, SHCNE_ASSOCCHANGED);
        EXPECT_EQ(flags, static_cast<UINT>(SHCNF_IDLIST));
        EXPECT_FALSE(item1 || item2);
        made.push_back("SHChangeNotify");
    }

  private:
    // Logs the call on the key as named under the classes root.
    bool Fails(const char* call, std::string key) {
        const auto classes = key.find("\\Classes\\");
        if (classes != std::string::npos)
            key.erase(0, classes + 9);
        made.push_back(std::string(call) + " " + key);
        return call == failingCall && key == failingKey;
    }
    LSTATUS Opened(LSTATUS result, const HKEY* key, const char* subKey) {
        if (result == ERROR_SUCCESS)
            open[*key] = subKey;
        return result;
    }
};

// Registers as start-up does, for a program in a folder whose name has a blank,
// under a root of its own in the user's registry that goes with the test.
class RegistryStoreTest : public testing::Test, Window {
  protected:
    const std::string root = "Software\\tren-test-" + std::to_string(::GetCurrentProcessId()) +
                             "-" + std::to_string(std::random_device{}());
    test::TempFolder folder;
    std::string program = folder / "my tools\\tren.exe";
    Win32RunTime runTime;
    LoggedRegistryCalls calls;
    Lines boxes;

    RegistryStoreTest() {
        std::filesystem::create_directory(folder / "my tools");
        test::WriteFile(program, {'M', 'Z'});
    }
    ~RegistryStoreTest() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str()); }

    void MsgBox(const std::string& text, MessageStyle style, const std::string& title) override {
        boxes.push_back(title + "|" + std::to_string(static_cast<int>(style)) + "|" + text);
    }
    std::string ChooseFolder(const std::string&) override { return {}; }

    // As frmTren::CreateFileType calls it, with params for the command.
    bool Register(const std::string& params = "") {
        RegistryClassStore store(calls, root + "\\Classes");
        MFileAssociations::Services services{*this, store, runTime};
        return MFileAssociations::CreateFileAssociation(
            services, ".tr0", "TR.File", "Trening File", "Build", program, params,
            MFileAssociations::IconSetting::Set, program + ", 0",
            MFileAssociations::Reporting::Show);
    }

    // The key's default value, read back; none when absent.
    std::optional<std::string> Value(const std::string& subKey) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, (root + "\\Classes\\" + subKey).c_str(), 0,
                            KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return std::nullopt;
        char data[1024] = {};
        DWORD type = 0, size = sizeof data;
        const LSTATUS result =
            ::RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        ::RegCloseKey(key);
        if (result != ERROR_SUCCESS)
            return std::nullopt;
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << subKey;
        return std::string(data);
    }

    std::map<std::string, std::string> Expected() const {
        return {{".tr0", "TR.File"},
                {"TR.File", "Trening File"},
                {"TR.File\\DefaultIcon", program + ", 0"},
                {"TR.File\\shell\\Build\\command", "\"" + program + "\" \"%1\""}};
    }

    // The calls of one kind, in order.
    Lines Made(const std::string& call) const {
        Lines kind;
        for (const auto& made : calls.made)
            if (made.rfind(call, 0) == 0)
                kind.push_back(made);
        return kind;
    }
};

TEST_F(RegistryStoreTest, WritesTheFourValuesOnceAndOnlyWhatDiffersAfterwards) {
    EXPECT_TRUE(Register());
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    for (const auto& [key, value] : Expected())
        EXPECT_EQ(Value(key), value) << key;
    EXPECT_EQ(Made("RegSetValueExA").size(), 4u);
    EXPECT_EQ(Made("SHChangeNotify").size(), 1u);
    EXPECT_TRUE(calls.open.empty()) << "a key was left open";

    // A second start writes nothing and tells the shell nothing.
    calls.made.clear();
    EXPECT_TRUE(Register());
    EXPECT_TRUE(Made("RegSetValueExA").empty());
    EXPECT_TRUE(Made("SHChangeNotify").empty());

    // A value someone else changed is put back, and only that one.
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, (root + "\\Classes\\.tr0").c_str(), 0,
                              KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    ::RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>("TR.File.old"), 12);
    ::RegCloseKey(key);
    calls.made.clear();
    EXPECT_TRUE(Register());
    EXPECT_EQ(Made("RegSetValueExA"), Lines{"RegSetValueExA .tr0"});
    EXPECT_EQ(Value(".tr0"), "TR.File");
    EXPECT_EQ(Made("SHChangeNotify").size(), 1u);
    EXPECT_TRUE(boxes.empty());
}

struct CommandCase {
    const char* name;
    const char* params;
    const char* after; // what stands between the quoted program and "%1"
    friend void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }
};

class CommandTest : public RegistryStoreTest, public testing::WithParamInterface<CommandCase> {};

// The program is quoted whole, blank and all; parameters stand outside the quotes.
TEST_P(CommandTest, QuotesTheProgramAndTheDocument) {
    EXPECT_TRUE(Register(GetParam().params));
    EXPECT_EQ(Value("TR.File\\shell\\Build\\command"),
              "\"" + program + "\"" + GetParam().after + "\"%1\"");
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandTest,
                         testing::Values(CommandCase{"no_parameters", "", " "},
                                         CommandCase{"parameters", "  -q  x ", " -q  x "}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    const char* call;
    const char* key;
    Lines boxes;
    const char* lost; // the key whose value is not written
    friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }
};

class StoreFailureTest : public RegistryStoreTest,
                         public testing::WithParamInterface<FailureCase> {};

// Each failing step shows its own message and the steps after it still run.
TEST_P(StoreFailureTest, ShowsItsMessageAndTheRestIsWritten) {
    const auto& c = GetParam();
    calls.failingCall = c.call;
    calls.failingKey = c.key;
    EXPECT_TRUE(Register());
    Lines expected;
    for (const auto& text : c.boxes)
        expected.push_back("DLL/OCX Register|16|An error occured while attempting to " + text);
    EXPECT_EQ(boxes, expected);
    for (const auto& [key, value] : Expected())
        EXPECT_EQ(Value(key), key == c.lost ? std::nullopt : std::optional(value)) << key;
    EXPECT_TRUE(calls.open.empty()) << "a key was left open";
}

const std::string create = "to create a registery key.";
const std::string access = "access the registery.";
const std::string set = "set key default value.";

INSTANTIATE_TEST_SUITE_P(
    Failures, StoreFailureTest,
    testing::Values(
        // A key that was not created cannot be opened to set its value either.
        FailureCase{"create_extension", "RegCreateKeyExA", ".tr0", {create, access}, ".tr0"},
        FailureCase{"create_icon",
                    "RegCreateKeyExA",
                    "TR.File\\DefaultIcon",
                    {create, access},
                    "TR.File\\DefaultIcon"},
        FailureCase{"open_class", "RegOpenKeyExA", "TR.File", {access}, "TR.File"},
        FailureCase{"set_command",
                    "RegSetValueExA",
                    "TR.File\\shell\\Build\\command",
                    {set},
                    "TR.File\\shell\\Build\\command"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tren::platform
