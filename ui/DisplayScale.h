// The display scale beside the theme: the system DPI, read once from the screen, and the one
// rounding rule by which every length laid out at 96 dpi is taken to it. Supported systems have
// one DPI per session, and the manifest asks for system awareness only, so nothing here follows
// a DPI change while the program runs.
#pragma once

#include <windows.h>

namespace nvtheme {

inline constexpr int kBaseDpi = 96;

// LOGPIXELSY of the screen, read on the first call; 96 when the screen gives none.
int SystemDpi();

// A length at 96 dpi at the system DPI (or at `dpi`): MulDiv's rounding, halves away from zero.
// 96 dpi leaves every length as it is.
int Px(int length);
int Px(int length, int dpi);

// A rectangle taken by its edges, so that rectangles whose edges meet at 96 dpi still meet.
RECT ScaleRect(const RECT& rc);
// The same for a rectangle given as its corner and size at 96 dpi.
RECT ScaleBox(int x, int y, int width, int height);

} // namespace nvtheme
