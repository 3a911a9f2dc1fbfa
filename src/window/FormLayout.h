#pragma once

#include <array>
#include <string_view>

// The main window as it was drawn: where each control stands, what it says and
// what its tooltip says. Every window places its controls from this table, and
// their tests hold them to it; a front end without a window takes its texts from
// here too.
namespace tren::FormLayout {

// Twips, 1440 to the inch, from the client area's top left corner.
struct Twips {
    int Left, Top, Width, Height;
};

struct Control {
    // The form's own name for the control, which a window may give its widget.
    std::string_view Name;
    Twips At;
    // The keyboard's order; labels and the progress bar have one but take no focus.
    int TabIndex;
    // "" where the control shows no caption of its own.
    std::string_view Caption;
    // "" where the control has no tooltip.
    std::string_view ToolTip;
};

inline constexpr std::string_view WindowCaption = "File Trenning";
// The address the link shows, and opens a new mail message to.
inline constexpr std::string_view LinkAddress = "tren@example.org";
inline constexpr Twips ClientArea{0, 0, 5520, 2865};

inline constexpr Control txtSrcFile{"txtSrcFile", {720, 1560, 4575, 285}, 8, "", "File path"};
inline constexpr Control fltbBuild{
    "fltbBuild", {2880, 2040, 1125, 540}, 6, "Build...", "Build original file from multi-files"};
inline constexpr Control fltbTren{
    "fltbTren", {4200, 2040, 1125, 540}, 5, "Tren...", "Tren file to multi-files"};
inline constexpr Control ProgressBar1{"ProgressBar1", {240, 2520, 2295, 255}, 4, "", ""};
inline constexpr Control cmbSize{
    "cmbSize", {720, 2040, 1815, 315}, 2, "", "Select the required trenning size"};
// Two blanks between the first two words.
inline constexpr Control lstFiles{
    "lstFiles", {240, 240, 5055, 1230}, 0, "", "Process  handling windows"};
inline constexpr Control lblLink{
    "lblLink", {3000, 2640, 2175, 255}, 7, LinkAddress, "Sending email..."};
inline constexpr Control Label2{"Label2", {240, 2040, 495, 375}, 3, "Size:", ""};
inline constexpr Control Label1{"Label1", {240, 1560, 375, 255}, 1, "File:", ""};

// In the form's stored order, which is the order the controls are made in.
inline constexpr std::array<Control, 9> Controls{
    txtSrcFile, fltbBuild, fltbTren, ProgressBar1, cmbSize, lstFiles, lblLink, Label2, Label1,
};

// The form was drawn for a font whose average character is 6 pixels wide and 13
// high, where 15 twips are one pixel. As Windows' dialog units do, a twip stays
// that fraction of the font a window really uses, so that every text fits at any
// font size; the average is taken over the alphabet, as Windows takes it.
inline constexpr int TwipsPerPixel = 15;
inline constexpr int ReferenceCharWidth = 6;
inline constexpr int ReferenceCharHeight = 13;
inline constexpr std::string_view AverageCharSample =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

} // namespace tren::FormLayout
