#include "render/RobotDrawable.h"

#include <epoxy/gl.h>

#include <cmath>

#include "core/Angles.h"
#include "core/Random.h"
#include "render/MeshDraw.h"
#include "render/Scene.h"
#include "render/ShadowMap.h"
#include "render/ShadowVolume.h"
#include "render/View.h"
#include "sim/HeightField.h"
#include "sim/RobotGeometry.h"
#include "sound/SoundSystem.h"

namespace kv {

namespace {

constexpr double kWheelTurnPerSpeed = 0.1;  // radians per second per unit of speed

// The rotation about a wheel's local x axis (its axle) by phi radians.
KvMatrix SpinAboutX(double phi) {
    const double c = std::cos(phi), s = std::sin(phi);
    return {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1};
}

}  // namespace

KvRobotDrawable::KvRobotDrawable(const KvGLRobot& robot, const KvModelParts& partTemplate, const KvHeightField& ground,
                                 const KvTextureSet* textures, std::function<double()> clock)
    : robot_(robot),
      parts_(partTemplate),
      ground_(ground),
      textures_(textures),
      clock_(std::move(clock)),
      lastFrameTime_(clock_()),
      values_(robot.Values()) {
    parts_.SetColour(robot.colourIndex);
}

void KvRobotDrawable::OnAttach(KvScene& scene) {
    for (KvModelPart& part : parts_.parts) scene.AddTransform(&part.node);
}

void KvRobotDrawable::OnDetach(KvScene& scene) {
    for (KvModelPart& part : parts_.parts) scene.RemoveTransform(&part.node);
}

void KvRobotDrawable::PrepareFrame() {
    // The scene took the view's snapshot at the start of this frame; a robot without a view
    // takes its own.
    Pose(view_ && view_->Robot() == &robot_ ? view_->shown : robot_.Values(), clock_());
    if (shadow_ && scene && scene->Settings().shadowMode == 2) RenderShadowMap(*shadow_, parts_, bounds, ground_);
}

// World matrices are cached per frame: a part whose local matrix changes here (or whose
// parent's does) is recomputed from the new one.
void KvRobotDrawable::InvalidateParts() {
    for (KvModelPart& part : parts_.parts) part.node.Invalidate();
}

void KvRobotDrawable::Pose(const RobotValues& values, double now) {
    values_ = values;
    parts_.shellShown = values.cannonReady;

    // The body stands on its ground point and leans with the slope.
    const double gx = SceneX(values.position.x), gz = SceneZ(values.position.y);
    const KvVec3 ground{gx, ground_.HeightAt(gx, gz), gz};
    parts_[KvModelParts::kBody].node.local = RobotGeometry::BodyFrame(ground_, values.position, values.heading);
    InvalidateParts();

    if (view_) view_->FollowRobotAt(ground);

    if (engine_.system && engine_.channel >= 0) {
        // A random point of the sound for the first start, so that engines do not beat.
        const uint32_t startMs =
            engine_.started ? 0 : static_cast<uint32_t>(NextRandom() * static_cast<double>(engine_.lengthMs) / 32767);
        engine_.system->SteerEngine(engine_.channel, ground, SoundSystem::EngineFrequency(values.speed),
                                    engine_.started, startMs);
    }

    // Turret, then the scanner head it carries, each to its last world direction.
    TransformNode& turret = parts_[KvModelParts::kTurret].node;
    ProductInPlace(turret.local, RobotGeometry::TurnTowards(turret.GetWorld(), Radians(values.cannonDirection)));
    InvalidateParts();
    TransformNode& scanner = parts_[KvModelParts::kScannerHead].node;
    ProductInPlace(scanner.local,
                   RobotGeometry::TurnTowards(scanner.GetWorld(), Radians(static_cast<double>(values.scanDirection))));
    InvalidateParts();

    const double elapsed = now - lastFrameTime_;
    lastFrameTime_ = now;
    const KvMatrix spin = SpinAboutX(elapsed * values.speed * kWheelTurnPerSpeed);
    for (int w = KvModelParts::kWheel1; w <= KvModelParts::kWheel4; ++w) {
        ProductInPlace(parts_[w].node.local, spin);
        parts_[w].node.Invalidate();
    }

    parts_.UpdateLightDirections();
    parts_.BoundingBox(bounds.min, bounds.max);
}

void KvRobotDrawable::Draw(KvScene& scene, bool isMainView) {
    drawn_ = visible || isMainView;
    if (!drawn_ || !textures_) return;
    material_.Apply();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    DrawTextured(parts_, *textures_);
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
}

void KvRobotDrawable::DrawShadowVolume() {
    if (!visible) return;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    DrawVolumes(parts_);
    glPopMatrix();
}

void KvRobotDrawable::UpdateVisibility(VisibilityTree& tree) { tree.Insert(*this); }

}  // namespace kv
