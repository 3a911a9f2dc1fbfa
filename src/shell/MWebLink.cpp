#include "shell/MWebLink.h"

#include "platform/Controls.h"

namespace tren::MWebLink {

std::int32_t OpenLink(platform::Desktop& shell, std::string address, LinkKind kind) {
    // The prefix goes in front whatever the address already begins with.
    if (kind == LinkKind::Web)
        address.insert(0, "http://");
    else if (kind == LinkKind::Mail)
        address.insert(0, "mailto:");
    return shell.OpenAddress(address);
}

} // namespace tren::MWebLink
