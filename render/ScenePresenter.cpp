#include "render/ScenePresenter.h"

#include <mutex>

#include "assets/ResourceStore.h"
#include "render/Scene.h"
#include "render/TextureSet.h"
#include "render/Track.h"
#include "sim/GameHolder.h"
#include "sim/Rocket.h"
#include "sound/SoundBank.h"
#include "sound/SoundSystem.h"

namespace kv {

namespace {

constexpr float kEngineVolume = 0.7f;
constexpr float kShellVolume = 0.3f;

// Holds the scene lock for a scope.
class Locked {
public:
    explicit Locked(KvLock& lock) : lock_(lock) { lock_.Lock(); }
    ~Locked() { lock_.Unlock(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    KvLock& lock_;
};

}  // namespace

KvScenePresenter::KvScenePresenter(KvScene& scene, const KvHeightField& ground, const ResourceStore& store,
                                   const KvTextureSet* textures)
    : scene_(scene), ground_(ground), store_(store), textures_(textures), clock_(PrecisionClock::Now) {}

std::unique_ptr<KvScenePresenter> KvScenePresenter::Make(KvScene& scene, const KvHeightField& ground,
                                                         const ResourceStore& store, const KvTextureSet* textures,
                                                         uint32_t effectsSeed) {
    return std::make_unique<KvScenePresenter>(scene, ground, store, textures);
}

KvScenePresenter::~KvScenePresenter() {
    Locked lock(scene_);
    for (auto& [robot, shown] : robots_) {
        DropRobotDrawable(shown);
        ReleaseShadowMap(*shown.shadow, scene_, false);
        scene_.RemoveView(shown.view.get());
    }
    for (auto& [rocket, drawable] : shells_) scene_.RemoveObject(*drawable, false);
}

void KvScenePresenter::SetSound(SoundSystem* system, const KvSoundBank* bank, bool soundOn) {
    sound_ = system;
    bank_ = bank;
    SetSoundOn(soundOn);
}

const KvSound* KvScenePresenter::Sound(const char* key) const { return bank_ ? bank_->GetSound(key) : nullptr; }

int32_t KvScenePresenter::PlayOnce(const char* key, const KvVec3& at) const {
    return sound_ ? sound_->PlayOneShot(Sound(key), at, SoundOn()) : -1;
}

void KvScenePresenter::RobotAdded(KvGLRobot& robot) {
    auto view = std::make_unique<View>(ViewKind::Robot);
    view->SetRobot(&robot);
    auto drawable = std::make_unique<KvRobotDrawable>(robot, store_.RobotParts(), ground_, textures_, clock_);
    auto shadow = std::make_unique<KvRobotShadow>();
    drawable->SetView(view.get());
    drawable->SetShadow(shadow.get());
    if (sound_) {
        const KvSound* motor = Sound("motor");
        drawable->SetEngine({sound_, sound_->StartPaused(motor, kEngineVolume, SoundOn()), false,
                             motor ? motor->lengthMs : 0});
    }
    Locked lock(scene_);
    scene_.AddObject(*drawable, false);
    if (scene_.Settings().shadowMode == 2) CreateShadowMap(*shadow, scene_, false);
    scene_.AddView(view.get());
    robots_[&robot] = {std::move(view), std::move(drawable), std::move(shadow)};
}

void KvScenePresenter::DropRobotDrawable(RobotShown& shown) {
    if (!shown.drawable) return;
    scene_.RemoveObject(*shown.drawable, false);
    const EngineSound& engine = shown.drawable->Engine();
    if (engine.system) engine.system->StopChannel(engine.channel);
    shown.drawable.reset();
}

void KvScenePresenter::RobotCleared(KvGLRobot& robot) {
    Locked lock(scene_);
    auto it = robots_.find(&robot);
    if (it == robots_.end()) return;
    DropRobotDrawable(it->second);
    ReleaseShadowMap(*it->second.shadow, scene_, false);
    scene_.RemoveView(it->second.view.get());
    robots_.erase(it);
}

void KvScenePresenter::RobotDied(KvGLRobot& robot) {
    // The view stays: its panel goes on showing the dead robot, and its camera the place
    // where it died (even when no frame was drawn while it lived).
    const Vec2 at = robot.Values().position;
    const double x = SceneX(at.x), z = SceneZ(at.y);
    Locked lock(scene_);
    auto it = robots_.find(&robot);
    if (it == robots_.end()) return;
    DropRobotDrawable(it->second);
    // Its shadow goes at once; the map itself waits for the main thread.
    scene_.RemoveTrack(it->second.shadow->track, false);
    it->second.view->FollowRobotAt({x, ground_.HeightAt(x, z), z});
}

void KvScenePresenter::Collision(KvGLRobot& robot, const KvVec3& scenePoint) {
    PlayOnce("collision", scenePoint);
}

void KvScenePresenter::ShellFired(KvRocket& rocket) {
    auto drawable = std::make_unique<KvShellDrawable>(rocket, store_.GetMesh("Rocket"), textures_);
    if (sound_) drawable->SetSound(sound_, sound_->StartPaused(Sound("rocket"), kShellVolume, SoundOn()));
    Locked lock(scene_);
    scene_.AddObject(*drawable, false);
    shells_[&rocket] = std::move(drawable);
}

void KvScenePresenter::DropShell(KvRocket& rocket) {
    Locked lock(scene_);
    auto it = shells_.find(&rocket);
    if (it == shells_.end()) return;
    scene_.RemoveObject(*it->second, false);
    if (sound_) sound_->StopChannel(it->second->Channel());
    shells_.erase(it);
}

void KvScenePresenter::ShellExploded(KvRocket& rocket) { DropShell(rocket); }

void KvScenePresenter::ShellCleared(KvRocket& rocket) { DropShell(rocket); }

void KvScenePresenter::Explosion(const KvVec3& scenePoint, double markRotation) {
    if (!holder_) return;
    auto* mark = new KvTrack(ground_, scenePoint.x, scenePoint.z, markRotation, kMarkSize);
    mark->SetTexture(textures_ ? textures_->GetTexture("mark") : nullptr);
    mark->SetOwners(&scene_, holder_);
    holder_->Add(mark);
    scene_.AddTrack(*mark, true);
}

void KvScenePresenter::ProcessCleared(KvProcess& process) {
    if (auto* mark = dynamic_cast<KvTrack*>(&process)) scene_.RemoveTrack(*mark, true);
}

void KvScenePresenter::ShadowModeChanged(int32_t oldMode, int32_t newMode) {
    if (oldMode == newMode) return;
    Locked lock(scene_);
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
