// The generated archive contents: the robot's shape and hierarchy as the game uses them, the
// wreck, the sound and picture formats, and byte-identical output from run to run.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unistd.h>

#include "assets/DebrisParts.h"
#include "assets/ModelFile.h"
#include "assets/ModelParts.h"
#include "core/Angles.h"
#include "core/Stream.h"

namespace kv {
namespace {

const std::filesystem::path kDir = KV_GENERATED_DIR;

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class GeneratedModels : public ::testing::Test {
protected:
    void SetUp() override {
        KvString error;
        for (const char* name : {"robot.3d", "debris.3d"}) {
            KvFileIStream in(KvFile((kDir / name).string().c_str()));
            KvModelFile file;
            ASSERT_TRUE(file.Load(in, error)) << name << ": " << error.CStr();
            for (const KvModelObject& o : file.Objects()) {
                auto mesh = std::make_unique<KvMesh>();
                ASSERT_TRUE(mesh->BuildFrom(o));
                meshes_[o.name.Std()] = std::move(mesh);
            }
        }
        auto lookup = [this](const KvString& k) { return meshes_.count(k.Std()) ? meshes_[k.Std()].get() : nullptr; };
        auto noTexture = [](const KvString&) -> KvTexture* { return nullptr; };
        ASSERT_TRUE(parts_.Bind(lookup, noTexture, error)) << error.CStr();
        ASSERT_TRUE(debris_.Build(lookup, noTexture, error)) << error.CStr();
    }

    // The robot's body frame on level ground at the origin, as the robot's drawing sets it.
    static KvMatrix BodyFrame(double headingDegrees) {
        const double h = Radians(headingDegrees);
        const KvVec3 f{std::cos(h), 0, std::sin(h)}, s{-f.z, 0, f.x};
        KvMatrix m = Identity();
        m[0] = -s.x, m[1] = -s.y, m[2] = -s.z;
        m[4] = -f.x, m[5] = -f.y, m[6] = -f.z;
        m[8] = 0, m[9] = 1, m[10] = 0;
        return m;
    }

    // Turns a node about its local z axis to a world direction, as the robot's drawing does
    // for the turret and the scanner head.
    static void TurnTo(KvModelParts& robot, int part, double directionDegrees) {
        for (KvModelPart& p : robot.parts) p.node.Invalidate();
        const KvMatrix& w = robot[part].node.GetWorld();
        const double t = Radians(directionDegrees) - std::atan2(w[6], w[4]) + kPi;
        KvMatrix r = Identity();
        r[0] = std::cos(t), r[1] = -std::sin(t), r[4] = std::sin(t), r[5] = std::cos(t);
        robot[part].node.local = Product(robot[part].node.local, r);
        for (KvModelPart& p : robot.parts) p.node.Invalidate();
    }

    static KvVec3 Origin(TransformNode& node) {
        const KvMatrix& w = node.GetWorld();
        return {w[12], w[13], w[14]};
    }

    std::map<std::string, std::unique_ptr<KvMesh>> meshes_;
    KvModelParts parts_;
    KvDebrisParts debris_;
};

TEST_F(GeneratedModels, TheBodyFootprintIsAboutFortyByThirtyArenaUnits) {
    const KvMesh& body = *parts_[KvModelParts::kBody].mesh;
    const double width = 100 * (body.BoxMax().x - body.BoxMin().x);
    const double length = 100 * (body.BoxMax().y - body.BoxMin().y);
    EXPECT_NEAR(length, 40, 5);
    EXPECT_NEAR(width, 30, 5);
}

TEST_F(GeneratedModels, TheRobotStandsOnItsWheelsAtTheGroundPoint) {
    KvModelParts robot = parts_;
    robot[KvModelParts::kBody].node.local = BodyFrame(0);
    KvVec3 lo, hi;
    robot.BoundingBox(lo, hi);
    EXPECT_NEAR(lo.y, 0.0, 0.002);
    EXPECT_GT(hi.y, 0.25);
    for (int w = KvModelParts::kWheel1; w <= KvModelParts::kWheel4; ++w) {
        // Each wheel turns about its own centre, on an axle across the heading.
        const KvMesh& mesh = *robot[w].mesh;
        EXPECT_NEAR(mesh.BoxMin().y + mesh.BoxMax().y, 0, 1e-3);
        EXPECT_NEAR(mesh.BoxMin().z + mesh.BoxMax().z, 0, 1e-3);
        const KvMatrix& world = robot[w].node.GetWorld();
        EXPECT_NEAR(std::fabs(world[2]), 1, 1e-9) << "axle along the scene's z at heading 0";
        EXPECT_NEAR(world[13] + mesh.BoxMin().z, 0, 0.002) << "wheel " << w << " touches the ground";
    }
}

TEST_F(GeneratedModels, TurretAndScannerTurnAboutTheVerticalAndTheShellSitsAtTheMuzzle) {
    KvModelParts robot = parts_;
    robot[KvModelParts::kBody].node.local = BodyFrame(0);
    for (int part : {KvModelParts::kTurret, KvModelParts::kScannerHead}) {
        const KvMatrix& w = robot[part].node.GetWorld();
        EXPECT_NEAR(w[9], 1, 1e-9) << "part " << part << " has its z axis up";
    }
    // Unturned, the barrel points along the heading and the shell rests at its front end.
    const KvVec3 turret = Origin(robot[KvModelParts::kTurret].node);
    const KvVec3 muzzle = Origin(robot[KvModelParts::kShell].node);
    EXPECT_GT(muzzle.x - turret.x, 0.2);
    EXPECT_NEAR(muzzle.z, turret.z, 1e-9);
    EXPECT_GT(muzzle.y, 0.15);
    const KvMesh& barrel = *robot[9].mesh;
    const KvVec3 inBarrel = TransformPoint(RigidInverse(robot[9].node.GetWorld()), muzzle);
    EXPECT_NEAR(inBarrel.x, 0, 1e-6);
    EXPECT_NEAR(inBarrel.z, 0, 1e-6);
    EXPECT_NEAR(inBarrel.y, barrel.BoxMin().y, 1e-6);

    // Turned by the robot's rule, the muzzle points to the cannon direction whatever the heading.
    for (const auto& [heading, direction] : {std::pair{0.0, 90.0}, std::pair{45.0, 200.0}, std::pair{300.0, 10.0}}) {
        KvModelParts turned = parts_;
        turned[KvModelParts::kBody].node.local = BodyFrame(heading);
        TurnTo(turned, KvModelParts::kTurret, direction);
        TurnTo(turned, KvModelParts::kScannerHead, direction + 45);
        const KvVec3 axis = Origin(turned[KvModelParts::kTurret].node);
        const KvVec3 tip = Origin(turned[KvModelParts::kShell].node);
        const double bearing = Degrees(std::atan2(tip.z - axis.z, tip.x - axis.x));
        EXPECT_NEAR(std::remainder(bearing - direction, 360.0), 0, 1e-6) << "heading " << heading;
        const KvMatrix& dish = turned[7].node.GetWorld();
        const double facing = Degrees(std::atan2(-dish[6], -dish[4]));
        EXPECT_NEAR(std::remainder(facing - direction - 45, 360.0), 0, 1e-6) << "scanner, heading " << heading;
    }
}

TEST_F(GeneratedModels, EveryPieceIsClosedAndFacesOutward) {
    for (const auto& [name, mesh] : meshes_) {
        std::map<std::pair<uint32_t, uint32_t>, int> edges;
        const auto& idx = mesh->CornerVertexIndices();
        const auto& pos = mesh->Positions();
        double volume = 0;
        for (std::size_t c = 0; c < idx.size(); c += 3) {
            for (int k = 0; k < 3; ++k) ++edges[{idx[c + k], idx[c + (k + 1) % 3]}];
            const KvVec3 &a = pos[idx[c]], &b = pos[idx[c + 1]], &d = pos[idx[c + 2]];
            volume += Dot(a, Cross(b, d));
        }
        ASSERT_FALSE(edges.empty()) << name;
        for (const auto& [edge, count] : edges) {
            ASSERT_EQ(count, 1) << name;
            ASSERT_EQ(edges.count({edge.second, edge.first}), 1u) << name << " has an open edge";
        }
        EXPECT_GT(volume, 0) << name << " is inside out";
    }
}

TEST_F(GeneratedModels, TheWreckLiesWhereTheRobotStood) {
    KvModelParts robot = parts_;
    const double heading = 217;
    robot[KvModelParts::kBody].node.local = BodyFrame(heading);
    KvVec3 lo, hi;
    robot.BoundingBox(lo, hi);
    KvDebrisParts wreck = debris_;
    wreck.PlaceAndDetach(KvDebrisParts::RootMatrix(0, 0, 0, heading));
    KvVec3 wlo, whi;
    bool first = true;
    for (KvModelPart& p : wreck.pieces) GrowBox(*p.mesh, p.node.GetWorld(), wlo, whi, first);
    EXPECT_NEAR((wlo.x + whi.x) / 2, (lo.x + hi.x) / 2, 0.08);
    EXPECT_NEAR((wlo.z + whi.z) / 2, (lo.z + hi.z) / 2, 0.08);
    EXPECT_GT(wlo.y, -0.02);
    EXPECT_LT(whi.y, hi.y);
}

uint32_t U32(const std::vector<uint8_t>& b, std::size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }
uint16_t U16(const std::vector<uint8_t>& b, std::size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

TEST(GeneratedSounds, AreMonoSixteenBitPcmAtTheirRates) {
    const std::pair<const char*, uint32_t> sounds[] = {{"motor1.wav", 22050},         {"rocket2.wav", 44100},
                                                       {"SmallExplosion.wav", 22050}, {"GreatExplosion.wav", 22050},
                                                       {"hit.wav", 22050},            {"collision.wav", 22050}};
    for (const auto& [name, rate] : sounds) {
        const auto b = ReadAll(kDir / name);
        ASSERT_GT(b.size(), 44u) << name;
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
        EXPECT_EQ(U16(b, 20), 1) << name << " is PCM";
        EXPECT_EQ(U16(b, 22), 1) << name << " is mono";
        EXPECT_EQ(U32(b, 24), rate) << name;
        EXPECT_EQ(U16(b, 34), 16) << name;
        EXPECT_EQ(U32(b, 40), b.size() - 44) << name;
        const double seconds = (b.size() - 44) / 2.0 / rate;
        EXPECT_GT(seconds, 0.2) << name;
        EXPECT_LT(seconds, 3.0) << name;
    }
}

TEST(GeneratedSounds, TheEngineLoopJoinsWithoutAClick) {
    const auto b = ReadAll(kDir / "motor1.wav");
    const std::size_t n = (b.size() - 44) / 2;
    auto sample = [&](std::size_t i) { return static_cast<int16_t>(U16(b, 44 + 2 * i)); };
    int largestStep = 0;
    for (std::size_t i = 0; i + 1 < n; ++i) largestStep = std::max(largestStep, std::abs(sample(i + 1) - sample(i)));
    EXPECT_LE(std::abs(sample(0) - sample(n - 1)), largestStep);
}

TEST(GeneratedSprites, AreThirtyTwoBitTgaWithSoftAlphaEdges) {
    for (const char* name : {"flame.tga", "smoke.tga", "mark.tga"}) {
        const auto b = ReadAll(kDir / name);
        ASSERT_GT(b.size(), 18u);
        EXPECT_EQ(b[2], 2) << name;
        EXPECT_EQ(b[16], 32) << name;
        EXPECT_EQ(b[17] & 15, 8) << name;
        const std::size_t w = U16(b, 12), h = U16(b, 14);
        ASSERT_EQ(b.size(), 18 + 4 * w * h) << name;
        std::set<int> alphas;
        for (std::size_t i = 0; i < w * h; ++i) alphas.insert(b[18 + 4 * i + 3]);
        EXPECT_EQ(b[18 + 3], 0) << name << " has a transparent corner";
        EXPECT_GT(alphas.size(), 64u) << name << " fades gradually";
    }
}

TEST(GeneratedAssets, AreTheSameBytesOnEveryRun) {
    // Named per process: test runs of several build folders may share the temporary folder.
    const std::string tag = std::to_string(getpid());
    const std::filesystem::path a = std::filesystem::path(::testing::TempDir()) / ("kvassets-run-a-" + tag);
    const std::filesystem::path b = std::filesystem::path(::testing::TempDir()) / ("kvassets-run-b-" + tag);
    for (const auto& dir : {a, b}) {
        std::filesystem::remove_all(dir);
        const std::string command = std::string(KV_KVASSETS) + " " + dir.string();
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(a)) {
        const auto name = entry.path().filename();
        EXPECT_EQ(ReadAll(entry.path()), ReadAll(b / name)) << name;
        EXPECT_EQ(ReadAll(entry.path()), ReadAll(kDir / name)) << name << " differs from the build's";
        ++files;
    }
    EXPECT_EQ(files, 26);
    std::filesystem::remove_all(a);
    std::filesystem::remove_all(b);
}

}  // namespace
}  // namespace kv
