#pragma once
// Robot footprints as oriented rectangles.

#include "core/Vec2.h"

namespace kv {

// True when a corner of either rectangle lies inside the other (edges included). Each
// rectangle is its centre, unit heading u and size (width across u, length along u). Two
// rectangles crossing like a plus sign, neither holding a corner of the other, do not count.
bool RectOverlap(Vec2 centreA, Vec2 headingA, Vec2 sizeA, Vec2 centreB, Vec2 headingB, Vec2 sizeB);

// True when rectangles of these sizes centred here cannot overlap, whatever their headings:
// every corner lies within half a diagonal of its centre (with room for rounding). RectOverlap
// starts with this test, so callers may make it first and skip the headings.
// The distance of the centres beyond which FarApart holds.
inline double TouchReach(Vec2 sizeA, Vec2 sizeB) { return (sizeA.Length() + sizeB.Length()) / 2 * (1 + 1e-9) + 1e-9; }

inline bool FarApart(Vec2 centreA, Vec2 sizeA, Vec2 centreB, Vec2 sizeB) {
    const double reach = TouchReach(sizeA, sizeB);
    const Vec2 gap = centreA - centreB;
    return gap.Dot(gap) > reach * reach;
}

}  // namespace kv
