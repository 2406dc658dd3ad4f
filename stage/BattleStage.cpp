#include "stage/BattleStage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "assets/ResourceStore.h"
#include "render/Track.h"
#include "render/GLContext.h"
#include "sim/RobotGeometry.h"
#include "sound/SoundSystem.h"

namespace kv {

namespace {

std::string VerdictOf(const BattleOutcome& decision) {
    char text[64];
    std::snprintf(text, sizeof text, " at %.2f s", decision.time);
    for (const RobotOutcome& robot : decision.robots)
        if (robot.slot == decision.winner) return robot.file.Std() + " wins" + text;
    return "no robot left";
}

// Holds the scene lock for a scope.
class SceneHeld {
public:
    explicit SceneHeld(KvLock& lock) : lock_(lock) { lock_.Lock(); }
    ~SceneHeld() { lock_.Unlock(); }
    SceneHeld(const SceneHeld&) = delete;
    SceneHeld& operator=(const SceneHeld&) = delete;

private:
    KvLock& lock_;
};

// Holds a running worker off the battle for a scope, leaving a battle that was paused so.
class WorkerHeld {
public:
    explicit WorkerHeld(ProcessScheduler& scheduler, bool running = true)
        : scheduler_(scheduler), wasPaused_(!running || scheduler.Paused()) {
        if (!wasPaused_) scheduler_.SetPaused(true);
    }
    ~WorkerHeld() {
        if (!wasPaused_) scheduler_.SetPaused(false);
    }
    WorkerHeld(const WorkerHeld&) = delete;
    WorkerHeld& operator=(const WorkerHeld&) = delete;

private:
    ProcessScheduler& scheduler_;
    bool wasPaused_;
};

}  // namespace

KvBattleStage::KvBattleStage(GLContext& context, const ResourceStore& store, const KvTextureSet* textures, double dt)
    : context_(context),
      showTimer_(dt),
      scenePart_(scene_, ground_, store, textures, shown_, clock_),
      effectsPart_(scene_, ground_, store, textures, shown_, clock_, &scenePart_),
      battle_(ground_, dt, true),
      pacer_(dt) {
    clock_.dt = dt;
    scene_.Init(context_, &ground_, textures);
    scene_.SetSettings(&settings_);
    scene_.Panels().SetListener(&listener_);
    mainView_.SetWindow(&context_);
    mainView_.camera.Orbit(kStartYaw, kStartPitch);
    scene_.AddView(&mainView_);
    battle_.Holder().SetGeometry(RobotGeometry::FromParts(store.RobotParts()));
}

KvBattleStage::~KvBattleStage() {
    StopWorker();
    context_.MakeCurrent();
    ClearShow();
    battle_.Clear();
}

void KvBattleStage::SetSound(SoundSystem* system, const KvSoundBank* bank) {
    sound_ = system;
    listener_.sound = system;
    scenePart_.SetSound(system, bank);
    if (sound_) sound_->SetMute(!settings_.soundOn);
}

void KvBattleStage::SetSettings(const RenderSettings& settings) {
    const RenderSettings old = settings_;
    settings_ = settings;
    if (old.shadowMode != settings.shadowMode) {
        context_.MakeCurrent();
        SceneHeld held(scene_);
        scenePart_.ShadowModeChanged(old.shadowMode, settings.shadowMode);
    }
    if (old.soundOn != settings.soundOn && sound_) sound_->SetMute(!settings.soundOn);
}

bool KvBattleStage::StartBattle(const std::array<RobotChoice, KvGameHolder::kMaxRobots>& choices, uint32_t seed) {
    // The programs are read once: a seek sets the same battle up again from the same texts,
    // however the files change meanwhile.
    choices_ = choices;
    ReadSources(choices_);
    furthestTick_ = 0;
    deathTimes_.fill(-1);
    hasBattle_ = SetUpShown(seed);
    inspector_.Arm(true);
    // A new battle plays, whether or not the one before was paused.
    if (worker_.Running()) battle_.Scheduler().SetPaused(false);
    return hasBattle_;
}

bool KvBattleStage::SetUpShown(uint32_t seed) {
    WorkerHeld held(battle_.Scheduler(), worker_.Running());
    context_.MakeCurrent();
    ClearShow();
    battle_.Clear();
    ground_.AttachTree(scene_.GroundTree());
    battle_.Holder().choices = choices_;
    effectsPart_.SeedEffects(seed);
    const bool ready = battle_.SetUp(seed);
    inspector_.Attach();
    if (ready) {
        SceneHeld shown(scene_);
        for (KvGLRobot* robot : battle_.Holder().robots) scenePart_.RobotAdded(*robot);
    }
    return ready;
}

void KvBattleStage::Step(bool oneTick) {
    if (!hasBattle_) return;
    SetPaused(true);
    const int64_t now = battle_.Ticks();
    int64_t target = now + 1;
    if (!oneTick) {
        const double sixtieths = std::floor(static_cast<double>(now) * battle_.Dt() / kStepTime + 1e-9) + 1;
        target = std::max(target, battle_.TicksFor(sixtieths * kStepTime));
    }
    battle_.TickTo(target);
}

void KvBattleStage::SeekTo(double time) { SeekToTick(battle_.TicksFor(std::max(time, 0.0))); }

void KvBattleStage::SeekToTick(int64_t tick) {
    if (!hasBattle_) return;
    WorkerHeld held(battle_.Scheduler(), worker_.Running());
    SetUpShown(battle_.Seed());
    // The inspector follows the robot through the replay, but pauses nothing in it.
    battle_.TickTo(std::max<int64_t>(tick, 0));
    inspector_.Arm(true);
    ShowUpTo(battle_.Ticks(), true);
}

void KvBattleStage::Go(KvInspector::Go how) {
    if (!hasBattle_) return;
    SetPaused(true);
    inspector_.Start(how);
    if (how != KvInspector::Go::Continue) {
        battle_.TickTo(battle_.Ticks() + kQuickStepTicks);
        if (inspector_.Stopped()) return;
    }
    SetPaused(false);
}

bool KvBattleStage::Back() {
    if (!hasBattle_ || inspector_.Slot() < 0) return false;
    SetPaused(true);
    // Attached during the battle, the inspector learns the lines before by a replay.
    if (inspector_.BackTick() < 0 && !inspector_.KnowsHistory()) SeekToTick(battle_.Ticks());
    const int64_t tick = inspector_.BackTick();
    if (tick < 0) return false;
    SeekToTick(tick);
    return true;
}

bool KvBattleStage::StartBattle(const std::vector<KvFile>& files, uint32_t seed) {
    return StartBattle(ChoicesOf(files), seed);
}

void KvBattleStage::ClearShow() {
    scene_.Clear();
    {
        SceneHeld held(scene_);
        scenePart_.Clear();
        effectsPart_.Clear();
        shown_.Clear();
    }
    pending_.clear();
    clock_.tick = 0;
    verdict_.clear();
}

void KvBattleStage::StartWorker() {
    worker_.StartPaced(battle_.Seed(), [this] { return WorkerTick(); }, pacer_);
}

bool KvBattleStage::WorkerTick() {
    std::lock_guard held(battle_.Scheduler().Mutex());
    if (!battle_.Tick()) return false;
    inspector_.AfterTick();
    return true;
}

void KvBattleStage::StopWorker() { worker_.Stop(); }

void KvBattleStage::Advance(int64_t ticks) {
    battle_.RunUntil(static_cast<double>(battle_.Ticks() + ticks) * battle_.Dt(), false);
}

void KvBattleStage::Render() {
    context_.MakeCurrent();
    ShowUpTo(battle_.Ticks());
    const bool paused = Paused();
    scene_.Panels().SetBattle({battle_.Seed(), clock_.Time(), Speed(), paused, verdict_.c_str()});
    scene_.Render();
    UpdateSound(paused);
}

void KvBattleStage::Update() {
    ShowUpTo(battle_.Ticks());
    UpdateSound(Paused());
}

void KvBattleStage::UpdateSound(bool paused) {
    if (!sound_) return;
    // A paused battle is silent where it stands: engines and shells go on when it does.
    sound_->SetAllPaused(paused);
    sound_->Update();
}

void KvBattleStage::ShowUpTo(int64_t completed, bool seeking) {
    battle_.TakeEvents(completed, pending_);
    burstBefore_.clear();
    if (seeking) {
        for (const KvBattleEvent& event : pending_)
            if (event.kind == KvBattleEvent::Kind::ShellExploded) burstBefore_.push_back(event.shell.id);
        std::sort(burstBefore_.begin(), burstBefore_.end());
        effectsPart_.SetReplaying(true);
    }
    SceneHeld held(scene_);
    size_t next = 0;
    auto applyDue = [&] {
        for (; next < pending_.size() && pending_[next].tick <= clock_.tick; ++next) Apply(pending_[next], seeking, completed);
    };
    applyDue();
    // Each tick's events first, then the tick's step, as the battle had them: what a tick
    // creates is stepped from the next one on. While nothing is shown there is nothing to
    // step: straight on to the tick of the next event.
    while (clock_.tick < completed) {
        if (shown_.Owned().empty()) {
            const int64_t nextEvent = next < pending_.size() ? std::min(pending_[next].tick, completed) : completed;
            clock_.tick = std::max(clock_.tick, nextEvent - 1);
        }
        ++clock_.tick;
        applyDue();
        showScheduler_.Tick();
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(next));
    if (seeking) effectsPart_.SetReplaying(false);
    furthestTick_ = std::max(furthestTick_, clock_.tick);
    scenePart_.PrepareFrame();
    if (verdict_.empty() && battle_.Decided() && clock_.tick >= battle_.Decision().ticks) verdict_ = VerdictOf(battle_.Decision());
}

void KvBattleStage::Apply(const KvBattleEvent& event, bool seeking, int64_t target) {
    if (event.kind == KvBattleEvent::Kind::RobotDied) NoteDeath(event);
    if (seeking) {
        // What has left no trace by the seek's tick is not shown: the sounds, the shells that
        // burst, the marks that faded; the fire would have burnt out or starts afresh.
        switch (event.kind) {
        case KvBattleEvent::Kind::Collision: return;
        case KvBattleEvent::Kind::ShellFired:
        case KvBattleEvent::Kind::ShellExploded:
            if (std::binary_search(burstBefore_.begin(), burstBefore_.end(), event.shell.id)) return;
            break;
        case KvBattleEvent::Kind::Explosion:
            if (target - event.tick <= battle_.TicksFor(KvTrack::kLifetime) + 1) scenePart_.Apply(event);
            return;
        case KvBattleEvent::Kind::RobotDied: break;
        }
    }
    scenePart_.Apply(event);
    effectsPart_.Apply(event);
}

void KvBattleStage::NoteDeath(const KvBattleEvent& event) {
    const KvGameHolder& holder = battle_.Holder();
    for (size_t k = 0; k < holder.robots.size(); ++k) {
        if (holder.robots[k] == event.robot)
            deathTimes_[static_cast<size_t>(holder.robotSlots[k])] = static_cast<double>(event.tick) * battle_.Dt();
    }
}

BattleOutcome KvBattleStage::Outcome() {
    if (!worker_.Running()) return battle_.Outcome();
    WorkerHeld held(battle_.Scheduler());
    return battle_.Outcome();
}

void KvBattleStage::Listener::MoveListener(const KvVec3& position, const KvVec3& backward, const KvVec3& up) {
    // The camera looks down its own -Z: OpenAL's listener faces where the camera looks.
    if (sound) sound->SetListener(position, backward * -1.0, up, {0, 0, 0});
}

}  // namespace kv
