#pragma once
// A cannon shell: flies straight over the arena at 600 units per second for its range, cut
// at the walls, and explodes at the end of the step that reaches it. It hits nothing on the
// way. In the scene it follows an arc from the muzzle down to the ground at its end point.

#include <atomic>
#include <cstdint>

#include "core/Matrix.h"
#include "core/Process.h"
#include "core/Vec2.h"

namespace kv {

class KvGameHolder;

class KvRocket : public KvProcess {
public:
    static constexpr double kSpeed = 600;
    static constexpr double kArcRise = 0.7;  // scene units above the straight line at mid-flight

    // range is already clamped to 0..700 by the cannon; it is cut here where the flight
    // would leave the arena.
    KvRocket(KvGameHolder& holder, int32_t colourIndex, Vec2 start, KvVec3 launchPoint, double directionDegrees,
             double range);

    // Moves the shell; once it has travelled its range it explodes where it now is.
    void Step(double dt) override;

    // Height above the launch point at horizontal scene distance s along the arc.
    double ArcHeight(double s) const { return arcA * s * s + arcB * s + arcC; }
    // The horizontal scene distance along the arc for the current flight.
    double ArcDistance(double flown) const;

    // Safe from any thread: how far the shell has flown.
    double Travelled() const { return shownTravelled_.load(std::memory_order_relaxed); }

    int32_t colourIndex;
    Vec2 position;
    Vec2 direction;
    double directionDegrees;
    double range;
    double travelled = 0;
    KvVec3 launchPoint;
    double arcLength = 0;
    double arcA = 0, arcB = 0, arcC = 0;
    double height = 0;
    bool exploded = false;

private:
    KvGameHolder& holder_;
    std::atomic<double> shownTravelled_{0};
};

}  // namespace kv
