#include "engine/Transfers.h"

#include "platform/RunTimeError.h"
#include "support/SystemUnderTest.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace tren {
namespace {

using test::ReadFile;
using test::WriteFile;

std::vector<std::uint8_t> Contents(const TransferBuffer& buffer) {
    return {buffer.data(), buffer.data() + buffer.size()};
}

class TransfersTest : public testing::Test {
  protected:
    test::TempFolder folder;
    test::FaultyCalls calls;
    test::SystemRunTime runTime{calls};
    TransferBuffers buffers;

    void Fill(TransferBuffer& buffer, std::vector<std::uint8_t> bytes) {
        buffer.Resize(bytes.size());
        std::copy(bytes.begin(), bytes.end(), buffer.data());
    }
};

TEST_F(TransfersTest, AReadPastTheEndLeavesZerosUnlessTheWholeBufferIsNeeded) {
    WriteFile(folder / "short", {1, 2, 3});
    const auto file = runTime.OpenInput(folder / "short");

    Fill(buffers.Buff, std::vector<std::uint8_t>(6, 0xEE));
    buffers.Buff.Resize(6);
    buffers.CopyFileToBuff(*file, 2);
    EXPECT_EQ(Contents(buffers.Buff), (std::vector<std::uint8_t>{2, 3, 0, 0, 0, 0}));

    // A buffer that keeps its storage must never pass on what it held before.
    Fill(buffers.MultiBuff, std::vector<std::uint8_t>(6, 0xEE));
    buffers.MultiBuff.Prepare(6);
    EXPECT_THROW(buffers.CopyFileToMultiBuff(*file, 1, ReadExtent::Whole), RunTimeError);
    buffers.CopyFileToMultiBuff(*file, 1, ReadExtent::UpToEnd);
    EXPECT_EQ(Contents(buffers.MultiBuff), (std::vector<std::uint8_t>{1, 2, 3, 0, 0, 0}));
}

// Both roads, in the kernel and through MultiBuff, give the same file.
class CopyFileToFileTest : public TransfersTest, public testing::WithParamInterface<bool> {};

TEST_P(CopyFileToFileTest, MovesRangesToTheirOffsetsAndRefusesAShortSource) {
    calls.KernelCopy = GetParam();
    const auto bytes = test::RandomBytes(100000, 7);
    WriteFile(folder / "source", bytes);
    const auto source = runTime.OpenInput(folder / "source");
    auto target = runTime.CreateOutput(folder / "target", platform::Naming::ReplaceName);

    buffers.CopyFileToFile(*source, 50001, *target, 1, 40000);
    buffers.CopyFileToFile(*source, 1, *target, 40001, 100);
    try {
        buffers.CopyFileToFile(*source, 99001, *target, 40101, 2000);
        FAIL() << "a short source was copied";
    } catch (const RunTimeError& failure) {
        EXPECT_EQ(failure.Code(), ErrorCode::InputPastEnd);
        EXPECT_NE(failure.Description().find(folder / "source"), std::string::npos);
    }
    target->Publish();
    target.reset();
    auto expected = std::vector<std::uint8_t>(bytes.begin() + 50000, bytes.begin() + 90000);
    expected.insert(expected.end(), bytes.begin(), bytes.begin() + 100);
    const auto written = ReadFile(folder / "target");
    ASSERT_GE(written.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), written.begin()));
}

INSTANTIATE_TEST_SUITE_P(Roads, CopyFileToFileTest, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "kernel" : "buffer"; });

struct SideCase {
    const char* name;
    const char* failing; // the call that fails, after the in-kernel copy failed
    const char* named;   // the file the message names
    const char* verb;
};

class FailingSideTest : public TransfersTest, public testing::WithParamInterface<SideCase> {};

// An in-kernel copy that fails cannot say which side failed; the message must.
TEST_P(FailingSideTest, NamesTheSideThatFailed) {
    WriteFile(folder / "source", test::RandomBytes(1000, 3));
    const auto source = runTime.OpenInput(folder / "source");
    auto target = runTime.CreateOutput(folder / "target", platform::Naming::ReplaceName);
    calls.Failing = {"copy", GetParam().failing};
    try {
        buffers.CopyFileToFile(*source, 1, *target, 1, 1000);
        FAIL() << "no failure";
    } catch (const RunTimeError& failure) {
        EXPECT_EQ(failure.Code(), ErrorCode::DeviceIo);
        const std::string expected = std::string(GetParam().verb) + " " + folder / GetParam().named;
        EXPECT_NE(failure.Description().find(expected), std::string::npos) << failure.Description();
    }
}

INSTANTIATE_TEST_SUITE_P(Sides, FailingSideTest,
                         testing::Values(SideCase{"read", test::ReadCall, "source", "Cannot read"},
                                         SideCase{"write", test::WriteCall, "target",
                                                  "Cannot write"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tren
