#include "engine/Building.h"

#include "engine/PieceSet.h"
#include "engine/SetReader.h"
#include "engine/Transfers.h"
#include "platform/Paths.h"
#include "platform/RunTime.h"

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
    std::vector<const platform::InputFile*> setFiles{&set.HeaderFile()};
    for (const auto& piece : set.Pieces())
        setFiles.push_back(piece.File.get());
    for (const auto* file : setFiles)
        if (file->Id() == entry.TargetId || file->Id() == entry.Id)
            return Message{BuildingError,
                           "The rebuilt file " + destination + " would replace " + file->Path() +
                               ", a file of the set being built. Choose another folder.",
                           MessageStyle::Exclamation, destination};
    return std::nullopt;
}

// The image is written as a new file that takes the destination's name only once
// it is whole and on the disk, so that a failure leaves an existing file as it
// was and nothing half written behind.
void WriteImage(OperationContext& context, RunState& state, SetReader& set,
                const pieces::Header& header) {
    const auto image =
        context.RunTime.CreateOutput(state.DestFile, platform::Naming::ReplaceLinkTarget);
    for (auto& piece : set.Pieces()) {
        context.Sink.Progress(piece.Index + 1);
        context.Buffers.CopyFileToFile(*piece.File, 1, *image,
                                       std::int64_t{piece.Index - 1} * state.PieceSize + 1,
                                       piece.Needed);
        image->StartFlush();
    }
    image->Flush();
    image->Publish();
    image->FlushName();
    context.Sink.ListWritten(WrittenLine(state.DestFile, pieces::RebuiltLength(header)));
}

Outcome Rebuild(const std::string& fname, OperationContext& context, RunState& state) {
    platform::RunTime& runTime = context.RunTime;
    SetReader set(runTime, fname);
    state.SrcTitle = set.Title();
    // No tren may replace the set while it is read.
    const auto lock =
        runTime.LockFolder(set.Folder().empty() ? runTime.CurrentDirectory() : set.Folder(),
                           platform::LockKind::Shared);

    const auto header = set.ReadHeader(context.Buffers);
    context.Sink.ProgressMax(context.Buffers.Buff[0] + 1);
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
    if (!set.FirstProblem())
        set.CheckSums();
    if (auto problem = set.FirstProblem())
        return RefuseOrFail(std::move(*problem));

    state.DestDir = PrepareDestination(context, "Select directory to build to...");
    const std::string name = pieces::RebuiltName(state.SrcTitle);
    state.DestFile = state.DestDir + name;
    if (const std::size_t limit = runTime.MaxNameLength(state.DestDir); name.size() > limit)
        return Outcome::Refused(NameTooLong(BuildingError, state.DestFile, name.size(), limit));
    if (auto refusal = CheckDestination(runTime, set, state.DestFile))
        return Outcome::Refused(std::move(*refusal));
    WriteImage(context, state, set, *header);
    return Outcome::Finished();
}

} // namespace

Outcome Build(const std::string& header, OperationContext& context, RunState& state) {
    if (header.empty())
        return Outcome::Refused({"", "No file to build", MessageStyle::OkOnly, std::string()});
    return Guarded("Cannot build", header, [&] { return Rebuild(header, context, state); });
}

} // namespace tren::engine
