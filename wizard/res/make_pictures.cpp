// make_pictures: draws KovShop's side pictures (a neutral default and one handset silhouette
// for each image type, 210 x 460) and its icon, and writes them as the BMP and ICO files that
// the resource script includes.
//
//   make_pictures OUTDIR
//
// The files in the tree are this program's output; run it again after changing a drawing.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "PictureScene.h"

namespace {

using namespace pictures;

const int W = 210, H = 460;
const Rgba kBody = Hex(0x454b55), kBodyDark = Hex(0x1d2127);
const Rgba kGlass = Hex(0xa9dcff), kGlassDark = Hex(0x3f7fc4);
const Rgba kKey = Hex(0x8d949e), kKeyDark = Hex(0x5d636c);
const Rgba kWhite = Hex(0xffffff);

// The soft light behind a handset, and the row of dots that tells the models apart at a
// glance: one dot for type 0, up to four for type 3.
void Backdrop(Scene& s, int dots) {
    s.Disc(105, 215, 150, Hex(0xffffff, 0.28f), Hex(0xffffff, 0.0f));
    s.Box(0, 0, W, 6, 0, Hex(0xffffff, 0.35f));
    const float spacing = 22, first = 105 - spacing * (dots - 1) / 2.0f;
    for (int i = 0; i < dots; ++i)
        s.Disc(first + spacing * i, 418, 6.5f, kWhite);
}

void Keypad(Scene& s, float x0, float y0, float x1, float y1, int columns, int rows, float gap) {
    const float kw = (x1 - x0 - gap * (columns - 1)) / columns;
    const float kh = (y1 - y0 - gap * (rows - 1)) / rows;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const float x = x0 + c * (kw + gap), y = y0 + r * (kh + gap);
            s.Box(x, y, x + kw, y + kh, std::fmin(kw, kh) * 0.3f, kKey, kKeyDark);
        }
}

void NavPad(Scene& s, float cx, float cy, float r) {
    s.Disc(cx, cy, r, kKey, kKeyDark);
    s.Disc(cx, cy, r * 0.45f, Hex(0xc4c9d0), Hex(0x9aa0a8));
}

void Shadow(Scene& s, float x0, float y0, float x1, float y1, float r) {
    s.Box(x0 + 6, y0 + 8, x1 + 6, y1 + 8, r, Hex(0x000000, 0.22f));
}

Scene DefaultPicture() {
    Scene s(W, H, Hex(0xe3e8ee), Hex(0x8a9bad));
    Backdrop(s, 0);
    // A memory chip with a download arrow: an update, for no handset in particular.
    const Rgba pin = Hex(0x8f9aa7);
    for (int i = 0; i < 5; ++i) {
        const float y = 150 + i * 30;
        s.Box(44, y - 4, 62, y + 4, 2, pin);
        s.Box(148, y - 4, 166, y + 4, 2, pin);
    }
    for (int i = 0; i < 4; ++i) {
        const float x = 75 + i * 20;
        s.Box(x - 4, 112, x + 4, 130, 2, pin);
        s.Box(x - 4, 300, x + 4, 318, 2, pin);
    }
    Shadow(s, 58, 126, 152, 304, 14);
    s.Box(58, 126, 152, 304, 14, Hex(0x3d4d5f), Hex(0x243140));
    s.Box(70, 138, 140, 292, 8, Hex(0x4c5e72), Hex(0x33424f));
    s.Box(95, 165, 115, 225, 3, kWhite);
    s.Tri(78, 222, 132, 222, 105, 258, kWhite);
    s.Box(60, 346, 150, 358, 6, Hex(0x000000, 0.25f));
    s.Box(62, 348, 118, 356, 4, Hex(0x7be07b), Hex(0x3fae3f));
    return s;
}

// Type 0: a bar handset with a keypad.
Scene BarHandset() {
    Scene s(W, H, Hex(0xd9e8fb), Hex(0x3b6eb0));
    Backdrop(s, 1);
    Shadow(s, 57, 80, 153, 352, 22);
    s.Box(57, 80, 153, 352, 22, kBody, kBodyDark);
    s.Box(89, 94, 121, 99, 2.5f, Hex(0x15181c));
    s.Box(66, 110, 144, 214, 5, kGlass, kGlassDark);
    NavPad(s, 105, 240, 15);
    s.Box(70, 232, 86, 248, 4, kKey, kKeyDark);
    s.Box(124, 232, 140, 248, 4, kKey, kKeyDark);
    Keypad(s, 68, 266, 142, 338, 3, 4, 6);
    return s;
}

