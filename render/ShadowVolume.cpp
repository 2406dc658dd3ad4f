#include "render/ShadowVolume.h"

#include <epoxy/gl.h>

#include "assets/Mesh.h"
#include "assets/ModelParts.h"

namespace kv {

uint32_t BuildShadowVolume(uint32_t primitiveMode, std::span<const KvVec3> positions,
                           std::span<const uint32_t> cornerVertices, std::span<const KvVec3> cornerNormals,
                           const KvVec3& lightDirection, std::span<KvVec3> volumePositions,
                           std::span<uint32_t> volumeIndices, std::span<const int32_t> edgeTwins) {
    const std::size_t perFace = primitiveMode == kPrimitiveTriangles ? 3 : primitiveMode == kPrimitiveQuads ? 4 : 0;
    if (perFace == 0) return 0;
    const double length = Length(lightDirection);
    if (!(length > 0)) return 0;
    const std::size_t n = positions.size();
    const std::size_t corners = cornerVertices.size() - cornerVertices.size() % perFace;
    if (volumePositions.size() < 2 * n || volumeIndices.size() < 4 * corners || cornerNormals.size() < corners)
        return 0;

    const bool paired = edgeTwins.size() >= corners;
    const KvVec3 l = lightDirection * (1 / length);
    for (std::size_t i = 0; i < n; ++i) {
        volumePositions[i] = positions[i];
        volumePositions[n + i] = positions[i] + l * kShadowExtrusion;
    }
    const auto lit = [&](std::size_t face) { return Dot(cornerNormals[face], l) < 0; };
    uint32_t count = 0;
    for (std::size_t face = 0; face < corners; face += perFace) {
        if (!lit(face)) continue;
        for (std::size_t c = 0; c < perFace; ++c) {
            if (paired) {
                const int32_t twin = edgeTwins[face + c];
                if (twin >= 0 && static_cast<std::size_t>(twin) < corners && lit(twin - twin % perFace)) continue;
            }
            const uint32_t a = cornerVertices[face + c];
            const uint32_t b = cornerVertices[face + (c + 1) % perFace];
            if (a >= n || b >= n) continue;
            volumeIndices[count++] = a;
            volumeIndices[count++] = b;
            volumeIndices[count++] = static_cast<uint32_t>(n + b);
            volumeIndices[count++] = static_cast<uint32_t>(n + a);
        }
    }
    return count;
}

uint32_t BuildShadowVolume(KvMesh& mesh, const KvVec3& lightDirection) {
    mesh.ShadowIndexCount() = BuildShadowVolume(mesh.PrimitiveMode(), mesh.Positions(), mesh.CornerVertexIndices(),
                                                mesh.CornerNormals(), lightDirection, mesh.ShadowPositions(),
                                                mesh.ShadowIndices(), mesh.EdgeTwins());
    return mesh.ShadowIndexCount();
}

void DrawVolume(KvMesh& mesh, const KvVec3& lightDirection) {
    const uint32_t count = BuildShadowVolume(mesh, lightDirection);
    if (count == 0) return;
    glDepthMask(GL_FALSE);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, ~0u);
    glStencilMask(~0u);
    glColor4d(1, 1, 1, 1);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_DOUBLE, 0, mesh.ShadowPositions().data());
    // Entering surfaces first: a decrement at zero would clamp and lose the count.
    glCullFace(GL_FRONT);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    glDrawElements(GL_QUADS, static_cast<GLsizei>(count), GL_UNSIGNED_INT, mesh.ShadowIndices().data());
    glCullFace(GL_BACK);
    glStencilOp(GL_KEEP, GL_KEEP, GL_DECR);
    glDrawElements(GL_QUADS, static_cast<GLsizei>(count), GL_UNSIGNED_INT, mesh.ShadowIndices().data());

    // Back-face culling is already the frame's again.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_LIGHTING);
    glDisable(GL_STENCIL_TEST);
    glDepthMask(GL_TRUE);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void DrawVolumes(KvModelParts& parts) {
    for (int i = 0; i < KvModelParts::kPartCount; ++i) {
        if (!parts.IsDrawn(i)) continue;
        KvModelPart& part = parts[i];
        glPopMatrix();
        glPushMatrix();
        glMultMatrixd(part.node.GetWorld().data());
        DrawVolume(*part.mesh, part.lightDirection);
    }
}

void DarkenShadows() {
    glDepthMask(GL_FALSE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_STENCIL_TEST);
    // Passes where 1 <= the stored count.
    glStencilFunc(GL_LEQUAL, 1, ~0u);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glStencilMask(~0u);
    glColor4d(0, 0, 0, 0.5);
    glBegin(GL_QUADS);
    glVertex3d(-1, -1, 0);
    glVertex3d(1, -1, 0);
    glVertex3d(1, 1, 0);
    glVertex3d(-1, 1, 0);
    glEnd();
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
}

}  // namespace kv
