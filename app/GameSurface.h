#pragma once
// The game window's client area: a native window with an OpenGL context (compatibility
// profile, RGBA8, 24-bit depth, 8-bit stencil, double-buffered) that the scene draws into.
// Mouse input goes to the handlers the application sets.

#include <QWindow>
#include <functional>
#include <memory>
#include <string>

#include "render/GLContext.h"

class QOpenGLContext;

namespace kv {

class GameSurface : public QWindow, public GLContext {
public:
    GameSurface();
    ~GameSurface() override;

    // Makes the context and the font; false with Error() saying why. The window must exist.
    bool Create(int32_t swapInterval);
    const std::string& Error() const { return error_; }

    bool MakeCurrent() override;
    void SwapBuffers() override;
    ClientSize Size() const override;

    // Clears the window to the colour given and shows it: the window system then hands the
    // context a buffer of the window's present size.
    void ShowBlankFrame(float r, float g, float b);
    // The next swapped frame is also written to path as PNG, as drawn.
    void CaptureNextFrame(std::string path) { capturePath_ = std::move(path); }
    // False when the last capture could not be written.
    bool CaptureWritten() const { return captureWritten_; }
    bool CapturePending() const { return !capturePath_.empty(); }

    // Client pixels, y from the top.
    std::function<void(int x, int y)> onPress, onRelease, onMove;
    // Keys pressed while the 3D view has the keyboard.
    std::function<void(int key, bool shift)> onKey;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<QOpenGLContext> context_;
    std::string error_;
    std::string capturePath_;
    bool captureWritten_ = true;
};

}  // namespace kv
