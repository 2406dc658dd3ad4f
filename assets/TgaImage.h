#pragma once
// The game's own TGA decoder: colour-mapped, true-colour and grey images, uncompressed or
// run-length encoded, 15 to 32 bits, any origin corner. The result is always 32 bits per
// pixel, rows bottom-up. A stream that ends early yields zero bytes for what is missing.

#include "assets/Image.h"
#include "core/Stream.h"

namespace kv {

// Decodes a TGA picture from the stream's current position; false (image empty) when the
// header is short, the image is empty or too large, or its type or colour map is unsupported.
bool DecodeTga(KvIStream& in, KvImage& image);

}  // namespace kv
