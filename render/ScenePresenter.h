#pragma once
// The game's side of the battle presenter: robots and shells into and out of the scene, one
// robot view per robot, explosion marks on the ground, engine, shell and collision sounds.
// Smoke, fire and wrecks are added by a presenter built on this one in the effects subsystem.
//
// Threads and locks:
// - RobotAdded and RobotCleared run on the main thread with the scheduler paused; RobotDied,
//   Collision, ShellFired, ShellExploded and Explosion on the simulation thread inside a
//   tick (scheduler mutex held); ShellCleared and ProcessCleared on the main thread in Clear.
// - The presenter's own tables (robot and shell drawables) are guarded by the scene lock,
//   which every hook takes before the sound lock (the sound system's calls take it).
// - Drawables are destroyed under the scene lock, so no frame is drawing them; their
//   destructors touch no OpenGL.
// - A presenter without a sound system (tools, tests) plays nothing, and no presenter draws
//   from the worker's random numbers, so drawing never changes a battle.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "render/RobotDrawable.h"
#include "render/ShadowMap.h"
#include "render/ShellDrawable.h"
#include "render/View.h"
#include "sim/BattlePresenter.h"

namespace kv {

class KvGameHolder;
class KvHeightField;
class KvScene;
class KvSoundBank;
struct KvSound;
class KvTextureSet;
class ResourceStore;
class SoundSystem;

class KvScenePresenter : public KvBattlePresenter {
public:
    // Makes the presenter a drawn battle uses: this one, or one from a subsystem above that
    // adds effects. effectsSeed is the battle's seed, for presenters that draw random numbers.
    using Factory = std::function<std::unique_ptr<KvScenePresenter>(
        KvScene& scene, const KvHeightField& ground, const ResourceStore& store, const KvTextureSet* textures,
        uint32_t effectsSeed)>;
    static std::unique_ptr<KvScenePresenter> Make(KvScene& scene, const KvHeightField& ground,
                                                  const ResourceStore& store, const KvTextureSet* textures,
                                                  uint32_t effectsSeed);

    static constexpr double kMarkSize = 3.0;

    // The scene, the ground the battle stands on and the loaded resources outlive the
    // presenter. textures may be null (nothing is drawn textured).
    KvScenePresenter(KvScene& scene, const KvHeightField& ground, const ResourceStore& store,
                     const KvTextureSet* textures);
    ~KvScenePresenter() override;
    KvScenePresenter(const KvScenePresenter&) = delete;
    KvScenePresenter& operator=(const KvScenePresenter&) = delete;

    // The session whose marks are handed back to it; call before the battle is set up.
    virtual void SetHolder(KvGameHolder* holder) { holder_ = holder; }
    // The sounds to play; none by default.
    void SetSound(SoundSystem* system, const KvSoundBank* bank, bool soundOn);
    // The player's sound choice, for sounds started from now on (any thread).
    void SetSoundOn(bool soundOn) { soundOn_.store(soundOn, std::memory_order_relaxed); }
    bool SoundOn() const { return soundOn_.load(std::memory_order_relaxed); }
    // The clock that spins the wheels (seconds); real time by default.
    void SetClock(std::function<double()> clock) { clock_ = std::move(clock); }

    void ShowSetupError(const KvString& message) override { setupError_ = message; }
    void RobotAdded(KvGLRobot& robot) override;
    void RobotCleared(KvGLRobot& robot) override;
    void RobotDied(KvGLRobot& robot) override;
    void Collision(KvGLRobot& robot, const KvVec3& scenePoint) override;
    void ShellFired(KvRocket& rocket) override;
    void ShellExploded(KvRocket& rocket) override;
    void ShellCleared(KvRocket& rocket) override;
    void Explosion(const KvVec3& scenePoint, double markRotation) override;
    void ProcessCleared(KvProcess& process) override;

    // After the player changed the shadow mode (the settings already hold the new one), on the
    // main thread: leaving maps releases every robot's map, entering them makes maps for the
    // robots still alive. A robot whose map cannot be made goes on without a shadow.
    void ShadowModeChanged(int32_t oldMode, int32_t newMode);

    const KvString& SetupError() const { return setupError_; }
    // The robot's drawable while it lives, and its view until the battle is cleared; null
    // otherwise. Main thread.
    KvRobotDrawable* RobotDrawable(const KvGLRobot& robot) const;
    View* RobotView(const KvGLRobot& robot) const;
    // The robot's shadow map and track until the battle is cleared; null otherwise. Main thread.
    const KvRobotShadow* RobotShadow(const KvGLRobot& robot) const;

    // Plays the sound of key once at a scene point (nothing without a sound system); returns
    // its channel or -1. Either thread; takes the sound lock.
    int32_t PlayOnce(const char* key, const KvVec3& at) const;

protected:
    KvScene& Scene() const { return scene_; }
    const KvHeightField& Ground() const { return ground_; }

private:
    struct RobotShown {
        std::unique_ptr<View> view;
        std::unique_ptr<KvRobotDrawable> drawable;
        std::unique_ptr<KvRobotShadow> shadow;
    };
    // Out of the scene with its sound stopped; the caller holds the scene lock.
    void DropRobotDrawable(RobotShown& shown);
    void DropShell(KvRocket& rocket);
    const KvSound* Sound(const char* key) const;

    KvScene& scene_;
    const KvHeightField& ground_;
    const ResourceStore& store_;
    const KvTextureSet* textures_;
    KvGameHolder* holder_ = nullptr;
    SoundSystem* sound_ = nullptr;
    const KvSoundBank* bank_ = nullptr;
    std::atomic<bool> soundOn_{false};
    std::function<double()> clock_;
    KvString setupError_;
    std::map<const KvGLRobot*, RobotShown> robots_;
    std::map<const KvRocket*, std::unique_ptr<KvShellDrawable>> shells_;
};

}  // namespace kv
