#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/Image.h"
#include "assets/ResourceStore.h"
#include "core/KvFS.h"

// The archive the build generates and packs, checked against the game's resource list.
namespace kv {
namespace {

// The build's list of generated files (tools/kvassets/CMakeLists.txt) packs the archive, so
// this also checks that list against the game's.
TEST(GameArchive, HoldsExactlyTheResourceListsEntriesInItsOrderThenTheSplash) {
    KvFS archive(KV_GAME_ARCHIVE);
    ASSERT_TRUE(archive.IsOpen()) << KV_GAME_ARCHIVE;
    std::vector<std::string> expected;
    for (const ResourceItem& item : kResourceList) {
        if (item.kind == ResourceKind::Sound || item.kind == ResourceKind::Texture ||
            item.kind == ResourceKind::ModelFile) {
            expected.push_back(item.entry);
        }
    }
    expected.push_back(kSplashEntry);
    std::vector<std::string> packed;
    for (const KvFSEntry& entry : archive.Entries()) packed.push_back(entry.name.Std());
    EXPECT_EQ(packed, expected);

    KvFSIStream in(&archive, kSplashEntry);
    KvImage splash;
    EXPECT_TRUE(LoadImage(splash, in, ImageFormat::Jpeg));
}

// Loading decodes every sound, model object and picture: one that fails is reported missing.
TEST(GameArchive, LoadsWholeIntoTheStore) {
    ResourceStore store;
    store.Mount(KV_GAME_ARCHIVE);
    ASSERT_TRUE(store.LoadAll()) << store.LoadError().CStr();
    EXPECT_TRUE(store.MissingOptional().empty());
}

}  // namespace
}  // namespace kv
