// Real battles at fixed seeds drawn offscreen through the game's battle stage, checked where
// a player would look: each robot in its colour inside its own view, the panel bars
// following damage and reload, a scorch mark where a shell exploded, shadows beyond the
// robots, a frozen robot view keeping its picture. With KV_TEST_PICTURES set to a folder,
// each test also leaves its last picture there.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "OffscreenGl.h"
#include "Pixels.h"
#include "StageBattle.h"
#include "render/Picture.h"

namespace kv {
namespace {

constexpr int32_t kWidth = test::kWindowWidth, kHeight = test::kWindowHeight, kViewSize = test::kViewSize;
const std::string kRobots = KV_TEST_ROBOTS;
const std::string kSampleRobots = KV_SAMPLE_ROBOTS;

using Gpu = test::GameGpu;
Gpu& TheGpu() { return test::TheGameGpu(KV_GAME_ARCHIVE, kWidth, kHeight); }

using test::At;
using test::Brightness;
using test::PictureBand;
using test::Rgb;
using test::ViewCorner;

// The bars' tints over the 3D picture.
bool Reddish(Rgb c) { return c.r - std::max(c.g, c.b) > 60; }
bool Greenish(Rgb c) { return c.g - std::max(c.r, c.b) > 60; }
using Tint = bool (*)(Rgb);
// The robot colours as they look lit on screen; the dark grass is only faintly green.
bool RobotRed(Rgb c) { return c.r - std::max(c.g, c.b) > 40; }
bool RobotGreen(Rgb c) { return c.g > 70 && c.g - std::max(c.r, c.b) > 25; }
bool RobotBlue(Rgb c) { return c.b - std::max(c.r, c.g) > 40; }
bool RobotMagenta(Rgb c) { return std::min(c.r, c.b) - c.g > 40; }
constexpr std::array<Tint, 4> kColourTints{RobotRed, RobotGreen, RobotBlue, RobotMagenta};

class BattleFrame : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::Ready(TheGpu(), kWidth, kHeight)); }

    KvBattleStage& Start(const test::Robots& robots, int32_t oneViewActive = 0, int32_t shadowMode = 0,
                         GLContext* context = nullptr) {
        Gpu& gpu = TheGpu();
        stage.reset();
        stage = test::MakeStage(context ? *context : gpu.context, gpu, {oneViewActive, shadowMode, false});
        EXPECT_TRUE(stage->StartBattle(robots.files, robots.seed)) << stage->Error().CStr();
        return *stage;
    }

    Picture Draw() {
        stage->Render();
        return test::ReadFrame(kWidth, kHeight);
    }

    std::unique_ptr<KvBattleStage> stage;
};

test::Robots Battle(const std::string& folder, std::initializer_list<const char*> files, uint32_t seed) {
    return test::Robots(folder, files, seed);
}

TEST_F(BattleFrame, ShowsEachRobotInItsColourInsideItsOwnView) {
    KvBattleStage& battle = Start(Battle(kSampleRobots, {"hunter.r", "pendulum.r", "sentinel.r", "spiral.r"}, 3));
    battle.RunUntil(4);  // no shell trail hides a robot from its own view just then
    const Picture p = Draw();
    for (int robot = 0; robot < 4; ++robot) {
        // The follow camera looks at a point just above the robot, in the view's middle,
        // between the dials and right of the speed label.
        const auto [x0, y0] = ViewCorner(robot + 1);
        std::array<int, 4> counts{};
        for (int32_t y = y0 + 62; y < y0 + 90; ++y)
            for (int32_t x = x0 + 66; x < x0 + 86; ++x)
                for (int c = 0; c < 4; ++c) counts[c] += kColourTints[c](At(p, x, y)) ? 1 : 0;
        EXPECT_GT(counts[robot], 20) << "robot " << robot;
        EXPECT_EQ(*std::max_element(counts.begin(), counts.end()), counts[robot]) << "robot " << robot;
    }
}

// Scanning a bar's row from the view's right edge, the first pixel of the bar's tint marks
// its end: labels over the bar are white and black, and the bar is drawn left to right.
int32_t BarEnd(const Picture& p, int view, double rowY, Tint tint) {
    const auto [x0, y0] = ViewCorner(view);
    const auto y = static_cast<int32_t>(y0 + (rowY + 1) / 2 * kViewSize);
    for (int32_t x = x0 + kViewSize - 1; x >= x0; --x)
        if (tint(At(p, x, y))) return x;
    return x0 - 1;
}

