// The generated robot model as a battle uses it: loaded headless, stood on the ground and
// aimed by the simulation's own rules (RobotGeometry), so model and rules must agree.
#include <gtest/gtest.h>

#include <cmath>

#include "assets/ResourceStore.h"
#include "core/Angles.h"
#include "sim/HeightField.h"
#include "sim/RobotGeometry.h"

#include "ExpectNear.h"
#include "TestResources.h"

namespace kv {
namespace {

class RobotModel : public ::testing::Test {
protected:
    static ResourceStore& Store() { return test::TheGameGeometry(KV_GAME_ARCHIVE).store; }
    void SetUp() override { ASSERT_TRUE(test::TheGameGeometry(KV_GAME_ARCHIVE).loaded) << Store().LoadError().CStr(); }

    // The robot's parts standing on level ground at the arena's centre (the scene's origin).
    KvModelParts Standing(double headingDegrees) const {
        KvModelParts robot = Store().RobotParts();
        robot[KvModelParts::kBody].node.local = RobotGeometry::BodyFrame(flat_, kCentre, headingDegrees);
        return robot;
    }
    static KvVec3 Origin(TransformNode& node) {
        const KvMatrix& w = node.GetWorld();
        return {w[12], w[13], w[14]};
    }

    static constexpr Vec2 kCentre{500, 500};
    KvHeightField flat_;
};

TEST_F(RobotModel, LoadsHeadlessWithAFootprintOfAboutFortyByThirtyArenaUnits) {
    RobotGeometry geometry;
    KvString error;
    ASSERT_TRUE(LoadRobotGeometry(KV_GAME_ARCHIVE, geometry, error)) << error.CStr();
    EXPECT_NEAR(geometry.length, 40, 5);
    EXPECT_NEAR(geometry.width, 30, 5);

    EXPECT_FALSE(LoadRobotGeometry("no-such-archive.kvfs", geometry, error));
    EXPECT_STREQ(error.CStr(), "no-such-archive.kvfs not found");
}

TEST_F(RobotModel, StandsOnItsWheelsAtTheGroundPoint) {
    KvModelParts robot = Standing(0);
    KvVec3 lo, hi;
    robot.BoundingBox(lo, hi);
    EXPECT_NEAR(lo.y, 0.0, 0.002);
    EXPECT_GT(hi.y, 0.25);
    for (int w = KvModelParts::kWheel1; w <= KvModelParts::kWheel4; ++w) {
        // Each wheel turns about its own centre, on an axle across the heading.
        const KvMesh& mesh = *robot[w].mesh;
        EXPECT_NEAR(mesh.BoxMin().y + mesh.BoxMax().y, 0, 1e-3);
        EXPECT_NEAR(mesh.BoxMin().z + mesh.BoxMax().z, 0, 1e-3);
        const KvMatrix& world = robot[w].node.GetWorld();
        EXPECT_NEAR(std::fabs(world[2]), 1, 1e-9) << "axle along the scene's z at heading 0";
        EXPECT_NEAR(world[13] + mesh.BoxMin().z, 0, 0.002) << "wheel " << w << " touches the ground";
    }
}

TEST_F(RobotModel, FiresFromTheShellRestingInTheBarrelTowardsTheCannonDirection) {
    RobotGeometry geometry = RobotGeometry::FromParts(Store().RobotParts());
    // Unturned, the turret faces the heading: the drawn shell is where a shot starts, at the
    // front end of the barrel.
    KvModelParts robot = Standing(0);
    const KvVec3 shell = Origin(robot[KvModelParts::kShell].node);
    const KvVec3 muzzle = geometry.MuzzlePoint(flat_, kCentre, 0, 0);
    test::ExpectNear(muzzle, shell);
    EXPECT_GT(muzzle.x - Origin(robot[KvModelParts::kTurret].node).x, 0.2);
    EXPECT_GT(muzzle.y, 0.15);
    const KvVec3 inBarrel = TransformPoint(RigidInverse(robot[KvModelParts::kBarrel].node.GetWorld()), shell);
    EXPECT_NEAR(inBarrel.x, 0, 1e-6);
    EXPECT_NEAR(inBarrel.z, 0, 1e-6);
    EXPECT_NEAR(inBarrel.y, robot[KvModelParts::kBarrel].mesh->BoxMin().y, 1e-6);

    // Turned, the muzzle lies in the cannon direction from the turret's axis (halfway between
    // two opposite aims), whatever the heading.
    for (const auto& [heading, direction] : {std::pair{0.0, 90.0}, std::pair{45.0, 200.0}, std::pair{300.0, 10.0}}) {
        const KvVec3 tip = geometry.MuzzlePoint(flat_, kCentre, heading, direction);
        const KvVec3 back = geometry.MuzzlePoint(flat_, kCentre, heading, direction + 180);
        const double bearing = Degrees(std::atan2(tip.z - back.z, tip.x - back.x));
        EXPECT_NEAR(std::remainder(bearing - direction, 360.0), 0, 1e-6) << "heading " << heading;
        EXPECT_NEAR(tip.y, back.y, 1e-9) << "the turret turns about the vertical on level ground";
    }
}

TEST_F(RobotModel, LeavesItsWreckWhereItStood) {
    const double heading = 217;
    KvModelParts robot = Standing(heading);
    KvVec3 lo, hi;
    robot.BoundingBox(lo, hi);
    KvDebrisParts wreck = Store().DebrisParts();
    wreck.PlaceAndDetach(KvDebrisParts::RootMatrix(0, 0, 0, heading));
    KvVec3 wlo, whi;
    bool first = true;
    for (KvModelPart& p : wreck.pieces) GrowBox(*p.mesh, p.node.GetWorld(), wlo, whi, first);
    EXPECT_NEAR((wlo.x + whi.x) / 2, (lo.x + hi.x) / 2, 0.08);
    EXPECT_NEAR((wlo.z + whi.z) / 2, (lo.z + hi.z) / 2, 0.08);
    EXPECT_GT(wlo.y, -0.02);
    EXPECT_LT(whi.y, hi.y);
}

}  // namespace
}  // namespace kv
