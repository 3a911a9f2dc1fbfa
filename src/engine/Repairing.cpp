#include "engine/Repairing.h"

#include "engine/PieceSet.h"
#include "engine/Recovery.h"
#include "engine/SetReader.h"
#include "engine/Transfers.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <map>
#include <memory>

namespace tren::engine {

namespace {

RepairOutcome Refused(std::string text) {
    return {{}, std::move(text)};
}

} // namespace

RepairOutcome RepairSet(platform::RunTime& runTime, const std::string& headerPath) {
    SetReader set(runTime, headerPath);
    const auto lock =
        runTime.LockFolder(set.Folder().empty() ? runTime.CurrentDirectory() : set.Folder(),
                           platform::LockKind::Exclusive);
    try {
        set.ReadHeader();
    } catch (const RunTimeError& failure) {
        // A lost header is one more file to give back.
        if (failure.Code() != ErrorCode::FileNotFound)
            throw;
    }
    const auto header = set.RepairHeader();
    if (header) {
        set.OpenPieces();
        set.CheckRecovery();
    }
    recovery::Recovery* recovery = set.Recovery();
    if (!header || !recovery || !recovery->Chosen()) {
        if (!recovery || recovery->FileCount() == 0)
            return Refused("There are no recovery files beside " + headerPath + ".");
        if (!recovery->Chosen())
            return Refused("The recovery files beside " + headerPath +
                           " cannot be used: " + recovery->Ignored() + ".");
        return Refused(recovery->Repairable()
                           ? "The header piece " + headerPath + " cannot be read."
                           : recovery->Shortfall() + ".");
    }
    const std::vector<int> damaged = recovery->DamagedNumbers();
    if (damaged.empty())
        return {};
    if (!recovery->Repairable())
        return Refused(recovery->Shortfall() + ".");

    const auto pathOf = [&](int number) {
        return number == 0 ? headerPath
                           : set.Folder() + pieces::PieceNameFromHeader(set.Title(), number);
    };
    // A damaged header is replaced, and a system may not replace an open file;
    // a whole one is read again by its name where needed.
    set.CloseHeader();
    TransferBuffers buffers;
    std::map<int, std::unique_ptr<platform::OutputFile>> outputs;
    for (const int number : damaged) {
        auto& output = outputs[number] =
            runTime.CreateOutput(pathOf(number), platform::Naming::ReplaceName);
        // What is whole of the old file is kept as it stands.
        const auto ranges = recovery->WholeRanges(number);
        if (!ranges.empty()) {
            const auto old = runTime.OpenInput(pathOf(number));
            for (const auto& [start, length] : ranges)
                buffers.CopyFileToFile(*old, start + 1, *output, start + 1, length);
        }
    }
    recovery->Repair(damaged, recovery::WholeSlices,
                     [&](int number, std::int64_t offset, std::span<const std::uint8_t> bytes) {
                         outputs.at(number)->WriteAt(offset, bytes);
                     });
    RepairOutcome outcome;
    for (auto& [number, output] : outputs) {
        output->Flush();
        output->Publish();
        output->FlushName();
        outcome.Repaired.push_back(pathOf(number));
    }
    return outcome;
}

} // namespace tren::engine
