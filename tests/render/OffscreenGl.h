#pragma once
// A current OpenGL context without a window, for the drawing tests.

#include <memory>

namespace kv {
class OffscreenContext;
}

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

// What a test prints when there is no context: the tests then fail rather than skip.
inline constexpr const char* kNoGlContext =
    "no offscreen OpenGL context: the drawing tests need Mesa's EGL (libegl-mesa0, libgl1-mesa-dri)";

}  // namespace kv::test
