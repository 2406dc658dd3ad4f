#pragma once
// Pixels read back from the framebuffer, and a PNG writer for looking at them.

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

// RGBA, rows from the bottom up, as OpenGL reads them.
struct Picture {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgba;
    // The pixel at column x of row y, counting rows from the bottom.
    const uint8_t* At(int32_t x, int32_t y) const { return rgba.data() + (static_cast<size_t>(y) * width + x) * 4; }
};

// The rectangle (x, y, width, height) of the current read framebuffer.
Picture ReadPicture(int32_t x, int32_t y, int32_t width, int32_t height);
// The same into width x height x 4 bytes at rgba.
void ReadPixels(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* rgba);
// Writes the picture as an RGB PNG, top row first. False when it cannot be written.
bool WritePng(const Picture& picture, const std::string& path);

}  // namespace kv
