#include "assets/Mesh.h"

namespace kv {

KvMatrix PlacementMatrix(const float placement[4][3]) {
    KvMatrix m = Identity();
    for (int axis = 0; axis < 3; ++axis) {
        KvVec3 a = ConvertAxes(placement[axis][0], placement[axis][1], placement[axis][2]);
        m[4 * axis + 0] = a.x;
        m[4 * axis + 1] = a.y;
        m[4 * axis + 2] = a.z;
    }
    KvVec3 p = ConvertAxes(placement[3][0], placement[3][1], placement[3][2]);
    m[12] = p.x * kInchToMetre;
    m[13] = p.y * kInchToMetre;
    m[14] = p.z * kInchToMetre;
    return m;
}

void KvMesh::Release() {
    node_ = Identity();
    boxMin_ = boxMax_ = KvVec3{};
    positions_ = {};
    texCoords_ = {};
    cornerPositions_ = {};
    cornerTexCoords_ = {};
    cornerNormals_ = {};
    cornerVertex_ = {};
    cornerTexture_ = {};
    shadowPositions_ = {};
    shadowIndices_ = {};
    shadowIndexCount_ = 0;
}

bool KvMesh::BuildFrom(const KvModelObject& object) {
    Release();
    KvString ignored;
    if (!CheckFaceIndices(object, ignored)) return false;

    node_ = PlacementMatrix(object.placement);
    const KvMatrix inverse = RigidInverse(node_);

    const std::size_t corners = object.faces.size() * 3;
    positions_.reserve(object.vertices.size());
    for (const KvModelVec3f& v : object.vertices) {
        KvVec3 p = ConvertAxes(v.x * kInchToMetre, v.y * kInchToMetre, v.z * kInchToMetre);
        positions_.push_back(TransformPoint(inverse, p));
    }
    shadowPositions_.resize(2 * positions_.size());
    std::copy(positions_.begin(), positions_.end(), shadowPositions_.begin());
    shadowIndices_.resize(4 * corners);

    texCoords_.reserve(object.textureVertices.size());
    for (const KvModelVec3f& t : object.textureVertices) texCoords_.push_back({t.x, t.y});

    cornerPositions_.reserve(corners);
    cornerTexCoords_.reserve(corners);
    cornerNormals_.reserve(corners);
    cornerVertex_.reserve(corners);
    cornerTexture_.reserve(corners);
    for (const KvModelFace& face : object.faces) {
        for (int c = 0; c < 3; ++c) {
            cornerPositions_.push_back(positions_[face.vertex[c]]);
            cornerVertex_.push_back(face.vertex[c]);
            cornerTexture_.push_back(face.textureVertex[c]);
            cornerTexCoords_.push_back(texCoords_[face.textureVertex[c]]);
            const KvModelVec3f& n = face.normal[c];
            cornerNormals_.push_back(TransformDirection(inverse, ConvertAxes(n.x, n.y, n.z)));
        }
    }

    if (!positions_.empty()) {
        boxMin_ = boxMax_ = positions_[0];
        for (const KvVec3& p : positions_) {
            boxMin_ = {std::min(boxMin_.x, p.x), std::min(boxMin_.y, p.y), std::min(boxMin_.z, p.z)};
            boxMax_ = {std::max(boxMax_.x, p.x), std::max(boxMax_.y, p.y), std::max(boxMax_.z, p.z)};
        }
    }
    return true;
}

}  // namespace kv
