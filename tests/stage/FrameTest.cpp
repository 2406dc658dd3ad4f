// Whole frames drawn into an offscreen context, checked where a player would look: the sky,
// the ground, the robot-view column, a frozen robot view, the frame rate. With
// KV_TEST_PICTURES set to a folder, each test also leaves its picture there as a PNG.

#include <gtest/gtest.h>

#include <epoxy/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "OffscreenGl.h"
#include "assets/ResourceStore.h"
#include "render/Texture.h"
#include "render/TextureSet.h"
#include "core/Random.h"
#include "render/Ground.h"
#include "stage/OffscreenContext.h"
#include "render/Picture.h"
#include "render/Scene.h"

namespace kv {
namespace {

constexpr int32_t kWidth = 950, kHeight = 600;

using Gpu = test::GameGpu;
Gpu& TheGpu() { return test::TheGameGpu(KV_GAME_ARCHIVE, kWidth, kHeight); }

using Rgb = std::array<int, 3>;

Rgb At(const Picture& p, int32_t x, int32_t y) {
    const uint8_t* px = p.At(x, y);
    return {px[0], px[1], px[2]};
}

// The mean colour of the 9 x 9 pixels round (x, y): textures vary from pixel to pixel.
Rgb Around(const Picture& p, int32_t x, int32_t y) {
    Rgb sum{0, 0, 0};
    for (int32_t dy = -4; dy <= 4; ++dy) {
        for (int32_t dx = -4; dx <= 4; ++dx) {
            const Rgb c = At(p, std::clamp(x + dx, 0, p.width - 1), std::clamp(y + dy, 0, p.height - 1));
            for (int k = 0; k < 3; ++k) sum[k] += c[k];
        }
    }
    for (int& v : sum) v /= 81;
    return sum;
}

const Rgb kSky{68, 209, 255};
const Rgb kWhite{255, 255, 255};

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        Gpu& gpu = TheGpu();
        ASSERT_TRUE(test::Ready(gpu, kWidth, kHeight));
        scene.Init(gpu.context, &ground, &gpu.textures);
        scene.SetSettings(&settings);
        scene.Panels().ShowFrameRate(false);
        mainView.SetWindow(&gpu.context);
        mainView.camera.Orbit(0.0, 0.7);
        scene.AddView(&mainView);
    }

    // A robot standing at arena (x, y) with a view of its own following it.
    View& AddRobotView(KvGLRobot& robot) {
        auto view = std::make_unique<View>(ViewKind::Robot);
        view->SetRobot(&robot);
        const double gx = SceneX(robot.position.x), gz = SceneZ(robot.position.y), h = ground.HeightAt(gx, gz);
        view->camera.eye = {gx + 1.0, h + 1.7, gz - 1.0};
        view->camera.target = {gx, h + 0.3, gz};
        scene.AddView(view.get());
        robotViews.push_back(std::move(view));
        return *robotViews.back();
    }

    Picture Draw() {
        scene.Render();
        return test::ReadFrame(kWidth, kHeight);
    }

    // Where a world point lands in the main view, in pixels from the bottom left.
    std::array<int32_t, 2> OnScreen(const KvVec3& p) {
        const auto [px, py] = test::PixelOf(mainView.camera, p, kWidth, kHeight);
        EXPECT_TRUE(px >= 0 && px < kWidth && py >= 0 && py < kHeight) << "off screen: " << p.x << ", " << p.z;
        return {std::clamp(px, 0, kWidth - 1), std::clamp(py, 0, kHeight - 1)};
    }

    RenderSettings settings;
    KvGround ground;
    KvScene scene;
    View mainView{ViewKind::Main};
    std::vector<std::unique_ptr<View>> robotViews;
};

int Brightness(const Rgb& c) { return c[0] + c[1] + c[2]; }

TEST_F(Frame, ShowsTheSkyWhereNothingStands) {
    SeedRandom(7);
    ground.GenerateHills();
    mainView.camera.Orbit(0.0, Camera::kMinPitch);
    const Picture p = Draw();
    for (int32_t x : {100, kWidth / 2, kWidth - 100}) EXPECT_EQ(At(p, x, kHeight - 2), kSky) << x;
}

TEST_F(Frame, DrawsDarkGrassRoundTheArenaAndLighterGrassBeyond) {
    // Flat ground seen from above the dark square's edge at z = 6, close enough for no fog.
    mainView.camera.eye = {0, 3, 8};
    mainView.camera.target = {0, 0, 6};
    const Picture p = Draw();
    auto groundAt = [&](double x, double z) {
        const auto [px, py] = OnScreen({x, ground.HeightAt(x, z), z});
        return Around(p, px, py);
    };
    const Rgb arena = groundAt(0, 5.5), outside = groundAt(0, 6.5);
    for (const Rgb& grass : {arena, outside}) {
        EXPECT_GT(grass[1], grass[0]) << "grass is green";
        EXPECT_GT(grass[1], grass[2]) << "grass is green";
    }
    EXPECT_GT(Brightness(outside), Brightness(arena) + 30);
}

