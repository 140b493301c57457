// make_zamri_pictures: draws Zamri's window picture (140 x 320: a PC sending down a network
// line to a handset) and its icon, and writes them as the BMP and ICO files that the
// resource script includes.
//
//   make_zamri_pictures OUTDIR
//
// The files in the tree are this program's output; run it again after changing a drawing.
#include <cstdio>
#include <string>
#include <vector>

#include "PictureScene.h"

namespace {

using namespace pictures;

const Rgba kCase = Hex(0x3d4652), kCaseDark = Hex(0x1c2128);
const Rgba kGlass = Hex(0xa9f0e4), kGlassDark = Hex(0x2f9c8c);
const Rgba kWhite = Hex(0xffffff);
const Rgba kSignal = Hex(0xffd45c);

Scene WindowPicture() {
    Scene s(140, 320, Hex(0xdff5f1), Hex(0x2e7d74));
    s.Disc(70, 160, 120, Hex(0xffffff, 0.25f), Hex(0xffffff, 0.0f));
    // The PC.
    s.Box(24, 34, 122, 104, 8, Hex(0x000000, 0.2f));
    s.Box(18, 28, 116, 98, 8, kCase, kCaseDark);
    s.Box(26, 36, 108, 88, 3, kGlass, kGlassDark);
    s.Box(56, 98, 78, 112, 0, kCaseDark);
    s.Box(40, 110, 94, 118, 4, kCase, kCaseDark);
    // The network line, with the packets on their way.
    for (int i = 0; i < 5; ++i)
        s.Disc(67, 136 + i * 17.0f, i == 2 ? 6.0f : 4.0f, i == 2 ? kSignal : kWhite);
    s.Tri(52, 216, 82, 216, 67, 234, kSignal);
    // The handset.
    s.Box(50, 244, 94, 312, 10, Hex(0x000000, 0.2f));
    s.Box(45, 238, 89, 306, 10, kCase, kCaseDark);
    s.Box(51, 248, 83, 284, 3, kGlass, kGlassDark);
    s.Disc(67, 295, 5, Hex(0x8d949e), Hex(0x5d636c));
    return s;
}

// A handset taking a download, on a teal tile.
Scene IconScene(int size) {
    const float k = size / 32.0f;
    Scene s(size, size, Hex(0x000000, 0.0f), Hex(0x000000, 0.0f));
    s.Box(1 * k, 1 * k, 31 * k, 31 * k, 6 * k, Hex(0x4fc1b0), Hex(0x1d6f64));
    s.Box(13 * k, 9 * k, 25 * k, 29 * k, 3 * k, kWhite);
    s.Box(15 * k, 12 * k, 23 * k, 22 * k, 1 * k, kGlassDark);
    s.Box(5 * k, 3 * k, 9 * k, 12 * k, 0.5f * k, kSignal);
    s.Tri(2 * k, 11 * k, 12 * k, 11 * k, 7 * k, 18 * k, kSignal);
    return s;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_zamri_pictures OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    if (!WriteFile(dir + "/picture.bmp", Bmp(WindowPicture())) ||
        !WriteFile(dir + "/Zamri.ico", Ico({IconScene(16), IconScene(32), IconScene(48)}))) {
        std::fprintf(stderr, "make_zamri_pictures: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
