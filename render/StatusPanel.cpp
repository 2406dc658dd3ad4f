#include "render/StatusPanel.h"

#include <epoxy/gl.h>

#include <cmath>
#include <cstdio>

#include "core/Angles.h"
#include "render/GLContext.h"
#include "render/Picture.h"
#include "render/RenderSettings.h"
#include "render/View.h"
#include "sim/Scheduler.h"

namespace kv {

namespace {

constexpr double kDegrees = kPi / 180;
constexpr Rgba kBlack{0, 0, 0, 1};
constexpr Rgba kWhite{1, 1, 1, 1};

// Every label is drawn twice: black at its shadow position, then white at its own.
void DrawLabel(const GLContext& context, double shadowX, double shadowY, double x, double y, const char* text,
               const Rgba& colour = kWhite) {
    context.DrawText(shadowX, shadowY, kBlack[0], kBlack[1], kBlack[2], kBlack[3], text);
    context.DrawText(x, y, colour[0], colour[1], colour[2], colour[3], text);
}

struct Dial {
    const char* label;
    double shadowX, shadowY, labelX, labelY;
    double centreX, centreY;  // ring and pointer
    Rgba fill;
    double (*degrees)(const RobotValues&);  // where the pointer points
};
constexpr Dial kDials[2] = {
    {"Dir", -0.52, 0.49, -0.53, 0.50, -0.4, 0.2, {0, 0, 1, 1}, [](const RobotValues& v) { return v.heading; }},
    {"Scan", 0.19, 0.49, 0.18, 0.50, 0.4, 0.2, {0, 1, 0, 1},
     [](const RobotValues& v) { return static_cast<double>(v.scanDirection); }},
};
// The main view's lines, by their baselines in pixels from the top.
constexpr double kFrameRateLine = 20, kBattleLine = 40, kVerdictLine = 64;
constexpr Rgba kVerdictColour{1, 0.85f, 0.2f, 1};
// A dead robot's panel says when it was destroyed, between its name and its dials.
constexpr double kDestroyedShadowX = -0.84, kDestroyedShadowY = 0.64, kDestroyedX = -0.85, kDestroyedY = 0.65;
constexpr Rgba kDestroyedColour{1, 0.35f, 0.3f, 1};
constexpr double kNameShadowX = -0.84, kNameShadowY = 0.79, kNameX = -0.85, kNameY = 0.80;
// A longer name is cut to end this many pixels before the view's right edge.
constexpr double kNameMargin = 3;
constexpr std::size_t kNameCodes = 128;
// A bar's label sits on its lower edge, the shadow 0.01 left of and below the text.
constexpr double kBarLabelShadowX = -0.76, kBarLabelX = -0.75;

// Panel drawing is flat and see-through: no lighting, depth or texture, blended by alpha.
void BeginOverlay() {
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

// A rectangle from its top-left corner, counter-clockwise: (x1, y1), (x1, y2), (x2, y2), (x2, y1).
void EmitQuad(double x1, double y1, double x2, double y2) {
    glBegin(GL_QUADS);
    glVertex2d(x1, y1);
    glVertex2d(x1, y2);
    glVertex2d(x2, y2);
    glVertex2d(x2, y1);
    glEnd();
}

void EndOverlay() {
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
}

}  // namespace

PanelGeometry::PanelGeometry() {
    for (int k = 0; k < kRingSteps; ++k) {
        const double a = k * 2 * kPi / kRingSteps;
        ring[2 * k] = {0.2 * std::cos(a), 0.2 * std::sin(a), 0};
        ring[2 * k + 1] = {0.24 * std::cos(a), 0.24 * std::sin(a), 0};
        const uint32_t i = 2 * k, next = (i + 2) % (2 * kRingSteps);
        ringIndices[4 * k] = i;
        ringIndices[4 * k + 1] = i + 1;
        ringIndices[4 * k + 2] = next + 1;
        ringIndices[4 * k + 3] = next;
    }
    pointer = {KvVec3{0.2, 0, 0}, KvVec3{-0.1, 0.1, 0}, KvVec3{0, 0, 0}, KvVec3{-0.1, -0.1, 0}};
    pointerIndices = {0, 1, 2, 2, 3, 0};
}

std::array<PanelBar, 3> PanelBars(const RobotValues& values) {
    auto bar = [](double top, double bottom, double fraction, float r, float g, float b, const char* label) {
        return PanelBar{-0.8, top, -0.8 + 1.6 * fraction, bottom, r, g, b, label};
    };
    return {bar(-0.18, -0.30, values.speed / 100, 0, 0, 1, "Speed"),
            bar(-0.43, -0.55, values.damage / 100, 1, 0, 0, "Damage"),
            bar(-0.68, -0.80, values.reloadTimer / KvGLRobot::kReloadTime, 0, 1, 0, "Cannon")};
}

std::string SpeedText(double speed) {
    if (speed == 1) return "";
    char text[32];
    if (speed > 1) std::snprintf(text, sizeof text, "x%g", speed);
    else std::snprintf(text, sizeof text, "x1/%g", 1 / speed);
    return text;
}

std::array<double, 2> PixelToView(double px, double py, int32_t width, int32_t height) {
    return {2 * px / width - 1, 2 * (height - py) / height - 1};
}

double FrameRate::Tick(double now) {
    fps_ = firstFrame_ ? 0 : 0.9 * fps_ + 0.1 * (1 / (now - previous_));
    firstFrame_ = false;
    previous_ = now;
    return fps_;
}

void StatusPanels::DrawPanel(View& view, const GLContext& context, const RenderSettings& settings) {
    if (view.Robot()) {
        DrawRobotPanel(view, context, settings);
    } else {
        DrawMainOverlay(view, context);
    }
}

void StatusPanels::DrawRobotPanel(View& view, const GLContext& context, const RenderSettings& settings) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    BeginOverlay();
    DrawFrame();
    if (settings.oneViewActive == 1) SavedPicture(view);
    panelAlpha_ = kPanelAlpha;

