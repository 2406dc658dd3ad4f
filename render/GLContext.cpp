#include "render/GLContext.h"

#include <epoxy/gl.h>

#include <cstring>

#include "render/BitmapFont.h"

namespace kv {

namespace {

// Rasterised once per run: every context of the process shows the same glyphs.
const std::optional<FontBitmaps>& Glyphs() {
    static const std::optional<FontBitmaps> glyphs = RasteriseFont(FontFile(), GLContext::kFontHeight);
    return glyphs;
}

}  // namespace

void GLContext::SetUp() {
    const std::optional<FontBitmaps>& glyphs = Glyphs();
    if (glyphs) BuildFontLists(*glyphs, kFontBase);
    hasFont_ = glyphs.has_value();
    renderToTexture_ = epoxy_gl_version() >= 30 || epoxy_has_gl_extension("GL_ARB_framebuffer_object");
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_FOG);
}

const char* GLContext::FitText(std::string_view utf8, double widthPixels, std::span<char> out) const {
    const std::optional<FontBitmaps>& glyphs = Glyphs();
    if (glyphs) {
        kv::FitText(utf8, *glyphs, widthPixels, out);
    } else {
        out[0] = '\0';  // without a font no text is drawn
    }
    return out.data();
}

void GLContext::DrawText(double x, double y, float r, float g, float b, float a, const char* text) const {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glListBase(kFontBase);
    glTranslated(x, y, 0);
    glColor4f(r, g, b, a);
    glRasterPos4d(0, 0, 0, 1);
    glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
}

}  // namespace kv
