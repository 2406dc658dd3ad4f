#pragma once
// PNG files for looking at pictures by eye: the game's screenshots and decoded resources.

#include <cstdint>
#include <vector>

namespace kv {

// pixels: rows top first, 8 bits per channel, channels 3 (RGB) or 4 (RGBA), no padding.
// Empty for an empty picture, another channel count, or when compression fails.
std::vector<uint8_t> EncodePng(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t channels);

}  // namespace kv
