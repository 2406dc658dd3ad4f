#include "render/Transparent.h"

#include <epoxy/gl.h>

#include "render/Texture.h"

namespace kv {

namespace {

void EmitVertices(const KvTransparent& record) {
    glColor4dv(record.colour.data());
    for (uint32_t i = 0; i < record.count; ++i) {
        glTexCoord2d(record.texCoords[i].u, record.texCoords[i].v);
        glVertex3d(record.vertices[i].x, record.vertices[i].y, record.vertices[i].z);
    }
}

}  // namespace

KvTransparent::KvTransparent(uint32_t primitiveMode, uint32_t count)
    : mode(primitiveMode), count(count), vertices(count), texCoords(count) {}

void KvTransparent::Draw(bool isMainView) {
    if (!texture) return;
    glBlendFunc(blendSource, blendDestination);
    texture->Bind();
    glBegin(mode);
    EmitVertices(*this);
    glEnd();
}

void DrawBatches(const TransparentMap& records) {
    bool open = false;
    WalkBatches(
        records,
        [&](const KvTransparent& record) {
            if (open) glEnd();
            glBlendFunc(record.blendSource, record.blendDestination);
            record.texture->Bind();
            glBegin(record.mode);
            open = true;
        },
        EmitVertices);
    if (open) glEnd();
    glDisable(GL_TEXTURE_2D);
}

}  // namespace kv
