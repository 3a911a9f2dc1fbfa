#include "win32/Win32Artwork.h"

#include "win32/ArtworkResources.h"

namespace tren::win32 {

namespace {

int ResourceOf(platform::Artwork picture) {
    switch (picture) {
    case platform::Artwork::WindowIcon:
        return IDI_TREN;
    case platform::Artwork::BuildPicture:
        return IDI_BUILD;
    case platform::Artwork::TrenPicture:
        return IDI_TREN_PICTURE;
    case platform::Artwork::HandCursor:
        return IDC_HAND_CURSOR;
    }
    return IDI_TREN;
}

} // namespace

HICON LoadArtworkIcon(platform::Artwork picture, int size) {
    return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr),
                                           MAKEINTRESOURCEA(ResourceOf(picture)), IMAGE_ICON, size,
                                           size, LR_DEFAULTCOLOR));
}

HCURSOR LoadArtworkCursor(platform::Artwork picture) {
    const HCURSOR cursor = static_cast<HCURSOR>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ResourceOf(picture)),
                     IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    // The system's own hand, should the program's be missing.
    return cursor ? cursor : ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));
}

} // namespace tren::win32
