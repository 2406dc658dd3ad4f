#include "OffscreenGl.h"

#include <epoxy/gl.h>

#include <cstdlib>


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

Picture ReadFrame(int32_t width, int32_t height, const std::string& name) {
    Picture p = ReadPicture(0, 0, width, height);
    if (const char* folder = std::getenv("KV_TEST_PICTURES")) {
        const std::string file = name.empty() ? ::testing::UnitTest::GetInstance()->current_test_info()->name() : name;
        WritePng(p, std::string(folder) + "/" + file + ".png");
    }
    return p;
}

std::array<int32_t, 2> PixelOf(const Camera& c, const KvVec3& q, int32_t width, int32_t height) {
    const KvMatrix m = Product(c.projection, c.modelview);
    const double w = m[3] * q.x + m[7] * q.y + m[11] * q.z + m[15];
    return {static_cast<int32_t>(((m[0] * q.x + m[4] * q.y + m[8] * q.z + m[12]) / w + 1) / 2 * width),
            static_cast<int32_t>(((m[1] * q.x + m[5] * q.y + m[9] * q.z + m[13]) / w + 1) / 2 * height)};
}

}  // namespace kv::test
