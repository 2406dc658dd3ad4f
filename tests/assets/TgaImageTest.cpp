#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "assets/Image.h"
#include "assets/TgaImage.h"
#include "core/Stream.h"

namespace kv {
namespace {

using Pixel = std::array<int, 4>;
using Pixels = std::vector<Pixel>;

// Builds a TGA file byte by byte from the published header layout; the expectations in the
// tests are written out by hand, not computed by the decoder's own formulas.
struct Tga {
    uint8_t idLength = 0;
    uint8_t mapType = 0;
    uint8_t type = 2;
    uint16_t mapFirst = 0;
    uint16_t mapLength = 0;
    uint8_t mapBits = 0;
    uint16_t width = 1;
    uint16_t height = 1;
    uint8_t depth = 24;
    uint8_t descriptor = 0;
    std::vector<uint8_t> body = {};  // identification field, colour map and pixel data

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> b = {idLength, mapType, type};
        for (uint16_t v : {mapFirst, mapLength}) b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
        b.insert(b.end(), {mapBits, 0, 0, 0, 0});
        for (uint16_t v : {width, height}) b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
        b.insert(b.end(), {depth, descriptor});
        b.insert(b.end(), body.begin(), body.end());
        return b;
    }
};

bool Decode(const std::vector<uint8_t>& bytes, KvImage& image) {
    KvMemIStream in(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return DecodeTga(in, image);
}

// Every pixel of the decoded image, bottom row first.
Pixels All(const Tga& tga) {
    KvImage image;
    EXPECT_TRUE(Decode(tga.Bytes(), image));
    EXPECT_EQ(image.bitsPerPixel, 32u);
    Pixels out;
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            out.push_back({p[0], p[1], p[2], p[3]});
        }
    }
    return out;
}

// The pixel of a 1 x 1 image of the given type, depth and descriptor.
Pixel One(uint8_t type, uint8_t depth, uint8_t descriptor, std::vector<uint8_t> body) {
    Pixels all = All({.type = type, .depth = depth, .descriptor = descriptor, .body = std::move(body)});
    return all.empty() ? Pixel{-1, -1, -1, -1} : all[0];
}

TEST(Tga, DecodesTrueColourPixelsFromBlueGreenRed) {
    EXPECT_EQ(All({.width = 2, .body = {0x10, 0x20, 0x30, 0xFF, 0x00, 0x80}}),
              (Pixels{{0x30, 0x20, 0x10, 255}, {0x80, 0x00, 0xFF, 255}}));
}

TEST(Tga, KeepsThirtyTwoBitAlphaOnlyWithAttributeBits) {
    EXPECT_EQ(One(2, 32, 8, {1, 2, 3, 0x40}), (Pixel{3, 2, 1, 0x40}));
    EXPECT_EQ(One(2, 32, 0, {1, 2, 3, 0x40}), (Pixel{3, 2, 1, 255}));
}

TEST(Tga, ReadsSixteenBitsAsFiveFiveFiveWithOneAttributeBitElseFiveSixFive) {
    EXPECT_EQ(One(2, 16, 1, {0xFF, 0x7F}), (Pixel{254, 254, 254, 255}));
    EXPECT_EQ(One(2, 16, 0, {0xFF, 0x7F}), (Pixel{123, 254, 254, 255}));
    EXPECT_EQ(One(2, 15, 0, {0x1F, 0x04}), (Pixel{8, 0, 254, 255}));  // R 1, G 0, B 31
    EXPECT_EQ(One(2, 16, 0, {0x20, 0x08}), (Pixel{8, 4, 0, 255}));    // R 1, G 1, B 0 as 5-6-5
}

TEST(Tga, KeepsTheFourthByteAsAlphaForOddDepths) {
    EXPECT_EQ(One(2, 28, 0, {1, 2, 3, 4}), (Pixel{3, 2, 1, 4}));
    EXPECT_EQ(One(2, 20, 0, {1, 2, 3}), (Pixel{3, 2, 1, 0}));  // three bytes: no fourth byte, so alpha 0
    EXPECT_EQ(One(2, 8, 0, {0x99}), (Pixel{0, 0, 0x99, 0}));   // 8-bit true colour lands in blue
}

