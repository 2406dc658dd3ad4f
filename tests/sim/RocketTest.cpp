#include <gtest/gtest.h>

#include "Arena.h"

namespace kv {
namespace {

using test::Arena;

KvRocket* Fire(Arena& arena, Vec2 from, double direction, double range) {
    auto* rocket = new KvRocket(arena.holder, 0, from, {0, 0, 0}, direction, range);
    arena.holder.Add(rocket);
    return rocket;
}

TEST(Rocket, IsCutWhereItsFlightMeetsAWall) {
    Arena arena;
    KvRocket* east = Fire(arena, {500, 500}, 0, 700);
    EXPECT_DOUBLE_EQ(east->range, 499);
    KvRocket* diagonal = Fire(arena, {900, 100}, 45, 700);
    EXPECT_NEAR(diagonal->range, 140.007, 1e-3);
    KvRocket* south = Fire(arena, {100, 50}, 270, 700);
    EXPECT_NEAR(south->range, 50, 1e-9);
    KvRocket* inside = Fire(arena, {500, 500}, 90, 300);
    EXPECT_EQ(inside->range, 300);
}

TEST(Rocket, ExplodesAtTheEndOfTheStepThatReachesItsRange) {
    Arena arena(0.01);
    KvGLRobot* target = arena.Place({900, 100});
    Fire(arena, {900, 100}, 45, 700);
    arena.scheduler.Flush();
    arena.Run(0.24);  // 144 units flown: past 140.007, exploded near (999, 199)
    EXPECT_EQ(arena.presenter.exploded, 1);
    EXPECT_EQ(arena.holder.objects.size(), 1u);  // only the robot is left
    EXPECT_EQ(target->damage, 0);
}

TEST(Rocket, DamagesByDistanceFromTheExplosion) {
    Arena arena;
    KvGLRobot* a = arena.Place({104.9, 500});
    KvGLRobot* b = arena.Place({100, 520});
    KvGLRobot* c = arena.Place({60, 500});
    KvGLRobot* d = arena.Place({100, 459.99});
    arena.holder.Explode({100, 500});
    EXPECT_EQ(a->damage, 10);
    EXPECT_EQ(b->damage, 5);
    EXPECT_EQ(c->damage, 3);
    EXPECT_EQ(d->damage, 0);
    EXPECT_EQ(arena.presenter.rotations.size(), 1u);
}

TEST(Rocket, SparesNoOneButTheDead) {
    Arena arena;
    KvGLRobot* a = arena.Place({100, 500});
    KvGLRobot* b = arena.Place({100, 510});
    b->damage = 95;
    arena.holder.Explode({100, 505});
    EXPECT_TRUE(b->dead);
    EXPECT_EQ(a->damage, 10);
    arena.holder.Explode({100, 505});
    EXPECT_EQ(b->damage, 100);
    EXPECT_EQ(a->damage, 20);
    EXPECT_EQ(arena.presenter.died, 1);
}

TEST(Rocket, OfRangeZeroExplodesInItsFirstStepAndHurtsTheRobotThatFiredIt) {
    Arena arena(0.008);
    KvGLRobot* r = arena.Place({500, 500});
    arena.Run(1.6);
    ASSERT_EQ(r->Cannon(10, -1), 1);
    arena.Run(0.008);  // the shell becomes active
    EXPECT_EQ(r->damage, 0);
    arena.Run(0.008);  // 4.8 units away
    EXPECT_EQ(r->damage, 10);
}

TEST(Rocket, FiresOneShellPerReloadHoweverOftenItIsAsked) {
    Arena arena(0.01);
    KvGLRobot* r = arena.Place({100, 100});
    arena.Run(1.5);
    int fired = 0;
    for (int i = 0; i < 400; ++i) {
        fired += r->Cannon(45, 700);
        arena.scheduler.Tick();
    }
    EXPECT_EQ(fired, 3);
    EXPECT_EQ(r->damage, 0);
}

}  // namespace
}  // namespace kv
