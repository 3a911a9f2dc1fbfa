#include "support/TempFolder.h"
#include "window/ScriptedForm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Every system call of a clean run made to fail in turn, with a full disk and with an I/O
// error: nothing may be lost or left behind, and the list must say truthfully whether it finished.
namespace tren::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Files = std::map<std::string, Bytes>; // by name

struct Way {
    std::string name;
    Road road;
    decltype(FaultyCalls::FailWith) error;
    bool sums = false;     // with a checksum file written and checked
    bool relative = false; // the header built by a name relative to the current directory
    int recovery = 0;      // recovery slices written, and checked by the build
};

Files In(const std::string& folder) {
    Files files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = ReadFile(entry.path().string());
    return files;
}

class FaultTableTest : public testing::TestWithParam<Way> {
  public:
    TempFolder root;
    // A (the stale set already there) and B (what is cut now) share one name.
    const Bytes a = RandomBytes(1700000, 1);
    const Bytes b = RandomBytes(1200001, 2);

    // The road's calls, call failAt failing (0: none); ui.calls.Made then counts them.
    void Prepare(ScriptedForm& ui, long failAt) const {
        TakeRoad(ui.calls, GetParam().road);
        ui.calls.FailWith = GetParam().error;
        ui.calls.FailAt = failAt;
        ui.calls.Made.clear();
        ui.form.SetChecksums(GetParam().sums ? engine::Checksums::Write : engine::Checksums::Skip);
        ui.form.SetRecovery({GetParam().recovery, false});
        ui.SelectSize(4); // 500K
    }

    // "call K (NAME)", the call that failed.
    static std::string At(const ScriptedForm& ui, long k) {
        const bool known = k > 0 && static_cast<std::size_t>(k) <= ui.calls.Made.size();
        return "call " + std::to_string(k) + " (" + (known ? ui.calls.Made[k - 1] : "none") + ")";
    }

    // Writes bytes to src/data and cuts them into folder, without faults.
    void CutWhole(const std::string& src, const Bytes& bytes, const std::string& folder) const {
        fs::create_directories(src);
        fs::create_directories(folder);
        WriteFile(src + "/data", bytes);
        ScriptedForm ui;
        Prepare(ui, 0);
        ui.Tren(src + "/data", {folder});
    }

    // Cuts B over a stale set of A with call failAt failing; the number of calls made.
    std::size_t TrenOverStaleSet(long failAt, const std::string& run) {
        const std::string src = run + "/src", out = run + "/out";
        CutWhole(src, a, out);
        WriteFile(src + "/data", b);
        ScriptedForm ui;
        Prepare(ui, failAt);
        ui.Tren(src + "/data", {out});
        const std::string at = At(ui, failAt);

        EXPECT_EQ(ReadFile(src + "/data"), b) << at;
        for (const auto& [name, bytes] : In(out))
            EXPECT_EQ(name.rfind("data.tr", 0), 0u) << at << " left " << name;
        ScriptedForm check; // what building the set gives, without faults: its bytes or nothing
        check.Build(out + "/data.tr0", {run});
        std::optional<Bytes> rebuilt;
        if (check.LastLine() == "Finish building successfully")
            rebuilt = ReadFile(run + "/data");
        if (ui.LastLine() == "Finish Trening successfully") {
            EXPECT_EQ(rebuilt, b) << at;
        } else {
            EXPECT_FALSE(ui.Boxes().empty()) << at << ": a failure that no one was told of";
            EXPECT_TRUE(!rebuilt || *rebuilt == a || *rebuilt == b) << at << ": a mixture built";
        }
        return ui.calls.Made.size();
    }

    // Builds B's set over an existing file with call failAt failing.
    std::size_t BuildOverExistingFile(long failAt, const std::string& run) {
        const std::string set = run + "/set", out = run + "/out";
        CutWhole(out, b, set); // from out/data, which then becomes the old file
        const Bytes old = {7, 7, 7};
        WriteFile(out + "/data", old);
        const Files setBefore = In(set);
        ScriptedForm ui;
        Prepare(ui, failAt);
        if (GetParam().relative) {
            const fs::path before = fs::current_path();
            fs::current_path(set);
            ui.Build("data.tr0", {out});
            fs::current_path(before);
        } else {
            ui.Build(set + "/data.tr0", {out});
        }
        const std::string at = At(ui, failAt);

        EXPECT_EQ(In(set), setBefore) << at;
        const Files now = In(out);
        if (ui.LastLine() == "Finish building successfully") {
            EXPECT_EQ(now, (Files{{"data", b}})) << at;
        } else {
            // A folder that cannot be flushed once the new file took the name
            // still fails the run: the user must not take the disk away.
            EXPECT_TRUE(now == Files({{"data", old}}) || now == Files({{"data", b}}))
                << at << ": the old file was damaged, or another left beside it";
            EXPECT_FALSE(ui.Boxes().empty()) << at << ": a failure that no one was told of";
        }
        return ui.calls.Made.size();
    }

    void EveryCall(const char* what, std::size_t (FaultTableTest::*run)(long, const std::string&)) {
        const std::size_t calls = (this->*run)(0, root / "clean");
        ASSERT_GT(calls, 10u);
        for (std::size_t k = 1; k <= calls; ++k)
            (this->*run)(static_cast<long>(k), root / std::to_string(k));
        std::cout << what << ", " << GetParam().name << ": " << calls << " faults injected\n";
    }
};

// The clean run counts the calls; then each in turn fails, in a folder of its own.
TEST_P(FaultTableTest, TrenLosesNothingWhicheverCallFails) {
    EveryCall("tren", &FaultTableTest::TrenOverStaleSet);
}

TEST_P(FaultTableTest, BuildLosesNothingWhicheverCallFails) {
    EveryCall("build", &FaultTableTest::BuildOverExistingFile);
}

// Each road this system has, with a full disk (the header named by its full path)
// and with an I/O error (the header named from the current directory); and the
// checksum file and the recovery files on the first.
std::vector<Way> Ways() {
    std::vector<Way> ways;
    for (const Road road : Roads) {
        const std::string name = road == Road::Kernel ? "kernel_copy" : "buffer_and_hidden_names";
        ways.push_back({name + "_disk_full", road, DiskFullError});
        ways.push_back({name + "_io_error", road, IoError, false, true});
    }
    ways.push_back({"checksums_io_error", Roads[0], IoError, true, true});
    ways.push_back({"recovery_files_io_error", Roads[0], IoError, false, false, 1});
    return ways;
}

INSTANTIATE_TEST_SUITE_P(Roads, FaultTableTest, testing::ValuesIn(Ways()),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace tren::test
