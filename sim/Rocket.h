#pragma once
// A cannon shell: flies straight over the arena at 600 units per second for its range, cut
// at the walls, and explodes at the end of the step that reaches it. It hits nothing on the
// way. In the scene it follows an arc from the muzzle down to the ground at its end point.

#include <cstdint>

#include "core/Matrix.h"
#include "core/Process.h"
#include "core/Vec2.h"

namespace kv {

class KvGameHolder;

inline constexpr double kShellSpeed = 600;  // arena units per second

// A shell's flight as the drawing side keeps it: everything constant from the moment it is
// fired, so that the shell can be drawn after the simulation has deleted it. The arc is the
// scene's: height above the launch point at horizontal scene distance s along it.
struct KvShellFlight {
    uint64_t id = 0;  // the shell process's sequence: one per shell over the run
    int32_t colourIndex = 0;
    KvVec3 launchPoint;
    Vec2 direction;
    double range = 0;
    double arcLength = 0;
    double arcA = 0, arcB = 0, arcC = 0;

    double ArcHeight(double s) const { return arcA * s * s + arcB * s + arcC; }
    // The horizontal scene distance along the arc once the shell has flown this far; a shell
    // of range 0 is at the end of its arc from the start.
    double ArcDistance(double flown) const { return range > 0 ? arcLength * flown / range : arcLength; }
    // How far the shell has flown after steps steps of dt, up to its range.
    double TravelledAfter(int64_t steps, double dt) const {
        const double flown = static_cast<double>(steps) * dt * kShellSpeed;
        return flown < range ? flown : range;
    }
};

class KvRocket : public KvProcess {
public:
    static constexpr double kSpeed = kShellSpeed;
    static constexpr double kArcRise = 0.7;  // scene units above the straight line at mid-flight

    // range is already clamped to 0..700 by the cannon; it is cut here where the flight
    // would leave the arena.
    KvRocket(KvGameHolder& holder, int32_t colourIndex, Vec2 start, KvVec3 launchPoint, double directionDegrees,
             double range);

    // Moves the shell; once it has travelled its range it explodes where it now is.
    void Step(double dt) override;

    // The constant flight, for the drawing side.
    KvShellFlight Flight() const {
        return {sequence, colourIndex, launchPoint, direction, range, arcLength, arcA, arcB, arcC};
    }

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
};

}  // namespace kv
