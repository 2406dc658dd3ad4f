// The generated archive contents: closed model pieces, the sound and picture formats, and
// byte-identical output from run to run. How the robot stands and aims in a battle is tested
// with the simulation's own placement rules in tests/sim/RobotModelTest.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unistd.h>

#include "TempFolder.h"
#include "assets/Mesh.h"
#include "assets/ModelFile.h"
#include "assets/ResourceList.h"
#include "core/Stream.h"

namespace kv {
namespace {

const std::filesystem::path kDir = KV_GENERATED_DIR;

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
    }

    std::map<std::string, std::unique_ptr<KvMesh>> meshes_;
};

TEST_F(GeneratedModels, EveryPieceIsClosedAndFacesOutward) {
    for (const auto& [name, mesh] : meshes_) {
        std::map<std::pair<uint32_t, uint32_t>, int> edges;
        const auto& idx = mesh->CornerVertexIndices();
        const auto& pos = mesh->Positions();
        double volume = 0;
        for (std::size_t c = 0; c < idx.size(); c += 3) {
            for (int k = 0; k < 3; ++k) ++edges[{idx[c + k], idx[c + (k + 1) % 3]}];
            const KvVec3 &a = pos[idx[c]], &b = pos[idx[c + 1]], &d = pos[idx[c + 2]];
            volume += a.x * (b.y * d.z - b.z * d.y) - a.y * (b.x * d.z - b.z * d.x) + a.z * (b.x * d.y - b.y * d.x);
        }
        ASSERT_FALSE(edges.empty()) << name;
        for (const auto& [edge, count] : edges) {
            ASSERT_EQ(count, 1) << name;
            ASSERT_EQ(edges.count({edge.second, edge.first}), 1u) << name << " has an open edge";
        }
        EXPECT_GT(volume, 0) << name << " is inside out";
    }
}

uint32_t U32(const std::vector<uint8_t>& b, std::size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }
uint16_t U16(const std::vector<uint8_t>& b, std::size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

TEST(GeneratedSounds, AreMonoSixteenBitPcmAtTheirRates) {
    const std::pair<const char*, uint32_t> sounds[] = {{"motor1.wav", 22050},         {"rocket2.wav", 44100},
                                                       {"SmallExplosion.wav", 22050}, {"GreatExplosion.wav", 22050},
                                                       {"hit.wav", 22050},            {"collision.wav", 22050}};
    for (const auto& [name, rate] : sounds) {
        const auto b = test::ReadWhole(kDir / name);
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
    const auto b = test::ReadWhole(kDir / "motor1.wav");
    const std::size_t n = (b.size() - 44) / 2;
    auto sample = [&](std::size_t i) { return static_cast<int16_t>(U16(b, 44 + 2 * i)); };
    int largestStep = 0;
    for (std::size_t i = 0; i + 1 < n; ++i) largestStep = std::max(largestStep, std::abs(sample(i + 1) - sample(i)));
    EXPECT_LE(std::abs(sample(0) - sample(n - 1)), largestStep);
}

TEST(GeneratedSprites, AreThirtyTwoBitTgaWithSoftAlphaEdges) {
    for (const char* name : {"flame.tga", "smoke.tga", "mark.tga"}) {
        const auto b = test::ReadWhole(kDir / name);
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
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(a)) {
        const auto name = entry.path().filename();
        EXPECT_EQ(test::ReadWhole(entry.path()), test::ReadWhole(b / name)) << name;
        EXPECT_EQ(test::ReadWhole(entry.path()), test::ReadWhole(kDir / name)) << name << " differs from the build's";
        ++files;
    }
    std::size_t expected = 1;  // the splash picture
    for (const ResourceItem& item : kResourceList)
        expected += item.kind == ResourceKind::Sound || item.kind == ResourceKind::Texture ||
                    item.kind == ResourceKind::ModelFile;
    EXPECT_EQ(files, expected);
    std::filesystem::remove_all(a);
    std::filesystem::remove_all(b);
}

}  // namespace
}  // namespace kv
