#include "tools/kvassets/Render.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/Angles.h"

namespace kv::gen {

namespace {

Rgba Sample(const Image& t, double u, double v) {
    // Bilinear, repeating; v = 0 is the bottom row as in OpenGL.
    const double x = u * t.width - 0.5, y = (1 - v) * t.height - 0.5;
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    Image& img = const_cast<Image&>(t);
    Rgba a = Mix(img.At(x0, y0), img.At(x0 + 1, y0), fx);
    Rgba b = Mix(img.At(x0, y0 + 1), img.At(x0 + 1, y0 + 1), fx);
    return Mix(a, b, fy);
}

}  // namespace

Rasteriser::Rasteriser(Image& target)
    : img_(target), depth_(static_cast<std::size_t>(target.width * target.height), std::numeric_limits<double>::infinity()) {}

void Rasteriser::LookAt(KvVec3 eye, KvVec3 target, double fovDegrees) {
    eye_ = eye;
    forward_ = Normalised(target - eye);
    right_ = Normalised(Cross(forward_, KvVec3{0, 1, 0}));
    up_ = Cross(right_, forward_);
    focal_ = img_.height / 2.0 / std::tan(Radians(fovDegrees / 2));
}

bool Rasteriser::Project(KvVec3 p, double& x, double& y, double& depth) const {
    const KvVec3 d = p - eye_;
    depth = Dot(d, forward_);
    if (depth < 0.01) return false;
    x = img_.width / 2.0 + Dot(d, right_) * focal_ / depth;
    y = img_.height / 2.0 - Dot(d, up_) * focal_ / depth;
    return true;
}

void Rasteriser::AddMesh(std::vector<RenderTri>& out, const KvMesh& mesh, const KvMatrix& world, const Image* texture) {
    const auto& pos = mesh.CornerPositions();
    const auto& nor = mesh.CornerNormals();
    const auto& uv = mesh.CornerTexCoords();
    for (std::size_t c = 0; c + 2 < pos.size(); c += 3) {
        RenderTri t{};
        for (int k = 0; k < 3; ++k) {
            KvVec3 p = TransformPoint(world, pos[c + k]);
            KvVec3 n = TransformDirection(world, nor[c + k]);
            t.p[k] = {p.x, p.y, p.z};
            t.n[k] = {n.x, n.y, n.z};
            t.uv[k][0] = uv[c + k].u;
            t.uv[k][1] = uv[c + k].v;
        }
        t.texture = texture;
        out.push_back(t);
    }
}

namespace {

struct ClipVertex {
    KvVec3 p, n;
    double u, v;
};

ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, double t) {
    return {a.p + (b.p - a.p) * t, a.n + (b.n - a.n) * t, a.u + (b.u - a.u) * t, a.v + (b.v - a.v) * t};
}

}  // namespace

void Rasteriser::Draw(const std::vector<RenderTri>& tris) {
    constexpr double kNear = 0.02;
    for (const RenderTri& t : tris) {
        // Clip against the near plane so that big ground faces reaching behind the eye still draw.
        std::vector<ClipVertex> in, out;
        for (int k = 0; k < 3; ++k) in.push_back({t.p[k], t.n[k], t.uv[k][0], t.uv[k][1]});
        for (std::size_t k = 0; k < in.size(); ++k) {
            const ClipVertex& a = in[k];
            const ClipVertex& b = in[(k + 1) % in.size()];
            const double da = Dot(a.p - eye_, forward_) - kNear, db = Dot(b.p - eye_, forward_) - kNear;
            if (da >= 0) out.push_back(a);
            if ((da >= 0) != (db >= 0)) out.push_back(Lerp(a, b, da / (da - db)));
        }
        for (std::size_t k = 1; k + 1 < out.size(); ++k) {
            RenderTri piece = t;
            const ClipVertex* v[3] = {&out[0], &out[k], &out[k + 1]};
            for (int j = 0; j < 3; ++j) {
                piece.p[j] = v[j]->p;
                piece.n[j] = v[j]->n;
                piece.uv[j][0] = v[j]->u;
                piece.uv[j][1] = v[j]->v;
            }
            DrawClipped(piece);
        }
    }
}

void Rasteriser::DrawClipped(const RenderTri& t) {
    const KvVec3 sun = Normalised(KvVec3{-0.5, 1.0, -0.35});
    const int w = img_.width, h = img_.height;
    {
        double sx[3], sy[3], sz[3];
        for (int k = 0; k < 3; ++k) {
            KvVec3 d = t.p[k] - eye_;
            sz[k] = Dot(d, forward_);
            sx[k] = w / 2.0 + Dot(d, right_) * focal_ / sz[k];
            sy[k] = h / 2.0 - Dot(d, up_) * focal_ / sz[k];
        }
        const double area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
        // Counter-clockwise faces seen from outside are clockwise on a y-down screen.
        if (area >= 0) return;

        const int x0 = std::max(0, static_cast<int>(std::floor(std::min({sx[0], sx[1], sx[2]}))));
        const int x1 = std::min(w - 1, static_cast<int>(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
        const int y0 = std::max(0, static_cast<int>(std::floor(std::min({sy[0], sy[1], sy[2]}))));
        const int y1 = std::min(h - 1, static_cast<int>(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const double px = x + 0.5, py = y + 0.5;
                double b[3];
                b[0] = ((sx[1] - px) * (sy[2] - py) - (sx[2] - px) * (sy[1] - py)) / area;
                b[1] = ((sx[2] - px) * (sy[0] - py) - (sx[0] - px) * (sy[2] - py)) / area;
                b[2] = 1 - b[0] - b[1];
                if (b[0] < 0 || b[1] < 0 || b[2] < 0) continue;
                // Perspective-correct weights.
                double wsum = 0, pw[3];
                for (int k = 0; k < 3; ++k) wsum += pw[k] = b[k] / sz[k];
                for (double& v : pw) v /= wsum;
                const double z = 1 / wsum;
                double& dz = depth_[static_cast<std::size_t>(y * w + x)];
                if (z >= dz) continue;
                dz = z;
                KvVec3 n = Normalised(t.n[0] * pw[0] + t.n[1] * pw[1] + t.n[2] * pw[2]);
                const double u = t.uv[0][0] * pw[0] + t.uv[1][0] * pw[1] + t.uv[2][0] * pw[2];
                const double v = t.uv[0][1] * pw[0] + t.uv[1][1] * pw[1] + t.uv[2][1] * pw[2];
                Rgba c = t.texture ? Sample(*t.texture, u, v) : Rgba{0.7f, 0.7f, 0.7f, 1};
                const KvVec3 pos = t.p[0] * pw[0] + t.p[1] * pw[1] + t.p[2] * pw[2];
                const KvVec3 view = Normalised(eye_ - pos);
                const double diffuse = std::max(0.0, Dot(n, sun));
                const double specular = std::pow(std::max(0.0, Dot(n, Normalised(sun + view))), 24) * 0.35;
                const double sky = 0.35 + 0.15 * n.y;
                const double light = sky + 0.85 * diffuse;
                Rgba lit{static_cast<float>(c.r * t.tint.r * light + specular), static_cast<float>(c.g * t.tint.g * light + specular),
                         static_cast<float>(c.b * t.tint.b * light + specular), 1};
                if (fogDistance_ > 0) lit = Mix(lit, fog_, 1 - std::exp(-z / fogDistance_));
                img_.At(x, y) = lit;
            }
    }
}

}  // namespace kv::gen
