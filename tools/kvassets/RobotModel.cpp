#include "tools/kvassets/RobotModel.h"

#include "core/Angles.h"
#include "tools/kvassets/Geometry.h"

#include <algorithm>
#include <iterator>

namespace kv::gen {

namespace {

// Layout of the robot in inches. The turret turns about (0, kTurretY); the scanner head
// about (0, kScannerY); the shell's origin is the muzzle.
constexpr double kWheelX = 5.2, kWheelY = 5.0, kWheelRadius = 2.6;
constexpr double kHullBottom = 2.2, kHullTop = 6.9, kHullHalfLength = 8.25;
constexpr double kTurretY = 0.6, kTurretBase = kHullTop, kRingHeight = 0.6, kHousingHeight = 2.0;
constexpr double kGunZ = kTurretBase + kRingHeight + 1.0;
constexpr double kMantletY = kTurretY - 3.7, kBarrelY = kMantletY - 0.8, kBarrelLength = 6.6;
constexpr double kMuzzleY = kBarrelY - kBarrelLength;
constexpr double kScannerY = kTurretY + 1.7, kScannerBase = kTurretBase + kRingHeight + kHousingHeight;

// Half the hull's cross-section in the x-z plane, walked from the keel up the right side;
// the left side mirrors it. The fender shelf covers the wheels.
std::vector<KvVec3> HullSection(double y, double heightScale, double widthScale) {
    const double half[][2] = {{0.0, kHullBottom}, {3.9, kHullBottom}, {3.9, 5.5}, {6.4, 5.5},
                              {6.4, 6.1},         {5.3, kHullTop},    {0.0, kHullTop}};
    std::vector<KvVec3> ring;
    auto add = [&](double x, double z) {
        ring.push_back({x * widthScale, y, kHullBottom + (z - kHullBottom) * heightScale});
    };
    for (int i = 1; i < 6; ++i) add(half[i][0], half[i][1]);
    for (int i = 5; i >= 1; --i) add(-half[i][0], half[i][1]);
    return ring;
}

// Hull stations from the sloped nose to the stern: (y, height scale, width scale).
constexpr double kHullStations[][3] = {
    {-kHullHalfLength, 0.55, 0.86}, {-6.2, 1.0, 1.0}, {6.6, 1.0, 1.0}, {kHullHalfLength, 0.8, 0.92}};

void Hull(MeshBuilder& b, double fromY, double toY, const UvMap& uv) {
    std::vector<std::vector<KvVec3>> rings;
    const std::size_t n = std::size(kHullStations);
    auto at = [&](double y) {
        for (std::size_t i = 0; i + 1 < n; ++i) {
            const double* s0 = kHullStations[i];
            const double* s1 = kHullStations[i + 1];
            if (y <= s1[0] || i + 2 == n) {
                double t = std::clamp((y - s0[0]) / (s1[0] - s0[0]), 0.0, 1.0);
                return HullSection(y, s0[1] + (s1[1] - s0[1]) * t, s0[2] + (s1[2] - s0[2]) * t);
            }
        }
        return HullSection(y, 1, 1);
    };
    rings.push_back(at(fromY));
    for (const auto& s : kHullStations)
        if (s[0] > fromY + 1e-6 && s[0] < toY - 1e-6) rings.push_back(at(s[0]));
    rings.push_back(at(toY));
    b.Loft(rings, uv);
}

// Wheel texture: the lower half of the picture is the tread strip, the upper half the hub.
UvMap WheelMapping(double radius, double halfWidth) {
    return [=](KvVec3 p, KvVec3 n, double& u, double& v) {
        if (std::fabs(n.x) > 0.8) {
            u = 0.5 + p.y / (2 * radius);
            v = 0.75 + p.z / (4 * radius);
        } else {
            u = std::atan2(p.z, p.y) / (2 * kPi) + 0.5;
            v = (p.x + halfWidth) / (2 * halfWidth) * 0.5;
        }
    };
}

void Wheel(MeshBuilder& b, double radius, double halfWidth) {
    b.Lathe(0, {},
            {{-halfWidth + 0.25, radius * 0.55},
             {-halfWidth, radius * 0.72},
             {-halfWidth + 0.1, radius * 0.94},
             {-halfWidth + 0.35, radius},
             {halfWidth - 0.35, radius},
             {halfWidth - 0.1, radius * 0.94},
             {halfWidth, radius * 0.72},
             {halfWidth - 0.25, radius * 0.55}},
            28, WheelMapping(radius, halfWidth), true);
}

// A shell lying along local +x with its tip forward, centred on its origin.
void Shell(MeshBuilder& b) {
    b.Lathe(0, {},
            {{-2.0, 0.30}, {-1.75, 0.37}, {0.5, 0.37}, {1.1, 0.3}, {1.6, 0.17}, {1.95, 0.05}, {2.0, 0.0}}, 16,
            [](KvVec3 p, KvVec3, double& u, double& v) {
                u = (p.x + 2.0) / 4.0;
                v = std::atan2(p.z, p.y) / (2 * kPi) + 0.5;
            });
}

void Barrel(MeshBuilder& b, double length) {
    // Open at the muzzle so the loaded shell shows: the bore runs 2.2 inches deep.
    b.Lathe(1, {},
            {{0.0, 0.0},
             {0.0, 0.62},
             {-length * 0.55, 0.55},
             {-length + 0.9, 0.55},
             {-length + 0.85, 0.75},
             {-length, 0.75},
             {-length, 0.42},
             {-length + 2.2, 0.42},
             {-length + 2.2, 0.0}},
            16, BoxMapping(0.35));
}

void TurretHousing(MeshBuilder& b) {
    // Six faceted sides, longer than wide, sloping inward.
    std::vector<std::vector<KvVec3>> rings;
    for (auto [z, scale] : {std::pair{0.0, 1.0}, std::pair{kHousingHeight * 0.8, 0.86}, std::pair{kHousingHeight, 0.76}}) {
        std::vector<KvVec3> ring;
        const double xs[] = {2.2, 3.3, 2.2, -2.2, -3.3, -2.2};
        const double ys[] = {-3.2, 0.2, 2.8, 2.8, 0.2, -3.2};
        for (int i = 0; i < 6; ++i) ring.push_back({xs[i] * scale, ys[i] * scale, z});
        rings.push_back(ring);
    }
    b.Loft(rings, BoxMapping(0.2));
}

void Dish(MeshBuilder& b, double radius) {
    // A concave reflector facing -y, closed at the back.
    b.Lathe(1, {},
            {{0.35, 0.0}, {0.35, 0.3}, {-0.3, radius}, {-0.45, radius}, {-0.2, radius * 0.85}, {0.1, 0.2}, {0.1, 0.0}}, 20,
            BoxMapping(0.3));
}

}  // namespace

std::vector<KvModelObject> RobotObjects() {
    std::vector<KvModelObject> objects;
    const UvMap bodyUv = BoxMapping(1.0 / 16.0, 0.5, 0.5);
    const UvMap metalUv = BoxMapping(0.18);

    {
        MeshBuilder b;
        Hull(b, -kHullHalfLength, kHullHalfLength, bodyUv);
        // Headlights and a rear exhaust block.
        b.BevelBox({2.6, -kHullHalfLength + 0.3, 4.1}, {0.55, 0.3, 0.35}, 0.1, metalUv);
        b.BevelBox({-2.6, -kHullHalfLength + 0.3, 4.1}, {0.55, 0.3, 0.35}, 0.1, metalUv);
        objects.push_back(b.Build("Body", Frame::At(0, 0, 0)));
    }
    {
        MeshBuilder b;
        Shell(b);
        // The shell's own x axis points where the barrel points, so a flying shell is
        // placed with its travel direction in column 0.
        Frame f = Frame::At(0, kMuzzleY, kGunZ);
        f.x = {0, -1, 0};
        f.y = {1, 0, 0};
        objects.push_back(b.Build("Rocket", f));
    }
    {
        MeshBuilder b;
        b.Lathe(2, {}, {{0.0, 3.3}, {kRingHeight, 3.1}}, 32, metalUv);
        objects.push_back(b.Build("detal.02.03", Frame::At(0, kTurretY, kTurretBase)));
    }
    {
        MeshBuilder b;
        TurretHousing(b);
        objects.push_back(b.Build("detal.02", Frame::At(0, kTurretY, kTurretBase + kRingHeight)));
    }
    {
        MeshBuilder b;
        b.Lathe(2, {}, {{0.0, 1.35}, {0.55, 1.35}, {0.9, 1.1}, {1.05, 0.6}, {1.1, 0.0}}, 20, BoxMapping(1.0 / 8.0, 0.3, 0.3));
        objects.push_back(b.Build("Body.01", Frame::At(0, kScannerY, kScannerBase)));
    }
    {
        MeshBuilder b;
        b.BevelBox({0, -1.1, 0.45}, {0.6, 0.35, 0.28}, 0.08, metalUv);
        objects.push_back(b.Build("detal.04.01", Frame::At(0, kScannerY, kScannerBase)));
    }
    {
        MeshBuilder b;
        b.Lathe(2, {}, {{0.0, 0.3}, {1.9, 0.2}}, 10, metalUv);
        objects.push_back(b.Build("detal.04.02", Frame::At(0, kScannerY, kScannerBase + 0.9)));
    }
    {
        MeshBuilder b;
        Dish(b, 1.5);
        objects.push_back(b.Build("detal.04", Frame::At(0, kScannerY - 0.1, kScannerBase + 2.9)));
    }
    {
        MeshBuilder b;
        b.BevelBox({0, 0, 0}, {1.5, 0.8, 0.85}, 0.25, metalUv);
        objects.push_back(b.Build("detal.02.01", Frame::At(0, kMantletY, kGunZ)));
    }
    {
        MeshBuilder b;
        Barrel(b, kBarrelLength);
        objects.push_back(b.Build("detal.02.02", Frame::At(0, kBarrelY, kGunZ)));
    }
    for (int side = 0; side < 2; ++side) {
        // Launcher pods on the turret's cheeks, each with three tube mouths in front.
        const double x = side == 0 ? -3.55 : 3.55;
        MeshBuilder b;
        b.BevelBox({0, 0, 0}, {0.7, 1.7, 0.65}, 0.18, BoxMapping(0.25));
        for (int k = 0; k < 3; ++k)
            b.Lathe(1, {0, -1.7, -0.32 + 0.32 * k}, {{0.15, 0.0}, {0.15, 0.14}, {-0.1, 0.14}, {-0.1, 0.0}}, 8,
                    BoxMapping(0.25));
        objects.push_back(b.Build(side == 0 ? "detal.03" : "detal.03.01", Frame::At(x, kTurretY - 0.6, kGunZ - 0.2)));
    }
    const double wheelPos[4][2] = {{-kWheelX, -kWheelY}, {kWheelX, -kWheelY}, {-kWheelX, kWheelY}, {kWheelX, kWheelY}};
    for (int w = 0; w < 4; ++w) {
        MeshBuilder b;
        Wheel(b, kWheelRadius, 0.9);
        const char* names[] = {"wheel.01", "wheel.02", "wheel.03", "wheel.04"};
        objects.push_back(b.Build(names[w], Frame::At(wheelPos[w][0], wheelPos[w][1], kWheelRadius), 30));
    }

    return objects;
}

std::vector<KvModelObject> DebrisObjects() {
    std::vector<KvModelObject> objects;
    const UvMap bodyUv = BoxMapping(1.0 / 16.0, 0.5, 0.5);
    const UvMap metalUv = BoxMapping(0.18);
    {
        // The barrel, snapped off and lying across the front deck.
        MeshBuilder b;
        b.Lathe(1, {0, 2.6, 0}, {{0.0, 0.0}, {0.0, 0.55}, {-5.2, 0.5}, {-5.2, 0.0}}, 12, metalUv);
        Frame f = Frame::At(1.2, -3.5, kHullTop + 0.6).Rotated(2, 0.7).Rotated(0, -0.15);
        objects.push_back(b.Build("debris.01", f));
    }
    {
        // The turret housing, torn off its ring and tipped over.
        MeshBuilder b;
        TurretHousing(b);
        Frame f = Frame::At(-0.4, kTurretY, kTurretBase + 0.2).Rotated(0, 0.35).Rotated(1, -0.25);
        objects.push_back(b.Build("debris.02", f));
    }
    {
        MeshBuilder b;
        Dish(b, 1.5);
        Frame f = Frame::At(-2.5, 5.2, kHullTop + 1.2).Rotated(0, 1.1).Rotated(2, 0.6);
        objects.push_back(b.Build("debris.03", f));
    }
    {
        MeshBuilder b;
        b.BevelBox({0, 0, 0}, {1.5, 0.8, 0.85}, 0.25, metalUv);
        b.BevelBox({2.6, 0.6, -0.1}, {0.7, 1.7, 0.65}, 0.18, metalUv);
        Frame f = Frame::At(-1.5, -4.2, kHullTop + 0.5).Rotated(2, -0.4).Rotated(1, 0.3);
        objects.push_back(b.Build("debris.04", f));
    }
    // The hull broken in three, each piece sagging towards the break.
    const double cuts[][2] = {{-kHullHalfLength, -3.0}, {-2.5, 2.0}, {2.6, kHullHalfLength}};
    const double tilts[] = {-0.24, 0.0, 0.2};
    const char* hullNames[] = {"debris.05", "debris.06", "debris.07"};
    for (int i = 0; i < 3; ++i) {
        const double mid = (cuts[i][0] + cuts[i][1]) / 2;
        const double sink = i == 1 ? -1.3 : -0.6;
        MeshBuilder b;
        Hull(b, cuts[i][0], cuts[i][1], bodyUv);
        // Geometry is re-centred on the piece so that a thrown piece spins about its middle.
        KvModelObject o = b.Build(hullNames[i], Frame::At(0, 0, 0));
        const KvVec3 centre{0, mid, (kHullBottom + kHullTop) / 2};
        Frame f = Frame::At(centre.x + 0.3 * (i - 1), centre.y + 0.4 * (i - 1), centre.z + sink)
                      .Rotated(0, tilts[i])
                      .Rotated(1, 0.12 * (i - 1))
                      .Rotated(2, 0.1 * (1 - i));
        // Re-express the hull piece's points in its tilted frame around its centre.
        for (KvModelVec3f& v : o.vertices) {
            KvVec3 p = f.Apply(KvVec3{v.x - centre.x, v.y - centre.y, v.z - centre.z});
            v = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
        }
        for (KvModelFace& face : o.faces)
            for (KvModelVec3f& n : face.normal) {
                KvVec3 t = f.Turn(KvVec3{n.x, n.y, n.z});
                n = {static_cast<float>(t.x), static_cast<float>(t.y), static_cast<float>(t.z)};
            }
        const KvVec3 rows[4] = {f.x, f.y, f.z, f.origin};
        for (int r = 0; r < 4; ++r) {
            o.placement[r][0] = static_cast<float>(rows[r].x);
            o.placement[r][1] = static_cast<float>(rows[r].y);
            o.placement[r][2] = static_cast<float>(rows[r].z);
        }
        objects.push_back(o);
    }
    const double wheelPos[4][2] = {{-kWheelX, -kWheelY}, {kWheelX, -kWheelY}, {-kWheelX, kWheelY}, {kWheelX, kWheelY}};
    const double wheelTilt[4] = {0.5, -0.3, 0.15, -0.6};
    const char* wheelNames[] = {"debris.wheel.01", "debris.wheel.02", "debris.wheel.03", "debris.wheel.04"};
    for (int w = 0; w < 4; ++w) {
        MeshBuilder b;
        Wheel(b, kWheelRadius, 0.9);
        const double out = (wheelPos[w][0] > 0 ? 1 : -1) * (0.5 + 0.3 * w);
        Frame f = Frame::At(wheelPos[w][0] + out, wheelPos[w][1], kWheelRadius - 0.2).Rotated(1, wheelTilt[w]);
        objects.push_back(b.Build(wheelNames[w], f, 30));
    }
    return objects;
}

}  // namespace kv::gen
