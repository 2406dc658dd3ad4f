#pragma once
// Stencil shadow volumes: the faces of a mesh that face the light, pushed 5 m along the
// light's direction, count how often a view ray enters and leaves the shadowed space; the
// pixels left with a non-zero count are darkened once per frame.
//
// Building a volume is pure arithmetic over the mesh's arrays; drawing it and darkening the
// stencilled pixels run on the main thread inside the main view's frame.

#include <cstdint>
#include <span>

#include "core/Matrix.h"

namespace kv {

class KvMesh;
class KvModelParts;

// OpenGL's primitive modes of meshes that cast shadows; other modes cast none.
inline constexpr uint32_t kPrimitiveTriangles = 0x0004;
inline constexpr uint32_t kPrimitiveQuads = 0x0007;
// How far each vertex is pushed along the light to close the volume's far side.
inline constexpr double kShadowExtrusion = 5.0;

// The side quads of a shadow volume. positions are the mesh's n vertices; cornerVertices
// index them, face by face (3 or 4 per face by primitiveMode); cornerNormals are the corners'
// normals, the first of each face standing for the face. volumePositions (room for 2n)
// receives the vertices and their extruded copies; volumeIndices (room for 4 per corner)
// receives, for every edge of every face lit by lightDirection, the quad (a, b, n+b, n+a).
// With edgeTwins (one per corner, as KvMesh::EdgeTwins), an edge shared by two lit faces
// gives no quad: its two quads, one per face and wound opposite ways, would cancel in the
// stencil, and leaving them out spares most of the volume's pixels.
// Returns the number of indices written: 0 for another primitive mode, a zero direction, or
// arrays that do not fit.
uint32_t BuildShadowVolume(uint32_t primitiveMode, std::span<const KvVec3> positions,
                           std::span<const uint32_t> cornerVertices, std::span<const KvVec3> cornerNormals,
                           const KvVec3& lightDirection, std::span<KvVec3> volumePositions,
                           std::span<uint32_t> volumeIndices, std::span<const int32_t> edgeTwins = {});
// The same over a mesh, into its shadow work arrays (and their fill count).
uint32_t BuildShadowVolume(KvMesh& mesh, const KvVec3& lightDirection);

// Builds the mesh's volume for lightDirection (in the mesh's frame) and adds it to the stencil
// under the current model-view matrix: increments where the ray enters, then decrements where
// it leaves, in front of the visible surface. Colour and depth are left untouched.
void DrawVolume(KvMesh& mesh, const KvVec3& lightDirection);

// Every drawn part's volume with the part's light direction, like DrawPlain(KvModelParts&):
// the caller has pushed the camera's model-view matrix once.
void DrawVolumes(KvModelParts& parts);

// Blends black at half alpha over every pixel whose stencil count is at least 1, over the
// whole viewport. Leaves both matrices at identity.
void DarkenShadows();

}  // namespace kv