TEST_F(Frame, PlacesRobotViewsInAColumnAlongTheRightEdge) {
    KvGLRobot first("first.r", 0), second("second.r", 1);
    first.SetPosition({300, 300});
    second.SetPosition({700, 600});
    AddRobotView(first);
    AddRobotView(second);
    const Picture p = Draw();
    // Each view's frame: a white strip along its left edge at x = W - 150 and one along its
    // bottom edge; left of the column the main view goes on.
    for (int i = 1; i <= 2; ++i) {
        const int32_t bottom = kHeight - 150 * i;
        EXPECT_EQ(At(p, kWidth - 150, bottom + 75), kWhite) << "view " << i;
        EXPECT_EQ(At(p, kWidth - 75, bottom), kWhite) << "view " << i;
        EXPECT_NE(At(p, kWidth - 151, bottom + 75), kWhite) << "view " << i;
    }
    EXPECT_NE(At(p, kWidth - 75, kHeight - 450), kWhite) << "no third view";
}

TEST(Context, CameraMatricesMatchTheGlUtilityLibrary) {
    ASSERT_TRUE(TheGpu().ready) << TheGpu().context.Error();
    Camera c;
    c.aspect = 950.0 / 600.0;
    c.Orbit(0.8, 0.5);
    c.UpdateMatrices();
    KvMatrix glu;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(c.fov, c.aspect, c.near, c.far);
    glGetDoublev(GL_PROJECTION_MATRIX, glu.data());
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(c.projection[i], glu[i], 1e-5 * (1 + std::abs(glu[i]))) << i;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.target.x, c.target.y, c.target.z, 0, 1, 0);
    glGetDoublev(GL_MODELVIEW_MATRIX, glu.data());
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(c.modelview[i], glu[i], 1e-5 * (1 + std::abs(glu[i]))) << i;
}

// A drawable that counts the frame's calls and can add see-through records while it draws.
struct Probe : KvDrawObject {
    void PrepareFrame() override { ++prepared; }
    void Draw(KvScene& scene, bool isMainView) override {
        draws.push_back(isMainView);
        if (onDraw) onDraw(scene, isMainView);
    }
    void UpdateVisibility(VisibilityTree& tree) override { ++visibilityUpdates; }
    int prepared = 0, visibilityUpdates = 0;
    std::vector<bool> draws;
    std::function<void(KvScene&, bool)> onDraw;
};

TEST_F(Frame, DrawsFrozenRobotViewsFromTheirSavedPicture) {
    SeedRandom(7);
    ground.GenerateHills();
    KvGLRobot robot("watcher.r", 3);
    View& view = AddRobotView(robot);
    Probe probe;
    scene.AddObject(probe, true);

    const Picture first = Draw();
    EXPECT_FALSE(view.active) << "the first frame is live, then the view freezes";
    EXPECT_TRUE(view.pictureValid);
    EXPECT_EQ(probe.draws, (std::vector<bool>{true, false}));
    EXPECT_EQ(probe.visibilityUpdates, 1);

    // Turned to the sky, the frozen view still shows its first picture (away from the texts).
    view.camera.target = view.camera.eye;
    view.camera.target.y += 5;
    view.camera.target.x += 0.1;
    const Picture frozen = Draw();
    const int32_t left = kWidth - 150, bottom = kHeight - 150;
    for (auto [x, y] : {std::pair{140, 140}, std::pair{140, 10}, std::pair{75, 140}}) {
        EXPECT_EQ(At(frozen, left + x, bottom + y), At(first, left + x, bottom + y)) << x << "," << y;
    }
    EXPECT_EQ(probe.draws.size(), 3u) << "a frozen view draws no 3D content";
    EXPECT_EQ(probe.visibilityUpdates, 1) << "with no live robot view nothing is culled";
    EXPECT_EQ(probe.prepared, 2);

    settings.oneViewActive = 0;
    const Picture live = Draw();
    EXPECT_EQ(At(live, left + 140, bottom + 10), kSky);
    EXPECT_EQ(probe.visibilityUpdates, 2);
}

TEST_F(Frame, RobotViewsCullMarksOutsideTheirBox) {
    KvGLRobot robot("corner.r", 0);
    robot.SetPosition({100, 100});
    AddRobotView(robot);
    settings.oneViewActive = 0;
    KvTrack near(ground, -4, -4, 0, 1), far(ground, 4, 4, 0, 1);
    scene.AddTrack(far, true);
    scene.AddTrack(near, true);
    Draw();
    EXPECT_EQ(near.visible, 1) << "the mark beside the robot is in its view";
    EXPECT_EQ(far.visible, 0) << "the far mark is outside the robot view's culling box";
    scene.RemoveTrack(near, true);
    scene.RemoveTrack(far, true);
}

