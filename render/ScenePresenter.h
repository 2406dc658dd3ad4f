#pragma once
// The battle in the scene: robots and shells into and out of it, one robot view per robot, a
// scorch mark where a shell burst, and the engines', shells' and collisions' sounds. The
// effects subsystem adds smoke, fire and wrecks beside it; the battle stage drives both.
//
// Threads and locks: everything here runs on the main thread. The stage hands over robots at
// set-up (no tick running) and the battle's events in the order of their ticks, at the start
// of a frame, holding the scene lock once for all of them; the marks it lays are stepped by
// the stage's own clock of shown processes under the same lock. The worker never calls in.
// Sounds take the sound lock inside each call (after the scene lock, never before).
// A presenter without a sound system (tools, tests) plays nothing.

#include <cstdint>
#include <map>
#include <memory>

#include "render/RobotDrawable.h"
#include "render/ShadowMap.h"
#include "render/ShellDrawable.h"
#include "render/View.h"
#include "sim/BattleEvent.h"

namespace kv {

class KvHeightField;
class KvProcessOwner;
class KvScene;
class KvSoundBank;
struct KvSound;
class KvTextureSet;
class ResourceStore;
class SoundSystem;

// The moment the drawing side has reached: ticks of the battle's fixed dt since its set-up.
struct KvShowClock {
    int64_t tick = 0;
    double dt = 0.001;
    double Time() const { return static_cast<double>(tick) * dt; }
};

class KvScenePresenter {
public:
    static constexpr double kMarkSize = 3.0;

    // Everything given outlives the presenter. textures may be null (nothing is drawn
    // textured); marks owns the scorch marks and steps them.
    KvScenePresenter(KvScene& scene, const KvHeightField& ground, const ResourceStore& store,
                     const KvTextureSet* textures, KvProcessOwner& marks, const KvShowClock& clock);
    ~KvScenePresenter();
    KvScenePresenter(const KvScenePresenter&) = delete;
    KvScenePresenter& operator=(const KvScenePresenter&) = delete;

    // The sounds to play; none by default. Channels are muted while the scene's settings say
    // sound is off.
    void SetSound(SoundSystem* system, const KvSoundBank* bank);

    // A robot of the new battle: into the scene with its view, shadow and paused engine.
    void RobotAdded(KvGLRobot& robot);
    // One event of the battle, at the tick the clock now shows.
    void Apply(const KvBattleEvent& event);
    // Shells in flight to where the clock says they are, before the frame.
    void PrepareFrame();
    // Everything of the battle out of the scene, sounds stopped, views removed; the marks are
    // the owner's to clear.
    void Clear();
    // After the player changed the shadow mode (the settings already hold the new one):
    // leaving maps releases every robot's map, entering them makes maps for the robots still
    // alive. A robot whose map cannot be made goes on without a shadow. The context is current.
    void ShadowModeChanged(int32_t oldMode, int32_t newMode);

    // The robot's drawable while it lives, and its view until the battle is cleared; null
    // otherwise.
    KvRobotDrawable* RobotDrawable(const KvGLRobot& robot) const;
    View* RobotView(const KvGLRobot& robot) const;
    // The robot's shadow map and track until the battle is cleared; null otherwise.
    const KvRobotShadow* RobotShadow(const KvGLRobot& robot) const;
    size_t ShellsShown() const { return shells_.size(); }

    // Plays the sound of key once at a scene point (nothing without a sound system); returns
    // its channel or -1.
    int32_t PlayOnce(const char* key, const KvVec3& at) const;

private:
    struct RobotShown {
        std::unique_ptr<View> view;
        std::unique_ptr<KvRobotDrawable> drawable;
        std::unique_ptr<KvRobotShadow> shadow;
    };
    struct ShellShown {
        std::unique_ptr<KvShellDrawable> drawable;
        int64_t firedTick = 0;
    };
    bool SoundOn() const;
    void RobotDied(const KvBattleEvent& event);
    void ShellFired(const KvBattleEvent& event);
    void Explosion(const KvBattleEvent& event);
    // Out of the scene with its sound stopped.
    void DropRobotDrawable(RobotShown& shown);
    void DropShell(uint64_t id);
    const KvSound* Sound(const char* key) const;

    KvScene& scene_;
    const KvHeightField& ground_;
    const ResourceStore& store_;
    const KvTextureSet* textures_;
    KvProcessOwner& marks_;
    const KvShowClock& clock_;
    SoundSystem* sound_ = nullptr;
    const KvSoundBank* bank_ = nullptr;
    std::map<const KvGLRobot*, RobotShown> robots_;
    std::map<uint64_t, ShellShown> shells_;
};

}  // namespace kv
