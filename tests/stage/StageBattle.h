#pragma once
// Battles for the stage tests: robot files by name, and the game's battle stage on the shared
// offscreen context with the frame counter left out of the pictures.

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "OffscreenGl.h"
#include "stage/BattleStage.h"

namespace kv::test {

struct Robots {
    Robots(const std::string& folder, std::initializer_list<const char*> names, uint32_t seed) : seed(seed) {
        for (const char* name : names) files.emplace_back((folder + "/" + name).c_str());
    }
    std::vector<KvFile> files;
    uint32_t seed;
};

inline std::unique_ptr<KvBattleStage> MakeStage(GLContext& context, GameGpu& gpu, const RenderSettings& settings) {
    auto stage = std::make_unique<KvBattleStage>(context, gpu.store, &gpu.textures);
    stage->SetSettings(settings);
    stage->Scene().Panels().ShowFrameRate(false);
    return stage;
}

// As the Setup menu's shadow items change it.
inline void SetShadowMode(KvBattleStage& stage, int32_t mode) {
    RenderSettings settings = stage.Settings();
    settings.shadowMode = mode;
    stage.SetSettings(settings);
}

}  // namespace kv::test
