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
        ASSERT_TRUE(into.Mount(path_.c_str())) << into.Error().CStr();
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
    // Regression: these were dropped without a word (a damaged grass picture gave grey ground).
    const std::vector<KvString> lines = store.MediaProblems({"collision"});
    const std::vector<std::string> expected = {
        path_ + ": hit.wav is missing; the sound 'hit' is not played",
        path_ + ": collision.wav cannot be decoded; the sound 'collision' is not played",
        path_ + ": mark.tga cannot be decoded; drawn without the texture 'mark'",
        path_ + ": wheel.jpg is missing; drawn without the texture 'wheel'",
    };
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].Std(), expected[i]);
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
        EXPECT_EQ(loading.Error().Std(), path_ + ": " + loading.LoadError().Std());
        EXPECT_EQ(loading.Archive(), nullptr);
    }
}

// Regression: an archive that could not be read was reported under the default name
// "Kolvex.kvfs", whatever path was given, and a damaged one as missing.
TEST_F(Store, NamesTheArchiveAsGivenAndSaysWhetherItIsMissingOrDamaged) {
    const std::string damaged = Write("damaged.kvfs", std::string("KVFS\1\2\3"));
    const std::pair<std::string, std::string> cases[] = {
        {path_ + ".missing", path_ + ".missing not found"},
        {damaged, damaged + " is damaged: bad header"},
    };
    for (const auto& [path, message] : cases) {
        ResourceStore loading;
        EXPECT_FALSE(loading.Mount(path.c_str()));
        EXPECT_EQ(loading.Error().Std(), message);
        EXPECT_FALSE(loading.LoadAll());
        EXPECT_EQ(loading.Error().Std(), message);
        EXPECT_EQ(loading.MissingEntry().Std(), path);
    }
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
