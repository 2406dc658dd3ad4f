// The robot's and the shell's poses in the scene, computed without drawing: the body on
// level and sloping ground, the follow camera, turret and scanner turned to their world
// directions, the wheels' spin, the shell in the barrel, and the shell along its arc.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "assets/ResourceStore.h"
#include "core/Angles.h"
#include "render/RobotDrawable.h"
#include "render/ShellDrawable.h"
#include "render/View.h"
#include "sim/GameHolder.h"
#include "sim/Rocket.h"
#include "sound/SoundSystem.h"

#include "ExpectNear.h"
#include "TestResources.h"

namespace kv {
namespace {

using test::ExpectNear;

void ExpectColumn(const KvMatrix& m, int column, const KvVec3& v) {
    SCOPED_TRACE(::testing::Message() << "column " << column);
    ExpectNear({m[4 * column], m[4 * column + 1], m[4 * column + 2]}, v);
}

// Where a part's forward (its local -y) points in the world, in the ground plane, degrees.
double WorldDirection(TransformNode& node) {
    const KvMatrix& w = node.GetWorld();
    return Degrees(std::atan2(-w[6], -w[4]));
}

double AngleGap(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180 ? 360 - d : d;
}

class RobotPresentation : public ::testing::Test {
protected:
    static ResourceStore& Store() { return test::TheGameGeometry(KV_GAME_ARCHIVE).store; }
    void SetUp() override { ASSERT_TRUE(test::TheGameGeometry(KV_GAME_ARCHIVE).loaded) << Store().LoadError().CStr(); }

    KvRobotDrawable Drawable(const KvHeightField& ground) {
        return KvRobotDrawable(robot, Store().RobotParts(), ground, nullptr, [] { return 0.0; });
    }
    static RobotValues At(double x, double y, double heading) {
        RobotValues v;
        v.position = {x, y};
        v.heading = heading;
        return v;
    }

