#include <gtest/gtest.h>

#include <vector>

#include "TestResources.h"
#include "assets/Image.h"
#include "assets/ResourceStore.h"
#include "core/KvFS.h"

// The archive the build generates and packs, checked against the game's resource list.
namespace kv {
namespace {

TEST(GameArchive, HoldsEveryEntryOfTheResourceListAndTheSplashWithPicturesThatDecode) {
    KvFS archive(KV_GAME_ARCHIVE);
    ASSERT_TRUE(archive.IsOpen()) << KV_GAME_ARCHIVE;
    std::vector<const char*> pictures = {"splash.jpg"};
    for (const ResourceItem& item : kResourceList) {
        if (item.kind == ResourceKind::Sound || item.kind == ResourceKind::Texture ||
            item.kind == ResourceKind::ModelFile) {
            EXPECT_NE(archive.Find(item.entry), nullptr) << item.entry;
        }
        if (item.kind == ResourceKind::Texture) pictures.push_back(item.entry);
    }
    for (const char* name : pictures) {
        KvFSIStream in(&archive, name);
        KvImage image;
        EXPECT_TRUE(LoadImage(image, in, *ImageFormatOf(name))) << name;
    }
}

// Loading decodes every sound, model object and picture: one that fails is reported missing.
TEST(GameArchive, LoadsWholeIntoTheStore) {
    ResourceStore store;
    store.Mount(KV_GAME_ARCHIVE);
    ASSERT_TRUE(store.LoadHeadless()) << store.LoadError().CStr();
    EXPECT_TRUE(store.MissingOptional().empty());

    test::OffscreenGl gl;
    if (!gl.IsReady()) GTEST_SKIP() << "no offscreen OpenGL context for the textures";
    ResourceStore full;
    full.Mount(KV_GAME_ARCHIVE);
    ASSERT_TRUE(full.LoadAll(nullptr)) << full.LoadError().CStr();
    EXPECT_TRUE(full.MissingOptional().empty());
    for (const ResourceItem& item : kResourceList) {
        if (item.kind == ResourceKind::Texture) {
            EXPECT_NE(full.GetTexture(item.key)->Name(), 0u) << item.key;
        }
    }
    full.Release();
}

}  // namespace
}  // namespace kv
