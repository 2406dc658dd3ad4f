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
    struct Case {
        Vec2 from;
        double direction, range, cut;
    };
    const Case cases[] = {{{500, 500}, 0, 700, 499},
                          {{900, 100}, 45, 700, 140.007},
                          {{100, 50}, 270, 700, 50},
                          {{500, 500}, 90, 300, 300}};
    Arena arena;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.direction);
        EXPECT_NEAR(Fire(arena, c.from, c.direction, c.range)->range, c.cut, 1e-3);
    }
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

TEST(Rocket, DamagesByDistanceFromTheExplosionAndSparesOnlyTheDead) {
    Arena arena;
    const std::pair<Vec2, int32_t> cases[] = {{{104.9, 500}, 10}, {{100, 520}, 5}, {{100, 460}, 3}, {{100, 459.99}, 0}};
    std::vector<KvGLRobot*> robots;
    for (const auto& c : cases) robots.push_back(arena.Place(c.first));
    KvGLRobot* dying = arena.Place({100, 510});
    dying->damage = 95;
    arena.holder.Explode({100, 500});
    for (size_t i = 0; i < robots.size(); ++i) EXPECT_EQ(robots[i]->damage, cases[i].second) << i;
    EXPECT_TRUE(dying->dead);
    arena.holder.Explode({100, 500});
    EXPECT_EQ(robots[0]->damage, 20);
    EXPECT_EQ(dying->damage, 100);
    EXPECT_EQ(arena.presenter.died, 1);
    EXPECT_EQ(arena.presenter.rotations.size(), 2u);
}

TEST(Rocket, FiredAtANegativeRangeExplodesInItsFirstStepAndHurtsTheRobotThatFiredIt) {
    Arena arena(0.008);
    KvGLRobot* r = arena.Place({500, 500});
    arena.Run(1.6);
    ASSERT_EQ(r->Cannon(10, -1), 1);
    EXPECT_EQ(arena.ShellRanges(), std::vector<double>{0});
    arena.Run(0.008);  // the shell becomes active
    EXPECT_EQ(r->damage, 0);
    arena.Run(0.008);  // 4.8 units away
    EXPECT_EQ(r->damage, 10);
}

}  // namespace
}  // namespace kv
