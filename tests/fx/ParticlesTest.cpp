// The particle engine stepped with fixed dt outside any scene: the kinds' constants and
// tracks, emission, movement, the end of a system, and the effects' own random numbers.

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "core/Angles.h"
#include "core/Random.h"
#include "fx/Effects.h"
#include "fx/Particles.h"
#include "render/Transparent.h"

namespace kv {
namespace {

constexpr BlendPair kAdditive{kGlSrcAlpha, kGlOne};
constexpr BlendPair kOver{kGlSrcAlpha, kGlOneMinusSrcAlpha};

double Angle(const KvVec3& a, const KvVec3& b) { return std::acos(std::clamp(Dot(a, b), -1.0, 1.0)); }

TEST(ParticleKinds, HaveTheirLifetimesRatesSpreadsAndDurations) {
    using Constants = std::tuple<double, double, double, double>;  // lifetime, duration, rate, spread
    const auto of = [](const KvParticles& k) {
        return Constants{k.lifetime, k.emissionDuration, k.emissionRate, k.spreadAngle};
    };
    EXPECT_EQ(of(KvSmallExplosion()), Constants(1.0, 0.03, 200, 1.2217304763960306));
    EXPECT_EQ(of(KvGreatExplosion()), Constants(4.0, 0.1, 300, 1.2217304763960306));
    EXPECT_EQ(of(KvSmoke()), Constants(0.5, 1000, 200, 0.12217304763960307));
    EXPECT_EQ(of(KvPartSmoke()), Constants(1.0, 1000, 50, 0.3490658503988659));
}

TEST(ParticleKinds, TracksInterpolateBetweenKeysAndKeepTheirBasesKeys) {
    const KvSmallExplosion small;
    EXPECT_NEAR(small.SpeedAt(0.95), 0.0, 1e-12);  // halfway between 0.05 and -0.05
    EXPECT_LT(small.SpeedAt(0.97), 0.0);           // then against its direction
    EXPECT_NEAR(small.SizeAt(0.035), 0.51, 1e-12);
    EXPECT_EQ(small.SizeAt(-1), 0.02);
    EXPECT_EQ(small.SizeAt(7), 2.0);
    EXPECT_EQ(small.BlendAt(0.05), kAdditive);  // additive until age 0.1
    EXPECT_EQ(small.BlendAt(0.1), kOver);

    // The great explosion flickers to almost transparent black, then back to the small
    // explosion's orange before it fades.
    const KvGreatExplosion great;
    const ParticleColour dark = great.ColourAt(0.032), orange = great.ColourAt(0.06);
    EXPECT_EQ(dark[0], 0);
    EXPECT_EQ(dark[3], 0.001);
    EXPECT_EQ(orange[0], 0.8);
    EXPECT_EQ(orange[1], 0.5);
    EXPECT_EQ(orange[3], 0.7);
    EXPECT_EQ(great.SpeedAt(1.0), 0.0);
    EXPECT_EQ(great.SpeedAt(0.12), 2.7);
    EXPECT_EQ(great.SizeAt(0.05), 1.0);
    EXPECT_EQ(great.BlendAt(0.031), kAdditive);
    EXPECT_EQ(great.BlendAt(0.032), kOver);

    const KvPartSmoke part;
    EXPECT_EQ(part.ColourAt(0.25)[0], 0.25);
    EXPECT_EQ(part.SizeAt(1.0), 1.0);
    EXPECT_EQ(part.BlendAt(0.5), kOver);
}

// A system that emits `rate` particles a second for `duration` seconds, with long-lived particles.
struct Steady : KvParticles {
    Steady(double rate, double duration, double life = 100) {
        emissionRate = rate;
        emissionDuration = duration;
        lifetime = life;
        speedTrack[0] = 1.0;
        speedTrack[1] = 1.0;
        sizeTrack[0] = 1.0;
    }
};

TEST(Particles, EmitOnlyOnceMoreThanOneParticleIsOwedAndRoundTheOwedCountUp) {
    KvEffects fx;
    Steady e(100, 10);
    e.SetEffects(fx);
    e.Step(0.01);  // owes exactly 1.0: carried
    EXPECT_EQ(e.Particles().size(), 0u);
    EXPECT_EQ(e.Accumulator(), 1.0);
    e.Step(0.01);  // 2.0: two, none kept
    EXPECT_EQ(e.Particles().size(), 2u);
    EXPECT_EQ(e.Accumulator(), 0.0);
    e.Step(0.025);  // 2.5: three, half kept
    EXPECT_EQ(e.Particles().size(), 5u);
    EXPECT_EQ(e.Accumulator(), 0.5);
}

TEST(Particles, LeaveWithinTheSpreadOfTheEmittersUpAxisAndMoveAlongTheirDirection) {
    KvEffects fx;
    Steady e(1000, 10);
    e.spreadAngle = Radians(20);
    e.SetEffects(fx);
    // Up axis turned to +x, emitter at (1, 2, 3).
    e.Emitter().local = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    e.Step(0.01);
    ASSERT_GE(e.Particles().size(), 10u);
    const std::vector<Particle> before = e.Particles();
    for (const Particle& p : before) {
        EXPECT_LE(Angle(p.direction, {1, 0, 0}), Radians(20) + 1e-9);
        EXPECT_NEAR(Length(p.direction), 1, 1e-12);
        EXPECT_GE(p.speedFactor, 0.2);
        EXPECT_LE(p.speedFactor, 1.0);
        // Pushed out by at most 2 dt along the way at the first key's speed, then moved.
        EXPECT_LE(Length(p.position - KvVec3{1, 2, 3}), 0.02 + 0.01 + 1e-12);
    }
    e.Stop();
    e.Step(0.1);
    for (size_t i = 0; i < before.size(); ++i) {
        const KvVec3 moved = e.Particles()[i].position - before[i].position;
        EXPECT_NEAR(Length(moved), 0.1 * before[i].speedFactor, 1e-12);
        EXPECT_NEAR(Angle(Normalised(moved), before[i].direction), 0, 1e-6);
    }
}

TEST(Particles, AParticleReachingAgeOneIsGoneAndTheSystemThenFinishes) {
    KvEffects fx;
    Steady e(2.2, 0.4, 1.0);
    e.SetEffects(fx);
    e.Step(0.5);  // 1.1 owed: two particles, aged 0.5
    ASSERT_EQ(e.Particles().size(), 2u);
    EXPECT_EQ(e.Particles()[0].age, 0.5);
    EXPECT_FALSE(e.Finished());
    e.Step(0.5);  // age exactly 1
    EXPECT_TRUE(e.Particles().empty());
    EXPECT_TRUE(e.Finished());
}

TEST(Particles, ASmallExplosionBurstsFor30MsAndEndsOneLifetimeAfterItsLastParticle) {
    KvEffects fx;
    KvSmallExplosion fire;
    fire.SetEffects(fx);
    const double dt = 0.001;
    double lastBirth = -1, end = -1;
    size_t count = 0;
    for (int tick = 0; tick < 2000 && end < 0; ++tick) {
        const double now = tick * dt;
        fire.Step(dt);
        if (fire.Particles().size() > count) lastBirth = now;
        count = fire.Particles().size();
        if (fire.Finished()) end = now;
    }
    EXPECT_LE(lastBirth, 0.03 + 1e-9);
    EXPECT_GT(lastBirth, 0.02);
    ASSERT_GT(end, 0);
    EXPECT_NEAR(end - lastBirth, 1.0, 2 * dt);
}

TEST(Particles, AStoppedTrailLeavesItsShellAndFadesOut) {
    KvEffects fx;
    TransformNode shell;
    shell.local[12] = 4;
    KvSmoke trail;
    trail.SetEffects(fx);
    trail.SetParent(&shell);
    for (int i = 0; i < 100; ++i) trail.Step(0.001);
    ASSERT_FALSE(trail.Particles().empty());
    EXPECT_NEAR(trail.Particles().back().position.x, 4, 0.01);
    trail.StopEmitting();
    EXPECT_EQ(trail.Emitter().parent, nullptr);
    EXPECT_EQ(trail.Elapsed(), trail.emissionDuration);
    size_t last = trail.Particles().size();
    int steps = 0;
    while (!trail.Finished() && steps < 1000) {
        trail.Step(0.001);
        EXPECT_LE(trail.Particles().size(), last);  // nothing new
        last = trail.Particles().size();
        ++steps;
    }
    EXPECT_TRUE(trail.Finished());
    EXPECT_NEAR(steps * 0.001, 0.5, 0.1);
}

// Regression: at a large dt a shell's trail came out in clumps, one per step, with gaps.
TEST(Particles, AStepsParticlesLieAlongTheEmittersWaySinceTheLastEmission) {
    KvEffects fx;
    TransformNode shell;
    KvSmoke trail;
    trail.SetEffects(fx);
    trail.SetParent(&shell);
    trail.speedTrack = {{0.0, 0.0}};  // particles stay where they are born
    trail.Step(0.1);                  // 20 at the start
    shell.local[12] = 1;
    shell.Invalidate();
    trail.Step(0.1);                  // 20 more on the way to x = 1
    ASSERT_EQ(trail.Particles().size(), 40u);
    for (size_t i = 0; i < 20; ++i) EXPECT_NEAR(trail.Particles()[i].position.x, 0, 1e-9);
    for (size_t i = 20; i < 40; ++i)
        EXPECT_NEAR(trail.Particles()[i].position.x, static_cast<double>(i - 19) / 20, 1e-9) << i;
}

TEST(EffectsRandom, EffectsDrawFromTheirOwnGeneratorNeverFromTheThreads) {
    auto run = [](uint32_t effectsSeed) {
        KvEffects fx;
        fx.random.Seed(effectsSeed);
        KvGreatExplosion blast;
        blast.SetEffects(fx);
        for (int i = 0; i < 200; ++i) blast.Step(0.001);
        return blast.Particles();
    };
    SeedRandom(77);
    const uint32_t threadState = RandomState();
    const std::vector<Particle> a = run(5);
    EXPECT_EQ(RandomState(), threadState);  // the thread's sequence untouched
    SeedRandom(12345);
    const std::vector<Particle> b = run(5);  // same effects seed, other thread state
    ASSERT_EQ(a.size(), b.size());
    ASSERT_FALSE(a.empty());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].position.x, b[i].position.x);
        EXPECT_EQ(a[i].speedFactor, b[i].speedFactor);
    }
    EXPECT_NE(run(6)[0].speedFactor, a[0].speedFactor);
}

TEST(EffectsRandom, FollowsTheRuntimeFormula) {
    RandomGenerator own(9);
    SeedRandom(9);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(own.Next(), NextRandom());
    RandomGenerator fresh;
    EXPECT_EQ(fresh.Next(), (1u * 214013u + 2531011u) >> 16 & 32767u);
}

}  // namespace
}  // namespace kv
