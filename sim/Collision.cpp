#include "sim/Collision.h"

namespace kv {

namespace {

struct Rect {
    Vec2 c, u, p;
    double width, length;
    Vec2 origin;  // the corner with the smallest coordinates in the rectangle's own frame

    Rect(Vec2 centre, Vec2 heading, Vec2 size)
        : c(centre), u(heading), p{-heading.y, heading.x}, width(size.x), length(size.y) {
        origin = c - u * (length / 2) - p * (width / 2);
    }
    Vec2 Corner(int k) const {
        const double su = (k & 1) ? 0.5 : -0.5, sp = (k & 2) ? 0.5 : -0.5;
        return c + u * (length * su) + p * (width * sp);
    }
    bool Holds(Vec2 q) const {
        const Vec2 d = q - origin;
        const double a = d.Dot(u), b = d.Dot(p);
        return a >= 0 && a <= length && b >= 0 && b <= width;
    }
};

}  // namespace

bool RectOverlap(Vec2 centreA, Vec2 headingA, Vec2 sizeA, Vec2 centreB, Vec2 headingB, Vec2 sizeB) {
    if (FarApart(centreA, sizeA, centreB, sizeB)) return false;
    const Rect a(centreA, headingA, sizeA), b(centreB, headingB, sizeB);
    for (int k = 0; k < 4; ++k) {
        if (a.Holds(b.Corner(k))) return true;
        if (b.Holds(a.Corner(k))) return true;
    }
    return false;
}

}  // namespace kv
