#pragma once
// The eleven pieces of a wrecked robot. The resource store builds one template from the
// debris meshes; each wreck copies it, gives pieces 4-6 the robot's body texture and then
// sets every piece free of the root so that it can fly on its own.

#include <array>
#include <cstdint>

#include "assets/ModelParts.h"

namespace kv {

class KvDebrisParts {
public:
    static constexpr int kPieceCount = 11;
    static constexpr int kFirstBodyPiece = 4;
    static constexpr int kLastBodyPiece = 6;
    // Mesh key and texture key per piece; null texture: the robot's body texture.
    static const std::array<KvPartInfo, kPieceCount> kTable;

    KvDebrisParts() = default;
    // A copy hangs every piece under its own root.
    KvDebrisParts(const KvDebrisParts& other);
    KvDebrisParts& operator=(const KvDebrisParts& other);

    // Fills the template; each piece's local matrix is its mesh's node matrix. Returns
    // false with a message naming the first missing mesh.
    bool Build(const KvMeshLookup& meshes, KvString& error);

    // Paints pieces 4-6 with a texture key (the robot's body texture).
    void SetBodyTexture(const char* key);

    // The root placement that stands the wreck where a robot at scene point (x, y, z) with
    // the given heading in degrees stood, on level ground: the debris file shares the robot
    // file's frame (front along the file's -y, ground at z = 0).
    static KvMatrix RootMatrix(double x, double y, double z, double headingDegrees);

    // Sets the root, then stores each piece's world matrix as its local one and detaches it.
    // Once per wreck: a second call would place the already placed pieces again.
    void PlaceAndDetach(const KvMatrix& rootLocal);

    TransformNode root;
    std::array<KvModelPart, kPieceCount> pieces;
    std::array<uint8_t, kPieceCount> shown{};

private:
    void Link();
};

}  // namespace kv
