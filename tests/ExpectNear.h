#pragma once
// Expectations on vectors and matrices, part by part within a tolerance.

#include <gtest/gtest.h>

#include "core/Matrix.h"
#include "core/Vec3.h"

namespace kv::test {

inline void ExpectNear(const KvVec3& got, const KvVec3& want, double tolerance = 1e-9) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

inline void ExpectMatrixNear(const KvMatrix& got, const KvMatrix& want, double tolerance = 1e-9) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], tolerance) << "element " << i;
}

}  // namespace kv::test
