#include "assets/Mesh.h"

#include <map>
#include <tuple>
#include <utility>

namespace kv {

namespace {

// The edge twins of triangles whose corners index positions.
std::vector<int32_t> FindEdgeTwins(const std::vector<KvVec3>& positions, const std::vector<uint32_t>& corners) {
    // Vertices at the same place count as one, so that a seam of split vertices still pairs.
    std::map<std::tuple<double, double, double>, uint32_t> firstAt;
    std::vector<uint32_t> weld(positions.size());
    for (uint32_t i = 0; i < positions.size(); ++i)
        weld[i] = firstAt.try_emplace({positions[i].x, positions[i].y, positions[i].z}, i).first->second;
    // Each directed edge: the corners that run it, or -2 once two do.
    std::map<std::pair<uint32_t, uint32_t>, int64_t> runBy;
    const auto edge = [&](size_t corner) {
        const size_t next = corner - corner % 3 + (corner + 1) % 3;
        return std::pair{weld[corners[corner]], weld[corners[next]]};
    };
    for (size_t c = 0; c < corners.size(); ++c) {
        auto [it, fresh] = runBy.try_emplace(edge(c), static_cast<int64_t>(c));
        if (!fresh) it->second = -2;
    }
    std::vector<int32_t> twins(corners.size(), -1);
    for (size_t c = 0; c < corners.size(); ++c) {
        const auto [a, b] = edge(c);
        const auto forward = runBy.find({a, b}), back = runBy.find({b, a});
        if (a != b && forward->second >= 0 && back != runBy.end() && back->second >= 0)
            twins[c] = static_cast<int32_t>(back->second);
    }
    return twins;
}

}  // namespace

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
    edgeTwins_ = {};
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

    edgeTwins_ = FindEdgeTwins(positions_, cornerVertex_);

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
