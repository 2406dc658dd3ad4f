#pragma once
// A decoded picture, ready for OpenGL: rows from the bottom row upward, 3 bytes (R, G, B)
// or 4 bytes (R, G, B, A) per pixel. Decoders never touch OpenGL, so they run headless.

#include <cstdint>
#include <optional>
#include <vector>

#include "core/KvString.h"
#include "core/Stream.h"

namespace kv {

// Larger pictures are refused rather than allocated: no texture of the game comes near,
// and a damaged header must not ask for gigabytes.
inline constexpr uint64_t kMaxImagePixels = uint64_t{1} << 26;

struct KvImage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 0;    // 24 after JPEG decoding, 32 after TGA decoding
    std::vector<uint8_t> pixels;  // empty when decoding failed

    bool IsValid() const { return !pixels.empty(); }
    uint32_t BytesPerPixel() const { return bitsPerPixel / 8; }
    // The pixel at column x of row y, counting rows from the bottom.
    const uint8_t* At(uint32_t x, uint32_t y) const {
        return pixels.data() + (static_cast<size_t>(y) * width + x) * BytesPerPixel();
    }
    void Release() { *this = KvImage(); }
};

enum class ImageFormat : int { Jpeg = 0, Tga = 1 };

// The decoder a file name asks for, by its extension in any letter case: "TGA" selects TGA,
// "JPG" or "JPEG" selects JPEG; anything else selects nothing.
std::optional<ImageFormat> ImageFormatOf(const KvFile& fileName);

// Decodes the whole stream into image; on failure image is left empty and false returned.
bool LoadImage(KvImage& image, KvIStream& in, ImageFormat format);

}  // namespace kv
