#include "engine/SetReader.h"

#include "engine/Recovery.h"
#include "engine/Sums.h"
#include "engine/Transfers.h"
#include "platform/Paths.h"
#include "platform/RunTime.h"

#include <algorithm>
#include <span>

namespace tren::engine {

const char* StateName(PieceState state) {
    switch (state) {
    case PieceState::Ok:
        return "ok";
    case PieceState::Longer:
        return "longer";
    case PieceState::Short:
        return "short";
    case PieceState::Missing:
        return "missing";
    case PieceState::Unreadable:
        return "unreadable";
    case PieceState::Damaged:
        return "damaged";
    }
    return "";
}

SetReader::SetReader(platform::RunTime& runTime, std::string headerPath)
    : runTime_(runTime), headerPath_(std::move(headerPath)),
      folder_(platform::FolderOf(headerPath_)), title_(platform::FileNameOf(headerPath_)),
      sumsPath_(folder_ + sums::SumsNameFromHeader(title_)) {}

SetReader::~SetReader() = default;

std::optional<pieces::Header>
SetReader::Decode(const std::array<std::uint8_t, pieces::HeaderLength>& bytes) {
    headerRead_ = true;
    headerBytes_ = bytes;
    header_ = pieces::DecodeHeader(bytes);
    return header_;
}

std::optional<pieces::Header> SetReader::ReadHeader(TransferBuffers& buffers) {
    headerFile_ = runTime_.OpenInput(headerPath_);
    buffers.Buff.Resize(pieces::HeaderLength);
    buffers.CopyFileToBuff(*headerFile_, 1, ReadExtent::UpToEnd);
    std::array<std::uint8_t, pieces::HeaderLength> bytes{};
    std::copy_n(buffers.Buff.data(), bytes.size(), bytes.begin());
    return Decode(bytes);
}

std::optional<pieces::Header> SetReader::ReadHeader() {
    TransferBuffers buffers;
    return ReadHeader(buffers);
}

void SetReader::OpenPieces() {
    pieces_.clear();
    if (!header_)
        return;
    for (int index = 1; index <= header_->PieceCount; ++index) {
        PieceReport piece;
        piece.Index = index;
        piece.Path = folder_ + pieces::PieceNameFromHeader(title_, index);
        piece.Needed = pieces::ShareOf(*header_, index);
        try {
            const auto file = runTime_.OpenInput(piece.Path);
            piece.Id = file->Id();
            piece.Present = file->Length();
            piece.State = piece.Present < piece.Needed   ? PieceState::Short
                          : piece.Present > piece.Needed ? PieceState::Longer
                                                         : PieceState::Ok;
        } catch (const RunTimeError& failure) {
            piece.Present = -1;
            if (failure.Code() == ErrorCode::FileNotFound) {
                piece.State = PieceState::Missing;
            } else {
                piece.State = PieceState::Unreadable;
                piece.Failure = failure;
            }
        }
        pieces_.push_back(std::move(piece));
    }
}

std::unique_ptr<platform::InputFile> SetReader::Reopen(const PieceReport& piece) {
    auto file = runTime_.OpenInput(piece.Path);
    if (file->Id() != piece.Id || file->Length() < piece.Needed)
        throw RunTimeError(ErrorCode::InputPastEnd, "Cannot read", piece.Path,
                           "the piece changed while the set was read");
    return file;
}

void SetReader::CheckSums() {
    sumsChecked_ = wholeUnlisted_ = wholeDiffers_ = false;
    unlisted_.clear();
    // A checksum file whose name cannot exist in the folder is not there.
    if (!header_ ||
        platform::FileNameOf(sumsPath_).size() >
            runTime_.MaxNameLength(folder_.empty() ? runTime_.CurrentDirectory() : folder_))
        return;
    if (runTime_.Examine(sumsPath_).TargetKind == platform::EntryKind::Missing)
        return;
    const auto file = runTime_.OpenInput(sumsPath_);
    // A set's checksum file is small; a larger one is read as far as a set needs.
    std::vector<std::uint8_t> text(
        static_cast<std::size_t>(std::min<std::int64_t>(file->Length(), 1 << 20)));
    text.resize(file->ReadAt(0, text));
    const sums::Listing listing = sums::ListingOf(
        sums::Parse(std::string_view(reinterpret_cast<const char*>(text.data()), text.size())),
        title_.size() > 4 ? pieces::RebuiltName(title_) : std::string());
    sumsChecked_ = true;

    // One read of every share gives each piece's digest and, with every piece
    // there, the whole file's.
    const auto whole = runTime_.NewSha256();
    bool everyPiece = true;
    std::vector<std::uint8_t> buffer;
    for (auto& piece : pieces_) {
        const auto listed = listing.Pieces.find(piece.Index);
        if (listed == listing.Pieces.end())
            unlisted_.push_back(piece.Index);
        if (piece.State != PieceState::Ok && piece.State != PieceState::Longer) {
            everyPiece = false;
            continue;
        }
        const auto hasher = runTime_.NewSha256();
        sums::HashRange(*Reopen(piece), 0, piece.Needed, {hasher.get(), whole.get()}, buffer);
        if (listed != listing.Pieces.end() && sums::Hex(hasher->Finish()) != listed->second)
            piece.State = PieceState::Damaged;
    }
    if (everyPiece) {
        wholeUnlisted_ = !listing.Whole;
        wholeDiffers_ = listing.Whole && sums::Hex(whole->Finish()) != *listing.Whole;
    }
}

namespace {

// A file open elsewhere, lent for a while.
class BorrowedFile final : public platform::InputFile {
  public:
    explicit BorrowedFile(platform::InputFile& file) : file_(file) {}
    const std::string& Path() const override { return file_.Path(); }
    platform::FileId Id() const override { return file_.Id(); }
    std::int64_t Length() override { return file_.Length(); }
    platform::FileStamp Stamp() override { return file_.Stamp(); }
    std::size_t ReadAt(std::int64_t offset, std::span<std::uint8_t> into) override {
        return file_.ReadAt(offset, into);
    }

