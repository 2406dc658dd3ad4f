#include "fx/Particles.h"

#include <algorithm>
#include <cmath>

#include "core/Angles.h"
#include "fx/Effects.h"
#include "render/Camera.h"
#include "render/Scene.h"
#include "render/Track.h"
#include "render/Transparent.h"
#include "sim/HeightField.h"

namespace kv {

namespace {

ParticleColour Mix(const ParticleColour& a, const ParticleColour& b, double t) {
    ParticleColour c;
    for (size_t i = 0; i < c.size(); ++i) c[i] = a[i] * (1 - t) + b[i] * t;
    return c;
}

double Mix(double a, double b, double t) { return a * (1 - t) + b * t; }

template <class Value>
Value Interpolated(const std::map<double, Value>& track, double a) {
    if (track.empty()) return Value{};
    if (a <= 0) return track.begin()->second;
    if (a >= 1) return track.rbegin()->second;
    const auto next = track.upper_bound(a);
    if (next == track.begin()) return next->second;
    if (next == track.end()) return track.rbegin()->second;
    const auto at = std::prev(next);
    return Mix(at->second, next->second, (a - at->first) / (next->first - at->first));
}

// The window depth (0 near .. 1 far) of a world point in the camera's view.
double WindowDepth(const Camera& camera, const KvVec3& p) {
    const KvMatrix& mv = camera.modelview;
    const KvMatrix& pr = camera.projection;
    const double ex = mv[0] * p.x + mv[4] * p.y + mv[8] * p.z + mv[12];
    const double ey = mv[1] * p.x + mv[5] * p.y + mv[9] * p.z + mv[13];
    const double ez = mv[2] * p.x + mv[6] * p.y + mv[10] * p.z + mv[14];
    const double ew = mv[3] * p.x + mv[7] * p.y + mv[11] * p.z + mv[15];
    const double cz = pr[2] * ex + pr[6] * ey + pr[10] * ez + pr[14] * ew;
    const double cw = pr[3] * ex + pr[7] * ey + pr[11] * ez + pr[15] * ew;
    return cw != 0 ? (cz / cw + 1) / 2 : 0;
}

}  // namespace

ParticleColour TrackValue(const ColorTrack& track, double a) { return Interpolated(track, a); }

double TrackValue(const std::map<double, double>& track, double a) { return Interpolated(track, a); }

BlendPair TrackValue(const BlendTrack& track, double a) {
    if (track.empty()) return {kGlSrcAlpha, kGlOneMinusSrcAlpha};
    if (a <= 0) return track.begin()->second;
    if (a >= 1) return track.rbegin()->second;
    const auto next = track.upper_bound(a);
    return next == track.begin() ? next->second : std::prev(next)->second;
}

// ---------------------------------------------------------------------------------------
// The process

KvParticles::KvParticles() : KvProcess(false), effects_(&UnownedEffects()) {}

KvParticles::~KvParticles() = default;

void KvParticles::SetParent(TransformNode* node) {
    mover_ = nullptr;
    emitter_.SetParent(node);
}

void KvParticles::Follow(KvMovingNode* node) {
    mover_ = node;
    emitter_.SetParent(node);
}

void KvParticles::Stop() {
    stopped_ = true;
    elapsed_ = emissionDuration;
}

void KvParticles::StopEmitting() {
    Stop();
    SetParent(nullptr);
}

void KvParticles::Step(double dt) {
    Emit(dt);
    Move(dt);
    if (Finished()) effects_->Finish(*this, *this);
    elapsed_ += dt;
}

void KvParticles::Emit(double dt) {
    if (!Emitting()) return;
    accumulator_ += emissionRate * dt;
    if (!(accumulator_ > 1)) return;
    if (mover_) mover_->Update();
    emitter_.Invalidate();
    KvMatrix world = emitter_.GetWorld();
    const KvVec3 here{world[12], world[13], world[14]};
    const KvVec3 from = emittedBefore_ ? lastEmission_ : here;
    // At least one, then while fewer than the accumulator: 2.0 emits two, 2.5 three. A moving
    // emitter leaves them spread along its way since the last emission, not in one clump.
    const int count = std::max(1, static_cast<int>(std::ceil(accumulator_)));
    for (int k = 1; k <= count; ++k) {
        const KvVec3 at = from + (here - from) * (static_cast<double>(k) / count);
        world[12] = at.x;
        world[13] = at.y;
        world[14] = at.z;
        EmitOne(world, dt);
    }
    lastEmission_ = here;
    emittedBefore_ = true;
    accumulator_ -= std::trunc(accumulator_);
}

void KvParticles::EmitOne(const KvMatrix& world, double dt) {
    Particle p;
    p.speedFactor = 0.2 + effects_->Random(0.8);
    const double azimuth = effects_->Random(2 * kPi);
    const double elevation = kPi / 2 - effects_->Random(spreadAngle);
    const KvVec3 local{std::cos(elevation) * std::cos(azimuth), std::sin(elevation),
                       std::cos(elevation) * std::sin(azimuth)};
    p.direction = Normalised(TransformDirection(world, local));
    p.position = {world[12], world[13], world[14]};
    // A burst does not start as one point: each particle is already on its way.
    const KvVec3 velocity = p.direction * SpeedAt(0);
    p.position = p.position + velocity * effects_->Random(2 * dt);
    particles_.push_back(p);
}

void KvParticles::Move(double dt) {
    const double ageStep = dt / lifetime;
    size_t kept = 0;
    for (Particle p : particles_) {
        p.age += ageStep;
        if (p.age >= 1) continue;
        p.position = p.position + p.direction * (SpeedAt(p.age) * p.speedFactor * dt);
        particles_[kept++] = p;
    }
    particles_.resize(kept);
}

// ---------------------------------------------------------------------------------------
// Drawing (inside the frame)

void KvParticles::OnAttach(KvScene& scene) { scene.AddTransform(&emitter_); }

void KvParticles::OnDetach(KvScene& scene) { scene.RemoveTransform(&emitter_); }

void KvParticles::UpdateVisibility(VisibilityTree& tree) {
    drawn_.assign(particles_.size(), 0);
    for (auto& [leaf, cell] : cells_) cell->particles.clear();
    // A particle above or below the tree counts in the cells of its column.
    const Box& all = tree.Bounds();
    for (size_t i = 0; i < particles_.size(); ++i) {
        const Particle& p = particles_[i];
        const double h = SizeAt(p.age) / 2;
        Box box{p.position - KvVec3{h, h, h}, p.position + KvVec3{h, h, h}};
        box.min.y = std::clamp(box.min.y, all.min.y, all.max.y);
        box.max.y = std::clamp(box.max.y, all.min.y, all.max.y);
        tree.ForEachLeafTouching(box, [&](int leaf, const Box& leafBox) {
            std::unique_ptr<KvParticleVis>& cell = cells_[leaf];
            if (!cell) {
                cell = std::make_unique<KvParticleVis>();
                // Inside the leaf, so that the cell lands in that leaf alone.
                const double inset = 1e-6;
                cell->bounds = {leafBox.min + KvVec3{inset, inset, inset}, leafBox.max - KvVec3{inset, inset, inset}};
            }
            cell->particles.push_back(static_cast<uint32_t>(i));
        });
    }
    for (auto& [leaf, cell] : cells_) {
        if (!cell->particles.empty()) tree.Insert(*cell);
    }
}

void KvParticles::Draw(KvScene& scene, bool isMainView) {
    const View* view = scene.CurrentView();
    if (!view || !texture_) return;
    const Camera& camera = view->camera;
    const KvVec3 right{camera.inverse[0], camera.inverse[1], camera.inverse[2]};
    const KvVec3 up{camera.inverse[4], camera.inverse[5], camera.inverse[6]};
    if (isMainView) {
        for (const Particle& p : particles_) AddBillboard(scene, p, right, up, camera);
        if (scene.Settings().shadowMode != 0 && effects_->ground) {
            for (const Particle& p : particles_) AddGroundShadow(scene, p, camera);
        }
        return;
    }
    // A robot view draws the particles of its visible cells, each once.
    std::fill(drawn_.begin(), drawn_.end(), 0);
    for (auto& [leaf, cell] : cells_) {
        if (!cell->visible) continue;
        for (uint32_t i : cell->particles) {
            if (i >= particles_.size() || i >= drawn_.size() || drawn_[i]) continue;
            drawn_[i] = 1;
            AddBillboard(scene, particles_[i], right, up, camera);
        }
    }
}

void KvParticles::AddBillboard(KvScene& scene, const Particle& p, const KvVec3& right, const KvVec3& up,
                               const Camera& camera) {
    const double h = SizeAt(p.age) / 2;
    const KvTransparentList::Added quad = scene.AddTransparent(WindowDepth(camera, p.position), kGlQuads, 4);
    const KvVec3 r = right * h, u = up * h;
    quad.vertices[0] = p.position - u - r;
    quad.vertices[1] = p.position - u + r;
    quad.vertices[2] = p.position + u + r;
    quad.vertices[3] = p.position + u - r;
    quad.texCoords[0] = {0, 0};
    quad.texCoords[1] = {1, 0};
    quad.texCoords[2] = {1, 1};
    quad.texCoords[3] = {0, 1};
    quad.record.colour = ColourAt(p.age);
    quad.record.texture = texture_;
    const BlendPair blend = BlendAt(p.age);
    quad.record.blendSource = blend.source;
    quad.record.blendDestination = blend.destination;
}

// Where the light along (1, -1, 1) through the particle meets the ground, found by halving the
// segment down to the search floor, a patch as wide as the particle lies on the ground.
void KvParticles::AddGroundShadow(KvScene& scene, const Particle& p, const Camera& camera) {
    const KvHeightField& ground = *effects_->ground;
    if (p.position.y <= ground.HeightAt(p.position.x, p.position.z)) return;
    const KvVec3 light{1, -1, 1};
    auto below = [&](double t) {
        const KvVec3 q = p.position + light * t;
        return q.y <= ground.HeightAt(q.x, q.z);
    };
    double above = 0, under = p.position.y - kShadowSearchFloor;
    while ((under - above) * Length(light) >= kShadowSearchStep) {
        const double middle = (above + under) / 2;
        (below(middle) ? under : above) = middle;
    }
    const KvVec3 at = p.position + light * ((above + under) / 2);
    const double h = SizeAt(p.age) / 2;
    GroundMesh& mesh = shadowMesh_;
    LaySquareOnGround(
        ground, {Vec2{at.x - h, at.z - h}, Vec2{at.x - h, at.z + h}, Vec2{at.x + h, at.z + h}, Vec2{at.x + h, at.z - h}},
        mesh);
    if (mesh.indices.empty()) return;
    const KvTransparentList::Added patch =
        scene.AddMainTransparent(WindowDepth(camera, at), kGlTriangles, static_cast<uint32_t>(mesh.indices.size()));
    for (size_t k = 0; k < mesh.indices.size(); ++k) {
        const KvVec3& v = mesh.vertices[mesh.indices[k]];
        patch.vertices[k] = {v.x, v.y - KvTrack::kLift + kShadowLift, v.z};
        patch.texCoords[k] = mesh.texCoords[mesh.indices[k]];
    }
    // A shadow, whatever the particle's own colour: black at half its opacity.
    patch.record.colour = {0, 0, 0, ColourAt(p.age)[3] * kShadowOpacity};
    patch.record.texture = texture_;
}

// ---------------------------------------------------------------------------------------
// The kinds

KvSmallExplosion::KvSmallExplosion() {
    lifetime = 1.0;
    emissionDuration = 0.03;
    emissionRate = 200;
    spreadAngle = Radians(70);
    colorTrack[0.0] = {0.8, 0.5, 0.1, 1.0};
    colorTrack[0.06] = {0.8, 0.5, 0.1, 0.7};
    colorTrack[0.08] = {0, 0, 0, 0.5};
    colorTrack[1.0] = {0, 0, 0, 0};
    sizeTrack[0.0] = 0.02;
    sizeTrack[0.07] = 1.0;
    sizeTrack[1.0] = 2.0;
    speedTrack[0.0] = 6.0;
    speedTrack[0.12] = 2.7;
    speedTrack[0.2] = 0.1;
    speedTrack[0.9] = 0.05;
    speedTrack[1.0] = -0.05;
    blendTrack[0.0] = {kGlSrcAlpha, kGlOne};
    blendTrack[0.1] = {kGlSrcAlpha, kGlOneMinusSrcAlpha};
    blendTrack[1.0] = {kGlSrcAlpha, kGlOneMinusSrcAlpha};
}

void KvSmallExplosion::Place(const KvMatrix& placement) {
    Emitter().local = placement;
    Emitter().Invalidate();
    channel_ = Effects().PlayOnce("SmallExplosion", {placement[12], placement[13], placement[14]});
}

KvGreatExplosion::KvGreatExplosion() {
    lifetime = 4.0;
    emissionDuration = 0.1;
    emissionRate = 300;
    colorTrack[0.0] = {0.8, 0.5, 0.1, 1.0};
    colorTrack[0.03] = {0.8, 0.5, 0.1, 0.7};
    colorTrack[0.032] = {0, 0, 0, 0.001};
    sizeTrack[0.0] = 0.1;
    sizeTrack[0.04] = 1.0;
    sizeTrack[0.07] = 1.0;
    speedTrack[0.04] = 2.0;
    speedTrack[1.0] = 0.0;
    blendTrack[0.032] = {kGlSrcAlpha, kGlOneMinusSrcAlpha};
}

void KvGreatExplosion::Place(TransformNode* node) {
    SetParent(node);
    if (!node) return;
    const KvMatrix& world = node->GetWorld();
    channel_ = Effects().PlayOnce("GreatExplosion", {world[12], world[13], world[14]});
}

KvSmoke::KvSmoke() {
    lifetime = 0.5;
    emissionDuration = 1000;
    emissionRate = 200;
    spreadAngle = Radians(7);
    colorTrack[0.0] = {0.8, 0.8, 0.8, 0.7};
    colorTrack[1.0] = {1, 1, 1, 0};
    sizeTrack[0.0] = 0.03;
    sizeTrack[0.3] = 0.3;
    sizeTrack[1.0] = 0.07;
    speedTrack[0.0] = 4.0;
    speedTrack[1.0] = 0.0;
    blendTrack[0.0] = {kGlSrcAlpha, kGlOneMinusSrcAlpha};
    blendTrack[1.0] = {kGlSrcAlpha, kGlOneMinusSrcAlpha};
}

KvPartSmoke::KvPartSmoke() {
    lifetime = 1.0;
    emissionRate = 50;
    spreadAngle = Radians(20);
    colorTrack[0.0] = {0, 0, 0, 1};
    colorTrack[0.2] = {0, 0, 0, 1};
    colorTrack[0.3] = {0.5, 0.5, 0.5, 0.7};
    colorTrack[1.0] = {0.7, 0.7, 0.7, 0};
    sizeTrack[0.0] = 0.2;
    sizeTrack[0.3] = 0.3;
    sizeTrack[1.0] = 1.0;
    speedTrack[0.0] = 2.0;
    speedTrack[1.0] = 0.0;
}

}  // namespace kv
