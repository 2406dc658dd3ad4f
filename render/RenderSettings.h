#pragma once
// The player's choices that the frame and the battle's sounds follow; the battle stage holds
// the one copy that the scene reads every time it draws.

#include <cstdint>

namespace kv {

struct RenderSettings {
    int32_t oneViewActive = 1;  // 1: only the robot view under the pointer is live
    int32_t shadowMode = 0;     // 0 off, 1 stencil volumes, 2 shadow maps
    bool soundOn = false;       // new channels start muted while off
    bool operator==(const RenderSettings&) const = default;
};

}  // namespace kv
