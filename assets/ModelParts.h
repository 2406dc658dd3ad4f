#pragma once
// The robot's part table: sixteen meshes tied into a fixed hierarchy by their object names,
// so that each part is drawn at its parent's placement times its own relative placement.
// The resource store binds one template; every robot draws its own linked copy.
//
// Parts name their texture by resource key, never by an OpenGL object: the table is data that
// the simulation thread may copy and destroy, and the drawing side (render/) turns the key into
// a texture when it draws.

#include <array>
#include <cstdint>
#include <functional>

#include "assets/Mesh.h"
#include "assets/TransformNode.h"
#include "core/KvString.h"

namespace kv {

using KvMeshLookup = std::function<KvMesh*(const KvString& key)>;

struct KvModelPart {
    KvMesh* mesh = nullptr;            // owned by the resource store
    const char* textureKey = nullptr;  // a resource key (static text); null draws untextured
    TransformNode node;
    KvVec3 lightDirection;  // the light's direction in the part's own frame, for shadow volumes
};

// One row of the part table: object name (= mesh key), texture key (null: set by the
// robot by colour) and parent record (-1 for the root).
struct KvPartInfo {
    const char* mesh;
    const char* texture;
    int parent;
};

// Fills a part from its table row, fresh; false (with error naming the `what` and the
// mesh) when the mesh is missing.
bool BindPart(const KvPartInfo& info, const KvMeshLookup& meshes, const char* what, KvModelPart& part,
              KvString& error);

class KvModelParts {
public:
    static constexpr int kPartCount = 16;
    enum Part : int {
        kShell = 0,
        kBody = 1,
        kTurret = 2,
        kTurretTop = 3,
        kScannerHead = 4,
        kMantlet = 8,
        kBarrel = 9,
        kWheel1 = 12,
        kWheel4 = 15,
    };
    static const std::array<KvPartInfo, kPartCount> kTable;

    KvModelParts() = default;
    // A copy links each copied node to its parent copy; the bound template stays unlinked.
    KvModelParts(const KvModelParts& other);
    KvModelParts& operator=(const KvModelParts& other);

    // Fills the template from the resource store's meshes and the table's texture keys. Each
    // local matrix is inverse(parent's mesh node matrix) x own node matrix; the root keeps its
    // own. Returns false with a message naming the first missing mesh.
    bool Bind(const KvMeshLookup& meshes, KvString& error);

    // Paints the shell, the body and the scanner head in a robot colour (index into
    // kRobotColours); an index outside the table leaves them untextured.
    void SetColour(int32_t colourIndex);

    // Whether a record is drawn: every part with a mesh, the shell only while it is shown.
    bool IsDrawn(int index) const {
        return parts[static_cast<std::size_t>(index)].mesh && (index != kShell || shellShown);
    }
    // Hands every drawn part's mesh, world matrix and light direction to a shadow pass.
    void ForEachShadowCaster(const std::function<void(const KvMesh&, const KvMatrix&, const KvVec3&)>& visit);

    // World-space box around the eight box corners of every part (all sixteen).
    void BoundingBox(KvVec3& boxMin, KvVec3& boxMax);
    // Stores the direction (1, -1, 1) turned into each part's frame.
    void UpdateLightDirections();

    KvModelPart& operator[](int index) { return parts[static_cast<std::size_t>(index)]; }
    const KvModelPart& operator[](int index) const { return parts[static_cast<std::size_t>(index)]; }

    bool shellShown = false;
    std::array<KvModelPart, kPartCount> parts;

private:
    void Link();
};

// The world direction of the light whose shadows the volumes cast.
inline constexpr KvVec3 kShadowLightDirection{1, -1, 1};

// Box of a mesh's eight box corners taken through world; grows [boxMin, boxMax], which
// starts at the first corner when first is set.
void GrowBox(const KvMesh& mesh, const KvMatrix& world, KvVec3& boxMin, KvVec3& boxMax, bool& first);

}  // namespace kv
