#include "engine/Transfers.h"

#include "engine/RunTimeError.h"
#include "support/FaultyRunTime.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <numeric>

namespace tren {
namespace {

using test::ReadFile;
using test::WriteFile;

std::vector<std::uint8_t> Sequence(std::size_t n, std::uint8_t first) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

std::vector<std::uint8_t> Contents(const TransferBuffer& buffer) {
    return {buffer.data(), buffer.data() + buffer.size()};
}

class TransfersTest : public testing::Test {
protected:
    test::TempFolder folder;
    test::FaultyRunTime runTime;
    TransferBuffers buffers{runTime};

    void Fill(TransferBuffer& buffer, std::vector<std::uint8_t> bytes) {
        buffer.Resize(bytes.size());
        std::copy(bytes.begin(), bytes.end(), buffer.data());
    }
};

struct MemCopyCase {
    const char* name;
    std::int32_t size;
    std::int32_t pos;
    std::int16_t typ;
    std::vector<std::uint8_t> buff;  // afterwards
    std::vector<std::uint8_t> multi; // afterwards
    bool outOfRange;
};

class MemCopyTest : public TransfersTest, public testing::WithParamInterface<MemCopyCase> {};

// Before each case Buff holds 10 11 12 13 14 15 and MultiBuff 0 1 2 3.
TEST_P(MemCopyTest, CopiesSizePlusOneBytes) {
    const auto& c = GetParam();
    Fill(buffers.Buff, Sequence(6, 10));
    Fill(buffers.MultiBuff, Sequence(4, 0));
    bool failed = false;
    try {
        buffers.memCopy(c.size, c.pos, c.typ);
    } catch (const RunTimeError& failure) {
        failed = true;
        EXPECT_EQ(failure.Code(), ErrorCode::IndexOutOfRange);
    }
    EXPECT_EQ(failed, c.outOfRange);
    EXPECT_EQ(Contents(buffers.Buff), c.buff);
    EXPECT_EQ(Contents(buffers.MultiBuff), c.multi);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MemCopyTest,
    testing::Values(
        MemCopyCase{"size_0_copies_one_byte", 0, 2, 0, {10, 11, 12, 13, 14, 15}, {12, 1, 2, 3}, false},
        MemCopyCase{"cut_a_piece", 3, 1, 0, {10, 11, 12, 13, 14, 15}, {11, 12, 13, 14}, false},
        MemCopyCase{"put_a_piece", 1, 4, -1, {10, 11, 12, 13, 0, 1}, {0, 1, 2, 3}, false},
        MemCopyCase{"typ_1_copies_nothing", 3, 0, 1, {10, 11, 12, 13, 14, 15}, {0, 1, 2, 3}, false},
        MemCopyCase{"negative_size_copies_nothing", -1, 0, 0, {10, 11, 12, 13, 14, 15}, {0, 1, 2, 3}, false},
        // The bytes before the first index out of range stay copied.
        MemCopyCase{"past_buff_end", 3, 4, 0, {10, 11, 12, 13, 14, 15}, {14, 15, 2, 3}, true},
        MemCopyCase{"past_multibuff_end", 5, 0, 0, {10, 11, 12, 13, 14, 15}, {10, 11, 12, 13}, true},
        MemCopyCase{"negative_position", 0, -1, -1, {10, 11, 12, 13, 14, 15}, {0, 1, 2, 3}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransfersTest, AReadPastTheEndLeavesZerosUnlessTheWholeBufferIsNeeded) {
    const std::string file = folder / "short";
    WriteFile(file, {1, 2, 3});

    Fill(buffers.Buff, std::vector<std::uint8_t>(6, 0xEE));
    buffers.Buff.Resize(6);
    buffers.CopyFileToBuff(file, 2);
    EXPECT_EQ(Contents(buffers.Buff), (std::vector<std::uint8_t>{2, 3, 0, 0, 0, 0}));

    // A buffer that keeps its storage must never pass on what it held before.
    Fill(buffers.MultiBuff, std::vector<std::uint8_t>(6, 0xEE));
    buffers.MultiBuff.Prepare(6);
    EXPECT_THROW(buffers.CopyFileToMultiBuff(file, 1, ReadExtent::Whole), RunTimeError);
    buffers.CopyFileToMultiBuff(file, 1, ReadExtent::UpToEnd);
    EXPECT_EQ(Contents(buffers.MultiBuff), (std::vector<std::uint8_t>{1, 2, 3, 0, 0, 0}));
}

// Both roads, in the kernel and through MultiBuff, give the same file.
class CopyFileToFileTest : public TransfersTest, public testing::WithParamInterface<bool> {};

TEST_P(CopyFileToFileTest, MovesARangeAndEndsTheTargetThere) {
    runTime.KernelCopy = GetParam();
    const auto source = test::RandomBytes(100000, 7);
    WriteFile(folder / "source", source);
    WriteFile(folder / "target", std::vector<std::uint8_t>(300000, 0xEE));

    buffers.CopyFileToFile(folder / "source", 50001, folder / "target", 1, 40000);
    EXPECT_EQ(ReadFile(folder / "target"),
              std::vector<std::uint8_t>(source.begin() + 50000, source.begin() + 90000));

    // Appending at an offset leaves what lies before in place.
    buffers.CopyFileToFile(folder / "source", 1, folder / "target", 40001, 100);
    const auto target = ReadFile(folder / "target");
    ASSERT_EQ(target.size(), 40100u);
    EXPECT_TRUE(std::equal(source.begin(), source.begin() + 100, target.begin() + 40000));

    try {
        buffers.CopyFileToFile(folder / "source", 99001, folder / "other", 1, 2000);
        FAIL() << "a short source was copied";
    } catch (const RunTimeError& failure) {
        EXPECT_EQ(failure.Code(), ErrorCode::InputPastEnd);
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, CopyFileToFileTest, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "kernel" : "buffer"; });

} // namespace
} // namespace tren
