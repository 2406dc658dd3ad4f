// The model format: conversion of placements, vertices and normals, and refusal of damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "assets/Mesh.h"
#include "assets/ModelFile.h"
#include "assets/ModelWriter.h"
#include "core/Stream.h"

#include "ExpectNear.h"
#include "TestResources.h"

namespace kv {
namespace {

KvModelObject Triangle(const char* name, float px = 0, float py = 0, float pz = 0) {
    KvModelObject o = test::TriangleObject(name, {{1, 2, 3}, {4, 5, 6}, {10, 20, 30}});
    o.secondName = "second";
    o.placement[3][0] = px;
    o.placement[3][1] = py;
    o.placement[3][2] = pz;
    return o;
}

std::vector<uint8_t> Write(const std::vector<KvModelMaterial>& materials, const std::vector<KvModelObject>& objects) {
    KvElasticMemOStream out;
    EXPECT_TRUE(WriteModelFile(out, materials, objects));
    return std::vector<uint8_t>(out.Data(), out.Data() + out.size);
}

// Loads bytes into file; the error text, empty when the file loaded.
std::string Load(const std::vector<uint8_t>& bytes, KvModelFile& file) {
    KvMemIStream in(bytes.data(), static_cast<uint32_t>(bytes.size()));
    KvString error;
    const bool loaded = file.Load(in, error);
    EXPECT_EQ(loaded, error.Length() == 0) << "a failure comes with a message, a success without";
    return loaded ? "" : std::string(error.CStr());
}

using test::ExpectNear;

TEST(Mesh, IdentityPlacementTurnsTheZUpFrameIntoTheYUpWorld) {
    KvMesh mesh;
    ASSERT_TRUE(mesh.BuildFrom(Triangle("t")));
    const KvMatrix& n = mesh.NodeMatrix();
    ExpectNear({n[0], n[1], n[2]}, {1, 0, 0});
    ExpectNear({n[4], n[5], n[6]}, {0, 0, -1});
    ExpectNear({n[8], n[9], n[10]}, {0, 1, 0});
    ExpectNear({n[12], n[13], n[14]}, {0, 0, 0});
    ExpectNear(mesh.Positions()[0], {0.0254, 0.0508, 0.0762});
    ExpectNear(TransformPoint(n, mesh.Positions()[0]), {0.0254, 0.0762, -0.0508});
    // A file normal up stays local up and so points along the world's y.
    ExpectNear(mesh.CornerNormals()[1], {0, 0, 1});
    ExpectNear(TransformDirection(n, mesh.CornerNormals()[1]), {0, 1, 0});
}

TEST(Mesh, PlacementPositionBecomesATranslationInMetres) {
    KvMesh mesh;
    ASSERT_TRUE(mesh.BuildFrom(Triangle("t", 10, 20, 30)));
    const KvMatrix& n = mesh.NodeMatrix();
    ExpectNear({n[12], n[13], n[14]}, {0.254, 0.762, -0.508});
    ExpectNear(mesh.Positions()[2], {0, 0, 0});
    ExpectNear(mesh.ShadowPositions()[2], {0, 0, 0});
    EXPECT_EQ(mesh.ShadowPositions().size(), 6u);
    EXPECT_EQ(mesh.ShadowIndices().size(), 12u);
}

TEST(Mesh, PairsEachEdgeWithTheOneFaceRunningItBackEvenAcrossSplitVertices) {
    // Two triangles sharing the edge between (1, 0, 0) and (0, 1, 0); the second face reaches
    // one end of it through a copy of the vertex at the same place.
    KvModelObject o;
    o.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
    o.textureVertices = {{0, 0, 0}};
    KvModelFace a, b;
    const uint32_t first[3] = {0, 1, 2}, second[3] = {4, 3, 2};
    for (int c = 0; c < 3; ++c) a.vertex[c] = first[c], b.vertex[c] = second[c];
    o.faces = {a, b};
    KvMesh mesh;
    ASSERT_TRUE(mesh.BuildFrom(o));
    // Corner 1 runs 1 -> 2, corner 5 runs 2 -> 4 (the copy of 1).
    EXPECT_EQ(mesh.EdgeTwins(), (std::vector<int32_t>{-1, 5, -1, -1, -1, 1}));
    // A third face on the same edge makes it ambiguous: nothing pairs there.
    o.faces.push_back(b);
    ASSERT_TRUE(mesh.BuildFrom(o));
    EXPECT_EQ(mesh.EdgeTwins(), std::vector<int32_t>(9, -1));
}

TEST(Mesh, CornersFollowFacesAndTheBoxSpansEveryVertex) {
    KvModelObject o = Triangle("t");
    o.faces.push_back(o.faces[0]);
    std::swap(o.faces[1].vertex[0], o.faces[1].vertex[2]);
    o.faces[1].textureVertex[0] = 2;
    KvMesh mesh;
    ASSERT_TRUE(mesh.BuildFrom(o));
    ASSERT_EQ(mesh.CornerCount(), 6u);
    EXPECT_EQ(mesh.CornerVertexIndices()[3], 2u);
    ExpectNear(mesh.CornerPositions()[3], {0.254, 0.508, 0.762});
    EXPECT_DOUBLE_EQ(mesh.CornerTexCoords()[3].v, 1.0);
    ExpectNear(mesh.BoxMin(), {0.0254, 0.0508, 0.0762});
    ExpectNear(mesh.BoxMax(), {0.254, 0.508, 0.762});
}

TEST(Mesh, AnObjectWithoutFacesDrawsNothingAndWithoutVerticesKeepsAZeroBox) {
    KvModelObject o;
    o.name = "empty";
    KvMesh mesh;
    ASSERT_TRUE(mesh.BuildFrom(o));
    EXPECT_EQ(mesh.CornerCount(), 0u);
    ExpectNear(mesh.BoxMin(), {0, 0, 0});
    ExpectNear(mesh.BoxMax(), {0, 0, 0});
}

TEST(Mesh, RefusesAnObjectWhoseFacePointsPastItsVertices) {
    KvModelObject o = Triangle("t");
    o.faces[0].vertex[1] = 3;
    KvMesh mesh;
    EXPECT_FALSE(mesh.BuildFrom(o));
    EXPECT_EQ(mesh.CornerCount(), 0u);
}

TEST(ModelFile, ReadsWhatTheWriterWroteWithOrWithoutMaterials) {
    KvModelMaterial m;
    m.name = "paint";
    m.colours[1][2] = 0.5f;
    m.textureFile = "paint.jpg";
    for (const auto& materials : {std::vector<KvModelMaterial>{}, std::vector<KvModelMaterial>{m, m}}) {
        KvModelFile file;
        ASSERT_EQ(Load(Write(materials, {Triangle("a", 1, 2, 3), Triangle("b")}), file), "");
        ASSERT_EQ(file.Materials().size(), materials.size());
        for (const KvModelMaterial& read : file.Materials()) {
            EXPECT_EQ(read.textureFile, KvString("paint.jpg"));
            EXPECT_FLOAT_EQ(read.colours[1][2], 0.5f);
        }
        ASSERT_EQ(file.Objects().size(), 2u);
        EXPECT_EQ(file.Objects()[0].secondName, KvString("second"));
        EXPECT_FLOAT_EQ(file.Objects()[0].placement[3][2], 3.0f);
        EXPECT_EQ(file.Objects()[1].faces.size(), 1u);
    }
}

TEST(ModelFile, FindObjectReturnsTheFirstOfTwoWithTheSameNameAndNothingForAnUnknownOne) {
    KvModelFile file;
    ASSERT_EQ(Load(Write({}, {Triangle("twin", 1, 1, 1), Triangle("twin", 5, 5, 5)}), file), "");
    ASSERT_NE(file.FindObject("twin"), nullptr);
    EXPECT_FLOAT_EQ(file.FindObject("twin")->placement[3][0], 1.0f);
    EXPECT_EQ(file.FindObject("Twin"), nullptr);
}

TEST(ModelFile, RefusesEveryTruncationOrAClosedStreamAndLeavesNothingLoaded) {
    KvModelMaterial m;
    m.name = "paint";
    const auto bytes = Write({m}, {Triangle("a"), Triangle("b")});
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        KvModelFile file;
        EXPECT_NE(Load(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)), file), "")
            << "cut at " << n;
        EXPECT_TRUE(file.Objects().empty());
    }
    KvMemIStream closed(nullptr, 0);
    KvModelFile file;
    KvString error;
    EXPECT_FALSE(file.Load(closed, error));
}