  private:
    platform::InputFile& file_;
};

} // namespace

bool SetReader::ChooseRecovery() {
    if (!recovery_)
        recovery_ =
            std::make_unique<recovery::Recovery>(runTime_, folder_, recovery::StemOf(title_));
    if (recoveryChecked_)
        return recoveryUsable_;
    recoveryChecked_ = true;
    if (recovery_->FileCount() == 0)
        return false;
    // The header piece is read through the file already open: a system may not
    // open a file twice. A header that reads well may still be damaged: its
    // bytes are checked like every piece's.
    recoveryUsable_ =
        recovery_->Choose() &&
        recovery_->Verify([this](int number) -> std::unique_ptr<platform::InputFile> {
            if (number == 0 && headerFile_)
                return std::make_unique<BorrowedFile>(*headerFile_);
            return runTime_.OpenInput(
                number == 0 ? headerPath_ : folder_ + pieces::PieceNameFromHeader(title_, number));
        });
    return recoveryUsable_;
}

std::optional<pieces::Header> SetReader::RepairHeader() {
    if (!ChooseRecovery() || !recovery_->Repairable() || recovery_->IsWhole(0))
        return header_;
    std::array<std::uint8_t, pieces::HeaderLength> bytes{};
    recovery_->Repair({0}, pieces::HeaderLength,
                      [&](int, std::int64_t offset, std::span<const std::uint8_t> data) {
                          for (std::size_t k = 0; k < data.size(); ++k)
                              if (offset + static_cast<std::int64_t>(k) <
                                  static_cast<std::int64_t>(pieces::HeaderLength))
                                  bytes[static_cast<std::size_t>(offset) + k] = data[k];
                      });
    headerRepaired_ = true;
    return Decode(bytes);
}

void SetReader::CheckRecovery() {
    if (!header_ || !ChooseRecovery())
        return;
    for (auto& piece : pieces_)
        if ((piece.State == PieceState::Ok || piece.State == PieceState::Longer) &&
            !recovery_->IsWhole(piece.Index))
            piece.State = PieceState::Damaged;
}

bool SetReader::Repairs() const {
    return recoveryUsable_ && recovery_->Repairable() && recovery_->MissingSlices() > 0;
}

namespace {

SetProblem PieceProblem(const PieceReport& piece) {
    switch (piece.State) {
    case PieceState::Missing:
        return {piece.Path, "Piece file is missing: " + piece.Path, std::nullopt};
    case PieceState::Short:
        return {piece.Path,
                "Piece file is too short: " + piece.Path + " holds " +
                    std::to_string(piece.Present) + " bytes, the set needs " +
                    std::to_string(piece.Needed),
                std::nullopt};
    case PieceState::Unreadable:
        return {piece.Path, piece.Failure->Description(), piece.Failure};
    case PieceState::Damaged:
    default:
        return {piece.Path, "Piece file is damaged: " + piece.Path, std::nullopt};
    }
}

} // namespace

std::optional<SetProblem> SetReader::FirstProblem() const {
    if (!headerRead_)
        return std::nullopt;
    if (!header_)
        return SetProblem{headerPath_, "Wrong version or corrupted file", std::nullopt};
    // Every file not whole comes back from the recovery files, and the whole file
    // can be checked only once they have.
    const bool repairs = Repairs();
    for (const auto& piece : pieces_) {
        if (piece.State == PieceState::Ok || piece.State == PieceState::Longer)
            continue;
        // A piece the checksum file disowns and the recovery files vouch for is
        // of another cut of one of them.
        if (repairs && !(piece.State == PieceState::Damaged && recovery_->IsWhole(piece.Index)))
            continue;
        SetProblem problem = PieceProblem(piece);
        if (recovery_ && recovery_->FileCount() > 0 && !recoveryUsable_)
            problem.Text += " (recovery files not used: " + recovery_->Ignored() + ")";
        else if (recoveryUsable_)
            problem.Text += " (" + recovery_->Shortfall() + ")";
        return problem;
    }
    // A checksum file that does not describe the whole set cannot vouch for it.
    if (!unlisted_.empty()) {
        const std::string piece = pieces_[static_cast<std::size_t>(unlisted_.front() - 1)].Path;
        return SetProblem{sumsPath_,
                          "The checksum file " + sumsPath_ + " has no line for " + piece + ".",
                          std::nullopt};
    }
    try {
        const std::string rebuilt = pieces::RebuiltName(title_);
        if (wholeUnlisted_)
            return SetProblem{sumsPath_,
                              "The checksum file " + sumsPath_ + " has no line for the file " +
                                  rebuilt + ".",
                              std::nullopt};
        if (wholeDiffers_ && !repairs)
            return SetProblem{sumsPath_,
                              "The pieces do not give the file " + rebuilt + " that " + sumsPath_ +
                                  " describes.",
                              std::nullopt};
    } catch (const RunTimeError& failure) {
        return SetProblem{headerPath_, failure.Description(), failure};
    }
    return std::nullopt;
}

} // namespace tren::engine