TEST(Tga, StoresEveryOriginCornerBottomUp) {
    // File order 1 2 3 / 4 5 6 (first row first), one grey level per pixel.
    auto greys = [](uint8_t descriptor) {
        std::vector<int> out;
        for (const Pixel& p : All({.type = 3, .width = 3, .height = 2, .depth = 8, .descriptor = descriptor,
                                   .body = {1, 2, 3, 4, 5, 6}}))
            out.push_back(p[0]);
        return out;
    };
    EXPECT_EQ(greys(0x00), (std::vector<int>{1, 2, 3, 4, 5, 6}));  // bottom-left
    EXPECT_EQ(greys(0x10), (std::vector<int>{3, 2, 1, 6, 5, 4}));  // bottom-right
    EXPECT_EQ(greys(0x20), (std::vector<int>{4, 5, 6, 1, 2, 3}));  // top-left: first row on top
    EXPECT_EQ(greys(0x30), (std::vector<int>{6, 5, 4, 3, 2, 1}));  // top-right
}

TEST(Tga, ExpandsGreyImagesToGreyRgb) {
    EXPECT_EQ(One(3, 8, 0, {0x42}), (Pixel{0x42, 0x42, 0x42, 255}));
    EXPECT_EQ(One(3, 16, 8, {0x42, 0x80}), (Pixel{0x42, 0x42, 0x42, 0x80}));
    EXPECT_EQ(All({.type = 11, .width = 3, .depth = 8, .body = {0x82, 0x07}}), Pixels(3, Pixel{7, 7, 7, 255}));
}

TEST(Tga, ExpandsRunAndLiteralPacketsAcrossRows) {
    // 0x83: one pixel four times (crossing into the second row); 0x01: two literal pixels.
    EXPECT_EQ(All({.type = 10, .width = 3, .height = 2, .body = {0x83, 0, 0, 9, 0x01, 0, 5, 0, 6, 0, 0}}),
              (Pixels{{9, 0, 0, 255}, {9, 0, 0, 255}, {9, 0, 0, 255}, {9, 0, 0, 255}, {0, 5, 0, 255}, {0, 0, 6, 255}}));
    EXPECT_EQ(All({.type = 10, .width = 2, .height = 2, .body = {0x03, 1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0}}),
              (Pixels{{0, 0, 1, 255}, {0, 0, 2, 255}, {0, 0, 3, 255}, {0, 0, 4, 255}}));
}

TEST(Tga, ClipsPacketsThatRunPastTheLastPixel) {
    // A run of 128 into an image of 2, then 128 literals announced and 3 given.
    EXPECT_EQ(All({.type = 10, .width = 2, .body = {0xFF, 1, 2, 3}}), Pixels(2, Pixel{3, 2, 1, 255}));
    EXPECT_EQ(All({.type = 10, .width = 2, .body = {0x7F, 1, 2, 3, 4, 5, 6, 7, 8, 9}}),
              (Pixels{{3, 2, 1, 255}, {6, 5, 4, 255}}));
}

