// The pictures' shapes. Every coordinate is the one of the 96-dpi picture times the scale, so
// that at 96 dpi the drawing is the committed bitmap, pixel for pixel.
#include "ui/Pictures.h"

#include "resources/ResourceIds.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace nvbmp {

namespace {

constexpr double kPi = std::numbers::pi;

Shape Disc(double cx, double cy, double r) {
    return {[=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; }, cx - r,
            cy - r, cx + r, cy + r};
}

// A stroke of half-width r between two points, with round ends.
Shape Stroke(double ax, double ay, double bx, double by, double r) {
    return {[=](double x, double y) {
                const double dx = bx - ax, dy = by - ay;
                const double len2 = dx * dx + dy * dy;
                double t = len2 > 0 ? ((x - ax) * dx + (y - ay) * dy) / len2 : 0;
                t = t < 0 ? 0 : (t > 1 ? 1 : t);
                const double px = ax + t * dx - x, py = ay + t * dy - y;
                return px * px + py * py <= r * r;
            },
            std::min(ax, bx) - r, std::min(ay, by) - r, std::max(ax, bx) + r, std::max(ay, by) + r};
}

// Part of an elliptic ring (radii rx, ry, stroke half-width w) between two angles, in radians,
// measured clockwise from the positive x axis as the picture is seen (y grows downwards).
Shape Arc(double cx, double cy, double rx, double ry, double w, double from, double to) {
    // A point of the ring lies at most 1 + w / min(rx, ry) radii from the centre.
    const double reach = 1 + w / std::min(rx, ry);
    return {[=](double x, double y) {
                const double nx = (x - cx) / rx, ny = (y - cy) / ry;
                const double d = std::sqrt(nx * nx + ny * ny);
                if (std::fabs(d - 1) * std::min(rx, ry) > w)
                    return false;
                double a = std::atan2(ny, nx);
                while (a < from)
                    a += 2 * kPi;
                return a <= to;
            },
            cx - rx * reach, cy - ry * reach, cx + rx * reach, cy + ry * reach};
}

Shape Box(double x0, double y0, double x1, double y1) {
    return {[=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; }, x0, y0, x1, y1};
}

Rgba Darker(Rgba c, double factor) {
    auto f = [factor](std::uint8_t v) { return static_cast<std::uint8_t>(std::lround(v * factor)); };
    return {f(c.r), f(c.g), f(c.b), c.a};
}

// A picture of `size` pixels at 96 dpi, at the scale k = dpi / 96.
Canvas Square(int size, int dpi, Rgba ground) {
    return Canvas(ScaledLength(size, dpi), ScaledLength(size, dpi), ground);
}

// Message box icons: a coloured circle with a white sign, on the band (55 px) or on the dialog
// background (42 px).
Canvas QuestionIcon(double k, int dpi, const PicturePalette& p) {
    Canvas c = Square(55, dpi, p.band);
    c.Paint(Disc(k * 27.5, k * 27.5, k * 22), p.warning);
    c.Paint(Arc(k * 27.5, k * 21, k * 7.5, k * 7.5, k * 2.6, -kPi, 0.45 * kPi), p.ink);
    c.Paint(Stroke(k * (27.5 + 7.5 * std::cos(0.45 * kPi)), k * (21 + 7.5 * std::sin(0.45 * kPi)), k * 27.5,
                   k * 32.5, k * 2.6),
            p.ink);
    c.Paint(Disc(k * 27.5, k * 39.5, k * 3), p.ink);
    return c;
}

Canvas ExclamationIcon(double k, int dpi, const PicturePalette& p) {
    Canvas c = Square(55, dpi, p.band);
    c.Paint(Disc(k * 27.5, k * 27.5, k * 22), p.error);
    c.Paint(Stroke(k * 27.5, k * 15, k * 27.5, k * 31, k * 2.8), p.ink);
    c.Paint(Disc(k * 27.5, k * 39.5, k * 3), p.ink);
    return c;
}

Canvas SuccessIcon(double k, int dpi, const PicturePalette& p) {
    Canvas c = Square(42, dpi, p.dialog);
    c.Paint(Disc(k * 21, k * 21, k * 20), p.accent);
    c.Paint(Stroke(k * 11.5, k * 21.5, k * 18, k * 28, k * 2.3), p.ink);
    c.Paint(Stroke(k * 18, k * 28, k * 30.5, k * 14.5, k * 2.3), p.ink);
    return c;
}

Canvas InfoIcon(int size, double k, int dpi, Rgba ground, const PicturePalette& p) {
    Canvas c = Square(size, dpi, ground);
    const double m = k * (size / 2.0), u = k * (size / 42.0);
    c.Paint(Disc(m, m, 20 * u), p.info);
    c.Paint(Disc(m, m - 9 * u, 2.6 * u), p.ink);
    c.Paint(Stroke(m, m - 2 * u, m, m + 10 * u, 2.3 * u), p.ink);
    return c;
}

// Title bar buttons: 18 px, a cross or a bar on the band.
Canvas Cross(double k, int dpi, Rgba ground, Rgba ink) {
    Canvas c = Square(18, dpi, ground);
    c.Paint(Stroke(k * 4, k * 4, k * 14, k * 14, k * 1.2), ink);
    c.Paint(Stroke(k * 14, k * 4, k * 4, k * 14, k * 1.2), ink);
    return c;
}

Canvas Bar(double k, int dpi, Rgba ground, Rgba ink) {
    Canvas c = Square(18, dpi, ground);
    c.Paint(Stroke(k * 4, k * 12, k * 14, k * 12, k * 1.2), ink);
    return c;
}

// A fingerprint of nested arcs around (cx, cy); ridges beyond `bright` are drawn faint, so the
// print fills up as the steps advance.
void Fingerprint(Canvas& c, double cx, double cy, double scale, Rgba ground, Rgba ink, int bright) {
    const Rgba faint{static_cast<std::uint8_t>((ground.r + ink.r) / 2),
                     static_cast<std::uint8_t>((ground.g + ink.g) / 2),
                     static_cast<std::uint8_t>((ground.b + ink.b) / 2)};
    for (int i = 0; i < 8; ++i) {
        const double rx = (5 + 4 * i) * scale, ry = (7 + 4.6 * i) * scale;
        // Each ridge leaves a gap at a different place, as on a real print.
        const double gap = 0.35 + 0.12 * i;
        c.Paint(Arc(cx, cy, rx, ry, 1.1 * scale, -kPi + gap * 0.5, kPi * 0.6 - gap),
                i < bright ? ink : faint);
    }
}

Canvas Fingertip(double k, int dpi, const PicturePalette& p) {
    Canvas c = Square(96, dpi, p.accent);
    c.Paint(Arc(k * 48, k * 42, k * 20, k * 22, k * 2.2, -kPi, 0), p.ink);
    c.Paint(Stroke(k * 28, k * 42, k * 28, k * 84, k * 2.2), p.ink);
    c.Paint(Stroke(k * 68, k * 42, k * 68, k * 84, k * 2.2), p.ink);
    c.Paint(Arc(k * 48, k * 30, k * 8, k * 5, k * 1.5, 0, kPi), p.ink); // the nail
    return c;
}

// Step 0 (bitmap 289) is the empty print, step 8 (297) the complete one; the square darkens
// with every step.
Canvas ProgressStep(int step, double k, int dpi, const PicturePalette& p) {
    const Rgba ground = Darker(p.accent, 1.0 - 0.06 * step);
    Canvas c = Square(96, dpi, ground);
    Fingerprint(c, k * 48, k * 50, k * 1.15, ground, p.ink, step);
    return c;
}

// The main window's side picture: a finger in a teal circle, a dotted arc to a fingerprint card
// that drops into a folder.
Canvas SidePanel(double k, int dpi, const PicturePalette& p) {
    const int width = ScaledLength(266, dpi), height = ScaledLength(460, dpi);
    Canvas c(width, height, p.band);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            c.Set(x, y, Darker({52, 54, 62}, 1.0 - 0.25 * y / static_cast<double>(height)));
    const Rgba teal = p.accent, white = p.ink;
    c.Paint(Disc(k * 80, k * 110, k * 46), teal);
    c.Paint(Arc(k * 80, k * 104, k * 14, k * 16, k * 2.5, -kPi, 0), white);
    c.Paint(Stroke(k * 66, k * 104, k * 66, k * 138, k * 2.5), white);
    c.Paint(Stroke(k * 94, k * 104, k * 94, k * 138, k * 2.5), white);
    for (int i = 0; i <= 12; ++i) {
        const double a = -kPi * 0.95 + i * (kPi * 0.6 / 12);
        c.Paint(Disc(k * (150 + 85 * std::cos(a)), k * (215 + 85 * std::sin(a) + 40), k * 2.5), white);
    }
    // The card, tilted as it falls.
    const double cx = k * 175, cy = k * 245, ca = std::cos(0.25), sa = std::sin(0.25);
    const double halfU = k * 34, halfV = k * 44, reach = halfU + halfV;
    c.Paint(Shape{[=](double x, double y) {
                      const double u = (x - cx) * ca + (y - cy) * sa, v = -(x - cx) * sa + (y - cy) * ca;
                      return std::fabs(u) <= halfU && std::fabs(v) <= halfV;
                  },
                  cx - reach, cy - reach, cx + reach, cy + reach},
            white);
    for (int i = 0; i < 5; ++i)
        c.Paint(Arc(cx, cy + k * 4, k * (6 + 5 * i), k * (8 + 6 * i), k * 1.3, -kPi + 0.3, 0.5 * kPi), teal);
    // The folder.
    c.Paint(Box(k * 70, k * 330, k * 120, k * 345), Darker(teal, 0.7));
    c.Paint(Box(k * 70, k * 340, k * 230, k * 420), Darker(teal, 0.7));
    c.Paint(Box(k * 70, k * 355, k * 230, k * 420), teal);
    return c;
}

Canvas Bullet(double k, int dpi, const PicturePalette& p) {
    Canvas c(ScaledLength(12, dpi), ScaledLength(11, dpi), {255, 255, 255});
    c.Paint(Disc(k * 6, k * 5.5, k * 4), p.accent);
    return c;
}

} // namespace

