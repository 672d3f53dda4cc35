// The display scale.
#include "ui/DisplayScale.h"

namespace nvtheme {

namespace {

int ReadScreenDpi() {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        return kBaseDpi;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kBaseDpi;
}

} // namespace

int SystemDpi() {
    static const int dpi = ReadScreenDpi();
    return dpi;
}

int Px(int length, int dpi) {
    return dpi == kBaseDpi ? length : MulDiv(length, dpi, kBaseDpi);
}

int Px(int length) {
    return Px(length, SystemDpi());
}

RECT ScaleRect(const RECT& rc) {
    return RECT{Px(rc.left), Px(rc.top), Px(rc.right), Px(rc.bottom)};
}

RECT ScaleBox(int x, int y, int width, int height) {
    return ScaleRect(RECT{x, y, x + width, y + height});
}

} // namespace nvtheme
