#include "stage/BattleStage.h"

#include "assets/ResourceStore.h"
#include "render/GLContext.h"
#include "sim/RobotGeometry.h"
#include "sound/SoundSystem.h"

namespace kv {

namespace {

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

// Holds a running worker off the battle for a scope, leaving a battle that paused itself so.
class WorkerHeld {
public:
    explicit WorkerHeld(ProcessScheduler& scheduler) : scheduler_(scheduler), wasPaused_(scheduler.Paused()) {
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
    ProcessScheduler& scheduler = battle_.Scheduler();
    const bool running = worker_.Running();
    if (running) scheduler.SetPaused(true);
    context_.MakeCurrent();
    ClearShow();
    battle_.Clear();
    ground_.AttachTree(scene_.GroundTree());
    battle_.Holder().choices = choices;
    effectsPart_.SeedEffects(seed);
    const bool ready = battle_.SetUp(seed);
    if (ready) {
        SceneHeld held(scene_);
        for (KvGLRobot* robot : battle_.Holder().robots) scenePart_.RobotAdded(*robot);
    }
    if (running) scheduler.SetPaused(false);
    return ready;
}

bool KvBattleStage::StartBattle(const std::vector<KvFile>& files, uint32_t seed) {
    std::array<RobotChoice, KvGameHolder::kMaxRobots> choices;
    for (size_t k = 0; k < choices.size(); ++k) {
        const bool chosen = k < files.size();
        choices[k] = {chosen, static_cast<int32_t>(k), chosen ? files[k] : KvFile()};
    }
    return StartBattle(choices, seed);
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
}

void KvBattleStage::StartWorker() {
    worker_.StartPaced(battle_.Seed(), [this] { return battle_.Tick(); }, pacer_);
}

void KvBattleStage::StopWorker() { worker_.Stop(); }

void KvBattleStage::Advance(int64_t ticks) {
    battle_.RunUntil(static_cast<double>(battle_.Ticks() + ticks) * battle_.Dt(), false);
}

void KvBattleStage::Render() {
    context_.MakeCurrent();
    ShowUpTo(battle_.Ticks());
    scene_.Panels().SetBattle(battle_.Seed(), clock_.Time());
    scene_.Render();
    if (sound_) sound_->Update();
}

void KvBattleStage::Update() {
    ShowUpTo(battle_.Ticks());
    if (sound_) sound_->Update();
}

void KvBattleStage::ShowUpTo(int64_t completed) {
    battle_.TakeEvents(completed, pending_);
    SceneHeld held(scene_);
    size_t next = 0;
    auto applyDue = [&] {
        for (; next < pending_.size() && pending_[next].tick <= clock_.tick; ++next) Apply(pending_[next]);
    };
    applyDue();
    // Each tick's events first, then the tick's step, as the battle had them: what a tick
    // creates is stepped from the next one on.
    while (clock_.tick < completed) {
        ++clock_.tick;
        applyDue();
        showScheduler_.Tick();
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(next));
    scenePart_.PrepareFrame();
}

void KvBattleStage::Apply(const KvBattleEvent& event) {
    scenePart_.Apply(event);
    effectsPart_.Apply(event);
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
