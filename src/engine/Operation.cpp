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

Message NameTooLong(const std::string& title, const std::string& path, std::size_t length,
                    std::size_t limit) {
    return {title,
            "The name " + path + " is too long for its folder (" + std::to_string(length) +
                " bytes, at most " + std::to_string(limit) + ").",
            platform::MessageStyle::Exclamation, path};
}

} // namespace tren::engine
