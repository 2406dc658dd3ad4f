#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/Random.h"
#include "render/Scene.h"
#include "render/Track.h"
#include "render/Transparent.h"
#include "sim/HeightField.h"

namespace kv {
namespace {

KvHeightField Hills() {
    KvHeightField g;
    SeedRandom(9);
    g.GenerateHills();
    return g;
}

// Twice the (X, Z) area of a triangle, positive when it faces up.
double UpArea2(const KvVec3& a, const KvVec3& b, const KvVec3& c) {
    return (b.z - a.z) * (c.x - a.x) - (b.x - a.x) * (c.z - a.z);
}

// What every laid square must be: upward triangles covering size x size, each piece inside
// one ground cell, every point on the square lifted above the ground.
void ExpectLaidSquare(const KvHeightField& ground, const GroundMesh& m, double size) {
    ASSERT_EQ(m.indices.size() % 3, 0u);
    double area = 0;
    for (size_t t = 0; t < m.indices.size(); t += 3) {
        const KvVec3 &a = m.vertices[m.indices[t]], &b = m.vertices[m.indices[t + 1]], &c = m.vertices[m.indices[t + 2]];
        const double up = UpArea2(a, b, c);
        EXPECT_GE(up, 0) << "triangle " << t / 3 << " faces down";
        area += up / 2;
        const double cellX = std::floor((a.x + b.x + c.x) / 3), cellZ = std::floor((a.z + b.z + c.z) / 3);
        for (const KvVec3* v : {&a, &b, &c}) {
            EXPECT_GE(v->x, cellX - 1e-9);
            EXPECT_LE(v->x, cellX + 1 + 1e-9);
            EXPECT_GE(v->z, cellZ - 1e-9);
            EXPECT_LE(v->z, cellZ + 1 + 1e-9);
        }
    }
    EXPECT_NEAR(area, size * size, 1e-9);
    for (size_t i = 0; i < m.vertices.size(); ++i) {
        const KvVec3& v = m.vertices[i];
        EXPECT_NEAR(v.y, MarkHeightAt(ground, v.x, v.z), 1e-12);
        EXPECT_GE(v.y, ground.HeightAt(v.x, v.z) + 0.03 - 1e-12);
        EXPECT_GE(m.texCoords[i].u, -1e-9);
        EXPECT_LE(m.texCoords[i].u, 1 + 1e-9);
        EXPECT_GE(m.texCoords[i].v, -1e-9);
        EXPECT_LE(m.texCoords[i].v, 1 + 1e-9);
    }
}

TEST(GroundMark, ASquareInsideOneCellIsOnePieceWithItsCornersTextureCoordinates) {
    const KvHeightField flat;
    const GroundMesh m = LaySquareOnGround(flat, {Vec2{0.2, 0.2}, Vec2{0.2, 0.8}, Vec2{0.8, 0.8}, Vec2{0.8, 0.2}});
    ASSERT_EQ(m.vertices.size(), 4u);
    EXPECT_EQ(m.indices.size(), 6u);
    ExpectLaidSquare(flat, m, 0.6);
    for (size_t i = 0; i < 4; ++i) {
        const KvVec3& v = m.vertices[i];
        // u runs from the first corner to the second (along Z), v to the fourth (along X).
        EXPECT_NEAR(m.texCoords[i].u, (v.z - 0.2) / 0.6, 1e-12);
        EXPECT_NEAR(m.texCoords[i].v, (v.x - 0.2) / 0.6, 1e-12);
    }
}

TEST(GroundMark, ASquareAcrossCellsIsCutAlongTheCellBordersAndFollowsTheHills) {
    const KvHeightField ground = Hills();
    const KvTrack mark(ground, 0.3, -1.6, 0.4, 3.0);
    ExpectLaidSquare(ground, mark.Mesh(), 3.0);
    EXPECT_GT(mark.Mesh().indices.size(), 3u * 2 * 9) << "at least the nine cells it fully covers";
    for (const KvVec3& v : mark.Mesh().vertices) {
        EXPECT_GE(v.x, mark.bounds.min.x);
        EXPECT_LE(v.y, mark.bounds.max.y);
    }
    // A square whose corners and edges lie exactly on cell lines still gives whole cells.
    const KvHeightField flat;
    const GroundMesh aligned = LaySquareOnGround(flat, {Vec2{-1, -1}, Vec2{-1, 1}, Vec2{1, 1}, Vec2{1, -1}});
    ExpectLaidSquare(flat, aligned, 2.0);
    EXPECT_EQ(aligned.indices.size(), 4u * 6);
}

// A curved cell was laid as one piece 0.03 over bilinear heights, and the drawn ground's
// quad, split along a diagonal, showed through the middle of the mark as a square hole.
TEST(GroundMark, StaysAboveACurvedCellWhicheverDiagonalTheGroundIsDrawnWith) {
    KvHeightField saddle;
    saddle.SetY(20, 21, 0.3);  // (1, 0) and (0, 1) raised: a saddle over the cell at the origin
    saddle.SetY(21, 20, 0.3);
    const GroundMesh m = LaySquareOnGround(saddle, {Vec2{0, 0}, Vec2{0, 1}, Vec2{1, 1}, Vec2{1, 0}});
    ExpectLaidSquare(saddle, m, 1.0);
    // Sample each triangle of the mark inside; the ground's two possible triangles there.
    auto splitMain = [](double x, double z) { return 0.3 * std::fabs(x - z); };
    auto splitOther = [](double x, double z) { return x + z <= 1 ? 0.3 * x + 0.3 * z : 0.3 * (1 - x) + 0.3 * (1 - z); };
    for (size_t t = 0; t < m.indices.size(); t += 3) {
        const KvVec3 &a = m.vertices[m.indices[t]], &b = m.vertices[m.indices[t + 1]], &c = m.vertices[m.indices[t + 2]];
        for (const std::array<double, 3>& w : {std::array<double, 3>{1 / 3.0, 1 / 3.0, 1 / 3.0}, {0.6, 0.2, 0.2},
                                               {0.2, 0.6, 0.2}, {0.2, 0.2, 0.6}}) {
            const double x = w[0] * a.x + w[1] * b.x + w[2] * c.x, z = w[0] * a.z + w[1] * b.z + w[2] * c.z;
            const double y = w[0] * a.y + w[1] * b.y + w[2] * c.y;
            EXPECT_GE(y, splitMain(x, z) + 0.03 - 1e-12) << x << ", " << z;
            EXPECT_GE(y, splitOther(x, z) + 0.03 - 1e-12) << x << ", " << z;
        }
    }
}

TEST(GroundMark, FadesAfterEightSecondsAndLeavesTheSceneAtTen) {
    const KvHeightField flat;
    KvScene scene;
    KvTrack mark(flat, 0, 0, 0, 3.0);
    scene.AddTrack(mark, true);
    EXPECT_GT(mark.HolderCount(), 0u);
    mark.Step(8.0);
    EXPECT_EQ(mark.Alpha(), 1.0);
    mark.Step(0.5);
    EXPECT_GE(mark.Alpha(), 1.0) << "8.5 s: still fully opaque";
    mark.Step(0.875);
    EXPECT_NEAR(mark.Alpha(), 0.5, 1e-9);
    mark.SetOwners(&scene, nullptr);
    mark.Step(0.625);
    EXPECT_EQ(mark.HolderCount(), 0u) << "at 10 s the mark has left the scene";
}

TEST(Scene, KeysMarksInTheOrderTheyAreAddedAndStartAgainAfterClear) {
    const KvHeightField flat;
    KvScene scene;
    KvTrack a(flat, 0, 0, 0, 1), b(flat, 0, 0, 0, 1), c(flat, 2, 2, 0, 1);
    scene.AddTrack(a, true);
    scene.AddTrack(b, false);
    EXPECT_EQ(a.trackKey, 0.0);
    EXPECT_EQ(b.trackKey, 0.1);
    scene.RemoveTrack(a, true);
    EXPECT_EQ(a.HolderCount(), 0u);
    scene.Clear();
    EXPECT_EQ(b.HolderCount(), 0u) << "Clear forgets every mark";
    scene.AddTrack(c, true);
    EXPECT_EQ(c.trackKey, 0.0);
}

TEST(Transparent, BatchesNeighboursThatShareBlendTextureAndPrimitiveFarthestFirst) {
    const int textureA = 0, textureB = 0;  // stand-ins: only their addresses are compared
    const auto* a = reinterpret_cast<const KvTexture*>(&textureA);
    const auto* b = reinterpret_cast<const KvTexture*>(&textureB);
    KvTransparentList records;
    auto add = [&](double key, const KvTexture* texture, uint32_t mode = kGlQuads, uint32_t destination = kGlOneMinusSrcAlpha,
                   double tag = 0) {
        const KvTransparentList::Added r = records.Add(key, mode, 4);
        r.record.texture = texture;
        r.record.blendDestination = destination;
        r.record.colour[0] = tag ? tag : key;
        r.vertices[3] = {key, 0, 0};
    };
    add(4, b);  // replaced below: only the latest record under a key is drawn
    add(1, a);
    add(2, a);
    add(3, nullptr);  // no texture: skipped, and it does not split the batch round it
    add(4, a, kGlQuads, kGlOneMinusSrcAlpha, 40);
    add(5, b);
    add(6, b, 0x0004);  // triangles
    add(7, b, 0x0004, 1);  // additive
    EXPECT_EQ(records.Size(), 7u);
    std::vector<std::vector<double>> batches;
    records.WalkBatches([&](const KvTransparent&) { batches.emplace_back(); },
                        [&](const KvTransparent& r, const KvVec3* vertices, const KvTexCoord*) {
                            batches.back().push_back(r.colour[0]);
                            EXPECT_EQ(vertices[3].x, r.key);  // each record keeps its own vertices
                        });
    EXPECT_EQ(batches, (std::vector<std::vector<double>>{{7}, {6}, {5}, {40, 2, 1}}));
    // Cleared, the list is empty and keeps its room for the next frame.
    records.Clear();
    EXPECT_EQ(records.Size(), 0u);
}

}  // namespace
}  // namespace kv
