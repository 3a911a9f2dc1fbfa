#include "support/TempFolder.h"
#include "window/ScriptedForm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <tuple>

namespace tren::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

constexpr int Size144M = 2, Size1M = 3, Size500K = 4;
const std::int64_t PieceSizes[] = {5000000, 3000000, 1440000, 1000000, 500000};

std::ptrdiff_t Count(const std::string& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

class FormTest : public testing::Test {
  protected:
    TempFolder home, in, out;
    ScriptedForm ui;

    FormTest() { ui.runTime.Default = home / "TEMP"; } // a default folder of its own

    // A source of length bytes that begins with these; the holes read as zeros.
    std::string Source(const std::string& name, std::uintmax_t length, const Bytes& bytes = {}) {
        WriteFile(in / name, bytes);
        fs::resize_file(in / name, length);
        return in / name;
    }
};

TEST_F(FormTest, CutsAtMost255PiecesOrRefusesBeforeAnythingIsAsked) {
    const std::string tooLarge = "Trenning Error|48|Multiple size is too large... sorry...";
    // size, length, and the header piece written or the box of the refusal
    const std::tuple<int, std::int64_t, Bytes, std::string> cases[] = {
        {Size144M, 1440001, {2, 1, 0, 0, 0, 0, 0, 0, 0, 3}, ""}, // one byte over
        {Size1M, 3000000, {3, 0, 0, 0, 0, 0, 0, 1, 0, 4}, ""},   // an exact multiple
        {Size500K, 254 * 500000 + 1, {255, 1, 0, 0, 0, 0, 0, 0, 0, 5}, ""},
        {Size500K, 255 * 500000, {255, 0, 0, 0, 0, 0, 5, 0, 0, 5}, ""},
        {Size144M, 1440000, {}, "Trenning Warnning|64|file is too small for Trening"},
        {Size500K, 255 * 500000 + 1, {}, tooLarge}, // a 256th piece would be needed
        {Size144M, (std::int64_t{1} << 32) + 1440001, {}, tooLarge}, // small in 32 bits
    };
    for (const auto& [size, length, header, box] : cases) {
        TempFolder dest;
        ui.SelectSize(size);
        ui.Tren(Source("data.bin", static_cast<std::uintmax_t>(length)), {dest.Path()});
        EXPECT_EQ(Count(dest.Path()), header.empty() ? 0 : header[0] + 1) << length;
        if (header.empty()) {
            EXPECT_EQ(ui.log, (Lines{"clear", "box " + box}));
            continue;
        }
        EXPECT_EQ(ReadFile(dest / "data.bin.tr0"), header);
        EXPECT_EQ(ui.LastLine(), "Finish Trening successfully");
        // The bar steps through every full piece and one more, then to its end.
        const std::int64_t steps = length / PieceSizes[size] + 2;
        Lines progress{"max " + std::to_string(steps), "value 0"};
        for (std::int64_t step = steps; step > 0; --step)
            progress.insert(progress.begin() + 1, "value " + std::to_string(step));
        EXPECT_EQ(ui.Only("progress "), progress);
    }
}

// The header records the size the pieces are cut with, not text typed in the list.
TEST_F(FormTest, EverySizeBuildsBackAndIsChosenAgain) {
    for (int size = 0; size < 5; ++size) {
        const Bytes bytes = RandomBytes(static_cast<std::size_t>(2 * PieceSizes[size] + 12345), 11);
        TempFolder set, rebuilt;
        ui.SelectSize(size);
        ui.combo.index = -1; // typed, not chosen: no click
        ui.combo.typed = ui.combo.entries[static_cast<std::size_t>(size + 2) % 5];
        ui.Tren(Source("round trip.bin", bytes.size(), bytes), {set.Path()});
        ASSERT_EQ(ui.LastLine(), "Finish Trening successfully");
        EXPECT_EQ(ui.combo.Text(), ui.combo.entries[static_cast<std::size_t>(size)]);
        ui.SelectSize((size + 1) % 5);
        ui.Build(set / "round trip.bin.tr0", {rebuilt.Path()});
        EXPECT_EQ(ui.LastLine(), "Finish building successfully");
        EXPECT_EQ(ui.Only("progress "),
                  (Lines{"max 4", "value 1", "value 2", "value 3", "value 4", "value 0"}));
        EXPECT_TRUE(ReadFile(rebuilt / "round trip.bin") == bytes);
        EXPECT_EQ(Count(rebuilt.Path()), 1);
        EXPECT_EQ(ui.combo.ListIndex(), size);
        EXPECT_EQ(ui.form.State().PieceSize, PieceSizes[size]);
    }
}

// A shorter set over a longer one of the same name takes the old higher pieces
// with it, files only.
TEST_F(FormTest, AShorterSetLeavesNoneOfTheOldPieces) {
    const std::string source = Source("data.bin", 5 * 500000 + 1);
    ui.SelectSize(Size500K);
    ui.Tren(source, {out.Path()});
    ASSERT_EQ(Count(out.Path()), 7);
    fs::remove(out / "data.bin.tr5");
    fs::create_directory(out / "data.bin.tr5");
    ui.SelectSize(Size144M);
    ui.Tren(source, {out.Path()});
    ASSERT_EQ(ui.LastLine(), "Finish Trening successfully");
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(out.Path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"data.bin.tr0", "data.bin.tr1", "data.bin.tr2",
                                            "data.bin.tr5"}));
}

