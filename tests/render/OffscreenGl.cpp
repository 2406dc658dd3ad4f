#include "OffscreenGl.h"

#include <epoxy/gl.h>

#include "render/OffscreenContext.h"

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

}  // namespace kv::test
