#pragma once
// Drawing of the headless meshes and part tables with OpenGL vertex arrays. Everything here
// runs on the main thread inside a frame, with the caller's model-view matrix pushed once.

#include <functional>

#include "assets/DebrisParts.h"
#include "assets/Mesh.h"
#include "assets/ModelParts.h"
#include "render/TextureSet.h"

namespace kv {

// Corner positions, texture coordinates and normals as triangles. The caller binds the
// texture and sets the matrix.
void DrawTextured(const KvMesh& mesh);
// Per-vertex positions indexed by the corner vertex indices, for untextured passes.
void DrawPlain(const KvMesh& mesh);

// Binds a part's texture by key (enabling 2D texturing); a key without a texture binds the
// default one.
void BindPartTexture(const KvTextureSet& textures, const char* key);

// Draws every drawn part of a robot with its texture: for each, the pushed base matrix times
// the part's world matrix.
void DrawTextured(KvModelParts& parts, const KvTextureSet& textures);
// The same without textures, for passes that need only depth or stencil.
void DrawPlain(KvModelParts& parts);
// Draws every shown wreck piece that visible (when given) accepts, like the robot's parts.
void DrawTextured(KvDebrisParts& debris, const KvTextureSet& textures,
                  const std::function<bool(int piece)>& visible = {});

}  // namespace kv
