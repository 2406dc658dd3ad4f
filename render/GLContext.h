#pragma once
// The OpenGL context the scene draws into, whatever owns it: the game window's or an
// offscreen one. The owner creates it, makes it current and then builds the bitmap font and
// the initial state with SetUp(); after that every context draws text the same way.

#include <cstdint>
#include <span>
#include <string_view>

namespace kv {

struct ClientSize {
    int32_t width = 0;
    int32_t height = 0;
};

class GLContext {
public:
    static constexpr uint32_t kFontBase = 1000;  // display list of code 0; codes 0..254
    static constexpr int kFontHeight = 16;       // character cell height in pixels

    virtual ~GLContext() = default;

    virtual bool MakeCurrent() = 0;
    // Shows the finished frame (an offscreen context waits until it is drawn).
    virtual void SwapBuffers() = 0;
    // The drawable area in pixels.
    virtual ClientSize Size() const = 0;

    // Draws text at normalised coordinates of the current viewport (-1..1, y up), the first
    // baseline starting there. Leaves identity in both matrices and the modelview mode current.
    void DrawText(double x, double y, float r, float g, float b, float a, const char* text) const;
    // UTF-8 text as the font's codes for DrawText, cut with "..." to widthPixels (FitText of
    // the bitmap font); into out, zero-terminated. Returns out's data.
    const char* FitText(std::string_view utf8, double widthPixels, std::span<char> out) const;
    // False until SetUp has built the font (text then draws nothing).
    bool HasFont() const { return hasFont_; }
    // Whether the context can draw into a texture through a framebuffer object with its own
    // depth buffer, as shadow maps need. Known once SetUp has run; false before.
    virtual bool RenderToTextureSupported() const { return renderToTexture_; }

protected:
    // With the context current: the font's display lists and the initial GL state (depth
    // test less-or-equal, lighting, back faces culled with counter-clockwise fronts, fog).
    void SetUp();

private:
    bool hasFont_ = false;
    bool renderToTexture_ = false;
};

}  // namespace kv
