#pragma once
// How a robot shows itself in the scene: its sixteen parts in its colour, standing on the
// hilly ground and leaning with it, the turret and the scanner head turned to their last
// world directions, the wheels spinning with its speed and a shell in the barrel while the
// cannon is loaded. It also keeps the robot's follow camera and engine sound in step.
//
// Everything here runs on the main thread inside the frame, under the scene lock, and reads
// the robot only through one RobotValues snapshot per frame. Its destructor touches no
// OpenGL.

#include <cstdint>
#include <functional>

#include "assets/ModelParts.h"
#include "render/DrawObject.h"
#include "render/Lighting.h"
#include "render/VisibilityTree.h"
#include "sim/Robot.h"

namespace kv {

class KvHeightField;
struct KvRobotShadow;
class KvTextureSet;
class SoundSystem;
class View;

// The engine's channel, started paused by the presenter; the first frame starts it looping.
struct EngineSound {
    SoundSystem* system = nullptr;  // none: silent
    int32_t channel = -1;
    bool started = false;
    uint32_t lengthMs = 0;
};

class KvRobotDrawable : public KvDrawObject, public KvVisObject {
public:
    // A linked copy of the part template painted in the robot's colour. clock gives seconds
    // (real time in the game); the first frame's wheel spin is measured from its reading now.
    KvRobotDrawable(const KvGLRobot& robot, const KvModelParts& partTemplate, const KvHeightField& ground,
                    const KvTextureSet* textures, std::function<double()> clock);

    // The view that follows the robot (not owned); its panel shows this drawable's snapshot.
    void SetView(View* view) { view_ = view; }
    void SetEngine(const EngineSound& engine) { engine_ = engine; }
    // The robot's shadow map (not owned), drawn each frame while the shadow mode is maps.
    void SetShadow(KvRobotShadow* shadow) { shadow_ = shadow; }
    EngineSound& Engine() { return engine_; }

    void OnAttach(KvScene& scene) override;
    void OnDetach(KvScene& scene) override;
    // Takes this frame's snapshot (the view's, when it has one), poses the model and, while
    // the shadow mode is maps, draws the shadow map and lays its track.
    void PrepareFrame() override;
    void Draw(KvScene& scene, bool isMainView) override;
    // Each drawn part's shadow volume, when the robot is visible.
    void DrawShadowVolume() override;
    void UpdateVisibility(VisibilityTree& tree) override;

    // Poses the model for values at clock reading now: body frame, follow camera, engine,
    // turret, scanner, wheels, light directions and bounds.
    void Pose(const RobotValues& values, double now);

    KvModelParts& Parts() { return parts_; }
    const RobotValues& Shown() const { return values_; }
    // Whether the last Draw drew the robot (robot views draw only what their cull marked).
    bool Drawn() const { return drawn_; }

private:
    void InvalidateParts();

    const KvGLRobot& robot_;
    KvModelParts parts_;
    Material material_;
    const KvHeightField& ground_;
    const KvTextureSet* textures_;
    std::function<double()> clock_;
    double lastFrameTime_;
    View* view_ = nullptr;
    EngineSound engine_;
    KvRobotShadow* shadow_ = nullptr;
    RobotValues values_;
    bool drawn_ = false;
};

}  // namespace kv
