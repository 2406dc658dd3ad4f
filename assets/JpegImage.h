#pragma once
// JPEG pictures through libjpeg-turbo, turned into 24-bit R, G, B rows from the bottom row up.

#include <cstddef>
#include <cstdint>

#include "assets/Image.h"
#include "core/Stream.h"

namespace kv {

// Reads the whole stream and decodes it; false (image empty) when the data are not a JPEG
// this library can turn into RGB, or the picture is too large.
bool DecodeJpeg(KvIStream& in, KvImage& image);
bool DecodeJpeg(const uint8_t* data, size_t size, KvImage& image);

}  // namespace kv
