#include "engine/Trenning.h"

#include "engine/PieceSet.h"
#include "engine/Recovery.h"
#include "engine/Sums.h"
#include "engine/Transfers.h"
#include "platform/RunTime.h"

#include <algorithm>
#include <array>
#include <memory>
#include <variant>
#include <vector>

namespace tren::engine {

using platform::EntryKind;
using platform::MessageStyle;

namespace {

constexpr const char* TrenningError = "Trenning Error";

// What a run writes, the recovery share made a count.
struct Request {
    std::string Source;
    Checksums Sums = Checksums::Skip;
    int Recovery = 0;
};

// The source's length against the piece size, before anything is read.
std::optional<Message> CheckLength(const std::string& source, std::int64_t length,
                                   std::int32_t pieceSize) {
    if (length <= pieceSize)
        return Message{"Trenning Warnning", "file is too small for Trening",
                       MessageStyle::Information, source};
    // 255 full pieces and a partial one would need a 256th piece, which the
    // one-byte piece count cannot record; exactly 255 full pieces fit.
    if (length > std::int64_t{pieces::MaxPieceCount} * pieceSize)
        return Message{TrenningError, "Multiple size is too large... sorry...",
                       MessageStyle::Exclamation, source};
    return std::nullopt;
}

// The 10 bytes of the header piece, known before it is written.
std::array<std::uint8_t, pieces::HeaderLength> HeaderBytes(const RunState& state) {
    return pieces::EncodeHeader({state.PieceCount,
                                 state.LastPieceSize > 0 ? state.LastPieceSize : state.PieceSize,
                                 static_cast<std::uint8_t>(pieces::SizeCodeOf(state.PieceSize))});
}

// The set's files as its recovery files take them in: the data pieces as they
// will stand, and the header's bytes before it is written.
std::vector<recovery::Input> RecoveryInputs(const RunState& state) {
    std::vector<recovery::Input> inputs;
    for (int index = 1; index <= state.PieceCount; ++index)
        inputs.push_back({index,
                          pieces::PieceName(state.SrcTitle, index),
                          state.DestDir + pieces::PieceName(state.SrcTitle, index),
                          {},
                          index == state.PieceCount && state.LastPieceSize > 0 ? state.LastPieceSize
                                                                               : state.PieceSize});
    const auto header = HeaderBytes(state);
    inputs.push_back({0,
                      pieces::PieceName(state.SrcTitle, 0),
                      {},
                      {header.begin(), header.end()},
                      pieces::HeaderLength});
    return inputs;
}

// Each recovery slice is a piece's length, so that a lost piece is one slice.
std::vector<recovery::PlannedFile> RecoveryPlan(const RunState& state, int count) {
    if (count == 0)
        return {};
    return recovery::Plan(recovery::StemOf(pieces::PieceName(state.SrcTitle, 0)),
                          RecoveryInputs(state), state.PieceSize, count);
}

// An old set's recovery files, of any count: they would describe the old pieces.
std::vector<std::string> OldRecoveryFiles(platform::RunTime& runTime, const RunState& state) {
    const std::string stem = recovery::StemOf(pieces::PieceName(state.SrcTitle, 0));
    std::vector<std::string> paths;
    for (const auto& name : runTime.NamesStartingWith(state.DestDir, stem))
        if (recovery::IsRecoveryName(stem, name))
            paths.push_back(state.DestDir + name);
    return paths;
}

// Every name the set will take, looked at before anything is written: none may be
// the source under another name, none may be a folder, pipe or device, and the
// longest must fit the folder.
std::optional<Message> CheckPieceNames(platform::RunTime& runTime, const RunState& state,
                                       const platform::InputFile& source, const Request& request) {
    const Checksums sums = request.Sums;
    std::vector<std::string> names;
    for (int index = 0; index <= state.PieceCount; ++index)
        names.push_back(pieces::PieceName(state.SrcTitle, index));
    if (sums == Checksums::Write)
        names.push_back(sums::SumsName(state.SrcTitle));
    for (const auto& file : RecoveryPlan(state, request.Recovery))
        names.push_back(file.Name);
    const std::size_t limit = runTime.MaxNameLength(state.DestDir);
    for (const auto& name : names)
        if (name.size() > limit)
            return NameTooLong(TrenningError, state.DestDir + name, name.size(), limit);
    // The names differ only in their endings: the header's and the last one
    // stand for all.
    for (const auto& name : {names.front(), names.back()})
        if (auto refusal = CheckNameAllowed(runTime, TrenningError, state.DestDir, name))
            return refusal;
    // An old checksum file is looked at even when none is written: it is removed.
    // One whose name cannot exist in this folder is not there.
    if (sums == Checksums::Skip && sums::SumsName(state.SrcTitle).size() <= limit)
        names.push_back(sums::SumsName(state.SrcTitle));
    for (const auto& name : names) {
        const std::string piece = state.DestDir + name;
        const platform::EntryInfo entry = runTime.Examine(piece);
        if ((entry.Kind != EntryKind::Missing && entry.Id == source.Id()) ||
            (entry.TargetKind != EntryKind::Missing && entry.TargetId == source.Id()))
            return Message{TrenningError,
                           "The piece " + piece + " is the file being trenned, " + source.Path() +
                               ", under another name. Choose another folder.",
                           MessageStyle::Exclamation, piece};
        if (entry.Kind == EntryKind::Folder || entry.Kind == EntryKind::Other)
            return Message{TrenningError,
                           "The piece " + piece +
                               " cannot be written: something other than a file stands there.",
                           MessageStyle::Exclamation, piece};
    }
    return std::nullopt;
}

// The new set against the room its disk has: what the old set gives back counts,
// since the old header and checksum file go first and every old piece is
// replaced by name; a piece replaced is still there while its successor is
// written, so room for one more piece is kept.
std::optional<Message> CheckSpace(platform::RunTime& runTime, const RunState& state,
                                  const Request& request) {
    const Checksums sums = request.Sums;
    const platform::DiskSpace space = runTime.SpaceOf(state.DestDir);
    const auto allotted = [&](std::int64_t length) { return Allotted(space, length); };
    std::int64_t needed = allotted(pieces::HeaderLength);
    for (int index = 1; index <= state.PieceCount; ++index)
        needed +=
            allotted(index == state.PieceCount && state.LastPieceSize > 0 ? state.LastPieceSize
                                                                          : state.PieceSize);
    std::vector<std::string> names{pieces::PieceName(state.SrcTitle, 0)};
    if (sums == Checksums::Write) {
        // One line per piece and one for the whole file: digest, two blanks, name.
        const std::int64_t line = 64 + 3 + static_cast<std::int64_t>(state.SrcTitle.size() + 5);
        needed += allotted(line * (state.PieceCount + 1));
        names.push_back(sums::SumsName(state.SrcTitle));
    }
    for (const auto& file : RecoveryPlan(state, request.Recovery))
        needed += allotted(file.Length);
    std::int64_t givenBack = 0;
    for (const auto& path : OldRecoveryFiles(runTime, state))
        if (runTime.Examine(path).Kind == EntryKind::Regular)
            givenBack += allotted(runTime.FileLength(path));
    bool replacesPiece = false;
    for (int index = 1; index <= state.PieceCount; ++index)
        names.push_back(pieces::PieceName(state.SrcTitle, index));
    for (const auto& name : names) {
        const std::string path = state.DestDir + name;
        if (runTime.Examine(path).Kind != EntryKind::Regular)
            continue;
        givenBack += allotted(runTime.FileLength(path));
        replacesPiece = replacesPiece || name != names.front();
    }
    if (replacesPiece)
        needed += allotted(state.PieceSize);
    return CheckRoom(TrenningError, state.DestDir, space,
                     std::max<std::int64_t>(needed - givenBack, 0));
}

// The old header goes first, so that at no moment does a header describe pieces
// other than the ones beside it. Old checksums go too: they would describe the
// old pieces.
void RemoveStale(platform::RunTime& runTime, const std::string& folder,
                 const std::vector<std::string>& stale) {
    bool removed = false;
    for (const auto& path : stale) {
        if (runTime.Examine(path).Kind != EntryKind::Missing) {
            runTime.RemoveFile(path);
            removed = true;
        }
    }
    if (removed)
        runTime.FlushFolder(folder);
}

// The piece count an old header at this name claims, or 0 where there is none to
// believe; read before the header goes, so that its higher pieces can go too.
int OldPieceCount(platform::RunTime& runTime, const std::string& header) {
    if (runTime.Examine(header).Kind != EntryKind::Regular)
        return 0;
    std::array<std::uint8_t, pieces::HeaderLength> bytes{};
    runTime.OpenInput(header)->ReadAt(0, bytes);
    const auto old = pieces::DecodeHeader(bytes);
    return old ? old->PieceCount : 0;
}

// A shorter set cut over a longer one: the old pieces above the new count would
// outlive their set. Only regular files go.
// Put on the disk with the new set, before its header.
void RemoveHigherPieces(platform::RunTime& runTime, const RunState& state, int oldCount) {
    for (int index = state.PieceCount + 1; index <= oldCount; ++index) {
        const std::string piece = state.DestDir + pieces::PieceName(state.SrcTitle, index);
        if (runTime.Examine(piece).Kind == EntryKind::Regular)
            runTime.RemoveFile(piece);
    }
}

// Writes the data pieces one by one, and their checksum lines when asked.
class PieceWriter {
  public:
    PieceWriter(OperationContext& context, RunState& state, platform::InputFile& source,
                Checksums sums)
        : context_(context), state_(state), source_(source), sums_(sums) {
        if (sums_ == Checksums::Write)
            whole_ = context_.RunTime.NewSha256();
    }

