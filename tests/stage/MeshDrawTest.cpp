// Drawing the part tables, counted through OpenGL's feedback mode: every triangle that would
// reach the screen is reported back, so no framebuffer is needed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <epoxy/gl.h>

#include "OffscreenGl.h"
#include "TempFolder.h"
#include "TestResources.h"
#include "render/MeshDraw.h"

namespace kv {
namespace {

// Every resource of the game, each mesh a single small triangle at the origin.
class PartDrawing : public test::TempFolder {
protected:
    void SetUp() override {
        TempFolder::SetUp();
        ASSERT_TRUE(gl_.IsReady()) << test::kNoGlContext;
        ASSERT_TRUE(WriteArchive(path_.c_str(), test::GameEntries()));
        store_.Mount(path_.c_str());
        ASSERT_TRUE(store_.LoadAll()) << store_.LoadError().CStr();
        textures_.Create(store_);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    // The triangles that draw() sends down the pipeline, with the base matrix pushed once as
    // the caller of a part table does; checks that the matrix stack comes back as it was.
    template <typename Draw>
    int Triangles(Draw draw) {
        std::vector<GLfloat> feedback(1 << 16);
        glFeedbackBuffer(static_cast<GLsizei>(feedback.size()), GL_3D, feedback.data());
        glRenderMode(GL_FEEDBACK);
        GLint depthBefore = 0, depthAfter = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
        glPushMatrix();
        draw();
        glPopMatrix();
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
        EXPECT_EQ(depthAfter, depthBefore);
        const GLint values = glRenderMode(GL_RENDER);
        int triangles = 0;
        for (GLint i = 0; i < values;) {
            EXPECT_EQ(feedback[i], GL_POLYGON_TOKEN);
            const int corners = static_cast<int>(feedback[i + 1]);
            EXPECT_EQ(corners, 3);
            ++triangles;
            i += 2 + 3 * corners;
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return triangles;
    }
    static GLint BoundTexture() {
        GLint name = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        return name;
    }

    const std::string path_ = Path("game.kvfs");
    test::OffscreenGl gl_;
    ResourceStore store_;
    KvTextureSet textures_;
};

TEST_F(PartDrawing, DrawsEveryPartOfARobotAndTheShellOnlyWhileItIsShown) {
    KvModelParts robot = store_.RobotParts();
    robot.SetColour(1);
    EXPECT_EQ(Triangles([&] { DrawTextured(robot, textures_); }), KvModelParts::kPartCount);
    EXPECT_EQ(static_cast<GLuint>(BoundTexture()), textures_.GetTexture("wheel")->Name()) << "the last part's";
    robot.shellShown = false;
    EXPECT_EQ(Triangles([&] { DrawTextured(robot, textures_); }), KvModelParts::kPartCount - 1);
    EXPECT_EQ(Triangles([&] { DrawPlain(robot); }), KvModelParts::kPartCount - 1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "the untextured pass turns texturing off";
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY)) << "vertex arrays are turned off after each mesh";
}

TEST_F(PartDrawing, BindsAPartTextureByKeyAndTheDefaultForAnUnknownOne) {
    BindPartTexture(textures_, "body_blue");
    EXPECT_EQ(static_cast<GLuint>(BoundTexture()), textures_.GetTexture("body_blue")->Name());
    BindPartTexture(textures_, nullptr);
    EXPECT_EQ(BoundTexture(), 0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(PartDrawing, DrawsTheShownWreckPiecesThatTheCallerSees) {
    KvDebrisParts wreck = store_.DebrisParts();
    wreck.SetBodyTexture(kRobotColours[2].bodyTexture);
    wreck.PlaceAndDetach(KvDebrisParts::RootMatrix(0, 0, 0, 30));
    EXPECT_EQ(Triangles([&] { DrawTextured(wreck, textures_); }), KvDebrisParts::kPieceCount);
    wreck.shown[1] = 0;
    EXPECT_EQ(Triangles([&] { DrawTextured(wreck, textures_, [](int piece) { return piece != 0; }); }),
              KvDebrisParts::kPieceCount - 2);
}

}  // namespace
}  // namespace kv
