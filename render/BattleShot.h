#pragma once
// A headless battle drawn by the game's scene: the battle runs on the calling thread with its
// fixed dt, exactly as kolvex-battle runs it, and the frame is drawn between ticks into any
// context (the offscreen renderer's, the drawing tests'). The wheels turn with simulated
// time, so that a picture never depends on how fast the machine ran the battle.

#include <memory>

#include "render/Ground.h"
#include "render/RenderSettings.h"
#include "render/Scene.h"
#include "render/ScenePresenter.h"
#include "render/View.h"
#include "sim/HeadlessBattle.h"

namespace kv {

class GLContext;
class KvTextureSet;
class ResourceStore;

class BattleShot {
public:
    // The context, store and textures outlive the shot; the context is current. The battle is
    // shown by the presenter makePresenter makes (the plain scene presenter by default; the
    // game's effects presenter for a battle with smoke, fire and debris).
    BattleShot(GLContext& context, const ResourceStore& store, const KvTextureSet& textures,
               const HeadlessBattleOptions& options, const RenderSettings& settings,
               const KvScenePresenter::Factory& makePresenter = KvScenePresenter::Make);
    ~BattleShot();
    BattleShot(const BattleShot&) = delete;
    BattleShot& operator=(const BattleShot&) = delete;

    // Builds the battle; false with the set-up message in Error().
    bool SetUp() { return battle_.SetUp(); }
    const KvString& Error() const { return battle_.Error(); }
    // The main camera at the game's mouse angles (radians).
    void SetCamera(double yaw, double pitch) { mainView_.camera.Orbit(yaw, pitch); }

    // Ticks until the battle time reaches time (or the battle is decided).
    void RunUntil(double time) { battle_.RunUntil(time); }
    // Ticks n more whole ticks (fewer once the battle is decided).
    void Advance(int64_t ticks);
    // One frame of every view.
    void Render() { scene_.Render(); }

    KvScene& Scene() { return scene_; }
    // The settings the scene reads each frame.
    RenderSettings& Settings() { return settings_; }
    // A new shadow mode as the game's Setup menu sets it: stored, then the presenter told.
    void SetShadowMode(int32_t mode);
    View& MainView() { return mainView_; }
    KvScenePresenter& Presenter() { return *presenter_; }
    HeadlessBattle& Battle() { return battle_; }
    KvGameHolder& Holder() { return battle_.Holder(); }

private:
    HeadlessBattleOptions options_;
    RenderSettings settings_;
    KvGround ground_;
    KvScene scene_;
    View mainView_{ViewKind::Main};
    // The presenter outlives the battle, whose clearing it is told of.
    std::unique_ptr<KvScenePresenter> presenter_;
    HeadlessBattle battle_;
};

}  // namespace kv
