#include "sim/RobotGeometry.h"

#include <cmath>

#include "assets/ResourceStore.h"
#include "core/Angles.h"

namespace kv {

RobotGeometry RobotGeometry::FromParts(const KvModelParts& parts) {
    RobotGeometry g;
    const KvMesh& body = *parts[KvModelParts::kBody].mesh;
    // The body's local y axis runs along the heading and x across it; 100 arena units make
    // one scene unit.
    g.width = 100 * (body.BoxMax().x - body.BoxMin().x);
    g.length = 100 * (body.BoxMax().y - body.BoxMin().y);
    g.turretLocal = parts[KvModelParts::kTurret].node.local;
    g.muzzleLocal = Product(Product(Product(parts[KvModelParts::kTurretTop].node.local,
                                            parts[KvModelParts::kMantlet].node.local),
                                    parts[KvModelParts::kBarrel].node.local),
                            parts[KvModelParts::kShell].node.local);
    return g;
}

bool LoadRobotGeometry(const KvFile& path, RobotGeometry& geometry, KvString& error) {
    ResourceStore store;
    store.Mount(path);
    if (!store.LoadGeometry()) {
        error = store.Error();
        return false;
    }
    geometry = RobotGeometry::FromParts(store.RobotParts());
    return true;
}

KvMatrix RobotGeometry::BodyFrame(const KvHeightField& ground, Vec2 position, double headingDegrees) {
    const double gx = SceneX(position.x), gz = SceneZ(position.y);
    const double h0 = ground.HeightAt(gx, gz);
    const double heading = Radians(headingDegrees);
    // Sample the ground a tenth of a unit ahead and to the side to lean with the slope.
    const KvVec3 f = Normalised({std::cos(heading), 0, std::sin(heading)});
    const double h1 = ground.HeightAt(gx + f.x / 10, gz + f.z / 10);
    const KvVec3 forward = Normalised({f.x / 10, h1 - h0, f.z / 10});
    const KvVec3 s = Normalised({-f.z, 0, f.x});
    const double h2 = ground.HeightAt(gx + s.x / 10, gz + s.z / 10);
    const KvVec3 side = Normalised({s.x / 10, h2 - h0, s.z / 10});
    const KvVec3 up = Cross(side, forward);
    return {-side.x, -side.y,    -side.z,    0,  //
            -forward.x, -forward.y, -forward.z, 0,  //
            up.x,    up.y,       up.z,       0,  //
            gx,      h0,         gz,         1};
}

KvMatrix RobotGeometry::TurnTowards(const KvMatrix& world, double radians) {
    // The part's forward is its local -y, whose world x and z are -world[4] and -world[6].
    const double theta = radians - std::atan2(world[6], world[4]) + kPi;
    const double c = std::cos(theta), s = std::sin(theta);
    return {c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

KvVec3 RobotGeometry::MuzzlePoint(const KvHeightField& ground, Vec2 position, double headingDegrees,
                                  double cannonDegrees) const {
    const KvMatrix body = BodyFrame(ground, position, headingDegrees);
    const KvMatrix turret = Product(body, turretLocal);
    const KvMatrix muzzle = Product(Product(turret, TurnTowards(turret, Radians(cannonDegrees))), muzzleLocal);
    return {muzzle[12], muzzle[13], muzzle[14]};
}

}  // namespace kv
