#pragma once
// Marks laid on the ground and drawn after every opaque object in the order they were added:
// the scorch mark each shell explosion leaves (KvTrack) and the robots' shadow-map shadows
// (KvShadowTrack, ShadowMap.h). Both are squares laid over the terrain by LaySquareOnGround.

#include <array>
#include <cstdint>
#include <vector>

#include "assets/Mesh.h"
#include "core/Process.h"
#include "core/Vec2.h"
#include "render/DrawObject.h"
#include "render/VisibilityTree.h"

namespace kv {

class KvHeightField;
class KvProcessOwner;
class KvTexture;

// A square cut along the ground's unit cells and lifted 0.03 above the ground as drawn:
// triangles facing up, texture coordinates 0..1 along the edges from the first corner to the second
// and to the fourth.
struct GroundMesh {
    std::vector<KvVec3> vertices;
    std::vector<KvTexCoord> texCoords;
    std::vector<uint32_t> indices;  // triangles
};

// corners[0..3] are (X, Z) scene points going round the square. Cells are visited row by row
// in Z and left to right in X; each cell's piece is one convex polygon fanned from its first
// point, cut along both diagonals of a cell that is not flat.
GroundMesh LaySquareOnGround(const KvHeightField& ground, const std::array<Vec2, 4>& corners);
// The same into mesh, in place of what it held (its arrays keep their room).
void LaySquareOnGround(const KvHeightField& ground, const std::array<Vec2, 4>& corners, GroundMesh& mesh);
// Draws the mesh's triangles with the texture and colour already set.
void DrawGroundMesh(const GroundMesh& mesh);
// The height of a mark at (x, z): 0.03 above the higher of the two planes a curved ground
// cell may be drawn with (its quad split along either diagonal). Bilinear heights would
// sink the middle of a mark's triangle below a hump of the drawn ground.
double MarkHeightAt(const KvHeightField& ground, double x, double z);

// A mark in the scene's track list; its box is a static member of the object tree.
class KvBaseTrack : public KvBaseTransparent, public KvVisObject {
public:
    // Tracks of a later layer are drawn over those of an earlier one.
    static constexpr uint8_t kMarks = 0, kShadows = 1;
    explicit KvBaseTrack(uint8_t layer = kMarks) : layer(layer) { dynamic = 0; }
    double trackKey = 0;  // set by AddTrack
    const uint8_t layer;
};

class KvTrack : public KvBaseTrack, public KvProcess {
public:
    static constexpr double kLifetime = 10.0;
    static constexpr double kFadeStart = 8.0;
    static constexpr double kLift = 0.03;

    // A size x size square centred on (x, z) turned by angle radians, laid on ground.
    KvTrack(const KvHeightField& ground, double x, double z, double angle, double size);

    void SetTexture(const KvTexture* texture) { texture_ = texture; }
    // Where the expired mark goes: out of the scene, then off its owner (which deletes it).
    void SetOwners(KvScene* scene, KvProcessOwner* owner) {
        owningScene_ = scene;
        owner_ = owner;
    }

    // Ages the mark; at kLifetime it leaves the scene and its owner. Stepped on the main
    // thread with the scene lock held, like the frame that draws it.
    void Step(double dt) override;
    // Track pass: blending on, lighting and depth writes off.
    void Draw(bool isMainView) override;

    double Age() const { return age_; }
    // 1 until kFadeStart, then (10 - age) / 1.25 (above 1 until 8.75 s; OpenGL clamps it).
    double Alpha() const;
    const GroundMesh& Mesh() const { return mesh_; }

private:
    double age_ = 0;
    bool expired_ = false;
    const KvTexture* texture_ = nullptr;
    GroundMesh mesh_;
    KvScene* owningScene_ = nullptr;
    KvProcessOwner* owner_ = nullptr;
};

}  // namespace kv
