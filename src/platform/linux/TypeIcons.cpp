#include "platform/linux/TypeIcons.h"

#include "platform/linux/Artwork.h"

namespace tren::platform {

std::vector<ThemeIcon> TypeIcons() {
    return {
        {"apps", "16x16", ".png", artwork::ProgramIcon16()},
        {"apps", "32x32", ".png", artwork::ProgramIcon32()},
        {"apps", "48x48", ".png", artwork::ProgramIcon48()},
        {"apps", "64x64", ".png", artwork::ProgramIcon64()},
        {"apps", "128x128", ".png", artwork::ProgramIcon128()},
        {"apps", "256x256", ".png", artwork::ProgramIcon256()},
        {"apps", "scalable", ".svg", artwork::ProgramIconSvg()},
        {"mimetypes", "16x16", ".png", artwork::DocumentIcon16()},
        {"mimetypes", "32x32", ".png", artwork::DocumentIcon32()},
        {"mimetypes", "48x48", ".png", artwork::DocumentIcon48()},
        {"mimetypes", "64x64", ".png", artwork::DocumentIcon64()},
        {"mimetypes", "128x128", ".png", artwork::DocumentIcon128()},
        {"mimetypes", "256x256", ".png", artwork::DocumentIcon256()},
        {"mimetypes", "scalable", ".svg", artwork::DocumentIconSvg()},
    };
}

} // namespace tren::platform
