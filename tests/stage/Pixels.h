#pragma once
// Looking at pictures of the game's window as a player would: a pixel's colour, the robot
// views' places in the column, the band of a robot view that shows only its 3D picture.

#include <array>
#include <cstdint>
#include <vector>

#include "render/Picture.h"

namespace kv::test {

inline constexpr int32_t kWindowWidth = 950, kWindowHeight = 600, kViewSize = 150;

struct Rgb {
    int r, g, b;
};

inline Rgb At(const Picture& p, int32_t x, int32_t y) {
    const uint8_t* c = p.At(x, y);
    return {c[0], c[1], c[2]};
}
inline int Brightness(Rgb c) { return c.r + c.g + c.b; }
// Fire's orange to yellow-white, far from the grass's greens and the robots' colours.
inline bool Fiery(Rgb c) { return c.r > 170 && c.r >= c.g && c.r > c.b + 80; }

// How many pixels within radius of centre (the square round it) pass test.
template <class Test>
int CountAround(const Picture& p, std::array<int32_t, 2> centre, int radius, Test test) {
    int n = 0;
    for (int32_t y = centre[1] - radius; y <= centre[1] + radius; ++y)
        for (int32_t x = centre[0] - radius; x <= centre[0] + radius; ++x)
            if (x >= 0 && y >= 0 && x < p.width && y < p.height && test(At(p, x, y))) ++n;
    return n;
}

// The lower left corner of robot view i (1, 2, ...) in a width x height frame.
inline std::array<int32_t, 2> ViewCorner(int i, int32_t width = kWindowWidth, int32_t height = kWindowHeight) {
    return {width - kViewSize, height - i * kViewSize};
}

// The bottom band of robot view i of a window-sized frame, below the labels and bars: only
// the 3D picture shows there.
inline std::vector<uint8_t> PictureBand(const Picture& p, int view) {
    const auto [x0, y0] = ViewCorner(view);
    std::vector<uint8_t> band;
    for (int32_t y = y0 + 5; y < y0 + 12; ++y)
        for (int32_t x = x0 + 5; x < x0 + kViewSize; ++x) band.insert(band.end(), p.At(x, y), p.At(x, y) + 3);
    return band;
}

}  // namespace kv::test
