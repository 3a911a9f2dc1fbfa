#pragma once

#include "engine/PieceSet.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tren {
class TransferBuffers;
}

namespace tren::engine {

namespace recovery {
class Recovery;
}

// What a data piece's file holds against what the set needs of it.
enum class PieceState {
    Ok,
    Longer,     // more than its share, which is all that is read
    Short,      // less than its share
    Missing,    // no file of that name
    Unreadable, // there, but it cannot be opened
    Damaged,    // its share does not match the checksum file's line
};

// "ok", "longer", "short", "missing", "unreadable", "damaged".
const char* StateName(PieceState state);

struct PieceReport {
    int Index = 0;
    std::string Path;
    std::int64_t Needed = 0;
    // The file's length; -1 when it is missing or unreadable.
    std::int64_t Present = -1;
    PieceState State = PieceState::Missing;
    // Why an unreadable piece cannot be opened.
    std::optional<RunTimeError> Failure;
    // The file measured, so that a later open can tell it is still the same one;
    // pieces are not held open, so that a set of any length needs few files.
    platform::FileId Id;
};

// Why a set cannot be built: a refusal about one file, or the failure of a file
// that could not be read at all.
struct SetProblem {
    std::string File;
    std::string Text;
    std::optional<RunTimeError> Failure;
};

// Reads a set once, in the order building needs it: the header piece, then every
// data piece beside it, then the checksum file where one stands there. Building,
// info and verify all ask it; it writes nothing.
class SetReader {
  public:
    SetReader(platform::RunTime& runTime, std::string headerPath);
    ~SetReader();

    const std::string& HeaderPath() const { return headerPath_; }
    const std::string& Folder() const { return folder_; }
    const std::string& Title() const { return title_; }

    // Opens the header piece and reads its first 10 bytes into the buffers' Buff;
    // the bytes a short header lacks count as 0. Returns the header's fields, or
    // nothing when they are damaged. A header that cannot be read is thrown.
    std::optional<pieces::Header> ReadHeader(TransferBuffers& buffers);
    // The same without the window's buffers.
    std::optional<pieces::Header> ReadHeader();
    const platform::InputFile& HeaderFile() const { return *headerFile_; }
    // Closes the header piece, so that it can be replaced (a system may not
    // replace a file that is open).
    void CloseHeader() { headerFile_.reset(); }

    // Opens data pieces 1 to N in turn and measures each.
    void OpenPieces();
    // Opens a piece measured by OpenPieces again, failing where another file
    // now stands at its name or it lost bytes the set needs.
    std::unique_ptr<platform::InputFile> Reopen(const PieceReport& piece);
    std::vector<PieceReport>& Pieces() { return pieces_; }
    const std::vector<PieceReport>& Pieces() const { return pieces_; }

    // Hashes the share of every piece there in full against NAME.tr.sha256 beside
    // the header, where one stands, marking the damaged pieces; a line is matched
    // to its piece by the piece's number, whatever the set is called now.
    void CheckSums();
    const std::string& SumsPath() const { return sumsPath_; }
    // A checksum file stands beside the header and was read.
    bool SumsChecked() const { return sumsChecked_; }
    // The pieces the checksum file has no line for.
    const std::vector<int>& Unlisted() const { return unlisted_; }
    // With every piece there: the checksum file has no line for the whole file,
    // or the pieces give a whole that does not match it.
    bool WholeUnlisted() const { return wholeUnlisted_; }
    bool WholeDiffers() const { return wholeDiffers_; }

    // Where the header piece is not whole (or not there at all) and recovery
    // files beside it describe the set, rebuilds its 10 bytes from them; they
    // are what the header then holds. Returns the header, or nothing. Asked
    // after ReadHeader, or instead of it where the header piece is lost.
    std::optional<pieces::Header> RepairHeader();
    // Reads the recovery files beside the header; where they describe this set,
    // checks every piece against them, marking the damaged ones.
    void CheckRecovery();
    // The recovery files read, whether or not they describe the set; null before
    // CheckRecovery or RepairHeader.
    recovery::Recovery* Recovery() const { return recovery_.get(); }
    // Some file of the set is not whole, and the recovery files can give it back.
    bool Repairs() const;
    // The header's bytes came from the recovery files.
    bool HeaderRepaired() const { return headerRepaired_; }
    const std::array<std::uint8_t, pieces::HeaderLength>& HeaderBytes() const {
        return headerBytes_;
    }

    // The first reason the set read so far cannot be built, in the order building
    // meets them: the header, the rebuilt file's name, then each piece in turn.
    std::optional<SetProblem> FirstProblem() const;

  private:
    std::optional<pieces::Header> Decode(const std::array<std::uint8_t, pieces::HeaderLength>&);
    // Reads the recovery files once and checks the set against them once.
    bool ChooseRecovery();

    platform::RunTime& runTime_;
    std::string headerPath_;
    std::string folder_;
    std::string title_;
    std::unique_ptr<platform::InputFile> headerFile_;
    std::optional<pieces::Header> header_;
    bool headerRead_ = false;
    std::vector<PieceReport> pieces_;
    std::string sumsPath_;
    bool sumsChecked_ = false;
    std::vector<int> unlisted_;
    bool wholeUnlisted_ = false;
    bool wholeDiffers_ = false;
    std::array<std::uint8_t, pieces::HeaderLength> headerBytes_{};
    std::unique_ptr<recovery::Recovery> recovery_;
    bool recoveryChecked_ = false;
    bool recoveryUsable_ = false;
    bool headerRepaired_ = false;
};

} // namespace tren::engine
