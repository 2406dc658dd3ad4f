#include "OffscreenGl.h"

#include <epoxy/gl.h>

namespace kv::test {

OffscreenGl::OffscreenGl() : context_(std::make_unique<OffscreenContext>()) {
    ready_ = context_->Create(16, 16);
    if (!ready_) return;
    // The tests start from OpenGL's defaults, not the game's initial state.
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_FOG);
}

OffscreenGl::~OffscreenGl() = default;

GameGpu::GameGpu(const char* archive, int32_t width, int32_t height) {
    ready = context.Create(width, height);
    if (!ready) return;
    store.Mount(archive);
    loaded = store.LoadAll();
    if (loaded) textures.Create(store);
}

GameGpu& TheGameGpu(const char* archive, int32_t width, int32_t height) {
    static GameGpu gpu(archive, width, height);
    return gpu;
}

::testing::AssertionResult Ready(GameGpu& gpu, int32_t width, int32_t height) {
    if (!gpu.ready) return ::testing::AssertionFailure() << "no offscreen OpenGL context: " << gpu.context.Error();
    if (!gpu.loaded) return ::testing::AssertionFailure() << gpu.store.LoadError().CStr();
    if (!gpu.context.Resize(width, height)) return ::testing::AssertionFailure() << "cannot resize the frame";
    return ::testing::AssertionSuccess();
}

}  // namespace kv::test
