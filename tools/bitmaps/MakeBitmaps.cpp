// Draws the program's bitmaps and its icon into a folder (resources/bitmaps in the repository):
//   make_bitmaps OUTPUT_DIR
// The files are committed; run this again only to change a picture.
#include "tools/bitmaps/BmpFile.h"
#include "ui/Pictures.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool Save(const std::string& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close(); // what is still buffered is written here, and can fail here
    return static_cast<bool>(out);
}

} // namespace

using nvbmp::Canvas;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_bitmaps OUTPUT_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    auto bmp = [&](int id, const Canvas& canvas, int bits) {
        return Save(dir, std::to_string(id) + ".bmp", nvbmp::EncodeBmp(canvas, bits));
    };
    // Each in the depth it has always had.
    const struct {
        int id, bits;
    } pictures[] = {
        {216, 24},
        {217, 24},
        {275, 32},
        {276, 32},
        {259, 32},
        {260, 32},
        {262, 32},
        {263, 32},
        {258, 32},
        {288, 24},
        {289, 24},
        {290, 24},
        {291, 24},
        {292, 24},
        {293, 24},
        {294, 24},
        {295, 24},
        {296, 24},
        {297, 24},
        // Pictures that only the dialog templates name.
        {215, 24},
        {230, 24},
        {231, 24},
        {233, 32},
        {236, 32},
        {240, 24},
        {242, 32},
    };
    for (const auto& picture : pictures) {
        const std::optional<Canvas> canvas = nvbmp::DrawPicture(picture.id, 96, nvbmp::kNormalPalette);
        ok = canvas && bmp(picture.id, *canvas, picture.bits) && ok;
    }
    const Canvas icons[] = {nvbmp::DrawAppIcon(48), nvbmp::DrawAppIcon(32), nvbmp::DrawAppIcon(16)};
    ok = Save(dir, "245.ico", nvbmp::EncodeIco(icons)) && ok;
    if (!ok) {
        std::fprintf(stderr, "make_bitmaps: could not write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
