// Transform hierarchies: nodes, the robot's part table and the wreck's pieces.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

#include "ExpectNear.h"
#include "assets/DebrisParts.h"
#include "assets/ModelParts.h"

namespace kv {
namespace {

KvMatrix Translation(double x, double y, double z) {
    KvMatrix m = Identity();
    m[12] = x, m[13] = y, m[14] = z;
    return m;
}

using test::ExpectMatrixNear;

// Hands out one small mesh per part name, each placed at its own position so that relative
// placements differ; the mesh named missing_ does not exist.
class PartStore : public ::testing::Test {
protected:
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
    bool Bind(KvModelParts& parts) {
        return parts.Bind([this](const KvString& k) { return Mesh(k); }, error_);
    }
    bool Build(KvDebrisParts& debris) {
        return debris.Build([this](const KvString& k) { return Mesh(k); }, error_);
    }

    std::string missing_;
    KvString error_;

private:
    std::map<std::string, std::unique_ptr<KvMesh>> meshes_;
};
using DebrisParts = PartStore;

// The robot's part table bound to the store's meshes.
class ModelParts : public PartStore {
protected:
    void SetUp() override { ASSERT_TRUE(Bind(parts)) << error_.CStr(); }
    KvModelParts parts;
};

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

TEST_F(ModelParts, BindingGivesEveryPartItsMeshTextureAndRelativePlacement) {
    EXPECT_TRUE(parts.shellShown);
    // The shell, the body and the scanner head are painted per robot, not from the table.
    for (int part : {KvModelParts::kShell, KvModelParts::kBody, KvModelParts::kScannerHead})
        EXPECT_EQ(parts[part].textureKey, nullptr) << "part " << part;
    EXPECT_STREQ(parts[12].textureKey, "wheel");
    EXPECT_STREQ(parts[10].textureKey, "detal.03");
    // The template stays unlinked; a copy links each node to its parent copy, and then every
    // part lands exactly where its own object was placed.
    for (const KvModelPart& p : parts.parts) EXPECT_EQ(p.node.parent, nullptr);
    KvModelParts copy = parts;
    for (int i = 0; i < KvModelParts::kPartCount; ++i) {
        const int parent = KvModelParts::kTable[static_cast<std::size_t>(i)].parent;
        EXPECT_EQ(copy[i].node.parent, parent < 0 ? nullptr : &copy[parent].node) << "part " << i;
        ExpectMatrixNear(copy[i].node.GetWorld(), copy[i].mesh->NodeMatrix());
    }
    EXPECT_EQ(copy[0].mesh, Mesh("Rocket"));
    KvModelParts assigned;
    assigned = copy;
    EXPECT_EQ(assigned[9].node.parent, &assigned[8].node);
}

TEST_F(ModelParts, ARobotColourPaintsTheShellBodyAndScannerHead) {
    KvModelParts robot = parts;
    robot.SetColour(3);
    EXPECT_STREQ(robot[KvModelParts::kShell].textureKey, "magenta_rocket");
    EXPECT_STREQ(robot[KvModelParts::kBody].textureKey, "body_magenta");
    EXPECT_STREQ(robot[KvModelParts::kScannerHead].textureKey, "body_magenta");
    EXPECT_STREQ(robot[KvModelParts::kTurret].textureKey, "detal.02");
    EXPECT_EQ(parts[KvModelParts::kBody].textureKey, nullptr) << "the template stays unpainted";
    robot.SetColour(4);
    EXPECT_EQ(robot[KvModelParts::kBody].textureKey, nullptr);
}

TEST_F(ModelParts, LightDirectionsAreTheLightTurnedIntoEachPartsFrame) {
    KvModelParts robot = parts;
    // Body turned a quarter about the vertical: the light's x becomes the part's -z, and so on.
    KvMatrix turn = Identity();
    turn[0] = 0, turn[2] = -1, turn[8] = 1, turn[10] = 0;
    robot[KvModelParts::kBody].node.local = turn;
    robot.UpdateLightDirections();
    test::ExpectNear(robot[KvModelParts::kBody].lightDirection, {-1, -1, 1});
}

TEST_F(ModelParts, BoundingBoxCoversAllSixteenPartsIncludingAHiddenShell) {
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
    EXPECT_FALSE(robot.IsDrawn(KvModelParts::kShell));
    robot.shellShown = true;
    EXPECT_TRUE(robot.IsDrawn(KvModelParts::kShell));
}

TEST_F(DebrisParts, AWreckCopyHangsUnderItsRootUntilPlacedThenStandsAlone) {
    KvDebrisParts debris;
    ASSERT_TRUE(Build(debris)) << error_.CStr();
    EXPECT_EQ(debris.shown[10], 1);
    KvDebrisParts wreck = debris;
    for (const KvModelPart& p : wreck.pieces) EXPECT_EQ(p.node.parent, &wreck.root);
    wreck.SetBodyTexture("body_green");
    EXPECT_STREQ(wreck.pieces[4].textureKey, "body_green");
    EXPECT_STREQ(wreck.pieces[6].textureKey, "body_green");
    EXPECT_STREQ(wreck.pieces[3].textureKey, "detal.04");
    EXPECT_STREQ(wreck.pieces[7].textureKey, "wheel");

    const KvMatrix root = KvDebrisParts::RootMatrix(1, 0.5, -2, 30);
    wreck.PlaceAndDetach(root);
    for (KvModelPart& p : wreck.pieces) {
        EXPECT_EQ(p.node.parent, nullptr);
        ExpectMatrixNear(p.node.local, Product(root, p.mesh->NodeMatrix()));
    }
}

TEST_F(PartStore, BindingAndBuildingNameTheMissingMesh) {
    KvModelParts parts;
    missing_ = "detal.04.01";
    EXPECT_FALSE(Bind(parts));
    EXPECT_STREQ(error_.CStr(), "robot part \"detal.04.01\" has no mesh");
    KvDebrisParts debris;
    missing_ = "debris.wheel.03";
    EXPECT_FALSE(Build(debris));
    EXPECT_STREQ(error_.CStr(), "debris piece \"debris.wheel.03\" has no mesh");
}

}  // namespace
}  // namespace kv
