#include "fx/Debris.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>

#include "assets/ResourceList.h"
#include "core/Angles.h"
#include "fx/Effects.h"
#include "fx/Particles.h"
#include "render/MeshDraw.h"
#include "render/Scene.h"
#include "render/ShadowVolume.h"
#include "sim/HeightField.h"

namespace kv {

namespace {

// A 3 x 3 rotation given by its rows, as a column-order 4 x 4 matrix.
KvMatrix FromRows(const std::array<KvVec3, 3>& rows) {
    KvMatrix m = Identity();
    for (int r = 0; r < 3; ++r) {
        m[0 * 4 + r] = rows[r].x;
        m[1 * 4 + r] = rows[r].y;
        m[2 * 4 + r] = rows[r].z;
    }
    return m;
}

KvMatrix Rx(double a) {
    const double c = std::cos(a), s = std::sin(a);
    return FromRows({KvVec3{1, 0, 0}, KvVec3{0, c, s}, KvVec3{0, -s, c}});
}

KvMatrix Ry(double a) {
    const double c = std::cos(a), s = std::sin(a);
    return FromRows({KvVec3{c, 0, -s}, KvVec3{0, 1, 0}, KvVec3{s, 0, c}});
}

KvMatrix Rz(double a) {
    const double c = std::cos(a), s = std::sin(a);
    return FromRows({KvVec3{c, s, 0}, KvVec3{-s, c, 0}, KvVec3{0, 0, 1}});
}

}  // namespace

KvDebris::KvDebris(const KvDebrisParts& partTemplate, int32_t colourIndex, const KvVec3& position, double heading)
    : KvProcess(false), effects_(&UnownedEffects()), parts_(partTemplate) {
    if (colourIndex >= 0 && colourIndex < kColourCount) parts_.SetBodyTexture(kRobotColours[colourIndex].bodyTexture);
    parts_.PlaceAndDetach(KvDebrisParts::RootMatrix(position.x, position.y, position.z, heading));
}

void KvDebris::Step(double dt) {
    if (state_ == kWaiting) {
        if (timer_ > 0) {
            timer_ -= dt;
            return;
        }
        Explode();
        state_ = kFlying;
        return;
    }
    Fly(dt);
}

void KvDebris::Explode() {
    // Without an owner for them, or while a seek skips particles, the burst and the smokes
    // are left out.
    const bool owned = effects_->owner != nullptr && effects_->particles;
    if (owned) {
        auto* blast = new KvGreatExplosion();
        blast->SetEffects(*effects_);
        blast->SetTexture(effects_->Texture("smoke"));
        blast->Place(&parts_.root);
        effects_->Start(*blast, *blast);
    }

    RandomGenerator& random = random_;
    const int thrown = (random.Next() & 3) + 1;
    parts_.shown.fill(0);
    for (int k = 0; k < thrown; ++k) {
        FlyingPiece f;
        auto taken = [&](int index) {
            return std::any_of(flying_.begin(), flying_.end(), [&](const FlyingPiece& o) { return o.piece == index; });
        };
        do {
            f.piece = random.Next() % KvDebrisParts::kPieceCount;
        } while (taken(f.piece));
        parts_.shown[static_cast<size_t>(f.piece)] = 1;
        for (double& rate : f.spin) rate = random.Next() * kPi * 2 / 32767;
        const double azimuth = random.Next() * kPi * 2 / 32767;
        f.velocity = {std::cos(azimuth), 0.5 + random.Next() * 3.0 / 32767, std::sin(azimuth)};
        if (owned) {
            f.smoke = new KvPartSmoke();
            f.smoke->SetEffects(*effects_);
            f.smoke->SetTexture(effects_->Texture("smoke"));
            f.smoke->SetParent(&parts_.pieces[static_cast<size_t>(f.piece)].node);
            effects_->Start(*f.smoke, *f.smoke);
        }
        flying_.push_back(f);
    }
    timer_ = 0;
}

void KvDebris::Fly(double dt) {
    timer_ += dt;
    bool resting = true;
    for (FlyingPiece& f : flying_) {
        if (f.landed) continue;
        resting = false;
        TransformNode& node = parts_.pieces[static_cast<size_t>(f.piece)].node;
        f.rotation = Product(Product(Rx(f.spin[0] * dt), Ry(f.spin[1] * dt)), Rz(f.spin[2] * dt));
        ProductInPlace(node.local, f.rotation);
        KvVec3 at = KvVec3{node.local[12], node.local[13], node.local[14]} + f.velocity * dt;
        f.velocity.y -= kGravity * dt;
        const double groundHeight = effects_->ground ? effects_->ground->HeightAt(at.x, at.z) : 0.0;
        if (at.y - groundHeight < kLandingHeight && timer_ > kFlightBeforeLanding) {
            f.landed = true;
            at.y = groundHeight;
            if (f.smoke) f.smoke->Stop();
            f.channel = effects_->PlayOnce("hit", at);
        }
        node.local[12] = at.x;
        node.local[13] = at.y;
        node.local[14] = at.z;
        node.Invalidate();
    }
    // At rest nothing changes again: a scheduler with a steady dt need not step the wreck.
    if (resting) idleTicks = kIdleForever;
}

// ---------------------------------------------------------------------------------------
// Drawing (inside the frame)

void KvDebris::OnAttach(KvScene& scene) {
    scene.AddTransform(&parts_.root);
    for (KvModelPart& piece : parts_.pieces) scene.AddTransform(&piece.node);
}

void KvDebris::OnDetach(KvScene& scene) {
    scene.RemoveTransform(&parts_.root);
    for (KvModelPart& piece : parts_.pieces) scene.RemoveTransform(&piece.node);
}

void KvDebris::PrepareFrame() {
    for (int i = 0; i < KvDebrisParts::kPieceCount; ++i) {
        KvModelPart& piece = parts_.pieces[static_cast<size_t>(i)];
        if (!piece.mesh) continue;
        const KvMatrix& world = piece.node.GetWorld();
        piece.lightDirection = TransformDirection(RigidInverse(world), kShadowLightDirection);
        bool first = true;
        GrowBox(*piece.mesh, world, vis_[static_cast<size_t>(i)].bounds.min, vis_[static_cast<size_t>(i)].bounds.max,
                first);
    }
}

void KvDebris::Draw(KvScene& scene, bool isMainView) {
    if (!effects_->textures) return;
    material_.Apply();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    DrawTextured(parts_, *effects_->textures,
                 [&](int piece) { return isMainView || vis_[static_cast<size_t>(piece)].visible; });
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
}

void KvDebris::DrawShadowVolume() {
    glMatrixMode(GL_MODELVIEW);
    for (int i = 0; i < KvDebrisParts::kPieceCount; ++i) {
        KvModelPart& piece = parts_.pieces[static_cast<size_t>(i)];
        if (!piece.mesh || !parts_.shown[static_cast<size_t>(i)]) continue;
        glPushMatrix();
        glMultMatrixd(piece.node.GetWorld().data());
        DrawVolume(*piece.mesh, piece.lightDirection);
        glPopMatrix();
    }
}

void KvDebris::UpdateVisibility(VisibilityTree& tree) {
    for (int i = 0; i < KvDebrisParts::kPieceCount; ++i) {
        if (parts_.pieces[static_cast<size_t>(i)].mesh && parts_.shown[static_cast<size_t>(i)])
            tree.Insert(vis_[static_cast<size_t>(i)]);
    }
}

}  // namespace kv
