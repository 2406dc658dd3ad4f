#pragma once
// The game's resources in load order, and the robot colours with the texture keys that paint
// them. Both are written once here; the resource store, the drawing side, the sound bank, the
// battle report and the asset generator all read them from this table.

#include <array>
#include <cstddef>
#include <cstdint>

namespace kv {

inline constexpr const char* kArchiveFileName = "Kolvex.kvfs";

enum class ResourceKind {
    Sound,        // key -> WAV entry
    Texture,      // key -> TGA or JPEG entry
    ModelFile,    // the model file the following meshes come from
    Mesh,         // key = object name in the last model file
    RobotParts,   // bind the robot's part template from the meshes so far
    DebrisParts,  // build the debris piece template from the debris meshes
};

struct ResourceItem {
    ResourceKind kind;
    const char* key;    // null for model files and templates
    const char* entry;  // archive entry name; for meshes the object name
};

inline constexpr std::size_t kResourceCount = 54;
// Every resource of the game in load order.
extern const std::array<ResourceItem, kResourceCount> kResourceList;

// The archive entry that holds the start-up picture; read before the resources, not one of them.
inline constexpr const char* kSplashEntry = "splash.jpg";

// A robot colour by index (0 red, 1 green, 2 blue, 3 magenta): its name and the texture keys
// of its shell and its body.
struct RobotColour {
    const char* name;
    const char* shellTexture;
    const char* bodyTexture;
};
inline constexpr int kColourCount = 4;
inline constexpr RobotColour kRobotColours[kColourCount] = {
    {"red", "red_rocket", "body_red"},
    {"green", "green_rocket", "body_green"},
    {"blue", "blue_rocket", "body_blue"},
    {"magenta", "magenta_rocket", "body_magenta"},
};

}  // namespace kv
