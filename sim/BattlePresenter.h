#pragma once
// The moments a battle shows something besides its numbers: set-up messages, robots joining
// and leaving, deaths, collisions, shells fired and exploding, explosions. The battle session
// and its robots and shells call these hooks; a headless battle passes no presenter. The game
// passes the battle's event recorder (Battle.h), which turns each tick hook into an event for
// the drawing side, so nothing a hook does waits for a frame.
//
// Threads (debug builds assert the thread of every hook):
// - Tick hooks (RobotDied, Collision, ShellFired, ShellExploded, Explosion) run on the
//   ticking thread inside a tick, with the scheduler mutex held. They take no lock that a
//   frame holds.
// - Set-up hooks (ShowSetupError, RobotAdded, RobotCleared, ShellCleared, ProcessCleared)
//   run while no tick runs (the scheduler paused, or no worker).
// - The presenter keeps its own state per robot and per shell, keyed by the object; the
//   simulation's classes carry none of it.
// - Who deletes what: robots and the processes handed to the session with Add are deleted
//   by the session's Clear, after their cleared hook; a shell that has exploded, and any
//   process removed with deletion, is deleted on the ticking thread at the end of the tick.
//   So a presenter keeps copies of what it shows later, never the shell itself.
//
// Pairs: every shell gets ShellFired and then exactly one of ShellExploded (deleted at the
// end of that tick) or ShellCleared. Every robot gets RobotAdded and, at the next Clear,
// RobotCleared. Every process handed to the session that has not removed itself gets
// ProcessCleared before Clear deletes it.

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

    // No tick running.
    // A set-up problem, with the text of its message box.
    virtual void ShowSetupError(const KvString& message) {}
    // A robot has joined the battle.
    virtual void RobotAdded(KvGLRobot& robot) {}
    // The battle is being cleared; the robot is deleted right after.
    virtual void RobotCleared(KvGLRobot& robot) {}
    // The battle is being cleared while the shell is in flight; it is deleted right after.
    virtual void ShellCleared(KvRocket& rocket) {}
    // The battle is being cleared: a process handed to the session with Add (neither robot,
    // machine nor shell) is deleted right after.
    virtual void ProcessCleared(KvProcess& process) {}

    // Inside a tick, scheduler mutex held.
    // The robot's damage reached 100: it is dead, its machine gone at the end of the tick.
    virtual void RobotDied(KvGLRobot& robot) {}
    // The robot hit a wall or another robot with damage, at its scene point.
    virtual void Collision(KvGLRobot& robot, const KvVec3& scenePoint) {}
    // A new shell, stepped from the next tick on.
    virtual void ShellFired(KvRocket& rocket) {}
    // The shell has reached its end; it is deleted at the end of the tick.
    virtual void ShellExploded(KvRocket& rocket) {}
    // An explosion at a scene point, and the turn of the mark it leaves, radians.
    virtual void Explosion(const KvVec3& scenePoint, double markRotation) {}
};

}  // namespace kv
