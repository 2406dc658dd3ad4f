#include "tools/kvassets/Geometry.h"

#include <algorithm>
#include <array>
#include <map>

#include "core/Angles.h"

namespace kv::gen {

Frame Frame::Rotated(int axis, double angle) const {
    const double c = std::cos(angle), s = std::sin(angle);
    Frame f = *this;
    if (axis == 0) {
        f.y = y * c + z * s;
        f.z = z * c - y * s;
    } else if (axis == 1) {
        f.z = z * c + x * s;
        f.x = x * c - z * s;
    } else {
        f.x = x * c + y * s;
        f.y = y * c - x * s;
    }
    return f;
}

UvMap BoxMapping(double scale, double offsetU, double offsetV) {
    return [=](KvVec3 p, KvVec3 n, double& u, double& v) {
        const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
        if (az >= ax && az >= ay) {
            u = p.x;
            v = n.z >= 0 ? -p.y : p.y;
        } else if (ax >= ay) {
            u = n.x >= 0 ? p.y : -p.y;
            v = p.z;
        } else {
            u = n.y >= 0 ? -p.x : p.x;
            v = p.z;
        }
        u = u * scale + offsetU;
        v = v * scale + offsetV;
    };
}

int MeshBuilder::AddVertex(KvVec3 p) {
    points_.push_back(p);
    return static_cast<int>(points_.size()) - 1;
}

void MeshBuilder::Loft(const std::vector<std::vector<KvVec3>>& rings, const UvMap& uv, double capInset, bool wrapU) {
    const std::size_t n = rings.front().size();
    std::vector<std::vector<int>> ids;
    for (const auto& ring : rings) {
        bool point = true;
        for (const KvVec3& p : ring) point = point && Length(p - ring[0]) < 1e-9;
        ids.emplace_back(n, point ? AddVertex(ring[0]) : -1);
        if (!point)
            for (std::size_t j = 0; j < n; ++j) ids.back()[j] = AddVertex(ring[j]);
    }
    std::vector<std::array<int, 3>> tris;
    auto tri = [&](int a, int b, int c) {
        if (a != b && b != c && a != c) tris.push_back({a, b, c});
    };
    for (std::size_t r = 0; r + 1 < ids.size(); ++r)
        for (std::size_t j = 0; j < n; ++j) {
            std::size_t k = (j + 1) % n;
            tri(ids[r][j], ids[r + 1][j], ids[r + 1][k]);
            tri(ids[r][j], ids[r + 1][k], ids[r][k]);
        }
    auto centroid = [&](std::size_t r) {
        KvVec3 c;
        for (const KvVec3& p : rings[r]) c = c + p;
        return c * (1.0 / static_cast<double>(n));
    };
    const KvVec3 axis = Normalised(centroid(rings.size() - 1) - centroid(0));
    if (ids.front()[0] != ids.front()[1 % n]) {
        int c = AddVertex(centroid(0) + axis * capInset);
        for (std::size_t j = 0; j < n; ++j) tri(c, ids.front()[j], ids.front()[(j + 1) % n]);
    }
    if (ids.back()[0] != ids.back()[1 % n]) {
        int c = AddVertex(centroid(rings.size() - 1) - axis * capInset);
        for (std::size_t j = 0; j < n; ++j) tri(c, ids.back()[(j + 1) % n], ids.back()[j]);
    }
    // Whatever order the rings were given in, the piece must wind outward.
    double volume = 0;
    for (const auto& t : tris) volume += Dot(points_[t[0]], Cross(points_[t[1]], points_[t[2]]));
    for (auto& t : tris) {
        if (volume < 0) std::swap(t[1], t[2]);
        AddTri(t[0], t[1], t[2], uv, wrapU);
    }
}

void MeshBuilder::AddTri(int a, int b, int c, const UvMap& uv, bool wrapU) {
    Tri t{{a, b, c}, {}};
    KvVec3 normal = Normalised(Cross(points_[b] - points_[a], points_[c] - points_[a]));
    for (int k = 0; k < 3; ++k) uv(points_[t.v[k]], normal, t.uv[k][0], t.uv[k][1]);
    if (wrapU) {
        double lo = std::min({t.uv[0][0], t.uv[1][0], t.uv[2][0]}), hi = std::max({t.uv[0][0], t.uv[1][0], t.uv[2][0]});
        if (hi - lo > 0.5)
            for (auto& corner : t.uv)
                if (corner[0] < 0.5) corner[0] += 1.0;
    }
    tris_.push_back(t);
}

void MeshBuilder::BevelBox(KvVec3 c, KvVec3 h, double b, const UvMap& uv) {
    // Rings along y: the bevelled x-z section, inset at both ends by the bevel.
    auto section = [&](double y, double inset) {
        const double x0 = h.x - inset, z0 = h.z - inset;
        const double xb = x0 - b, zb = z0 - b;
        std::vector<KvVec3> ring = {{c.x + x0, c.y + y, c.z - zb}, {c.x + x0, c.y + y, c.z + zb}, {c.x + xb, c.y + y, c.z + z0},
                                {c.x - xb, c.y + y, c.z + z0}, {c.x - x0, c.y + y, c.z + zb}, {c.x - x0, c.y + y, c.z - zb},
                                {c.x - xb, c.y + y, c.z - z0}, {c.x + xb, c.y + y, c.z - z0}};
        return ring;
    };
    Loft({section(-h.y, b), section(-h.y + b, 0), section(h.y - b, 0), section(h.y, b)}, uv);
}

void MeshBuilder::Lathe(int axis, KvVec3 centre, const std::vector<std::pair<double, double>>& profile, int n, const UvMap& uv,
                        bool wrapU) {
    const double startAngle = kPi / n;
    std::vector<std::vector<KvVec3>> rings;
    for (const auto& [along, radius] : profile) {
        std::vector<KvVec3> ring;
        for (int j = 0; j < n; ++j) {
            const double a = startAngle + 2 * kPi * j / n;
            const double c = std::cos(a) * radius, s = std::sin(a) * radius;
            KvVec3 p = axis == 0 ? KvVec3{along, c, s} : axis == 1 ? KvVec3{s, along, c} : KvVec3{c, s, along};
            ring.push_back(centre + p);
        }
        rings.push_back(ring);
    }
    Loft(rings, uv, 0, wrapU);
}

bool MeshBuilder::IsClosed() const {
    std::map<std::pair<int, int>, int> edges;
    for (const Tri& t : tris_)
        for (int k = 0; k < 3; ++k) ++edges[{t.v[k], t.v[(k + 1) % 3]}];
    for (const auto& [edge, count] : edges) {
        auto reverse = edges.find({edge.second, edge.first});
        if (count != 1 || reverse == edges.end() || reverse->second != 1) return false;
    }
    return true;
}

KvModelObject MeshBuilder::Build(const char* name, const Frame& frame, double creaseDeg) const {
    const double cosCrease = std::cos(Radians(creaseDeg));
    std::vector<KvVec3> faceNormal(tris_.size());
    std::vector<std::vector<int>> facesOf(points_.size());
    for (std::size_t f = 0; f < tris_.size(); ++f) {
        const Tri& t = tris_[f];
        faceNormal[f] = Cross(points_[t.v[1]] - points_[t.v[0]], points_[t.v[2]] - points_[t.v[0]]);
        for (int v : t.v) facesOf[static_cast<std::size_t>(v)].push_back(static_cast<int>(f));
    }

    KvModelObject o;
    o.name = name;
    o.secondName = name;
    const KvVec3 rows[4] = {frame.x, frame.y, frame.z, frame.origin};
    for (int r = 0; r < 4; ++r) {
        o.placement[r][0] = static_cast<float>(rows[r].x);
        o.placement[r][1] = static_cast<float>(rows[r].y);
        o.placement[r][2] = static_cast<float>(rows[r].z);
    }
    for (const KvVec3& p : points_) {
        KvVec3 w = frame.Apply(p);
        o.vertices.push_back({static_cast<float>(w.x), static_cast<float>(w.y), static_cast<float>(w.z)});
    }
    for (std::size_t f = 0; f < tris_.size(); ++f) {
        const Tri& t = tris_[f];
        KvModelFace face;
        const KvVec3 own = Normalised(faceNormal[f]);
        for (int k = 0; k < 3; ++k) {
            KvVec3 sum;
            for (int g : facesOf[static_cast<std::size_t>(t.v[k])])
                if (Dot(Normalised(faceNormal[static_cast<std::size_t>(g)]), own) >= cosCrease) sum = sum + faceNormal[static_cast<std::size_t>(g)];
            KvVec3 n = frame.Turn(Normalised(sum));
            face.vertex[k] = static_cast<uint32_t>(t.v[k]);
            face.textureVertex[k] = static_cast<uint32_t>(o.textureVertices.size());
            o.textureVertices.push_back({static_cast<float>(t.uv[k][0]), static_cast<float>(t.uv[k][1]), 0.0f});
            face.normal[k] = {static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)};
        }
        o.faces.push_back(face);
    }
    return o;
}

}  // namespace kv::gen
