#include "render/ShellDrawable.h"

#include <epoxy/gl.h>

#include "assets/Mesh.h"
#include "assets/ModelParts.h"
#include "assets/ResourceList.h"
#include "render/MeshDraw.h"
#include "render/ShadowVolume.h"
#include "sound/SoundSystem.h"

namespace kv {

KvMatrix ShellTransform(const KvShellFlight& flight, double s) {
    const KvVec3 point = flight.launchPoint + KvVec3{flight.direction.x * s, flight.ArcHeight(s), flight.direction.y * s};
    const KvVec3 forward = Normalised({flight.direction.x, 2 * flight.arcA * s + flight.arcB, flight.direction.y});
    const KvVec3 side = Normalised({forward.z, 0, -forward.x});
    const KvVec3 up = Cross(forward, side);
    return {forward.x, forward.y, forward.z, 0, side.x, side.y, side.z, 0,
            up.x,      up.y,      up.z,      0, point.x, point.y, point.z, 1};
}

KvShellDrawable::KvShellDrawable(const KvShellFlight& flight, KvMesh* mesh, const KvTextureSet* textures)
    : flight_(flight),
      mesh_(mesh),
      textures_(textures),
      textureKey_(flight.colourIndex >= 0 && flight.colourIndex < kColourCount
                      ? kRobotColours[flight.colourIndex].shellTexture
                      : nullptr) {
    PrepareFrame();
}

void KvShellDrawable::PrepareFrame() {
    transform_ = ShellTransform(flight_, flight_.ArcDistance(travelled_));
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
