// Wrecks stepped with fixed dt on a flat ground, owned by a battle session without a scene:
// the wait, the burst, the thrown pieces' flight, landing and rest, and their smoke.

#include <gtest/gtest.h>

#include <set>

#include "assets/DebrisParts.h"
#include "fx/Debris.h"
#include "fx/Effects.h"
#include "fx/Particles.h"
#include "sim/HeightField.h"
#include "sim/ProcessGroup.h"
#include "sim/Scheduler.h"

namespace kv {
namespace {

constexpr double kDt = 0.001;

// The wreck template without meshes: every piece shown.
KvDebrisParts Template() {
    KvDebrisParts parts;
    parts.shown.fill(1);
    return parts;
}

// A wreck in a process group of its own, stepped by its scheduler.
struct Wreck {
    explicit Wreck(uint32_t seed, int32_t colour = 0, KvVec3 at = {0, 0.05, 0}) {
        fx.owner = &owned;
        fx.ground = &ground;
        fx.random.Seed(seed);
        debris = new KvDebris(Template(), colour, at, 30);
        debris->SetEffects(fx);
        debris->SeedPieces(seed);
        owned.Add(debris);
        scheduler.Flush();
    }
    void Run(double seconds) {
        for (double t = 0; t < seconds - kDt / 2; t += kDt) scheduler.Tick();
    }
    KvVec3 PieceAt(int piece) const {
        const KvMatrix& m = debris->Parts().pieces[static_cast<size_t>(piece)].node.local;
        return {m[12], m[13], m[14]};
    }
    int Count(bool (*kind)(KvProcess*)) const {
        int n = 0;
        for (KvProcess* p : owned.Owned()) n += kind(p) ? 1 : 0;
        return n;
    }

    FixedTickTimer timer{kDt};
    ProcessScheduler scheduler{&timer};
    KvHeightField ground;  // flat until hills are generated
    KvProcessGroup owned{scheduler};
    KvEffects fx;
    KvDebris* debris;
};

bool IsPartSmoke(KvProcess* p) { return dynamic_cast<KvPartSmoke*>(p) != nullptr; }
bool IsGreatExplosion(KvProcess* p) { return dynamic_cast<KvGreatExplosion*>(p) != nullptr; }

TEST(Debris, StandsWholeForHalfASecondThenThrowsOneToFourDifferentPieces) {
    std::set<size_t> counts;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        Wreck w(seed);
        w.Run(0.45);
        EXPECT_EQ(w.debris->StateNow(), KvDebris::kWaiting);
        for (uint8_t shown : w.debris->Parts().shown) EXPECT_EQ(shown, 1);
        w.Run(0.1);
        ASSERT_EQ(w.debris->StateNow(), KvDebris::kFlying);
        const auto& flying = w.debris->Flying();
        ASSERT_GE(flying.size(), 1u);
        ASSERT_LE(flying.size(), 4u);
        counts.insert(flying.size());
        std::set<int> pieces;
        for (const FlyingPiece& f : flying) pieces.insert(f.piece);
        EXPECT_EQ(pieces.size(), flying.size());  // never the same piece twice
        int shown = 0;
        for (int i = 0; i < KvDebrisParts::kPieceCount; ++i) {
            shown += w.debris->Parts().shown[static_cast<size_t>(i)];
            EXPECT_EQ(w.debris->Parts().shown[static_cast<size_t>(i)] != 0, pieces.count(i) == 1);
        }
        EXPECT_EQ(shown, static_cast<int>(flying.size()));
        // The burst and one smoke per thrown piece belong to the session.
        EXPECT_EQ(w.Count(IsGreatExplosion), 1);
        EXPECT_EQ(w.Count(IsPartSmoke), static_cast<int>(flying.size()));
    }
    EXPECT_EQ(counts.size(), 4u);
}

TEST(Debris, PaintsItsBodyPiecesInTheRobotsColour) {
    const KvDebris green(Template(), 1, {}, 0);
    for (int i = KvDebrisParts::kFirstBodyPiece; i <= KvDebrisParts::kLastBodyPiece; ++i)
        EXPECT_STREQ(green.Parts().pieces[static_cast<size_t>(i)].textureKey, "body_green");
}

TEST(Debris, ThrownPiecesFallUnderGravityLandAfterHalfASecondAndThenRest) {
    Wreck w(3, 2, {0, 0.02, 0});  // below the landing height from the start
    w.Run(0.501);
    ASSERT_EQ(w.debris->StateNow(), KvDebris::kFlying);
    const std::vector<FlyingPiece> start = w.debris->Flying();
    w.Run(0.01);
    for (size_t k = 0; k < start.size(); ++k) {
        const FlyingPiece& f = w.debris->Flying()[k];
        EXPECT_NEAR(f.velocity.y, start[k].velocity.y - 2 * 0.01, 1e-9);
        EXPECT_EQ(f.velocity.x, start[k].velocity.x);
        EXPECT_FALSE(f.landed);
    }
    // Nothing lands in the first half second after the burst.
    w.Run(0.48);
    for (const FlyingPiece& f : w.debris->Flying()) EXPECT_FALSE(f.landed);
    w.Run(5);
    for (const FlyingPiece& f : w.debris->Flying()) {
        ASSERT_TRUE(f.landed);
        EXPECT_EQ(w.PieceAt(f.piece).y, 0);  // on the flat ground
    }
    // At rest: neither moved nor turned again.
    std::vector<KvMatrix> rest;
    for (const FlyingPiece& f : w.debris->Flying())
        rest.push_back(w.debris->Parts().pieces[static_cast<size_t>(f.piece)].node.local);
    w.Run(1);
    for (size_t k = 0; k < rest.size(); ++k)
        EXPECT_EQ(w.debris->Parts().pieces[static_cast<size_t>(w.debris->Flying()[k].piece)].node.local, rest[k]);
    // The smokes faded and finished; the burst is over (4 s); the wreck stays.
    EXPECT_EQ(w.Count(IsPartSmoke), 0);
    EXPECT_EQ(w.Count(IsGreatExplosion), 0);
    EXPECT_TRUE(w.owned.Owned().contains(w.debris));
    EXPECT_GT(w.debris->idleTicks, 0u);
}

TEST(Debris, APieceLandsOnTheFirstStepAfterHalfASecondInWhichItIsLow) {
    // Whatever it was thrown with, a piece that is below the landing height when the half
    // second is over lands on that step, not before.
    for (uint32_t seed = 1; seed <= 10; ++seed) {
        Wreck w(seed);
        w.Run(0.501);
        double flown = 0;
        while (flown < 10) {
            std::vector<bool> before;
            for (const FlyingPiece& f : w.debris->Flying()) before.push_back(f.landed);
            w.Run(kDt);
            flown += kDt;
            for (size_t k = 0; k < before.size(); ++k) {
                const FlyingPiece& f = w.debris->Flying()[k];
                if (f.landed && !before[k]) {
                    EXPECT_GT(w.debris->Timer(), KvDebris::kFlightBeforeLanding);
                    EXPECT_EQ(w.PieceAt(f.piece).y, 0);
                }
            }
            bool all = true;
            for (const FlyingPiece& f : w.debris->Flying()) all = all && f.landed;
            if (all) break;
        }
        EXPECT_LT(flown, 10);
    }
}

}  // namespace
}  // namespace kv
