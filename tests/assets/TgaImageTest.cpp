#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <vector>

#include "assets/Image.h"
#include "assets/TgaImage.h"
#include "core/Stream.h"

namespace kv {
namespace {

using Pixel = std::array<int, 4>;

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
    std::vector<uint8_t> body;  // identification field, colour map and pixel data

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> b = {idLength, mapType, type};
        auto u16 = [&](uint16_t v) {
            b.push_back(static_cast<uint8_t>(v));
            b.push_back(static_cast<uint8_t>(v >> 8));
        };
        u16(mapFirst);
        u16(mapLength);
        b.push_back(mapBits);
        u16(0);
        u16(0);
        u16(width);
        u16(height);
        b.push_back(depth);
        b.push_back(descriptor);
        b.insert(b.end(), body.begin(), body.end());
        return b;
    }
};

bool Decode(const std::vector<uint8_t>& bytes, KvImage& image) {
    KvMemIStream in(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return DecodeTga(in, image);
}

KvImage Decoded(const Tga& tga) {
    KvImage image;
    EXPECT_TRUE(Decode(tga.Bytes(), image));
    EXPECT_EQ(image.bitsPerPixel, 32u);
    return image;
}

Pixel At(const KvImage& image, uint32_t x, uint32_t y) {
    const uint8_t* p = image.At(x, y);
    return {p[0], p[1], p[2], p[3]};
}

// Every pixel, bottom row first.
std::vector<Pixel> All(const KvImage& image) {
    std::vector<Pixel> out;
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) out.push_back(At(image, x, y));
    }
    return out;
}

TEST(Tga, DecodesTrueColourPixelsFromBlueGreenRed) {
    Tga tga;
    tga.width = 2;
    tga.body = {0x10, 0x20, 0x30, 0xFF, 0x00, 0x80};
    EXPECT_EQ(All(Decoded(tga)), (std::vector<Pixel>{{0x30, 0x20, 0x10, 255}, {0x80, 0x00, 0xFF, 255}}));
}

TEST(Tga, KeepsThirtyTwoBitAlphaOnlyWithAttributeBits) {
    Tga tga;
    tga.depth = 32;
    tga.body = {1, 2, 3, 0x40};
    tga.descriptor = 8;
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{3, 2, 1, 0x40}));
    tga.descriptor = 0;
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{3, 2, 1, 255}));
}

TEST(Tga, ReadsSixteenBitsAsFiveFiveFiveWithOneAttributeBitElseFiveSixFive) {
    Tga tga;
    tga.depth = 16;
    tga.body = {0xFF, 0x7F};
    tga.descriptor = 1;
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{254, 254, 254, 255}));
    tga.descriptor = 0;
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{123, 254, 254, 255}));
    tga.depth = 15;
    tga.body = {0x1F, 0x04};  // R 1, G 0, B 31
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{8, 0, 254, 255}));
    tga.depth = 16;
    tga.body = {0x20, 0x08};  // R 1, G 1, B 0 as 5-6-5
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{8, 4, 0, 255}));
}

TEST(Tga, KeepsTheFourthByteAsAlphaForOddDepths) {
    Tga tga;
    tga.depth = 28;
    tga.body = {1, 2, 3, 4};
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{3, 2, 1, 4}));
    tga.depth = 20;  // three bytes: no fourth byte, so alpha 0
    tga.body = {1, 2, 3};
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{3, 2, 1, 0}));
    tga.depth = 8;  // a true-colour image of 8 bits lands in blue with alpha 0
    tga.body = {0x99};
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{0, 0, 0x99, 0}));
}

TEST(Tga, StoresEveryOriginCornerBottomUp) {
    // File order 1 2 3 / 4 5 6 (first row first), one grey level per pixel.
    Tga tga;
    tga.type = 3;
    tga.depth = 8;
    tga.width = 3;
    tga.height = 2;
    tga.body = {1, 2, 3, 4, 5, 6};
    auto greys = [&](uint8_t descriptor) {
        tga.descriptor = descriptor;
        std::vector<int> out;
        for (const Pixel& p : All(Decoded(tga))) out.push_back(p[0]);
        return out;
    };
    EXPECT_EQ(greys(0x00), (std::vector<int>{1, 2, 3, 4, 5, 6}));  // bottom-left
    EXPECT_EQ(greys(0x10), (std::vector<int>{3, 2, 1, 6, 5, 4}));  // bottom-right
    EXPECT_EQ(greys(0x20), (std::vector<int>{4, 5, 6, 1, 2, 3}));  // top-left: first row on top
    EXPECT_EQ(greys(0x30), (std::vector<int>{6, 5, 4, 3, 2, 1}));  // top-right
}

TEST(Tga, ExpandsGreyImagesToGreyRgb) {
    Tga tga;
    tga.type = 3;
    tga.depth = 8;
    tga.body = {0x42};
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{0x42, 0x42, 0x42, 255}));
    tga.depth = 16;
    tga.descriptor = 8;
    tga.body = {0x42, 0x80};
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{0x42, 0x42, 0x42, 0x80}));
    tga.type = 11;
    tga.depth = 8;
    tga.descriptor = 0;
    tga.body = {0x82, 0x07};
    tga.width = 3;
    EXPECT_EQ(All(Decoded(tga)), (std::vector<Pixel>(3, Pixel{7, 7, 7, 255})));
}

