#include "assets/ModelParts.h"

#include "assets/ResourceList.h"

namespace kv {

// Record order is fixed: robots keep handles to records 0, 1, 2, 4 and 12-15 by index.
const std::array<KvPartInfo, KvModelParts::kPartCount> KvModelParts::kTable = {{
    {"Rocket", nullptr, 9},           // the shell resting in the barrel; its origin is the muzzle
    {"Body", nullptr, -1},            // the hull, root of the hierarchy
    {"detal.02.03", "detal.02", 1},   // turret ring, turned to the cannon direction
    {"detal.02", "detal.02", 2},      // turret housing
    {"Body.01", nullptr, 3},          // scanner head, turned to the scan direction
    {"detal.04.01", "detal.04", 4},   // scanner camera
    {"detal.04.02", "detal.04", 4},   // scanner mast
    {"detal.04", "detal.04", 6},      // scanner dish
    {"detal.02.01", "detal.02", 3},   // gun mantlet
    {"detal.02.02", "detal.02", 8},   // barrel
    {"detal.03", "detal.03", 8},      // launcher pod, right cheek
    {"detal.03.01", "detal.03", 8},   // launcher pod, left cheek
    {"wheel.01", "wheel", 1},
    {"wheel.02", "wheel", 1},
    {"wheel.03", "wheel", 1},
    {"wheel.04", "wheel", 1},
}};

KvModelParts::KvModelParts(const KvModelParts& other) : shellShown(other.shellShown), parts(other.parts) { Link(); }

KvModelParts& KvModelParts::operator=(const KvModelParts& other) {
    if (this != &other) {
        shellShown = other.shellShown;
        parts = other.parts;
        Link();
    }
    return *this;
}

void KvModelParts::Link() {
    for (int i = 0; i < kPartCount; ++i) {
        int parent = kTable[static_cast<std::size_t>(i)].parent;
        parts[static_cast<std::size_t>(i)].node.SetParent(parent < 0 ? nullptr : &parts[static_cast<std::size_t>(parent)].node);
    }
}

bool BindPart(const KvPartInfo& info, const KvMeshLookup& meshes, const char* what, KvModelPart& part,
              KvString& error) {
    part = KvModelPart{};
    part.mesh = meshes(info.mesh);
    if (!part.mesh) {
        error.Format("%s \"%s\" has no mesh", what, info.mesh);
        return false;
    }
    part.textureKey = info.texture;
    return true;
}

bool KvModelParts::Bind(const KvMeshLookup& meshes, KvString& error) {
    for (int i = 0; i < kPartCount; ++i) {
        const KvPartInfo& info = kTable[static_cast<std::size_t>(i)];
        if (!BindPart(info, meshes, "robot part", parts[static_cast<std::size_t>(i)], error)) return false;
    }
    for (int i = 0; i < kPartCount; ++i) {
        KvModelPart& part = parts[static_cast<std::size_t>(i)];
        int parent = kTable[static_cast<std::size_t>(i)].parent;
        part.node.local = parent < 0 ? part.mesh->NodeMatrix()
                                     : Product(RigidInverse(parts[static_cast<std::size_t>(parent)].mesh->NodeMatrix()),
                                               part.mesh->NodeMatrix());
    }
    shellShown = true;
    return true;
}

void KvModelParts::SetColour(int32_t colourIndex) {
    const bool known = colourIndex >= 0 && colourIndex < kColourCount;
    const RobotColour* colour = known ? &kRobotColours[colourIndex] : nullptr;
    parts[kShell].textureKey = colour ? colour->shellTexture : nullptr;
    parts[kBody].textureKey = colour ? colour->bodyTexture : nullptr;
    parts[kScannerHead].textureKey = colour ? colour->bodyTexture : nullptr;
}

void GrowBox(const KvMesh& mesh, const KvMatrix& world, KvVec3& boxMin, KvVec3& boxMax, bool& first) {
    const KvVec3& lo = mesh.BoxMin();
    const KvVec3& hi = mesh.BoxMax();
    for (int corner = 0; corner < 8; ++corner) {
        KvVec3 p{(corner & 1) ? hi.x : lo.x, (corner & 2) ? hi.y : lo.y, (corner & 4) ? hi.z : lo.z};
        KvVec3 w = TransformPoint(world, p);
        if (first) {
            boxMin = boxMax = w;
            first = false;
            continue;
        }
        boxMin = {std::min(boxMin.x, w.x), std::min(boxMin.y, w.y), std::min(boxMin.z, w.z)};
        boxMax = {std::max(boxMax.x, w.x), std::max(boxMax.y, w.y), std::max(boxMax.z, w.z)};
    }
}

void KvModelParts::BoundingBox(KvVec3& boxMin, KvVec3& boxMax) {
    bool first = true;
    boxMin = boxMax = KvVec3{};
    for (KvModelPart& part : parts)
        if (part.mesh) GrowBox(*part.mesh, part.node.GetWorld(), boxMin, boxMax, first);
}

void KvModelParts::UpdateLightDirections() {
    for (KvModelPart& part : parts)
        part.lightDirection = TransformDirection(RigidInverse(part.node.GetWorld()), kShadowLightDirection);
}

void KvModelParts::ForEachShadowCaster(const std::function<void(const KvMesh&, const KvMatrix&, const KvVec3&)>& visit) {
    for (int i = 0; i < kPartCount; ++i) {
        KvModelPart& part = parts[static_cast<std::size_t>(i)];
        if (IsDrawn(i)) visit(*part.mesh, part.node.GetWorld(), part.lightDirection);
    }
}

}  // namespace kv
