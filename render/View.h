#pragma once
// One rectangle of the window with its own camera, fog range and status panel: the main view
// over the whole client area, or a 150 x 150 robot view in the column along the right edge.
//
// In the one-active-view layout a robot view is live while the pointer is over it; on the
// frame after the pointer leaves, its last live picture is saved and shown from then on:
//   live first frame (active, no picture) -> frozen (picture, not active)
//   -> live (pointer enters) -> capture pending (pointer leaves) -> frozen.

#include <cstdint>
#include <memory>
#include <vector>

#include "render/Camera.h"
#include "sim/Robot.h"

namespace kv {

class GLContext;
struct PanelGeometry;

enum class ViewKind { Main, Robot };

class View {
public:
    static constexpr int32_t kRobotViewSize = 150;

    // Sets the kind's fog range and clip distances.
    explicit View(ViewKind kind);
    ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // The main view's rectangle follows this context's drawable area.
    void SetWindow(const GLContext* window) { window_ = window; }
    // The robot this view follows (not owned); builds the status-panel geometry.
    void SetRobot(const KvGLRobot* robot);
    const KvGLRobot* Robot() const { return robot_; }
    // A robot view's camera looks at the robot's ground point from a fixed offset in the world.
    void FollowRobotAt(const KvVec3& groundPoint);
    const PanelGeometry* Panel() const { return panel_.get(); }

    // Robot view i (1, 2, ...) in the column along the right and top edges of a W x H area.
    void PlaceInColumn(int32_t clientWidth, int32_t clientHeight, int index);
    // Reads the window's area when there is one; sets the camera's aspect in every case.
    void UpdateRect();
    // Scissor box and viewport to the rectangle, then the camera (pushing its modelview).
    void Apply();
    // One-active-view pointer test: the pointer strictly inside makes the view live; having
    // left it asks for a fresh picture.
    void MouseTest(int32_t px, int32_t py, int32_t previousX, int32_t previousY);
    bool Contains(int32_t px, int32_t py) const {
        return px > x && px < x + width && py > y && py < y + height;
    }

    bool active = true;
    bool pictureValid = false;
    std::vector<uint8_t> picture;  // kRobotViewSize squared RGBA pixels
    float fogStart;
    float fogEnd;
    int32_t x = 0, y = 0, width = 1, height = 1;
    int32_t viewport[4] = {0, 0, 0, 0};
    Camera camera;
    // The followed robot's values, taken once at the start of each frame.
    RobotValues shown;
    // Battle seconds at which the followed robot was destroyed; negative while it lives.
    double destroyedAt = -1;

private:
    const GLContext* window_ = nullptr;
    const KvGLRobot* robot_ = nullptr;
    std::unique_ptr<PanelGeometry> panel_;
};

}  // namespace kv
