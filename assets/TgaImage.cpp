#include "assets/TgaImage.h"

#include <array>
#include <cstring>

namespace kv {

namespace {

// 5-bit and 6-bit channels are widened by these single-precision factors and truncated,
// so a full channel gives 254, as the game's sprites were made to look.
constexpr float kScale5 = 8.2258f;
constexpr float kScale6 = 4.0476f;

struct TgaHeader {
    uint8_t idLength;
    uint8_t colourMapType;
    uint8_t imageType;
    uint16_t mapFirst;
    uint16_t mapLength;
    uint8_t mapEntryBits;
    uint16_t width;
    uint16_t height;
    uint8_t pixelDepth;
    uint8_t descriptor;
};

TgaHeader ParseHeader(const uint8_t* b) {
    auto u16 = [&](int at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); };
    return {b[0], b[1], b[2], u16(3), u16(5), b[7], u16(12), u16(14), b[16], b[17]};
}

using Rgba = std::array<uint8_t, 4>;

uint8_t Widen5(uint32_t bits) { return static_cast<uint8_t>(static_cast<float>(bits & 31) * kScale5); }
uint8_t Widen6(uint32_t bits) { return static_cast<uint8_t>(static_cast<float>(bits & 63) * kScale6); }

// Converts a pixel value of the given depth to R, G, B, A.
Rgba Convert(uint32_t v, uint32_t depth, uint32_t attributeBits, bool grey) {
    auto byte = [&](int k) { return static_cast<uint8_t>(v >> (8 * k)); };
    if (grey && depth <= 8) return {byte(0), byte(0), byte(0), 255};
    if (grey && depth == 16) return {byte(0), byte(0), byte(0), attributeBits ? byte(1) : uint8_t{255}};
    if (depth == 15 || (depth == 16 && attributeBits == 1)) return {Widen5(v >> 10), Widen5(v >> 5), Widen5(v), 255};
    if (depth == 16) return {Widen5(v >> 11), Widen6(v >> 5), Widen5(v), 255};
    if (depth == 24 || (depth == 32 && attributeBits == 0)) return {byte(2), byte(1), byte(0), 255};
    return {byte(2), byte(1), byte(0), byte(3)};
}

// Reads the stream in blocks; the bytes come out exactly as one read per byte would give them.
class ByteReader {
public:
    explicit ByteReader(KvIStream& in) : in_(in) {}

    bool Next(uint8_t& b) {
        if (at_ == end_) {
            if (exhausted_) return false;
            int32_t got = in_.Read(buffer_, sizeof buffer_);
            at_ = 0;
            end_ = got > 0 ? static_cast<uint32_t>(got) : 0;
            if (end_ == 0) {
                exhausted_ = true;
                return false;
            }
        }
        b = buffer_[at_++];
        return true;
    }
    bool Exhausted() const { return exhausted_ && at_ == end_; }

    // A little-endian value of n bytes; a missing byte counts as zero and bytes past the
    // fourth do not fit the value.
    uint32_t Value(uint32_t n) {
        uint32_t v = 0;
        for (uint32_t k = 0; k < n; ++k) {
            uint8_t b = 0;
            if (Next(b) && k < 4) v |= static_cast<uint32_t>(b) << (8 * k);
        }
        return v;
    }

private:
    KvIStream& in_;
    uint8_t buffer_[4096];
    uint32_t at_ = 0;
    uint32_t end_ = 0;
    bool exhausted_ = false;
};

class PixelSink {
public:
    PixelSink(KvImage& image, uint32_t originBits)
        : out_(image.pixels.data()), w_(image.width), h_(image.height), origin_(originBits) {}

    // Stores pixel index i of the file order at its bottom-up place.
    void Store(uint64_t i, const Rgba& p) {
        uint32_t c = static_cast<uint32_t>(i % w_);
        uint32_t r = static_cast<uint32_t>(i / w_);
        if (origin_ & 1) c = w_ - 1 - c;
        if (origin_ & 2) r = h_ - 1 - r;
        std::memcpy(out_ + (static_cast<uint64_t>(r) * w_ + c) * 4, p.data(), 4);
    }

private:
    uint8_t* out_;
    uint32_t w_, h_, origin_;
};

}  // namespace

bool DecodeTga(KvIStream& in, KvImage& image) {
    image.Release();
    uint8_t raw[18];
    if (in.Read(raw, sizeof raw) != static_cast<int32_t>(sizeof raw)) return false;
    const TgaHeader h = ParseHeader(raw);

    const uint64_t count = uint64_t{h.width} * h.height;
    if (count == 0 || count > kMaxImagePixels) return false;
    const uint32_t attributeBits = h.descriptor & 15u;
    if (h.idLength != 0 && in.Seek(h.idLength, SeekOrigin::Current)) return false;

    const bool hasMap = h.colourMapType != 0;
    const bool mapped = h.imageType == 1 || h.imageType == 9;
    const bool grey = h.imageType == 3 || h.imageType == 11;
    const bool rle = h.imageType >= 9;
    if (h.imageType == 0) return false;
    if (!(h.imageType >= 1 && h.imageType <= 3) && !(h.imageType >= 9 && h.imageType <= 11)) return false;
    if (hasMap && grey) return false;
    if (hasMap && h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 && h.mapEntryBits != 32) {
        return false;
    }
    // A colour-mapped image without its map has no colours to give.
    if (mapped && !hasMap) return false;

    ByteReader reader(in);

    // The map sits right after the identification field. It is read (and passed over) whenever
    // present; only colour-mapped images look pixels up in it.
    std::vector<Rgba> map;
    if (hasMap) {
        const uint32_t entryBytes = (h.mapEntryBits + 7u) / 8u;
        map.reserve(h.mapLength);
        for (uint32_t k = 0; k < h.mapLength; ++k) {
            map.push_back(Convert(reader.Value(entryBytes), h.mapEntryBits, attributeBits, false));
        }
    }

    const uint32_t bytesPerPixel = h.pixelDepth == 0 ? 1u : (h.pixelDepth + 7u) / 8u;
    // An index past the map gives a transparent black pixel.
    auto pixelOf = [&](uint32_t v) -> Rgba {
        if (!mapped) return Convert(v, h.pixelDepth, attributeBits, grey);
        return v < map.size() ? map[v] : Rgba{0, 0, 0, 0};
    };

    image.width = h.width;
    image.height = h.height;
    image.bitsPerPixel = 32;
    image.pixels.assign(static_cast<size_t>(count) * 4, 0);
    PixelSink sink(image, (h.descriptor >> 4) & 3u);

    uint64_t i = 0;
    while (i < count) {
        if (reader.Exhausted()) {
            // Whatever is missing reads as zero bytes: the rest of the image is pixel value 0.
            const Rgba zero = pixelOf(0);
            for (; i < count; ++i) sink.Store(i, zero);
            break;
        }
        if (!rle) {
            sink.Store(i++, pixelOf(reader.Value(bytesPerPixel)));
            continue;
        }
        uint8_t header = 1;
        if (!reader.Next(header)) header = 1;
        uint64_t run = (header & 127u) + 1u;
        if (run > count - i) run = count - i;  // a packet past the last pixel is clipped
        if (header & 128u) {
            const Rgba p = pixelOf(reader.Value(bytesPerPixel));
            for (uint64_t k = 0; k < run; ++k) sink.Store(i++, p);
        } else {
            for (uint64_t k = 0; k < run; ++k) sink.Store(i++, pixelOf(reader.Value(bytesPerPixel)));
        }
    }
    return true;
}

}  // namespace kv
