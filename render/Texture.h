#pragma once
// One OpenGL texture with its full mip-map chain, made from a picture in the resource archive.
// Creation, binding and destruction need the OpenGL context's thread (the main thread).

#include <cstdint>

#include "assets/Image.h"
#include "core/KvFS.h"
#include "core/KvString.h"

namespace kv {

class KvTexture {
public:
    KvTexture() = default;
    ~KvTexture();
    KvTexture(const KvTexture&) = delete;
    KvTexture& operator=(const KvTexture&) = delete;

    // Decodes the archive entry fileName (TGA or JPEG by its extension, any letter case) and
    // uploads it with mip-maps. False, leaving the name 0, when the entry is missing, the
    // extension unknown or the data undecodable.
    bool CreateFromArchive(KvFS* archive, const KvString& fileName);
    // Uploads a decoded image with mip-maps (GLU rescales sides that are not powers of two).
    bool CreateFromImage(const KvImage& image);
    // Enables 2D texturing and binds this texture; name 0 binds the default texture.
    void Bind() const;
    // Deletes the OpenGL texture name; the texture then binds as the default one.
    void Destroy();

    uint32_t Name() const { return name_; }

private:
    uint32_t name_ = 0;
};

}  // namespace kv
