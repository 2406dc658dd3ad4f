#include "render/Transparent.h"

#include <epoxy/gl.h>

#include "render/Texture.h"

namespace kv {

KvTransparentList::Added KvTransparentList::Add(double key, uint32_t mode, uint32_t count) {
    KvTransparent& record = records_.emplace_back();
    record.mode = mode;
    record.key = key;
    record.first = static_cast<uint32_t>(vertices_.size());
    record.count = count;
    vertices_.resize(vertices_.size() + count);
    texCoords_.resize(texCoords_.size() + count);
    return {record, &vertices_[record.first], &texCoords_[record.first]};
}

void KvTransparentList::Clear() {
    records_.clear();
    vertices_.clear();
    texCoords_.clear();
    order_.clear();
}

size_t KvTransparentList::Size() const {
    Sort();
    size_t n = 0;
    for (size_t i = 0; i < order_.size(); ++i) {
        if (i == 0 || records_[order_[i - 1]].key != records_[order_[i]].key) ++n;
    }
    return n;
}

void KvTransparentList::Sort() const {
    if (order_.size() == records_.size()) return;
    order_.resize(records_.size());
    for (uint32_t i = 0; i < order_.size(); ++i) order_[i] = i;
    // Farthest first; under one key, the latest added first.
    std::sort(order_.begin(), order_.end(), [&](uint32_t a, uint32_t b) {
        const double ka = records_[a].key, kb = records_[b].key;
        return ka != kb ? ka > kb : a > b;
    });
}

void DrawBatches(const KvTransparentList& records) {
    bool open = false;
    records.WalkBatches(
        [&](const KvTransparent& record) {
            if (open) glEnd();
            glBlendFunc(record.blendSource, record.blendDestination);
            record.texture->Bind();
            glBegin(record.mode);
            open = true;
        },
        [](const KvTransparent& record, const KvVec3* vertices, const KvTexCoord* texCoords) {
            glColor4dv(record.colour.data());
            for (uint32_t i = 0; i < record.count; ++i) {
                glTexCoord2d(texCoords[i].u, texCoords[i].v);
                glVertex3d(vertices[i].x, vertices[i].y, vertices[i].z);
            }
        });
    if (open) glEnd();
    glDisable(GL_TEXTURE_2D);
}

}  // namespace kv
