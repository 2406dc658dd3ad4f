// Decodes any bytes as a TGA picture. A decoded image must hold exactly width x height
// RGBA pixels; anything else must be refused without touching memory it does not own.

#include <cstdint>

#include "assets/TgaImage.h"
#include "core/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Keep each run quick: pictures above 65536 pixels only cost time, not new paths.
    if (size >= 16 && uint32_t(data[12] | data[13] << 8) * uint32_t(data[14] | data[15] << 8) > (1u << 16)) return 0;
    kv::KvMemIStream in(data, static_cast<uint32_t>(size));
    kv::KvImage image;
    bool decoded = kv::DecodeTga(in, image);
    if (decoded != image.IsValid()) __builtin_trap();
    if (decoded && (image.bitsPerPixel != 32 || image.pixels.size() != size_t{image.width} * image.height * 4)) {
        __builtin_trap();
    }
    return 0;
}
