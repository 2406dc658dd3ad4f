#include "stage/OffscreenContext.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

namespace kv {

OffscreenContext::~OffscreenContext() {
    if (!display_) return;
    if (context_ && MakeCurrent()) DeleteFramebuffer();
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_) eglDestroyContext(display_, context_);
    // The display stays initialised: terminating it unloads the driver, whose own
    // allocations would then look like leaks to the leak checker.
}

bool OffscreenContext::Fail(const char* why) {
    error_ = why;
    return false;
}

bool OffscreenContext::Create(int32_t width, int32_t height) {
    if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
        return Fail("EGL has no surfaceless platform (Mesa's EGL is needed)");
    }
    EGLDisplay display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        return Fail("cannot open the surfaceless EGL display");
    }
    display_ = display;
    if (!eglBindAPI(EGL_OPENGL_API)) return Fail("EGL offers no desktop OpenGL");
    const EGLint compatibility[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                    EGL_NONE};
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, compatibility);
    if (context == EGL_NO_CONTEXT) context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) return Fail("cannot create an OpenGL context");
    context_ = context;
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) return Fail("cannot make the context current");
    if (!epoxy_has_gl_extension("GL_ARB_framebuffer_object") && epoxy_gl_version() < 30) {
        return Fail("the context has no framebuffer objects");
    }
    size_ = {width, height};
    if (!MakeFramebuffer()) return Fail("cannot make a framebuffer of that size");
    SetUp();
    return true;
}

bool OffscreenContext::MakeFramebuffer() {
    GLuint names[2] = {0, 0};
    glGenRenderbuffers(2, names);
    colour_ = names[0];
    depthStencil_ = names[1];
    glBindRenderbuffer(GL_RENDERBUFFER, colour_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size_.width, size_.height);
    glBindRenderbuffer(GL_RENDERBUFFER, depthStencil_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, size_.width, size_.height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    framebuffer_ = framebuffer;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencil_);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void OffscreenContext::DeleteFramebuffer() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLuint framebuffer = framebuffer_;
    if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
    GLuint names[2] = {colour_, depthStencil_};
    glDeleteRenderbuffers(2, names);
    framebuffer_ = colour_ = depthStencil_ = 0;
}

bool OffscreenContext::Resize(int32_t width, int32_t height) {
    if (!context_ || !MakeCurrent()) return false;
    DeleteFramebuffer();
    size_ = {width, height};
    return MakeFramebuffer();
}

bool OffscreenContext::MakeCurrent() {
    if (!context_ || !eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_)) return false;
    if (framebuffer_) glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return true;
}

void OffscreenContext::SwapBuffers() {
    // The picture stays in the framebuffer; waiting for it makes frame times honest.
    glFinish();
}

}  // namespace kv