// Regression: the view of a robot that died before any frame was drawn showed only sky.
TEST_F(BattleFrame, ADeadRobotsViewLooksAtWhereItDied) {
    KvBattleStage& battle = Start(Battle(kRobots, {"selfharm.r", "sitter.r"}, 4));
    battle.RunUntil(30);  // selfharm.r has destroyed itself by then
    ASSERT_TRUE(battle.Holder().robots[0]->Values().dead);
    const Picture p = Draw();
    const auto [x0, y0] = ViewCorner(1);
    int sky = 0;
    for (int32_t y = y0; y < y0 + kViewSize; ++y) {
        for (int32_t x = x0; x < x0 + kViewSize; ++x) {
            const Rgb c = At(p, x, y);
            sky += std::abs(c.r - 68) + std::abs(c.g - 209) + std::abs(c.b - 255) < 30 ? 1 : 0;
        }
    }
    EXPECT_LT(sky, kViewSize * kViewSize / 2) << "the ground round the wreck fills the view";
}

TEST_F(BattleFrame, DrawsDamageAndReloadBarsAsLongAsTheRobotsValues) {
    // The blue robot shells its own feet every 1.5 s: 10 damage a shot.
    KvBattleStage& battle = Start(Battle(kRobots, {"sitter.r", "sitter.r", "selfharm.r"}, 5));
    const auto [x0, y0] = ViewCorner(3);
    for (double t : {4.6, 6.2}) {
        battle.RunUntil(t);
        const Picture p = Draw();
        const RobotValues v = battle.Holder().robots[2]->Values();
        ASSERT_GT(v.damage, 0);
        ASSERT_GT(v.reloadTimer, 0);
        for (const PanelBar& bar : PanelBars(v)) {
            if (bar.label == std::string("Speed")) continue;
            const Tint tint = bar.r > 0 ? Reddish : Greenish;
            const double end = x0 + (bar.x2 + 1) / 2 * kViewSize;
            const int32_t found = BarEnd(p, 3, (bar.y1 + bar.y2) / 2, tint);
            EXPECT_NEAR(found, end, 2) << bar.label << " at " << t << " s";
        }
    }
    // The damage bar grew by one shot and the cannon bar shrank as it reloaded.
    EXPECT_EQ(battle.Holder().robots[2]->Values().damage, 40);
}

// Pixel (x, y) of the main view where the ground point at scene (x, z) shows.
std::array<int32_t, 2> GroundPixel(KvBattleStage& battle, double x, double z) {
    return test::PixelOf(battle.MainView().camera, {x, battle.Holder().Ground().HeightAt(x, z), z}, kWidth, kHeight);
}

TEST_F(BattleFrame, LeavesAScorchMarkWhereAShellExploded) {
    KvBattleStage& battle = Start(Battle(kRobots, {"sitter.r", "selfharm.r"}, 9));
    battle.RunUntil(1.4);  // before the first shot
    const Picture before = Draw();
    battle.RunUntil(1.6);  // the first shell burst at the robot's feet
    const Picture after = Draw();
    const RobotValues v = battle.Holder().robots[1]->Values();
    ASSERT_EQ(v.damage, 10);
    // Round the robot, well inside the 3 x 3 mark, the green grass turned to soot grey.
    const KvVec3 centre = battle.Holder().ScenePoint(v.position);
    int sooty = 0;
    for (const KvVec3& offset : {KvVec3{0.4, 0, 0}, KvVec3{-0.4, 0, 0}, KvVec3{0, 0, 0.4}, KvVec3{0, 0, -0.4}}) {
        const auto [px, py] = GroundPixel(battle, centre.x + offset.x, centre.z + offset.z);
        ASSERT_TRUE(px >= 0 && px < kWidth - kViewSize && py >= 0 && py < kHeight);
        const Rgb a = At(before, px, py), b = At(after, px, py);
        if (a.g > a.r + 5 && b.g <= b.r) ++sooty;
    }
    EXPECT_GE(sooty, 3);
}

bool InMainView(std::array<int32_t, 2> p) {
    return p[0] >= 0 && p[0] < kWidth - kViewSize && p[1] >= 0 && p[1] < kHeight;
}

// How many of the ground points at these offsets from a robot are darker by a quarter.
int DarkerAround(KvBattleStage& battle, const Picture& shadowed, const Picture& off, int robot,
                 std::initializer_list<double> offsets) {
    const KvVec3 centre = battle.Holder().ScenePoint(battle.Holder().robots[robot]->Values().position);
    int darker = 0;
    for (double d : offsets) {
        const auto [x, y] = GroundPixel(battle, centre.x + d, centre.z + d);
        if (Brightness(At(shadowed, x, y)) < Brightness(At(off, x, y)) * 3 / 4) ++darker;
    }
    return darker;
}

