#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "ExpectNear.h"
#include "core/Angles.h"

#include "render/GLContext.h"
#include "render/Scene.h"
#include "render/View.h"

namespace kv {
namespace {

using test::ExpectMatrixNear;

// A window whose client area the test sets; it never draws.
class FakeWindow : public GLContext {
public:
    bool MakeCurrent() override { return true; }
    void SwapBuffers() override {}
    ClientSize Size() const override { return size; }
    ClientSize size{950, 600};
};

TEST(Camera, BuildsThePerspectiveAndViewingMatrices) {
    KvMatrix p = Perspective(90, 2, 1, 3);
    EXPECT_NEAR(p[0], 0.5, 1e-12);
    EXPECT_NEAR(p[5], 1, 1e-12);
    EXPECT_NEAR(p[10], -2, 1e-12);
    EXPECT_NEAR(p[11], -1, 1e-12);
    EXPECT_NEAR(p[14], -3, 1e-12);

    // Looking from +Z at the origin is a plain translation.
    KvMatrix expected = Identity();
    expected[14] = -5;
    ExpectMatrixNear(LookAt({0, 0, 5}, {0, 0, 0}, {0, 1, 0}), expected);

    Camera c;
    c.eye = {1, 1.7, -1};
    c.target = {0, 0.3, 0};
    c.UpdateMatrices();
    ExpectMatrixNear(Product(c.modelview, c.inverse), Identity());
    test::ExpectNear({c.inverse[12], c.inverse[13], c.inverse[14]}, c.eye, 1e-12);  // its fourth column is the eye
    const KvVec3 t = TransformPoint(c.modelview, c.target);
    EXPECT_NEAR(t.x, 0, 1e-12);
    EXPECT_NEAR(t.y, 0, 1e-12);
    EXPECT_LT(t.z, 0) << "the target lies ahead, down the eye's -Z";
}

TEST(Camera, CullsWithTwiceTheNearAndHalfTheFarDistance) {
    Camera c;
    c.fov = 90;
    c.aspect = 1;
    c.near = 1;
    c.far = 10;
    c.target = {0, 0, -1};
    c.UpdateMatrices();
    ExpectMatrixNear(c.projection, Perspective(90, 1, 1, 10));
    ExpectMatrixNear(c.cullProjection, Perspective(90, 1, 2, 5));
    // From the origin looking down -Z with a right-angled field: depths 2..5, as wide as deep.
    const Box b = c.CullBox();
    EXPECT_NEAR(b.min.z, -5, 1e-9);
    EXPECT_NEAR(b.max.z, -2, 1e-9);
    EXPECT_NEAR(b.min.x, -5, 1e-9);
    EXPECT_NEAR(b.max.y, 5, 1e-9);
}

TEST(Camera, OrbitsTheArenaWithPitchLimitsAndAFarPlaneThatFollowsThePitch) {
    Camera c;
    EXPECT_DOUBLE_EQ(c.Orbit(0, 0.0), Camera::kMinPitch);
    EXPECT_NEAR(c.far, 49.8, 0.01);
    EXPECT_DOUBLE_EQ(c.Orbit(0, 3.0), Camera::kMaxPitch);
    EXPECT_NEAR(c.far, 14.0, 0.01);
    c.Orbit(kPi / 2, 0.7);
    EXPECT_NEAR(std::hypot(c.eye.x, c.eye.y, c.eye.z), 8, 1e-12);
    EXPECT_NEAR(c.eye.x, 0, 1e-12);
    EXPECT_NEAR(c.target.z, 2 * std::cos(0.7), 1e-12);
    EXPECT_EQ(c.target.y, 0);
}

TEST(View, StartsWithTheSetUpValuesOfItsKind) {
    View main(ViewKind::Main), robot(ViewKind::Robot);
    EXPECT_FLOAT_EQ(main.fogStart, 10);
    EXPECT_FLOAT_EQ(main.fogEnd, 20);
    EXPECT_DOUBLE_EQ(main.camera.near, 0.1);
    EXPECT_DOUBLE_EQ(main.camera.far, 30);
    EXPECT_FLOAT_EQ(robot.fogStart, 4.7f);
    EXPECT_FLOAT_EQ(robot.fogEnd, 5);
    EXPECT_DOUBLE_EQ(robot.camera.near, 1);
    EXPECT_DOUBLE_EQ(robot.camera.far, 5);
    EXPECT_TRUE(robot.active);
    EXPECT_FALSE(robot.pictureValid);
    EXPECT_EQ(robot.picture.size(), 150u * 150u * 4u);
}

TEST(View, FillsTheWindowOrStandsInTheColumnFromTheRightAndTopEdges) {
    FakeWindow window;
    View main(ViewKind::Main), robot(ViewKind::Robot);
    main.SetWindow(&window);
    main.UpdateRect();
    EXPECT_EQ(main.width, 950);
    EXPECT_EQ(main.height, 600);
    EXPECT_DOUBLE_EQ(main.camera.aspect, 950.0 / 600.0);
    window.size = {0, 0};
    main.UpdateRect();
    EXPECT_EQ(main.width, 1) << "a minimised window keeps the aspect defined";
    EXPECT_DOUBLE_EQ(main.camera.aspect, 1);

    for (int i = 1; i <= 4; ++i) {
        robot.PlaceInColumn(950, 600, i);
        EXPECT_EQ(robot.x, 800);
        EXPECT_EQ(robot.y, 600 - 150 * i);
    }
    robot.PlaceInColumn(1200, 800, 2);
    robot.UpdateRect();
    EXPECT_EQ(robot.x, 1050);
    EXPECT_EQ(robot.y, 500);
    EXPECT_EQ(robot.width, 150);
    EXPECT_DOUBLE_EQ(robot.camera.aspect, 1);
}

class OneActiveView : public ::testing::Test {
protected:
    void SetUp() override {
        scene.AddView(&main);
        for (int i = 1; i <= 2; ++i) {
            views[i - 1].PlaceInColumn(950, 600, i);
            scene.AddView(&views[i - 1]);
        }
    }
    // The frame after a view went live saves its picture and freezes it.
    void Freeze(View& v) {
        v.pictureValid = true;
        v.active = false;
    }

    KvScene scene;
    View main{ViewKind::Main};
    View views[2] = {View(ViewKind::Robot), View(ViewKind::Robot)};
};

TEST_F(OneActiveView, PointerEnteringAViewMakesItLiveAndLeavingAsksForAFreshPicture) {
    for (View& v : views) Freeze(v);
    scene.MouseMove(100, 100);
    EXPECT_FALSE(views[0].active);
    scene.MouseMove(875, 525);  // inside view 1 (800..950 x 450..600)
    EXPECT_TRUE(views[0].active);
    EXPECT_TRUE(views[0].pictureValid);
    scene.MouseMove(875, 375);  // straight into view 2
    EXPECT_TRUE(views[1].active);
    EXPECT_FALSE(views[0].pictureValid) << "view 1 captures its last live picture next frame";
    EXPECT_TRUE(views[0].active);
}

TEST_F(OneActiveView, TheViewsEdgesAreOutsideIt) {
    for (View& v : views) Freeze(v);
    scene.MouseMove(800, 525);
    EXPECT_FALSE(views[0].active);
    scene.MouseMove(875, 450);
    EXPECT_FALSE(views[0].active);
    scene.MouseMove(801, 525);
    EXPECT_TRUE(views[0].active);
}

}  // namespace
}  // namespace kv
