#include <gtest/gtest.h>

#include "Arena.h"

namespace kv {
namespace {

using test::Arena;

TEST(Robot, FoldsDirectionsIntoTheCircle) {
    const std::pair<int32_t, int32_t> cases[] = {{361, 1},  {720, 360},  {721, 1},    {360, 360}, {0, 0},
                                                 {-1, 359}, {-360, 0},   {-361, 359}, {INT32_MAX, INT32_MAX % 360}};
    for (auto [in, out] : cases) EXPECT_EQ(NormalizeDegrees(in), out) << in;
    EXPECT_GE(NormalizeDegrees(INT32_MIN), 0);
}

TEST(Robot, ClampsTheSpeedAskedForAndTurnsOnlyAtHalfSpeedOrLess) {
    KvGLRobot r("r.r", 0);
    r.Drive(0, 150);
    EXPECT_EQ(r.desiredSpeed, 100);
    r.Drive(0, -5);
    EXPECT_EQ(r.desiredSpeed, 0);
    r.Drive(-90, 20);
    EXPECT_EQ(r.heading, 270);
    r.speed = 60;
    r.Drive(90, 100);
    EXPECT_EQ(r.heading, 270);
    EXPECT_EQ(r.desiredSpeed, 100);
    r.speed = 50;
    r.Drive(90, 0);
    EXPECT_EQ(r.heading, 90);
    // The truncated speed is what was asked for: no change.
    r.speed = 27.4;
    r.Drive(0, 27);
    r.Step(0.01);
    EXPECT_EQ(r.speed, 27.4);
}

TEST(Robot, AcceleratesAt2000UnitsPerSecondSquaredWithoutOvershooting) {
    Arena arena(0.001);
    KvGLRobot* r = arena.Place({100, 500});
    r->Drive(0, 100);
    arena.Run(0.01);
    EXPECT_NEAR(r->speed, 20, 1e-9);
    arena.Run(0.05);
    EXPECT_EQ(r->speed, 100);
    r->Drive(0, 0);
    arena.Run(0.05);
    EXPECT_EQ(r->speed, 0);
    const Vec2 stopped = r->position;
    arena.Run(0.1);
    EXPECT_EQ(r->position, stopped);
}

TEST(Robot, LosesTwoPointsAtAWallOnceThenAgainOnlyAfterTheCooldown) {
    Arena arena(0.01);
    KvGLRobot* r = arena.Place({998.5, 500});
    r->Drive(0, 100);
    arena.Run(0.2);
    EXPECT_EQ(r->damage, 2);
    EXPECT_EQ(r->speed, 0);
    EXPECT_LE(r->position.x, 999);
    EXPECT_EQ(arena.presenter.collisions, 1);
    // Pushing on at once costs nothing more until 0.7 s have passed.
    r->Drive(0, 100);
    arena.Run(0.3);
    EXPECT_EQ(r->damage, 2);
    arena.Run(0.5);
    r->Drive(0, 100);
    arena.Run(0.1);
    EXPECT_EQ(r->damage, 4);
}

TEST(Robot, StandsInsideAtExactly999AndHitsTheWallOnlyWhenFreeToMove) {
    KvGLRobot r("r.r", 0);
    r.SetPosition({998, 500});
    r.speed = r.desiredSpeed = 100;
    r.Step(0.01);
    EXPECT_EQ(r.position.x, 999);
    EXPECT_EQ(r.damage, 0);
    r.canMove = 0;  // held by a collision
    r.Step(0.01);
    EXPECT_EQ(r.damage, 0);
    r.canMove = 1;
    r.Step(0.00001);
    EXPECT_EQ(r.position.x, 999);
    EXPECT_EQ(r.damage, 2);
}

TEST(Robot, DiesAt100DamageAndItsMachineIsRemovedAtTheEndOfTheTick) {
    Arena arena;
    KvGLRobot* r = arena.Place({500, 500}, 0, true);
    r->damage = 98;
    r->ApplyDamage(5);
    EXPECT_EQ(r->damage, 100);
    EXPECT_TRUE(r->Values().dead);
    EXPECT_EQ(arena.presenter.died, 1);
    EXPECT_EQ(arena.scheduler.Active().size(), 3u);  // the session, the robot and its machine
    arena.scheduler.Flush();
    EXPECT_EQ(arena.scheduler.Active().size(), 1u);
    EXPECT_EQ(arena.holder.robots.size(), 1u);  // still listed, so panels can show it
}

TEST(Robot, PublishesItsValuesAtTheEndOfEachStepWhenHitAndWhenItFires) {
    Arena arena(0.01);
    KvGLRobot* r = arena.Place({100, 100});
    r->Drive(90, 50);
    r->Scan(33, 5);
    EXPECT_EQ(r->Values().heading, 0);  // commands show from the robot's next step
    r->Step(0.01);
    RobotValues v = r->Values();
    EXPECT_EQ(v.heading, 90);
    EXPECT_EQ(v.scanDirection, 33);
    EXPECT_EQ(v.position.y, r->position.y);
    EXPECT_EQ(v.speed, 20);
    r->ApplyDamage(3);
    EXPECT_EQ(r->Values().damage, 3);
    r->reloadTimer = 0;
    ASSERT_EQ(r->Cannon(45, 100), 1);
    v = r->Values();
    EXPECT_EQ(v.shots, 1);
    EXPECT_EQ(v.reloadTimer, 1.5);
}

TEST(Robot, KeepsItsLastPublishedValuesWhilePublishingIsOffAndPublishesWhenTurnedOn) {
    Arena arena(0.01);
    KvGLRobot* r = arena.Place({100, 100});
    r->SetPublishing(false);
    r->Drive(90, 50);
    r->Step(0.01);
    r->ApplyDamage(3);
    EXPECT_EQ(r->Values().position, (Vec2{100, 100}));
    EXPECT_EQ(r->Values().damage, 0);
    EXPECT_EQ(r->Snapshot().damage, 3);  // the simulation's own reading is current
    r->SetPublishing(true);
    const RobotValues v = r->Values();
    EXPECT_EQ(v.position, r->position);
    EXPECT_EQ(v.damage, 3);
    EXPECT_EQ(v.heading, 90);
}

TEST(Robot, FiresOneShellOfAtMost700UnitsPerReloadAndNoneDuringTheFirst) {
    Arena arena(0.01);
    KvGLRobot* r = arena.Place({100, 100});
    EXPECT_EQ(r->Cannon(90, 300), 0);
    EXPECT_EQ(r->cannonDirection, 90);
    arena.Run(1.5);
    ASSERT_EQ(r->Cannon(45, 1000), 1);
    EXPECT_EQ(arena.ShellRanges(), std::vector<double>{700});
    int fired = 1;
    for (int i = 0; i < 400; ++i) {
        arena.scheduler.Tick();
        fired += r->Cannon(45, 1000);
    }
    EXPECT_EQ(fired, 3);
    EXPECT_EQ(r->shots, 3);
    EXPECT_EQ(arena.presenter.fired, 3);
    EXPECT_EQ(r->damage, 0);
}

TEST(Robot, ScansForTheNearestLivingRobotTheShortWayRoundIgnoringItself) {
    Arena arena;
    KvGLRobot* me = arena.Place({500, 500});
    EXPECT_EQ(me->Scan(0, 10), 0);
    KvGLRobot* east = arena.Place({600, 505});  // bearing about 2.9
    arena.Place({800, 500});                    // bearing 0
    arena.Place({300, 493});                    // bearing about -178 (182)
    EXPECT_EQ(me->Scan(0, 10), 100);
    EXPECT_EQ(me->scanDirection, 0);
    EXPECT_EQ(me->Scan(0, -3), 300);  // resolution 0: only exactly on the bearing
    EXPECT_EQ(me->Scan(175, 10), 200);
    EXPECT_EQ(me->Scan(535, 10), 200);  // folded to 175
    EXPECT_EQ(me->Scan(90, 20), 0);     // resolution 10
    east->dead = true;
    EXPECT_EQ(me->Scan(0, 10), 300);
    arena.Place({500.5, 500});  // within one unit
    EXPECT_EQ(me->Scan(0, 10), 0);
}

}  // namespace
}  // namespace kv
