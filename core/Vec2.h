#pragma once
// Two doubles with the usual vector operations; arena positions and offsets.

#include <cmath>

namespace kv {

struct Vec2 {
    double x = 0, y = 0;

    Vec2 operator+(const Vec2& o) const { return {x + o.x, y + o.y}; }
    Vec2 operator-(const Vec2& o) const { return {x - o.x, y - o.y}; }
    Vec2 operator*(double k) const { return {x * k, y * k}; }
    Vec2& operator+=(const Vec2& o) { x += o.x; y += o.y; return *this; }
    Vec2& operator-=(const Vec2& o) { x -= o.x; y -= o.y; return *this; }
    bool operator==(const Vec2&) const = default;
    double Dot(const Vec2& o) const { return x * o.x + y * o.y; }
    double Length() const { return std::sqrt(x * x + y * y); }
};

}  // namespace kv