TEST(Tga, ExpandsRunAndLiteralPacketsAcrossRows) {
    Tga tga;
    tga.type = 10;
    tga.width = 3;
    tga.height = 2;
    // 0x83: one pixel four times (crossing into the second row); 0x01: two literal pixels.
    tga.body = {0x83, 0, 0, 9, 0x01, 0, 5, 0, 6, 0, 0};
    EXPECT_EQ(All(Decoded(tga)), (std::vector<Pixel>{{9, 0, 0, 255},
                                                     {9, 0, 0, 255},
                                                     {9, 0, 0, 255},
                                                     {9, 0, 0, 255},
                                                     {0, 5, 0, 255},
                                                     {0, 0, 6, 255}}));
    tga.width = 2;
    tga.height = 2;
    tga.body = {0x03, 1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0};  // four literal pixels
    EXPECT_EQ(All(Decoded(tga)), (std::vector<Pixel>{{0, 0, 1, 255}, {0, 0, 2, 255}, {0, 0, 3, 255}, {0, 0, 4, 255}}));
}

TEST(Tga, ClipsPacketsThatRunPastTheLastPixel) {
    Tga tga;
    tga.type = 10;
    tga.width = 2;
    tga.height = 1;
    tga.body = {0xFF, 1, 2, 3};  // a run of 128 into an image of 2
    EXPECT_EQ(All(Decoded(tga)), (std::vector<Pixel>(2, Pixel{3, 2, 1, 255})));
    tga.body = {0x7F, 1, 2, 3, 4, 5, 6, 7, 8, 9};  // 128 literals announced, 3 given
    EXPECT_EQ(All(Decoded(tga)), (std::vector<Pixel>{{3, 2, 1, 255}, {6, 5, 4, 255}}));
}

TEST(Tga, LooksColourMappedPixelsUpInTheirMap) {
    Tga tga;
    tga.type = 1;
    tga.mapType = 1;
    tga.mapFirst = 5;  // not subtracted from the indices
    tga.mapLength = 2;
    tga.mapBits = 24;
    tga.depth = 8;
    tga.width = 4;
    tga.body = {10, 20, 30, 40, 50, 60, /* pixels */ 1, 0, 2, 200};
    EXPECT_EQ(All(Decoded(tga)), (std::vector<Pixel>{{60, 50, 40, 255}, {30, 20, 10, 255}, {0, 0, 0, 0}, {0, 0, 0, 0}}));

    tga.mapBits = 32;
    tga.descriptor = 8;
    tga.width = 1;
    tga.body = {1, 2, 3, 4, 5, 6, 7, 8, /* pixel */ 1};
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{7, 6, 5, 8}));

    tga.mapBits = 15;
    tga.descriptor = 0;
    tga.body = {0x00, 0x7C, 0xE0, 0x03, /* pixel */ 1};  // red, green
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{0, 254, 0, 255}));

    tga.mapBits = 16;
    tga.body = {0x00, 0xF8, 0xE0, 0x07, /* pixel */ 0};  // 5-6-5 red, green
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{254, 0, 0, 255}));

    tga.type = 9;
    tga.width = 3;
    tga.depth = 16;  // two-byte indices
    tga.mapBits = 24;
    tga.body = {1, 2, 3, 4, 5, 6, /* packets */ 0x81, 1, 0, 0x00, 0, 0};
    EXPECT_EQ(All(Decoded(tga)), (std::vector<Pixel>{{6, 5, 4, 255}, {6, 5, 4, 255}, {3, 2, 1, 255}}));
}

TEST(Tga, PassesOverTheIdentificationFieldAndAnUnusedMap) {
    Tga tga;
    tga.idLength = 3;
    tga.mapType = 1;
    tga.mapLength = 1;
    tga.mapBits = 16;
    tga.body = {'a', 'b', 'c', 0xFF, 0xFF, /* pixel */ 7, 8, 9};
    EXPECT_EQ(At(Decoded(tga), 0, 0), (Pixel{9, 8, 7, 255}));
}

TEST(Tga, GivesZeroBytesForWhatATruncatedFileLacks) {
    Tga tga;
    tga.width = 3;
    tga.body = {1, 2, 3, 4};  // one pixel and one byte of the second
    EXPECT_EQ(All(Decoded(tga)), (std::vector<Pixel>{{3, 2, 1, 255}, {0, 0, 4, 255}, {0, 0, 0, 255}}));
    tga.type = 10;
    tga.body = {};
    EXPECT_EQ(All(Decoded(tga)), (std::vector<Pixel>(3, Pixel{0, 0, 0, 255})));
}

TEST(Tga, RefusesWhatItCannotDecode) {
    KvImage image;
    EXPECT_FALSE(Decode(std::vector<uint8_t>(17, 0), image));
    auto refuses = [&](auto change) {
        Tga tga;
        tga.body = {1, 2, 3};
        change(tga);
        bool decoded = Decode(tga.Bytes(), image);
        return !decoded && !image.IsValid();
    };
    EXPECT_TRUE(refuses([](Tga& t) { t.width = 0; }));
    EXPECT_TRUE(refuses([](Tga& t) { t.height = 0; }));
    EXPECT_TRUE(refuses([](Tga& t) { t.type = 0; }));
    EXPECT_TRUE(refuses([](Tga& t) { t.type = 4; }));
    EXPECT_TRUE(refuses([](Tga& t) { t.type = 12; }));
    EXPECT_TRUE(refuses([](Tga& t) { t.idLength = 200; }));  // identification runs past the end
    EXPECT_TRUE(refuses([](Tga& t) { t.type = 1; }));         // mapped without a map
    EXPECT_TRUE(refuses([](Tga& t) {
        t.type = 3;
        t.mapType = 1;
        t.mapBits = 24;
    }));
    EXPECT_TRUE(refuses([](Tga& t) {
        t.mapType = 1;
        t.mapBits = 8;
    }));
    EXPECT_TRUE(refuses([](Tga& t) {
        t.width = 65535;
        t.height = 65535;
    }));
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