    void Write(int index, std::int32_t share) {
        state_.PieceIndex = static_cast<std::uint8_t>(index);
        state_.BuffPos = std::int64_t{index - 1} * state_.PieceSize;
        state_.DestFile = state_.DestDir + pieces::PieceName(state_.SrcTitle, index);
        auto piece = context_.RunTime.CreateOutput(state_.DestFile, platform::Naming::ReplaceName);
        if (sums_ == Checksums::Write) {
            // The checksums describe the very bytes written, read once: a source
            // rewritten under the run cannot give pieces that its lines disown.
            TransferBuffers& buffers = context_.Buffers;
            buffers.MultiBuff.Prepare(static_cast<std::size_t>(share));
            buffers.CopyFileToMultiBuff(source_, state_.BuffPos + 1, ReadExtent::Whole);
            const auto hasher = context_.RunTime.NewSha256();
            for (auto* each : {hasher.get(), whole_.get()})
                each->Add(buffers.MultiBuff.Bytes());
            buffers.SaveMultiBuffToFile(*piece, 1);
            sumLines_ += sums::Line(hasher->Finish(), pieces::PieceName(state_.SrcTitle, index));
        } else {
            context_.Buffers.CopyFileToFile(source_, state_.BuffPos + 1, *piece, 1, share);
        }
        // The disk starts on this piece while the next one is cut; nothing waits
        // for it until the whole set is written, and no piece stays open, so that
        // a set of any length needs few files.
        piece->StartFlush();
        piece->Publish();
        piece->Release();
        context_.Sink.ListWritten(WrittenLine(state_.DestFile, share));
    }

