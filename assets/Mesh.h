#pragma once
// A model object flattened for OpenGL vertex arrays: positions in the object's own frame in
// metres, one entry per triangle corner, and a node matrix that places the frame in the
// Y-up world. The mesh is plain data and never touches OpenGL: render/MeshDraw.h draws it.

#include <cstdint>
#include <vector>

#include "assets/ModelFile.h"
#include "core/Matrix.h"

namespace kv {

struct KvTexCoord {
    double u = 0, v = 0;
};
static_assert(sizeof(KvVec3) == 3 * sizeof(double), "positions are handed to OpenGL tightly packed");
static_assert(sizeof(KvTexCoord) == 2 * sizeof(double), "texture coordinates are handed to OpenGL tightly packed");

inline constexpr double kInchToMetre = 0.0254;

// The model's Z-up axes turned into the world's Y-up axes: (x, y, z) -> (x, z, -y).
inline KvVec3 ConvertAxes(double x, double y, double z) { return {x, z, -y}; }

// The node matrix of a placement: axis rows converted into columns 0-2, the position
// converted and scaled to metres into column 3.
KvMatrix PlacementMatrix(const float placement[4][3]);

class KvMesh {
public:
    // Builds every array from object. Refuses (and leaves the mesh empty) an object whose
    // face indices fall outside its lists; KvModelFile::Load already refuses such files.
    bool BuildFrom(const KvModelObject& object);
    // Frees every array; the mesh then draws nothing.
    void Release();

    const KvMatrix& NodeMatrix() const { return node_; }
    const KvVec3& BoxMin() const { return boxMin_; }
    const KvVec3& BoxMax() const { return boxMax_; }
    uint32_t PrimitiveMode() const { return 4; }  // GL_TRIANGLES

    uint32_t VertexCount() const { return static_cast<uint32_t>(positions_.size()); }
    uint32_t TextureVertexCount() const { return static_cast<uint32_t>(texCoords_.size()); }
    uint32_t CornerCount() const { return static_cast<uint32_t>(cornerPositions_.size()); }

    const std::vector<KvVec3>& Positions() const { return positions_; }
    const std::vector<KvTexCoord>& TexCoords() const { return texCoords_; }
    const std::vector<KvVec3>& CornerPositions() const { return cornerPositions_; }
    const std::vector<KvTexCoord>& CornerTexCoords() const { return cornerTexCoords_; }
    const std::vector<KvVec3>& CornerNormals() const { return cornerNormals_; }
    const std::vector<uint32_t>& CornerVertexIndices() const { return cornerVertex_; }
    const std::vector<uint32_t>& CornerTextureIndices() const { return cornerTexture_; }

    // Work arrays of the shadow-volume pass: twice the vertex count of positions whose first
    // half mirrors Positions(), and four indices per corner with a fill count starting at 0.
    std::vector<KvVec3>& ShadowPositions() { return shadowPositions_; }
    // For each corner c of each face, the edge from c to the face's next corner: the corner
    // of the one other face that runs the same edge the other way (vertices matched by
    // position), or -1 when no face or more than one does. Shadow volumes leave out the side
    // quads of such pairs when both faces are lit, since they cancel in the stencil.
    const std::vector<int32_t>& EdgeTwins() const { return edgeTwins_; }
    std::vector<uint32_t>& ShadowIndices() { return shadowIndices_; }
    uint32_t& ShadowIndexCount() { return shadowIndexCount_; }

private:
    KvMatrix node_ = Identity();
    KvVec3 boxMin_, boxMax_;
    std::vector<KvVec3> positions_;
    std::vector<KvTexCoord> texCoords_;
    std::vector<KvVec3> cornerPositions_;
    std::vector<KvTexCoord> cornerTexCoords_;
    std::vector<KvVec3> cornerNormals_;
    std::vector<uint32_t> cornerVertex_;
    std::vector<uint32_t> cornerTexture_;
    std::vector<KvVec3> shadowPositions_;
    std::vector<uint32_t> shadowIndices_;
    uint32_t shadowIndexCount_ = 0;
    std::vector<int32_t> edgeTwins_;
};

}  // namespace kv