    const RobotValues& v = view.shown;
    const PanelGeometry& geometry = *view.Panel();
    std::array<char, kNameCodes> name;
    context.FitText(view.Robot()->name.CStr(), (1 - kNameShadowX) / 2 * view.width - kNameMargin, name);
    DrawLabel(context, kNameShadowX, kNameShadowY, kNameX, kNameY, name.data());
    if (view.destroyedAt >= 0) {
        char text[48];
        std::snprintf(text, sizeof text, "destroyed %.2f s", view.destroyedAt);
        context.FitText(text, (1 - kDestroyedShadowX) / 2 * view.width - kNameMargin, name);
        DrawLabel(context, kDestroyedShadowX, kDestroyedShadowY, kDestroyedX, kDestroyedY, name.data(), kDestroyedColour);
    }
    for (const Dial& dial : kDials) {
        DrawLabel(context, dial.shadowX, dial.shadowY, dial.labelX, dial.labelY, dial.label);
        DrawRing(geometry, dial.centreX, dial.centreY, 1, 1, 1);
        DrawPointer(geometry, dial.centreX, dial.centreY, dial.degrees(v) * kDegrees, dial.fill, kWhite);
    }
    for (const PanelBar& bar : PanelBars(v)) {
        DrawBar(bar.x1, bar.y1, bar.x2, bar.y2, bar.r, bar.g, bar.b);
        DrawLabel(context, kBarLabelShadowX, bar.y2, kBarLabelX, bar.y2 + 0.01, bar.label);
    }
    EndOverlay();
}

// In the one-active-view layout: the first frame after the view stops being live saves its
// picture; a view that is not live shows its saved picture.
void StatusPanels::SavedPicture(View& view) {
    constexpr int32_t n = View::kRobotViewSize;
    if (!view.pictureValid) {
        ReadPixels(view.x, view.y, n, n, view.picture.data());
        for (size_t i = 3; i < view.picture.size(); i += 4) view.picture[i] = 255;
        view.pictureValid = true;
        view.active = false;
    }
    if (!view.active) {
        // The picture is what the view showed, drawn as it was, not blended with the cleared
        // sky: the frame's alpha under marks and smoke is below one.
        GLint alignment = 4;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glDisable(GL_BLEND);
        glRasterPos4d(-1, -1, 0, 1);
        glDrawPixels(n, n, GL_RGBA, GL_UNSIGNED_BYTE, view.picture.data());
        glEnable(GL_BLEND);
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    }
}

void StatusPanels::DrawMainOverlay(View& view, const GLContext& context) {
    BeginOverlay();
    const double now = PrecisionClock::Now();
    rate_.Tick(now);
    if (listener_) {
        const KvMatrix& w = view.camera.inverse;
        listener_->MoveListener({w[12], w[13], w[14]}, {w[8], w[9], w[10]}, {w[4], w[5], w[6]});
    }
    char text[160];
    auto drawLine = [&](double py, const Rgba& colour = kWhite) {
        const auto shadow = PixelToView(11, py + 1, view.width, view.height);
        const auto at = PixelToView(10, py, view.width, view.height);
        DrawLabel(context, shadow[0], shadow[1], at[0], at[1], text, colour);
    };
    if (showFrameRate_) {
        std::snprintf(text, sizeof text, "%f", rate_.Fps());
        drawLine(kFrameRateLine);
    }
    if (battleShown_) {
        const std::string speed = SpeedText(battle_.speed);
        std::snprintf(text, sizeof text, "%.2f s   seed %u%s%s%s", battle_.time, battle_.seed, speed.empty() ? "" : "   ",
                      speed.c_str(), battle_.paused ? "   paused" : "");
        drawLine(kBattleLine);
        if (battle_.verdict[0] != '\0') {
            context.FitText(battle_.verdict, view.width - 20.0, text);
            drawLine(kVerdictLine, kVerdictColour);
        }
    }
    EndOverlay();
}

void StatusPanels::DrawBar(double x1, double y1, double x2, double y2, float r, float g, float b) const {
    glLoadIdentity();
    glColor4d(r, g, b, panelAlpha_);
    EmitQuad(x1, y1, x2, y2);
}

void StatusPanels::DrawFrame() const {
    // White strips along the bottom and left edges, opaque.
    for (const auto& [x1, y1, x2, y2] : {std::array{-1.0, -0.95, 1.0, -1.0}, std::array{-1.0, 1.0, -0.95, -1.0}}) {
        glLoadIdentity();
        glColor3f(1, 1, 1);
        EmitQuad(x1, y1, x2, y2);
    }
}

void StatusPanels::DrawRing(const PanelGeometry& geometry, double x, double y, float r, float g, float b) const {
    glLoadIdentity();
    glTranslated(x, y, 0);
    glColor4d(r, g, b, panelAlpha_);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_DOUBLE, 0, geometry.ring.data());
    glDrawElements(GL_QUADS, static_cast<GLsizei>(geometry.ringIndices.size()), GL_UNSIGNED_INT,
                   geometry.ringIndices.data());
    glDisableClientState(GL_VERTEX_ARRAY);
}

void StatusPanels::DrawPointer(const PanelGeometry& geometry, double x, double y, double angle, const Rgba& fill,
                               const Rgba& outline) const {
    glLoadIdentity();
    glTranslated(x, y, 0);
    glRotated(angle / kDegrees, 0, 0, 1);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_DOUBLE, 0, geometry.pointer.data());
    glColor4d(fill[0], fill[1], fill[2], panelAlpha_);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(geometry.pointerIndices.size()), GL_UNSIGNED_INT,
                   geometry.pointerIndices.data());
    glColor4d(outline[0], outline[1], outline[2], panelAlpha_);
    glDrawArrays(GL_LINE_LOOP, 0, static_cast<GLsizei>(geometry.pointer.size()));
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace kv
