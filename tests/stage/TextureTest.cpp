#include <gtest/gtest.h>

#include <string>

#include <epoxy/gl.h>

#include "OffscreenGl.h"
#include "TempFolder.h"
#include "TestResources.h"
#include "render/TextureSet.h"

namespace kv {
namespace {

class Textures : public test::TempFolder {
protected:
    void SetUp() override {
        TempFolder::SetUp();
        ASSERT_TRUE(gl_.IsReady()) << test::kNoGlContext;
    }

    // The width of a mip-map level of what is bound to the 2D target.
    static GLint BoundWidth(GLint level) {
        GLint width = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
        return width;
    }

    const std::string path_ = Path("textures.kvfs");
    test::OffscreenGl gl_;
};

TEST_F(Textures, MakeOneTexturePerKeyWithMipMapsAndTheDefaultForAMissingPicture) {
    std::vector<KvFSWriteEntry> entries = test::GameEntries({"wheel.jpg"});
    ASSERT_TRUE(WriteArchive(path_.c_str(), entries));
    ResourceStore store;
    store.Mount(path_.c_str());
    ASSERT_TRUE(store.LoadAll()) << store.LoadError().CStr();
    KvTextureSet textures;
    textures.Create(store);
    store.ReleaseDecoded();

    KvTexture* grass = textures.GetTexture("grass");
    ASSERT_NE(grass, nullptr);
    grass->Bind();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(BoundWidth(0), 4);
    EXPECT_EQ(BoundWidth(2), 1) << "the whole mip-map chain is built";
    EXPECT_NE(textures.GetTexture("flame")->Name(), 0u);
    EXPECT_NE(textures.GetTexture("flame")->Name(), grass->Name());
    // A missing picture stays registered with name 0 and so binds the default texture.
    ASSERT_NE(textures.GetTexture("wheel"), nullptr);
    EXPECT_EQ(textures.GetTexture("wheel")->Name(), 0u);
    // Only texture keys are textures: "Body" is a mesh.
    EXPECT_EQ(textures.GetTexture("Body"), nullptr);
    EXPECT_EQ(textures.GetTexture(nullptr), nullptr);

    const GLuint name = grass->Name();
    textures.Release();
    EXPECT_FALSE(glIsTexture(name)) << "releasing deletes the texture names";
    EXPECT_EQ(textures.GetTexture("grass"), nullptr);
}

TEST_F(Textures, RefuseUnknownKindsAndMissingEntries) {
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

TEST_F(Textures, ComeFromEveryPictureOfTheGeneratedArchive) {
    ResourceStore store;
    store.Mount(KV_GAME_ARCHIVE);
    ASSERT_TRUE(store.LoadAll()) << store.LoadError().CStr();
    KvTextureSet textures;
    textures.Create(store);
    for (const ResourceItem& item : kResourceList) {
        if (item.kind == ResourceKind::Texture) {
            EXPECT_NE(textures.GetTexture(item.key)->Name(), 0u) << item.key;
        }
    }
}

}  // namespace
}  // namespace kv
