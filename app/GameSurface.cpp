#include "app/GameSurface.h"

#include <cstdio>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSurfaceFormat>

#include "render/Picture.h"

namespace kv {

namespace {
QPoint Pixels(const QWindow& window, const QMouseEvent& event) {
    return (event.position() * window.devicePixelRatio()).toPoint();
}
}  // namespace

GameSurface::GameSurface() {
    setSurfaceType(QSurface::OpenGLSurface);
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(8);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    setFormat(format);
}

GameSurface::~GameSurface() {
    if (context_) context_->doneCurrent();
}

bool GameSurface::Create(int32_t swapInterval) {
    QSurfaceFormat format = requestedFormat();
    format.setSwapInterval(swapInterval);
    setFormat(format);
    create();
    context_ = std::make_unique<QOpenGLContext>();
    context_->setFormat(format);
    if (!context_->create()) {
        error_ = "no OpenGL context can be made for the window";
        return false;
    }
    if (context_->format().stencilBufferSize() < 8) {
        error_ = "no OpenGL context with a stencil buffer";
        return false;
    }
    if (!context_->makeCurrent(this)) {
        error_ = "the OpenGL context cannot be made current";
        return false;
    }
    SetUp();
    return true;
}

bool GameSurface::MakeCurrent() { return context_ && context_->makeCurrent(this); }

void GameSurface::SwapBuffers() {
    if (!context_) return;
    if (!capturePath_.empty()) {
        const ClientSize size = Size();
        captureWritten_ = WritePng(ReadPicture(0, 0, size.width, size.height), capturePath_);
        if (!captureWritten_) std::fprintf(stderr, "kolvex: cannot write the screenshot %s\n", capturePath_.c_str());
        capturePath_.clear();
    }
    context_->swapBuffers(this);
}

void GameSurface::ShowBlankFrame(float r, float g, float b) {
    if (!MakeCurrent()) return;
    QOpenGLFunctions* gl = context_->functions();
    gl->glClearColor(r, g, b, 1.0f);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    context_->swapBuffers(this);
}

ClientSize GameSurface::Size() const {
    const QSize pixels = size() * devicePixelRatio();
    return {pixels.width(), pixels.height()};
}

void GameSurface::mousePressEvent(QMouseEvent* event) {
    const QPoint p = Pixels(*this, *event);
    if (event->button() == Qt::LeftButton && onPress) onPress(p.x(), p.y());
}

void GameSurface::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = Pixels(*this, *event);
    if (event->button() == Qt::LeftButton && onRelease) onRelease(p.x(), p.y());
}

void GameSurface::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = Pixels(*this, *event);
    if (onMove) onMove(p.x(), p.y());
}

void GameSurface::keyPressEvent(QKeyEvent* event) {
    if (onKey) onKey(event->key(), (event->modifiers() & Qt::ShiftModifier) != 0);
}

}  // namespace kv
