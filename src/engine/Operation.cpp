#include "engine/Operation.h"

#include "platform/Paths.h"
#include "platform/RunTime.h"

namespace tren::engine {

std::string PrepareDestination(OperationContext& context, const std::string& pickerTitle) {
    std::string folder = context.Sink.ChooseFolder(pickerTitle);
    if (folder.empty()) {
        folder = context.RunTime.DefaultFolder();
        if (!context.RunTime.FolderExists(folder))
            context.RunTime.CreateFolder(folder);
    }
    return platform::WithTrailingSeparator(folder);
}

std::string WrittenLine(const std::string& path, std::int64_t length) {
    return path + " [" + std::to_string(length) + " bytes]";
}

std::unique_ptr<platform::FolderLock>
LockFolder(OperationContext& context, const std::string& folder, platform::LockKind kind) {
    return context.RunTime.LockFolder(folder, kind, [&] { context.Sink.Waiting(folder); });
}

void RemoveLeftovers(platform::RunTime& runTime, const std::string& folder) {
    try {
        runTime.Leftovers(folder, true);
    } catch (const RunTimeError&) {
        // They stay for a later run; this one's files are not among them.
    }
}

std::int64_t Allotted(const platform::DiskSpace& space, std::int64_t length) {
    const std::int64_t unit = space.Unit > 0 ? space.Unit : 1;
    return (length + unit - 1) / unit * unit;
}

std::optional<Message> CheckRoom(const std::string& title, const std::string& folder,
                                 const platform::DiskSpace& space, std::int64_t needed) {
    if (needed <= space.Free)
        return std::nullopt;
    return Message{title,
                   "There is not enough room in " + folder + ": the files need " +
                       std::to_string(needed) + " bytes, and " + std::to_string(space.Free) +
                       " bytes are free.",
                   platform::MessageStyle::Exclamation, folder};
}

std::optional<Message> CheckNameAllowed(platform::RunTime& runTime, const std::string& title,
                                        const std::string& folder, const std::string& name) {
    const std::string why = runTime.NameRefusal(folder, name);
    if (why.empty())
        return std::nullopt;
    return Message{title,
                   "The name " + folder + name + " is not allowed on that disk: " + why + ".",
                   platform::MessageStyle::Exclamation, folder + name};
}

Message NameTooLong(const std::string& title, const std::string& path, std::size_t length,
                    std::size_t limit) {
    return {title,
            "The name " + path + " is too long for its folder (" + std::to_string(length) +
                " bytes, at most " + std::to_string(limit) + ").",
            platform::MessageStyle::Exclamation, path};
}

} // namespace tren::engine