// Offsets into a file of no materials and one triangle object named "a".
constexpr std::size_t kNameLength = 8, kVertexCount = 8 + 4 + 1 + 4 + 6 + 48 + 4;
constexpr std::size_t kTextureCount = kVertexCount + 4 + 36;
constexpr std::size_t kFaceCount = kTextureCount + 4 + 36;
constexpr std::size_t kFirstFace = kFaceCount + 4;

std::vector<uint8_t> Patched(std::size_t offset, uint32_t value) {
    auto bytes = Write({}, {Triangle("a")});
    std::memcpy(bytes.data() + offset, &value, 4);
    return bytes;
}

TEST(ModelFile, RefusesCountsAndLengthsLargerThanTheFileHolds) {
    const std::pair<std::size_t, const char*> fields[] = {
        {0, "material count"},        {4, "object count"},
        {kNameLength, "name"},        {kVertexCount, "vertex list"},
        {kTextureCount, "texture-vertex list"}, {kFaceCount, "face list"}};
    for (const auto& [offset, what] : fields) {
        for (uint32_t bad : {0x10000u, 0xFFFFFFFFu}) {
            KvModelFile file;
            const std::string error = Load(Patched(offset, bad), file);
            EXPECT_NE(error.find(what), std::string::npos) << what << " = " << bad << ": " << error;
        }
    }
}

TEST(ModelFile, RefusesFaceIndicesOutsideTheListsAndNamesTheObject) {
    KvModelFile file;
    EXPECT_EQ(Load(Patched(kFirstFace + 4, 3), file), "object \"a\": face 0 uses vertex 3 of 3");
    EXPECT_EQ(Load(Patched(kFirstFace + 7 * 4 + 8, 0x80000000u), file),
              "object \"a\": face 0 uses texture vertex 2147483648 of 3");
    EXPECT_TRUE(file.Objects().empty());
}

}  // namespace
}  // namespace kv
