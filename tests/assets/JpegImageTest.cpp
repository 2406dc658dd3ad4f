#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "TestResources.h"
#include "assets/Image.h"
#include "assets/JpegImage.h"
#include "core/Stream.h"

namespace kv {
namespace {

bool Near(const uint8_t* p, int r, int g, int b) {
    return std::abs(p[0] - r) <= 8 && std::abs(p[1] - g) <= 8 && std::abs(p[2] - b) <= 8;
}

// A picture of the given size with a red top half and a blue bottom half.
std::vector<uint8_t> RedOverBlue(uint32_t width, uint32_t height) {
    std::vector<uint8_t> rgb;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t red = y < height / 2 ? 220 : 0;
        for (uint32_t x = 0; x < width; ++x) rgb.insert(rgb.end(), {red, 0, static_cast<uint8_t>(220 - red)});
    }
    return test::EncodeJpeg(width, height, rgb, 3);
}

TEST(Jpeg, DecodesToBottomUpRgbOfThePictureSize) {
    // An odd width makes rows that are not a multiple of four bytes.
    std::vector<uint8_t> file = RedOverBlue(21, 16);
    KvMemIStream in(file.data(), static_cast<uint32_t>(file.size()));
    KvImage image;
    ASSERT_TRUE(LoadImage(image, in, ImageFormat::Jpeg));
    EXPECT_EQ(image.width, 21u);
    EXPECT_EQ(image.height, 16u);
    EXPECT_EQ(image.bitsPerPixel, 24u);
    ASSERT_EQ(image.pixels.size(), 21u * 16u * 3u);
    EXPECT_TRUE(Near(image.At(0, 0), 0, 0, 220)) << "the bottom row is the file's last row";
    EXPECT_TRUE(Near(image.At(20, 2), 0, 0, 220));
    EXPECT_TRUE(Near(image.At(0, 15), 220, 0, 0)) << "the top row is the file's first row";
    EXPECT_TRUE(Near(image.At(20, 13), 220, 0, 0));
}

TEST(Jpeg, TurnsGreyPicturesIntoRgb) {
    std::vector<uint8_t> file = test::EncodeJpeg(8, 8, std::vector<uint8_t>(8 * 8, 90), 1);
    KvImage image;
    ASSERT_TRUE(DecodeJpeg(file.data(), file.size(), image));
    EXPECT_EQ(image.bitsPerPixel, 24u);
    EXPECT_TRUE(Near(image.At(3, 3), 90, 90, 90));
}

TEST(Jpeg, RefusesDataThatIsNoJpegWithoutCrashing) {
    KvImage image;
    std::vector<uint8_t> noise(300);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 37 + 11);
    EXPECT_FALSE(DecodeJpeg(noise.data(), noise.size(), image));
    EXPECT_FALSE(image.IsValid());
    EXPECT_FALSE(DecodeJpeg(nullptr, 0, image));

    // A truncated file may decode partly, but never to a picture of another size.
    std::vector<uint8_t> file = RedOverBlue(16, 16);
    for (size_t cut : {size_t{2}, size_t{20}, file.size() / 2, file.size() - 2}) {
        std::vector<uint8_t> truncated(file.begin(), file.begin() + static_cast<long>(cut));
        KvImage partial;
        if (DecodeJpeg(truncated.data(), truncated.size(), partial)) {
            EXPECT_EQ(partial.pixels.size(), 16u * 16u * 3u);
        }
    }
}

}  // namespace
}  // namespace kv
