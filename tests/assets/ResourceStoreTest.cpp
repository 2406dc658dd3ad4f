#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include <GL/gl.h>

#include "TestResources.h"
#include "assets/ResourceStore.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class Store : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = (fs::temp_directory_path() /
                 ("kv-store-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".kvfs"))
                    .string();
    }
    void TearDown() override { fs::remove(path_); }

    void MountGame(const std::set<std::string>& leaveOut = {}) {
        ASSERT_TRUE(WriteArchive(path_.c_str(), test::GameEntries(leaveOut)));
        store.Mount(path_.c_str());
        ASSERT_NE(store.Archive(), nullptr);
        ASSERT_TRUE(store.Archive()->IsOpen());
    }

    std::string path_;
    ResourceStore store;
};

TEST(ResourceList, HoldsEveryResourceInLoadOrder) {
    std::map<ResourceKind, int> kinds;
    for (const ResourceItem& item : kResourceList) ++kinds[item.kind];
    EXPECT_EQ(kinds[ResourceKind::Sound], 6);
    EXPECT_EQ(kinds[ResourceKind::Texture], 17);
    EXPECT_EQ(kinds[ResourceKind::ModelFile], 2);
    EXPECT_EQ(kinds[ResourceKind::Mesh], 27);
    EXPECT_EQ(std::string(kResourceList[0].key), "motor");
    EXPECT_EQ(std::string(kResourceList[0].entry), "motor1.wav");
    EXPECT_EQ(std::string(kResourceList[9].key), "grass");
    EXPECT_EQ(std::string(kResourceList[9].entry), "GRASS2.jpg");
    EXPECT_EQ(std::string(kResourceList[23].entry), "robot.3d");
    EXPECT_EQ(kResourceList[40].kind, ResourceKind::RobotParts);
    EXPECT_EQ(std::string(kResourceList[41].entry), "debris.3d");
    EXPECT_EQ(kResourceList[53].kind, ResourceKind::DebrisParts);
}

TEST_F(Store, LoadsMeshesAndSoundsHeadlessThenClosesTheArchive) {
    MountGame();
    ASSERT_TRUE(store.LoadHeadless()) << store.LoadError().CStr();
    EXPECT_EQ(store.Archive(), nullptr);
    EXPECT_TRUE(store.MissingOptional().empty());

    for (const ResourceItem& item : kResourceList) {
        if (item.kind == ResourceKind::Mesh) {
            EXPECT_NE(store.GetMesh(item.key), nullptr) << item.key;
        } else if (item.kind == ResourceKind::Sound) {
            EXPECT_NE(store.GetSound(item.key), nullptr) << item.key;
        } else if (item.kind == ResourceKind::Texture) {
            EXPECT_EQ(store.GetTexture(item.key), nullptr) << item.key;
        }
    }
    KvSound* motor = store.GetSound("motor");
    EXPECT_EQ(motor->buffer, 0u);
    EXPECT_EQ(motor->sampleRate, 11025);
    EXPECT_EQ(motor->lengthMs, 100u);
    EXPECT_EQ(store.GetMesh("Body")->CornerCount(), 3u);
    EXPECT_EQ(store.RobotParts()[KvModelParts::kBody].mesh, store.GetMesh("Body"));
    EXPECT_EQ(store.DebrisParts().pieces[0].mesh, store.GetMesh("debris.01"));

    EXPECT_EQ(store.GetMesh("body"), nullptr);
    EXPECT_EQ(store.GetSound("Motor"), nullptr);
    store.Release();
    EXPECT_EQ(store.GetMesh("Body"), nullptr);
    EXPECT_EQ(store.GetSound("motor"), nullptr);
}

TEST_F(Store, LeavesAMissingOrUndecodableSoundAbsent) {
    std::vector<KvFSWriteEntry> entries = test::GameEntries({"hit.wav"});
    for (KvFSWriteEntry& e : entries) {
        if (e.name == "rocket2.wav") e.data = {'n', 'o', 'i', 's', 'e'};
    }
    ASSERT_TRUE(WriteArchive(path_.c_str(), entries));
    store.Mount(path_.c_str());
    ASSERT_TRUE(store.LoadHeadless());
    EXPECT_EQ(store.GetSound("hit"), nullptr);
    EXPECT_EQ(store.GetSound("hit"), nullptr) << "a look-up never inserts";
    EXPECT_EQ(store.GetSound("rocket"), nullptr);
    EXPECT_NE(store.GetSound("motor"), nullptr);
    EXPECT_EQ(store.MissingOptional(), (std::vector<KvString>{"rocket2.wav", "hit.wav"}));
}

