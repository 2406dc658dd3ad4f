#include "render/ScenePresenter.h"

#include "assets/ResourceStore.h"
#include "render/Scene.h"
#include "render/TextureSet.h"
#include "render/Track.h"
#include "sim/HeightField.h"
#include "sim/ProcessGroup.h"
#include "sound/SoundBank.h"
#include "sound/SoundSystem.h"

namespace kv {

namespace {
constexpr float kEngineVolume = 0.7f;
constexpr float kShellVolume = 0.3f;
}  // namespace

KvScenePresenter::KvScenePresenter(KvScene& scene, const KvHeightField& ground, const ResourceStore& store,
                                   const KvTextureSet* textures, KvProcessOwner& marks, const KvShowClock& clock)
    : scene_(scene), ground_(ground), store_(store), textures_(textures), marks_(marks), clock_(clock) {}

KvScenePresenter::~KvScenePresenter() { Clear(); }

void KvScenePresenter::SetSound(SoundSystem* system, const KvSoundBank* bank) {
    sound_ = system;
    bank_ = bank;
}

bool KvScenePresenter::SoundOn() const { return scene_.Settings().soundOn; }

const KvSound* KvScenePresenter::Sound(const char* key) const { return bank_ ? bank_->GetSound(key) : nullptr; }

int32_t KvScenePresenter::PlayOnce(const char* key, const KvVec3& at) const {
    return sound_ ? sound_->PlayOneShot(Sound(key), at, SoundOn()) : -1;
}

void KvScenePresenter::RobotAdded(KvGLRobot& robot) {
    auto view = std::make_unique<View>(ViewKind::Robot);
    view->SetRobot(&robot);
    // The wheels turn with battle time, so that a picture never depends on the machine's pace.
    auto drawable = std::make_unique<KvRobotDrawable>(robot, store_.RobotParts(), ground_, textures_,
                                                      [this] { return clock_.Time(); });
    auto shadow = std::make_unique<KvRobotShadow>();
    drawable->SetView(view.get());
    drawable->SetShadow(shadow.get());
    if (sound_) {
        const KvSound* motor = Sound("motor");
        drawable->SetEngine({sound_, sound_->StartPaused(motor, kEngineVolume, SoundOn()), false,
                             motor ? motor->lengthMs : 0});
    }
    scene_.AddObject(*drawable, false);
    if (scene_.Settings().shadowMode == 2) CreateShadowMap(*shadow, scene_, false);
    scene_.AddView(view.get());
    robots_[&robot] = {std::move(view), std::move(drawable), std::move(shadow)};
}

void KvScenePresenter::Apply(const KvBattleEvent& event) {
    switch (event.kind) {
    case KvBattleEvent::Kind::RobotDied: RobotDied(event); break;
    case KvBattleEvent::Kind::Collision: PlayOnce("collision", event.point); break;
    case KvBattleEvent::Kind::ShellFired: ShellFired(event); break;
    case KvBattleEvent::Kind::ShellExploded: DropShell(event.shell.id); break;
    case KvBattleEvent::Kind::Explosion: Explosion(event); break;
    }
}

void KvScenePresenter::RobotDied(const KvBattleEvent& event) {
    auto it = robots_.find(event.robot);
    if (it == robots_.end()) return;
    DropRobotDrawable(it->second);
    // The view stays: its panel goes on showing the dead robot, and its camera the place
    // where it died (even when no frame was drawn while it lived).
    scene_.RemoveTrack(it->second.shadow->track, false);
    const double x = SceneX(event.values.position.x), z = SceneZ(event.values.position.y);
    it->second.view->FollowRobotAt({x, ground_.HeightAt(x, z), z});
    it->second.view->destroyedAt = static_cast<double>(event.tick) * clock_.dt;
}

void KvScenePresenter::ShellFired(const KvBattleEvent& event) {
    auto drawable = std::make_unique<KvShellDrawable>(event.shell, store_.GetMesh("Rocket"), textures_);
    if (sound_) drawable->SetSound(sound_, sound_->StartPaused(Sound("rocket"), kShellVolume, SoundOn()));
    scene_.AddObject(*drawable, false);
    shells_[event.shell.id] = {std::move(drawable), event.tick};
}

void KvScenePresenter::Explosion(const KvBattleEvent& event) {
    auto* mark = new KvTrack(ground_, event.point.x, event.point.z, event.rotation, kMarkSize);
    mark->SetTexture(textures_ ? textures_->GetTexture("mark") : nullptr);
    mark->SetOwners(&scene_, &marks_);
    marks_.Add(mark);
    scene_.AddTrack(*mark, false);
}

void KvScenePresenter::PrepareFrame() {
    for (auto& [id, shell] : shells_) {
        const KvShellFlight& flight = shell.drawable->Flight();
        shell.drawable->SetTravelled(flight.TravelledAfter(clock_.tick - shell.firedTick, clock_.dt));
    }
}

void KvScenePresenter::DropRobotDrawable(RobotShown& shown) {
    if (!shown.drawable) return;
    scene_.RemoveObject(*shown.drawable, false);
    const EngineSound& engine = shown.drawable->Engine();
    if (engine.system) engine.system->StopChannel(engine.channel);
    shown.drawable.reset();
}

void KvScenePresenter::DropShell(uint64_t id) {
    auto it = shells_.find(id);
    if (it == shells_.end()) return;
    scene_.RemoveObject(*it->second.drawable, false);
    if (sound_) sound_->StopChannel(it->second.drawable->Channel());
    shells_.erase(it);
}

void KvScenePresenter::Clear() {
    for (auto& [robot, shown] : robots_) {
        DropRobotDrawable(shown);
        ReleaseShadowMap(*shown.shadow, scene_, false);
        scene_.RemoveView(shown.view.get());
    }
    robots_.clear();
    while (!shells_.empty()) DropShell(shells_.begin()->first);
}

void KvScenePresenter::ShadowModeChanged(int32_t oldMode, int32_t newMode) {
    if (oldMode == newMode) return;
    for (auto& [robot, shown] : robots_) {
        if (oldMode == 2) ReleaseShadowMap(*shown.shadow, scene_, false);
        else if (newMode == 2 && shown.drawable) CreateShadowMap(*shown.shadow, scene_, false);
    }
}

KvRobotDrawable* KvScenePresenter::RobotDrawable(const KvGLRobot& robot) const {
    auto it = robots_.find(&robot);
    return it == robots_.end() ? nullptr : it->second.drawable.get();
}

View* KvScenePresenter::RobotView(const KvGLRobot& robot) const {
    auto it = robots_.find(&robot);
    return it == robots_.end() ? nullptr : it->second.view.get();
}

const KvRobotShadow* KvScenePresenter::RobotShadow(const KvGLRobot& robot) const {
    auto it = robots_.find(&robot);
    return it == robots_.end() ? nullptr : it->second.shadow.get();
}

}  // namespace kv
