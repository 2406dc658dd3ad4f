#pragma once
// A cannon shell in the scene: the "Rocket" mesh in its robot's colour, flying along its arc
// from the muzzle down to the ground at the end of its flight, pointing along the arc.
//
// The frame reads the shell's constant flight (launch point, direction, arc, range) and how
// far it has flown, which the simulation publishes on its own. The simulation thread creates
// and destroys this object (the shell explodes and is deleted inside a tick): its destructor
// touches no OpenGL.

#include <cstdint>

#include "core/Matrix.h"
#include "render/DrawObject.h"
#include "render/Lighting.h"
#include "render/VisibilityTree.h"

namespace kv {

class KvMesh;
class KvRocket;
class KvTextureSet;
class SoundSystem;

// The shell's transform at horizontal arc distance s: its point on the arc, its x axis along
// the arc's tangent, y horizontal across it and z perpendicular to both.
KvMatrix ShellTransform(const KvRocket& rocket, double s);

class KvShellDrawable : public KvDrawObject, public KvVisObject {
public:
    // mesh and textures may be null: the shell then draws nothing. The mesh's shadow work
    // arrays are written while the shell draws its shadow volume.
    KvShellDrawable(const KvRocket& rocket, KvMesh* mesh, const KvTextureSet* textures);

    // The "rocket" sound, started paused by the presenter; the first frame unpauses it.
    void SetSound(SoundSystem* system, int32_t channel) {
        sound_ = system;
        channel_ = channel;
    }
    int32_t Channel() const { return channel_; }

    void PrepareFrame() override;
    void Draw(KvScene& scene, bool isMainView) override;
    // The mesh's shadow volume under the shell's transform, when the shell is visible.
    void DrawShadowVolume() override;
    void UpdateVisibility(VisibilityTree& tree) override;

    const KvMatrix& Transform() const { return transform_; }
    const KvVec3& LightDirection() const { return lightDirection_; }

private:
    const KvRocket& rocket_;
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