// A set of three 500K pieces with a last piece of 1000 bytes, beside its source.
TEST_F(FormTest, ADamagedHeaderOrAFullDiskStopsTheBuild) {
    const Bytes source = RandomBytes(2 * 500000 + 1000, 5);
    ui.SelectSize(Size500K);
    ui.Tren(Source("set.bin", source.size(), source), {in.Path()});
    ASSERT_EQ(ui.LastLine(), "Finish Trening successfully");
    // A short header piece's lacking bytes read as 0: size code 0.
    ui.SelectSize(Size144M);
    WriteFile(in / "set.bin.tr0", {3, 0, 0, 0, 1});
    ui.Build(in / "set.bin.tr0");
    EXPECT_EQ(ui.log, (Lines{"clear", "progress max 4", "progress value 1",
                             "box Building Error|48|Wrong version or corrupted file"}));
    EXPECT_EQ(ui.combo.ListIndex(), Size144M);
    EXPECT_EQ(ui.form.State().PieceSize, 1440000);
    // A long header piece: what follows the header is passed over.
    WriteFile(in / "set.bin.tr0", {3, 0, 0, 0, 1, 0, 0, 0, 0, 5, 7, 7});
    ui.Build(in / "set.bin.tr0", {home.Path()});
    EXPECT_EQ(ui.LastLine(), "Finish building successfully");
    EXPECT_TRUE(ReadFile(home / "set.bin") == source);
    // The image's own hidden name means nothing to the user: the message names the
    // destination, on both roads the bytes can take.
    for (const Road road : Roads) {
        TakeRoad(ui.calls, road);
        ui.calls.WriteBudget = 700000;
        ui.Build(in / "set.bin.tr0", {out.Path()});
        EXPECT_EQ(ui.list.lines, Lines{"Terminate building during error"});
        ASSERT_EQ(ui.Boxes().size(), 1u);
        const std::string full = "tren|48|Cannot write " + out / "set.bin" + ": Disk full";
        EXPECT_EQ(ui.Boxes()[0].substr(0, full.size()), full);
    }
}

TEST_F(FormTest, CancelChangesNothingAndAMissingPathIsRefused) {
    for (const bool tren : {true, false}) {
        const auto click = [&](const std::string& path) { tren ? ui.Tren(path) : ui.Build(path); };
        ui.text.text = "/some/earlier.tr0";
        click("");
        EXPECT_TRUE(ui.log.empty());
        EXPECT_EQ(ui.text.text, "/some/earlier.tr0");
        click(in / "missing.tr0");
        EXPECT_EQ(ui.log, (Lines{"clear", std::string("box ") + (tren ? "Trenning" : "Building") +
                                              " Error|48|File is not exist."}));
        EXPECT_EQ(ui.text.text, in / "missing.tr0");
    }
    // Only a missing file is missing: any other failure comes later with its reason.
    WriteFile(in / "file", {1});
    EXPECT_TRUE(ui.form.FileExists(in / "file"));
    EXPECT_FALSE(ui.form.FileExists(in / "nowhere/missing"));
    EXPECT_TRUE(ui.form.FileExists(in / "file/below"));
}

