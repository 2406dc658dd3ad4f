// The shadow map's track: where its corners lie round a robot's bounds, that it lays the
// light's picture where the shadow falls, and how it is cut into pieces that follow the hills.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/Random.h"
#include "render/Camera.h"
#include "render/ShadowMap.h"
#include "sim/HeightField.h"

namespace kv {
namespace {

// Twice the (X, Z) area of the turn a -> b -> c, positive when it turns as the pieces run
// (counter-clockwise seen from above, with X right and Z towards the viewer).
double Turn2(const KvVec3& a, const KvVec3& b, const KvVec3& c) {
    return (b.z - a.z) * (c.x - a.x) - (b.x - a.x) * (c.z - a.z);
}

// The track's pieces: each fanned from its first point, so consecutive triangles that share
// their first index make one polygon.
std::vector<std::vector<KvVec3>> Pieces(const GroundMesh& m) {
    std::vector<std::vector<KvVec3>> pieces;
    uint32_t fan = UINT32_MAX;
    for (size_t t = 0; t < m.indices.size(); t += 3) {
        if (m.indices[t] != fan) {
            fan = m.indices[t];
            pieces.push_back({m.vertices[fan], m.vertices[m.indices[t + 1]]});
        }
        pieces.back().push_back(m.vertices[m.indices[t + 2]]);
    }
    return pieces;
}

TEST(ShadowTrackCorners, SpanTheBoundsHalfDiagonalAcrossTheLightAndRootThreeTimesItAlong) {
    // Diagonal 3: r = 1.5 round (1, 2); the height of the box only lengthens the diagonal.
    const Box bounds{{0, 0.5, 1}, {2, 1.5, 3}};
    const auto c = ShadowTrackCorners(bounds);
    const double across = 1.5 / std::sqrt(2.0), along = 1.5 * std::sqrt(3.0) / std::sqrt(2.0);
    const Vec2 expected[4] = {{1 - along + across, 2 - along - across},
                              {1 - along - across, 2 - along + across},
                              {1 + along - across, 2 + along + across},
                              {1 + along + across, 2 + along - across}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(c[i].x, expected[i].x, 1e-12) << i;
        EXPECT_NEAR(c[i].y, expected[i].y, 1e-12) << i;
    }
    EXPECT_NEAR((c[1] - c[0]).Length(), 3.0, 1e-12);
    EXPECT_NEAR((c[3] - c[0]).Length(), 3.0 * std::sqrt(3.0), 1e-12);
    EXPECT_NEAR((c[1] - c[0]).Dot(c[3] - c[0]), 0.0, 1e-12) << "a rectangle";
}

// The light's picture of a robot lands on the ground where the light casts it: a point seen
// at (x, y) in the map's orthographic picture is laid on the ground, on the track, at texture
// coordinates that read the map at (x, y).
TEST(ShadowTrackCorners, PutEachPointOfTheLightsPictureWhereItsShadowFalls) {
    const Box bounds{{-0.2, 0.1, 0.3}, {0.2, 0.5, 0.7}};
    const double r = Length(bounds.max - bounds.min) / 2;
    const KvVec3 base{0, 0.1, 0.5};
    const KvMatrix light = LookAt(base + KvVec3{-10, 10, -10}, base, {0, 1, 0});
    const auto c = ShadowTrackCorners(bounds);
    const double l1 = (c[1] - c[0]).Length(), l2 = (c[3] - c[0]).Length();
    for (const KvVec3& p : {KvVec3{0.1, 0.4, 0.6}, KvVec3{-0.2, 0.5, 0.3}, KvVec3{0.2, 0.1, 0.7}}) {
        const KvVec3 seen = TransformPoint(light, p);
        // Along (1, -1, 1) down to the base's height.
        const double drop = p.y - base.y;
        const Vec2 shadow{p.x + drop, p.z + drop};
        EXPECT_NEAR((shadow - c[0]).Dot(c[1] - c[0]) / (l1 * l1), (seen.x + r) / (2 * r), 1e-12);
        EXPECT_NEAR((shadow - c[0]).Dot(c[3] - c[0]) / (l2 * l2), (seen.y + r) / (2 * r), 1e-12);
    }
}

TEST(ShadowTrack, CoversItsRectangleWithConvexPiecesOnTheHillsLiftedAboveTheGround) {
    KvHeightField ground;
    SeedRandom(4);
    ground.GenerateHills();
    KvRobotShadow shadow;
    // A robot-sized box and a larger one, each across several ground cells.
    for (const Box& bounds : {Box{{0.7, 0.1, -1.4}, {1.2, 0.5, -0.9}}, Box{{-3.1, 0.0, 2.2}, {-1.3, 1.0, 4.0}}}) {
        const auto corners = ShadowTrackCorners(bounds);
        BuildShadowTrack(shadow.track, ground, corners);
        const GroundMesh& m = shadow.track.mesh;
        const double l1 = (corners[1] - corners[0]).Length(), l2 = (corners[3] - corners[0]).Length();

        const auto pieces = Pieces(m);
        ASSERT_GT(pieces.size(), 4u) << "the square spans several cells";
        double area = 0;
        for (const auto& piece : pieces) {
            ASSERT_GE(piece.size(), 3u);
            for (size_t i = 0; i < piece.size(); ++i) {
                const KvVec3 &a = piece[i], &b = piece[(i + 1) % piece.size()], &c = piece[(i + 2) % piece.size()];
                EXPECT_GE(Turn2(a, b, c), -1e-12) << "a piece turns back on itself: not convex";
            }
            for (size_t k = 1; k + 1 < piece.size(); ++k) area += Turn2(piece[0], piece[k], piece[k + 1]) / 2;
            // Inside one ground cell.
            double cx = 0, cz = 0;
            for (const KvVec3& p : piece) cx += p.x / piece.size(), cz += p.z / piece.size();
            for (const KvVec3& p : piece) {
                EXPECT_GE(p.x, std::floor(cx) - 1e-9);
                EXPECT_LE(p.x, std::floor(cx) + 1 + 1e-9);
                EXPECT_GE(p.z, std::floor(cz) - 1e-9);
                EXPECT_LE(p.z, std::floor(cz) + 1 + 1e-9);
            }
        }
        EXPECT_NEAR(area, l1 * l2, 1e-9) << "the pieces add up to the rectangle";

        for (size_t i = 0; i < m.vertices.size(); ++i) {
            const KvVec3& v = m.vertices[i];
            EXPECT_GE(v.y, ground.HeightAt(v.x, v.z) + 0.03 - 1e-12);
            const Vec2 p = Vec2{v.x, v.z} - corners[0];
            const Vec2 u1 = (corners[1] - corners[0]) * (1 / l1), u2 = (corners[3] - corners[0]) * (1 / l2);
            EXPECT_NEAR(m.texCoords[i].u, p.Dot(u1) / l1, 1e-9);
            EXPECT_NEAR(m.texCoords[i].v, p.Dot(u2) / l2, 1e-9);
        }
        EXPECT_LE(shadow.track.bounds.min.x, corners[1].x + 1e-12);
        EXPECT_GE(shadow.track.bounds.max.x, corners[3].x - 1e-12);
    }
}

}  // namespace
}  // namespace kv
