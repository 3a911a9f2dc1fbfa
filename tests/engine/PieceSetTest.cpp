#include "engine/PieceSet.h"

#include "engine/RunTimeError.h"

#include <gtest/gtest.h>

namespace tren::pieces {
namespace {

struct NameCase {
    const char* name;
    const char* source;
    int index;
    const char* piece;
};

class PieceNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(PieceNameTest, WriterAndReaderAgree) {
    const auto& c = GetParam();
    const std::string piece = PieceName(c.source, c.index);
    EXPECT_EQ(piece, c.piece);
    // A reader knows only the header piece's name.
    EXPECT_EQ(PieceNameFromHeader(PieceName(c.source, 0), c.index), piece);
    EXPECT_EQ(RebuiltName(PieceName(c.source, 0)), c.source);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PieceNameTest,
    testing::Values(NameCase{"no_extension", "a", 1, "a.tr1"},
                    NameCase{"several_dots", "a.b.c", 1, "a.b.c.tr1"},
                    NameCase{"header", "report.doc", 0, "report.doc.tr0"},
                    NameCase{"tenth_piece", "x.zip", 10, "x.zip.tr10"},
                    NameCase{"last_possible_piece", "x.zip", 255, "x.zip.tr255"},
                    NameCase{"blanks", "my report 2.doc", 3, "my report 2.doc.tr3"},
                    NameCase{"utf8", "r\xC3\xA9sum\xC3\xA9 \xD7\xA9.txt", 2,
                             "r\xC3\xA9sum\xC3\xA9 \xD7\xA9.txt.tr2"},
                    NameCase{"dot_file", ".profile", 1, ".profile.tr1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RebuiltName, AHeaderNameOfFourCharactersLeavesNoName) {
    for (const char* header : {".tr0", "a.t", ""}) {
        try {
            RebuiltName(header);
            ADD_FAILURE() << header;
        } catch (const RunTimeError& failure) {
            EXPECT_EQ(failure.Code(), ErrorCode::InvalidArgument);
        }
    }
}

TEST(SizeTable, CodesAreListPositionsPlusOne) {
    const std::pair<std::int32_t, int> expected[] = {
        {5000000, 1}, {3000000, 2}, {1440000, 3}, {1000000, 4}, {500000, 5}, {1474560, 0}, {0, 0}};
    for (const auto& [bytes, code] : expected) {
        EXPECT_EQ(SizeCodeOf(bytes), code) << bytes;
        if (code != 0)
            EXPECT_EQ(PieceSizeOf(code), bytes);
    }
    EXPECT_FALSE(PieceSizeOf(0));
    EXPECT_FALSE(PieceSizeOf(6));
}

TEST(EncodeHeader, MatchesTheDocumentedExample) {
    // 3500000 bytes cut at 1440000: three pieces, the last of 620000 bytes.
    const std::array<std::uint8_t, 10> expected{3, 0, 0, 0, 0, 2, 6, 0, 0, 3};
    EXPECT_EQ(EncodeHeader({3, 620000, 3}), expected);
}

struct HeaderCase {
    const char* name;
    std::array<std::uint8_t, 10> bytes;
    bool accepted;
};

class DecodeHeaderTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(DecodeHeaderTest, AcceptsOnlyUndamagedHeaders) {
    const auto header = DecodeHeader(GetParam().bytes);
    EXPECT_EQ(header.has_value(), GetParam().accepted);
    if (header) {
        EXPECT_EQ(EncodeHeader(*header), GetParam().bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Headers, DecodeHeaderTest,
    testing::Values(HeaderCase{"example", {3, 0, 0, 0, 0, 2, 6, 0, 0, 3}, true},
                    HeaderCase{"size_code_5", {2, 1, 0, 0, 0, 0, 0, 0, 0, 5}, true},
                    HeaderCase{"size_code_1", {255, 0, 0, 0, 0, 0, 0, 5, 0, 1}, true},
                    HeaderCase{"size_code_0", {3, 0, 0, 0, 0, 2, 6, 0, 0, 0}, false},
                    HeaderCase{"size_code_6", {3, 0, 0, 0, 0, 2, 6, 0, 0, 6}, false},
                    HeaderCase{"size_code_255", {3, 0, 0, 0, 0, 2, 6, 0, 0, 255}, false},
                    HeaderCase{"digit_above_9", {3, 10, 0, 0, 0, 2, 6, 0, 0, 3}, false},
                    HeaderCase{"top_digit_above_9", {3, 0, 0, 0, 0, 0, 0, 0, 200, 3}, false},
                    HeaderCase{"piece_count_0", {0, 0, 0, 0, 0, 2, 6, 0, 0, 3}, false},
                    HeaderCase{"last_piece_size_0", {3, 0, 0, 0, 0, 0, 0, 0, 0, 3}, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tren::pieces