TEST_F(Frame, ALaterTransparentRecordUnderTheSameKeyReplacesTheEarlierOne) {
    KvTexture white;
    KvImage image{2, 2, 24, std::vector<uint8_t>(12, 255)};
    ASSERT_TRUE(white.CreateFromImage(image));
    Probe probe;
    // Two squares floating over the arena's centre, red then green, under one depth key.
    probe.onDraw = [&](KvScene& s, bool isMainView) {
        for (double green : {0.0, 1.0}) {
            const KvTransparentList::Added square = s.AddTransparent(5.0, kGlQuads, 4);
            const Vec2 corners[4] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
            for (int k = 0; k < 4; ++k) square.vertices[k] = {corners[k].x, 0.8, corners[k].y};
            square.record.colour = {1 - green, green, 0, 1};
            square.record.texture = &white;
        }
    };
    scene.AddObject(probe, true);
    const Picture p = Draw();
    const auto [x, y] = OnScreen({0, 0.8, 0});
    EXPECT_EQ(At(p, x, y), (Rgb{0, 255, 0}));
}

TEST_F(Frame, HandsTheMainCameraToTheListenerAndShowsTheFrameRate) {
    struct Listener : ListenerHandOff {
        void MoveListener(const KvVec3& p, const KvVec3& f, const KvVec3& u) override {
            position = p;
            up = u;
            ++calls;
        }
        KvVec3 position, up;
        int calls = 0;
    } listener;
    scene.Panels().SetListener(&listener);
    scene.Panels().ShowFrameRate(true);
    const Picture p = Draw();
    EXPECT_EQ(listener.calls, 1);
    EXPECT_NEAR(listener.position.x, mainView.camera.eye.x, 1e-9);
    EXPECT_NEAR(listener.position.y, mainView.camera.eye.y, 1e-9);
    EXPECT_GT(listener.up.y, 0);
    // "0.000000" in white from 10 pixels right of the left edge, its baseline 20 below the top.
    int white = 0;
    for (int32_t y = kHeight - 20; y < kHeight - 8; ++y)
        for (int32_t x = 10; x < 80; ++x) white += At(p, x, y) == kWhite;
    EXPECT_GT(white, 20);
    scene.Panels().SetListener(nullptr);
}

// The white pixels of the name line of the robot view at the top of the column, from the
// view's left edge (past its frame strip) and its bottom.
std::vector<std::array<int32_t, 2>> NameLine(const Picture& p) {
    const int32_t left = kWidth - View::kRobotViewSize, bottom = kHeight - View::kRobotViewSize;
    std::vector<std::array<int32_t, 2>> white;
    for (int32_t y = 125; y < View::kRobotViewSize; ++y)
        for (int32_t x = 8; x < View::kRobotViewSize; ++x)
            if (At(p, left + x, bottom + y) == kWhite) white.push_back({x, y});
    return white;
}

int32_t RightEdge(const std::vector<std::array<int32_t, 2>>& pixels) {
    int32_t right = -1;
    for (const auto& [x, y] : pixels) right = std::max(right, x);
    return right;
}

// Regression: UTF-8 names were drawn one glyph per byte ("MÃ¼ller.r"), and a long name ran
// off the view.
TEST_F(Frame, DrawsARobotsNameAsItsCharactersCutToTheView) {
    KvGLRobot robot("Muller.r", 0);
    AddRobotView(robot);
    settings.oneViewActive = 0;
    const auto plain = NameLine(Draw());
    ASSERT_GT(RightEdge(plain), 40);
    robot.name = "M\xC3\xBCller.r";
    const auto umlaut = NameLine(Draw());
    EXPECT_NEAR(RightEdge(umlaut), RightEdge(plain), 1) << "u diaeresis is one glyph as wide as u";
    EXPECT_GT(umlaut.size(), plain.size()) << "with its two dots";

    // A character the font lacks, and a byte that is not UTF-8, draw as a question mark.
    robot.name = "a?b.r";
    const auto question = NameLine(Draw());
    for (const char* name : {"a\xE2\x82\xAC" "b.r", "a\xFF" "b.r"}) {
        robot.name = name;
        EXPECT_EQ(NameLine(Draw()), question) << name;
    }

    // Three dots end a long name before the view's right edge: at the end of the line only
    // the dots' few rows on the baseline are lit.
    constexpr int32_t kBaseline = 135;
    std::string cyrillic;
    for (int i = 0; i < 30; ++i) cyrillic += "\xD0\x96";  // Zhe, not in Latin-1
    for (const std::string& name : {std::string("a_very_long_robot_file_name_for_the_panel.r"), cyrillic + ".r"}) {
        robot.name = name.c_str();
        const auto cut = NameLine(Draw());
        const int32_t right = RightEdge(cut);
        EXPECT_GT(right, 120) << name;
        EXPECT_LT(right, View::kRobotViewSize - 2) << name;
        int aboveTheDots = 0;
        for (const auto& [x, y] : cut) aboveTheDots += x > right - 10 && y >= kBaseline + 3 ? 1 : 0;
        EXPECT_EQ(aboveTheDots, 0) << name;
    }
}

}  // namespace
}  // namespace kv
