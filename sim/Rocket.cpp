#include "sim/Rocket.h"

#include <cmath>

#include "core/Angles.h"
#include "sim/GameHolder.h"

namespace kv {

namespace {
constexpr double kEdge = 999;
}  // namespace

KvRocket::KvRocket(KvGameHolder& holder, int32_t colourIndex, Vec2 start, KvVec3 launchPoint, double directionDegrees,
                   double range)
    : KvProcess(false),
      colourIndex(colourIndex),
      position(start),
      directionDegrees(directionDegrees),
      range(range),
      launchPoint(launchPoint),
      holder_(holder) {
    const double d = Radians(directionDegrees);
    direction = {std::cos(d), std::sin(d)};

    // Cut the flight where it meets an edge: first by x, then by y.
    Vec2 e = position + direction * this->range;
    if (direction.x != 0) {
        if (e.x < 0) {
            this->range = std::fabs(position.x / direction.x);
            e = {0, position.y + direction.y * this->range};
        } else if (e.x > kEdge) {
            this->range = std::fabs((position.x - kEdge) / direction.x);
            e = {kEdge, position.y + direction.y * this->range};
        }
    }
    if (direction.y != 0) {
        if (e.y < 0) {
            this->range = std::fabs(position.y / direction.y);
            e = {position.x + direction.x * this->range, 0};
        } else if (e.y > kEdge) {
            this->range = std::fabs((position.y - kEdge) / direction.y);
            e = {position.x + direction.x * this->range, kEdge};
        }
    }

    // h(0) = 0, h(L/2) = delta/2 + rise, h(L) = delta: the shell lands on the ground at e.
    const KvVec3 end = holder.ScenePoint(e);
    const double dx = end.x - launchPoint.x, dz = end.z - launchPoint.z;
    arcLength = Vec2{dx, dz}.Length();
    const double delta = end.y - launchPoint.y;
    if (arcLength > 0) {
        arcA = -4 * kArcRise / (arcLength * arcLength);
        arcB = (delta + 4 * kArcRise) / arcLength;
    }
    arcC = 0;
    height = Flight().ArcHeight(0);
}

void KvRocket::Step(double dt) {
    if (exploded) return;
    position += direction * (dt * kSpeed);
    travelled += dt * kSpeed;
    const KvShellFlight flight = Flight();
    height = flight.ArcHeight(flight.ArcDistance(travelled));
    if (travelled >= range) {
        // The explosion lies where this step ended, up to 600 x dt past the nominal end.
        exploded = true;
        if (KvBattlePresenter* presenter = holder_.Presenter()) presenter->ShellExploded(*this);
        holder_.Explode(position);
        holder_.Remove(this, true);
    }
}

}  // namespace kv
