#pragma once
// The battle stage: everything that puts a drawn battle together, written once for the game's
// window, kolvex-shot and the drawing tests. It owns the battle (the session on its
// scheduler), the ground, the scene with its main view and start camera, the scene's and the
// effects' presenters with the clock and the processes the drawing side steps itself, the
// settings the frame, the shadows and the sounds follow, the sound listener, and the orders of
// starting a battle and of shutting down.
//
// Two ways to tick: the game's worker thread, paced to the clock at the battle's fixed dt
// (StartWorker), or the calling thread (RunUntil, Advance). Either way the battle is the one
// kolvex-battle runs for the same seed and robots.
//
// Threads: everything here is called on the main thread. The worker only ticks the battle and
// records its events; it never touches the scene, the presenters or the sound, and never
// waits for a frame. Each frame (Render, or Update while nothing is drawn) takes the events of
// the ticks completed so far and, with the scene lock held once, shows them in tick order
// while stepping marks, smoke, fire and wrecks with the battle's dt up to the last complete
// tick; then it draws. The robots' values the frame reads are published by the worker whole.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fx/EffectsPresenter.h"
#include "render/Ground.h"
#include "render/RenderSettings.h"
#include "render/Scene.h"
#include "render/ScenePresenter.h"
#include "render/View.h"
#include "sim/Battle.h"
#include "sim/Inspector.h"
#include "sim/ProcessGroup.h"
#include "sim/SimulationThread.h"

namespace kv {

class GLContext;
class KvSoundBank;
class KvTextureSet;
class ResourceStore;
class SoundSystem;

class KvBattleStage {
public:
    static constexpr double kDt = 0.001;  // the game's tick
    static constexpr double kStartYaw = 0.0, kStartPitch = 0.7;
    static constexpr double kSlowest = 1.0 / 8, kFastest = 16;
    static constexpr double kStepTime = 1.0 / 60;
    static constexpr int64_t kQuickStepTicks = 2000;

    // The context, the store and the textures outlive the stage; textures may be null.
    KvBattleStage(GLContext& context, const ResourceStore& store, const KvTextureSet* textures, double dt = kDt);
    // Stops the worker, then clears the scene and the battle.
    ~KvBattleStage();
    KvBattleStage(const KvBattleStage&) = delete;
    KvBattleStage& operator=(const KvBattleStage&) = delete;

    // The sounds of every battle from now on, muted as the settings say; none by default.
    void SetSound(SoundSystem* system, const KvSoundBank* bank);
    // The settings the frame, the shadows and the sounds follow; a change reaches each at
    // once (a new shadow mode makes or releases the robots' shadow maps, the sound mutes or
    // comes back on every channel playing).
    const RenderSettings& Settings() const { return settings_; }
    void SetSettings(const RenderSettings& settings);

    // A new battle of choices from seed, as New and Restart start one: the worker paused, the
    // scene and the battle cleared, the ground attached again, the battle set up and shown,
    // the worker resumed. False with the set-up's message in Error(); the arena is then empty.
    bool StartBattle(const std::array<RobotChoice, KvGameHolder::kMaxRobots>& choices, uint32_t seed);
    // File k in slot k.
    bool StartBattle(const std::vector<KvFile>& files, uint32_t seed);
    const KvString& Error() const { return battle_.Error(); }
    uint32_t Seed() const { return battle_.Seed(); }

    // The game's worker: ticks paced to the clock until StopWorker.
    void StartWorker();
    // One tick as the worker runs it: the battle's, then the inspector's look at its robot;
    // false, ticking nothing, while paused.
    bool WorkerTick();
    void StopWorker();
    bool WorkerRunning() const { return worker_.Running(); }
    // Battle seconds per second of the clock for the worker; faster than the machine can
    // tick, it ticks as fast as it can, never with a coarser dt.
    void SetSpeed(double speed) { pacer_.SetSpeed(speed); }
    double Speed() const { return pacer_.Speed(); }
    // Halves or doubles the speed, within x1/8 to x16.
    void Slower() { SetSpeed(std::max(Speed() / 2, kSlowest)); }
    void Faster() { SetSpeed(std::min(Speed() * 2, kFastest)); }

