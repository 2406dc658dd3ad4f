#pragma once
// The player's choices that the frame reads every time it draws; the application fills them
// from its settings and menu.

#include <cstdint>

namespace kv {

struct RenderSettings {
    int32_t oneViewActive = 1;  // 1: only the robot view under the pointer is live
    int32_t shadowMode = 0;     // 0 off, 1 stencil volumes, 2 shadow maps
};

}  // namespace kv
