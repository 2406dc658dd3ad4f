#include <gtest/gtest.h>

#include "Arena.h"

namespace kv {
namespace {

using test::Arena;

TEST(Robot, FoldsDirectionsIntoTheCircle) {
    EXPECT_EQ(NormalizeDegrees(361), 1);
    EXPECT_EQ(NormalizeDegrees(720), 360);
    EXPECT_EQ(NormalizeDegrees(721), 1);
    EXPECT_EQ(NormalizeDegrees(360), 360);
    EXPECT_EQ(NormalizeDegrees(0), 0);
    EXPECT_EQ(NormalizeDegrees(-1), 359);
    EXPECT_EQ(NormalizeDegrees(-360), 0);
    EXPECT_EQ(NormalizeDegrees(-361), 359);
    EXPECT_EQ(NormalizeDegrees(2147483647), 2147483647 % 360 == 0 ? 360 : 2147483647 % 360);
    EXPECT_GE(NormalizeDegrees(-2147483647 - 1), 0);
}

TEST(Robot, ClampsTheSpeedAskedForAndTurnsOnlyAtHalfSpeedOrLess) {
    KvGLRobot r("r.r", 0);
    r.Drive(0, 150);
    EXPECT_EQ(r.desiredSpeed, 100);
    r.Drive(0, -5);
    EXPECT_EQ(r.desiredSpeed, 0);

    r.Drive(-90, 20);
    EXPECT_EQ(r.heading, 270);
    r.Drive(720, 20);
    EXPECT_EQ(r.heading, 360);
    r.Drive(361, 20);
    EXPECT_EQ(r.heading, 1);

    r.speed = 60;
    r.Drive(90, 100);
    EXPECT_EQ(r.heading, 1);
    EXPECT_EQ(r.desiredSpeed, 100);
    r.speed = 50;
    r.Drive(90, 0);
    EXPECT_EQ(r.heading, 90);
}

TEST(Robot, ComparesTheTruncatedSpeedWithTheSpeedAskedFor) {
    KvGLRobot r("r.r", 0);
    r.speed = 27.4;
    r.Drive(0, 27);
    EXPECT_EQ(r.accelSign, 0);
    r.Step(0.01);
    EXPECT_EQ(r.speed, 27.4);
    r.Drive(0, 28);
    EXPECT_EQ(r.accelSign, 1);
    r.Drive(0, 20);
    EXPECT_EQ(r.accelSign, -1);
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

TEST(Robot, StandsInsideAtExactly999AndHitsTheWallJustBeyond) {
    KvGLRobot r("r.r", 0);
    r.SetPosition({998, 500});
    r.speed = 100;
    r.desiredSpeed = 100;
    r.Step(0.01);
    EXPECT_EQ(r.position.x, 999);
    r.Step(0.00001);
    EXPECT_EQ(r.position.x, 999);
    EXPECT_EQ(r.damage, 2);
}

TEST(Robot, NeitherMovesNorTakesWallDamageWhileHeldByACollision) {
    KvGLRobot r("r.r", 0);
    r.SetPosition({999, 500});
    r.speed = r.desiredSpeed = 100;
    r.canMove = 0;
    r.Step(0.01);
    EXPECT_EQ(r.position.x, 999);
    EXPECT_EQ(r.damage, 0);
}

TEST(Robot, DiesAt100DamageAndItsMachineIsRetiredAtTheEndOfTheTick) {
    Arena arena;
    KvGLRobot* r = arena.Place({500, 500}, 0, true);
    KvVMachine* machine = r->machine;
    r->damage = 98;
    r->ApplyDamage(5);
    EXPECT_EQ(r->damage, 100);
    EXPECT_TRUE(r->dead);
    EXPECT_TRUE(r->Values().dead);
    EXPECT_EQ(arena.presenter.died, 1);
    EXPECT_EQ(r->machine, nullptr);
    EXPECT_EQ(arena.holder.machines[0], nullptr);
    EXPECT_EQ(arena.holder.retired.count(r), 1u);
    EXPECT_EQ(arena.holder.objects.count(machine), 0u);
    arena.scheduler.Flush();
    EXPECT_EQ(arena.scheduler.Active().size(), 1u);  // only the session; the machine is gone
    // Still listed, so panels can show it.
    EXPECT_EQ(arena.holder.robots.size(), 1u);
}

TEST(Robot, CannotFireDuringTheFirstReloadAndFiresOnceIn1Point5Seconds) {
    Arena arena(0.01);
    KvGLRobot* r = arena.Place({500, 500});
    EXPECT_EQ(r->Cannon(90, 300), 0);
    EXPECT_EQ(r->cannonDirection, 90);
    arena.Run(1.5);
    EXPECT_TRUE(r->cannonReady);
    EXPECT_EQ(r->Cannon(45, 300), 1);
    arena.Run(1.0);
    EXPECT_EQ(r->Cannon(45, 300), 0);
    EXPECT_EQ(r->shots, 1);
    EXPECT_EQ(arena.presenter.fired, 1);
}

TEST(Robot, FiresShellsOfAtMost700UnitsAndOfRangeZeroForNegativeRanges) {
    Arena arena(0.01);
    KvGLRobot* r = arena.Place({100, 500});
    auto rangesInFlight = [&] {
        std::vector<double> ranges;
        for (KvProcess* p : arena.holder.objects) {
            if (auto* rocket = dynamic_cast<KvRocket*>(p)) ranges.push_back(rocket->range);
        }
        return ranges;
    };
    arena.Run(1.5);
    ASSERT_EQ(r->Cannon(0, 1000), 1);
    EXPECT_EQ(rangesInFlight(), std::vector<double>{700});
    arena.Run(1.5);  // long enough to land
    ASSERT_EQ(r->Cannon(0, -1), 1);
    EXPECT_EQ(rangesInFlight(), std::vector<double>{0});
}

TEST(Robot, ScansForTheNearestLivingRobotTheShortWayRound) {
    Arena arena;
    KvGLRobot* me = arena.Place({500, 500});
    KvGLRobot* east = arena.Place({600, 505});  // bearing about 2.9
    KvGLRobot* far = arena.Place({800, 500});   // bearing 0
    KvGLRobot* west = arena.Place({300, 493});  // bearing about -178 (182)
    EXPECT_EQ(me->Scan(0, 10), 100);
    EXPECT_EQ(me->scanDirection, 0);
    EXPECT_EQ(me->Scan(0, -3), 300);  // resolution 0: only exactly on the bearing
    EXPECT_EQ(me->Scan(175, 10), 200);
    EXPECT_EQ(me->Scan(535, 10), 200);  // folded to 175
    EXPECT_EQ(me->Scan(90, 20), 0);     // resolution 10
    east->dead = true;
    EXPECT_EQ(me->Scan(0, 10), 300);
    (void)far;
    (void)west;
}

TEST(Robot, ScanIgnoresItselfAndReportsZeroForARobotWithinOneUnit) {
    Arena arena;
    KvGLRobot* me = arena.Place({500, 500});
    EXPECT_EQ(me->Scan(0, 10), 0);
    arena.Place({500.5, 500});
    EXPECT_EQ(me->Scan(0, 10), 0);
}

}  // namespace
}  // namespace kv
