#pragma once
// The battle's effects beside the scene's presenter: a smoke trail behind every shell, fire
// where a shell bursts and a wreck where a robot died. The battle stage hands it the battle's
// events in the order of their ticks; the effects it makes are owned and stepped by the
// stage's clock of shown processes, on the main thread under the scene lock (Effects.h).
// Effects draw from the presenter's own generator, seeded from the battle's seed, never from
// the worker's, so a battle goes the same way drawn or not.

#include <cstdint>
#include <map>
#include <memory>

#include "fx/Effects.h"
#include "fx/Particles.h"
#include "render/ScenePresenter.h"

namespace kv {

class KvEffectsPresenter {
public:
    // Everything given outlives the presenter; owner owns and steps the effects, sounds plays
    // their one-shots (null: silent).
    KvEffectsPresenter(KvScene& scene, const KvHeightField& ground, const ResourceStore& store,
                       const KvTextureSet* textures, KvProcessOwner& owner, const KvShowClock& clock,
                       const KvScenePresenter* sounds);
    ~KvEffectsPresenter();
    KvEffectsPresenter(const KvEffectsPresenter&) = delete;
    KvEffectsPresenter& operator=(const KvEffectsPresenter&) = delete;

    // A new battle's seed.
    void SeedEffects(uint32_t seed) {
        seed_ = seed;
        effects_.random.Seed(seed);
    }
    // While a seek shows the past: no sounds, no bursts or smokes of wrecks.
    void SetReplaying(bool replaying) {
        effects_.sounds = replaying ? nullptr : sounds_;
        effects_.particles = !replaying;
    }
    // One event of the battle, at the tick the clock now shows.
    void Apply(const KvBattleEvent& event);
    // Forgets the shells' trails; the effects themselves are the owner's to clear.
    void Clear() { trails_.clear(); }

private:
    struct Trail {
        std::unique_ptr<KvMovingNode> shell;  // the shell's placement in flight
        KvSmoke* smoke = nullptr;             // owned by the owner
    };
    void RobotDied(const KvBattleEvent& event);
    void ShellFired(const KvBattleEvent& event);
    // The trail stops and stays where it is.
    void DropTrail(uint64_t shell);
    void Explosion(const KvBattleEvent& event);

    const KvHeightField& ground_;
    const KvShowClock& clock_;
    KvEffects effects_;
    std::map<uint64_t, Trail> trails_;
    const KvScenePresenter* sounds_;
    uint32_t seed_ = 1;
};

}  // namespace kv
