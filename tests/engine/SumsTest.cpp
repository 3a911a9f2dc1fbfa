#include "engine/Sums.h"

#include <gtest/gtest.h>

namespace tren::sums {
namespace {

const Digest digest = [] {
    Digest d{};
    for (std::size_t i = 0; i < d.size(); ++i)
        d[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return d;
}();

struct NameCase {
    const char* name;
    std::string file;
};

class SumLineTest : public testing::TestWithParam<NameCase> {};

// What is written must read back as the same name, as sha256sum reads it.
TEST_P(SumLineTest, ReadsBackWhatItWrote) {
    const std::string line = Line(digest, GetParam().file);
    const auto parsed = Parse("junk line\n" + line);
    ASSERT_EQ(parsed.size(), 1u) << line;
    EXPECT_EQ(parsed.begin()->first, GetParam().file);
    EXPECT_EQ(parsed.begin()->second, Hex(digest));
}

INSTANTIATE_TEST_SUITE_P(Names, SumLineTest,
                         testing::Values(NameCase{"plain", "report.doc.tr1"},
                                         NameCase{"blanks", "my report.doc"},
                                         NameCase{"backslash", "a\\b.tr2"},
                                         NameCase{"line_break", "two\nlines"},
                                         NameCase{"not_utf8", "caf\xe9"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Sums, ReadsBinaryModeAndUpperCaseAndPassesOverTheRest) {
    const std::string hex = Hex(digest);
    std::string upper = hex;
    for (auto& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto parsed = Parse(upper + " *binary\r\n" + hex.substr(1) + "  short\n" + hex + " x\n");
    EXPECT_EQ(parsed, (std::map<std::string, std::string>{{"binary", hex}}));
    EXPECT_EQ(SumsNameFromHeader("x.zip.tr0"), "x.zip.tr.sha256");
}

} // namespace
} // namespace tren::sums
