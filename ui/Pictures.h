// The program's pictures as shapes, drawn at any display scale and in any palette. The bitmaps
// the program carries are these drawings at 96 dpi in the normal palette (tools/bitmaps writes
// them); the program draws the others itself. No Win32 here.
#pragma once

#include "ui/PictureCanvas.h"

#include <optional>

namespace nvbmp {

// The colours a picture is drawn in, by what they are for.
struct PicturePalette {
    Rgba band;    // the title band, under the title bar's pictures
    Rgba dialog;  // a dialog's background, under the message icons
    Rgba accent;  // the filled shapes: the finger's square, the circles of the icons
    Rgba ink;     // what is drawn on the accent
    Rgba rest;    // a title bar picture at rest
    Rgba hover;   // the same under the pointer
    Rgba warning; // the question icon's circle
    Rgba error;   // the error icon's circle
    Rgba info;    // the information icon's circle
    // Pictures that only decorate (the main window's side picture) are drawn only with these.
    bool decorations;
};

// The palette of the committed bitmaps.
inline constexpr PicturePalette kNormalPalette = {
    {39, 40, 46},    {240, 240, 240}, {43, 184, 194}, {255, 255, 255}, {150, 150, 150},
    {255, 255, 255}, {240, 140, 30},  {215, 45, 45},  {30, 62, 128},   true,
};

// A length of the pictures at 96 dpi at another DPI, rounded as the dialogs round theirs.
constexpr int ScaledLength(int length, int dpi) {
    return (length * dpi + 48) / 96;
}

// The picture with this bitmap id, ScaledLength of its 96-dpi size on each side. Nothing for an
// id that names no picture, or for a decoration when the palette draws none.
std::optional<Canvas> DrawPicture(int id, int dpi, const PicturePalette& palette);

// The program's icon at `size` pixels, on a transparent ground.
Canvas DrawAppIcon(int size);

} // namespace nvbmp
