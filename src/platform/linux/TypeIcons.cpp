#include "platform/linux/TypeIcons.h"

#include "platform/linux/Artwork.h"

namespace tren::platform {

std::vector<ThemeIcon> TypeIcons() {
    return {
        {"16x16", ".png", artwork::Icon16()},    {"32x32", ".png", artwork::Icon32()},
        {"48x48", ".png", artwork::Icon48()},    {"64x64", ".png", artwork::Icon64()},
        {"128x128", ".png", artwork::Icon128()}, {"scalable", ".svg", artwork::IconSvg()},
    };
}

} // namespace tren::platform
