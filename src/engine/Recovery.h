#pragma once

#include "engine/Par2Format.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tren::platform {
class InputFile;
class RunTime;
} // namespace tren::platform

// A set's recovery files, NAME.tr.par2 and NAME.tr.volXX+YY.par2 beside its pieces,
// in the open PAR 2.0 format: the header piece and every data piece are the input
// files, so that any PAR2 tool can check and repair the set, and tren can use the
// recovery files such a tool made for it.
namespace tren::engine::recovery {

// Memory for the Galois-field work, whatever the recovery count: the slices are
// worked through in windows of this many bytes in all.
constexpr std::size_t WorkBudget = 48u << 20;
// The end Repair takes for every byte of the slices.
constexpr std::int64_t WholeSlices = std::int64_t{1} << 60;

// "report.doc.tr0" gives "report.doc.tr", the stem of every recovery file's name.
std::string StemOf(std::string_view headerTitle);

// A file of the piece set, as a recovery set takes it in.
struct Input {
    // 0 for the header piece.
    int Number = 0;
    std::string Name;
    // Where it stands; its bytes are given instead where it is not written yet.
    std::string Path;
    std::vector<std::uint8_t> Bytes;
    std::int64_t Length = 0;
};

// A file a run writes, for its checks before anything is written and its list.
struct PlannedFile {
    std::string Name;
    std::int64_t Length = 0;
};

// The recovery files that count recovery slices of sliceSize bytes give for inputs.
std::vector<PlannedFile> Plan(std::string_view stem, const std::vector<Input>& inputs,
                              std::int64_t sliceSize, int count);

// Writes the files Plan names into folder; each takes its name once whole and is
// let go, as the pieces are. Calls written for each with its full path.
void Write(platform::RunTime& runTime, const std::string& folder, std::string_view stem,
           const std::vector<Input>& inputs, std::int64_t sliceSize, int count,
           const std::function<void(const std::string& path, std::int64_t length)>& written);

// Whether name is one of stem's recovery files: stem.par2 or stem.vol*.par2, in any
// case.
bool IsRecoveryName(std::string_view stem, std::string_view name);

// One input file of a recovery set, tied to the piece of the same number.
struct Described {
    int Number = 0;
    par2::FileDescription File;
    std::vector<par2::SliceCheck> Checks;
    // Its first slice in the set's order, and how many it has.
    int FirstSlice = 0;
    int SliceCount = 0;
    // Found by Verify: which slices are whole.
    std::vector<bool> Whole;
};

// What the recovery files beside a set hold for it.
class Recovery {
  public:
    // Reads every recovery file of stem in folder.
    Recovery(platform::RunTime& runTime, std::string folder, std::string stem);

    // Recovery files found beside the set, whether or not they describe it.
    int FileCount() const { return fileCount_; }
    // Takes the recovery set whose files are a header piece and data pieces
    // numbered from 1 up, matched by the numbers their names end in, so that a
    // renamed set keeps its recovery files; returns whether one was found.
    // Ignored() says why the recovery files found were not taken.
    bool Choose();
    const std::string& Ignored() const { return ignored_; }
    bool Chosen() const { return chosen_.has_value(); }
    // The piece count the chosen set describes (its highest number).
    int PieceCount() const;
    std::int64_t LengthOf(int number) const;
    // The recovery slices the chosen set has.
    int SliceCount() const;

    // Opens the set's file of a number; kept for Repair. A failure to open is
    // thrown as the run-time throws it.
    using Opener = std::function<std::unique_ptr<platform::InputFile>(int number)>;
    // Reads every input file and checks each of its slices; a file that cannot be
    // opened has none whole. Returns false when not one data piece matches: the
    // recovery files are of another cut of the same name.
    bool Verify(const Opener& open);
    // The slices not whole, and the pieces they belong to.
    int MissingSlices() const;
    std::vector<int> DamagedNumbers() const;
    bool IsWhole(int number) const;
    bool Repairable() const { return Chosen() && MissingSlices() <= SliceCount(); }
    // "2 pieces are not whole: 3 slices are missing, the recovery files hold 2".
    std::string Shortfall() const;

    // Computes the slices that are not whole, for the files numbered in wanted,
    // over their bytes [0, end), window by window in order; each file's bytes go
    // to deliver, which sees each offset once. The bytes are checked against the
    // set's checksums before the call returns, and a mismatch is thrown.
    using Delivery =
        std::function<void(int number, std::int64_t offset, std::span<const std::uint8_t>)>;
    void Repair(const std::vector<int>& wanted, std::int64_t end, const Delivery& deliver);

    // The whole slices of a damaged file, as (offset, length) ranges of its bytes.
    std::vector<std::pair<std::int64_t, std::int64_t>> WholeRanges(int number) const;

  private:
    const Described& Find(int number) const;

    platform::RunTime& runTime_;
    std::string folder_;
    std::string stem_;
    int fileCount_ = 0;
    par2::ScanReport report_;
    std::string ignored_;
    std::optional<par2::Md5> chosen_;
    std::int64_t sliceSize_ = 0;
    std::vector<Described> files_;
    // The chosen set's recovery slices, by exponent.
    std::vector<par2::RecoverySliceAt> slices_;
    Opener open_;
};

} // namespace tren::engine::recovery