// Whether a and b are as bright everywhere in the area from (x0, y0) up to (x1, y1).
bool SameArea(const Picture& a, const Picture& b, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x)
            if (Brightness(At(a, x, y)) != Brightness(At(b, x, y))) return false;
    return true;
}

bool SameView(const Picture& a, const Picture& b, int view) {
    const auto [x0, y0] = ViewCorner(view);
    return SameArea(a, b, x0, y0, x0 + kViewSize, y0 + kViewSize);
}

TEST_F(BattleFrame, StencilShadowsAndShadowMapsDarkenTheSameGroundBeyondEachRobot) {
    // The second robot stands well inside the picture, its shadow on open grass.
    KvBattleStage& battle = Start(Battle(kRobots, {"sitter.r", "sitter.r"}, 9));
    battle.RunUntil(1.0);
    const Picture off = Draw();
    // A new mode takes effect at once: the same moment, now with shadows.
    test::SetShadowMode(battle, 1);
    const Picture stencil = Draw();
    test::SetShadowMode(battle, 0);
    EXPECT_EQ(Draw().rgba, off.rgba) << "switching back takes effect at once too";
    test::SetShadowMode(battle, 2);
    const Picture map = Draw();

    // The light travels along (1, -1, 1): a robot's shadow lies towards +x and +z of it, and
    // two metres towards the light the ground is untouched. Robots off the picture's main
    // part are left out; the first robot stands at its left edge.
    int checked = 0;
    for (int robot = 0; robot < 2; ++robot) {
        const KvVec3 centre = battle.Holder().ScenePoint(battle.Holder().robots[robot]->Values().position);
        const auto towards = GroundPixel(battle, centre.x - 2, centre.z - 2);
        bool inView = InMainView(towards);
        for (double d : {0.25, 0.3, 0.35})
            inView = inView && InMainView(GroundPixel(battle, centre.x + d, centre.z + d));
        if (!inView) continue;
        ++checked;
        EXPECT_GE(DarkerAround(battle, stencil, off, robot, {0.25, 0.3, 0.35}), 2) << "robot " << robot;
        EXPECT_EQ(Brightness(At(stencil, towards[0], towards[1])), Brightness(At(off, towards[0], towards[1])))
            << "robot " << robot;
    }
    EXPECT_GE(checked, 1);
    // Nearer than 0.2 the robot itself covers the ground; both kinds darken it from there
    // and end at the same place.
    for (double d : {0.2, 0.25, 0.3}) {
        EXPECT_EQ(DarkerAround(battle, stencil, off, 1, {d}), 1) << "the stencil shadow at " << d;
        EXPECT_EQ(DarkerAround(battle, map, off, 1, {d}), 1) << "the map shadow at " << d;
    }
    EXPECT_EQ(DarkerAround(battle, stencil, off, 1, {0.4, 0.5}), 0);
    EXPECT_EQ(DarkerAround(battle, map, off, 1, {0.4, 0.5}), 0);
    EXPECT_EQ(DarkerAround(battle, map, off, 1, {-0.4, -0.8, -2.0}), 0);
    // Far from both robots (the picture's top band) nothing changes; in the robot views only
    // the shadow maps show, as the track on the ground each robot's own camera looks at.
    EXPECT_TRUE(SameArea(stencil, off, 0, kHeight - 40, kWidth - kViewSize, kHeight));
    EXPECT_TRUE(SameArea(map, off, 0, kHeight - 40, kWidth - kViewSize, kHeight));
    EXPECT_TRUE(SameView(stencil, off, 1) && SameView(stencil, off, 2));
    EXPECT_FALSE(SameView(map, off, 2)) << "the shadow track is drawn in robot views";
}

