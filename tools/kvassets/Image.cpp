#include "tools/kvassets/Image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <jpeglib.h>

namespace kv::gen {

Rgba Mix(Rgba a, Rgba b, double t) {
    const float s = static_cast<float>(t);
    return {a.r + (b.r - a.r) * s, a.g + (b.g - a.g) * s, a.b + (b.b - a.b) * s, a.a + (b.a - a.a) * s};
}

Rgba Scale(Rgba c, double s) {
    return {static_cast<float>(c.r * s), static_cast<float>(c.g * s), static_cast<float>(c.b * s), c.a};
}

double Hash(int x, int y, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B1u ^ static_cast<uint32_t>(x) * 0x85EBCA77u ^ static_cast<uint32_t>(y) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return (h & 0xFFFFFF) / 16777216.0;
}

double TiledNoise(double x, double y, int px, int py, uint32_t seed) {
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    auto h = [&](int i, int j) { return Hash(Image::Wrap(i, px), Image::Wrap(j, py), seed); };
    const double a = h(x0, y0) + (h(x0 + 1, y0) - h(x0, y0)) * sx;
    const double b = h(x0, y0 + 1) + (h(x0 + 1, y0 + 1) - h(x0, y0 + 1)) * sx;
    return a + (b - a) * sy;
}

double TiledFbm(double u, double v, int period, int octaves, uint32_t seed) {
    double sum = 0, amp = 0.5, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        const int p = period << o;
        sum += amp * TiledNoise(u * p, v * p, p, p, seed + static_cast<uint32_t>(o) * 101u);
        norm += amp;
        amp *= 0.5;
    }
    return sum / norm;
}

namespace {

uint8_t Byte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

}  // namespace

std::vector<uint8_t> EncodeTga(const Image& image) {
    std::vector<uint8_t> out(18, 0);
    out[2] = 2;  // uncompressed true colour
    out[12] = static_cast<uint8_t>(image.width & 0xFF);
    out[13] = static_cast<uint8_t>(image.width >> 8);
    out[14] = static_cast<uint8_t>(image.height & 0xFF);
    out[15] = static_cast<uint8_t>(image.height >> 8);
    out[16] = 32;
    out[17] = 8;  // eight alpha bits, origin bottom-left
    for (int y = image.height - 1; y >= 0; --y)
        for (int x = 0; x < image.width; ++x) {
            const Rgba& p = image.pixels[static_cast<std::size_t>(y * image.width + x)];
            out.insert(out.end(), {Byte(p.b), Byte(p.g), Byte(p.r), Byte(p.a)});
        }
    return out;
}

std::vector<uint8_t> EncodeJpeg(const Image& image, int quality) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.dct_method = JDCT_ISLOW;  // the integer transform gives the same bytes everywhere
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(static_cast<std::size_t>(image.width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < image.width; ++x) {
            const Rgba& p = image.pixels[static_cast<std::size_t>(y * image.width + x)];
            row[static_cast<std::size_t>(3 * x)] = Byte(p.r);
            row[static_cast<std::size_t>(3 * x + 1)] = Byte(p.g);
            row[static_cast<std::size_t>(3 * x + 2)] = Byte(p.b);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

}  // namespace kv::gen