    // The player's pause: battle time stops between two ticks and goes on from there.
    bool Paused() { return battle_.Scheduler().Paused(); }
    void SetPaused(bool paused) { battle_.Scheduler().SetPaused(paused); }
    // While paused, on the calling thread: on to the next sixtieth of a second of battle time
    // (60 steps from a whole second make the next whole second), or one tick.
    void Step(bool oneTick);
    // The battle as straight play has it at time: set up again from the same program texts and
    // seed, run without drawing, then shown as it stands (robots, shells in flight, marks and
    // wrecks; smoke and fire start afresh). Paused after it if it was paused before.
    void SeekTo(double time);
    // The same at the end of a tick.
    void SeekToTick(int64_t tick);
    // The furthest battle time shown since the battle started, seeks included.
    double FurthestTime() const { return static_cast<double>(furthestTick_) * battle_.Dt(); }
    // The battle time each slot's robot was destroyed at, as far as the battle was shown;
    // negative for a robot not known to have died and for an empty slot.
    const std::array<double, KvGameHolder::kMaxRobots>& DeathTimes() const { return deathTimes_; }
    // The choices of the battle shown, with the program texts it was set up from.
    const std::array<RobotChoice, KvGameHolder::kMaxRobots>& Choices() const { return choices_; }
    bool HasBattle() const { return hasBattle_; }
    // What the main view says of a decided battle once it is shown: "spiral.r wins at
    // 122.45 s", or "no robot left"; empty before, and in a battle of one robot.
    const std::string& Verdict() const { return verdict_; }
    // The battle pauses itself once its time reaches time (the game's --quit-after-time).
    void PauseAt(double time) { battle_.PauseAtTick(battle_.TicksFor(time)); }
    // Whether the battle has reached the tick PauseAt asked for, or the time.
    bool Reached(double time) const { return battle_.Ticks() >= battle_.TicksFor(time); }
    // Without the worker, on the calling thread: ticks until the battle time reaches time,
    // or n more ticks. The battle goes on after it is decided, as in the game.
    void RunUntil(double time) { battle_.RunUntil(time, false); }
    void Advance(int64_t ticks);

    // The robot inspector's robot (-1 none): it is watched through every battle set up from
    // now on, seeks included.
    void Inspect(int slot) { inspector_.Inspect(slot); }
    KvInspector& Inspector() { return inspector_; }
    // Paused: the battle goes on until the inspected robot has stepped as asked, or at once
    // for Continue. A step is run here as far as a few seconds of battle; the worker runs the
    // rest, and pauses where it ends.
    void Go(KvInspector::Go how);
    // Paused: back to the end of the latest tick at which the inspected robot was on
    // another line, by a seek; false when there is none.
    bool Back();

    // One frame: the context made current, the events of the complete ticks shown, every
    // view drawn, the buffers swapped, the sounds updated.
    void Render();
    // The same without drawing, while the window is hidden: the battle shown so far and the
    // sounds updated, so that ended sounds give their channels back.
    void Update();

    // The main camera at the game's mouse angles (radians); the pitch it took, clamped.
    double SetCamera(double yaw, double pitch) { return mainView_.camera.Orbit(yaw, pitch); }
    View& MainView() { return mainView_; }
    KvScene& Scene() { return scene_; }
    KvBattle& Battle() { return battle_; }
    KvGameHolder& Holder() { return battle_.Holder(); }
    KvScenePresenter& ScenePart() { return scenePart_; }
    // Marks, smoke, fire and wrecks alive now.
    const ProcessSet& Shown() const { return shown_.Owned(); }
    // The tick the drawing side has shown the battle up to.
    int64_t ShownTick() const { return clock_.tick; }
    // How the battle stood when it was decided, or stands now (the worker held meanwhile).
    BattleOutcome Outcome();

private:
    // Moves the sound listener with the main camera.
    class Listener : public ListenerHandOff {
    public:
        void MoveListener(const KvVec3& position, const KvVec3& backward, const KvVec3& up) override;
        SoundSystem* sound = nullptr;
    };

    // The battle's events of the ticks up to completed shown in order, the marks and effects
    // stepped with them, the shells placed; scene lock held once.
    // A seek shows the events through its tick the same way, leaving out what has left no
    // trace by then (sounds, shells already burst, marks gone, fire).
    void ShowUpTo(int64_t completed, bool seeking = false);
    void UpdateSound(bool paused);
    void Apply(const KvBattleEvent& event, bool seeking, int64_t target);
    // Clears, sets the battle of choices_ up from seed and shows its robots; the worker held.
    bool SetUpShown(uint32_t seed);
    void NoteDeath(const KvBattleEvent& event);
    // The drawn battle gone: presenters, marks, effects and the scene's lists.
    void ClearShow();

    GLContext& context_;
    RenderSettings settings_;
    KvGround ground_;
    KvScene scene_;
    View mainView_{ViewKind::Main};
    KvShowClock clock_;
    FixedTickTimer showTimer_;
    ProcessScheduler showScheduler_{&showTimer_};
    KvProcessGroup shown_{showScheduler_};
    KvScenePresenter scenePart_;
    KvEffectsPresenter effectsPart_;
    SoundSystem* sound_ = nullptr;
    Listener listener_;
    std::vector<KvBattleEvent> pending_;  // taken from the battle, not shown yet
    std::vector<uint64_t> burstBefore_;   // during a seek: shells that burst before its tick
    std::array<RobotChoice, KvGameHolder::kMaxRobots> choices_;
    bool hasBattle_ = false;
    int64_t furthestTick_ = 0;
    std::array<double, KvGameHolder::kMaxRobots> deathTimes_{};
    std::string verdict_;
    KvBattle battle_;
    KvInspector inspector_{battle_};
    KvTickPacer pacer_;
    SimulationThread worker_{battle_.Scheduler()};
};

}  // namespace kv
