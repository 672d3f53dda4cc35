// Pictures from the resources or drawn from their shapes.
#include "ui/PictureSource.h"

#include "ui/DisplayScale.h"
#include "ui/Pictures.h"
#include "ui/Theme.h"
#include "ui/WinApp.h"

#include <map>
#include <optional>

namespace nvui {

namespace {

// The drawings of this process; only the thread of the dialogs draws.
std::map<int, std::optional<nvbmp::Canvas>>& DrawnPictures() {
    static std::map<int, std::optional<nvbmp::Canvas>> drawn;
    return drawn;
}

nvwin::GdiObject<HBITMAP> ToBitmap(const nvbmp::Canvas& canvas) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = canvas.Width();
    info.bmiHeader.biHeight = -canvas.Height(); // top-down, as the canvas is
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    nvwin::GdiObject<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr)
        return {};
    auto* out = static_cast<BYTE*>(bits);
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            const nvbmp::Rgba p = canvas.At(x, y);
            *out++ = p.b;
            *out++ = p.g;
            *out++ = p.r;
            *out++ = p.a;
        }
    return bitmap;
}

} // namespace

nvwin::GdiObject<HBITMAP> LoadPicture(int id) {
    if (nvtheme::SystemDpi() == nvtheme::kBaseDpi && !nvtheme::HighContrast())
        return nvwin::GdiObject<HBITMAP>(LoadBitmapW(ResourceInstance(), MAKEINTRESOURCEW(id)));
    auto& drawn = DrawnPictures();
    auto found = drawn.find(id);
    if (found == drawn.end())
        found =
            drawn.emplace(id, nvbmp::DrawPicture(id, nvtheme::SystemDpi(), nvtheme::PictureColours())).first;
    if (!found->second)
        return {};
    return ToBitmap(*found->second);
}

void ForgetDrawnPictures() {
    DrawnPictures().clear();
}

} // namespace nvui
