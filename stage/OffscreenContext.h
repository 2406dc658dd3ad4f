#pragma once
// A context without a window, for tests and tools: EGL on Mesa (surfaceless) with a
// framebuffer object of the requested size, RGBA8 colour, 24-bit depth and 8-bit stencil,
// compatibility profile so the fixed-function pipeline is there.

#include <cstdint>
#include <string>

#include "render/GLContext.h"

namespace kv {

class OffscreenContext : public GLContext {
public:
    OffscreenContext() = default;
    ~OffscreenContext() override;
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    // Makes the context and its framebuffer and leaves them current. False, with Error()
    // saying why, when this machine cannot make one.
    bool Create(int32_t width, int32_t height);
    const std::string& Error() const { return error_; }

    bool MakeCurrent() override;
    void SwapBuffers() override;
    ClientSize Size() const override { return size_; }

    // A new framebuffer size, as when a window is resized.
    bool Resize(int32_t width, int32_t height);

private:
    bool Fail(const char* why);
    bool MakeFramebuffer();
    void DeleteFramebuffer();

    void* display_ = nullptr;
    void* context_ = nullptr;
    uint32_t framebuffer_ = 0;
    uint32_t colour_ = 0;
    uint32_t depthStencil_ = 0;
    ClientSize size_;
    std::string error_;
};

}  // namespace kv
