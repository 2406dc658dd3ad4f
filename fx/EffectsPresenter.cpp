#include "fx/EffectsPresenter.h"

#include <cmath>

#include "assets/ResourceStore.h"
#include "fx/Debris.h"
#include "fx/Particles.h"
#include "render/Scene.h"
#include "render/ShellDrawable.h"
#include "sim/GameHolder.h"
#include "sim/Rocket.h"

namespace kv {

namespace {

// The trail comes out of the shell's tail and leaves backwards: the emitter's up axis is the
// shell's backward axis (the shell's x axis points along its flight).
constexpr double kTailOffset = -0.04;
const KvMatrix kTrailPlacement = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, kTailOffset, 0, 0, 1};

// A shell's placement, taken from its flight on the worker (the drawn shell's transform is the
// frame's and may lag the simulation).
class ShellNode : public KvMovingNode {
public:
    explicit ShellNode(const KvRocket& rocket) : rocket_(rocket) { Update(); }
    void Update() override {
        local = ShellTransform(rocket_, rocket_.ArcDistance(rocket_.travelled));
        Invalidate();
    }

private:
    const KvRocket& rocket_;
};

}  // namespace

KvEffectsPresenter::KvEffectsPresenter(KvScene& scene, const KvHeightField& ground, const ResourceStore& store,
                                       const KvTextureSet* textures, uint32_t effectsSeed)
    : KvScenePresenter(scene, ground, store, textures) {
    effects_.scene = &scene;
    effects_.ground = &ground;
    effects_.textures = textures;
    effects_.debrisTemplate = &store.DebrisParts();
    effects_.sounds = this;
    effects_.random.Seed(effectsSeed);
}

KvEffectsPresenter::~KvEffectsPresenter() = default;

std::unique_ptr<KvScenePresenter> KvEffectsPresenter::Make(KvScene& scene, const KvHeightField& ground,
                                                           const ResourceStore& store, const KvTextureSet* textures,
                                                           uint32_t effectsSeed) {
    return std::make_unique<KvEffectsPresenter>(scene, ground, store, textures, effectsSeed);
}

void KvEffectsPresenter::SetHolder(KvGameHolder* holder) {
    KvScenePresenter::SetHolder(holder);
    effects_.holder = holder;
}

void KvEffectsPresenter::RobotDied(KvGLRobot& robot) {
    KvScenePresenter::RobotDied(robot);
    if (!effects_.holder) return;
    const RobotValues values = robot.Values();
    const double x = SceneX(values.position.x), z = SceneZ(values.position.y);
    auto* wreck = new KvDebris(*effects_.debrisTemplate, robot.colourIndex, {x, Ground().HeightAt(x, z), z},
                               values.heading);
    wreck->SetEffects(effects_);
    effects_.Start(*wreck, *wreck, false);
}

void KvEffectsPresenter::ShellFired(KvRocket& rocket) {
    KvScenePresenter::ShellFired(rocket);
    if (!effects_.holder) return;
    Trail trail{std::make_unique<ShellNode>(rocket), new KvSmoke()};
    trail.smoke->SetEffects(effects_);
    trail.smoke->SetTexture(effects_.Texture("smoke"));
    trail.smoke->Emitter().local = kTrailPlacement;
    trail.smoke->Follow(trail.shell.get());
    effects_.Start(*trail.smoke, *trail.smoke, false);
    SceneLocked lock(&Scene());
    trails_[&rocket] = std::move(trail);
}

void KvEffectsPresenter::DropTrail(KvRocket& rocket) {
    auto it = trails_.find(&rocket);
    if (it == trails_.end()) return;
    it->second.smoke->StopEmitting();
    trails_.erase(it);
}

void KvEffectsPresenter::ShellExploded(KvRocket& rocket) {
    KvScenePresenter::ShellExploded(rocket);
    SceneLocked lock(&Scene());
    DropTrail(rocket);
}

void KvEffectsPresenter::ShellCleared(KvRocket& rocket) {
    KvScenePresenter::ShellCleared(rocket);
    SceneLocked lock(&Scene());
    DropTrail(rocket);
}

void KvEffectsPresenter::Explosion(const KvVec3& scenePoint, double markRotation) {
    if (effects_.holder) {
        auto* fire = new KvSmallExplosion();
        fire->SetEffects(effects_);
        fire->SetTexture(effects_.Texture("flame"));
        KvMatrix placement = Identity();
        placement[12] = scenePoint.x;
        placement[13] = scenePoint.y;
        placement[14] = scenePoint.z;
        fire->Place(placement);
        effects_.Start(*fire, *fire, false);
    }
    KvScenePresenter::Explosion(scenePoint, markRotation);
}

void KvEffectsPresenter::ProcessCleared(KvProcess& process) {
    KvScenePresenter::ProcessCleared(process);
    if (auto* effect = dynamic_cast<KvDrawObject*>(&process)) Scene().RemoveObject(*effect, true);
}

}  // namespace kv