std::optional<Canvas> DrawPicture(int id, int dpi, const PicturePalette& p) {
    const double k = dpi / 96.0;
    switch (id) {
    case IDB_ICON_QUESTION:
        return QuestionIcon(k, dpi, p);
    case IDB_ICON_ERROR:
        return ExclamationIcon(k, dpi, p);
    case IDB_ICON_SUCCESS:
        return SuccessIcon(k, dpi, p);
    case IDB_ICON_INFO:
        return InfoIcon(42, k, dpi, p.dialog, p);
    case IDB_TEMPLATE_MSGBOX_ICON:
        return InfoIcon(55, k, dpi, p.band, p);
    case IDB_CLOSE_HOVER:
        return Cross(k, dpi, p.band, p.hover);
    case IDB_CLOSE:
    case IDB_TEMPLATE_CLOSE:
    case IDB_TEMPLATE_DIALOG_CLOSE:
        return Cross(k, dpi, p.band, p.rest);
    case IDB_MINIMIZE_HOVER:
        return Bar(k, dpi, p.band, p.hover);
    case IDB_MINIMIZE:
    case IDB_TEMPLATE_MINIMIZE:
        return Bar(k, dpi, p.band, p.rest);
    case IDB_SIDE_PANEL:
        if (!p.decorations)
            return std::nullopt;
        return SidePanel(k, dpi, p);
    case IDB_FINGER_OUTLINE:
    case IDB_TEMPLATE_ADMIN_PICTURE:
        return Fingertip(k, dpi, p);
    case IDB_TEMPLATE_ENROLL_PICTURE:
        return ProgressStep(8, k, dpi, p);
    case IDB_TEMPLATE_BULLET:
        return Bullet(k, dpi, p);
    default:
        if (id >= IDB_PROGRESS_FIRST && id <= IDB_PROGRESS_LAST)
            return ProgressStep(id - IDB_PROGRESS_FIRST, k, dpi, p);
        return std::nullopt;
    }
}

Canvas DrawAppIcon(int size) {
    const Rgba teal = kNormalPalette.accent;
    Canvas c(size, size, {0, 0, 0, 0});
    const double m = size / 2.0;
    c.Paint(Disc(m, m, m - 0.5), teal);
    Fingerprint(c, m, m + size * 0.04, size / 80.0, teal, kNormalPalette.ink, 8);
    return c;
}

} // namespace nvbmp
