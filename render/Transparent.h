#pragma once
// Short-lived see-through records that particle systems build while a view is drawn: one
// textured primitive each, kept by the scene under a depth key (larger is farther) and drawn
// back to front. Consecutive records that share blend pair, texture and primitive are drawn
// as one batch.
//
// The records of a view live in one list whose arrays keep their room from frame to frame,
// so a frame that adds no more records than an earlier one allocates nothing.

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "assets/Mesh.h"

namespace kv {

class KvTexture;

inline constexpr uint32_t kGlTriangles = 0x0004;
inline constexpr uint32_t kGlQuads = 0x0007;
inline constexpr uint32_t kGlSrcAlpha = 0x0302;
inline constexpr uint32_t kGlOneMinusSrcAlpha = 0x0303;

struct KvTransparent {
    uint32_t mode = kGlQuads;
    std::array<double, 4> colour{0, 0, 0, 1};
    const KvTexture* texture = nullptr;  // the resource store's; a record without one is skipped
    uint32_t blendSource = kGlSrcAlpha;
    uint32_t blendDestination = kGlOneMinusSrcAlpha;
    double key = 0;
    uint32_t first = 0, count = 0;  // its vertices in the list's arrays

    // Records drawn in one batch share this.
    bool SharesBatchWith(const KvTransparent& o) const {
        return blendSource == o.blendSource && blendDestination == o.blendDestination && texture == o.texture &&
               mode == o.mode;
    }
};

class KvTransparentList {
public:
    // A new record's fields and its count vertices and texture coordinates (all zero) to fill
    // in; valid until the next Add. A record under a key already present takes its place.
    struct Added {
        KvTransparent& record;
        KvVec3* vertices;
        KvTexCoord* texCoords;
    };
    Added Add(double key, uint32_t mode, uint32_t count);
    // Forgets every record and keeps the room.
    void Clear();
    // The records that will be drawn: one per key.
    size_t Size() const;

    // Walks the records from the largest key to the smallest, skipping those without a
    // texture: startBatch(record) opens each run of records that share a batch, then
    // emit(record, vertices, texCoords) for each record of it.
    template <class StartBatch, class Emit>
    void WalkBatches(StartBatch&& startBatch, Emit&& emit) const {
        Sort();
        const KvTransparent* batch = nullptr;
        for (size_t i = 0; i < order_.size(); ++i) {
            const KvTransparent& record = records_[order_[i]];
            // Of the records under one key the latest comes first; the others are not drawn.
            if (i > 0 && records_[order_[i - 1]].key == record.key) continue;
            if (!record.texture) continue;
            if (!batch || !record.SharesBatchWith(*batch)) {
                startBatch(record);
                batch = &record;
            }
            emit(record, &vertices_[record.first], &texCoords_[record.first]);
        }
    }

private:
    void Sort() const;

    std::vector<KvTransparent> records_;
    std::vector<KvVec3> vertices_;
    std::vector<KvTexCoord> texCoords_;
    mutable std::vector<uint32_t> order_;  // indices into records_, farthest first
};

// The batched pass: one begin/end per batch, each record setting its colour and emitting its
// vertices. The caller has set blending, lighting and the camera.
void DrawBatches(const KvTransparentList& records);

}  // namespace kv
