#include "engine/Transfers.h"

#include "platform/RunTimeError.h"
#include "support/SystemUnderTest.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace tren {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Every road the bytes take on this system gives the same.
class TransfersTest : public testing::TestWithParam<test::Road> {};

TEST_P(TransfersTest, MovesRangesToTheirOffsetsAndNeverPassesOnBytesNotRead) {
    test::TempFolder folder;
    test::FaultyCalls calls;
    test::TakeRoad(calls, GetParam());
    test::SystemRunTime runTime{calls};
    TransferBuffers buffers;
    // A read past the end fails, or leaves zeros: never what the buffer held before.
    test::WriteFile(folder / "short", {1, 2, 3});
    const auto file = runTime.OpenInput(folder / "short");
    buffers.MultiBuff.Resize(6);
    std::fill_n(buffers.MultiBuff.data(), 6, 0xEE);
    buffers.MultiBuff.Prepare(6);
    EXPECT_THROW(buffers.CopyFileToMultiBuff(*file, 1, ReadExtent::Whole), RunTimeError);
    buffers.CopyFileToMultiBuff(*file, 2, ReadExtent::UpToEnd);
    EXPECT_EQ(Bytes(buffers.MultiBuff.data(), buffers.MultiBuff.data() + 6),
              (Bytes{2, 3, 0, 0, 0, 0}));

    const auto bytes = test::RandomBytes(100000, 7);
    test::WriteFile(folder / "source", bytes);
    const auto source = runTime.OpenInput(folder / "source");
    auto target = runTime.CreateOutput(folder / "target", platform::Naming::ReplaceName);
    buffers.CopyFileToFile(*source, 50001, *target, 1, 40000);
    buffers.CopyFileToFile(*source, 1, *target, 40001, 100);
    // A short source, then a failing in-kernel copy, whose message must name the side.
    const std::tuple<std::set<std::string>, std::int64_t, std::string, ErrorCode> failures[] = {
        {{}, 99001, "Cannot read " + folder / "source", ErrorCode::InputPastEnd},
        {{"copy", test::ReadCall}, 1, "Cannot read " + folder / "source", ErrorCode::DeviceIo},
        {{"copy", test::WriteCall}, 1, "Cannot write " + folder / "target", ErrorCode::DeviceIo}};
    for (const auto& [failing, from, message, code] : failures) {
        calls.Failing = failing;
        try {
            buffers.CopyFileToFile(*source, from, *target, 40101, 2000);
            ADD_FAILURE() << "no failure: " << message;
        } catch (const RunTimeError& failure) {
            EXPECT_EQ(failure.Code(), code) << message;
            EXPECT_NE(failure.Description().find(message), std::string::npos) << message;
        }
    }
    target->Publish();
    target.reset();
    const auto written = test::ReadFile(folder / "target");
    ASSERT_GE(written.size(), 40100u);
    EXPECT_TRUE(std::equal(bytes.begin() + 50000, bytes.begin() + 90000, written.begin()));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 100, written.begin() + 40000));
}

INSTANTIATE_TEST_SUITE_P(Roads, TransfersTest, testing::ValuesIn(test::Roads),
                         [](const auto& info) {
                             return info.param == test::Road::Kernel ? "kernel" : "buffer";
                         });

} // namespace
} // namespace tren
