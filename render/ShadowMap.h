#pragma once
// Shadow maps: each robot's silhouette seen from the main light, drawn every frame into a
// 64 x 64 texture of its own and laid round the robot as a rectangle of half-transparent black
// that follows the terrain. Only robots cast them, and they fall only on the ground.
//
// A map is drawn through a framebuffer object with its own depth buffer, in the scene's own
// context. Creating, drawing and releasing maps run on the main thread only: at battle
// set-up, when the player changes the shadow mode, and inside the frame. A dead robot's track
// leaves the scene through RemoveTrack, which touches no OpenGL.

#include <array>
#include <cstdint>

#include "core/Vec2.h"
#include "render/Track.h"
#include "render/VisibilityTree.h"

namespace kv {

class KvHeightField;
class KvModelParts;
class KvScene;

inline constexpr int32_t kShadowMapSize = 64;

// A robot's map: the texture and the framebuffer (with its depth buffer) that draws into it.
struct ShadowMapBuffer {
    uint32_t texture = 0;
    uint32_t framebuffer = 0;
    uint32_t depth = 0;
    int32_t size = kShadowMapSize;
    bool Exists() const { return framebuffer != 0; }
};

// The map laid on the ground, in the scene's track list. It is drawn in every view, robot
// views included: a robot just outside a view may still throw its shadow into it.
class KvShadowTrack : public KvBaseTrack {
public:
    explicit KvShadowTrack(const ShadowMapBuffer& buffer) : KvBaseTrack(kShadows), buffer_(buffer) {}
    // Track pass: black at half alpha wherever the map's silhouette covers the track.
    void Draw(bool isMainView) override;

    GroundMesh mesh;

private:
    const ShadowMapBuffer& buffer_;
};

// Everything of one robot's shadow map; kept from the robot's set-up until it is cleared.
struct KvRobotShadow {
    KvRobotShadow() : track(buffer) {}
    ShadowMapBuffer buffer;
    KvShadowTrack track;
};

// The ground under the light's picture of a robot: round the bounds' base centre, turned 45
// degrees about the vertical, r (half the bounds' diagonal) each way across the light and
// sqrt(3) r each way along it, since the light falls slanting. (X, Z) corners for (-l, -r),
// (-l, r), (l, r), (l, -r) in the turned frame, l = sqrt(3) r: from the first corner, the
// second lies across the light (the picture's x) and the fourth along it (the picture's y).
std::array<Vec2, 4> ShadowTrackCorners(const Box& bounds);
// Lays the rectangle on the ground as the track's mesh (in place of the previous one) and
// bounds it.
void BuildShadowTrack(KvShadowTrack& track, const KvHeightField& ground, const std::array<Vec2, 4>& corners);

// Makes the robot's map and puts its track into the scene. False, leaving the robot without
// a shadow, when the scene's context cannot render to a texture or the framebuffer fails.
bool CreateShadowMap(KvRobotShadow& shadow, KvScene& scene, bool lock);
// Takes the track out of the scene and deletes the map; a map that does not exist is left
// alone.
void ReleaseShadowMap(KvRobotShadow& shadow, KvScene& scene, bool lock);
// Inside the frame, before any view: draws the robot's drawn parts white on transparent
// black as the light sees them, then lays the track under them. Leaves the framebuffer,
// the matrices and the state as it found them.
void RenderShadowMap(KvRobotShadow& shadow, KvModelParts& parts, const Box& bounds, const KvHeightField& ground);

}  // namespace kv
