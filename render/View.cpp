#include "render/View.h"

#include <epoxy/gl.h>

#include <algorithm>

#include "render/GLContext.h"
#include "render/StatusPanel.h"

namespace kv {

namespace {

// Follow camera offsets from the robot's ground point, fixed in the world.
constexpr KvVec3 kEyeOffset{1.0, 1.7, -1.0};
constexpr KvVec3 kTargetOffset{0, 0.3, 0};

}  // namespace

void View::FollowRobotAt(const KvVec3& groundPoint) {
    camera.eye = groundPoint + kEyeOffset;
    camera.target = groundPoint + kTargetOffset;
}

View::View(ViewKind kind)
    : picture(static_cast<size_t>(kRobotViewSize) * kRobotViewSize * 4),
      fogStart(kind == ViewKind::Main ? 10.0f : 4.7f),
      fogEnd(kind == ViewKind::Main ? 20.0f : 5.0f) {
    camera.fov = 45.0;
    camera.near = kind == ViewKind::Main ? 0.1 : 1.0;
    camera.far = kind == ViewKind::Main ? 30.0 : 5.0;
    if (kind == ViewKind::Robot) width = height = kRobotViewSize;
}

View::~View() = default;

void View::SetRobot(const KvGLRobot* robot) {
    robot_ = robot;
    panel_ = robot ? std::make_unique<PanelGeometry>() : nullptr;
}

void View::PlaceInColumn(int32_t clientWidth, int32_t clientHeight, int index) {
    x = clientWidth - kRobotViewSize;
    y = clientHeight - index * kRobotViewSize;
    width = height = kRobotViewSize;
}

void View::UpdateRect() {
    if (window_) {
        // A minimised window has no area; one pixel keeps the aspect defined.
        const ClientSize size = window_->Size();
        x = 0;
        y = 0;
        width = std::max(size.width, 1);
        height = std::max(size.height, 1);
    }
    camera.aspect = static_cast<double>(width) / height;
}

void View::Apply() {
    glScissor(x, y, width, height);
    glViewport(x, y, width, height);
    glGetIntegerv(GL_VIEWPORT, viewport);
    camera.Apply();
}

void View::MouseTest(int32_t px, int32_t py, int32_t previousX, int32_t previousY) {
    if (Contains(px, py)) {
        active = true;
    } else if (Contains(previousX, previousY)) {
        pictureValid = false;
    }
}

}  // namespace kv
