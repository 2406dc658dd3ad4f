#pragma once
// A destroyed robot's wreck: eleven pieces stand where it died for half a second, then burst
// in a great explosion; one to four random pieces fly out spinning, each trailing smoke, fall
// under gravity and come to rest on the ground with a "hit", the others vanish in the blast.
//
// Waiting (all pieces shown) -> burst (once) -> flying (until each thrown piece has landed)
// -> at rest (landed pieces stay until the battle is cleared).
//
// Stepped and drawn on the main thread, both under the scene lock (the battle stage steps
// it with the battle's events). Nothing here holds a GL object.

#include <array>
#include <cstdint>
#include <vector>

#include "assets/DebrisParts.h"
#include "core/Process.h"
#include "core/Random.h"
#include "render/DrawObject.h"
#include "render/Lighting.h"
#include "render/VisibilityTree.h"

namespace kv {

struct KvEffects;
class KvPartSmoke;

struct FlyingPiece {
    int32_t channel = -1;  // of its landing sound
    int piece = 0;         // 0..10
    std::array<double, 3> spin{};  // radians per second about the piece's own X, Y and Z axes
    KvMatrix rotation = Identity();  // of the latest step
    KvVec3 velocity;                 // scene units per second
    bool landed = false;
    KvPartSmoke* smoke = nullptr;  // owned by the effects' owner
};

class KvDebris : public KvDrawObject, public KvProcess {
public:
    static constexpr double kWaitTime = 0.5;      // the wreck stands this long before it bursts
    static constexpr double kGravity = 2.0;       // scene units per second squared
    static constexpr double kLandingHeight = 0.1;  // above the ground
    static constexpr double kFlightBeforeLanding = 0.5;  // seconds after the burst

    enum State : int { kWaiting = 0, kFlying = 1 };

    // A copy of the wreck template in the robot's colour (index into the colour table), its
    // root at scene point position turned to heading (degrees), each piece then set free.
    KvDebris(const KvDebrisParts& partTemplate, int32_t colourIndex, const KvVec3& position, double heading);

    // The battle's effects: owner, ground, sounds, textures and random numbers
    // (UnownedEffects until set: then nothing is thrown with a burst or smoke, the ground is flat).
    void SetEffects(KvEffects& effects) { effects_ = &effects; }
    // Which pieces fly and how come from the wreck's own generator, so that a wreck lies
    // where it lay whatever other effects drew before it (a seek leaves them out).
    void SeedPieces(uint32_t seed) { random_.Seed(seed); }

    // Waits, bursts, then flies the thrown pieces.
    void Step(double dt) override;

    void OnAttach(KvScene& scene) override;
    void OnDetach(KvScene& scene) override;
    // Light directions and boxes of the pieces.
    void PrepareFrame() override;
    void Draw(KvScene& scene, bool isMainView) override;
    void DrawShadowVolume() override;
    void UpdateVisibility(VisibilityTree& tree) override;

    int StateNow() const { return state_; }
    double Timer() const { return timer_; }
    const KvDebrisParts& Parts() const { return parts_; }
    const std::vector<FlyingPiece>& Flying() const { return flying_; }

private:
    void Explode();
    void Fly(double dt);

    KvEffects* effects_;
    KvDebrisParts parts_;
    std::array<KvVisObject, KvDebrisParts::kPieceCount> vis_;
    Material material_;
    int state_ = kWaiting;
    double timer_ = kWaitTime;
    std::vector<FlyingPiece> flying_;
    RandomGenerator random_;
};

}  // namespace kv
