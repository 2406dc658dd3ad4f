#pragma once
// What the effects of one battle share: where they are drawn, who owns them, the ground they
// fall on, their sounds and the random numbers they draw.
//
// Effects draw from a generator of their own, never from the worker's, which the robots'
// programs use: whether a battle is drawn must not change how it goes. The generator is
// touched only inside ticks (effects are created by tick hooks and emit in their steps) or
// while no tick runs.

#include <cstdint>

#include "core/Matrix.h"
#include "core/Random.h"

namespace kv {

class KvDebrisParts;
class KvDrawObject;
class KvGameHolder;
class KvHeightField;
class KvProcess;
class KvScene;
class KvScenePresenter;
class KvTexture;
class KvTextureSet;

struct KvEffects {
    KvScene* scene = nullptr;               // null: nothing is drawn (tests)
    KvGameHolder* holder = nullptr;         // null: the creator owns its effects (tests)
    const KvHeightField* ground = nullptr;  // where debris lands and particle shadows fall
    const KvTextureSet* textures = nullptr;
    const KvDebrisParts* debrisTemplate = nullptr;
    const KvScenePresenter* sounds = nullptr;  // null: silent
    RandomGenerator random;

    // random(x) = x * r / 32767: a value in [0, x].
    double Random(double x) { return x * random.Next() / 32767; }
    // The texture of key, or null without a texture set.
    const KvTexture* Texture(const char* key) const;
    // Plays the sound of key once at a scene point; the channel, or -1.
    int32_t PlayOnce(const char* key, const KvVec3& at) const;
    // Hands a new effect to the battle session (stepped from the next tick, deleted by it)
    // and to the scene. sceneLocked: the caller already holds the scene lock.
    void Start(KvProcess& process, KvDrawObject& drawable, bool sceneLocked) const;
    // An effect that has ended leaves the scene and the session, which deletes it at the end
    // of the tick. The caller holds the scene lock.
    void Finish(KvProcess& process, KvDrawObject& drawable) const;
};

// The effects of no battle, one per thread: no scene, no session, no ground, silent. Effects
// that are not given a battle's use them (tests).
KvEffects& UnownedEffects();

// Holds the scene lock for a scope; nothing without a scene.
class SceneLocked {
public:
    explicit SceneLocked(KvScene* scene);
    ~SceneLocked();
    SceneLocked(const SceneLocked&) = delete;
    SceneLocked& operator=(const SceneLocked&) = delete;

private:
    KvScene* scene_;
};

}  // namespace kv
