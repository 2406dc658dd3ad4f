// The only part of the mesh that talks to OpenGL, kept apart so that loading and geometry
// build and run without a context.
#include <GL/gl.h>

#include "assets/Mesh.h"

namespace kv {

void KvMesh::DrawTextured() const {
    if (cornerPositions_.empty()) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_DOUBLE, 0, cornerPositions_.data());
    glTexCoordPointer(2, GL_DOUBLE, 0, cornerTexCoords_.data());
    glNormalPointer(GL_DOUBLE, 0, cornerNormals_.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(cornerPositions_.size()));
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

void KvMesh::DrawPlain() const {
    if (cornerVertex_.empty()) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_DOUBLE, 0, positions_.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(cornerVertex_.size()), GL_UNSIGNED_INT, cornerVertex_.data());
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace kv
