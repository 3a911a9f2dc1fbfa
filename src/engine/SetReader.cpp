#include "engine/SetReader.h"

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

std::optional<SetProblem> SetReader::FirstProblem() const {
    if (!headerRead_)
        return std::nullopt;
    if (!header_)
        return SetProblem{headerPath_, "Wrong version or corrupted file", std::nullopt};
    for (const auto& piece : pieces_) {
        switch (piece.State) {
        case PieceState::Missing:
            return SetProblem{piece.Path, "Piece file is missing: " + piece.Path, std::nullopt};
        case PieceState::Short:
            return SetProblem{piece.Path,
                              "Piece file is too short: " + piece.Path + " holds " +
                                  std::to_string(piece.Present) + " bytes, the set needs " +
                                  std::to_string(piece.Needed),
                              std::nullopt};
        case PieceState::Unreadable:
            return SetProblem{piece.Path, piece.Failure->Description(), piece.Failure};
        case PieceState::Damaged:
            return SetProblem{piece.Path, "Piece file is damaged: " + piece.Path, std::nullopt};
        case PieceState::Ok:
        case PieceState::Longer:
            break;
        }
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
        if (wholeDiffers_)
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
