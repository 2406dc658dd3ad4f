#pragma once
// 4x4 matrices of doubles in OpenGL column order: element 4c + r is row r of column c,
// elements 12..14 the translation. Handed to OpenGL unchanged.

#include <array>

#include "core/Vec3.h"

namespace kv {

using KvMatrix = std::array<double, 16>;

KvMatrix Zero();
KvMatrix Identity();
// A x B: applying the result applies B first, then A.
KvMatrix Product(const KvMatrix& a, const KvMatrix& b);
void ProductInPlace(KvMatrix& a, const KvMatrix& b);
// Inverse of a rotation-plus-translation matrix.
KvMatrix RigidInverse(const KvMatrix& m);
KvVec3 TransformPoint(const KvMatrix& m, const KvVec3& p);
KvVec3 TransformDirection(const KvMatrix& m, const KvVec3& v);

}  // namespace kv
