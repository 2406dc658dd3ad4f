#include "render/MeshDraw.h"

#include <epoxy/gl.h>

namespace kv {

namespace {

// Replaces the model-view matrix by the pushed base matrix times world.
void LoadPartMatrix(TransformNode& node) {
    glPopMatrix();
    glPushMatrix();
    glMultMatrixd(node.GetWorld().data());
}

}  // namespace

void DrawTextured(const KvMesh& mesh) {
    if (mesh.CornerCount() == 0) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_DOUBLE, 0, mesh.CornerPositions().data());
    glTexCoordPointer(2, GL_DOUBLE, 0, mesh.CornerTexCoords().data());
    glNormalPointer(GL_DOUBLE, 0, mesh.CornerNormals().data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(mesh.CornerCount()));
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

void DrawPlain(const KvMesh& mesh) {
    const std::vector<uint32_t>& indices = mesh.CornerVertexIndices();
    if (indices.empty()) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_DOUBLE, 0, mesh.Positions().data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
    glDisableClientState(GL_VERTEX_ARRAY);
}

void BindPartTexture(const KvTextureSet& textures, const char* key) {
    if (const KvTexture* texture = textures.GetTexture(key)) {
        texture->Bind();
    } else {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
}

void DrawTextured(KvModelParts& parts, const KvTextureSet& textures) {
    for (int i = 0; i < KvModelParts::kPartCount; ++i) {
        if (!parts.IsDrawn(i)) continue;
        KvModelPart& part = parts[i];
        BindPartTexture(textures, part.textureKey);
        LoadPartMatrix(part.node);
        DrawTextured(*part.mesh);
    }
}

void DrawPlain(KvModelParts& parts) {
    glDisable(GL_TEXTURE_2D);
    for (int i = 0; i < KvModelParts::kPartCount; ++i) {
        if (!parts.IsDrawn(i)) continue;
        LoadPartMatrix(parts[i].node);
        DrawPlain(*parts[i].mesh);
    }
}

void DrawTextured(KvDebrisParts& debris, const KvTextureSet& textures, const std::function<bool(int)>& visible) {
    for (int i = 0; i < KvDebrisParts::kPieceCount; ++i) {
        KvModelPart& piece = debris.pieces[static_cast<std::size_t>(i)];
        if (!piece.mesh || !debris.shown[static_cast<std::size_t>(i)] || (visible && !visible(i))) continue;
        BindPartTexture(textures, piece.textureKey);
        LoadPartMatrix(piece.node);
        DrawTextured(*piece.mesh);
    }
}

}  // namespace kv
