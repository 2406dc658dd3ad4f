#include "render/Track.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>

#include "render/Texture.h"
#include "render/Scene.h"
#include "sim/ProcessGroup.h"
#include "sim/HeightField.h"

namespace kv {

namespace {

// A convex piece of (X, Z) points. The square clipped by a cell's four sides and its two
// diagonals has at most ten; the room keeps laying a mark from allocating, since shadow
// tracks are laid every frame.
class Polygon {
public:
    static constexpr size_t kRoom = 16;
    Polygon() = default;
    explicit Polygon(const std::array<Vec2, 4>& square) : points_{square[0], square[1], square[2], square[3]}, size_(4) {}
    void push_back(const Vec2& p) {
        if (size_ < kRoom) points_[size_++] = p;
    }
    void pop_back() { --size_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const Vec2& operator[](size_t i) const { return points_[i]; }
    const Vec2& front() const { return points_[0]; }
    const Vec2& back() const { return points_[size_ - 1]; }
    Vec2* begin() { return points_.data(); }
    Vec2* end() { return points_.data() + size_; }
    const Vec2* begin() const { return points_.data(); }
    const Vec2* end() const { return points_.data() + size_; }

private:
    std::array<Vec2, kRoom> points_{};
    size_t size_ = 0;
};

// Twice the signed area in the (X, Z) plane; negative for polygons that run
// counter-clockwise seen from above (+Y), which OpenGL then sees as front faces.
double SignedArea2(const Polygon& p) {
    double sum = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const Vec2& a = p[i];
        const Vec2& b = p[(i + 1) % p.size()];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum;
}

// Keeps the part of a convex polygon where side(p) >= 0 (side is linear along an edge).
template <class Side>
Polygon ClipBy(const Polygon& in, Side side) {
    Polygon out;
    for (size_t i = 0; i < in.size(); ++i) {
        const Vec2& a = in[i];
        const Vec2& b = in[(i + 1) % in.size()];
        const double sa = side(a), sb = side(b);
        if (sa >= 0) out.push_back(a);
        if ((sa < 0 && sb > 0) || (sa > 0 && sb < 0)) out.push_back(a + (b - a) * (sa / (sa - sb)));
    }
    return out;
}

Polygon WithoutRepeats(const Polygon& p) {
    constexpr double kSame = 1e-12;
    Polygon unique;
    for (const Vec2& v : p) {
        if (unique.empty() || (v - unique.back()).Length() > kSame) unique.push_back(v);
    }
    while (unique.size() > 1 && (unique.front() - unique.back()).Length() <= kSame) unique.pop_back();
    return unique;
}

// The piece of the square inside the unit cell from (x0, z0), without repeated points.
Polygon PieceInCell(const Polygon& square, double x0, double z0) {
    Polygon p = square;
    p = ClipBy(p, [&](const Vec2& v) { return v.x - x0; });
    p = ClipBy(p, [&](const Vec2& v) { return x0 + 1 - v.x; });
    p = ClipBy(p, [&](const Vec2& v) { return v.y - z0; });
    p = ClipBy(p, [&](const Vec2& v) { return z0 + 1 - v.y; });
    return WithoutRepeats(p);
}

// The heights at the corners of the ground cell from (x0, z0): hxz.
struct CellCorners {
    double h00, h10, h01, h11;
    CellCorners(const KvHeightField& ground, double x0, double z0)
        : h00(ground.HeightAt(x0, z0)),
          h10(ground.HeightAt(x0 + 1, z0)),
          h01(ground.HeightAt(x0, z0 + 1)),
          h11(ground.HeightAt(x0 + 1, z0 + 1)) {}
    // A flat cell: whichever diagonal the ground's quad is split along, it is one plane.
    bool Planar() const { return std::fabs(h00 + h11 - h10 - h01) < 1e-12; }
};

// Cuts a piece of a curved cell along both diagonals, so that each part lies within one
// triangle of the ground's quad however it is split.
struct Parts {
    std::array<Polygon, 4> parts;
    size_t count = 0;
    const Polygon* begin() const { return parts.data(); }
    const Polygon* end() const { return parts.data() + count; }
};
Parts SplitAlongDiagonals(const Polygon& piece, double x0, double z0) {
    Parts split;
    for (double s1 : {-1.0, 1.0}) {
        for (double s2 : {-1.0, 1.0}) {
            Polygon q = ClipBy(piece, [&](const Vec2& v) { return s1 * ((v.x - x0) - (v.y - z0)); });
            q = WithoutRepeats(ClipBy(q, [&](const Vec2& v) { return s2 * ((v.x - x0) + (v.y - z0) - 1); }));
            if (q.size() >= 3) split.parts[split.count++] = q;
        }
    }
    return split;
}

}  // namespace

double MarkHeightAt(const KvHeightField& ground, double x, double z) {
    const double x0 = std::floor(x), z0 = std::floor(z), tx = x - x0, tz = z - z0;
    const CellCorners c(ground, x0, z0);
    // Split along the diagonal from (0, 0) to (1, 1), and along the other one.
    const double alongMain = tx >= tz ? c.h00 + tx * (c.h10 - c.h00) + tz * (c.h11 - c.h10)
                                      : c.h00 + tz * (c.h01 - c.h00) + tx * (c.h11 - c.h01);
    const double alongOther = tx + tz <= 1 ? c.h00 + tx * (c.h10 - c.h00) + tz * (c.h01 - c.h00)
                                           : c.h11 + (1 - tx) * (c.h01 - c.h11) + (1 - tz) * (c.h10 - c.h11);
    return std::max(alongMain, alongOther) + KvTrack::kLift;
}

GroundMesh LaySquareOnGround(const KvHeightField& ground, const std::array<Vec2, 4>& corners) {
    GroundMesh mesh;
    LaySquareOnGround(ground, corners, mesh);
    return mesh;
}

void LaySquareOnGround(const KvHeightField& ground, const std::array<Vec2, 4>& corners, GroundMesh& mesh) {
    mesh.vertices.clear();
    mesh.texCoords.clear();
    mesh.indices.clear();
    const Vec2 e1 = corners[1] - corners[0], e2 = corners[3] - corners[0];
    const double l1 = e1.Length(), l2 = e2.Length();
    if (!(l1 > 0) || !(l2 > 0)) return;
    const Vec2 u1 = e1 * (1 / l1), u2 = e2 * (1 / l2);

    const Polygon square(corners);
    double minX = corners[0].x, maxX = minX, minZ = corners[0].y, maxZ = minZ;
    for (const Vec2& c : corners) {
        minX = std::min(minX, c.x), maxX = std::max(maxX, c.x);
        minZ = std::min(minZ, c.y), maxZ = std::max(maxZ, c.y);
    }
    for (double z0 = std::floor(minZ); z0 <= maxZ; ++z0) {
        for (double x0 = std::floor(minX); x0 <= maxX; ++x0) {
            const Polygon piece = PieceInCell(square, x0, z0);
            Parts parts;
            if (CellCorners(ground, x0, z0).Planar()) parts.parts[parts.count++] = piece;
            else parts = SplitAlongDiagonals(piece, x0, z0);
            for (Polygon part : parts) {
                const double area2 = SignedArea2(part);
                if (part.size() < 3 || std::fabs(area2) < 1e-12) continue;
                if (area2 > 0) std::reverse(part.begin(), part.end());
                const auto first = static_cast<uint32_t>(mesh.vertices.size());
                for (const Vec2& p : part) {
                    mesh.vertices.push_back({p.x, MarkHeightAt(ground, p.x, p.y), p.y});
                    mesh.texCoords.push_back({(p - corners[0]).Dot(u1) / l1, (p - corners[0]).Dot(u2) / l2});
                }
                for (uint32_t k = 1; k + 1 < part.size(); ++k)
                    mesh.indices.insert(mesh.indices.end(), {first, first + k, first + k + 1});
            }
        }
    }
}

void DrawGroundMesh(const GroundMesh& mesh) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_DOUBLE, 0, mesh.vertices.data());
    glTexCoordPointer(2, GL_DOUBLE, 0, mesh.texCoords.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh.indices.size()), GL_UNSIGNED_INT, mesh.indices.data());
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

