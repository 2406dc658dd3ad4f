#pragma once
// Closed triangle meshes built from lofted rings, for the generated model files. Faces wind
// counter-clockwise seen from outside; positions are shared along every edge so that the
// shadow-volume pass finds each edge twice; normals are per corner, smoothed across edges
// flatter than a crease angle.

#include <functional>
#include <vector>

#include "assets/ModelFile.h"
#include "core/Vec3.h"

namespace kv::gen {

// A rotation (three axis columns) and a position: the object's frame inside the model.
struct Frame {
    KvVec3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    KvVec3 origin;
    KvVec3 Apply(KvVec3 p) const { return origin + x * p.x + y * p.y + z * p.z; }
    KvVec3 Turn(KvVec3 d) const { return x * d.x + y * d.y + z * d.z; }
    static Frame At(double px, double py, double pz) {
        Frame f;
        f.origin = {px, py, pz};
        return f;
    }
    // This frame turned by angle radians about its own axis (0 x, 1 y, 2 z).
    Frame Rotated(int axis, double angle) const;
};

// Texture coordinates of a corner from its local position and its face's unit normal.
using UvMap = std::function<void(KvVec3 position, KvVec3 normal, double& u, double& v)>;

// Projects each face onto the plane it faces most; scale is texture repeats per inch.
UvMap BoxMapping(double scale, double offsetU = 0, double offsetV = 0);

class MeshBuilder {
public:
    // Adds one closed piece lofted through rings of equal size (each ring a loop of points).
    // A ring whose points all coincide becomes a single tip vertex; open ends are capped
    // with a fan around their centroid pushed by capInset along the loft direction.
    void Loft(const std::vector<std::vector<KvVec3>>& rings, const UvMap& uv, double capInset = 0, bool wrapU = false);
    // A box with bevelled edges, centred at c with half sizes h, bevel b (all inches).
    void BevelBox(KvVec3 c, KvVec3 h, double b, const UvMap& uv);
    // A solid of revolution about the local axis (0 x, 1 y, 2 z): profile pairs of
    // (position along the axis, radius), n segments.
    // wrapU: u wraps at 1 (an angle), so a face across the seam continues past 1.
    void Lathe(int axis, KvVec3 centre, const std::vector<std::pair<double, double>>& profile, int n, const UvMap& uv,
               bool wrapU = false);

    // The object with every point placed through frame; normals smoothed below creaseDeg.
    KvModelObject Build(const char* name, const Frame& frame, double creaseDeg = 35) const;

    // Closedness check: every directed edge has its reverse exactly once.
    bool IsClosed() const;

private:
    struct Tri {
        int v[3];
        double uv[3][2];
    };
    int AddVertex(KvVec3 p);
    void AddTri(int a, int b, int c, const UvMap& uv, bool wrapU);
    std::vector<KvVec3> points_;
    std::vector<Tri> tris_;
};

}  // namespace kv::gen
