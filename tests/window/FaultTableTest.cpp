#include "window/frmTren.h"

#include "support/TempFolder.h"
#include "window/ScriptedForm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

// Every system call of a clean run made to fail in turn, with a full disk and with
// an I/O error: nothing may be lost, nothing left behind, and the list must say
// truthfully whether the run finished.
namespace tren::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int Size500K = 4;
const char* const TrenDone = "Finish Trening successfully";
const char* const BuildDone = "Finish building successfully";

struct Road {
    const char* name;
    bool kernelCopy;
    bool unnamedFiles;
    decltype(FaultyCalls::FailWith) error;
    bool sums = false; // with a checksum file written and checked
};

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class FaultTableTest : public testing::TestWithParam<Road> {
  protected:
    TempFolder root;
    // A (the stale set already there) and B (what is cut now) share one name.
    const Bytes a = RandomBytes(1700000, 1);
    const Bytes b = RandomBytes(1200001, 2);

    void Prepare(ScriptedForm& ui, long failAt) const {
        ui.calls.KernelCopy = GetParam().kernelCopy;
        ui.calls.UnnamedFiles = GetParam().unnamedFiles;
        ui.calls.FailWith = GetParam().error;
        ui.calls.FailAt = failAt;
        ui.form.WriteSums = GetParam().sums;
        ui.calls.Made.clear();
        ui.log.clear();
    }

    static void Tren(ScriptedForm& ui, const std::string& source, const std::string& folder) {
        ui.SelectSize(Size500K);
        ui.AnswerOpen(source);
        ui.AnswerFolder(folder);
    }

    // Writes bytes to src/data and cuts them into folder, without faults.
    void CutWhole(const std::string& src, const Bytes& bytes, const std::string& folder) const {
        fs::create_directories(src);
        fs::create_directories(folder);
        WriteFile(src + "/data", bytes);
        ScriptedForm ui;
        ui.form.WriteSums = GetParam().sums;
        Tren(ui, src + "/data", folder);
        ui.form.fltbTren_Click();
    }

    // What building the set gives, without faults: its bytes, or nothing.
    static std::optional<Bytes> Rebuilt(const std::string& header, const std::string& into) {
        fs::create_directories(into);
        ScriptedForm ui;
        ui.AnswerOpen(header);
        ui.AnswerFolder(into);
        ui.form.fltbBuild_Click();
        if (ui.ListLines().empty() || ui.ListLines().back() != BuildDone)
            return std::nullopt;
        return ReadFile(into + "/data");
    }

    // Cuts B over a stale set of A with call failAt failing; the number of calls made.
    std::size_t TrenOverStaleSet(long failAt, const std::string& run) {
        const std::string src = run + "/src", out = run + "/out";
        CutWhole(src, a, out);
        WriteFile(src + "/data", b);

        ScriptedForm ui;
        Tren(ui, src + "/data", out);
        Prepare(ui, failAt);
        ui.form.fltbTren_Click();
        const bool finished = !ui.ListLines().empty() && ui.ListLines().back() == TrenDone;
        const std::string at =
            "call " + std::to_string(failAt) + " (" +
            (failAt > 0 && static_cast<std::size_t>(failAt) <= ui.calls.Made.size()
                 ? ui.calls.Made[static_cast<std::size_t>(failAt - 1)]
                 : std::string("none")) +
            ")";

        EXPECT_EQ(ReadFile(src + "/data"), b) << at;
        for (const auto& name : Entries(out))
            EXPECT_EQ(name.rfind("data.tr", 0), 0u) << at << " left " << name;
        const auto rebuilt = Rebuilt(out + "/data.tr0", run + "/check");
        if (finished) {
            EXPECT_EQ(rebuilt, b) << at;
        } else {
            EXPECT_FALSE(ui.Boxes().empty()) << at << ": a failure that no one was told of";
            EXPECT_TRUE(!rebuilt || *rebuilt == a || *rebuilt == b)
                << at << ": a mixture was built";
        }
        return ui.calls.Made.size();
    }

    // Builds B's set over an existing file with call failAt failing.
    std::size_t BuildOverExistingFile(long failAt, const std::string& run) {
        const std::string src = run + "/src", set = run + "/set", out = run + "/out";
        CutWhole(src, b, set);
        fs::create_directories(out);
        const Bytes old = {7, 7, 7};
        WriteFile(out + "/data", old);
        std::vector<Bytes> setBefore;
        for (const auto& name : Entries(set))
            setBefore.push_back(ReadFile(set + "/" + name));

        ScriptedForm ui;
        ui.AnswerOpen(set + "/data.tr0");
        ui.AnswerFolder(out);
        Prepare(ui, failAt);
        ui.form.fltbBuild_Click();
        const bool finished = !ui.ListLines().empty() && ui.ListLines().back() == BuildDone;
        const std::string at = "call " + std::to_string(failAt);

        std::vector<Bytes> setAfter;
        for (const auto& name : Entries(set))
            setAfter.push_back(ReadFile(set + "/" + name));
        EXPECT_EQ(setAfter, setBefore) << at;
        EXPECT_EQ(Entries(out), std::vector<std::string>{"data"}) << at;
        const Bytes now = ReadFile(out + "/data");
        if (finished) {
            EXPECT_EQ(now, b) << at;
        } else {
            // A folder that cannot be flushed once the new file took the name
            // still fails the run: the user must not take the disk away.
            EXPECT_TRUE(now == old || now == b) << at << ": the old file was damaged";
            EXPECT_FALSE(ui.Boxes().empty()) << at << ": a failure that no one was told of";
        }
        return ui.calls.Made.size();
    }
};

TEST_P(FaultTableTest, TrenLosesNothingWhicheverCallFails) {
    const std::size_t calls = TrenOverStaleSet(0, root / "clean");
    ASSERT_GT(calls, 10u);
    for (std::size_t k = 1; k <= calls; ++k)
        TrenOverStaleSet(static_cast<long>(k), root / std::to_string(k));
    std::cout << "tren, " << GetParam().name << ": " << calls << " faults injected\n";
}

TEST_P(FaultTableTest, BuildLosesNothingWhicheverCallFails) {
    const std::size_t calls = BuildOverExistingFile(0, root / "clean");
    ASSERT_GT(calls, 10u);
    for (std::size_t k = 1; k <= calls; ++k)
        BuildOverExistingFile(static_cast<long>(k), root / std::to_string(k));
    std::cout << "build, " << GetParam().name << ": " << calls << " faults injected\n";
}

#ifdef _WIN32
// Every file goes through MultiBuff and a hidden name here.
const Road roads[] = {Road{"disk_full", false, false, DiskFullError},
                      Road{"io_error", false, false, IoError},
                      Road{"checksums_io_error", false, false, IoError, true}};
#else
const Road roads[] = {Road{"kernel_copy_disk_full", true, true, DiskFullError},
                      Road{"kernel_copy_io_error", true, true, IoError},
                      Road{"buffer_and_hidden_names_disk_full", false, false, DiskFullError},
                      Road{"buffer_and_hidden_names_io_error", false, false, IoError},
                      Road{"checksums_io_error", true, true, IoError, true}};
#endif
INSTANTIATE_TEST_SUITE_P(Roads, FaultTableTest, testing::ValuesIn(roads),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tren::test
