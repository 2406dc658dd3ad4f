#pragma once
// Closed triangle meshes built from lofted rings, for the generated model files. Faces wind
// counter-clockwise seen from outside; positions are shared along every edge so that the
// shadow-volume pass finds each edge twice; normals are per corner, smoothed across edges
// flatter than a crease angle.

#include <cmath>
#include <functional>
#include <vector>

#include "assets/ModelFile.h"

namespace kv::gen {

struct V3 {
    double x = 0, y = 0, z = 0;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double Length(V3 a) { return std::sqrt(Dot(a, a)); }
inline V3 Unit(V3 a) {
    double l = Length(a);
    return l > 0 ? a * (1.0 / l) : V3{};
}

// A rotation (three axis columns) and a position: the object's frame inside the model.
struct Frame {
    V3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    V3 origin;
    V3 Apply(V3 p) const { return origin + x * p.x + y * p.y + z * p.z; }
    V3 Turn(V3 d) const { return x * d.x + y * d.y + z * d.z; }
    static Frame At(double px, double py, double pz) {
        Frame f;
        f.origin = {px, py, pz};
        return f;
    }
    // This frame turned by angle radians about its own axis (0 x, 1 y, 2 z).
    Frame Rotated(int axis, double angle) const;
};

// Texture coordinates of a corner from its local position and its face's unit normal.
using UvMap = std::function<void(V3 position, V3 normal, double& u, double& v)>;

// Projects each face onto the plane it faces most; scale is texture repeats per inch.
UvMap BoxMapping(double scale, double offsetU = 0, double offsetV = 0);

class MeshBuilder {
public:
    // Adds one closed piece lofted through rings of equal size (each ring a loop of points).
    // A ring whose points all coincide becomes a single tip vertex; open ends are capped
    // with a fan around their centroid pushed by capInset along the loft direction.
    void Loft(const std::vector<std::vector<V3>>& rings, const UvMap& uv, double capInset = 0, bool wrapU = false);
    // A box with bevelled edges, centred at c with half sizes h, bevel b (all inches).
    void BevelBox(V3 c, V3 h, double b, const UvMap& uv);
    // A solid of revolution about the local axis (0 x, 1 y, 2 z): profile pairs of
    // (position along the axis, radius), n segments.
    // wrapU: u wraps at 1 (an angle), so a face across the seam continues past 1.
    void Lathe(int axis, V3 centre, const std::vector<std::pair<double, double>>& profile, int n, const UvMap& uv,
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
    int AddVertex(V3 p);
    void AddTri(int a, int b, int c, const UvMap& uv, bool wrapU);
    std::vector<V3> points_;
    std::vector<Tri> tris_;
};

}  // namespace kv::gen
