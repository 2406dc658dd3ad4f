#include "tools/kvassets/Textures.h"

#include <algorithm>
#include <cmath>

#include "core/Angles.h"

namespace kv::gen {

namespace {

double Smooth(double e0, double e1, double x) {
    double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// Distance in texels to the nearest line of a grid of cells `cell` texels wide, wrapping.
double GridDistance(double x, double cell) {
    double f = std::fmod(x, cell);
    if (f < 0) f += cell;
    return std::min(f, cell - f);
}

// Painted metal plates: panel seams with a lit and a shaded lip, rivets along the seams,
// worn edges showing bare steel, and grime.
void PaintPanels(Image& img, Rgba paint, int cellsX, int cellsY, double wear, uint32_t seed) {
    const int w = img.width, h = img.height;
    const double cx = static_cast<double>(w) / cellsX, cy = static_cast<double>(h) / cellsY;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = static_cast<double>(x) / w, v = static_cast<double>(y) / h;
            const double grain = TiledFbm(u, v, 8, 5, seed);
            const double fine = TiledNoise(u * 128, v * 16, 128, 16, seed + 7);
            Rgba c = Scale(paint, 0.78 + 0.32 * grain + 0.05 * (fine - 0.5));
            // Seams: a dark groove, light on the upper-left lip.
            const double dx = GridDistance(x + 0.5, cx), dy = GridDistance(y + 0.5, cy);
            const double d = std::min(dx, dy);
            if (d < 1.2) c = Scale(c, 0.35);
            else if (d < 2.6) {
                const bool litSide = (dx < dy) ? std::fmod(x + 0.5 + cx, cx) < cx / 2 : std::fmod(y + 0.5 + cy, cy) < cy / 2;
                c = Scale(c, litSide ? 1.18 : 0.8);
            }
            // Rivets every few texels along the seams.
            const double rx = std::fmod(x + 0.5, cx / 6), ry = std::fmod(y + 0.5, cy / 6);
            const double rivet = std::min(dx > 3 && dx < 8 ? std::hypot(dx - 5.5, ry - cy / 12) : 9.0,
                                          dy > 3 && dy < 8 ? std::hypot(dy - 5.5, rx - cx / 12) : 9.0);
            if (rivet < 1.8) c = Scale(c, 1.3 - 0.25 * rivet);
            else if (rivet < 2.5) c = Scale(c, 0.6);
            // Chipped paint: small flecks of bare steel, thicker along the seams.
            const double chips = TiledFbm(u, v, 32, 3, seed + 31);
            const double worn = Smooth(0.68, 0.71, chips + (d < 6 ? 0.06 : 0.0)) * wear;
            c = Mix(c, Rgba{0.62f, 0.62f, 0.6f, 1}, worn * 0.7);
            // Streaks of dirt running down the plates.
            const double streak = TiledNoise(u * 64, v * 2, 64, 2, seed + 41);
            c = Scale(c, 1.0 - 0.08 * Smooth(0.6, 0.9, streak));
            // Grime gathers in the low noise.
            const double grime = Smooth(0.55, 0.2, TiledFbm(u, v, 4, 4, seed + 55));
            c = Mix(c, Rgba{0.16f, 0.14f, 0.11f, 1}, grime * 0.35);
            img.At(x, y) = c;
        }
}

}  // namespace

Image GrassTexture(bool dark) {
    Image img(256, 256);
    const uint32_t seed = dark ? 211 : 97;
    // Bright on purpose: the ground's material and lights pass on well under half of it.
    const Rgba base = dark ? Rgba{0.34f, 0.52f, 0.18f, 1} : Rgba{0.55f, 0.86f, 0.3f, 1};
    const Rgba dry = dark ? Rgba{0.52f, 0.47f, 0.25f, 1} : Rgba{0.86f, 0.84f, 0.4f, 1};
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const double u = x / 256.0, v = y / 256.0;
            const double patch = TiledFbm(u, v, 4, 5, seed);
            const double fine = TiledFbm(u, v, 32, 3, seed + 3);
            Rgba c = Mix(base, dry, Smooth(0.55, 0.8, patch) * 0.6);
            c = Scale(c, 0.75 + 0.5 * fine);
            img.At(x, y) = c;
        }
    // Thousands of short blades, each a thin stroke leaning its own way; strokes wrap.
    for (int i = 0; i < 5200; ++i) {
        const double x0 = Hash(i, 1, seed) * 256, y0 = Hash(i, 2, seed) * 256;
        const double len = 4 + Hash(i, 3, seed) * 8;
        const double lean = (Hash(i, 4, seed) - 0.5) * 1.2;
        const double shade = 0.7 + Hash(i, 5, seed) * 0.65;
        const bool yellow = Hash(i, 6, seed) > 0.9;
        Rgba blade = yellow ? Scale(dry, shade) : Scale(base, shade * 1.15);
        for (double t = 0; t < len; t += 0.5) {
            const int x = static_cast<int>(std::floor(x0 + std::sin(lean) * t));
            const int y = static_cast<int>(std::floor(y0 - std::cos(lean) * t));
            const double fade = 0.55 * (1 - t / len) + 0.25;
            img.At(x, y) = Mix(img.At(x, y), Scale(blade, 0.8 + 0.4 * t / len), fade);
        }
    }
    return img;
}

