#include "render/Ground.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>

#include "render/TextureSet.h"
#include "render/Texture.h"

namespace kv {

namespace {

constexpr int kDark = 0, kOuter = 1;

double GridX(uint32_t vertex) { return static_cast<double>(vertex % KvHeightField::kSize) - 20; }
double GridZ(uint32_t vertex) { return static_cast<double>(vertex / KvHeightField::kSize) - 20; }

bool Within(uint32_t vertex, double halfSize) {
    return std::abs(GridX(vertex)) <= halfSize && std::abs(GridZ(vertex)) <= halfSize;
}

}  // namespace

KvGround::KvGround()
    : positions_(kVertices), texCoords_(kVertices), normals_(kVertices), unsetRemap_(kVertices, kNotCopied) {
    for (uint32_t i = 0; i < kVertices; ++i) {
        positions_[i] = {GridX(i), 0, GridZ(i)};
        // The texture repeats five times across the field.
        texCoords_[i] = {5 * (GridX(i) + 20) / 40, 5 * (GridZ(i) + 20) / 40};
    }
    // Each cell's quad runs counter-clockwise seen from above.
    for (int r = 0; r < kCells; ++r) {
        for (int c = 0; c < kCells; ++c) {
            const uint32_t i = r * kSize + c;
            quadIndices_.insert(quadIndices_.end(), {i, i + kSize, i + kSize + 1, i + 1});
        }
    }
    for (int q = 0; q < kQuads; ++q) {
        const uint32_t* quad = &quadIndices_[4 * q];
        const bool dark = Within(quad[0], kDarkHalfSize) && Within(quad[2], kDarkHalfSize);
        std::vector<uint32_t>& list = dark ? darkIndices_ : outerIndices_;
        list.insert(list.end(), quad, quad + 4);
    }
    for (int pr = 0; pr < kPatchesPerSide; ++pr) {
        for (int pc = 0; pc < kPatchesPerSide; ++pc) {
            Patch& patch = patches_[pr * kPatchesPerSide + pc];
            size_t n = 0;
            for (int r = pr * kPatchCells; r < (pr + 1) * kPatchCells; ++r) {
                for (int c = pc * kPatchCells; c < (pc + 1) * kPatchCells; ++c) {
                    const uint32_t* quad = &quadIndices_[4 * (r * kCells + c)];
                    std::copy(quad, quad + 4, patch.indices.begin() + n);
                    n += 4;
                }
            }
            patch.inArena = std::any_of(patch.indices.begin(), patch.indices.end(),
                                        [](uint32_t i) { return Within(i, kArenaHalfSize); });
        }
    }
    material_.diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
    ComputeNormals();
    HeightsChanged();
}

void KvGround::HeightsChanged() {
    for (uint32_t i = 0; i < kVertices; ++i) {
        const int r = static_cast<int>(i / kSize), c = static_cast<int>(i % kSize);
        positions_[i].y = Y(r, c);
        normals_[i] = Normal(r, c);
    }
    const auto [low, high] = std::minmax_element(positions_.begin(), positions_.end(),
                                                 [](const KvVec3& a, const KvVec3& b) { return a.y < b.y; });
    lowest_ = low->y;
    highest_ = high->y;
    for (Patch& patch : patches_) {
        std::array<KvVec3, kPatchIndices> corners;
        std::transform(patch.indices.begin(), patch.indices.end(), corners.begin(),
                       [&](uint32_t i) { return positions_[i]; });
        patch.bounds = Box::Around(corners.begin(), corners.end());
    }
}

void KvGround::LoadTextures(const KvTextureSet& textures) {
    SetTextures(textures.GetTexture("dark.grass"), textures.GetTexture("grass"));
}

void KvGround::AttachTree(VisibilityTree& tree) {
    for (Patch& patch : patches_) {
        patch.RemoveFromTree();
        tree.Insert(patch);
    }
}

void KvGround::BuildCompactArrays() {
    for (CompactArrays& k : compact_) {
        std::copy(unsetRemap_.begin(), unsetRemap_.end(), k.remap.begin());
        k.vertexCount = k.indexCount = 0;
    }
    for (const Patch& patch : patches_) {
        if (!patch.visible) continue;
        CompactArrays& k = compact_[patch.inArena ? kDark : kOuter];
        for (uint32_t i : patch.indices) {
            if (k.remap[i] == kNotCopied) {
                k.positions[k.vertexCount] = positions_[i];
                k.texCoords[k.vertexCount] = texCoords_[i];
                k.normals[k.vertexCount] = normals_[i];
                k.remap[i] = k.vertexCount++;
            }
            k.indices[k.indexCount++] = k.remap[i];
        }
    }
}

void KvGround::DrawQuads(const KvTexture* texture, const KvVec3* positions, const KvTexCoord* texCoords,
                         const KvVec3* normals, const uint32_t* indices, size_t count) {
    if (!texture || count == 0) return;
    texture->Bind();
    glVertexPointer(3, GL_DOUBLE, 0, positions);
    glTexCoordPointer(2, GL_DOUBLE, 0, texCoords);
    glNormalPointer(GL_DOUBLE, 0, normals);
    glDrawElements(GL_QUADS, static_cast<GLsizei>(count), GL_UNSIGNED_INT, indices);
}

void KvGround::Draw(KvScene& scene, bool isMainView) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    material_.Apply();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPushMatrix();
    if (isMainView) {
        DrawQuads(darkTexture_, positions_.data(), texCoords_.data(), normals_.data(), darkIndices_.data(),
                  darkIndices_.size());
        DrawQuads(outerTexture_, positions_.data(), texCoords_.data(), normals_.data(), outerIndices_.data(),
                  outerIndices_.size());
    } else {
        BuildCompactArrays();
        const KvTexture* textures[2] = {darkTexture_, outerTexture_};
        for (int k : {kDark, kOuter}) {
            const CompactArrays& a = compact_[k];
            DrawQuads(textures[k], a.positions.data(), a.texCoords.data(), a.normals.data(), a.indices.data(),
                      a.indexCount);
        }
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
}

}  // namespace kv