KvTrack::KvTrack(const KvHeightField& ground, double x, double z, double angle, double size) : KvProcess(false) {
    const double h = size / 2, c = std::cos(angle), s = std::sin(angle);
    std::array<Vec2, 4> corners;
    const Vec2 local[4] = {{-h, -h}, {-h, h}, {h, h}, {h, -h}};
    for (int i = 0; i < 4; ++i) {
        corners[i] = {x + c * local[i].x + s * local[i].y, z - s * local[i].x + c * local[i].y};
    }
    mesh_ = LaySquareOnGround(ground, corners);
    bounds = Box::Around(mesh_.vertices.begin(), mesh_.vertices.end());
}

double KvTrack::Alpha() const {
    const double age = Age();
    return age <= kFadeStart ? 1.0 : (kLifetime - age) / 1.25;
}

void KvTrack::Step(double dt) {
    age_ += dt;
    if (age_ < kLifetime || expired_) return;
    expired_ = true;
    if (owningScene_) owningScene_->RemoveTrack(*this, false);
    if (owner_) owner_->Remove(this, true);
}

void KvTrack::Draw(bool isMainView) {
    if ((!visible && !isMainView) || !texture_ || mesh_.indices.empty()) return;
    texture_->Bind();
    glColor4d(1, 1, 1, Alpha());
    DrawGroundMesh(mesh_);
}

}  // namespace kv
