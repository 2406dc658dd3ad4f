#include "app/SwapControl.h"

#include <epoxy/egl.h>
#include <epoxy/glx.h>

namespace kv {

namespace {

enum class Control { Unavailable, Egl, GlxExt, GlxMesa };

// Asked each time: the window system of the current context decides.
Control Find() {
    if (eglGetCurrentContext() != EGL_NO_CONTEXT) return Control::Egl;
    if (!glXGetCurrentContext()) return Control::Unavailable;
    Display* display = glXGetCurrentDisplay();
    if (!display) return Control::Unavailable;
    const int screen = DefaultScreen(display);
    if (epoxy_has_glx_extension(display, screen, "GLX_EXT_swap_control")) return Control::GlxExt;
    if (epoxy_has_glx_extension(display, screen, "GLX_MESA_swap_control")) return Control::GlxMesa;
    return Control::Unavailable;
}

}  // namespace

bool SwapIntervalChangeable() { return Find() != Control::Unavailable; }

bool SetSwapInterval(int32_t interval) {
    switch (Find()) {
    case Control::Egl: return eglSwapInterval(eglGetCurrentDisplay(), interval) == EGL_TRUE;
    case Control::GlxExt:
        glXSwapIntervalEXT(glXGetCurrentDisplay(), glXGetCurrentDrawable(), interval);
        return true;
    case Control::GlxMesa: return glXSwapIntervalMESA(static_cast<unsigned>(interval)) == 0;
    case Control::Unavailable: break;
    }
    return false;
}

}  // namespace kv