TEST_F(Store, NamesAMissingModelFileOrObject) {
    MountGame({"debris.3d"});
    EXPECT_FALSE(store.LoadHeadless());
    EXPECT_EQ(store.MissingEntry(), "debris.3d");
    EXPECT_NE(std::string(store.LoadError().CStr()).find("debris.3d"), std::string::npos);
    EXPECT_EQ(store.Archive(), nullptr);

    ResourceStore second;
    ASSERT_TRUE(WriteArchive(path_.c_str(), test::GameEntries({"robot.3d: wheel.03"})));
    second.Mount(path_.c_str());
    EXPECT_FALSE(second.LoadHeadless());
    EXPECT_EQ(second.MissingEntry(), "robot.3d: wheel.03");

    ResourceStore damaged;
    std::vector<KvFSWriteEntry> entries = test::GameEntries();
    for (KvFSWriteEntry& e : entries) {
        if (e.name == "robot.3d") e.data.resize(e.data.size() / 2);
    }
    ASSERT_TRUE(WriteArchive(path_.c_str(), entries));
    damaged.Mount(path_.c_str());
    EXPECT_FALSE(damaged.LoadHeadless());
    EXPECT_EQ(damaged.MissingEntry(), "robot.3d");

    ResourceStore noArchive;
    noArchive.Mount((path_ + ".missing").c_str());
    EXPECT_FALSE(noArchive.LoadHeadless());
    EXPECT_EQ(noArchive.MissingEntry(), kArchiveFileName);
}

TEST_F(Store, LoadsTexturesWithMipMapsInAnOpenGlContext) {
    test::OffscreenGl gl;
    if (!gl.IsReady()) GTEST_SKIP() << "no offscreen OpenGL context on this machine";
    std::vector<KvFSWriteEntry> entries = test::GameEntries({"wheel.jpg"});
    for (KvFSWriteEntry& e : entries) {
        if (e.name == "mark.tga") e.data = {1, 2, 3};
    }
    ASSERT_TRUE(WriteArchive(path_.c_str(), entries));
    store.Mount(path_.c_str());
    ASSERT_TRUE(store.LoadAll(nullptr)) << store.LoadError().CStr();

    KvTexture* grass = store.GetTexture("grass");
    ASSERT_NE(grass, nullptr);
    EXPECT_NE(grass->Name(), 0u);
    grass->Bind();
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 4);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 1) << "the whole mip-map chain is built";
    EXPECT_NE(store.GetTexture("flame")->Name(), 0u);

    // A missing or undecodable picture stays registered with name 0 and binds the default.
    ASSERT_NE(store.GetTexture("wheel"), nullptr);
    EXPECT_EQ(store.GetTexture("wheel")->Name(), 0u);
    EXPECT_EQ(store.GetTexture("mark")->Name(), 0u);
    EXPECT_EQ(store.MissingOptional(), (std::vector<KvString>{"mark.tga", "wheel.jpg"}));

    // "detal.02" is a texture key and a mesh key at once.
    EXPECT_NE(store.GetTexture("detal.02"), nullptr);
    EXPECT_NE(store.GetMesh("detal.02"), nullptr);
    EXPECT_EQ(store.RobotParts()[3].texture, store.GetTexture("detal.02"));
    EXPECT_EQ(store.GetSound("motor")->buffer, 0u) << "no sound system: sounds keep only their facts";
    store.Release();
    EXPECT_EQ(store.GetTexture("grass"), nullptr);
}

TEST_F(Store, GivesSoundsBuffersFromAnAvailableSoundSystem) {
    test::OffscreenGl gl;
    if (!gl.IsReady()) GTEST_SKIP() << "no offscreen OpenGL context on this machine";
    SoundSystem sound;
    if (!sound.Init()) GTEST_SKIP() << "no sound device on this machine";
    MountGame({"collision.wav"});
    ASSERT_TRUE(store.LoadAll(&sound)) << store.LoadError().CStr();
    ASSERT_NE(store.GetSound("motor"), nullptr);
    EXPECT_NE(store.GetSound("motor")->buffer, 0u);
    EXPECT_EQ(store.GetSound("motor")->lengthMs, 100u);
    EXPECT_EQ(store.GetSound("collision"), nullptr);
    store.Release();
    EXPECT_EQ(store.GetSound("hit"), nullptr);
    sound.Close();
}

TEST_F(Store, RefusesTexturesOfUnknownKindsOrMissingEntries) {
    test::OffscreenGl gl;
    if (!gl.IsReady()) GTEST_SKIP() << "no offscreen OpenGL context on this machine";
    ASSERT_TRUE(WriteArchive(path_.c_str(), {{"picture.png", test::SolidTga(1, 2, 3)},
                                             {"odd.tga", test::SolidTga(1, 2, 3)}}));
    KvFS archive(path_.c_str());
    KvTexture texture;
    EXPECT_FALSE(texture.CreateFromArchive(&archive, "picture.png"));
    EXPECT_FALSE(texture.CreateFromArchive(&archive, "absent.tga"));
    EXPECT_FALSE(texture.CreateFromArchive(nullptr, "odd.tga"));
    EXPECT_EQ(texture.Name(), 0u);
    EXPECT_TRUE(texture.CreateFromArchive(&archive, "odd.tga"));
    EXPECT_NE(texture.Name(), 0u);
    texture.Destroy();
    EXPECT_EQ(texture.Name(), 0u);
}

}  // namespace
}  // namespace kv
