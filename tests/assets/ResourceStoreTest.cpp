#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include <GL/gl.h>

#include "TestResources.h"
#include "assets/ResourceStore.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// The game's entries with some left out (see test::GameEntries) and some replaced.
std::vector<KvFSWriteEntry> Entries(const std::set<std::string>& leaveOut,
                                    const std::map<std::string, std::vector<uint8_t>>& replace = {}) {
    std::vector<KvFSWriteEntry> entries = test::GameEntries(leaveOut);
    for (KvFSWriteEntry& e : entries) {
        if (replace.count(e.name.Std())) e.data = replace.at(e.name.Std());
    }
    return entries;
}

class Store : public ::testing::Test {
protected:
    void TearDown() override { fs::remove(path_); }

    void Mount(ResourceStore& into, const std::vector<KvFSWriteEntry>& entries) {
        ASSERT_TRUE(WriteArchive(path_.c_str(), entries));
        into.Mount(path_.c_str());
        ASSERT_TRUE(into.Archive() && into.Archive()->IsOpen());
    }

    const std::string path_ = (fs::temp_directory_path() /
                               ("kv-store-" + std::to_string(::getpid()) + "-" +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".kvfs")).string();
    ResourceStore store;
};

TEST_F(Store, LoadsMeshesAndSoundsHeadlessThenClosesTheArchive) {
    Mount(store, test::GameEntries());
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
    // Keys are case-sensitive, and releasing empties the store.
    EXPECT_EQ(store.GetMesh("body"), nullptr);
    EXPECT_EQ(store.GetSound("Motor"), nullptr);
    store.Release();
    EXPECT_EQ(store.GetMesh("Body"), nullptr);
    EXPECT_EQ(store.GetSound("motor"), nullptr);
}

TEST_F(Store, LeavesAMissingOrUndecodableSoundAbsent) {
    Mount(store, Entries({"hit.wav"}, {{"rocket2.wav", {'n', 'o', 'i', 's', 'e'}}}));
    ASSERT_TRUE(store.LoadHeadless());
    EXPECT_EQ(store.GetSound("hit"), nullptr);
    EXPECT_EQ(store.GetSound("hit"), nullptr) << "a look-up never inserts";
    EXPECT_EQ(store.GetSound("rocket"), nullptr);
    EXPECT_NE(store.GetSound("motor"), nullptr);
    EXPECT_EQ(store.MissingOptional(), (std::vector<KvString>{"rocket2.wav", "hit.wav"}));
}

TEST_F(Store, NamesAMissingModelFileOrObjectOrArchive) {
    std::vector<uint8_t> halfRobot;
    for (const KvFSWriteEntry& e : test::GameEntries()) {
        if (e.name == "robot.3d") halfRobot.assign(e.data.begin(), e.data.begin() + e.data.size() / 2);
    }
    // The archive, what the store reports missing, and the model file its message names.
    const std::tuple<std::vector<KvFSWriteEntry>, const char*, const char*> cases[] = {
        {Entries({"debris.3d"}), "debris.3d", "debris.3d"},
        {Entries({"robot.3d: wheel.03"}), "robot.3d: wheel.03", "robot.3d"},
        {Entries({}, {{"robot.3d", halfRobot}}), "robot.3d", "robot.3d"},
    };
    for (const auto& [entries, missing, named] : cases) {
        ResourceStore loading;
        Mount(loading, entries);
        EXPECT_FALSE(loading.LoadHeadless());
        EXPECT_EQ(loading.MissingEntry(), missing);
        EXPECT_NE(std::string(loading.LoadError().CStr()).find(named), std::string::npos) << loading.LoadError().CStr();
        EXPECT_EQ(loading.Archive(), nullptr);
    }
    store.Mount((path_ + ".missing").c_str());
    EXPECT_FALSE(store.LoadHeadless());
    EXPECT_EQ(store.MissingEntry(), kArchiveFileName);
}

TEST_F(Store, LoadsTexturesWithMipMapsInAnOpenGlContext) {
    test::OffscreenGl gl;
    if (!gl.IsReady()) GTEST_SKIP() << "no offscreen OpenGL context on this machine";
    Mount(store, Entries({"wheel.jpg"}, {{"mark.tga", {1, 2, 3}}}));
    ASSERT_TRUE(store.LoadAll(nullptr)) << store.LoadError().CStr();

    KvTexture* grass = store.GetTexture("grass");
    ASSERT_NE(grass, nullptr);
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
    Mount(store, test::GameEntries({"collision.wav"}));
    ASSERT_TRUE(store.LoadAll(&sound)) << store.LoadError().CStr();
    ASSERT_NE(store.GetSound("motor"), nullptr);
    EXPECT_NE(store.GetSound("motor")->buffer, 0u);
    EXPECT_EQ(store.GetSound("collision"), nullptr);
    store.Release();
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