Image BodyTexture(Rgba paint, uint32_t seed) {
    Image img(256, 256);
    PaintPanels(img, paint, 2, 2, 0.5, seed);
    // A pale stripe across the middle of every plate and a vent grille in one corner.
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const int lx = x % 128, ly = y % 128;
            if (ly > 58 && ly < 70 && lx > 10 && lx < 118) img.At(x, y) = Mix(img.At(x, y), Rgba{0.9f, 0.88f, 0.8f, 1}, 0.55);
            if (lx > 86 && lx < 116 && ly > 86 && ly < 116 && (ly % 5) < 2) img.At(x, y) = Scale(img.At(x, y), 0.35);
        }
    return img;
}

Image ShellTexture(Rgba paint) {
    // u runs from the tail (0) to the tip (1), v around the shell.
    Image img(128, 64);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const double u = (x + 0.5) / img.width, v = (y + 0.5) / img.height;
            const double gloss = 0.85 + 0.3 * std::pow(std::cos((v - 0.25) * 2 * kPi) * 0.5 + 0.5, 3);
            Rgba c = Scale(paint, gloss);
            if (u < 0.1) c = Scale(Rgba{0.25f, 0.23f, 0.2f, 1}, gloss);                      // scorched base
            else if (u > 0.12 && u < 0.16) c = Scale(Rgba{0.85f, 0.7f, 0.3f, 1}, gloss);       // brass band
            else if (u > 0.62 && u < 0.66) c = Scale(Rgba{0.95f, 0.95f, 0.9f, 1}, gloss);      // white band
            else if (u > 0.75) c = Scale(Rgba{0.8f, 0.8f, 0.82f, 1}, gloss * (0.9 + 0.1 * u));  // steel nose
            img.At(x, y) = c;
        }
    return img;
}

Image GunmetalTexture() {
    Image img(256, 256);
    PaintPanels(img, Rgba{0.36f, 0.37f, 0.39f, 1}, 4, 4, 0.8, 401);
    return img;
}

Image PodTexture() {
    Image img(128, 128);
    PaintPanels(img, Rgba{0.42f, 0.4f, 0.3f, 1}, 2, 2, 0.5, 503);
    // Yellow and black warning chevrons along one band.
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            if ((y % 64) > 40 && (y % 64) < 54) {
                const bool black = ((x + y) / 8) % 2 == 0;
                img.At(x, y) = Mix(img.At(x, y), black ? Rgba{0.08f, 0.08f, 0.08f, 1} : Rgba{0.95f, 0.75f, 0.1f, 1}, 0.85);
            }
    return img;
}

Image SteelTexture() {
    Image img(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const double u = x / 128.0, v = y / 128.0;
            // Brushed: fine streaks along x, broad clouds.
            const double brush = TiledNoise(u * 4, v * 128, 4, 128, 601);
            const double cloud = TiledFbm(u, v, 4, 4, 607);
            const double g = 0.55 + 0.12 * (brush - 0.5) + 0.25 * (cloud - 0.5);
            img.At(x, y) = Rgba{static_cast<float>(g), static_cast<float>(g * 1.01), static_cast<float>(g * 1.05), 1};
        }
    return img;
}

