// The shadow volume's geometry: which faces cast, which quads they give and where the
// extruded copies lie.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "ExpectNear.h"
#include "render/ShadowVolume.h"

namespace kv {
namespace {

using Quad = std::array<uint32_t, 4>;

// A unit square in the ground plane, as two triangles or one quad, wound counter-clockwise
// seen from above, every corner's normal pointing up.
const std::vector<KvVec3> kSquare{{0, 0, 0}, {1, 0, 0}, {1, 0, -1}, {0, 0, -1}};
const std::vector<uint32_t> kTwoTriangles{0, 1, 2, 0, 2, 3};
const std::vector<uint32_t> kOneQuad{0, 1, 2, 3};
const KvVec3 kUp{0, 1, 0};
const KvVec3 kLightDown{1, -1, 1};

struct Volume {
    std::vector<KvVec3> positions;
    std::vector<uint32_t> indices;
    uint32_t count = 0;

    std::vector<Quad> Quads() const {
        std::vector<Quad> quads;
        for (uint32_t i = 0; i + 3 < count; i += 4)
            quads.push_back({indices[i], indices[i + 1], indices[i + 2], indices[i + 3]});
        return quads;
    }
};

Volume Build(uint32_t mode, const std::vector<uint32_t>& corners, const std::vector<KvVec3>& normals,
             const KvVec3& light) {
    Volume v;
    v.positions.resize(2 * kSquare.size());
    v.indices.resize(4 * corners.size());
    v.count = BuildShadowVolume(mode, kSquare, corners, normals, light, v.positions, v.indices);
    return v;
}

std::vector<KvVec3> Normals(std::size_t count, const KvVec3& n) { return std::vector<KvVec3>(count, n); }

TEST(ShadowVolume, ExtrudesEveryVertexFiveMetresAlongTheNormalisedLight) {
    const Volume v = Build(kPrimitiveTriangles, kTwoTriangles, Normals(6, kUp), kLightDown);
    const double step = 5.0 / std::sqrt(3.0);
    for (std::size_t i = 0; i < kSquare.size(); ++i) {
        EXPECT_EQ(v.positions[i].x, kSquare[i].x);
        test::ExpectNear(v.positions[4 + i], kSquare[i] + KvVec3{step, -step, step}, 1e-12);
    }
}

TEST(ShadowVolume, ALitTriangleGivesAQuadOnEachOfItsEdges) {
    const Volume v = Build(kPrimitiveTriangles, kTwoTriangles, Normals(6, kUp), kLightDown);
    // Both faces lit, all six edges: the shared diagonal twice, once each way.
    const std::vector<Quad> expected{{0, 1, 5, 4}, {1, 2, 6, 5}, {2, 0, 4, 6},
                                     {0, 2, 6, 4}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    EXPECT_EQ(v.count, 24u);
    EXPECT_EQ(v.Quads(), expected);
}

TEST(ShadowVolume, ALitQuadGivesAQuadOnEachOfItsFourEdges) {
    const Volume v = Build(kPrimitiveQuads, kOneQuad, Normals(4, kUp), kLightDown);
    const std::vector<Quad> expected{{0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    EXPECT_EQ(v.Quads(), expected);
}

TEST(ShadowVolume, AnEdgeBetweenTwoLitFacesGivesNoQuadWhenTheFacesArePaired) {
    // The diagonal runs 2 -> 0 in the first triangle (corner 2) and 0 -> 2 in the second (corner 3).
    const std::vector<int32_t> twins{-1, -1, 3, 2, -1, -1};
    std::vector<KvVec3> positions(8);
    std::vector<uint32_t> indices(24);
    uint32_t count = BuildShadowVolume(kPrimitiveTriangles, kSquare, kTwoTriangles, Normals(6, kUp), kLightDown,
                                       positions, indices, twins);
    const std::vector<Quad> outline{{0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    Volume v{positions, indices, count};
    EXPECT_EQ(v.Quads(), outline) << "only the silhouette";
    // With the second face turned away, the diagonal is the first face's silhouette.
    std::vector<KvVec3> normals = Normals(6, kUp);
    normals[3] = {0, -1, 0};
    count = BuildShadowVolume(kPrimitiveTriangles, kSquare, kTwoTriangles, normals, kLightDown, positions, indices,
                              twins);
    v = {positions, indices, count};
    EXPECT_EQ(v.Quads(), (std::vector<Quad>{{0, 1, 5, 4}, {1, 2, 6, 5}, {2, 0, 4, 6}}));
}

TEST(ShadowVolume, OnlyFacesTurnedTowardsTheLightCast) {
    // Light from below, or grazing the face: nothing.
    EXPECT_EQ(Build(kPrimitiveTriangles, kTwoTriangles, Normals(6, kUp), {0, 1, 0}).count, 0u);
    EXPECT_EQ(Build(kPrimitiveTriangles, kTwoTriangles, Normals(6, kUp), {1, 0, 0}).count, 0u);
    // The first corner's normal stands for the face: the second triangle's first corner
    // points down, whatever its other corners say.
    std::vector<KvVec3> normals = Normals(6, kUp);
    normals[3] = {0, -1, 0};
    const Volume v = Build(kPrimitiveTriangles, kTwoTriangles, normals, kLightDown);
    const std::vector<Quad> firstOnly{{0, 1, 5, 4}, {1, 2, 6, 5}, {2, 0, 4, 6}};
    EXPECT_EQ(v.Quads(), firstOnly);
    normals = Normals(6, kUp);
    normals[4] = normals[5] = {0, -1, 0};
    EXPECT_EQ(Build(kPrimitiveTriangles, kTwoTriangles, normals, kLightDown).count, 24u);
}

TEST(ShadowVolume, LinesPointsAndAZeroLightCastNothing) {
    constexpr uint32_t kLines = 0x0001, kPoints = 0x0000, kTriangleStrip = 0x0005;
    for (uint32_t mode : {kLines, kPoints, kTriangleStrip})
        EXPECT_EQ(Build(mode, kTwoTriangles, Normals(6, kUp), kLightDown).count, 0u) << mode;
    EXPECT_EQ(Build(kPrimitiveTriangles, kTwoTriangles, Normals(6, kUp), {0, 0, 0}).count, 0u);
}

TEST(ShadowVolume, ArraysThatDoNotFitOrIndicesOutsideTheVerticesWriteNothingOutside) {
    std::vector<KvVec3> positions(7);  // one short of twice the vertex count
    std::vector<uint32_t> indices(24);
    EXPECT_EQ(BuildShadowVolume(kPrimitiveTriangles, kSquare, kTwoTriangles, Normals(6, kUp), kLightDown, positions,
                                indices),
              0u);
    positions.resize(8);
    const std::vector<uint32_t> outside{0, 1, 9};
    EXPECT_EQ(BuildShadowVolume(kPrimitiveTriangles, kSquare, outside, Normals(3, kUp), kLightDown, positions,
                                indices),
              4u)
        << "only the edge between two real vertices";
    EXPECT_EQ((Quad{indices[0], indices[1], indices[2], indices[3]}), (Quad{0, 1, 5, 4}));
}

}  // namespace
}  // namespace kv
