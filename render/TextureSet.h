#pragma once
// The game's OpenGL textures, one per texture key of the resource list, made from the
// pictures the headless resource store decoded. This is the drawing side of the store's seam:
// everything else names a texture by its key and asks this set for it when it draws.
//
// Creation, look-ups that bind, and release need the OpenGL context's thread (the main
// thread); the set is filled once at start-up and only read afterwards.

#include <map>
#include <memory>

#include "assets/ResourceStore.h"
#include "core/KvString.h"
#include "render/Texture.h"

namespace kv {

class KvTextureSet {
public:
    KvTextureSet() = default;
    KvTextureSet(const KvTextureSet&) = delete;
    KvTextureSet& operator=(const KvTextureSet&) = delete;

    // Uploads every texture key's picture from the store. A key whose picture is missing is
    // registered anyway with texture name 0, so that it binds as the default texture.
    void Create(const ResourceStore& store);
    // Null for a key that is not a texture key (or a null key); a look-up never inserts.
    KvTexture* GetTexture(const char* key) const;
    // Deletes every texture name; the context must still be current.
    void Release();

private:
    std::map<KvString, std::unique_ptr<KvTexture>> textures_;
};

}  // namespace kv
