#pragma once
// A current OpenGL context without a window, for the drawing tests.

#include <gtest/gtest.h>

#include <memory>

#include "assets/ResourceStore.h"
#include "render/OffscreenContext.h"
#include "render/TextureSet.h"

namespace kv::test {

// The game's offscreen context (surfaceless EGL, a 16 x 16 framebuffer object), set back to
// OpenGL's default state and current on this thread while the object lives.
class OffscreenGl {
public:
    OffscreenGl();
    ~OffscreenGl();
    OffscreenGl(const OffscreenGl&) = delete;
    OffscreenGl& operator=(const OffscreenGl&) = delete;
    bool IsReady() const { return ready_; }

private:
    std::unique_ptr<OffscreenContext> context_;
    bool ready_ = false;
};

// The game's window-sized offscreen context with the resources of the archive at path, made
// once per test program; the textures go first at exit, while the context still exists.
struct GameGpu {
    GameGpu(const char* archive, int32_t width, int32_t height);
    OffscreenContext context;
    bool ready = false;
    ResourceStore store;
    KvTextureSet textures;
    bool loaded = false;
};
GameGpu& TheGameGpu(const char* archive, int32_t width = 950, int32_t height = 600);
// Success when the context and the resources are there and the frame is width x height.
::testing::AssertionResult Ready(GameGpu& gpu, int32_t width, int32_t height);

// What a test prints when there is no context: the tests then fail rather than skip.
inline constexpr const char* kNoGlContext =
    "no offscreen OpenGL context: the drawing tests need Mesa's EGL (libegl-mesa0, libgl1-mesa-dri)";

}  // namespace kv::test