    // Writes the checksum file beside the pieces.
    void Finish(const std::string& sumsFile) {
        if (sums_ == Checksums::Write) {
            sumLines_ += sums::Line(whole_->Finish(), state_.SrcTitle);
            state_.DestFile = sumsFile;
            const auto file =
                context_.RunTime.CreateOutput(sumsFile, platform::Naming::ReplaceName);
            file->WriteAt(0, std::span(reinterpret_cast<const std::uint8_t*>(sumLines_.data()),
                                       sumLines_.size()));
            file->Publish();
            file->Release();
            context_.Sink.ListWritten(
                WrittenLine(sumsFile, static_cast<std::int64_t>(sumLines_.size())));
        }
    }

  private:
    OperationContext& context_;
    RunState& state_;
    platform::InputFile& source_;
    Checksums sums_;
    std::unique_ptr<platform::Hasher> whole_;
    std::string sumLines_;
};

// The 10 bytes, written last: once every piece is on the disk, a run that stops
// early, or a machine that stops, leaves no set that building would accept.
void WriteHeader(OperationContext& context, RunState& state, const std::string& header) {
    const auto bytes = HeaderBytes(state);
    TransferBuffer& MultiBuff = context.Buffers.MultiBuff;
    MultiBuff.Resize(bytes.size());
    std::copy(bytes.begin(), bytes.end(), MultiBuff.data());
    state.DestFile = header;
    const auto file = context.RunTime.CreateOutput(header, platform::Naming::ReplaceName);
    context.Buffers.SaveMultiBuffToFile(*file, 1);
    file->StartFlush();
    // One wait puts every piece, the checksum file, the removals and the header's
    // own bytes on the disk; only then does the header take its name.
    context.RunTime.FlushDisk(state.DestDir);
    file->Flush();
    file->Publish();
    file->FlushName();
    context.Sink.ListWritten(WrittenLine(header, static_cast<std::int64_t>(bytes.size())));
}

// The set's counts from the source's length and the piece size, or why the
// source cannot be cut; nothing is read or asked before.
std::optional<Message> Plan(platform::RunTime& runTime, const std::string& fname, RunState& state) {
    state.FileLength = runTime.FileLength(fname);
    if (auto refusal = CheckLength(fname, state.FileLength, state.PieceSize))
        return refusal;
    // The header records the size the pieces are cut with, never a selection
    // that may differ from it.
    if (pieces::SizeCodeOf(state.PieceSize) == 0)
        throw RunTimeError(ErrorCode::InvalidArgument, "Cannot tren", fname,
                           "the piece size " + std::to_string(state.PieceSize) +
                               " is not in the size list");
    const int fullPieces = static_cast<int>(state.FileLength / state.PieceSize);
    state.LastPieceSize =
        static_cast<std::int32_t>(state.FileLength - std::int64_t{fullPieces} * state.PieceSize);
    state.PieceCount = static_cast<std::uint8_t>(fullPieces + (state.LastPieceSize > 0 ? 1 : 0));
    return std::nullopt;
}

// The recovery slices a share gives this set, or why it gives too many.
std::variant<int, Message> RecoveryCount(const RecoveryShare& share, const RunState& state,
                                         const std::string& source) {
    const int count = share.Percent ? (share.Amount * state.PieceCount + 99) / 100 : share.Amount;
    if (count > MaxRecovery)
        return Message{TrenningError,
                       std::to_string(share.Amount) + "% of " + std::to_string(state.PieceCount) +
                           " pieces is " + std::to_string(count) +
                           " pieces' worth of recovery data; a set gets at most " +
                           std::to_string(MaxRecovery) + ".",
                       MessageStyle::Exclamation, source};
    return count;
}

Outcome Cut(const TrenRequest& given, OperationContext& context, RunState& state) {
    platform::RunTime& runTime = context.RunTime;
    const std::string& fname = given.Source;
    if (auto refusal = Plan(runTime, fname, state))
        return Outcome::Refused(std::move(*refusal));
    auto count = RecoveryCount(given.Recovery, state, fname);
    if (auto* refusal = std::get_if<Message>(&count))
        return Outcome::Refused(std::move(*refusal));
    const Request request{given.Source, given.Sums, std::get<int>(count)};
    const int fullPieces = static_cast<int>(state.FileLength / state.PieceSize);

    // The source is opened before the person is asked for a folder, so that an
    // unreadable source fails first; it stays open, the same file throughout.
    const auto source = runTime.OpenInput(fname);
    const platform::FileStamp stamp = source->Stamp();
    // A source written to while it is cut would give pieces of no one version.
    const auto checkUnchanged = [&] {
        if (source->Stamp() != stamp)
            throw RunTimeError(ErrorCode::InputPastEnd, "Cannot tren", fname,
                               "the file changed while it was read");
    };
    if (stamp.Length != state.FileLength)
        throw RunTimeError(ErrorCode::InputPastEnd, "Cannot tren", fname,
                           "the file changed while it was read");
    state.DestDir = PrepareDestination(context, "Select directory to tren to...");

    // One set at a time in a folder: another tren of the same name would mix its
    // pieces with these, and a build would read a set being replaced.
    const auto lock = LockFolder(context, state.DestDir, platform::LockKind::Exclusive);
    if (auto refusal = CheckPieceNames(runTime, state, *source, request))
        return Outcome::Refused(std::move(*refusal));
    if (auto refusal = CheckSpace(runTime, state, request))
        return Outcome::Refused(std::move(*refusal));
    RemoveLeftovers(runTime, state.DestDir);
    const std::string header = state.DestDir + pieces::PieceName(state.SrcTitle, 0);
    const std::string sumsFile = state.DestDir + sums::SumsName(state.SrcTitle);
    const int oldCount = OldPieceCount(runTime, header);
    std::vector<std::string> stale{header};
    if (sums::SumsName(state.SrcTitle).size() <= runTime.MaxNameLength(state.DestDir))
        stale.push_back(sumsFile);
    for (const auto& path : OldRecoveryFiles(runTime, state))
        stale.push_back(path);
    RemoveStale(runTime, state.DestDir, stale);

    const int steps = fullPieces + 2;
    context.Sink.ProgressMax(steps);
    PieceWriter writer(context, state, *source, request.Sums);
    for (int index = 1; index <= fullPieces; ++index) {
        context.Sink.Progress(index);
        writer.Write(index, state.PieceSize);
        checkUnchanged();
    }
    context.Sink.Progress(fullPieces + 1);
    if (state.LastPieceSize > 0)
        writer.Write(state.PieceCount, state.LastPieceSize); // after at most 254 full pieces
    else
        state.LastPieceSize = state.PieceSize;
    context.Sink.Progress(steps);
    checkUnchanged();

    writer.Finish(sumsFile);
    if (request.Recovery > 0) {
        // Made from the pieces as written, and before the header: a set whose
        // header stands has its recovery files beside it.
        const auto inputs = RecoveryInputs(state);
        recovery::Write(runTime, state.DestDir, recovery::StemOf(inputs.back().Name), inputs,
                        state.PieceSize, request.Recovery,
                        [&](const std::string& path, std::int64_t length) {
                            state.DestFile = path;
                            context.Sink.ListWritten(WrittenLine(path, length));
                        });
    }
    RemoveHigherPieces(runTime, state, oldCount);
    WriteHeader(context, state, header);
    return Outcome::Finished();
}

} // namespace

Outcome Tren(const TrenRequest& request, OperationContext& context, RunState& state) {
    if (request.Source.empty())
        return Outcome::Refused(
            {TrenningError, "No file to Tren", MessageStyle::Exclamation, std::string()});
    return Guarded("Cannot tren", request.Source, [&] { return Cut(request, context, state); });
}

} // namespace tren::engine