TEST_F(BattleFrame, LeavingShadowMapsReleasesEveryMapAndEnteringThemMakesMapsForTheLivingOnly) {
    // selfharm.r shells its own feet until it is destroyed; sitter.r sits.
    KvBattleStage& battle = Start(Battle(kRobots, {"selfharm.r", "sitter.r"}, 4), 0, 2);
    const auto shadow = [&](int robot) { return battle.ScenePart().RobotShadow(*battle.Holder().robots[robot]); };
    const auto shown = [&](int robot) { return battle.Scene().HasTrack(shadow(robot)->track); };
    for (int robot = 0; robot < 2; ++robot) {
        ASSERT_TRUE(shadow(robot));
        EXPECT_TRUE(shadow(robot)->buffer.Exists() && shown(robot)) << "made at set-up, robot " << robot;
    }
    battle.RunUntil(30);
    ASSERT_TRUE(battle.Holder().robots[0]->Values().dead);
    const Picture maps = Draw();
    EXPECT_FALSE(shown(0)) << "a dying robot's shadow leaves with the frame that shows its death";
    EXPECT_TRUE(shown(1));

    test::SetShadowMode(battle, 0);
    for (int robot = 0; robot < 2; ++robot)
        EXPECT_FALSE(shadow(robot)->buffer.Exists() || shown(robot)) << "released, robot " << robot;
    const Picture off = Draw();
    EXPECT_NE(off.rgba, maps.rgba);

    test::SetShadowMode(battle, 2);
    EXPECT_FALSE(shadow(0)->buffer.Exists() || shown(0)) << "no map for the dead robot";
    EXPECT_TRUE(shadow(1)->buffer.Exists() && shown(1));
    EXPECT_EQ(Draw().rgba, maps.rgba) << "the living robot's shadow is back as it was";
}

// The game's context on a machine that cannot draw into textures.
class NoRenderToTexture : public GLContext {
public:
    explicit NoRenderToTexture(GLContext& inner) : inner_(inner) {}
    bool MakeCurrent() override { return inner_.MakeCurrent(); }
    void SwapBuffers() override { inner_.SwapBuffers(); }
    ClientSize Size() const override { return inner_.Size(); }
    bool RenderToTextureSupported() const override { return false; }

private:
    GLContext& inner_;
};

TEST_F(BattleFrame, ARobotWhoseShadowMapCannotBeMadeGoesOnWithoutAShadow) {
    NoRenderToTexture context(TheGpu().context);
    KvBattleStage& battle = Start(Battle(kRobots, {"sitter.r", "sitter.r"}, 9), 0, 2, &context);
    battle.RunUntil(1.0);
    const Picture without = Draw();
    EXPECT_FALSE(battle.ScenePart().RobotShadow(*battle.Holder().robots[1])->buffer.Exists());
    test::SetShadowMode(battle, 0);
    test::SetShadowMode(battle, 2);
    EXPECT_EQ(Draw().rgba, without.rgba);
    test::SetShadowMode(battle, 0);
    EXPECT_EQ(Draw().rgba, without.rgba) << "the same picture as without shadows";
    battle.RunUntil(2.0);
    EXPECT_GE(battle.Holder().BattleTime(), 2.0) << "the battle goes on";
    stage.reset();  // before the context it draws into
}

TEST_F(BattleFrame, AFrozenRobotViewKeepsShowingItsFirstPicture) {
    for (int32_t oneViewActive : {1, 0}) {
        KvBattleStage& battle = Start(Battle(kRobots, {"rover.r", "rover.r"}, 4), oneViewActive);
        battle.RunUntil(2);
        const Picture first = Draw();
        battle.RunUntil(3);  // the rovers have driven on
        const Picture later = Draw();
        if (oneViewActive == 1) {
            EXPECT_EQ(PictureBand(first, 1), PictureBand(later, 1));
            EXPECT_EQ(PictureBand(first, 2), PictureBand(later, 2));
        } else {
            EXPECT_NE(PictureBand(first, 1), PictureBand(later, 1));
        }
    }
}

// The game's two threads: the worker runs a battle with shells, marks and deaths, paced at
// sixteen times the clock, while this thread draws frames with shadows; then a restart clears
// the battle with shells in flight.
TEST(BattleThreads, DrawFramesWhileTheWorkerRunsABattleWithShellsAndDeaths) {
    ASSERT_TRUE(test::Ready(TheGpu(), kWidth, kHeight));
    const test::Robots robots(kRobots, {"selfharm.r", "shooter.r", "hostile.r", "selfharm.r"}, 12);
    std::unique_ptr<KvBattleStage> stage = test::MakeStage(TheGpu().context, TheGpu(), {0, 2, false});
    stage->SetSpeed(16);
    stage->StartWorker();
    for (int round = 0; round < 2; ++round) {
        // Shadow maps first (dying robots' tracks leave), then stencil volumes.
        test::SetShadowMode(*stage, round == 0 ? 2 : 1);
        ASSERT_TRUE(stage->StartBattle(robots.files, robots.seed));
        // Until both self-shelling robots are dead (their 10th shell, after 15 s), or long.
        for (int frame = 0; frame < 3000 && stage->Holder().AliveCount() > 2; ++frame) stage->Render();
        if (round == 0) {
            EXPECT_LE(stage->Holder().AliveCount(), 2);
        }
    }
}

}  // namespace
}  // namespace kv
