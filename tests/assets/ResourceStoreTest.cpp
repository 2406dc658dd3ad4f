#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>

#include "TempFolder.h"
#include "TestResources.h"
#include "assets/ResourceStore.h"

namespace kv {
namespace {

// The game's entries with some left out (see test::GameEntries) and some replaced.
std::vector<KvFSWriteEntry> Entries(const std::set<std::string>& leaveOut,
                                    const std::map<std::string, std::vector<uint8_t>>& replace = {}) {
    std::vector<KvFSWriteEntry> entries = test::GameEntries(leaveOut);
    for (KvFSWriteEntry& e : entries) {
        if (replace.count(e.name.Std())) e.data = replace.at(e.name.Std());
    }
    return entries;
}

class Store : public test::TempFolder {
protected:
    void Mount(ResourceStore& into, const std::vector<KvFSWriteEntry>& entries) {
        ASSERT_TRUE(WriteArchive(path_.c_str(), entries));
        into.Mount(path_.c_str());
        ASSERT_TRUE(into.Archive() && into.Archive()->IsOpen());
    }

    const std::string path_ = Path("store.kvfs");
    ResourceStore store;
};

TEST_F(Store, LoadsEverythingWithoutAContextOrDeviceThenClosesTheArchive) {
    Mount(store, test::GameEntries());
    ASSERT_TRUE(store.LoadAll()) << store.LoadError().CStr();
    EXPECT_EQ(store.Archive(), nullptr);
    EXPECT_TRUE(store.MissingOptional().empty());
    for (const ResourceItem& item : kResourceList) {
        if (item.kind == ResourceKind::Mesh) {
            EXPECT_NE(store.GetMesh(item.key), nullptr) << item.key;
        } else if (item.kind == ResourceKind::Sound) {
            EXPECT_EQ(store.SoundFiles().count(item.key), 1u) << item.key;
        } else if (item.kind == ResourceKind::Texture) {
            EXPECT_NE(store.GetImage(item.key), nullptr) << item.key;
        }
    }
    // "grass" comes from the entry "GRASS2.jpg"; the sprites are TGA.
    EXPECT_EQ(store.GetImage("grass")->width, 4u);
    EXPECT_EQ(store.GetImage("flame")->bitsPerPixel, 32u);
    EXPECT_EQ(store.SoundFiles().at("motor").size(), 44u + 2 * 1103);
    EXPECT_EQ(store.GetMesh("Body")->CornerCount(), 3u);
    EXPECT_EQ(store.RobotParts()[KvModelParts::kBody].mesh, store.GetMesh("Body"));
    EXPECT_EQ(store.DebrisParts().pieces[0].mesh, store.GetMesh("debris.01"));
    // "detal.02" is a texture key and a mesh key at once; parts name their texture by key.
    EXPECT_NE(store.GetImage("detal.02"), nullptr);
    EXPECT_STREQ(store.RobotParts()[3].textureKey, "detal.02");
    // Keys are case-sensitive.
    EXPECT_EQ(store.GetMesh("body"), nullptr);
    EXPECT_EQ(store.GetImage("Grass"), nullptr);

    // Once textures and sound buffers are made, the decoded data goes and the meshes stay.
    store.ReleaseDecoded();
    EXPECT_EQ(store.GetImage("grass"), nullptr);
    EXPECT_TRUE(store.SoundFiles().empty());
    EXPECT_NE(store.GetMesh("Body"), nullptr);
    store.Release();
    EXPECT_EQ(store.GetMesh("Body"), nullptr);
    EXPECT_EQ(store.RobotParts()[KvModelParts::kBody].mesh, nullptr);
}

TEST_F(Store, LoadsOnlyMeshesAndPartsForABattleWithoutAWindow) {
    Mount(store, test::GameEntries());
    ASSERT_TRUE(store.LoadGeometry()) << store.LoadError().CStr();
    EXPECT_EQ(store.Archive(), nullptr);
    EXPECT_NE(store.GetMesh("wheel.03"), nullptr);
    EXPECT_EQ(store.GetImage("grass"), nullptr);
    EXPECT_TRUE(store.SoundFiles().empty());
}

TEST_F(Store, LeavesAMissingSoundOrAMissingOrUndecodablePictureAbsent) {
    Mount(store, Entries({"hit.wav", "wheel.jpg"}, {{"mark.tga", {1, 2, 3}}}));
    ASSERT_TRUE(store.LoadAll());
    EXPECT_EQ(store.SoundFiles().count("hit"), 0u);
    EXPECT_EQ(store.SoundFiles().count("motor"), 1u);
    EXPECT_EQ(store.GetImage("wheel"), nullptr);
    EXPECT_EQ(store.GetImage("wheel"), nullptr) << "a look-up never inserts";
    EXPECT_EQ(store.GetImage("mark"), nullptr);
    EXPECT_NE(store.GetImage("smoke"), nullptr);
    EXPECT_EQ(store.MissingOptional(), (std::vector<KvString>{"hit.wav", "mark.tga", "wheel.jpg"}));
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
        EXPECT_FALSE(loading.LoadGeometry());
        EXPECT_EQ(loading.MissingEntry(), missing);
        EXPECT_NE(std::string(loading.LoadError().CStr()).find(named), std::string::npos) << loading.LoadError().CStr();
        EXPECT_EQ(loading.Archive(), nullptr);
    }
    store.Mount((path_ + ".missing").c_str());
    EXPECT_FALSE(store.LoadAll());
    EXPECT_EQ(store.MissingEntry(), kArchiveFileName);
}

TEST(ResourceList, ColoursPaintWithTextureKeysOfTheList) {
    std::set<std::string> textures;
    for (const ResourceItem& item : kResourceList)
        if (item.kind == ResourceKind::Texture) textures.insert(item.key);
    for (const RobotColour& colour : kRobotColours) {
        EXPECT_EQ(textures.count(colour.shellTexture), 1u) << colour.name;
        EXPECT_EQ(textures.count(colour.bodyTexture), 1u) << colour.name;
    }
    std::vector<KvPartInfo> rows(KvModelParts::kTable.begin(), KvModelParts::kTable.end());
    rows.insert(rows.end(), KvDebrisParts::kTable.begin(), KvDebrisParts::kTable.end());
    for (const KvPartInfo& row : rows) {
        if (row.texture) {
            EXPECT_EQ(textures.count(row.texture), 1u) << row.mesh;
        }
    }
}

}  // namespace
}  // namespace kv
