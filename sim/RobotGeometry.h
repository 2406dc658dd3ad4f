#pragma once
// What the simulation needs from the robot's model: its footprint for collisions and where
// its cannon's muzzle sits, for the launch point of a shell. Filled from the robot model's
// part table when the resources are loaded; the defaults stand in for tests without them.

#include "core/KvString.h"
#include "core/Matrix.h"
#include "core/Vec2.h"
#include "sim/HeightField.h"

namespace kv {

class KvModelParts;

struct RobotGeometry {
    // Footprint in arena units: across the heading and along it.
    double width = 30;
    double length = 40;
    // The turret's placement relative to the body frame.
    KvMatrix turretLocal = Identity();
    // The shell resting in the barrel, relative to the turret (the barrel parts chained).
    KvMatrix muzzleLocal = Identity();

    // From the robot's bound part template: the "Body" mesh's box (mesh-local, scene units)
    // and the local matrices of the turret (part 2), the parts between it and the shell (3, 8
    // and 9) and the shell resting in the barrel (part 0).
    static RobotGeometry FromParts(const KvModelParts& parts);

    // The body frame of a robot standing on the ground at an arena point: its local y axis
    // points backwards along the heading, x to the side, z up along the ground's normal.
    static KvMatrix BodyFrame(const KvHeightField& ground, Vec2 position, double headingDegrees);

    // The turn about a part's local z axis that points its forward (local -y) along the
    // world direction of `radians`, for a part whose world matrix is now `world`.
    static KvMatrix TurnTowards(const KvMatrix& world, double radians);

    // The muzzle in the scene with the turret turned to cannonDegrees, as the robot's frame
    // draws it.
    KvVec3 MuzzlePoint(const KvHeightField& ground, Vec2 position, double headingDegrees,
                       double cannonDegrees) const;
};

// Loads the robot model from the archive at path, without any window, GL context or sound
// device, and fills geometry from its part table. False with a message on failure.
bool LoadRobotGeometry(const KvFile& path, RobotGeometry& geometry, KvString& error);

}  // namespace kv
