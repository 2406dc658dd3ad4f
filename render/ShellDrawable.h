#pragma once
// A cannon shell in the scene: the "Rocket" mesh in its robot's colour, flying along its arc
// from the muzzle down to the ground at the end of its flight, pointing along the arc.
//
// It keeps its own copy of the shell's constant flight and is told how far the shell has
// flown, so it never reads the simulation's shell, which the worker deletes once it explodes.

#include <cstdint>

#include "core/Matrix.h"
#include "render/DrawObject.h"
#include "render/Lighting.h"
#include "render/VisibilityTree.h"
#include "sim/Rocket.h"

namespace kv {

class KvMesh;
class KvTextureSet;
class SoundSystem;

// The shell's transform at horizontal arc distance s: its point on the arc, its x axis along
// the arc's tangent, y horizontal across it and z perpendicular to both.
KvMatrix ShellTransform(const KvShellFlight& flight, double s);

class KvShellDrawable : public KvDrawObject, public KvVisObject {
public:
    // mesh and textures may be null: the shell then draws nothing. The mesh's shadow work
    // arrays are written while the shell draws its shadow volume.
    KvShellDrawable(const KvShellFlight& flight, KvMesh* mesh, const KvTextureSet* textures);
    // How far the shell has flown, for the next frame.
    void SetTravelled(double travelled) { travelled_ = travelled; }

    // The "rocket" sound, started paused by the presenter; the first frame unpauses it.
    void SetSound(SoundSystem* system, int32_t channel) {
        sound_ = system;
        channel_ = channel;
    }
    int32_t Channel() const { return channel_; }
    const KvShellFlight& Flight() const { return flight_; }

    void PrepareFrame() override;
    void Draw(KvScene& scene, bool isMainView) override;
    // The mesh's shadow volume under the shell's transform, when the shell is visible.
    void DrawShadowVolume() override;
    void UpdateVisibility(VisibilityTree& tree) override;

    const KvMatrix& Transform() const { return transform_; }
    const KvVec3& LightDirection() const { return lightDirection_; }

private:
    KvShellFlight flight_;
    double travelled_ = 0;
    KvMesh* mesh_;
    const KvTextureSet* textures_;
    const char* textureKey_;
    Material material_;
    KvMatrix transform_ = Identity();
    KvVec3 lightDirection_;
    SoundSystem* sound_ = nullptr;
    int32_t channel_ = -1;
    bool soundStarted_ = false;
};

}  // namespace kv
