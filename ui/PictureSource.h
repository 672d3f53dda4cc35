// The program's pictures as the display's scale and the theme's look want them: the bitmaps it
// carries where they fit (96 dpi, the normal look), drawn from the same shapes at the exact scale
// and in the look's colours otherwise, so that no picture is ever stretched by blocks.
#pragma once

#include "base/Win32Handle.h"

#include <windows.h>

namespace nvui {

// The picture of a bitmap id, or an empty handle when there is none (a decoration the look
// leaves out, or an id that names no picture). The caller owns the bitmap.
nvwin::GdiObject<HBITMAP> LoadPicture(int id);

// Drawings are kept once made; the look changed, so they are made again as they are needed.
void ForgetDrawnPictures();

} // namespace nvui
