#include "sim/Robot.h"

#include <cmath>

#include "assets/ResourceList.h"
#include "core/Angles.h"
#include "sim/GameHolder.h"
#include "sim/Rocket.h"
#include "vm/VMachine.h"

namespace kv {

namespace {

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

bool InsideArena(Vec2 p) {
    return p.x >= 0 && p.x <= KvGLRobot::kArenaMax && p.y >= 0 && p.y <= KvGLRobot::kArenaMax;
}

}  // namespace

int32_t NormalizeDegrees(int32_t v) {
    // 64-bit arithmetic so that directions near the ends of the integer range fold too.
    int64_t w = v;
    if (w > 360) w = w - 360 - 360 * ((w - 361) / 360);
    else if (w < 0) w = w + 360 + 360 * ((-1 - w) / 360);
    return static_cast<int32_t>(w);
}

const char* ColourName(int32_t colourIndex) {
    return colourIndex >= 0 && colourIndex < kColourCount ? kRobotColours[colourIndex].name : "unknown";
}

KvGLRobot::KvGLRobot(KvString name, int32_t colourIndex)
    : KvProcess(false), name(std::move(name)), colourIndex(colourIndex) {
    KvObject::name = "Robot";
    position = {500, 500};
    Publish();
}

int32_t KvGLRobot::Drive(int32_t direction, int32_t speedAsked) {
    Wake();
    desiredSpeed = Clamp(speedAsked, 0, 100);
    // The truncated speed decides, so 27.4 asked for 27 stays at 27.4.
    const double current = std::trunc(speed);
    accelSign = current < desiredSpeed ? 1.0 : current > desiredSpeed ? -1.0 : 0.0;
    if (speed <= kMaxTurnSpeed) heading = NormalizeDegrees(direction);
    return 0;
}

int32_t KvGLRobot::Scan(int32_t direction, int32_t resolution) {
    if (direction != scanDirection) Wake();  // to publish it
    scanDirection = direction;
    if (!holder_) return 0;
    return holder_->Scan(*this, NormalizeDegrees(direction), Clamp(resolution, 0, 10));
}

int32_t KvGLRobot::Cannon(int32_t direction, int32_t range) {
    if (direction != cannonDirection) Wake();
    cannonDirection = direction;
    if (reloadTimer > 0 || !holder_) return 0;
    Wake();
    const double clamped = Clamp(range, 0, 700);
    reloadTimer = kReloadTime;
    const KvVec3 launch = holder_->Geometry().MuzzlePoint(holder_->Ground(), position, heading, cannonDirection);
    auto* rocket = new KvRocket(*holder_, colourIndex, position, launch, static_cast<double>(direction), clamped);
    holder_->Add(rocket);
    if (KvBattlePresenter* presenter = holder_->Presenter()) presenter->ShellFired(*rocket);
    ++shots;
    Publish();
    return 1;
}

void KvGLRobot::SetPosition(Vec2 p) {
    Wake();
    position = p;
    Publish();
}

void KvGLRobot::Step(double dt) {
    if (dead) return;
    lastDt = dt;
    if (reloadTimer > 0) reloadTimer -= dt;
    cannonReady = reloadTimer <= 0;

    // At the speed asked for the clamp below would undo the change, and cruising adds +0 to
    // a speed that is never -0: either way the speed stays as it is.
    if (accelSign != 0 && speed != desiredSpeed) {
        speed += accelSign * kAcceleration * dt;
        if (accelSign == 1.0 && speed > desiredSpeed) speed = desiredSpeed;
        if (accelSign == -1.0 && speed < desiredSpeed) speed = desiredSpeed;
    }

    if (canMove != 0) {
        const Vec2 next = NextPosition();
        if (InsideArena(next)) position = next;
        else if (wallCooldown <= 0) HitWall();
    }
    if (wallCooldown > 0) wallCooldown -= dt;
    Publish();
    idleTicks = speed == 0 && Resting() ? kIdleForever : 0;  // a moving robot never rests
}

void KvGLRobot::HitWall() {
    wallCooldown = kCollisionCooldown;
    desiredSpeed = accelSign = speed = 0;
    if (holder_) {
        if (KvBattlePresenter* presenter = holder_->Presenter()) presenter->Collision(*this, holder_->ScenePoint(position));
    }
    ApplyDamage(kCollisionDamage);
}

void KvGLRobot::TurnUnit() const {
    const double h = Radians(heading);
    unit_ = {std::cos(h), std::sin(h)};
    unitHeading_ = heading;
}

void KvGLRobot::PublishNow() { shown_.Store(Snapshot()); }

bool KvGLRobot::Resting() const {
    // A speed of +0 stays +0 whatever accelSign when the speed asked for is 0 too, and then
    // adding the zero move leaves the position as it is (a -0 would turn into +0).
    const bool still = speed == 0 && !std::signbit(speed) && (accelSign == 0 || desiredSpeed == 0);
    return still && reloadTimer <= 0 && wallCooldown <= 0 && InsideArena(position) &&
           !std::signbit(position.x) && !std::signbit(position.y);
}

void KvGLRobot::ApplyDamage(int32_t points) {
    if (dead) return;  // callers never hit a dead robot; a second death would retire it twice
    Wake();
    damage += points;
    if (damage >= 100) {
        damage = 100;
        dead = true;
        if (holder_) {
            deathTime = holder_->BattleTime();
            if (KvBattlePresenter* presenter = holder_->Presenter()) presenter->RobotDied(*this);
            holder_->Retire(*this);
        }
    }
    Publish();
}

RobotValues KvGLRobot::Snapshot() const {
    RobotValues v;
    v.position = position;
    v.heading = heading;
    v.speed = speed;
    v.damage = damage;
    v.reloadTimer = reloadTimer;
    v.cannonDirection = cannonDirection;
    v.scanDirection = scanDirection;
    v.cannonReady = cannonReady;
    v.dead = dead;
    v.deathTime = deathTime;
    v.shots = shots;
    return v;
}

}  // namespace kv
