#include "render/Picture.h"

#include <epoxy/gl.h>

#include <cstdio>

#include "assets/PngWriter.h"

namespace kv {

Picture ReadPicture(int32_t x, int32_t y, int32_t width, int32_t height) {
    Picture p;
    if (width <= 0 || height <= 0) return p;
    p.width = width;
    p.height = height;
    p.rgba.resize(static_cast<size_t>(width) * height * 4);
    ReadPixels(x, y, width, height, p.rgba.data());
    return p;
}

void ReadPixels(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* rgba) {
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
}

bool WritePng(const Picture& picture, const std::string& path) {
    if (picture.width <= 0 || picture.height <= 0) return false;
    std::vector<uint8_t> rgb;  // top row first, as image files store them
    rgb.reserve(static_cast<size_t>(picture.width) * picture.height * 3);
    for (int32_t y = picture.height; y-- > 0;)
        for (int32_t x = 0; x < picture.width; ++x) rgb.insert(rgb.end(), picture.At(x, y), picture.At(x, y) + 3);
    const std::vector<uint8_t> out =
        EncodePng(rgb.data(), static_cast<uint32_t>(picture.width), static_cast<uint32_t>(picture.height), 3);
    if (out.empty()) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

}  // namespace kv
