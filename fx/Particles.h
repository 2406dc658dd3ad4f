#pragma once
// Smoke and fire: one particle engine whose kinds differ only in their constants. A particle
// system is a process, emitting and moving its particles when the battle stage steps it (on
// the main thread, under the scene lock, with the battle's dt), and a drawable, handing one
// camera-facing textured quad per particle to the scene's depth-sorted transparent passes. How a particle looks over its life comes from four
// key-frame tracks over its normalised age (0 at birth, 1 at death).
//
// Kinds and their makers: KvSmallExplosion (a shell bursting on the ground), KvGreatExplosion
// (a wreck bursting), KvSmoke (a shell's trail), KvPartSmoke (a thrown wreck piece's smoke).
// Each kind's constructor inserts or overwrites keys in the tracks its base filled.
//
// Life: emitting (elapsed <= emission duration, not stopped) -> fading (particles age out)
// -> finished (no particle left): out of the scene and off its owner, which deletes it.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "assets/TransformNode.h"
#include "core/Matrix.h"
#include "core/Process.h"
#include "render/DrawObject.h"
#include "render/Track.h"
#include "render/VisibilityTree.h"

namespace kv {

class Camera;
struct KvEffects;
class KvTexture;

struct Particle {
    double age = 0;          // 0..1
    double speedFactor = 1;  // 0.2..1
    KvVec3 position;         // world
    KvVec3 direction;        // world, unit length
};

struct BlendPair {
    uint32_t source;
    uint32_t destination;
    bool operator==(const BlendPair&) const = default;
};
inline constexpr uint32_t kGlOne = 0x0001;

using ParticleColour = std::array<double, 4>;
using ColorTrack = std::map<double, ParticleColour>;
using SizeTrack = std::map<double, double>;
using SpeedTrack = std::map<double, double>;
using BlendTrack = std::map<double, BlendPair>;

// Value at age a: the first key's at a <= 0, the last key's at a >= 1, else interpolated
// linearly between the keys around a.
ParticleColour TrackValue(const ColorTrack& track, double a);
double TrackValue(const std::map<double, double>& track, double a);
// The value of the greatest key <= a (first key at a <= 0, last at a >= 1), not interpolated.
BlendPair TrackValue(const BlendTrack& track, double a);

// A parent whose placement the simulation moves (a shell in flight): brought up to date before
// the particle system emits from it.
class KvMovingNode : public TransformNode {
public:
    virtual ~KvMovingNode() = default;
    virtual void Update() = 0;
};

// One cell of the object tree with the particles whose boxes touch it.
class KvParticleVis : public KvVisObject {
public:
    std::vector<uint32_t> particles;  // indices into the system's list
};

class KvParticles : public KvDrawObject, public KvProcess {
public:
    // How far down the particles' ground shadows are looked for, and their lift.
    static constexpr double kShadowSearchFloor = -0.3125;
    static constexpr double kShadowSearchStep = 0.1;
    static constexpr double kShadowLift = 0.02;
    static constexpr double kShadowOpacity = 0.5;  // of the particle's own

    // An empty system; the kinds set the constants and tracks.
    KvParticles();
    ~KvParticles() override;

    // The battle's effects: owners, ground, sounds and random numbers (UnownedEffects until set).
    void SetEffects(KvEffects& effects) { effects_ = &effects; }
    void SetTexture(const KvTexture* texture) { texture_ = texture; }
    // The emitter becomes a child of node (null: placed by its local matrix alone).
    void SetParent(TransformNode* node);
    // The same for a parent that the simulation moves; it is updated before each emission.
    void Follow(KvMovingNode* node);
    // Ends emission now: the live particles fade out, then the system finishes.
    void Stop();
    // Stop, and the emitter no longer follows its parent (a shell that has exploded).
    void StopEmitting();
    TransformNode& Emitter() { return emitter_; }

    // Emission, movement and the end.
    void Step(double dt) override;

    void OnAttach(KvScene& scene) override;
    void OnDetach(KvScene& scene) override;
    // Billboards into the view's transparent list; in the main view also ground shadows.
    void Draw(KvScene& scene, bool isMainView) override;
    // Buckets the particles by the tree's cells, for the robot views' culling.
    void UpdateVisibility(VisibilityTree& tree) override;

    ParticleColour ColourAt(double age) const { return TrackValue(colorTrack, age); }
    double SizeAt(double age) const { return TrackValue(sizeTrack, age); }
    double SpeedAt(double age) const { return TrackValue(speedTrack, age); }
    BlendPair BlendAt(double age) const { return TrackValue(blendTrack, age); }

    const std::vector<Particle>& Particles() const { return particles_; }
    double Elapsed() const { return elapsed_; }
    double Accumulator() const { return accumulator_; }
    bool Emitting() const { return !stopped_ && elapsed_ <= emissionDuration; }
    // Emission is over and every particle has died.
    bool Finished() const { return elapsed_ >= emissionDuration && particles_.empty(); }

    double lifetime = 1.0;            // seconds of one particle's life
    double emissionDuration = 0;      // seconds
    double emissionRate = 0;          // particles per second
    double spreadAngle = 0;           // radians off the emitter's up axis
    ColorTrack colorTrack;
    SizeTrack sizeTrack;
    SpeedTrack speedTrack;
    BlendTrack blendTrack;

protected:
    KvEffects& Effects() const { return *effects_; }

private:
    void Emit(double dt);
    void EmitOne(const KvMatrix& world, double dt);
    void Move(double dt);
    void AddBillboard(KvScene& scene, const Particle& p, const KvVec3& right, const KvVec3& up, const Camera& camera);
    void AddGroundShadow(KvScene& scene, const Particle& p, const Camera& camera);

    KvEffects* effects_;
    const KvTexture* texture_ = nullptr;
    TransformNode emitter_;
    KvMovingNode* mover_ = nullptr;
    double elapsed_ = 0;
    double accumulator_ = 0;
    bool stopped_ = false;
    bool emittedBefore_ = false;
    KvVec3 lastEmission_;  // where the emitter was at the latest emission
    std::vector<Particle> particles_;
    std::map<int, std::unique_ptr<KvParticleVis>> cells_;  // by the tree's leaf index
    std::vector<uint8_t> drawn_;
    GroundMesh shadowMesh_;  // room for one ground shadow, kept between frames
};

// A shell bursting on the ground: a short additive flash of fire turning to dark smoke.
class KvSmallExplosion : public KvParticles {
public:
    KvSmallExplosion();
    // Places the emitter at placement and plays "SmallExplosion" there once.
    void Place(const KvMatrix& placement);
    int32_t Channel() const { return channel_; }

protected:
    int32_t channel_ = -1;
};

// A wreck bursting: fire, a dark flicker, fire again, then a big cloud of black smoke.
class KvGreatExplosion : public KvSmallExplosion {
public:
    KvGreatExplosion();
    // The emitter becomes a child of node; plays "GreatExplosion" once at its place.
    void Place(TransformNode* node);
};

// A shell's trail of light grey smoke, emitted until the shell explodes.
class KvSmoke : public KvParticles {
public:
    KvSmoke();
};

// Black smoke turning grey, rising from a thrown wreck piece until it lands.
class KvPartSmoke : public KvSmoke {
public:
    KvPartSmoke();
};

}  // namespace kv
