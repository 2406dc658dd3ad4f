#pragma once
// The game's presenter with effects: everything the scene presenter shows, plus a smoke trail
// behind every shell, fire where a shell bursts and a wreck where a robot died. The game's
// window and kolvex-shot both show battles through it (KvEffectsPresenter::Make is the
// factory a BattleShot takes).
//
// Threads and locks as for the scene presenter: the shell trails are kept under the scene
// lock; the effects are created by the tick hooks on the worker and handed to the session.
// Effects draw from the presenter's own generator, seeded from the battle's seed, never from
// the worker's, so a battle goes the same way drawn or not.

#include <cstdint>
#include <map>
#include <memory>

#include "fx/Effects.h"
#include "fx/Particles.h"
#include "render/ScenePresenter.h"

namespace kv {

class KvRocket;

class KvEffectsPresenter : public KvScenePresenter {
public:
    // As the scene presenter; effectsSeed starts the effects' generator (the battle's seed).
    KvEffectsPresenter(KvScene& scene, const KvHeightField& ground, const ResourceStore& store,
                       const KvTextureSet* textures, uint32_t effectsSeed);
    ~KvEffectsPresenter() override;
    // A KvScenePresenter::Factory.
    static std::unique_ptr<KvScenePresenter> Make(KvScene& scene, const KvHeightField& ground,
                                                  const ResourceStore& store, const KvTextureSet* textures,
                                                  uint32_t effectsSeed);

    // A new battle's seed. Main thread, no tick running.
    void SeedEffects(uint32_t seed) { effects_.random.Seed(seed); }

    void SetHolder(KvGameHolder* holder) override;
    void RobotDied(KvGLRobot& robot) override;
    void ShellFired(KvRocket& rocket) override;
    void ShellExploded(KvRocket& rocket) override;
    void ShellCleared(KvRocket& rocket) override;
    void Explosion(const KvVec3& scenePoint, double markRotation) override;
    void ProcessCleared(KvProcess& process) override;

private:
    struct Trail {
        std::unique_ptr<KvMovingNode> shell;  // the shell's placement in flight
        KvSmoke* smoke = nullptr;             // owned by the session
    };
    // The trail stops and stays where it is; the caller holds the scene lock.
    void DropTrail(KvRocket& rocket);

    KvEffects effects_;
    std::map<const KvRocket*, Trail> trails_;
};

}  // namespace kv
