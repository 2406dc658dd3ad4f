#pragma once
// A current OpenGL context without a window, for the drawing tests.

namespace kv::test {

// Mesa's surfaceless EGL platform with a compatibility-profile context, current on this thread
// while the object lives, drawing into a small framebuffer object (RGBA8, depth 24).
class OffscreenGl {
public:
    OffscreenGl();
    ~OffscreenGl();
    OffscreenGl(const OffscreenGl&) = delete;
    OffscreenGl& operator=(const OffscreenGl&) = delete;
    bool IsReady() const { return ready_; }

private:
    bool MakeFramebuffer();

    void* display_ = nullptr;
    void* context_ = nullptr;
    bool ready_ = false;
};

// What a test prints when there is no context: the tests then fail rather than skip.
inline constexpr const char* kNoGlContext =
    "no offscreen OpenGL context: the drawing tests need Mesa's EGL (libegl-mesa0, libgl1-mesa-dri)";

}  // namespace kv::test
