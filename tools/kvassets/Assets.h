#pragma once
// Every resource of the game archive, generated from code alone: the same bytes each run.

#include <cstdint>
#include <string>
#include <vector>

#include "assets/ModelParts.h"
#include "tools/kvassets/Splash.h"

namespace kv::gen {

struct Entry {
    std::string name;  // archive entry name
    std::vector<uint8_t> bytes;
};

// All textures by resource key, as images.
TextureSet AllTextures();
// The robot's model file and the wreck's.
std::vector<uint8_t> RobotModelFile();
std::vector<uint8_t> DebrisModelFile();
// Every archive entry of the game's resource list in its order, then the splash picture
// (left empty: main.cpp paints it from the loaded models).
std::vector<Entry> AllEntries();

}  // namespace kv::gen
