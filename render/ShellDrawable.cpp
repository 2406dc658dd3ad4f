#include "render/ShellDrawable.h"

#include <epoxy/gl.h>

#include "assets/Mesh.h"
#include "assets/ModelParts.h"
#include "assets/ResourceList.h"
#include "render/MeshDraw.h"
#include "render/ShadowVolume.h"
#include "sim/Rocket.h"
#include "sound/SoundSystem.h"

namespace kv {

KvMatrix ShellTransform(const KvRocket& rocket, double s) {
    const KvVec3 point = rocket.launchPoint + KvVec3{rocket.direction.x * s, rocket.ArcHeight(s), rocket.direction.y * s};
    const KvVec3 forward = Normalised({rocket.direction.x, 2 * rocket.arcA * s + rocket.arcB, rocket.direction.y});
    const KvVec3 side = Normalised({forward.z, 0, -forward.x});
    const KvVec3 up = Cross(forward, side);
    return {forward.x, forward.y, forward.z, 0, side.x, side.y, side.z, 0,
            up.x,      up.y,      up.z,      0, point.x, point.y, point.z, 1};
}

KvShellDrawable::KvShellDrawable(const KvRocket& rocket, KvMesh* mesh, const KvTextureSet* textures)
    : rocket_(rocket),
      mesh_(mesh),
      textures_(textures),
      textureKey_(rocket.colourIndex >= 0 && rocket.colourIndex < kColourCount
                      ? kRobotColours[rocket.colourIndex].shellTexture
                      : nullptr) {
    PrepareFrame();
}

void KvShellDrawable::PrepareFrame() {
    transform_ = ShellTransform(rocket_, rocket_.ArcDistance(rocket_.Travelled()));
    const KvVec3 point{transform_[12], transform_[13], transform_[14]};
    if (sound_ && channel_ >= 0) sound_->SteerShell(channel_, point, soundStarted_);
    // The light's direction in the shell's own frame, for its shadow volume.
    lightDirection_ = TransformDirection(RigidInverse(transform_), kShadowLightDirection);
    bounds = {};
    if (mesh_) {
        bool first = true;
        GrowBox(*mesh_, transform_, bounds.min, bounds.max, first);
    }
}

void KvShellDrawable::Draw(KvScene& scene, bool isMainView) {
    if ((!visible && !isMainView) || !mesh_ || !textures_) return;
    material_.Apply();
    BindPartTexture(*textures_, textureKey_);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixd(transform_.data());
    DrawTextured(*mesh_);
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
}

void KvShellDrawable::DrawShadowVolume() {
    if (!visible || !mesh_) return;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixd(transform_.data());
    DrawVolume(*mesh_, lightDirection_);
    glPopMatrix();
}

void KvShellDrawable::UpdateVisibility(VisibilityTree& tree) { tree.Insert(*this); }

}  // namespace kv