// A dropped file takes the road its button would: a header piece builds, any
// other file is cut; anything else dropped does nothing at all.
TEST_F(FormTest, ADroppedFileTakesTheRoadOfItsButton) {
    const Bytes bytes = RandomBytes(1440001, 9);
    TempFolder set;
    ui.Tren(Source("drop.bin", bytes.size(), bytes), {set.Path()});
    ASSERT_EQ(ui.LastLine(), "Finish Trening successfully");
    for (const char* piece : {"0", "1", "2"}) // a set from a disk that shouts
        fs::rename(set / ("drop.bin.tr" + std::string(piece)),
                   set / ("drop.bin.TR" + std::string(piece)));
    fs::create_directory(in / "folder.tr0");
    // what is dropped, and the last line; a run is asked for the folder out
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{in / "drop.bin"}, "Finish Trening successfully"},
        {{set / "drop.bin.TR0"}, "Finish building successfully"},
        {{in / "drop.bin", set / "drop.bin.TR0"}, ""},
        {{in / "folder.tr0"}, ""},
    };
    for (const auto& [dropped, last] : cases) {
        ui.log.clear();
        ui.text.text = "before";
        ui.folders.assign(last.empty() ? 0 : 1, out.Path());
        ui.form.Form_DropFiles(dropped);
        EXPECT_TRUE(last.empty() ? ui.log.empty() : ui.LastLine() == last) << dropped.size();
        EXPECT_EQ(ui.text.text, last.empty() ? "before" : dropped.front());
    }
    EXPECT_TRUE(ReadFile(out / "drop.bin") == bytes);
}

TEST_F(FormTest, NoFolderChosenMeansTheUsersTempFolder) {
    WriteFile(home / "TEMP", {1}); // a file where the folder should be stops the run
    ui.Tren(Source("a.b.c", 1440001), {""});
    EXPECT_EQ(ui.list.lines, Lines{"Terminate Trening during error"});
    ASSERT_EQ(ui.Boxes().size(), 1u);
    EXPECT_EQ(ui.Boxes()[0].rfind("tren|48|Cannot create the folder " + home / "TEMP", 0), 0u);

    fs::remove(home / "TEMP");
    ui.Tren(in / "a.b.c", {""});
    EXPECT_EQ(ui.list.lines.at(0),
              home / "TEMP" + platform::PathSeparator + "a.b.c.tr1 [1440000 bytes]");
#ifndef _WIN32
    EXPECT_EQ(fs::status(home / "TEMP").permissions() & fs::perms::others_write, fs::perms::none);
#endif
}

// Started with a set, the window builds it without registering, from any current
// directory, by a relative or an absolute name kept in UTF-8 on every system.
TEST_F(FormTest, StartedWithASetBuildsItWithoutRegistering) {
    const fs::path saved = fs::current_path();
    const Bytes source = RandomBytes(1440077, 21);
    // name, run from the set's folder (or another), named by a relative path (or an absolute one)
    const std::tuple<std::string, bool, bool> cases[] = {
        {"plain.bin", true, true},
        {"r\xC3\xA9sum\xC3\xA9.txt", false, true},
#ifndef _WIN32
        {"\"quoted\"", false, false}, // taken as it is; Windows names hold no quotes
#endif
    };
    for (const auto& [name, inItsFolder, relative] : cases) {
        WriteFile(in / name, source); // std::filesystem takes no UTF-8 names on Windows
        ui.Tren(in / name, {in.Path()});
        ASSERT_EQ(ui.LastLine(), "Finish Trening successfully");
        ScriptedForm started{ScriptedForm::Start::Unloaded};
        started.folders.push_back(out.Path());
        const std::string header = in / (name + ".tr0");
        fs::current_path(inItsFolder ? in.Path() : home.Path());
        const auto fromHere = fs::relative(fs::path(std::u8string(header.begin(), header.end())));
        started.form.Form_Load(relative ? reinterpret_cast<const char*>(fromHere.u8string().c_str())
                                        : header);
        fs::current_path(saved);
        EXPECT_EQ(started.Only("store "), Lines{});
        EXPECT_EQ(started.Boxes(), Lines{});
        EXPECT_EQ(started.list.lines,
                  (Lines{out / name + " [1440077 bytes]", "Finish building successfully"}));
        EXPECT_TRUE(ReadFile(out / name) == source);
    }
}

} // namespace
} // namespace tren::test
