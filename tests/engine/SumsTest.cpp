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

// What is written must read back as the same name, as sha256sum reads it; and what
// another tool writes, binary mode and upper case, reads too.
TEST(Sums, ALineReadsBackAsTheNameItWroteAndPassesOverTheRest) {
    const std::string hex = Hex(digest);
    for (const std::string file :
         {"report.doc.tr1", "my report.doc", "a\\b.tr2", "two\nlines", "caf\xe9"})
        EXPECT_EQ(Parse("junk line\n" + Line(digest, file)),
                  (std::map<std::string, std::string>{{file, hex}}))
            << file;
    std::string upper = hex;
    for (auto& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto parsed = Parse(upper + " *binary\r\n" + hex.substr(1) + "  short\n" + hex + " x\n");
    EXPECT_EQ(parsed, (std::map<std::string, std::string>{{"binary", hex}}));
}

// A renamed set keeps its numbers; anything else is the whole file's line.
TEST(Sums, ALineBelongsToThePieceItsNameNumbers) {
    const std::pair<const char*, int> names[] = {
        {"report.doc.tr12", 12},
        {"report-v1.doc.TR3", 3},
        {"x.tr255", 255},
        {"x.tr256", 0},
        {"x.tr0", 0},
        {"x.tr01", 0},
        {"x.tr", 0},
        {"report.doc", 0},
    };
    for (const auto& [name, number] : names)
        EXPECT_EQ(PieceNumberOf(name), number) << name;
    const Listing listing = ListingOf({{"old.tr1", "1"}, {"old", "w"}, {"new", "n"}}, "new");
    EXPECT_EQ(listing.Pieces, (std::map<int, std::string>{{1, "1"}}));
    EXPECT_EQ(listing.Whole, "n");
}

} // namespace
} // namespace tren::sums
