#pragma once
// What the drawing tests share: a current OpenGL context without a window, the game's
// resources on it, and frames read back.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "assets/ResourceStore.h"
#include "render/Camera.h"
#include "render/Picture.h"
#include "render/TextureSet.h"
#include "stage/OffscreenContext.h"

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

// The frame just drawn, width x height from the bottom left. With KV_TEST_PICTURES set to a
// folder, it is also left there as name.png (the running test's name when name is empty).
Picture ReadFrame(int32_t width, int32_t height, const std::string& name = "");

// The pixel of a width x height frame where camera c shows the scene point q.
std::array<int32_t, 2> PixelOf(const Camera& c, const KvVec3& q, int32_t width, int32_t height);

// What a test prints when there is no context: the tests then fail rather than skip.
inline constexpr const char* kNoGlContext =
    "no offscreen OpenGL context: the drawing tests need Mesa's EGL (libegl-mesa0, libgl1-mesa-dri)";

}  // namespace kv::test
