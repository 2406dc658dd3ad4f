#pragma once
// Everything a battle shows or plays besides its numbers: message boxes, scene objects,
// views, sounds, effects, marks and debris. The battle session and its robots and shells
// call these hooks at the moments the game shows something; a headless battle passes no
// presenter (or one that only records), the game passes one that fills the scene.
//
// Threads and locks (debug builds assert the thread of every hook):
// - Tick hooks (RobotDied, Collision, ShellFired, ShellExploded, Explosion) run on the
//   worker inside a tick, with the scheduler mutex held. They may Add processes to the
//   session (re-entering the mutex the worker holds), take the scene lock around one
//   addition or removal of a drawable or mark, and make sound calls (each takes the sound
//   lock itself); scene lock before sound lock, never the other way round. The worker takes
//   the scene lock for nothing else.
// - Set-up hooks (ShowSetupError, RobotAdded, RobotCleared, ShellCleared, ProcessCleared)
//   run on the main thread while no tick runs (the scheduler paused, or no worker). They
//   take the scene lock and then the sound lock the same way. The main thread never waits
//   for the scheduler mutex while it holds the scene or the sound lock.
// - The presenter keeps its own state per robot and per shell (drawables, sound channels,
//   started flags), keyed by the object; the simulation's classes carry none of it.
// - Who deletes what: robots and the processes handed to the session with Add are deleted
//   by the session's Clear on the main thread, after their cleared hook; a shell that has
//   exploded, and any process removed with deletion, is deleted on the worker at the end of
//   the tick. So nothing the worker may delete touches GL in its destructor: drawing sides
//   hold keys, not GL objects, or release them on the main thread.
//
// Pairs: every shell gets ShellFired and then exactly one of ShellExploded (the worker
// deletes it at the end of that tick) or ShellCleared. Every robot gets RobotAdded and, at
// the next Clear, RobotCleared. Every process the presenter handed to the session and that
// has not removed itself gets ProcessCleared before Clear deletes it.

#include <cstdint>

#include "core/KvString.h"
#include "core/Matrix.h"
#include "core/Vec2.h"

namespace kv {

class KvGLRobot;
class KvProcess;
class KvRocket;
class KvProcess;

class KvBattlePresenter {
public:
    virtual ~KvBattlePresenter() = default;

    // Main thread, no tick running.
    // A set-up problem, with the text of its message box.
    virtual void ShowSetupError(const KvString& message) {}
    // A robot has joined the battle: it goes into the scene with its view, shadow and
    // paused engine sound.
    virtual void RobotAdded(KvGLRobot& robot) {}
    // The battle is being cleared: the robot, its view and its engine sound leave the
    // scene. The robot is deleted right after.
    virtual void RobotCleared(KvGLRobot& robot) {}
    // The battle is being cleared while the shell is in flight: it leaves the scene, its
    // sound stops, and it is deleted right after.
    virtual void ShellCleared(KvRocket& rocket) {}
    // The battle is being cleared: an effect, mark or debris the presenter handed to the
    // session with Add is deleted right after.
    virtual void ProcessCleared(KvProcess& process) {}

    // Worker thread, inside a tick, scheduler mutex held.
    // The robot's damage reached 100: its engine stops, it leaves the scene and its debris
    // takes its place (handed to the session with Add).
    virtual void RobotDied(KvGLRobot& robot) {}
    // The robot hit a wall or another robot with damage: "collision" at its scene point.
    virtual void Collision(KvGLRobot& robot, const KvVec3& scenePoint) {}
    // A new shell: into the scene, with its smoke trail (handed to the session with Add) and
    // its paused "rocket" sound.
    virtual void ShellFired(KvRocket& rocket) {}
    // The shell has reached its end: its sound stops, its trail stops following it and it
    // leaves the scene. The worker deletes it at the end of the tick.
    virtual void ShellExploded(KvRocket& rocket) {}
    // An explosion at a scene point: the flash and the ground mark with its rotation in
    // radians (both handed to the session with Add).
    virtual void Explosion(const KvVec3& scenePoint, double markRotation) {}
};

}  // namespace kv
