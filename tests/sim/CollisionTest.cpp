#include <gtest/gtest.h>

#include <cmath>

#include "Arena.h"
#include "sim/Collision.h"

namespace kv {
namespace {

using test::Arena;

const Vec2 kEast{1, 0}, kNorth{0, 1};

TEST(Collision, RectanglesOverlapWhenEitherHoldsACornerOfTheOther) {
    const Vec2 size{30, 40}, diagonal{std::sqrt(0.5), std::sqrt(0.5)};
    EXPECT_TRUE(RectOverlap({0, 0}, kEast, size, {30, 10}, kEast, size));
    EXPECT_TRUE(RectOverlap({0, 0}, kEast, size, {40, 30}, kEast, size));  // corners touch
    EXPECT_FALSE(RectOverlap({0, 0}, kEast, size, {40.01, 0}, kEast, size));
    EXPECT_TRUE(RectOverlap({0, 0}, kEast, size, {35, 0}, diagonal, size));
    // A plus sign: no corner inside the other.
    EXPECT_FALSE(RectOverlap({0, 0}, kEast, {10, 100}, {0, 0}, kNorth, {10, 100}));
}

TEST(Collision, NeverTestsRobotsFarApartByManhattanDistanceOrDead) {
    Arena arena;
    RobotGeometry huge;
    huge.width = huge.length = 500;
    arena.holder.SetGeometry(huge);
    KvGLRobot* a = arena.Place({300, 300});
    KvGLRobot* b = arena.Place({450, 360});  // Manhattan 210 from a
    KvGLRobot* wreck = arena.Place({320, 300});
    wreck->ApplyDamage(100);
    a->Drive(0, 100);
    b->Drive(180, 100);
    arena.Run(0.01);
    EXPECT_GT(a->position.x, 300);
    EXPECT_EQ(a->damage + b->damage, 0);
}

TEST(Collision, RobotsInContactLoseTwoPointsEachAtFirstAndAgainAfterEachCooldown) {
    // Head on, and one rammed while standing across its path.
    const struct {
        double x, heading, speed;
    } others[] = {{540, 180, 20}, {545, 90, 0}};
    for (const auto& other : others) {
        SCOPED_TRACE(other.heading);
        Arena arena(0.01);
        KvGLRobot* a = arena.Place({500, 500}, 0);
        KvGLRobot* b = arena.Place({other.x, 500}, other.heading);
        auto push = [&](double seconds) {
            for (int i = 0; i < static_cast<int>(seconds * 100); ++i) {
                a->Drive(0, 30);
                if (other.speed > 0) b->Drive(other.heading, other.speed);
                arena.scheduler.Tick();
            }
        };
        push(0.5);
        EXPECT_EQ(a->damage, 2);
        EXPECT_EQ(b->damage, 2);
        EXPECT_EQ(a->speed, 0);
        // Pushing on: every 0.7 s (plus at most one tick) two more points each.
        push(1.5);
        EXPECT_EQ(a->damage, 6);
        EXPECT_EQ(b->damage, 6);
    }
}

TEST(Collision, RobotsRacingTogetherStopAtFirstContactWhateverTheDt) {
    // The pairs are looked at only when they may have come close: from far apart at top
    // speed they must still stop nose to nose (40 apart along their length), not inside each
    // other. Along a diagonal their Manhattan distance is the largest for the straight one,
    // so this is where a look put off too long would let them run into each other.
    const struct {
        Vec2 a, b;
        int32_t heading;
        double dt;
    } races[] = {{{200, 500}, {800, 500}, 0, 0.01},
                 {{300, 300}, {700, 700}, 45, 0.001},
                 {{300, 300}, {700, 700}, 45, 0.01},
                 {{300, 300}, {700, 700}, 45, 0.05}};
    for (const auto& race : races) {
        SCOPED_TRACE(::testing::Message() << "heading " << race.heading << ", dt " << race.dt);
        Arena arena(race.dt);
        KvGLRobot* a = arena.Place(race.a, race.heading);
        KvGLRobot* b = arena.Place(race.b, race.heading + 180);
        a->Drive(race.heading, 100);
        b->Drive(race.heading + 180, 100);
        arena.Run(4);
        EXPECT_EQ(a->damage, 2);
        EXPECT_EQ(b->damage, 2);
        const double apart = (b->position - a->position).Length();
        EXPECT_GE(apart, 40 - 1e-6);
        EXPECT_LE(apart, 40 + 200 * race.dt + 1e-6);
    }
}

TEST(Collision, RobotsMovingApartAreFreeToMove) {
    Arena arena(0.01);
    // Overlapping by 0.5 and parting at 0.4 per tick: the next positions still overlap,
    // the doubled look-ahead no longer does.
    KvGLRobot* a = arena.Place({500, 500}, 180);
    KvGLRobot* b = arena.Place({539.5, 500}, 0);
    for (KvGLRobot* r : {a, b}) {
        r->speed = r->desiredSpeed = 20;
        r->lastDt = 0.01;
    }
    arena.Run(0.5);
    EXPECT_LT(a->position.x, 500);
    EXPECT_GT(b->position.x, 539.5);
    EXPECT_EQ(a->damage + b->damage, 0);
}

}  // namespace
}  // namespace kv
