#pragma once

#include "platform/RunTime.h"
#include "platform/RunTimeError.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

// What every system's run-time answers alike, asked by each system's own test.
namespace tren::test {

// Each failure carries the same code and the same text on every system; only
// the system's own words, in brackets at the end, may differ, and they are left
// out where they would only say the code's text again.
inline void ExpectSameFailures(platform::RunTime& runTime) {
    TempFolder f;
    WriteFile(f / "file", {1, 2, 3});
    runTime.CreateFolder(f / "sub");
    const std::string below = f / "file" + platform::PathSeparator + "below";
    const std::string inMissingFolder = f / "nowhere" + platform::PathSeparator + "x";
    const std::string longName = f / std::string(300, 'n');
    enum Call { Length, Read, Write };
    enum Words { None, Any, Folder };
    struct Case {
        const char* what;
        Call call;
        std::string path;
        ErrorCode code;
        Words words;
    };
    const Case cases[] = {
        {"length of a missing file", Length, f / "none", ErrorCode::FileNotFound, None},
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
    };
    const char* operations[] = {"Cannot measure", "Cannot read", "Cannot write"};
    for (const auto& [what, call, path, code, words] : cases) {
        try {
            call == Length ? (void)runTime.FileLength(path)
            : call == Read ? (void)runTime.OpenInput(path)
                           : (void)runTime.CreateOutput(path, platform::Naming::ReplaceName);
            ADD_FAILURE() << what << ": no failure";
        } catch (const RunTimeError& failure) {
            const std::string plain =
                std::string(operations[call]) + " " + path + ": " + StandardText(code);
            EXPECT_EQ(failure.Code(), code) << what << ": " << failure.Description();
            EXPECT_EQ(failure.Description().substr(0, plain.size()), plain) << what;
            if (words != Any) {
                EXPECT_EQ(failure.Description(),
                          words == None ? plain : plain + " (it is a folder)")
                    << what;
            }
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
    try {
        runTime.FullPath("");
        ADD_FAILURE() << "no failure for an empty name";
    } catch (const RunTimeError& failure) {
        EXPECT_EQ(failure.Code(), ErrorCode::InvalidArgument);
    }
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
