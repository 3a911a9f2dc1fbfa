// The resource ids of the window's pictures, shared by its code and
// ArtworkResources.rc; plain macros, since windres reads them too.
#ifndef TREN_WIN32_ARTWORK_RESOURCES_H
#define TREN_WIN32_ARTWORK_RESOURCES_H

// The program icon has the lowest icon ID: the shell shows the first icon group
// as the program's own ("tren.exe,0").
#define IDI_TREN 1
#define IDI_TREN_PICTURE 2
#define IDI_BUILD 3

// Not IDC_HAND: winuser.h names the system's hand cursor so.
#define IDC_HAND_CURSOR 10

#endif
