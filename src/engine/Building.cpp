#include "engine/Building.h"

#include "engine/PieceSet.h"
#include "engine/Recovery.h"
#include "engine/SetReader.h"
#include "engine/Transfers.h"
#include "platform/Paths.h"
#include "platform/RunTime.h"

#include <algorithm>
#include <vector>

namespace tren::engine {

using platform::EntryKind;
using platform::MessageStyle;

namespace {

constexpr const char* BuildingError = "Building Error";

Outcome RefuseOrFail(SetProblem problem) {
    if (problem.Failure)
        throw *problem.Failure;
    return Outcome::Refused(
        {BuildingError, std::move(problem.Text), MessageStyle::Exclamation, problem.File});
}

// Replacing a file of the set with the rebuilt one would destroy the set.
std::optional<Message> CheckDestination(platform::RunTime& runTime, const SetReader& set,
                                        const std::string& destination) {
    const platform::EntryInfo entry = runTime.Examine(destination);
    if (entry.TargetKind == EntryKind::Missing)
        return std::nullopt;
    std::vector<std::pair<platform::FileId, std::string>> setFiles{
        {set.HeaderFile().Id(), set.HeaderFile().Path()}};
    for (const auto& piece : set.Pieces())
        setFiles.emplace_back(piece.Id, piece.Path);
    for (const auto& [id, path] : setFiles)
        if (id == entry.TargetId || id == entry.Id)
            return Message{BuildingError,
                           "The rebuilt file " + destination + " would replace " + path +
                               ", a file of the set being built. Choose another folder.",
                           MessageStyle::Exclamation, destination};
    return std::nullopt;
}

// What becomes of a file standing at the destination; asked before anything is
// written, so that a disk without a trash is known before the image is there.
struct Replacement {
    std::optional<Message> Refusal;
    bool ToTrash = false;
};

Replacement PlanReplacement(platform::RunTime& runTime, const std::string& destination,
                            Replacing existing) {
    const platform::EntryInfo entry = runTime.Examine(destination);
    if (entry.TargetKind == EntryKind::Missing)
        return {};
    if (existing == Replacing::Refuse)
        return {Message{BuildingError, "The file " + destination + " already exists.",
                        MessageStyle::Exclamation, destination}};
    // A link is replaced where it leads, as before; only a plain file is kept.
    return {std::nullopt, existing == Replacing::Trash && entry.Kind == EntryKind::Regular &&
                              runTime.HasTrash(destination)};
}

// The rebuilt file against the room its disk has; the file it replaces stays
// until the new one is whole.
std::optional<Message> CheckImageRoom(platform::RunTime& runTime, const RunState& state,
                                      std::int64_t length) {
    if (runTime.Examine(state.DestFile).TargetKind == EntryKind::Other)
        return std::nullopt; // a device is written where it stands
    const platform::DiskSpace space = runTime.SpaceOf(state.DestDir);
    return CheckRoom(BuildingError, state.DestDir, space, Allotted(space, length));
}

// The image is written as a new file that takes the destination's name only once
// it is whole and on the disk, so that a failure leaves an existing file as it
// was and nothing half written behind.
void WriteImage(OperationContext& context, RunState& state, SetReader& set,
                const pieces::Header& header, bool toTrash) {
    const auto image =
        context.RunTime.CreateOutput(state.DestFile, platform::Naming::ReplaceLinkTarget);
    const auto offsetOf = [&](int index) { return std::int64_t{index - 1} * state.PieceSize; };
    std::vector<int> repaired;
    for (auto& piece : set.Pieces()) {
        context.Sink.Progress(piece.Index + 1);
        if (set.Repairs() && !set.Recovery()->IsWhole(piece.Index)) {
            // What is whole of it is taken as it stands; the rest comes back below.
            repaired.push_back(piece.Index);
            for (const auto& [start, length] : set.Recovery()->WholeRanges(piece.Index))
                context.Buffers.CopyFileToFile(*context.RunTime.OpenInput(piece.Path), start + 1,
                                               *image, offsetOf(piece.Index) + start + 1, length);
            continue;
        }
        context.Buffers.CopyFileToFile(*set.Reopen(piece), 1, *image, offsetOf(piece.Index) + 1,
                                       piece.Needed);
        image->StartFlush();
    }
    if (!repaired.empty())
        set.Recovery()->Repair(
            repaired, recovery::WholeSlices,
            [&](int index, std::int64_t offset, std::span<const std::uint8_t> bytes) {
                image->WriteAt(offsetOf(index) + offset, bytes);
            });
    image->Flush();
    // The file replaced goes where the person can get it back, only now that
    // its successor is whole; should the successor not take its name, it comes back.
    std::unique_ptr<platform::TrashedFile> trashed;
    if (toTrash)
        trashed = context.RunTime.MoveToTrash(state.DestFile);
    try {
        image->Publish();
    } catch (const RunTimeError&) {
        try {
            if (trashed)
                trashed->PutBack();
        } catch (const RunTimeError&) {
            // Then it stays in the trash, whole.
        }
        throw;
    }
    image->FlushName();
    context.Sink.ListWritten(WrittenLine(state.DestFile, pieces::RebuiltLength(header)));
    if (set.HeaderRepaired())
        context.Sink.ListWritten("Repaired " + set.HeaderPath() + " from recovery data");
    for (const auto& piece : set.Pieces())
        if (std::find(repaired.begin(), repaired.end(), piece.Index) != repaired.end())
            context.Sink.ListWritten("Repaired " + piece.Path + " from recovery data");
}

Outcome Rebuild(const BuildRequest& request, OperationContext& context, RunState& state) {
    platform::RunTime& runTime = context.RunTime;
    SetReader set(runTime, request.Header);
    state.SrcTitle = set.Title();
    // No tren may replace the set while it is read.
    const auto lock =
        LockFolder(context, set.Folder().empty() ? runTime.CurrentDirectory() : set.Folder(),
                   platform::LockKind::Shared);

    set.ReadHeader(context.Buffers);
    const auto header = set.RepairHeader();
    context.Sink.ProgressMax(
        (set.HeaderRepaired() && header ? header->PieceCount : context.Buffers.Buff[0]) + 1);
    context.Sink.Progress(1);
    if (!header)
        return RefuseOrFail(*set.FirstProblem());
    context.Sink.SizeChosen(header->SizeCode);
    // The table, not the list's text, is what the code means.
    state.PieceSize = pieces::PieceSizeOf(*header);
    state.LastPieceSize = header->LastPieceSize;
    state.FileLength = pieces::RebuiltLength(*header) - 1;

    // Every piece is opened, and held, before the person is asked anything: a
    // missing or short piece would leave a hole in the rebuilt file. Where a
    // checksum file stands beside the header, every piece must match it too.
    set.OpenPieces();
    set.CheckRecovery();
    if (!set.FirstProblem())
        set.CheckSums();
    if (auto problem = set.FirstProblem())
        return RefuseOrFail(std::move(*problem));

    state.DestDir = PrepareDestination(context, "Select directory to build to...");
    const std::string name = pieces::RebuiltName(state.SrcTitle);
    state.DestFile = state.DestDir + name;
    if (const std::size_t limit = runTime.MaxNameLength(state.DestDir); name.size() > limit)
        return Outcome::Refused(NameTooLong(BuildingError, state.DestFile, name.size(), limit));
    if (auto refusal = CheckNameAllowed(runTime, BuildingError, state.DestDir, name))
        return Outcome::Refused(std::move(*refusal));
    if (auto refusal = CheckDestination(runTime, set, state.DestFile))
        return Outcome::Refused(std::move(*refusal));
    Replacement replacement = PlanReplacement(runTime, state.DestFile, request.Existing);
    if (replacement.Refusal)
        return Outcome::Refused(std::move(*replacement.Refusal));
    if (auto refusal = CheckImageRoom(runTime, state, pieces::RebuiltLength(*header)))
        return Outcome::Refused(std::move(*refusal));
    RemoveLeftovers(runTime, state.DestDir);
    WriteImage(context, state, set, *header, replacement.ToTrash);
    return Outcome::Finished();
}

} // namespace

Outcome Build(const BuildRequest& request, OperationContext& context, RunState& state) {
    if (request.Header.empty())
        return Outcome::Refused({"", "No file to build", MessageStyle::OkOnly, std::string()});
    return Guarded("Cannot build", request.Header,
                   [&] { return Rebuild(request, context, state); });
}

} // namespace tren::engine
