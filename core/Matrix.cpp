#include "core/Matrix.h"

namespace kv {

KvMatrix Zero() { return KvMatrix{}; }

KvMatrix Identity() {
    KvMatrix m{};
    m[0] = m[5] = m[10] = m[15] = 1.0;
    return m;
}

KvMatrix Product(const KvMatrix& a, const KvMatrix& b) {
    KvMatrix c{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[4 * k + row] * b[4 * col + k];
            c[4 * col + row] = sum;
        }
    return c;
}

void ProductInPlace(KvMatrix& a, const KvMatrix& b) { a = Product(a, b); }

KvMatrix RigidInverse(const KvMatrix& m) {
    KvMatrix r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[4 * i + j] = m[4 * j + i];
    r[12] = -(m[0] * m[12] + m[1] * m[13] + m[2] * m[14]);
    r[13] = -(m[4] * m[12] + m[5] * m[13] + m[6] * m[14]);
    r[14] = -(m[8] * m[12] + m[9] * m[13] + m[10] * m[14]);
    r[15] = 1.0;
    return r;
}

KvVec3 TransformPoint(const KvMatrix& m, const KvVec3& p) {
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

KvVec3 TransformDirection(const KvMatrix& m, const KvVec3& v) {
    return {m[0] * v.x + m[4] * v.y + m[8] * v.z, m[1] * v.x + m[5] * v.y + m[9] * v.z,
            m[2] * v.x + m[6] * v.y + m[10] * v.z};
}

}  // namespace kv
