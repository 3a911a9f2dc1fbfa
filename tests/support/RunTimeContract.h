#pragma once

#include "platform/RunTime.h"
#include "platform/RunTimeError.h"
#include "support/SystemUnderTest.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

// What every system's run-time answers alike, asked by each system's own test.
namespace tren::test {

enum class Call { Length, Read, Write, Fill };
// What follows the code's text: nothing, the system's own words, or that it is a folder.
enum class Words { None, Any, Folder };
using FailureCase = std::tuple<const char*, Call, std::string, ErrorCode, Words>;

// Each failure carries the same code and the same text on every system; only
// the system's own words, in brackets at the end, may differ, and they are left
// out where they would only say the code's text again. A system adds the cases
// only it has.
inline void ExpectSameFailures(std::vector<FailureCase> cases = {}) {
    FaultyCalls calls;
    calls.WriteBudget = 0; // a full disk, for the one case that writes bytes
    SystemRunTime runTime{calls};
    TempFolder f;
    WriteFile(f / "file", {1, 2, 3});
    runTime.CreateFolder(f / "sub");
    const std::string below = f / "file" + platform::PathSeparator + "below";
    const std::string inMissingFolder = f / "nowhere" + platform::PathSeparator + "x";
    const std::string longName = f / std::string(300, 'n');
    constexpr auto replace = platform::Naming::ReplaceName;
    using Bytes = std::vector<std::uint8_t>;
    using enum Call;
    using enum Words;
    cases.insert(
        cases.end(),
        {{"length of a missing file", Length, f / "none", ErrorCode::FileNotFound, None},
         {"length in a missing folder", Length, inMissingFolder, ErrorCode::FileNotFound, None},
         {"length under a file", Length, below, ErrorCode::PathNotFound, Any},
         {"length of a folder", Length, f / "sub", ErrorCode::PathFileAccess, Folder},
         {"length of a name too long", Length, longName, ErrorCode::BadFileName, Any},
         {"read of a missing file", Read, f / "none", ErrorCode::FileNotFound, None},
         {"read in a missing folder", Read, inMissingFolder, ErrorCode::PathNotFound, None},
         {"read under a file", Read, below, ErrorCode::PathNotFound, Any},
         {"read of a folder", Read, f / "sub", ErrorCode::PathFileAccess, Folder},
         {"read of a name too long", Read, longName, ErrorCode::BadFileName, Any},
         {"write in a missing folder", Write, inMissingFolder, ErrorCode::PathNotFound, None},
         {"write under a file", Write, below, ErrorCode::PathNotFound, Any},
         {"write over a folder", Write, f / "sub", ErrorCode::PathFileAccess, Folder},
         {"write of a name too long", Write, longName, ErrorCode::BadFileName, Any},
         {"write on a full disk", Fill, f / "full", ErrorCode::DiskFull, None}});
    const char* operations[] = {"Cannot measure", "Cannot read", "Cannot write", "Cannot write"};
    for (const auto& [what, call, path, code, words] : cases) {
        try {
            call == Length  ? (void)runTime.FileLength(path)
            : call == Read  ? (void)runTime.OpenInput(path)
            : call == Write ? (void)runTime.CreateOutput(path, replace)
                            : runTime.CreateOutput(path, replace)->WriteAt(0, Bytes{1, 2, 3});
            ADD_FAILURE() << what << ": no failure";
        } catch (const RunTimeError& failure) {
            const std::string plain = std::string(operations[static_cast<int>(call)]) + " " + path +
                                      ": " + StandardText(code);
            EXPECT_EQ(failure.Code(), code) << what << ": " << failure.Description();
            EXPECT_EQ(failure.Description().substr(0, plain.size()), plain) << what;
            if (words != Any)
                EXPECT_EQ(failure.Description(),
                          plain + (words == Folder ? " (it is a folder)" : ""))
                    << what;
        }
    }
}

// The full path of a name, as the console shows it: from the current directory,
// with "." and ".." and doubled separators gone, links left as they are.
inline void ExpectFullPaths(platform::RunTime& runTime) {
    TempFolder f;
    const char s = platform::PathSeparator;
    const std::string here = platform::WithTrailingSeparator(runTime.CurrentDirectory());
    const std::pair<std::string, std::string> cases[] = {
        {"a", here + "a"},
        {"a/../b/c", here + "b" + s + "c"},
        {"./x/./y", here + "x" + s + "y"},
        {"x//y", here + "x" + s + "y"},
        {"b/c/", here + "b" + s + "c" + s},
        {f / "q/../r", f / "r"},
        {f.Path(), f.Path()},
    };
    for (const auto& [path, full] : cases)
        EXPECT_EQ(runTime.FullPath(path), full) << path;
    EXPECT_THROW(runTime.FullPath(""), RunTimeError) << "an empty name";
}

// Readers of a folder share it, a writer waits until they are gone, and the
// lock leaves nothing in the folder.
inline void ExpectReadersShareAndAWriterWaits(platform::RunTime& runTime) {
    using namespace std::chrono_literals;
    TempFolder f;
    auto reader = runTime.LockFolder(f.Path(), platform::LockKind::Shared);
    // Another spelling of the same folder.
    auto second = std::async(std::launch::async, [&] {
        return runTime.LockFolder(platform::WithTrailingSeparator(f.Path()),
                                  platform::LockKind::Shared);
    });
    if (second.wait_for(60s) != std::future_status::ready) {
        reader.reset();
        ADD_FAILURE() << "a reader waited for another reader";
    }
    second.get().reset();

    std::atomic<bool> written = false;
    // The writer spells the folder as the second reader did: the lock is the folder's.
    std::thread writer([&] {
        const auto lock = runTime.LockFolder(platform::WithTrailingSeparator(f.Path()),
                                             platform::LockKind::Exclusive);
        written = true;
    });
    // A lock that works keeps the writer out however long this takes.
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(written) << "a writer did not wait for a reader";
    reader.reset();
    writer.join();
    EXPECT_TRUE(written);
    EXPECT_TRUE(std::filesystem::is_empty(f.Path())) << "the lock left something in the folder";
}

} // namespace tren::test
