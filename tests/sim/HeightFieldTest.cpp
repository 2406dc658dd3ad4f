#include <gtest/gtest.h>

#include <cmath>

#include "core/Random.h"
#include "sim/HeightField.h"
#include "sim/RobotGeometry.h"

namespace kv {
namespace {

// Hills from a seed, as a battle generates them.
KvHeightField Hills(uint32_t seed) {
    KvHeightField g;
    SeedRandom(seed);
    g.GenerateHills();
    return g;
}

TEST(HeightField, InterpolatesBetweenGridVertices) {
    const KvHeightField g = Hills(3);
    EXPECT_EQ(g.HeightAt(-3, 2), g.Y(22, 17));
    const double centre = (g.Y(22, 17) + g.Y(22, 18) + g.Y(23, 17) + g.Y(23, 18)) / 4;
    EXPECT_NEAR(g.HeightAt(-2.5, 2.5), centre, 1e-12);
    EXPECT_TRUE(std::isfinite(g.HeightAt(25, -30)));
    EXPECT_EQ(g.HeightAt(20, 20), g.Y(40, 40));
}

TEST(HeightField, DependsOnlyOnTheSeedFlattensFarFromTheArenaAndFacesUp) {
    const KvHeightField a = Hills(11), b = Hills(11);
    double bump = 0;
    for (int r = 0; r < KvHeightField::kSize; ++r)
        for (int c = 0; c < KvHeightField::kSize; ++c) {
            EXPECT_EQ(a.Y(r, c), b.Y(r, c));
            EXPECT_GT(a.Normal(r, c).y, 0.5) << r << "," << c;
            bump = std::max(bump, std::fabs(a.Y(r, c)));
        }
    EXPECT_GT(bump, 0.01);
    EXPECT_LT(std::fabs(a.Y(0, 0)), 1e-6);
    EXPECT_LT(std::fabs(a.Y(40, 40)), 1e-6);
    KvHeightField flat;
    flat.ComputeNormals();
    EXPECT_EQ(flat.Normal(40, 40).y, 1);
    EXPECT_EQ(flat.Normal(0, 40).y, 1);
}

TEST(RobotGeometry, StandsTheBodyOnLevelGroundAlongItsHeading) {
    const struct {
        Vec2 at;
        double heading;
        std::vector<std::pair<int, double>> entries;  // of the column-major frame
    } cases[] = {{{500, 500}, 90, {{0, 1}, {6, -1}, {9, 1}, {12, 0}}},
                 {{0, 999}, 0, {{2, -1}, {4, -1}, {12, -5}, {14, 4.99}}}};
    KvHeightField flat;
    for (const auto& c : cases) {
        const KvMatrix m = RobotGeometry::BodyFrame(flat, c.at, c.heading);
        for (auto [i, value] : c.entries) EXPECT_NEAR(m[i], value, 1e-12) << "heading " << c.heading << ", entry " << i;
    }
}

TEST(RobotGeometry, PutsTheMuzzleAheadOfTheTurretInTheCannonDirection) {
    KvHeightField flat;
    RobotGeometry g;
    g.muzzleLocal[13] = -0.2;  // the barrel points along the turret's -y
    const KvVec3 east = g.MuzzlePoint(flat, {500, 500}, 0, 0);
    EXPECT_NEAR(east.x, 0.2, 1e-9);
    EXPECT_NEAR(east.z, 0, 1e-9);
    const KvVec3 north = g.MuzzlePoint(flat, {500, 500}, 0, 90);
    EXPECT_NEAR(north.x, 0, 1e-9);
    EXPECT_NEAR(north.z, 0.2, 1e-9);
}

}  // namespace
}  // namespace kv
