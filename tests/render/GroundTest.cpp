#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/Random.h"
#include "render/Ground.h"

namespace kv {
namespace {

constexpr int kSize = KvHeightField::kSize;

double CrossY(const KvVec3& a, const KvVec3& b, const KvVec3& c) {
    return (b.z - a.z) * (c.x - a.x) - (b.x - a.x) * (c.z - a.z);
}

TEST(Ground, LaysOneQuadPerCellFacingUp) {
    const KvGround g;
    ASSERT_EQ(g.QuadIndices().size(), 6400u);
    const uint32_t i = 7 * kSize + 3;  // cell (7, 3)
    const uint32_t* quad = &g.QuadIndices()[4 * (7 * 40 + 3)];
    EXPECT_EQ(std::vector<uint32_t>(quad, quad + 4), (std::vector<uint32_t>{i, i + 41, i + 42, i + 1}));
    const auto& p = g.Positions();
    EXPECT_GT(CrossY(p[quad[0]], p[quad[1]], p[quad[2]]), 0) << "counter-clockwise seen from above";
    EXPECT_DOUBLE_EQ(p[i].x, -17);
    EXPECT_DOUBLE_EQ(p[i].z, -13);
    EXPECT_DOUBLE_EQ(g.TexCoords()[i].u, 5 * 3 / 40.0);
    EXPECT_DOUBLE_EQ(g.TexCoords()[i].v, 5 * 7 / 40.0);
    EXPECT_FLOAT_EQ(g.GroundMaterial().diffuse[0], 0.5f);
}

TEST(Ground, DarkensExactlyTheCellsWithinSixOfTheCentre) {
    const KvGround g;
    EXPECT_EQ(g.DarkIndices().size(), 144u * 4);
    EXPECT_EQ(g.OuterIndices().size(), 1456u * 4);
    const auto& p = g.Positions();
    auto isDark = [&](double x, double z) {
        for (size_t q = 0; q < g.DarkIndices().size(); q += 4) {
            const KvVec3& first = p[g.DarkIndices()[q]];
            if (first.x == x && first.z == z) return true;
        }
        return false;
    };
    EXPECT_TRUE(isDark(-6, -6)) << "corners on -6 and -5 are within";
    EXPECT_TRUE(isDark(5, 5)) << "corners on 5 and 6 are within";
    EXPECT_FALSE(isDark(-7, 0));
    EXPECT_FALSE(isDark(6, 0));
}

TEST(Ground, SplitsIntoPatchesOfFourByFourCellsWithSixteenInTheArena) {
    KvGround g;
    std::set<uint32_t> covered;
    int inArena = 0;
    for (int k = 0; k < KvGround::kPatches; ++k) {
        const KvGround::Patch& patch = g.Patches()[k];
        covered.insert(patch.indices.begin(), patch.indices.end());
        inArena += patch.inArena;
        EXPECT_EQ(patch.dynamic, 0);
        if (patch.inArena) {
            EXPECT_GE(patch.bounds.min.x, -8);
            EXPECT_LE(patch.bounds.max.x, 8);
        }
    }
    EXPECT_EQ(covered.size(), 1681u);
    EXPECT_EQ(inArena, 16);
    // Patch (1, 2) covers rows 4..7 and columns 8..11, its first quad first.
    EXPECT_EQ(g.Patches()[12].indices[0], 4u * kSize + 8);
    EXPECT_EQ(g.Patches()[12].bounds.min.x, -12);
    EXPECT_EQ(g.Patches()[12].bounds.max.z, -12);
}

TEST(Ground, PatchBoundsAndArraysFollowNewHills) {
    KvGround g;
    SeedRandom(5);
    g.GenerateHills();
    const KvGround::Patch& centre = g.Patches()[5 * 10 + 5];
    double top = -1;
    for (uint32_t i : centre.indices) top = std::max(top, g.Positions()[i].y);
    EXPECT_DOUBLE_EQ(centre.bounds.max.y, top);
    EXPECT_NE(top, 0);
    EXPECT_EQ(g.Positions()[20 * kSize + 20].y, g.Y(20, 20));
}

TEST(Ground, RobotViewsCopyEachVisibleVertexOncePerTextureClass) {
    KvGround g;
    auto& patches = g.Patches();
    g.BuildCompactArrays();
    EXPECT_EQ(g.Compact(0).indexCount + g.Compact(1).indexCount, 0u) << "no visible patch draws no ground";

    patches[0].visible = 1;  // an outer corner patch
    patches[1].visible = 1;  // its neighbour, sharing one column of vertices
    patches[44].visible = 1; // a patch touching the arena
    g.BuildCompactArrays();
    const auto& outer = g.Compact(1);
    const auto& dark = g.Compact(0);
    EXPECT_EQ(outer.indexCount, 128u);
    EXPECT_EQ(outer.vertexCount, 45u) << "two 5 x 5 vertex blocks sharing five";
    EXPECT_EQ(dark.indexCount, 64u);
    EXPECT_EQ(dark.vertexCount, 25u);
    for (uint32_t k = 0; k < 64; ++k) {
        const KvVec3& original = g.Positions()[patches[1].indices[k]];
        const KvVec3& copy = outer.positions[outer.indices[64 + k]];
        EXPECT_EQ(copy.x, original.x);
        EXPECT_EQ(copy.z, original.z);
    }
    patches[0].visible = patches[1].visible = patches[44].visible = 0;
    g.BuildCompactArrays();
    EXPECT_EQ(g.Compact(1).vertexCount, 0u) << "remap tables start afresh each time";
}

TEST(Ground, AttachingToATreeLeavesAnyEarlierTree) {
    KvGround g;
    VisibilityTree first({{-20, -0.625, -20}, {20, 0.625, 20}}, 4.0), second({{-20, -0.625, -20}, {20, 0.625, 20}}, 4.0);
    g.AttachTree(first);
    g.AttachTree(second);
    first.SetAllVisible(1);
    EXPECT_EQ(g.Patches()[0].visible, 0);
    second.SetAllVisible(1);
    for (const auto& patch : g.Patches()) EXPECT_EQ(patch.visible, 1);
}

}  // namespace
}  // namespace kv
