#pragma once
// The robot's body: the meaning of drive, scan and cannon, its motion, damage and death.
//
// Everything here runs on the simulation thread (or on the main thread while the scheduler
// is paused). Other threads read a robot only through Values(): one record published whole
// at the end of every step of the robot, and when it fires, is hit or is placed. A battle
// that nobody watches from another thread may turn publishing off (SetPublishing).

#include <cmath>
#include <cstdint>

#include "core/Angles.h"
#include "core/KvString.h"
#include "core/Matrix.h"
#include "core/Process.h"
#include "sim/Published.h"
#include "vm/BaseRobot.h"

namespace kv {

class KvGameHolder;

// Folds a direction for drive and scan: above 360 into 1..360, below 0 into 0..359.
int32_t NormalizeDegrees(int32_t v);

// The colour's name, or "unknown" for an index outside the table.
const char* ColourName(int32_t colourIndex);

// What the frame, the status panels and the tools may read while the simulation runs.
struct RobotValues {
    Vec2 position;
    double heading = 0;
    double speed = 0;
    double damage = 0;
    double reloadTimer = 0;
    double cannonDirection = 0;
    int32_t scanDirection = 0;
    bool cannonReady = false;
    bool dead = false;
    double deathTime = 0;  // battle seconds at death
    int32_t shots = 0;

    // Calls f(a.field, b.field) for every field, for copying field by field.
    template <class A, class B, class F>
    static void ForEachField(A& a, B& b, F f) {
        f(a.position.x, b.position.x);
        f(a.position.y, b.position.y);
        f(a.heading, b.heading);
        f(a.speed, b.speed);
        f(a.damage, b.damage);
        f(a.reloadTimer, b.reloadTimer);
        f(a.cannonDirection, b.cannonDirection);
        f(a.scanDirection, b.scanDirection);
        f(a.cannonReady, b.cannonReady);
        f(a.dead, b.dead);
        f(a.deathTime, b.deathTime);
        f(a.shots, b.shots);
    }
};

// The process base comes first: the scheduler calls Step through it every tick, and a
// first base needs no adjusting thunk.
class KvGLRobot final : public KvProcess, public KvBaseRobot {
public:
    static constexpr double kReloadTime = 1.5;
    static constexpr double kAcceleration = 2000;  // units per second squared
    static constexpr double kMaxTurnSpeed = 50;
    static constexpr double kCollisionCooldown = 0.7;
    static constexpr int32_t kCollisionDamage = 2;
    static constexpr double kArenaMax = 999;

    // name: the file name shown in the status panel. The robot stands at (500, 500) until
    // the battle set-up places it.
    KvGLRobot(KvString name, int32_t colourIndex);

    // Sets the speed asked for and, at half speed or less, the heading at once. Returns 0.
    int32_t Drive(int32_t direction, int32_t speed) override;
    // Distance to the nearest living robot within resolution degrees of direction, or 0.
    int32_t Scan(int32_t direction, int32_t resolution) override;
    // Fires a shell unless the cannon is reloading. Returns 1 when a shell was fired.
    int32_t Cannon(int32_t direction, int32_t range) override;

    // One tick: reload, accelerate, then move or hit a wall. A dead robot does nothing. A
    // robot left standing with nothing to count down lets the scheduler skip its steps
    // (idleTicks) until something wakes it: steps of the same dt would change nothing.
    void Step(double dt) override;
    // Ends a standing robot's rest; whoever changes its fields from outside calls it.
    void Wake() { idleTicks = 0; }
    // Adds damage; at 100 the robot dies and its machine is retired at the end of the tick.
    void ApplyDamage(int32_t points);
    // Where one more step at the current speed and heading would take the robot.
    Vec2 NextPosition() const { return position + HeadingVector() * (speed * lastDt); }
    // (cos heading, sin heading), kept until the heading changes.
    Vec2 HeadingVector() const {
        if (heading != unitHeading_) TurnUnit();
        return unit_;
    }
    void SetPosition(Vec2 p);
    // The session the robot belongs to (scan, shells, retirement); set by the set-up.
    void SetHolder(KvGameHolder* holder) { holder_ = holder; }
    KvGameHolder* Holder() const { return holder_; }

    // The values now; on the simulation's thread only.
    RobotValues Snapshot() const;
    // The values as last published, all from one moment; safe from any thread.
    RobotValues Values() const { return shown_.Load(); }
    // Whether steps publish their values. Off, Values() keeps what was last published: for
    // battles whose values only the simulation's thread reads, through Snapshot. Turning it
    // back on publishes at once. On the simulation's thread, like the steps.
    void SetPublishing(bool on) {
        publishing_ = on;
        if (on) Publish();
    }

    KvString name;  // hides KvObject::name, which holds "Robot"
    int32_t colourIndex;
    double desiredSpeed = 0;
    double accelSign = 0;
    double heading = 0;
    double lastDt = 0;
    double reloadTimer = kReloadTime;
    bool cannonReady = false;
    int32_t scanDirection = 0;
    double cannonDirection = 0;
    double canMove = 1.0;
    double wallCooldown = 0;
    bool dead = false;
    int32_t shots = 0;
    double deathTime = 0;

private:
    // The rare paths of a step stay out of line, so that the common one saves no registers.
    void Publish() {
        if (publishing_) PublishNow();
    }
    void PublishNow();
    void HitWall();
    void TurnUnit() const;
    // True when another step of dt would leave every field as it is.
    bool Resting() const;

    KvGameHolder* holder_ = nullptr;
    mutable double unitHeading_ = -1;  // the heading unit_ belongs to; never a valid heading
    mutable Vec2 unit_;
    bool publishing_ = true;
    Published<RobotValues> shown_;
};

}  // namespace kv
