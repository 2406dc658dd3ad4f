#include "sim/HeightField.h"

#include <cmath>

#include "core/Random.h"

namespace kv {

namespace {

// A value from 0 to m drawn from the thread's generator.
double R(double m) { return NextRandom() * m / 32767; }

}  // namespace

void KvHeightField::GenerateHills() {
    struct Hill {
        double x, a, z;
    };
    std::array<Hill, kHills> hills;
    for (Hill& h : hills) {
        h.x = R(10) - 5;
        h.a = R(0.625) - 0.3125;
        h.z = R(10) - 5;
    }
    // The distance runs from the point at height 0 to the hill's top (x, a, z). The bell
    // exp(-d^2 / 2) splits into a factor per axis, so each hill needs 2 x kSize exponentials
    // instead of one per vertex.
    std::array<std::array<double, kSize>, kHills> acrossX, acrossZ;
    for (int k = 0; k < kHills; ++k) {
        const Hill& h = hills[k];
        for (int i = 0; i < kSize; ++i) {
            const double x = i - 20 - h.x, z = i - 20 - h.z;
            acrossX[k][i] = h.a * std::exp(-(x * x + h.a * h.a) / 2);
            acrossZ[k][i] = std::exp(-z * z / 2);
        }
    }
    for (int r = 0; r < kSize; ++r) {
        for (int c = 0; c < kSize; ++c) {
            double y = 0;
            for (int k = 0; k < kHills; ++k) y += acrossX[k][c] * acrossZ[k][r];
            SetY(r, c, y);
        }
    }
    ComputeNormals();
    HeightsChanged();
}

double KvHeightField::HeightAt(double x, double z) const {
    // Clamping keeps every query inside the grid; callers stay near the arena anyway.
    double fx = x + 20, fz = z + 20;
    if (!(fx >= 0)) fx = 0;
    if (!(fz >= 0)) fz = 0;
    if (fx > kSize - 1) fx = kSize - 1;
    if (fz > kSize - 1) fz = kSize - 1;
    int c = static_cast<int>(fx), r = static_cast<int>(fz);
    if (c > kSize - 2) c = kSize - 2;
    if (r > kSize - 2) r = kSize - 2;
    const double tx = fx - c, tz = fz - r;
    return (1 - tz) * ((1 - tx) * Y(r, c) + tx * Y(r, c + 1)) + tz * ((1 - tx) * Y(r + 1, c) + tx * Y(r + 1, c + 1));
}

void KvHeightField::ComputeNormals() {
    for (int r = 0; r < kSize; ++r) {
        for (int c = 0; c < kSize; ++c) {
            // a runs along +Z to the next row, b along +X to the next column; at the far
            // edges the previous vertex stands in and the product flips once per swap.
            const bool lastRow = r == kSize - 1, lastColumn = c == kSize - 1;
            const int ar = lastRow ? r - 1 : r + 1, bc = lastColumn ? c - 1 : c + 1;
            const KvVec3 a = Normalised({0, Y(ar, c) - Y(r, c), static_cast<double>(ar - r)});
            const KvVec3 b = Normalised({static_cast<double>(bc - c), Y(r, bc) - Y(r, c), 0});
            KvVec3 n = Cross(a, b);
            if (lastRow != lastColumn) n = {-n.x, -n.y, -n.z};
            normals_[r * kSize + c] = n;
        }
    }
}

}  // namespace kv
