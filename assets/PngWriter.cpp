#include "assets/PngWriter.h"

#include <zlib.h>

namespace kv {

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    PutU32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutU32(out, static_cast<uint32_t>(crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start))));
}

}  // namespace

std::vector<uint8_t> EncodePng(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t channels) {
    if (width == 0 || height == 0 || (channels != 3 && channels != 4)) return {};
    const size_t stride = size_t{width} * channels;
    std::vector<uint8_t> rows;
    rows.reserve((stride + 1) * height);
    for (uint32_t y = 0; y < height; ++y) {
        rows.push_back(0);  // filter type "none"
        rows.insert(rows.end(), pixels + y * stride, pixels + (y + 1) * stride);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), 6) != Z_OK) return {};
    packed.resize(packedSize);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutU32(header, width);
    PutU32(header, height);
    header.insert(header.end(), {8, static_cast<uint8_t>(channels == 4 ? 6 : 2), 0, 0, 0});  // RGBA or RGB
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", packed);
    PutChunk(out, "IEND", {});
    return out;
}

}  // namespace kv
