#include "platform/ClassCommand.h"

#include <string_view>

namespace tren::platform {

ClassCommand SplitClassCommand(std::string command,
                               const std::function<bool(const std::string&)>& isFile) {
    constexpr std::string_view Placeholder = " %1";
    ClassCommand parts;
    if (command.size() >= Placeholder.size() &&
        command.compare(command.size() - Placeholder.size(), Placeholder.size(), Placeholder) ==
            0) {
        command.resize(command.size() - Placeholder.size());
        parts.HasPlaceholder = true;
    }
    for (std::size_t end = command.size(); end != std::string::npos && end > 0;
         end = command.rfind(' ', end - 1)) {
        std::string program = command.substr(0, end);
        if (isFile(program)) {
            const auto rest = command.find_first_not_of(' ', end);
            parts.Program = std::move(program);
            if (rest != std::string::npos)
                parts.Params = command.substr(rest, command.find_last_not_of(' ') + 1 - rest);
            return parts;
        }
    }
    parts.Program = std::move(command);
    return parts;
}

} // namespace tren::platform
