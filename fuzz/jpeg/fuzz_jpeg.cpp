// Decodes any bytes as a JPEG picture. A decoded image must hold exactly width x height RGB
// pixels; anything else must be refused without touching memory it does not own.

#include <cstdint>

#include "assets/JpegImage.h"

namespace {

// The size a frame header (SOF0..SOF15 but DHT, JPG and DAC) announces, walking the marker
// segments from the start; 0 when there is none before the scan.
uint64_t AnnouncedPixels(const uint8_t* data, size_t size) {
    size_t at = 2;
    while (at + 9 <= size && data[at] == 0xFF) {
        const uint8_t marker = data[at + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            return uint64_t(data[at + 5] << 8 | data[at + 6]) * (data[at + 7] << 8 | data[at + 8]);
        }
        if (marker == 0xDA) return 0;
        at += 2 + (data[at + 2] << 8 | data[at + 3]);
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Keep each run quick: pictures above 65536 pixels only cost time, not new paths.
    if (AnnouncedPixels(data, size) > (1u << 16)) return 0;
    kv::KvImage image;
    const bool decoded = kv::DecodeJpeg(data, size, image);
    if (decoded != image.IsValid()) __builtin_trap();
    if (decoded && (image.bitsPerPixel != 24 || image.pixels.size() != size_t{image.width} * image.height * 3)) {
        __builtin_trap();
    }
    return 0;
}
