#pragma once
// Three doubles with the usual vector operations; scene positions, directions and normals.

#include <cmath>

namespace kv {

struct KvVec3 {
    double x = 0, y = 0, z = 0;
};

inline KvVec3 operator+(const KvVec3& a, const KvVec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline KvVec3 operator-(const KvVec3& a, const KvVec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline KvVec3 operator*(const KvVec3& a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline double Dot(const KvVec3& a, const KvVec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline KvVec3 Cross(const KvVec3& a, const KvVec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const KvVec3& a) { return std::sqrt(Dot(a, a)); }
// a divided by its length; the zero vector when it has none.
inline KvVec3 Normalised(const KvVec3& a) {
    const double n = Length(a);
    return n > 0 ? KvVec3{a.x / n, a.y / n, a.z / n} : KvVec3{};
}

}  // namespace kv
