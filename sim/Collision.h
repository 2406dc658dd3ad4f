#pragma once
// Robot footprints as oriented rectangles.

#include "core/Vec2.h"

namespace kv {

// True when a corner of either rectangle lies inside the other (edges included). Each
// rectangle is its centre, unit heading u and size (width across u, length along u). Two
// rectangles crossing like a plus sign, neither holding a corner of the other, do not count.
bool RectOverlap(Vec2 centreA, Vec2 headingA, Vec2 sizeA, Vec2 centreB, Vec2 headingB, Vec2 sizeB);

}  // namespace kv