    KvGLRobot robot{"test.r", 2};
    KvHeightField flat;
};

TEST_F(RobotPresentation, StandsOnLevelGroundWithItsMeshAxesTurnedToTheHeading) {
    KvRobotDrawable drawable = Drawable(flat);
    drawable.Pose(At(500, 500, 0), 0);
    const KvMatrix& body = drawable.Parts()[KvModelParts::kBody].node.local;
    ExpectColumn(body, 0, {0, 0, -1});
    ExpectColumn(body, 1, {-1, 0, 0});
    ExpectColumn(body, 2, {0, 1, 0});

    drawable.Pose(At(750, 250, 90), 0);
    ExpectColumn(body, 0, {1, 0, 0});
    ExpectColumn(body, 1, {0, 0, -1});
    ExpectColumn(body, 2, {0, 1, 0});
    ExpectColumn(body, 3, {2.5, 0, -2.5});
}

TEST_F(RobotPresentation, TheEnginePlaysAtTheRobotWithAPitchThatFollowsItsSpeed) {
    // OpenAL Soft's null output is part of every build: a device without a sound card.
    setenv("ALSOFT_DRIVERS", "null", 1);
    SoundSystem sound;
    ASSERT_TRUE(sound.Init()) << "OpenAL Soft's null backend did not open";
    std::unique_ptr<KvSound> motor = sound.CreateSound(PcmSound{44100, 1, std::vector<int16_t>(44100)});
    ASSERT_NE(motor, nullptr);
    const int32_t channel = sound.StartPaused(motor.get(), 0.7f, true);
    ASSERT_GE(channel, 0);
    {
        KvRobotDrawable drawable = Drawable(flat);
        drawable.SetEngine({&sound, channel, false, 1000});
        RobotValues v = At(750, 250, 0);
        v.speed = 40;
        drawable.Pose(v, 0);
        SoundSystem::ChannelInfo info = sound.Channel(channel);
        EXPECT_FLOAT_EQ(info.frequency, 40 * 220.5f);
        EXPECT_TRUE(info.looping);
        EXPECT_FALSE(info.paused);
        ExpectNear(info.position, {2.5, 0, -2.5}, 1e-6);

        v.speed = 0;
        drawable.Pose(v, 0.1);
        EXPECT_FLOAT_EQ(sound.Channel(channel).frequency, 0) << "a standing robot's engine is still";
        EXPECT_TRUE(sound.Channel(channel).looping);
    }
    sound.StopChannel(channel);
    sound.ReleaseSound(*motor);
    sound.Close();
}

TEST_F(RobotPresentation, LeansWithTheSlopeAlongAndAcrossItsHeading) {
    // The ground rises 0.2 per unit in X and 0.1 per unit in Z.
    KvHeightField slope;
    for (int r = 0; r < KvHeightField::kSize; ++r)
        for (int c = 0; c < KvHeightField::kSize; ++c) slope.SetY(r, c, 0.2 * (c - 20) + 0.1 * (r - 20));
    KvRobotDrawable drawable = Drawable(slope);
    drawable.Pose(At(500, 500, 0), 0);
    const KvMatrix& body = drawable.Parts()[KvModelParts::kBody].node.local;
    const KvVec3 forward = Normalised({0.1, 0.02, 0}), side = Normalised({0, 0.01, 0.1});
    ExpectColumn(body, 1, forward * -1);
    ExpectColumn(body, 0, side * -1);
    ExpectColumn(body, 2, Cross(side, forward));
    EXPECT_GT(body[9], 0.97) << "up stays mostly up";
    ExpectColumn(body, 3, {0, 0, 0});
}

TEST_F(RobotPresentation, KeepsItsViewsCameraAboveAndBehindTheGroundPoint) {
    KvHeightField raised;
    for (int r = 0; r < KvHeightField::kSize; ++r)
        for (int c = 0; c < KvHeightField::kSize; ++c) raised.SetY(r, c, 0.25);
    View view(ViewKind::Robot);
    KvRobotDrawable drawable = Drawable(raised);
    drawable.SetView(&view);
    drawable.Pose(At(600, 300, 45), 0);
    ExpectNear(view.camera.eye, {2.0, 1.95, -3.0}, 1e-12);
    ExpectNear(view.camera.target, {1.0, 0.55, -2.0}, 1e-12);
}

TEST_F(RobotPresentation, TurnsTurretAndScannerToTheirLastWorldDirectionsWhateverTheHeading) {
    KvRobotDrawable drawable = Drawable(flat);
    RobotValues v = At(500, 500, 0);
    v.cannonDirection = 90;
    v.scanDirection = 200;
    for (double heading : {0.0, 35.0, 180.0, 271.0}) {
        v.heading = heading;
        drawable.Pose(v, 0);
        EXPECT_LT(AngleGap(WorldDirection(drawable.Parts()[KvModelParts::kTurret].node), 90), 1e-6) << heading;
        EXPECT_LT(AngleGap(WorldDirection(drawable.Parts()[KvModelParts::kScannerHead].node), 200), 1e-6) << heading;
    }
    // Arena +y is the scene's +z: a cannon at 90 degrees points the barrel there.
    const KvMatrix& turret = drawable.Parts()[KvModelParts::kTurret].node.GetWorld();
    EXPECT_NEAR(-turret[6], 1, 1e-9);
    // A scan of 560 points the same way as 200.
    v.scanDirection = 560;
    drawable.Pose(v, 0);
    EXPECT_LT(AngleGap(WorldDirection(drawable.Parts()[KvModelParts::kScannerHead].node), 200), 1e-6);
}

TEST_F(RobotPresentation, SpinsTheWheelsWithSpeedAndTimeAndShowsTheShellWhileLoaded) {
    double now = 0;
    KvRobotDrawable drawable(robot, Store().RobotParts(), flat, nullptr, [&] { return now; });
    RobotValues v = At(500, 500, 0);
    drawable.Pose(v, 0);
    const KvMatrix before = drawable.Parts()[KvModelParts::kWheel1].node.local;
    drawable.Pose(v, 2.0);  // standing: the wheels keep still
    EXPECT_EQ(drawable.Parts()[KvModelParts::kWheel1].node.local, before);
    EXPECT_FALSE(drawable.Parts().shellShown);

    v.speed = 100;
    v.cannonReady = true;
    drawable.Pose(v, 2.5);  // half a second at speed 100: 5 radians about the axle
    const double c = std::cos(5.0), s = std::sin(5.0);
    const KvMatrix spun = Product(before, {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1});
    const KvMatrix& local = drawable.Parts()[KvModelParts::kWheel1].node.local;
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(local[k], spun[k], 1e-12) << k;
    EXPECT_TRUE(drawable.Parts().shellShown);
    EXPECT_TRUE(drawable.Parts().IsDrawn(KvModelParts::kShell));
}

TEST_F(RobotPresentation, BoundsHoldTheWholeRobotOnTheGround) {
    KvRobotDrawable drawable = Drawable(flat);
    drawable.Pose(At(0, 999, 30), 0);
    EXPECT_NEAR(drawable.bounds.min.y, 0, 0.01);
    EXPECT_GT(drawable.bounds.max.y, 0.25);
    EXPECT_LT(drawable.bounds.min.x, -5);
    EXPECT_GT(drawable.bounds.max.z, 4.99);
    EXPECT_LT(drawable.bounds.max.x - drawable.bounds.min.x, 0.6);
}

TEST(ShellPresentation, FollowsItsArcFromTheMuzzleToTheGroundPointingAlongIt) {
    ProcessScheduler scheduler;
    KvHeightField ground;
    KvGameHolder holder(scheduler, ground);
    // Fired from the ground at (500, 500) towards +x for 400 units: 0.7 high at mid-flight.
    const KvRocket rocket(holder, 0, {500, 500}, {0, 0, 0}, 0, 400);
    ASSERT_NEAR(rocket.arcLength, 4, 1e-12);
    const KvMatrix start = ShellTransform(rocket.Flight(), 0);
    ExpectColumn(start, 3, {0, 0, 0});
    EXPECT_GT(start[1], 0.5) << "it leaves the barrel climbing";
    const KvMatrix middle = ShellTransform(rocket.Flight(), 2);
    ExpectColumn(middle, 3, {2, 0.7, 0});
    ExpectColumn(middle, 0, {1, 0, 0});
    ExpectColumn(middle, 1, {0, 0, -1});
    ExpectColumn(middle, 2, {0, 1, 0});
    const KvMatrix end = ShellTransform(rocket.Flight(), 4);
    ExpectColumn(end, 3, {4, 0, 0});
    EXPECT_LT(end[1], -0.5) << "and lands diving";

    KvShellDrawable drawable(rocket.Flight(), nullptr, nullptr);
    EXPECT_EQ(drawable.Transform(), start);
    // The shell keeps the light's direction in its own frame: turned back, it is (1, -1, 1).
    ExpectNear(TransformDirection(start, drawable.LightDirection()), {1, -1, 1}, 1e-12);
}

}  // namespace
}  // namespace kv
