#include "TestResources.h"

#include <cstdlib>
#include <map>

#include <jpeglib.h>

#include "assets/ModelWriter.h"
#include "assets/ResourceList.h"

namespace kv::test {

std::vector<uint8_t> EncodeJpeg(uint32_t width, uint32_t height, const std::vector<uint8_t>& topDown, int components) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = components;
    info.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < height) {
        JSAMPROW row = const_cast<uint8_t*>(topDown.data()) + size_t{info.next_scanline} * width * components;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> SolidTga(uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
    for (int i = 0; i < 4; ++i) out.insert(out.end(), {b, g, r});
    return out;
}

std::vector<uint8_t> MonoWav(uint32_t rate, const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out;
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto text = [&](const char* s) { while (*s) out.push_back(static_cast<uint8_t>(*s++)); };
    const auto size = static_cast<uint32_t>(samples.size() * 2);
    text("RIFF"), put(36 + size, 4), text("WAVE");
    // PCM, one channel, the rate, bytes per second, bytes per frame, bits per sample.
    text("fmt "), put(16, 4), put(1, 2), put(1, 2), put(rate, 4), put(rate * 2, 4), put(2, 2), put(16, 2);
    text("data"), put(size, 4);
    for (int16_t sample : samples) put(static_cast<uint16_t>(sample), 2);
    return out;
}

KvModelObject TriangleObject(const char* name, const std::vector<KvModelVec3f>& vertices) {
    KvModelObject o;
    o.name = name;
    o.vertices = vertices;
    o.textureVertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    KvModelFace face;
    for (uint32_t k = 0; k < 3; ++k) {
        face.vertex[k] = k;
        face.textureVertex[k] = k;
        face.normal[k] = {0, 0, 1};
    }
    o.faces = {face};
    return o;
}

std::vector<uint8_t> ModelWithObjects(const std::vector<std::string>& names) {
    std::vector<KvModelObject> objects;
    for (const std::string& name : names) objects.push_back(TriangleObject(name.c_str()));
    KvElasticMemOStream out;
    WriteModelFile(out, {}, objects);
    return std::vector<uint8_t>(out.Data(), out.Data() + out.size);
}

std::vector<KvFSWriteEntry> GameEntries(const std::set<std::string>& leaveOut) {
    std::vector<KvFSWriteEntry> entries;
    std::map<std::string, std::vector<std::string>> objects;
    std::string model;
    for (const ResourceItem& item : kResourceList) {
        if (item.kind == ResourceKind::ModelFile) model = item.entry;
        if (item.kind == ResourceKind::Mesh && !leaveOut.count(model + ": " + item.entry)) {
            objects[model].push_back(item.entry);
        }
    }
    std::vector<uint8_t> jpeg = EncodeJpeg(4, 4, std::vector<uint8_t>(4 * 4 * 3, 150), 3);
    for (const ResourceItem& item : kResourceList) {
        if (!item.entry || leaveOut.count(item.entry)) continue;
        switch (item.kind) {
            case ResourceKind::Sound:
                entries.push_back({item.entry, MonoWav(11025, std::vector<int16_t>(1103, 1000))});
                break;
            case ResourceKind::Texture:
                entries.push_back({item.entry, KvFile(item.entry).Extension() == "tga" ? SolidTga(200, 100, 50) : jpeg});
                break;
            case ResourceKind::ModelFile:
                entries.push_back({item.entry, ModelWithObjects(objects[item.entry])});
                break;
            default: break;
        }
    }
    return entries;
}

GameGeometry& TheGameGeometry(const char* archive) {
    static GameGeometry geometry;
    static const bool once = [&] {
        geometry.store.Mount(archive);
        geometry.loaded = geometry.store.LoadGeometry();
        return true;
    }();
    (void)once;
    return geometry;
}

}  // namespace kv::test
