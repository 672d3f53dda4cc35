// Draws the program's bitmaps and its icon into a folder (resources/bitmaps in the repository):
//   make_bitmaps OUTPUT_DIR
// The files are committed; run this again only to change a picture.
#include "tools/bitmaps/BmpFile.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>

using nvbmp::Canvas;
using nvbmp::Rgba;

namespace {

constexpr Rgba kDark{39, 40, 46};      // the title band
constexpr Rgba kTeal{43, 184, 194};    // the accent
constexpr Rgba kDialog{240, 240, 240}; // the dialog background
constexpr Rgba kWhite{255, 255, 255};
constexpr Rgba kGrey{150, 150, 150};
constexpr Rgba kOrange{240, 140, 30};
constexpr Rgba kRed{215, 45, 45};
constexpr Rgba kNavy{30, 62, 128};
constexpr double kPi = std::numbers::pi;

auto Disc(double cx, double cy, double r) {
    return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

// A stroke of half-width r between two points, with round ends.
auto Stroke(double ax, double ay, double bx, double by, double r) {
    return [=](double x, double y) {
        const double dx = bx - ax, dy = by - ay;
        const double len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((x - ax) * dx + (y - ay) * dy) / len2 : 0;
        t = t < 0 ? 0 : (t > 1 ? 1 : t);
        const double px = ax + t * dx - x, py = ay + t * dy - y;
        return px * px + py * py <= r * r;
    };
}

// Part of an elliptic ring (radii rx, ry, stroke half-width w) between two angles, in radians,
// measured clockwise from the positive x axis as the picture is seen (y grows downwards).
auto Arc(double cx, double cy, double rx, double ry, double w, double from, double to) {
    return [=](double x, double y) {
        const double nx = (x - cx) / rx, ny = (y - cy) / ry;
        const double d = std::sqrt(nx * nx + ny * ny);
        if (std::fabs(d - 1) * std::min(rx, ry) > w)
            return false;
        double a = std::atan2(ny, nx);
        while (a < from)
            a += 2 * kPi;
        return a <= to;
    };
}

auto Box(double x0, double y0, double x1, double y1) {
    return [=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

Rgba Darker(Rgba c, double factor) {
    auto f = [factor](std::uint8_t v) { return static_cast<std::uint8_t>(std::lround(v * factor)); };
    return {f(c.r), f(c.g), f(c.b), c.a};
}

bool Save(const std::string& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close(); // what is still buffered is written here, and can fail here
    return static_cast<bool>(out);
}

// Message box icons: a coloured circle with a white sign, on a dark square (55 px) or on the
// dialog background (42 px).
Canvas QuestionIcon() {
    Canvas c(55, 55, kDark);
    c.Paint(Disc(27.5, 27.5, 22), kOrange);
    c.Paint(Arc(27.5, 21, 7.5, 7.5, 2.6, -kPi, 0.45 * kPi), kWhite);
    c.Paint(Stroke(27.5 + 7.5 * std::cos(0.45 * kPi), 21 + 7.5 * std::sin(0.45 * kPi), 27.5, 32.5, 2.6),
            kWhite);
    c.Paint(Disc(27.5, 39.5, 3), kWhite);
    return c;
}

Canvas ExclamationIcon() {
    Canvas c(55, 55, kDark);
    c.Paint(Disc(27.5, 27.5, 22), kRed);
    c.Paint(Stroke(27.5, 15, 27.5, 31, 2.8), kWhite);
    c.Paint(Disc(27.5, 39.5, 3), kWhite);
    return c;
}

Canvas SuccessIcon() {
    Canvas c(42, 42, kDialog);
    c.Paint(Disc(21, 21, 20), kTeal);
    c.Paint(Stroke(11.5, 21.5, 18, 28, 2.3), kWhite);
    c.Paint(Stroke(18, 28, 30.5, 14.5, 2.3), kWhite);
    return c;
}

Canvas InfoIcon(int size, Rgba ground) {
    Canvas c(size, size, ground);
    const double m = size / 2.0, k = size / 42.0;
    c.Paint(Disc(m, m, 20 * k), kNavy);
    c.Paint(Disc(m, m - 9 * k, 2.6 * k), kWhite);
    c.Paint(Stroke(m, m - 2 * k, m, m + 10 * k, 2.3 * k), kWhite);
    return c;
}

// Title bar buttons: 18 px, a cross or a bar on the dark band.
Canvas Cross(Rgba ink) {
    Canvas c(18, 18, kDark);
    c.Paint(Stroke(4, 4, 14, 14, 1.2), ink);
    c.Paint(Stroke(14, 4, 4, 14, 1.2), ink);
    return c;
}

Canvas Bar(Rgba ink) {
    Canvas c(18, 18, kDark);
    c.Paint(Stroke(4, 12, 14, 12, 1.2), ink);
    return c;
}

// A fingerprint of nested arcs around (cx, cy); ridges beyond `bright` are drawn faint, so the
// print fills up as the steps advance.
void Fingerprint(Canvas& c, double cx, double cy, double scale, Rgba ground, int bright) {
    const Rgba faint{static_cast<std::uint8_t>((ground.r + 255) / 2),
                     static_cast<std::uint8_t>((ground.g + 255) / 2),
                     static_cast<std::uint8_t>((ground.b + 255) / 2)};
    for (int i = 0; i < 8; ++i) {
        const double rx = (5 + 4 * i) * scale, ry = (7 + 4.6 * i) * scale;
        // Each ridge leaves a gap at a different place, as on a real print.
        const double gap = 0.35 + 0.12 * i;
        c.Paint(Arc(cx, cy, rx, ry, 1.1 * scale, -kPi + gap * 0.5, kPi * 0.6 - gap),
                i < bright ? kWhite : faint);
    }
}

Canvas Fingertip() {
    Canvas c(96, 96, kTeal);
    c.Paint(Arc(48, 42, 20, 22, 2.2, -kPi, 0), kWhite);
    c.Paint(Stroke(28, 42, 28, 84, 2.2), kWhite);
    c.Paint(Stroke(68, 42, 68, 84, 2.2), kWhite);
    c.Paint(Arc(48, 30, 8, 5, 1.5, 0, kPi), kWhite); // the nail
    return c;
}

// Step 0 (bitmap 289) is the empty print, step 8 (297) the complete one; the square darkens
// with every step.
Canvas ProgressStep(int step) {
    const Rgba ground = Darker(kTeal, 1.0 - 0.06 * step);
    Canvas c(96, 96, ground);
    Fingerprint(c, 48, 50, 1.15, ground, step);
    return c;
}

// The main window's side picture: a finger in a teal circle, a dotted arc to a fingerprint card
// that drops into a folder.
Canvas SidePanel() {
    Canvas c(266, 460, kDark);
    for (int y = 0; y < 460; ++y)
        for (int x = 0; x < 266; ++x)
            c.Set(x, y, Darker({52, 54, 62}, 1.0 - 0.25 * y / 460.0));
    c.Paint(Disc(80, 110, 46), kTeal);
    c.Paint(Arc(80, 104, 14, 16, 2.5, -kPi, 0), kWhite);
    c.Paint(Stroke(66, 104, 66, 138, 2.5), kWhite);
    c.Paint(Stroke(94, 104, 94, 138, 2.5), kWhite);
    for (int i = 0; i <= 12; ++i) {
        const double a = -kPi * 0.95 + i * (kPi * 0.6 / 12);
        c.Paint(Disc(150 + 85 * std::cos(a), 215 + 85 * std::sin(a) + 40, 2.5), kWhite);
    }
    // The card, tilted as it falls.
    const double cx = 175, cy = 245, ca = std::cos(0.25), sa = std::sin(0.25);
    c.Paint(
        [=](double x, double y) {
            const double u = (x - cx) * ca + (y - cy) * sa, v = -(x - cx) * sa + (y - cy) * ca;
            return std::fabs(u) <= 34 && std::fabs(v) <= 44;
        },
        kWhite);
    for (int i = 0; i < 5; ++i)
        c.Paint(Arc(cx, cy + 4, 6 + 5 * i, 8 + 6 * i, 1.3, -kPi + 0.3, 0.5 * kPi), kTeal);
    // The folder.
    c.Paint(Box(70, 330, 120, 345), Darker(kTeal, 0.7));
    c.Paint(Box(70, 340, 230, 420), Darker(kTeal, 0.7));
    c.Paint(Box(70, 355, 230, 420), kTeal);
    return c;
}

Canvas AppIcon(int size) {
    Canvas c(size, size, {0, 0, 0, 0});
    const double m = size / 2.0;
    c.Paint(Disc(m, m, m - 0.5), kTeal);
    Fingerprint(c, m, m + size * 0.04, size / 80.0, kTeal, 8);
    return c;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_bitmaps OUTPUT_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    auto bmp = [&](int id, const Canvas& canvas, int bits) {
        ok = Save(dir, std::to_string(id) + ".bmp", nvbmp::EncodeBmp(canvas, bits)) && ok;
    };
    bmp(216, QuestionIcon(), 24);
    bmp(217, ExclamationIcon(), 24);
    bmp(275, SuccessIcon(), 32);
    bmp(276, InfoIcon(42, kDialog), 32);
    bmp(259, Cross(kWhite), 32);
    bmp(260, Cross(kGrey), 32);
    bmp(262, Bar(kWhite), 32);
    bmp(263, Bar(kGrey), 32);
    bmp(258, SidePanel(), 32);
    bmp(288, Fingertip(), 24);
    for (int step = 0; step <= 8; ++step)
        bmp(289 + step, ProgressStep(step), 24);
    // Pictures that only the dialog templates name.
    bmp(215, InfoIcon(55, kDark), 24);
    bmp(230, ProgressStep(8), 24);
    bmp(231, Fingertip(), 24);
    bmp(233, Cross(kGrey), 32);
    bmp(236, Bar(kGrey), 32);
    Canvas bullet(12, 11, {255, 255, 255});
    bullet.Paint(Disc(6, 5.5, 4), kTeal);
    bmp(240, bullet, 24);
    bmp(242, Cross(kGrey), 32);
    const Canvas icons[] = {AppIcon(48), AppIcon(32), AppIcon(16)};
    ok = Save(dir, "245.ico", nvbmp::EncodeIco(icons)) && ok;
    if (!ok) {
        std::fprintf(stderr, "make_bitmaps: could not write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
