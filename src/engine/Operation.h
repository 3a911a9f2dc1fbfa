#pragma once

#include "platform/Controls.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>

namespace tren {
class TransferBuffers;
}

// What trenning and building share: what they tell a person while they run, what
// they leave behind, and how they end.
namespace tren::engine {

// A message box: its title ("" for the application's), text and style, and the
// file it is about ("" when none), which a window that writes lines names.
struct Message {
    std::string Title;
    std::string Text;
    platform::MessageStyle Style = platform::MessageStyle::Exclamation;
    std::string File;
};

// How a run ended. A refusal comes before anything is written; a failure may
// come at any step, and leaves nothing half written.
class Outcome {
  public:
    enum class Kind { Finished, Refused, Failed };

    static Outcome Finished() { return Outcome(Kind::Finished, {}, std::nullopt); }
    static Outcome Refused(Message refusal) {
        return Outcome(Kind::Refused, std::move(refusal), std::nullopt);
    }
    static Outcome Failed(RunTimeError failure) {
        return Outcome(Kind::Failed, {}, std::move(failure));
    }

    Kind What() const noexcept { return kind_; }
    bool IsFinished() const noexcept { return kind_ == Kind::Finished; }
    // For Refused.
    const Message& Refusal() const noexcept { return refusal_; }
    // For Failed.
    const RunTimeError& Failure() const { return *failure_; }

  private:
    Outcome(Kind kind, Message refusal, std::optional<RunTimeError> failure)
        : kind_(kind), refusal_(std::move(refusal)), failure_(std::move(failure)) {}

    Kind kind_;
    Message refusal_;
    std::optional<RunTimeError> failure_;
};

// What a person sees of a run while it goes, and the one question it asks.
class OperationSink {
  public:
    virtual ~OperationSink() = default;
    // A file written, as its list line "PATH [N bytes]".
    virtual void ListWritten(const std::string& line) = 0;
    virtual void ProgressMax(int max) = 0;
    virtual void Progress(int value) = 0;
    // The folder to write into; "" when the person chose none.
    virtual std::string ChooseFolder(const std::string& title) = 0;
    // Building found the set's size code: the size list shows that entry.
    virtual void SizeChosen(int sizeCode) = 0;
    // Another run holds the folder; this one waits for it.
    virtual void Waiting(const std::string& folder) { (void)folder; }
};

// What a run leaves for the next one to overwrite, as the window keeps it.
struct RunState {
    // The file name, without folder, of the source or of the header piece.
    std::string SrcTitle;
    std::int32_t PieceSize = 0;
    std::int64_t FileLength = 0;
    std::uint8_t PieceCount = 0;
    std::uint8_t PieceIndex = 0;
    std::int64_t BuffPos = 0;
    std::int32_t LastPieceSize = 0;
    // Ends with the separator.
    std::string DestDir;
    // The file written last, or being written.
    std::string DestFile;
};

// Whether trenning also writes NAME.tr.sha256 beside the set.
enum class Checksums { Skip, Write };

// How much recovery data a set gets: whole pieces' worth, or a share of the
// set's pieces rounded up to whole ones.
struct RecoveryShare {
    int Amount = 0;
    bool Percent = false;
};
// The most pieces' worth a set gets.
constexpr int MaxRecovery = 32;

// What building does with a file already standing at the rebuilt file's name:
// replaces it, replaces it once it is in the disk's trash (where that disk has
// one), or refuses to run.
enum class Replacing { Overwrite, Trash, Refuse };

// The services and buffers a run works with.
struct OperationContext {
    platform::RunTime& RunTime;
    TransferBuffers& Buffers;
    OperationSink& Sink;
};

} // namespace tren::engine

namespace tren::engine {

// The chosen folder, or the system's default folder (made when missing) when the
// person chose none, ending with the separator.
std::string PrepareDestination(OperationContext& context, const std::string& pickerTitle);

// "PATH [N bytes]": the length written, not a fresh look at the disk, since once a
// file is in place there is nothing left that may fail.
std::string WrittenLine(const std::string& path, std::int64_t length);

// The folder's lock, telling the sink while another run holds it.
std::unique_ptr<platform::FolderLock>
LockFolder(OperationContext& context, const std::string& folder, platform::LockKind kind);

// Removes what killed runs left in the folder; a folder that cannot be tidied is
// still written to.
void RemoveLeftovers(platform::RunTime& runTime, const std::string& folder);

// A length as the folder's disk allots it, in whole units.
std::int64_t Allotted(const platform::DiskSpace& space, std::int64_t length);

// The refusal of files that need more room than the folder's disk has free, or
// nothing where they fit.
std::optional<Message> CheckRoom(const std::string& title, const std::string& folder,
                                 const platform::DiskSpace& space, std::int64_t needed);

// The refusal of a name the folder's disk would not take as it is given.
std::optional<Message> CheckNameAllowed(platform::RunTime& runTime, const std::string& title,
                                        const std::string& folder, const std::string& name);

// The refusal of a name longer than its folder can hold.
Message NameTooLong(const std::string& title, const std::string& path, std::size_t length,
                    std::size_t limit);

// Runs an operation's steps, turning whatever failure ends them into its outcome.
template <class Steps>
Outcome Guarded(const std::string& operation, const std::string& path, Steps&& steps) {
    try {
        return steps();
    } catch (const RunTimeError& failure) {
        return Outcome::Failed(failure);
    } catch (const std::bad_alloc&) {
        return Outcome::Failed(RunTimeError(ErrorCode::OutOfMemory, operation, path));
    }
}

} // namespace tren::engine
