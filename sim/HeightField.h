#pragma once
// The rolling ground under the arena as pure numbers: a 41 x 41 grid of heights one scene
// unit apart over -20..20 in X and Z, built from 30 random hills. The simulation uses it for
// shell arcs and launch points; the drawn ground is built on it.

#include <array>

#include "core/Matrix.h"

namespace kv {

class KvHeightField {
public:
    static constexpr int kSize = 41;  // vertices per row and per column
    static constexpr int kHills = 30;

    // Starts flat; the owner generates hills when it is ready to draw random numbers.
    KvHeightField() = default;
    virtual ~KvHeightField() = default;

    // New heights from 30 hills, each drawing centre X, amplitude and centre Z from the
    // calling thread's generator, then new normals.
    void GenerateHills();

    // Bilinear height under (x, z). Points outside the grid take the nearest edge's value.
    double HeightAt(double x, double z) const;

    double Y(int row, int column) const { return heights_[row * kSize + column]; }
    void SetY(int row, int column, double y) { heights_[row * kSize + column] = y; }
    // Unnormalised upward normal of a vertex (see ComputeNormals).
    const KvVec3& Normal(int row, int column) const { return normals_[row * kSize + column]; }
    // Recomputes every normal from the current heights.
    void ComputeNormals();

protected:
    // Called after the heights changed, for owners that derive bounds from them.
    virtual void HeightsChanged() {}

private:
    std::array<double, kSize * kSize> heights_{};
    std::array<KvVec3, kSize * kSize> normals_{};
};

// Scene coordinates of an arena point: 100 arena units make one scene unit, the arena's
// 0..999 square lies over -5..5.
inline double SceneX(double arenaX) { return arenaX * 10 / 1000 - 5; }
inline double SceneZ(double arenaY) { return arenaY * 10 / 1000 - 5; }

}  // namespace kv