// Type 1: a slider with a keyboard slid out beneath the screen.
Scene SliderHandset() {
    Scene s(W, H, Hex(0xdcf3dc), Hex(0x3c8b4c));
    Backdrop(s, 2);
    Shadow(s, 44, 220, 166, 362, 14);
    s.Box(44, 220, 166, 362, 14, Hex(0x30353c), Hex(0x16191d));
    Keypad(s, 52, 286, 158, 352, 7, 4, 4);
    Shadow(s, 40, 70, 170, 276, 18);
    s.Box(40, 70, 170, 276, 18, kBody, kBodyDark);
    s.Box(90, 80, 120, 85, 2.5f, Hex(0x15181c));
    s.Box(50, 94, 160, 240, 5, kGlass, kGlassDark);
    s.Box(72, 250, 138, 264, 7, kKey, kKeyDark);
    return s;
}

// Type 2: a touch-screen handheld with its stylus.
Scene TouchHandset() {
    Scene s(W, H, Hex(0xfde8d0), Hex(0xc2661c));
    Backdrop(s, 3);
    s.Box(160, 62, 168, 300, 4, Hex(0xd4d7dc), Hex(0x7e838a));
    s.Disc(164, 62, 4.5f, Hex(0x30353c));
    Shadow(s, 42, 78, 162, 356, 16);
    s.Box(42, 78, 162, 356, 16, Hex(0xcfd3d8), Hex(0x858a91));
    s.Box(48, 84, 156, 350, 12, Hex(0x5b626c), Hex(0x2d3238));
    s.Box(55, 100, 149, 296, 3, kGlass, kGlassDark);
    NavPad(s, 102, 324, 14);
    s.Box(60, 318, 78, 330, 5, kKey, kKeyDark);
    s.Box(126, 318, 144, 330, 5, kKey, kKeyDark);
    return s;
}

// Type 3: a clamshell, opened.
Scene FlipHandset() {
    Scene s(W, H, Hex(0xebdcf8), Hex(0x69409b));
    Backdrop(s, 4);
    Shadow(s, 60, 60, 150, 204, 20);
    s.Box(60, 60, 150, 204, 20, kBody, kBodyDark);
    s.Box(92, 70, 118, 75, 2.5f, Hex(0x15181c));
    s.Box(69, 84, 141, 190, 5, kGlass, kGlassDark);
    s.Box(52, 198, 158, 216, 8, Hex(0x2a2e34), Hex(0x111316));
    Shadow(s, 60, 210, 150, 366, 20);
    s.Box(60, 210, 150, 366, 20, kBody, kBodyDark);
    NavPad(s, 105, 238, 13);
    Keypad(s, 72, 262, 138, 348, 3, 4, 6);
    return s;
}

// A handset with a download arrow, on a blue tile.
Scene IconScene(int size) {
    const float k = size / 32.0f;
    Scene s(size, size, Hex(0x000000, 0.0f), Hex(0x000000, 0.0f));
    s.Box(1 * k, 1 * k, 31 * k, 31 * k, 6 * k, Hex(0x5b9be8), Hex(0x1f4f91));
    s.Box(7 * k, 4 * k, 19 * k, 28 * k, 3 * k, kWhite);
    s.Box(9 * k, 7 * k, 17 * k, 17 * k, 1 * k, Hex(0x3f7fc4));
    s.Box(21.5f * k, 9 * k, 25.5f * k, 19 * k, 0.5f * k, Hex(0x7be07b));
    s.Tri(18 * k, 18 * k, 29 * k, 18 * k, 23.5f * k, 26 * k, Hex(0x7be07b));
    return s;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_pictures OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    struct {
        const char* name;
        Scene scene;
    } pictures[] = {
        {"side_default.bmp", DefaultPicture()}, {"side_type0.bmp", BarHandset()},
        {"side_type1.bmp", SliderHandset()},    {"side_type2.bmp", TouchHandset()},
        {"side_type3.bmp", FlipHandset()},
    };
    for (const auto& p : pictures)
        if (!WriteFile(dir + "/" + p.name, Bmp(p.scene))) {
            std::fprintf(stderr, "make_pictures: cannot write %s/%s\n", dir.c_str(), p.name);
            return 1;
        }
    if (!WriteFile(dir + "/KovShop.ico", Ico({IconScene(16), IconScene(32), IconScene(48)}))) {
        std::fprintf(stderr, "make_pictures: cannot write %s/KovShop.ico\n", dir.c_str());
        return 1;
    }
    return 0;
}
