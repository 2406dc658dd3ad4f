#pragma once
// The flat overlay that ends every view's part of the frame: a robot's name, direction and
// scan dials and speed, damage and reload bars in a robot view; the frame rate in the main
// view, which also hands the main camera to the sound listener. Coordinates are normalised
// coordinates of the view's viewport (-1..1, y up).

#include <array>
#include <cstdint>
#include <string>

#include "core/Matrix.h"
#include "render/Lighting.h"
#include "sim/Robot.h"

namespace kv {

class GLContext;
class View;
struct RenderSettings;

// A robot view's dial shapes: a ring of inner radius 0.2 and outer radius 0.24 as 20 quads,
// and a dart pointing along +X with its notch at the origin as two triangles.
struct PanelGeometry {
    static constexpr int kRingSteps = 20;
    PanelGeometry();

    std::array<KvVec3, 2 * kRingSteps> ring;
    std::array<uint32_t, 4 * kRingSteps> ringIndices;
    std::array<KvVec3, 4> pointer;
    std::array<uint32_t, 6> pointerIndices;
};

// One bar of a robot's panel: (x1, y1) to (x2, y2), its length following a value unclamped.
struct PanelBar {
    double x1, y1, x2, y2;
    float r, g, b;
    const char* label;
};
// Speed (0..100), damage (0..100) and reload (1.5 s just after a shot down to 0): full at 1.6 wide.
std::array<PanelBar, 3> PanelBars(const RobotValues& values);

// How the main view names a speed: "x2", "x16", "x1/8"; "" for x1.
std::string SpeedText(double speed);

// The main view's text position for a pixel counted from the view's top-left corner.
std::array<double, 2> PixelToView(double px, double py, int32_t width, int32_t height);

// Where the main view's overlay sends the camera: the game's sound system takes the sound
// lock and moves its listener; render/ itself never talks to the sound library.
class ListenerHandOff {
public:
    virtual ~ListenerHandOff() = default;
    // World position and the camera's backward (third) and up (second) axes; velocity zero.
    virtual void MoveListener(const KvVec3& position, const KvVec3& forward, const KvVec3& up) = 0;
};

// The main view's smoothed frames per second: 0 on the first frame ever, then 0.9 of the
// previous value and 0.1 of the latest rate.
class FrameRate {
public:
    double Tick(double now);
    double Fps() const { return fps_; }

private:
    double fps_ = 0;
    double previous_ = 0;
    bool firstFrame_ = true;
};

class StatusPanels {
public:
    static constexpr double kPanelAlpha = 0.5;

    void SetListener(ListenerHandOff* listener) { listener_ = listener; }
    // Leaves the frame counter's digits out (for pictures compared byte for byte).
    void ShowFrameRate(bool show) { showFrameRate_ = show; }
    // The battle the main view shows, for its lines under the frame rate: its time in
    // seconds, its seed (which replays it), its speed and pause, and, once it is decided,
    // who won. No lines until a battle is given.
    struct BattleLine {
        uint32_t seed = 0;
        double time = 0;
        double speed = 1;  // battle seconds per clock second
        bool paused = false;
        const char* verdict = "";  // UTF-8; empty while undecided
    };
    void SetBattle(const BattleLine& line) {
        battleShown_ = true;
        battle_ = line;
    }
    const FrameRate& Rate() const { return rate_; }

    // The view's overlay, with the view's viewport current and identity matrices loaded.
    void DrawPanel(View& view, const GLContext& context, const RenderSettings& settings);

private:
    void DrawRobotPanel(View& view, const GLContext& context, const RenderSettings& settings);
    void DrawMainOverlay(View& view, const GLContext& context);
    void SavedPicture(View& view);
    void DrawBar(double x1, double y1, double x2, double y2, float r, float g, float b) const;
    void DrawFrame() const;
    void DrawRing(const PanelGeometry& geometry, double x, double y, float r, float g, float b) const;
    void DrawPointer(const PanelGeometry& geometry, double x, double y, double angle, const Rgba& fill,
                     const Rgba& outline) const;

    FrameRate rate_;
    ListenerHandOff* listener_ = nullptr;
    bool showFrameRate_ = true;
    bool battleShown_ = false;
    BattleLine battle_;
    double panelAlpha_ = kPanelAlpha;
};

}  // namespace kv
