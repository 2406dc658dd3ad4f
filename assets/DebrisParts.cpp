#include "assets/DebrisParts.h"

#include <cmath>

#include "core/Angles.h"

namespace kv {

const std::array<KvPartInfo, KvDebrisParts::kPieceCount> KvDebrisParts::kTable = {{
    {"debris.01", "detal.04", -1},
    {"debris.02", "detal.04", -1},
    {"debris.03", "detal.04", -1},
    {"debris.04", "detal.04", -1},
    {"debris.05", nullptr, -1},
    {"debris.06", nullptr, -1},
    {"debris.07", nullptr, -1},
    {"debris.wheel.01", "wheel", -1},
    {"debris.wheel.02", "wheel", -1},
    {"debris.wheel.03", "wheel", -1},
    {"debris.wheel.04", "wheel", -1},
}};

KvDebrisParts::KvDebrisParts(const KvDebrisParts& other) : root(other.root), pieces(other.pieces), shown(other.shown) {
    Link();
}

KvDebrisParts& KvDebrisParts::operator=(const KvDebrisParts& other) {
    if (this != &other) {
        root = other.root;
        pieces = other.pieces;
        shown = other.shown;
        Link();
    }
    return *this;
}

void KvDebrisParts::Link() {
    root.SetParent(nullptr);
    for (KvModelPart& piece : pieces) piece.node.SetParent(&root);
}

bool KvDebrisParts::Build(const KvMeshLookup& meshes, KvString& error) {
    for (int i = 0; i < kPieceCount; ++i) {
        const KvPartInfo& info = kTable[static_cast<std::size_t>(i)];
        KvModelPart& piece = pieces[static_cast<std::size_t>(i)];
        if (!BindPart(info, meshes, "debris piece", piece, error)) return false;
        piece.node.local = piece.mesh->NodeMatrix();
    }
    shown.fill(1);
    return true;
}

void KvDebrisParts::SetBodyTexture(const char* key) {
    for (int i = kFirstBodyPiece; i <= kLastBodyPiece; ++i) pieces[static_cast<std::size_t>(i)].textureKey = key;
}

KvMatrix KvDebrisParts::RootMatrix(double x, double y, double z, double headingDegrees) {
    // The file's -y (the robot's front) becomes world +z under the axis conversion; turning
    // about the vertical by 90 degrees minus the heading lays it along (cos h, 0, sin h).
    const double a = Radians(90.0 - headingDegrees);
    KvMatrix m = Identity();
    m[0] = std::cos(a);
    m[2] = -std::sin(a);
    m[8] = std::sin(a);
    m[10] = std::cos(a);
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

void KvDebrisParts::PlaceAndDetach(const KvMatrix& rootLocal) {
    root.local = rootLocal;
    root.Invalidate();
    for (KvModelPart& piece : pieces) {
        piece.node.SetParent(&root);
        piece.node.local = piece.node.GetWorld();
        piece.node.SetParent(nullptr);
    }
}

}  // namespace kv
