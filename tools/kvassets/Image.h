#pragma once
// Pictures for the generated textures: floating-point RGBA rows from the top, seamless
// noise, and the two file formats the game reads (TGA written here, JPEG through libjpeg).

#include <cstdint>
#include <vector>

namespace kv::gen {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;
};
Rgba Mix(Rgba a, Rgba b, double t);
// The colour times s, alpha kept.
Rgba Scale(Rgba c, double s);

struct Image {
    Image(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w * h)) {}
    Rgba& At(int x, int y) { return pixels[static_cast<std::size_t>(Wrap(y, height) * width + Wrap(x, width))]; }
    static int Wrap(int i, int n) { return ((i % n) + n) % n; }
    int width, height;
    std::vector<Rgba> pixels;
};

// Deterministic hash of lattice points, in [0, 1).
double Hash(int x, int y, uint32_t seed);
// Value noise with period (px, py) lattice cells, smoothly interpolated, in [0, 1).
double TiledNoise(double x, double y, int px, int py, uint32_t seed);
// Octaves of TiledNoise over a texture that repeats every `period` lattice cells at octave 0.
double TiledFbm(double u, double v, int period, int octaves, uint32_t seed);

// Uncompressed 32-bit true-colour TGA with 8 alpha bits, stored bottom row first.
std::vector<uint8_t> EncodeTga(const Image& image);
// Baseline JPEG at the given quality, 4:2:0 chroma.
std::vector<uint8_t> EncodeJpeg(const Image& image, int quality);

}  // namespace kv::gen
