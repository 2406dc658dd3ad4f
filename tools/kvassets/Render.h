#pragma once
// A small software rasteriser: depth-buffered, textured, lit triangles in the game's Y-up
// world. It paints the splash picture and the model previews from the real model files.

#include <vector>

#include "assets/ModelParts.h"
#include "tools/kvassets/Geometry.h"
#include "tools/kvassets/Image.h"

namespace kv::gen {

struct RenderTri {
    KvVec3 p[3];
    KvVec3 n[3];
    double uv[3][2];
    const Image* texture;
    Rgba tint{1, 1, 1, 1};
};

class Rasteriser {
public:
    explicit Rasteriser(Image& target);
    void LookAt(KvVec3 eye, KvVec3 target, double fovDegrees);
    void Draw(const std::vector<RenderTri>& tris);
    // Screen position and distance of a world point; false when it lies behind the eye.
    bool Project(KvVec3 p, double& x, double& y, double& depth) const;
    // Blends towards colour with distance (metres for 63 % of the way); 0 turns fog off.
    void SetFog(Rgba colour, double distance) {
        fog_ = colour;
        fogDistance_ = distance;
    }
    // Adds the triangles of one mesh drawn at world matrix.
    static void AddMesh(std::vector<RenderTri>& out, const KvMesh& mesh, const KvMatrix& world, const Image* texture);

private:
    void DrawClipped(const RenderTri& t);
    Image& img_;
    std::vector<double> depth_;
    KvVec3 eye_, right_, up_, forward_;
    double focal_ = 1;
    Rgba fog_;
    double fogDistance_ = 0;
};

}  // namespace kv::gen