TEST(Tga, LooksColourMappedPixelsUpInTheirMap) {
    // The first map index is not subtracted from the pixels; indices past the map give zero.
    EXPECT_EQ(All({.mapType = 1, .type = 1, .mapFirst = 5, .mapLength = 2, .mapBits = 24, .width = 4, .depth = 8,
                   .body = {10, 20, 30, 40, 50, 60, /* pixels */ 1, 0, 2, 200}}),
              (Pixels{{60, 50, 40, 255}, {30, 20, 10, 255}, {0, 0, 0, 0}, {0, 0, 0, 0}}));
    const struct {
        uint8_t mapBits, descriptor;
        std::vector<uint8_t> body;
        Pixel expected;
    } maps[] = {
        {32, 8, {1, 2, 3, 4, 5, 6, 7, 8, /* pixel */ 1}, {7, 6, 5, 8}},
        {15, 0, {0x00, 0x7C, 0xE0, 0x03, /* pixel */ 1}, {0, 254, 0, 255}},  // red, green
        {16, 0, {0x00, 0xF8, 0xE0, 0x07, /* pixel */ 0}, {254, 0, 0, 255}},  // 5-6-5 red, green
    };
    for (const auto& m : maps) {
        SCOPED_TRACE(int(m.mapBits));
        EXPECT_EQ(All({.mapType = 1, .type = 1, .mapLength = 2, .mapBits = m.mapBits, .depth = 8,
                       .descriptor = m.descriptor, .body = m.body}),
                  Pixels{m.expected});
    }
    // Run-length packets of two-byte indices.
    EXPECT_EQ(All({.mapType = 1, .type = 9, .mapLength = 2, .mapBits = 24, .width = 3, .depth = 16,
                   .body = {1, 2, 3, 4, 5, 6, /* packets */ 0x81, 1, 0, 0x00, 0, 0}}),
              (Pixels{{6, 5, 4, 255}, {6, 5, 4, 255}, {3, 2, 1, 255}}));
}

TEST(Tga, PassesOverTheIdentificationFieldAndAnUnusedMap) {
    EXPECT_EQ(All({.idLength = 3, .mapType = 1, .mapLength = 1, .mapBits = 16,
                   .body = {'a', 'b', 'c', 0xFF, 0xFF, /* pixel */ 7, 8, 9}}),
              (Pixels{{9, 8, 7, 255}}));
}

TEST(Tga, GivesZeroBytesForWhatATruncatedFileLacks) {
    // One pixel and one byte of the second.
    EXPECT_EQ(All({.width = 3, .body = {1, 2, 3, 4}}), (Pixels{{3, 2, 1, 255}, {0, 0, 4, 255}, {0, 0, 0, 255}}));
    EXPECT_EQ(All({.type = 10, .width = 3}), Pixels(3, Pixel{0, 0, 0, 255}));
}

TEST(Tga, RefusesWhatItCannotDecode) {
    KvImage image;
    EXPECT_FALSE(Decode(std::vector<uint8_t>(17, 0), image));
    const std::pair<const char*, Tga> refused[] = {
        {"no width", {.width = 0}},
        {"no height", {.height = 0}},
        {"type 0", {.type = 0}},
        {"type 4", {.type = 4}},
        {"type 12", {.type = 12}},
        {"identification past the end", {.idLength = 200}},
        {"mapped without a map", {.type = 1}},
        {"grey with a map", {.mapType = 1, .type = 3, .mapBits = 24}},
        {"map of 8 bits", {.mapType = 1, .mapBits = 8}},
        {"too large", {.width = 65535, .height = 65535}},
    };
    for (auto [what, tga] : refused) {
        tga.body = {1, 2, 3};
        EXPECT_FALSE(Decode(tga.Bytes(), image)) << what;
        EXPECT_FALSE(image.IsValid()) << what;
    }
}

TEST(ImageFormat, FollowsTheExtensionInAnyCase) {
    EXPECT_EQ(ImageFormatOf("smoke.tga"), ImageFormat::Tga);
    EXPECT_EQ(ImageFormatOf("mark.TGA"), ImageFormat::Tga);
    EXPECT_EQ(ImageFormatOf("GRASS2.jpg"), ImageFormat::Jpeg);
    EXPECT_EQ(ImageFormatOf("dark.grass.JPEG"), ImageFormat::Jpeg);
    EXPECT_EQ(ImageFormatOf("picture.png"), std::nullopt);
    EXPECT_EQ(ImageFormatOf("tga"), std::nullopt);
}

}  // namespace
}  // namespace kv
