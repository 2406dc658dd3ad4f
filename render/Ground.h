#pragma once
// The drawn ground: the height field's 41 x 41 grid as 1600 textured quads, darker grass in
// the 12 x 12 cells round the arena, split into 100 patches of 4 x 4 cells so that robot
// views draw only the patches their cull marked.
//
// The main view draws the whole field with two indexed calls over shared arrays. Robot views
// copy the vertices of their visible patches into compact arrays, one set per texture class
// (0 dark: the 16 patches touching the arena; 1 outer), each vertex at most once per class.

#include <array>
#include <cstdint>
#include <vector>

#include "assets/Mesh.h"
#include "render/DrawObject.h"
#include "render/Lighting.h"
#include "render/VisibilityTree.h"
#include "sim/HeightField.h"

namespace kv {

class KvTexture;
class KvTextureSet;

class KvGround : public KvHeightField, public KvDrawObject {
public:
    static constexpr int kCells = kSize - 1;               // 40 cells a side
    static constexpr int kVertices = kSize * kSize;        // 1681
    static constexpr int kQuads = kCells * kCells;         // 1600
    static constexpr int kPatchCells = 4;                  // cells a patch side
    static constexpr int kPatchesPerSide = kCells / kPatchCells;
    static constexpr int kPatches = kPatchesPerSide * kPatchesPerSide;
    static constexpr double kDarkHalfSize = 6.0;           // dark cells lie within -6..6
    static constexpr double kArenaHalfSize = 5.0;
    static constexpr uint32_t kNotCopied = 0xFFFFFFFF;
    static constexpr int kPatchIndices = 4 * kPatchCells * kPatchCells;

    // One 4 x 4-cell block: the 64 indices of its 16 quads, row by row.
    struct Patch : KvVisObject {
        Patch() { dynamic = 0; }
        std::array<uint32_t, kPatchIndices> indices{};
        bool inArena = false;  // a corner lies within -5..5 in X and Z
    };

    // A texture class's compact arrays, rebuilt by each robot view.
    struct CompactArrays {
        std::vector<KvVec3> positions = std::vector<KvVec3>(kVertices);
        std::vector<KvTexCoord> texCoords = std::vector<KvTexCoord>(kVertices);
        std::vector<KvVec3> normals = std::vector<KvVec3>(kVertices);
        std::vector<uint32_t> indices = std::vector<uint32_t>(4 * kQuads);
        std::vector<uint32_t> remap = std::vector<uint32_t>(kVertices, kNotCopied);
        uint32_t vertexCount = 0;
        uint32_t indexCount = 0;
    };

    // Flat until the owner generates hills.
    KvGround();

    // "dark.grass" and "grass" from the store; a missing one leaves its cells undrawn.
    void LoadTextures(const KvTextureSet& textures);
    void SetTextures(const KvTexture* dark, const KvTexture* outer) {
        darkTexture_ = dark;
        outerTexture_ = outer;
    }

    // Main view: the dark and the outer cells over the full arrays. Robot view: the visible
    // patches through the compact arrays.
    void Draw(KvScene& scene, bool isMainView) override;
    // Every patch out of any tree and into this one.
    void AttachTree(VisibilityTree& tree) override;

    // Fills both classes' compact arrays from the patches whose visible flag is set.
    void BuildCompactArrays();

    const std::vector<KvVec3>& Positions() const { return positions_; }
    const std::vector<KvTexCoord>& TexCoords() const { return texCoords_; }
    const std::vector<uint32_t>& QuadIndices() const { return quadIndices_; }
    const std::vector<uint32_t>& DarkIndices() const { return darkIndices_; }
    const std::vector<uint32_t>& OuterIndices() const { return outerIndices_; }
    std::array<Patch, kPatches>& Patches() { return patches_; }
    const CompactArrays& Compact(int textureClass) const { return compact_[textureClass]; }
    const Material& GroundMaterial() const { return material_; }
    // The lowest and highest heights of the drawn ground (its vertices; the cells are flat
    // between them).
    double Lowest() const { return lowest_; }
    double Highest() const { return highest_; }

private:
    void HeightsChanged() override;
    // Quads of one texture over the given arrays; nothing when the texture is missing.
    static void DrawQuads(const KvTexture* texture, const KvVec3* positions, const KvTexCoord* texCoords,
                          const KvVec3* normals, const uint32_t* indices, size_t count);

    std::vector<KvVec3> positions_;
    std::vector<KvTexCoord> texCoords_;
    std::vector<KvVec3> normals_;
    std::vector<uint32_t> quadIndices_;
    std::vector<uint32_t> darkIndices_;
    std::vector<uint32_t> outerIndices_;
    std::array<CompactArrays, 2> compact_;
    std::vector<uint32_t> unsetRemap_;
    std::array<Patch, kPatches> patches_;
    Material material_;
    const KvTexture* darkTexture_ = nullptr;
    const KvTexture* outerTexture_ = nullptr;
    double lowest_ = 0, highest_ = 0;
};

}  // namespace kv
