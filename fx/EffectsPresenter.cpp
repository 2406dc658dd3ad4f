#include "fx/EffectsPresenter.h"

#include <cmath>

#include "assets/ResourceStore.h"
#include "fx/Debris.h"
#include "fx/Particles.h"
#include "render/ShellDrawable.h"
#include "sim/HeightField.h"

namespace kv {

namespace {

// The trail comes out of the shell's tail and leaves backwards: the emitter's up axis is the
// shell's backward axis (the shell's x axis points along its flight).
constexpr double kTailOffset = -0.04;
const KvMatrix kTrailPlacement = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, kTailOffset, 0, 0, 1};

// A shell's placement at the tick the clock shows, worked out from its flight as the
// simulation flew it: the shell first moves in the tick after the one that fired it.
class ShellNode : public KvMovingNode {
public:
    ShellNode(const KvShellFlight& flight, int64_t firedTick, const KvShowClock& clock)
        : flight_(flight), firedTick_(firedTick), clock_(clock) {
        Update();
    }
    void Update() override {
        local = ShellTransform(flight_, flight_.ArcDistance(flight_.TravelledAfter(clock_.tick - firedTick_, clock_.dt)));
        Invalidate();
    }

private:
    KvShellFlight flight_;
    int64_t firedTick_;
    const KvShowClock& clock_;
};

}  // namespace

KvEffectsPresenter::KvEffectsPresenter(KvScene& scene, const KvHeightField& ground, const ResourceStore& store,
                                       const KvTextureSet* textures, KvProcessOwner& owner, const KvShowClock& clock,
                                       const KvScenePresenter* sounds)
    : ground_(ground), clock_(clock), sounds_(sounds) {
    effects_.scene = &scene;
    effects_.owner = &owner;
    effects_.ground = &ground;
    effects_.textures = textures;
    effects_.debrisTemplate = &store.DebrisParts();
    effects_.sounds = sounds;
}

KvEffectsPresenter::~KvEffectsPresenter() = default;

void KvEffectsPresenter::Apply(const KvBattleEvent& event) {
    switch (event.kind) {
    case KvBattleEvent::Kind::RobotDied: RobotDied(event); break;
    case KvBattleEvent::Kind::ShellFired: ShellFired(event); break;
    case KvBattleEvent::Kind::ShellExploded: DropTrail(event.shell.id); break;
    case KvBattleEvent::Kind::Explosion: Explosion(event); break;
    case KvBattleEvent::Kind::Collision: break;
    }
}

void KvEffectsPresenter::RobotDied(const KvBattleEvent& event) {
    const double x = SceneX(event.values.position.x), z = SceneZ(event.values.position.y);
    auto* wreck = new KvDebris(*effects_.debrisTemplate, event.robot->colourIndex, {x, ground_.HeightAt(x, z), z},
                               event.values.heading);
    wreck->SetEffects(effects_);
    // One wreck per slot and battle: its pieces follow from the seed and the slot alone.
    wreck->SeedPieces(seed_ ^ (0x9E3779B9u * static_cast<uint32_t>(event.robot->colourIndex + 1)));
    effects_.Start(*wreck, *wreck);
}

void KvEffectsPresenter::ShellFired(const KvBattleEvent& event) {
    Trail trail{std::make_unique<ShellNode>(event.shell, event.tick, clock_), new KvSmoke()};
    trail.smoke->SetEffects(effects_);
    trail.smoke->SetTexture(effects_.Texture("smoke"));
    trail.smoke->Emitter().local = kTrailPlacement;
    trail.smoke->Follow(trail.shell.get());
    effects_.Start(*trail.smoke, *trail.smoke);
    trails_[event.shell.id] = std::move(trail);
}

void KvEffectsPresenter::DropTrail(uint64_t shell) {
    auto it = trails_.find(shell);
    if (it == trails_.end()) return;
    it->second.smoke->StopEmitting();
    trails_.erase(it);
}

void KvEffectsPresenter::Explosion(const KvBattleEvent& event) {
    auto* fire = new KvSmallExplosion();
    fire->SetEffects(effects_);
    fire->SetTexture(effects_.Texture("flame"));
    KvMatrix placement = Identity();
    placement[12] = event.point.x;
    placement[13] = event.point.y;
    placement[14] = event.point.z;
    fire->Place(placement);
    effects_.Start(*fire, *fire);
}

}  // namespace kv
