#include "render/Texture.h"

#include <epoxy/gl.h>
#include <GL/glu.h>

namespace kv {

KvTexture::~KvTexture() { Destroy(); }

void KvTexture::Destroy() {
    if (name_ == 0) return;
    GLuint name = name_;
    glDeleteTextures(1, &name);
    name_ = 0;
}

bool KvTexture::CreateFromArchive(KvFS* archive, const KvString& fileName) {
    KvFSIStream in(archive, fileName);
    if (!in.IsOpen()) return false;
    std::optional<ImageFormat> format = ImageFormatOf(fileName);
    if (!format) return false;
    KvImage image;
    if (!LoadImage(image, in, *format)) return false;
    return CreateFromImage(image);
}

bool KvTexture::CreateFromImage(const KvImage& image) {
    if (!image.IsValid()) return false;
    Destroy();
    GLuint name = 0;
    glGenTextures(1, &name);
    if (name == 0) return false;
    name_ = name;
    glBindTexture(GL_TEXTURE_2D, name);
    const GLint components = static_cast<GLint>(image.bitsPerPixel / 8);
    const GLenum format = components == 3 ? GL_RGB : GL_RGBA;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // Decoded rows are packed; the default 4-byte row alignment would skew RGB rows of odd widths.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLint failed = gluBuild2DMipmaps(GL_TEXTURE_2D, components, static_cast<GLint>(image.width),
                                     static_cast<GLint>(image.height), format, GL_UNSIGNED_BYTE, image.pixels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    if (failed != 0) {
        Destroy();
        return false;
    }
    return true;
}

void KvTexture::Bind() const {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, name_);
}

}  // namespace kv
