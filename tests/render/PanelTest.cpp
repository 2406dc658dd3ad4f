#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/Angles.h"
#include "render/BitmapFont.h"
#include "render/StatusPanel.h"

namespace kv {
namespace {

TEST(StatusPanel, DialsAreARingOfTwentyQuadsAndADart) {
    const PanelGeometry g;
    for (int k = 0; k < 20; ++k) {
        EXPECT_NEAR(std::hypot(g.ring[2 * k].x, g.ring[2 * k].y), 0.2, 1e-12);
        EXPECT_NEAR(std::hypot(g.ring[2 * k + 1].x, g.ring[2 * k + 1].y), 0.24, 1e-12);
    }
    EXPECT_NEAR(g.ring[2].y, 0.2 * std::sin(2 * kPi / 20), 1e-12);
    EXPECT_EQ((std::array<uint32_t, 4>{g.ringIndices[0], g.ringIndices[1], g.ringIndices[2], g.ringIndices[3]}),
              (std::array<uint32_t, 4>{0, 1, 3, 2}));
    EXPECT_EQ((std::array<uint32_t, 4>{g.ringIndices[76], g.ringIndices[77], g.ringIndices[78], g.ringIndices[79]}),
              (std::array<uint32_t, 4>{38, 39, 1, 0}));
    EXPECT_EQ(g.pointer[0].x, 0.2) << "the dart points along +X";
    EXPECT_EQ(g.pointerIndices, (std::array<uint32_t, 6>{0, 1, 2, 2, 3, 0}));
}

TEST(StatusPanel, BarsRunFromMinusPointEightByOnePointSixPerFullValueUnclamped) {
    RobotValues v;
    v.speed = 50;
    v.damage = 0;
    v.reloadTimer = 1.5;
    auto bars = PanelBars(v);
    EXPECT_DOUBLE_EQ(bars[0].x2, 0.0);
    EXPECT_DOUBLE_EQ(bars[1].x1, bars[1].x2) << "no damage, no bar";
    EXPECT_DOUBLE_EQ(bars[2].x2, 0.8) << "just fired: the cannon bar is full";
    EXPECT_EQ(bars[0].b, 1.0f);
    EXPECT_EQ(bars[1].r, 1.0f);
    EXPECT_EQ(bars[2].g, 1.0f);
    EXPECT_DOUBLE_EQ(bars[1].y1, -0.43);
    EXPECT_DOUBLE_EQ(bars[1].y2, -0.55);
    v.damage = 30;
    EXPECT_NEAR(PanelBars(v)[1].x2, -0.32, 1e-12);
    v.damage = 100;
    v.reloadTimer = 0.75;
    bars = PanelBars(v);
    EXPECT_DOUBLE_EQ(bars[1].x2, 0.8);
    EXPECT_DOUBLE_EQ(bars[2].x2, 0.0);
    v.speed = 150;
    EXPECT_GT(PanelBars(v)[0].x2, 0.8);
}

TEST(StatusPanel, PlacesTheFrameRateByPixelsFromTheTopLeft) {
    const auto at = PixelToView(10, 20, 950, 600);
    EXPECT_DOUBLE_EQ(at[0], 20.0 / 950 - 1);
    EXPECT_DOUBLE_EQ(at[1], 2.0 * 580 / 600 - 1);
}

TEST(StatusPanel, FrameRateStartsAtZeroAndSmoothsTheLatestRate) {
    FrameRate rate;
    EXPECT_EQ(rate.Tick(100.0), 0.0);
    EXPECT_NEAR(rate.Tick(100.01), 10.0, 1e-6);
    EXPECT_NEAR(rate.Tick(100.02), 0.9 * 10 + 10, 1e-6);
}

TEST(BitmapFont, RasterisesLatinOneAtTheCellHeight) {
    const std::string file = FontFile();
    ASSERT_FALSE(file.empty()) << "DejaVu Sans is missing (fonts-dejavu-core)";
    const std::optional<FontBitmaps> font = RasteriseFont(file, 16);
    ASSERT_TRUE(font);
    const GlyphBitmap& a = (*font)['A'];
    EXPECT_GT(a.width, 4);
    EXPECT_GT(a.height, 8);
    EXPECT_LE(a.height, 16);
    EXPECT_EQ(a.bits.size(), static_cast<size_t>((a.width + 7) / 8 * a.height));
    EXPECT_EQ(a.yorig, 0) << "capitals stand on the baseline";
    EXPECT_GT((*font)['g'].yorig, 0) << "descenders go below it";
    const auto& space = (*font)[' '].bits;
    EXPECT_TRUE(std::all_of(space.begin(), space.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_GT((*font)[' '].advance, 0);
    EXPECT_TRUE((*font)['\n'].bits.empty());
    EXPECT_FALSE((*font)[0xE9].bits.empty()) << "e acute";
    EXPECT_FALSE(RasteriseFont("/nonexistent.ttf", 16));
}

}  // namespace
}  // namespace kv
