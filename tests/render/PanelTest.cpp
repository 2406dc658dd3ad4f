#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

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

// Regression: names were drawn one glyph per byte, so "Müller.r" showed as "MÃ¼ller.r".
TEST(BitmapFont, FitTextGivesOneLatinOneCodePerCharacterAndAQuestionMarkForTheRest) {
    const std::optional<FontBitmaps> font = RasteriseFont(FontFile(), 16);
    ASSERT_TRUE(font);
    struct Case {
        const char* utf8;
        const char* codes;
    };
    const Case cases[] = {
        {"Muller.r", "Muller.r"},
        {"M\xC3\xBCller.r", "M\xFCller.r"},
        {"\xC2\xA0\xC3\xA9\xC3\xBE", "\xA0\xE9\xFE"},  // no-break space, e acute, thorn
        {"\xC3\xBF", "?"},                              // y diaeresis: code 255 has no glyph
        {"a\xE2\x82\xAC" "b", "a?b"},                    // the euro sign is not Latin-1
        {"\xF0\x9F\x98\x80.r", "?.r"},
        {"\x01\t\x7F\xC2\x85", "????"},                  // control codes
        {"\xFF\xFE", "??"},                               // bytes that start nothing
        {"\xC3(", "?("},                                  // a sequence cut short
        {"\xE2\x82(", "?("},
        {"\xF0\x9F\x98", "?"},
        {"\xC0\xAF\xE0\x80\xAF", "?????"},                 // overlong forms
        {"\xED\xA0\x80", "???"},                          // a surrogate
        {"\xF4\x90\x80\x80", "????"},                      // above U+10FFFF
    };
    for (const Case& c : cases) {
        std::array<char, 64> out;
        EXPECT_EQ(FitText(c.utf8, *font, 1000, out), std::strlen(c.codes)) << c.utf8;
        EXPECT_STREQ(out.data(), c.codes) << c.utf8;
    }
}

// Regression: a long name ran off the robot view.
TEST(BitmapFont, FitTextCutsWithThreeDotsWithinTheWidth) {
    const std::optional<FontBitmaps> font = RasteriseFont(FontFile(), 16);
    ASSERT_TRUE(font);
    auto width = [&](const char* codes) {
        double w = 0;
        for (const char* c = codes; *c; ++c) w += (*font)[static_cast<uint8_t>(*c)].advance;
        return w;
    };
    const std::string full = "a_rather_long_robot_name_" + std::string(40, 'x') + ".r";
    std::array<char, 128> out;
    FitText(full, *font, width(full.c_str()), out);
    EXPECT_EQ(out.data(), full) << "a text as wide as the room is not cut";
    for (double room : {135.0, 60.0, 20.0}) {
        FitText(full, *font, room, out);
        const std::string cut = out.data();
        ASSERT_GE(cut.size(), 3u);
        EXPECT_EQ(cut.substr(cut.size() - 3), "...") << room;
        EXPECT_EQ(full.compare(0, cut.size() - 3, cut, 0, cut.size() - 3), 0) << "a start of the text: " << cut;
        EXPECT_LE(width(out.data()), room);
        EXPECT_GT(width(out.data()) + 2 * (*font)['x'].advance, room) << "as much as fits";
    }
    FitText(full, *font, 1.5 * (*font)['.'].advance, out);
    EXPECT_STREQ(out.data(), ".") << "too narrow for three dots";
    std::array<char, 8> small;
    EXPECT_EQ(FitText(full, *font, 1000, small), 7u);
    EXPECT_STREQ(small.data(), "a_ra...");
}

}  // namespace
}  // namespace kv