Image WheelTexture() {
    Image img(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double u = (x + 0.5) / 256, v = 1.0 - (y + 0.5) / 256;  // v = 0 at the bottom row
            const double rubber = 0.09 + 0.04 * TiledFbm(u, v, 16, 3, 701);
            Rgba c{static_cast<float>(rubber), static_cast<float>(rubber), static_cast<float>(rubber * 1.05), 1};
            if (v < 0.5) {
                // Tread: 14 chevron blocks round the wheel, split by a centre groove.
                const double across = v / 0.5;  // 0 .. 1 across the tyre
                const double phase = std::fmod(u * 14 + std::fabs(across - 0.5) * 0.8, 1.0);
                const bool groove = phase < 0.28 || std::fabs(across - 0.5) < 0.04;
                const double shoulder = Smooth(0.0, 0.12, across) * Smooth(1.0, 0.88, across);
                c = Scale(c, groove ? 0.45 : 1.0 + 0.5 * shoulder);
                if (!groove && phase < 0.36) c = Scale(c, 1.4);  // worn block edge
            } else {
                const double dx = (u - 0.5) / 0.5, dy = (v - 0.75) / 0.25;
                const double r = std::hypot(dx, dy), a = std::atan2(dy, dx);
                if (r > 0.74) {
                    // Sidewall with fine ribs.
                    c = Scale(c, 1.0 + 0.25 * std::sin(r * 90));
                } else if (r > 0.6) {
                    c = Rgba{0.55f, 0.56f, 0.58f, 1};  // rim lip
                    c = Scale(c, 0.8 + 0.4 * Smooth(0.6, 0.68, r));
                } else {
                    // Hub: six spokes with bolts, dark between.
                    const double spoke = std::cos(a * 6);
                    Rgba metal{0.48f, 0.49f, 0.5f, 1};
                    c = r < 0.22 ? Scale(metal, 1.15) : (spoke > 0.2 ? Scale(metal, 0.9 + 0.2 * spoke) : Scale(metal, 0.3));
                    for (int k = 0; k < 6; ++k) {
                        const double ba = k * kPi / 3;
                        if (std::hypot(dx - 0.3 * std::cos(ba), dy - 0.3 * std::sin(ba)) < 0.045) c = Rgba{0.75f, 0.75f, 0.72f, 1};
                    }
                    if (r < 0.08) c = Rgba{0.2f, 0.2f, 0.22f, 1};
                }
            }
            img.At(x, y) = c;
        }
    return img;
}

Image FlameSprite() {
    Image img(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const double dx = (x + 0.5) / 32 - 1, dy = (y + 0.5) / 32 - 1;
            const double r = std::hypot(dx, dy);
            const double lick = TiledFbm((std::atan2(dy, dx) / (2 * kPi)) + 0.5, r * 0.5, 6, 4, 801);
            const double edge = 0.75 + 0.35 * (lick - 0.5);
            const double a = Smooth(edge, edge * 0.35, r);
            const double heat = Smooth(0.9, 0.0, r / edge);
            Rgba c = Mix(Rgba{1.0f, 0.45f, 0.08f, 1}, Rgba{1.0f, 0.97f, 0.8f, 1}, heat);
            c.a = static_cast<float>(a);
            img.At(x, y) = c;
        }
    return img;
}

Image SmokeSprite() {
    Image img(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const double u = (x + 0.5) / 64, v = (y + 0.5) / 64;
            const double r = std::hypot(u * 2 - 1, v * 2 - 1);
            const double puff = TiledFbm(u, v, 4, 5, 901);
            const double a = Smooth(1.0, 0.25, r) * (0.35 + 0.9 * puff);
            const float g = static_cast<float>(0.78 + 0.22 * puff);
            img.At(x, y) = Rgba{g, g, g, static_cast<float>(std::clamp(a, 0.0, 1.0))};
        }
    return img;
}

Image MarkSprite() {
    Image img(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const double dx = (x + 0.5) / 64 - 1, dy = (y + 0.5) / 64 - 1;
            const double r = std::hypot(dx, dy), a = std::atan2(dy, dx) / (2 * kPi) + 0.5;
            // Ragged rim with blast streaks running outward.
            const double streak = TiledNoise(a * 40, 0.5, 40, 1, 1001);
            const double rag = TiledFbm(a, r * 0.25, 8, 4, 1003);
            const double reach = 0.62 + 0.14 * streak + 0.2 * (rag - 0.5);
            const double alpha = Smooth(reach, reach * 0.45, r) * 0.95;
            const double soot = TiledFbm((x + 0.5) / 128, (y + 0.5) / 128, 8, 4, 1007);
            const float g = static_cast<float>(0.03 + 0.1 * soot + 0.12 * Smooth(0.2, 0.9, r / reach));
            img.At(x, y) = Rgba{g * 1.15f, g, g * 0.8f, static_cast<float>(alpha)};
        }
    return img;
}

}  // namespace kv::gen
