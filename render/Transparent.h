#pragma once
// Short-lived see-through records that particle systems build while a view is drawn: one
// textured primitive batch each, kept by the scene under a depth key (larger is farther)
// and drawn back to front. Consecutive records that share blend pair, texture and
// primitive are drawn as one batch.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "assets/Mesh.h"
#include "render/DrawObject.h"

namespace kv {

class KvTexture;

inline constexpr uint32_t kGlTriangles = 0x0004;
inline constexpr uint32_t kGlQuads = 0x0007;
inline constexpr uint32_t kGlSrcAlpha = 0x0302;
inline constexpr uint32_t kGlOneMinusSrcAlpha = 0x0303;

class KvTransparent : public KvBaseTransparent {
public:
    // count vertices and texture coordinates, all zero.
    KvTransparent(uint32_t primitiveMode, uint32_t count);
    // Draws this record alone: colour, blend pair and texture, then its vertices.
    void Draw(bool isMainView) override;

    uint32_t mode;
    uint32_t count;
    std::vector<KvVec3> vertices;
    std::vector<KvTexCoord> texCoords;
    std::array<double, 4> colour{0, 0, 0, 1};
    const KvTexture* texture = nullptr;  // the resource store's; a record without one is skipped
    uint32_t blendSource = kGlSrcAlpha;
    uint32_t blendDestination = kGlOneMinusSrcAlpha;

    // Records drawn in one batch share this.
    bool SharesBatchWith(const KvTransparent& o) const {
        return blendSource == o.blendSource && blendDestination == o.blendDestination && texture == o.texture &&
               mode == o.mode;
    }
};

// Depth key -> record; adding under a present key replaces the record.
using TransparentMap = std::map<double, std::unique_ptr<KvTransparent>>;

// Walks the records from the largest key to the smallest, skipping those without a
// texture: startBatch(record) opens each run of records that share a batch, then
// emit(record) for each record of it.
template <class StartBatch, class Emit>
void WalkBatches(const TransparentMap& records, StartBatch&& startBatch, Emit&& emit) {
    const KvTransparent* batch = nullptr;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        const KvTransparent& record = *it->second;
        if (!record.texture) continue;
        if (!batch || !record.SharesBatchWith(*batch)) {
            startBatch(record);
            batch = &record;
        }
        emit(record);
    }
}

// The batched pass: one begin/end per batch, each record setting its colour and emitting its
// vertices. The caller has set blending, lighting and the camera.
void DrawBatches(const TransparentMap& records);

}  // namespace kv
