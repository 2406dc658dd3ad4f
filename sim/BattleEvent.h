#pragma once
// What a tick of the battle showed, as the drawing side learns of it: plain values taken on
// the worker inside the tick, never the simulation's own objects, which the worker may delete
// (a shell is gone at the end of the tick it explodes in). Robots stay alive until the battle
// is cleared, so an event may name one.

#include <cstdint>

#include "core/Matrix.h"
#include "sim/Robot.h"
#include "sim/Rocket.h"

namespace kv {

struct KvBattleEvent {
    enum class Kind : uint8_t {
        RobotDied,      // robot, values at its death
        Collision,      // robot, point: it hit a wall or another robot with damage
        ShellFired,     // shell: the new shell's flight
        ShellExploded,  // shell.id: the shell reached its end and is gone
        Explosion,      // point, rotation: a burst on the ground and its mark's turn (radians)
    };

    Kind kind = Kind::Collision;
    int64_t tick = 0;  // the tick it happened in; the battle's first tick is 1
    const KvGLRobot* robot = nullptr;
    RobotValues values;
    KvVec3 point;
    double rotation = 0;
    KvShellFlight shell;
};

}  // namespace kv
