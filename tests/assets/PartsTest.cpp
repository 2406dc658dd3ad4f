// Transform hierarchies: nodes, the robot's part table and the wreck's pieces.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

#include "assets/DebrisParts.h"
#include "assets/ModelParts.h"

namespace kv {
namespace {

KvMatrix Translation(double x, double y, double z) {
    KvMatrix m = Identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

// One small mesh per part name, each placed at its own position so relative placements differ.
class FakeStore {
public:
    KvMesh* Mesh(const KvString& key) {
        auto it = meshes_.find(key.Std());
        if (it != meshes_.end()) return it->second.get();
        if (missing_ == key.Std()) return nullptr;
        KvModelObject o;
        o.name = key;
        const float k = static_cast<float>(meshes_.size() + 1);
        o.placement[3][0] = k;
        o.placement[3][1] = 2 * k;
        o.placement[3][2] = 3 * k;
        o.vertices = {{k, 2 * k, 3 * k}, {k + 1, 2 * k, 3 * k}, {k, 2 * k + 2, 3 * k + 4}};
        auto mesh = std::make_unique<KvMesh>();
        mesh->BuildFrom(o);
        return (meshes_[key.Std()] = std::move(mesh)).get();
    }
    KvTexture* Texture(const KvString& key) { return reinterpret_cast<KvTexture*>(&textures_[key.Std()]); }

    KvMeshLookup Meshes() {
        return [this](const KvString& k) { return Mesh(k); };
    }
    KvTextureLookup Textures() {
        return [this](const KvString& k) { return Texture(k); };
    }
    std::string missing_;

private:
    std::map<std::string, std::unique_ptr<KvMesh>> meshes_;
    std::map<std::string, int> textures_;
};

void ExpectMatrixNear(const KvMatrix& a, const KvMatrix& b) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-9) << "element " << i;
}

TEST(TransformNode, CachesTheWorldMatrixUntilInvalidated) {
    TransformNode parent, child;
    parent.local = Translation(1, 0, 0);
    child.local = Translation(0, 2, 0);
    child.SetParent(&parent);
    ExpectMatrixNear(child.GetWorld(), Translation(1, 2, 0));
    parent.local = Translation(5, 0, 0);
    parent.Invalidate();
    ExpectMatrixNear(child.GetWorld(), Translation(1, 2, 0));  // the child's cache is its own
    child.Invalidate();
    ExpectMatrixNear(child.GetWorld(), Translation(5, 2, 0));
}

TEST(ModelParts, BindingGivesEveryPartItsMeshTextureAndRelativePlacement) {
    FakeStore store;
    KvModelParts parts;
    KvString error;
    ASSERT_TRUE(parts.Bind(store.Meshes(), store.Textures(), error)) << error.CStr();
    EXPECT_TRUE(parts.shellShown);
    EXPECT_EQ(parts[KvModelParts::kShell].texture, nullptr);
    EXPECT_EQ(parts[KvModelParts::kBody].texture, nullptr);
    EXPECT_EQ(parts[KvModelParts::kScannerHead].texture, nullptr);
    EXPECT_EQ(parts[12].texture, store.Texture("wheel"));
    EXPECT_EQ(parts[10].texture, store.Texture("detal.03"));
    // The template stays unlinked; a copy links each node to its parent copy, and then every
    // part lands exactly where its own object was placed.
    for (const KvModelPart& p : parts.parts) EXPECT_EQ(p.node.parent, nullptr);
    KvModelParts copy = parts;
    for (int i = 0; i < KvModelParts::kPartCount; ++i) {
        const int parent = KvModelParts::kTable[static_cast<std::size_t>(i)].parent;
        EXPECT_EQ(copy[i].node.parent, parent < 0 ? nullptr : &copy[parent].node) << "part " << i;
        ExpectMatrixNear(copy[i].node.GetWorld(), copy[i].mesh->NodeMatrix());
    }
    EXPECT_EQ(copy[0].mesh, store.Mesh("Rocket"));
    KvModelParts assigned;
    assigned = copy;
    EXPECT_EQ(assigned[9].node.parent, &assigned[8].node);
}

TEST(ModelParts, BindingNamesAMissingMesh) {
    FakeStore store;
    store.missing_ = "detal.04.01";
    KvModelParts parts;
    KvString error;
    EXPECT_FALSE(parts.Bind(store.Meshes(), store.Textures(), error));
    EXPECT_STREQ(error.CStr(), "robot part \"detal.04.01\" has no mesh");
}

TEST(ModelParts, LightDirectionsAreTheLightTurnedIntoEachPartsFrame) {
    FakeStore store;
    KvModelParts parts;
    KvString error;
    ASSERT_TRUE(parts.Bind(store.Meshes(), store.Textures(), error));
    KvModelParts robot = parts;
    // Body turned a quarter about the vertical: the light's x becomes the part's -z, and so on.
    KvMatrix turn = Identity();
    turn[0] = 0, turn[2] = -1, turn[8] = 1, turn[10] = 0;
    robot[KvModelParts::kBody].node.local = turn;
    robot.UpdateLightDirections();
    const KvVec3& d = robot[KvModelParts::kBody].lightDirection;
    EXPECT_NEAR(d.x, -1, 1e-9);
    EXPECT_NEAR(d.y, -1, 1e-9);
    EXPECT_NEAR(d.z, 1, 1e-9);
}

TEST(ModelParts, BoundingBoxCoversAllSixteenPartsIncludingAHiddenShell) {
    FakeStore store;
    KvModelParts parts;
    KvString error;
    ASSERT_TRUE(parts.Bind(store.Meshes(), store.Textures(), error));
    KvModelParts robot = parts;
    robot.shellShown = false;
    KvVec3 lo, hi;
    robot.BoundingBox(lo, hi);
    for (const KvModelPart& p : robot.parts) {
        const KvVec3 a = TransformPoint(p.node.world, p.mesh->BoxMin());
        EXPECT_LE(lo.x, a.x + 1e-12);
        EXPECT_GE(hi.y, a.y - 1e-12);
    }
    int shadowCasters = 0;
    robot.ForEachShadowCaster([&](const KvMesh&, const KvMatrix&, const KvVec3&) { ++shadowCasters; });
    EXPECT_EQ(shadowCasters, 15);
}

TEST(DebrisParts, AWreckCopyHangsUnderItsRootUntilPlacedThenStandsAlone) {
    FakeStore store;
    KvDebrisParts debris;
    KvString error;
    ASSERT_TRUE(debris.Build(store.Meshes(), store.Textures(), error));
    EXPECT_EQ(debris.shown[10], 1);
    KvDebrisParts wreck = debris;
    for (const KvModelPart& p : wreck.pieces) EXPECT_EQ(p.node.parent, &wreck.root);
    KvTexture* green = store.Texture("body_green");
    wreck.SetBodyTexture(green);
    EXPECT_EQ(wreck.pieces[4].texture, green);
    EXPECT_EQ(wreck.pieces[6].texture, green);
    EXPECT_EQ(wreck.pieces[3].texture, store.Texture("detal.04"));
    EXPECT_EQ(wreck.pieces[7].texture, store.Texture("wheel"));

    const KvMatrix root = KvDebrisParts::RootMatrix(1, 0.5, -2, 30);
    wreck.PlaceAndDetach(root);
    for (KvModelPart& p : wreck.pieces) {
        EXPECT_EQ(p.node.parent, nullptr);
        ExpectMatrixNear(p.node.local, Product(root, p.mesh->NodeMatrix()));
    }
}

TEST(DebrisParts, BuildingNamesAMissingPiece) {
    FakeStore store;
    store.missing_ = "debris.wheel.03";
    KvDebrisParts debris;
    KvString error;
    EXPECT_FALSE(debris.Build(store.Meshes(), store.Textures(), error));
    EXPECT_STREQ(error.CStr(), "debris piece \"debris.wheel.03\" has no mesh");
}

}  // namespace
}  // namespace kv
