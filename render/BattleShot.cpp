#include "render/BattleShot.h"

namespace kv {

namespace {
constexpr double kStartYaw = 0.0, kStartPitch = 0.7;  // the main camera as a battle starts
}  // namespace

BattleShot::BattleShot(GLContext& context, const ResourceStore& store, const KvTextureSet& textures,
                       const HeadlessBattleOptions& options, const RenderSettings& settings,
                       const KvScenePresenter::Factory& makePresenter)
    : options_(options),
      settings_(settings),
      presenter_(makePresenter(scene_, ground_, store, &textures, options.seed)),
      battle_(options_, ground_, presenter_.get()) {
    scene_.Init(context, &ground_, &textures);
    scene_.SetSettings(&settings_);
    mainView_.SetWindow(&context);
    mainView_.camera.Orbit(kStartYaw, kStartPitch);
    scene_.AddView(&mainView_);
    presenter_->SetHolder(&battle_.Holder());
    presenter_->SetClock([this] { return battle_.Holder().BattleTime(); });
}

BattleShot::~BattleShot() {
    // As the game shuts down: the scene forgets everything before the battle is cleared.
    scene_.Clear();
}

void BattleShot::SetShadowMode(int32_t mode) {
    const int32_t old = settings_.shadowMode;
    settings_.shadowMode = mode;
    presenter_->ShadowModeChanged(old, mode);
}

void BattleShot::Advance(int64_t ticks) {
    battle_.RunUntil(static_cast<double>(battle_.Ticks() + ticks) * options_.dt);
}

}  // namespace kv
