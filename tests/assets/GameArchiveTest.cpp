#include <gtest/gtest.h>

#include <string>

#include "TestResources.h"
#include "assets/Image.h"
#include "assets/ResourceStore.h"
#include "core/KvFS.h"
#include "sound/SoundSystem.h"

// The archive the build generates and packs, checked against the game's resource list.
namespace kv {
namespace {

TEST(GameArchive, HoldsEveryEntryOfTheResourceListAndTheSplash) {
    KvFS archive(KV_GAME_ARCHIVE);
    ASSERT_TRUE(archive.IsOpen()) << KV_GAME_ARCHIVE;
    for (const ResourceItem& item : kResourceList) {
        if (item.kind == ResourceKind::Sound || item.kind == ResourceKind::Texture ||
            item.kind == ResourceKind::ModelFile) {
            EXPECT_NE(archive.Find(item.entry), nullptr) << item.entry;
        }
    }
    EXPECT_NE(archive.Find("splash.jpg"), nullptr);
}

TEST(GameArchive, DecodesEveryPictureAndSound) {
    KvFS archive(KV_GAME_ARCHIVE);
    ASSERT_TRUE(archive.IsOpen());
    for (const ResourceItem& item : kResourceList) {
        KvFSIStream in(&archive, item.entry ? item.entry : "");
        if (item.kind == ResourceKind::Texture) {
            KvImage image;
            ASSERT_TRUE(in.IsOpen()) << item.entry;
            EXPECT_TRUE(LoadImage(image, in, *ImageFormatOf(item.entry))) << item.entry;
        } else if (item.kind == ResourceKind::Sound) {
            std::vector<uint8_t> bytes(in.size);
            ASSERT_EQ(in.Read(bytes.data(), in.size), static_cast<int32_t>(in.size)) << item.entry;
            std::optional<PcmSound> pcm = DecodeWav(bytes.data(), bytes.size());
            ASSERT_TRUE(pcm) << item.entry;
            EXPECT_GT(pcm->LengthMs(), 0u) << item.entry;
        }
    }
    KvFSIStream splash(&archive, "splash.jpg");
    KvImage image;
    EXPECT_TRUE(LoadImage(image, splash, ImageFormat::Jpeg));
}

TEST(GameArchive, LoadsWholeIntoTheStore) {
    ResourceStore store;
    store.Mount(KV_GAME_ARCHIVE);
    ASSERT_TRUE(store.LoadHeadless()) << store.LoadError().CStr();
    EXPECT_TRUE(store.MissingOptional().empty());
    for (const ResourceItem& item : kResourceList) {
        if (item.kind == ResourceKind::Mesh) {
            ASSERT_NE(store.GetMesh(item.key), nullptr) << item.key;
            EXPECT_GT(store.GetMesh(item.key)->CornerCount(), 0u) << item.key;
        }
    }

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
