#pragma once
// Everything a battle shows or plays besides its numbers: message boxes, scene objects,
// views, sounds, effects, marks and debris. The battle session and its robots and shells
// call these hooks at the moments the game shows something; a headless battle passes no
// presenter (or one that only records), the game passes one that fills the scene.
// Hooks run on the thread that causes them: set-up hooks on the main thread with the
// scheduler paused, the others inside a tick on the worker thread.

#include <cstdint>

#include "core/KvString.h"
#include "core/Matrix.h"
#include "core/Vec2.h"

namespace kv {

class KvGLRobot;
class KvProcess;
class KvRocket;

class KvBattlePresenter {
public:
    virtual ~KvBattlePresenter() = default;

    // A set-up problem, with the text of its message box.
    virtual void ShowSetupError(const KvString& message) {}
    // A robot has joined the battle: it goes into the scene with its view, shadow and
    // paused engine sound.
    virtual void RobotAdded(KvGLRobot& robot) {}
    // The battle is being cleared: the robot's view leaves the scene. The robot is deleted
    // right after, together with whatever presentation it carries.
    virtual void RobotCleared(KvGLRobot& robot) {}
    // The robot's damage reached 100: its engine stops, it leaves the scene and its debris
    // takes its place (handed to the session with Add).
    virtual void RobotDied(KvGLRobot& robot) {}
    // The robot hit a wall or another robot with damage: "collision" at its scene point.
    virtual void Collision(KvGLRobot& robot, const KvVec3& scenePoint) {}
    // A new shell: into the scene, with its smoke trail (handed to the session with Add) and
    // its paused "rocket" sound.
    virtual void ShellFired(KvRocket& rocket) {}
    // The shell has reached its end: its sound stops, its trail stops following it and it
    // leaves the scene. The session removes and deletes it at the end of the tick.
    virtual void ShellExploded(KvRocket& rocket) {}
    // The battle is cleared while the shell flies: it leaves the scene. The shell is deleted
    // right after (main thread).
    virtual void ShellCleared(KvRocket& rocket) {}
    // Clear is about to delete an effect, mark or debris the presenter handed to the session
    // with Add.
    virtual void ProcessCleared(KvProcess& process) {}
    // An explosion at a scene point: the flash and the ground mark with its rotation in
    // radians (both handed to the session with Add).
    virtual void Explosion(const KvVec3& scenePoint, double markRotation) {}
};

}  // namespace kv
