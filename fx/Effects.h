#pragma once
// What the effects of one battle share: where they are drawn, who owns them, the ground they
// fall on, their sounds and the random numbers they draw.
//
// Effects run on the main thread: the battle stage creates them from the battle's events and
// steps them with its own clock, with the scene lock held, so nothing here locks. They draw
// from a generator of their own, never from the worker's, which the robots' programs use:
// whether a battle is drawn must not change how it goes.

#include <cstdint>

#include "core/Matrix.h"
#include "core/Random.h"

namespace kv {

class KvDebrisParts;
class KvDrawObject;
class KvHeightField;
class KvProcess;
class KvProcessOwner;
class KvScene;
class KvScenePresenter;
class KvTexture;
class KvTextureSet;

struct KvEffects {
    KvScene* scene = nullptr;               // null: nothing is drawn (tests)
    KvProcessOwner* owner = nullptr;        // null: the creator owns its effects (tests)
    const KvHeightField* ground = nullptr;  // where debris lands and particle shadows fall
    const KvTextureSet* textures = nullptr;
    const KvDebrisParts* debrisTemplate = nullptr;
    const KvScenePresenter* sounds = nullptr;  // null: silent
    RandomGenerator random;
    // Off while a seek shows the past without drawing it: bursts and smokes are left out
    // (particles start fresh after a seek), so the seek costs no particles.
    bool particles = true;

    // random(x) = x * r / 32767: a value in [0, x].
    double Random(double x) { return x * random.Next() / 32767; }
    // The texture of key, or null without a texture set.
    const KvTexture* Texture(const char* key) const;
    // Plays the sound of key once at a scene point; the channel, or -1.
    int32_t PlayOnce(const char* key, const KvVec3& at) const;
    // Hands a new effect to its owner (stepped from the next tick, deleted by it) and to the
    // scene.
    void Start(KvProcess& process, KvDrawObject& drawable) const;
    // An effect that has ended leaves the scene and its owner, which deletes it at the end of
    // the tick.
    void Finish(KvProcess& process, KvDrawObject& drawable) const;
};

// The effects of no battle, one per thread: no scene, no owner, no ground, silent. Effects
// that are not given a battle's use them (tests).
KvEffects& UnownedEffects();

}  // namespace kv
