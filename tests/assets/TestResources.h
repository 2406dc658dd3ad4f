#pragma once
// Small resource files made independently of the game's decoders, for the asset tests.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "assets/ModelFile.h"
#include "assets/ResourceStore.h"
#include "core/KvFS.h"

namespace kv::test {

// Encodes RGB (3 components) or grey (1) rows given top row first, as a JPEG stores them.
std::vector<uint8_t> EncodeJpeg(uint32_t width, uint32_t height, const std::vector<uint8_t>& topDown, int components);
// A 2 x 2 uncompressed 24-bit TGA whose pixels are all (r, g, b).
std::vector<uint8_t> SolidTga(uint8_t r, uint8_t g, uint8_t b);
// A PCM WAV of 16-bit mono samples.
std::vector<uint8_t> MonoWav(uint32_t rate, const std::vector<int16_t>& samples);
// An object of one face through vertices 0, 1 and 2, all three normals along +z.
KvModelObject TriangleObject(const char* name,
                             const std::vector<KvModelVec3f>& vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
// A model file holding one small triangle object per name.
std::vector<uint8_t> ModelWithObjects(const std::vector<std::string>& names);

// An archive with every entry of the resource list, less the entries named in leaveOut
// (model objects are left out as "robot.3d: NAME" or "debris.3d: NAME").
std::vector<KvFSWriteEntry> GameEntries(const std::set<std::string>& leaveOut = {});

// The meshes and part tables of the archive at path (the generated game archive), loaded
// once per test program.
struct GameGeometry {
    ResourceStore store;
    bool loaded = false;
};
GameGeometry& TheGameGeometry(const char* archive);

}  // namespace kv::test
