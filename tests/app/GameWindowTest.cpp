// The whole game in a real window: start-up, the menus' commands, the camera drag, battles
// from the dialog, and the program's scripted runs. Runs on a virtual X display.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTreeWidget>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "Fifo.h"
#include "InTempDir.h"
#include "app/App.h"
#include "app/ChooseRobotsDialog.h"
#include "app/GameSurface.h"
#include "app/InspectorWindow.h"
#include "app/MainWindow.h"
#include "app/TimelineBar.h"
#include "sim/BattleReport.h"
#include "core/KvFS.h"
#include "OffscreenGl.h"

namespace kv {
namespace {

#define KV_TEST_ROBOT(name) KV_TEST_ROBOTS "/" name

const std::vector<KvFile> kSamples = {KV_ROBOTS "/sentinel.r", KV_ROBOTS "/hunter.r", KV_ROBOTS "/spiral.r",
                                      KV_ROBOTS "/pendulum.r"};

// Each test plays in its own folder, whose Config.ini turns the splash off unless it says.
class GameTest : public InTempDir {
protected:
    std::unique_ptr<App> Start(std::vector<KvFile> robots, const std::string& config = "[Setup]\nShowSplash=Off\n",
                               std::optional<uint32_t> seed = std::nullopt) {
        WriteFile("Config.ini", config);
        AppOptions options;
        options.archive = KV_GAME_ARCHIVE;
        options.robots = std::move(robots);
        options.seed = seed;
        auto app = std::make_unique<App>(options);
        app->showSetupError = [this](const std::string& text) { errors.push_back(text); };
        EXPECT_TRUE(app->Init()) << app->Error();
        return app;
    }
    // Runs the loops for about seconds, drawing frames, and keeps the last one.
    static QImage Play(App& app, double seconds, const std::string& shot) {
        EXPECT_EQ(app.PlayFor(seconds, shot), 0);
        return QImage(QString::fromStdString(shot));
    }
    static bool Enabled(App& app, MenuCommand command) { return app.Window().Action(command)->isEnabled(); }
    static bool Checked(App& app, MenuCommand command) { return app.Window().Action(command)->isChecked(); }

    std::vector<std::string> errors;
};

TEST_F(GameTest, StartsWithTheChosenRobotsFightingAndDrawsTheArena) {
    auto app = Start(kSamples);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(app->Window().windowTitle(), "Kolvex");
    EXPECT_EQ(app->Surface().Size().width, 950);
    EXPECT_EQ(app->Surface().Size().height, 600);
    EXPECT_EQ(app->Holder().robots.size(), 4u);
    EXPECT_TRUE(app->Dialog().Check(3)->isChecked());
    EXPECT_EQ(app->Dialog().PathField(0)->text(), KV_ROBOTS "/sentinel.r");

    const QImage frame = Play(*app, 1.5, "frame.png");
    ASSERT_EQ(frame.size(), QSize(950, 600));
    EXPECT_GT(app->Holder().BattleTime(), 0.5);  // the worker ticked while the frames drew
    // The arena's grass fills the main view and each robot view down the right (a view saved
    // while the window was still being sized would show only sky).
    auto grassShare = [&](QRect area) {
        int grass = 0;
        for (int y = area.top(); y <= area.bottom(); y += 3)
            for (int x = area.left(); x <= area.right(); x += 3) {
                const QColor c = frame.pixelColor(x, y);
                if (c.green() > c.blue() && c.green() > c.red()) ++grass;
            }
        return grass / (((area.width() + 2) / 3.0) * ((area.height() + 2) / 3.0));
    };
    EXPECT_GT(grassShare(QRect(0, 0, 800, 600)), 0.8);
    for (int view = 0; view < 4; ++view) EXPECT_GT(grassShare(QRect(802, 150 * view + 2, 146, 146)), 0.4) << view;
}

// The Battle pop-up's keys in the 3D view and a click on the timeline, as a player uses them.
TEST_F(GameTest, TheBattleKeysPauseStepAndChangeSpeedAndTheTimelineSeeks) {
    auto app = Start(kSamples, "[Setup]\nShowSplash=Off\n", 7);
    Play(*app, 1.0, "start.png");
    KvBattleStage& stage = app->Stage();
    QWindow* surface = &app->Surface();
    QTest::keyClick(surface, Qt::Key_Space);
    EXPECT_TRUE(stage.Paused());
    EXPECT_TRUE(Checked(*app, MenuCommand::Pause));
    const int64_t paused = stage.Battle().Ticks();
    Play(*app, 0.3, "paused.png");
    EXPECT_EQ(stage.Battle().Ticks(), paused) << "a pause stops battle time";
    QTest::keyClick(surface, Qt::Key_Right);
    const int64_t stepped = stage.Battle().Ticks();
    EXPECT_GT(stepped, paused);
    EXPECT_LE(stepped, paused + 17);
    QTest::keyClick(surface, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(stage.Battle().Ticks(), stepped + 1);
    QTest::keyClick(surface, Qt::Key_Plus);
    QTest::keyClick(surface, Qt::Key_Plus);
    EXPECT_EQ(stage.Speed(), 4);
    for (int k = 0; k < 8; ++k) QTest::keyClick(surface, Qt::Key_Minus);
    EXPECT_EQ(stage.Speed(), 1.0 / 8);
    QTest::keyClick(surface, Qt::Key_0);
    EXPECT_EQ(stage.Speed(), 1);

    // A click a quarter along the timeline seeks there, paused as it was.
    app->Window().Timeline().SetTimes(stage.ShownTick() * 0.001, stage.FurthestTime(), stage.DeathTimes());
    const double furthest = stage.FurthestTime();
    TimelineBar& timeline = app->Window().Timeline();
    const int x = timeline.XOf(furthest / 4);
    QTest::mouseClick(&timeline, Qt::LeftButton, {}, QPoint(x, TimelineBar::kHeight / 2));
    EXPECT_TRUE(stage.Paused());
    EXPECT_NEAR(stage.ShownTick() * 0.001, timeline.TimeAt(x), 0.0011);
    EXPECT_LT(stage.ShownTick() * 0.001, furthest / 2);
    EXPECT_DOUBLE_EQ(stage.FurthestTime(), furthest);
    QTest::keyClick(surface, Qt::Key_Space);
    EXPECT_FALSE(stage.Paused());
    Play(*app, 0.3, "resumed.png");
    EXPECT_GT(stage.ShownTick() * 0.001, timeline.TimeAt(x));
}

TEST_F(GameTest, DraggingTurnsTheCameraAndThePitchStopsAtItsBounds) {
    auto app = Start({});
    QWindow* surface = &app->Surface();
    QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(400, 300));
    QTest::mouseMove(surface, QPoint(500, 310));
    EXPECT_NEAR(app->Yaw(), 1.0, 1e-9);
    EXPECT_NEAR(app->Pitch(), 0.8, 1e-9);
    QTest::mouseMove(surface, QPoint(500, 0));  // far upward: down to the lowest pitch
    EXPECT_DOUBLE_EQ(app->Pitch(), 0.1);
    QTest::mouseMove(surface, QPoint(500, 599));
    QTest::mouseMove(surface, QPoint(500, 300));
    QTest::mouseMove(surface, QPoint(500, 599));
    EXPECT_DOUBLE_EQ(app->Pitch(), 1.4707963267948965);
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(500, 599));
    QTest::mouseMove(surface, QPoint(100, 100));  // not dragging: the camera stays
    EXPECT_DOUBLE_EQ(app->Pitch(), 1.4707963267948965);
    EXPECT_NEAR(app->Yaw(), 1.0, 1e-9);
}

TEST_F(GameTest, NewGraysTheBattleItemsUntilTheDialogEnds) {
    auto app = Start({kSamples[0], kSamples[1]});
    const KvGLRobot* before = app->Holder().robots[0];
    ASSERT_TRUE(app->OnCommand(40001));
    EXPECT_TRUE(app->Dialog().Visible());
    for (MenuCommand c : {MenuCommand::New, MenuCommand::Restart, MenuCommand::About}) EXPECT_FALSE(Enabled(*app, c));
    EXPECT_TRUE(Enabled(*app, MenuCommand::Exit));
    EXPECT_TRUE(app->OnCommand(40001));  // already open: nothing
    EXPECT_TRUE(app->Dialog().Visible());

    QTest::mouseClick(app->Dialog().CancelButton(), Qt::LeftButton);
    for (MenuCommand c : {MenuCommand::New, MenuCommand::Restart, MenuCommand::About}) EXPECT_TRUE(Enabled(*app, c));
    EXPECT_EQ(app->Holder().robots[0], before);  // Cancel starts nothing

    app->OnCommand(40001);
    app->Dialog().Check(1)->setChecked(false);
    app->Dialog().Check(2)->setChecked(true);
    app->Dialog().PathField(2)->setText(KV_ROBOTS "/spiral.r");
    QTest::mouseClick(app->Dialog().OkButton(), Qt::LeftButton);
    EXPECT_TRUE(Enabled(*app, MenuCommand::New));
    ASSERT_EQ(app->Holder().robots.size(), 2u);
    EXPECT_EQ(app->Holder().robotSlots, (std::vector<int>{0, 2}));
    EXPECT_TRUE(errors.empty());

    app->OnCommand(40002);  // Restart: the same choices, a new battle
    EXPECT_EQ(app->Holder().robotSlots, (std::vector<int>{0, 2}));
}

TEST_F(GameTest, ABattleThatCannotBeSetUpIsReportedAndTheGameGoesOn) {
    auto app = Start({"missing.r"});
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Can't open file"), std::string::npos);
    EXPECT_TRUE(app->Holder().robots.empty());
    app->OnCommand(40001);
    app->Dialog().Check(0)->setChecked(false);
    QTest::mouseClick(app->Dialog().OkButton(), Qt::LeftButton);  // nothing chosen: too few robots
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[1].find("Too few robots for battle"), std::string::npos) << errors[1];
    EXPECT_FALSE(Play(*app, 0.2, "frame.png").isNull());
}

TEST_F(GameTest, AboutBoxGraysTheItemsUntilClicked) {
    auto app = Start({});
    EXPECT_FALSE(app->Splash().isVisible());  // the file turned the start-up splash off
    app->OnCommand(40004);
    EXPECT_TRUE(app->Splash().isVisible());
    EXPECT_FALSE(Enabled(*app, MenuCommand::New));
    QTest::mouseClick(&app->Splash(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(app->Splash().isVisible());
    EXPECT_TRUE(Enabled(*app, MenuCommand::New));
    EXPECT_TRUE(Enabled(*app, MenuCommand::About));
}

TEST_F(GameTest, StartUpSplashShowsForASecond) {
    auto app = Start({}, "");
    EXPECT_TRUE(app->Splash().isVisible());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (app->Splash().isVisible() && std::chrono::steady_clock::now() < deadline) QTest::qWait(20);
    EXPECT_FALSE(app->Splash().isVisible());
    EXPECT_TRUE(Enabled(*app, MenuCommand::New));
}

TEST_F(GameTest, SetupCommandsChangeTheMenuAndTheFile) {
    auto app = Start({kSamples[0]}, "; mine\r\n[Render]\r\nShadow = STENCIL\r\n[Mine]\r\nKeep=1\r\n");
    EXPECT_TRUE(Checked(*app, MenuCommand::ShadowStencil));
    EXPECT_TRUE(Checked(*app, MenuCommand::OneViewActive));
    EXPECT_TRUE(Enabled(*app, MenuCommand::ShadowMap));  // framebuffer objects are there

    app->OnCommand(40008);
    EXPECT_TRUE(Checked(*app, MenuCommand::ShadowMap));
    EXPECT_FALSE(Checked(*app, MenuCommand::ShadowStencil));
    app->OnCommand(40011);
    EXPECT_TRUE(Checked(*app, MenuCommand::AllViewsActive));
    app->OnCommand(40014);
    EXPECT_FALSE(app->CurrentSettings().soundOn);
    const bool vsync = Checked(*app, MenuCommand::VSync);
    app->OnCommand(40006);
    app->OnCommand(40006);
    EXPECT_EQ(Checked(*app, MenuCommand::VSync), vsync);

    const std::string file = ReadFile("Config.ini");
    for (const char* line : {"Shadow = Map", "OneViewActive=Off", "Sound=Off", "ShowSplash=On", "Keep=1", "; mine"})
        EXPECT_NE(file.find(line), std::string::npos) << line;
    EXPECT_FALSE(Play(*app, 0.3, "frame.png").isNull());  // the frame draws in the new modes
}

// The game's archive with one entry's bytes replaced and one entry left out.
void WriteChangedArchive(const char* path, const std::string& replaced, const std::string& leftOut) {
    KvFS game(KV_GAME_ARCHIVE);
    std::vector<KvFSWriteEntry> entries;
    for (const KvFSEntry& e : game.Entries()) {
        if (e.name.Std() == leftOut) continue;
        KvFSIStream in(&game, e.name);
        std::vector<uint8_t> data(in.size);
        in.Read(data.data(), in.size);
        if (e.name.Std() == replaced) data.assign(40, 0xFF);
        entries.push_back({e.name, std::move(data)});
    }
    ASSERT_TRUE(WriteArchive(path, entries));
}

// Regression: a damaged archive was reported as not found, a picture or sound that could not be
// used was dropped without a word, and a FIFO chosen as a robot froze the game in set-up.
TEST_F(GameTest, SaysWhatIsWrongWithTheArchiveAndRefusesRobotsThatAreNoFiles) {
    WriteFile("Config.ini", "[Setup]\nShowSplash=Off\n");
    WriteFile("damaged.kvfs", "KVFS\1\2");
    AppOptions damaged;
    damaged.archive = "damaged.kvfs";
    App broken(damaged);
    EXPECT_FALSE(broken.Init());
    EXPECT_EQ(broken.Error(), "damaged.kvfs is damaged: bad header");

    WriteChangedArchive("changed.kvfs", "GRASS2.jpg", "hit.wav");
    AppOptions changed;
    changed.archive = "changed.kvfs";
    test::Fifo fifo("fifo.r");
    ASSERT_TRUE(fifo.Made());
    changed.robots = {"fifo.r", KV_ROBOTS "/sentinel.r"};
    App app(changed);
    app.showSetupError = [this](const std::string& text) { errors.push_back(text); };
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(app.Init()) << app.Error();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("kolvex: changed.kvfs: hit.wav is missing; the sound 'hit' is not played\n"), std::string::npos)
        << said;
    EXPECT_NE(said.find("kolvex: changed.kvfs: GRASS2.jpg cannot be decoded; drawn without the texture 'grass'\n"),
              std::string::npos)
        << said;
    EXPECT_EQ(errors, std::vector<std::string>{"Can't open file 'fifo.r'"});
    EXPECT_TRUE(app.Holder().robots.empty());
    EXPECT_FALSE(fifo.WasOpened());
}

// The program as scripts run it.
std::string RunGame(const std::string& arguments, int& status) {
    const std::string command = std::string(KV_GAME) + " " + arguments + " 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
        status = WEXITSTATUS(pclose(pipe));
    }
    return output;
}

// The command's standard output, with its standard error when asked for.
std::string Output(const std::string& command, int& status, bool withErrors = false) {
    std::string output;
    if (FILE* pipe = popen((command + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r")) {
        char buffer[4096];
        while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
        status = WEXITSTATUS(pclose(pipe));
    }
    return output;
}

TEST_F(GameTest, ProgramPlaysForAWhileAndSavesItsLastFrame) {
    WriteFile("Config.ini", "[Setup]\nShowSplash=Off\n");
    int status = -1;
    RunGame("--archive " KV_GAME_ARCHIVE " --quit-after 1 --screenshot shot.png " KV_ROBOTS "/sentinel.r " KV_ROBOTS
            "/hunter.r",
            status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(QImage("shot.png").size(), QSize(950, 600));

    const std::string missing = RunGame("--archive nowhere.kvfs --quit-after 0", status);
    EXPECT_EQ(status, 3);
    EXPECT_NE(missing.find("nowhere.kvfs not found"), std::string::npos) << missing;

    EXPECT_NE(RunGame("--version", status).find("kolvex "), std::string::npos);
    EXPECT_EQ(status, 0);
    RunGame("--screenshot x.png", status);
    EXPECT_EQ(status, 2);

    // Regression: an unwritable screenshot failed without a word.
    const std::string unwritable =
        RunGame("--archive " KV_GAME_ARCHIVE " --quit-after 0 --screenshot /nonexistent/shot.png", status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(unwritable.find("cannot write the screenshot /nonexistent/shot.png"), std::string::npos) << unwritable;

    // Regression: without a display Qt aborted (status 134), even for --help and --version.
    const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
    const std::string help = Output(noDisplay + KV_GAME " --help", status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(help.find("usage: kolvex"), std::string::npos);
    Output(noDisplay + KV_GAME " --version", status);
    EXPECT_EQ(status, 0);
    const std::string refused = RunGame("--archive " KV_GAME_ARCHIVE " --quit-after 0 --seed x", status);
    EXPECT_EQ(status, 2) << refused;
    int started = -1;
    const std::string why = Output(noDisplay + KV_GAME " --archive " KV_GAME_ARCHIVE, started, true);
    EXPECT_EQ(started, 3);
    EXPECT_NE(why.find("no display"), std::string::npos) << why;
}

// Where the main camera shows a scene point, in the picture's pixels from the top left.
QPoint PixelOf(const Camera& c, const KvVec3& q, const QSize& size) {
    const auto [x, y] = test::PixelOf(c, q, size.width(), size.height());
    return {x, size.height() - 1 - y};
}

// The summed brightness of a square round a pixel.
int64_t Brightness(const QImage& image, QPoint at, int half) {
    int64_t sum = 0;
    for (int y = at.y() - half; y <= at.y() + half; ++y)
        for (int x = at.x() - half; x <= at.x() + half; ++x) {
            const QColor c = image.pixelColor(x, y);
            sum += c.red() + c.green() + c.blue();
        }
    return sum;
}

// The bottom band of robot view i (1, 2, ...), below its labels: only the 3D picture.
QImage ViewBand(const QImage& frame, int view) { return frame.copy(QRect(805, 150 * view - 12, 140, 7)); }

// Regression: Setup commands changed the settings file and the menu, but tests never looked
// whether the frame, the shadows and the robot views followed them.
TEST_F(GameTest, SetupCommandsReachThePictureAtOnce) {
    auto app = Start({KV_TEST_ROBOT("sitter.r"), KV_TEST_ROBOT("sitter.r")}, "[Setup]\nShowSplash=Off\n", 8);
    const QImage off = Play(*app, 0.3, "off.png");
    app->OnCommand(40009);  // Shadow stencil
    const QImage stencil = Play(*app, 0.3, "stencil.png");
    app->OnCommand(40008);  // Shadow map
    const QImage map = Play(*app, 0.3, "map.png");
    app->OnCommand(40007);  // Shadow off
    const QImage offAgain = Play(*app, 0.3, "offagain.png");
    for (const KvGLRobot* robot : app->Holder().robots) {
        // Just beyond the robot along the light's fall (+x, +z in the scene).
        KvVec3 p = app->Holder().ScenePoint(robot->Values().position);
        p = {p.x + 0.2, app->Holder().Ground().HeightAt(p.x + 0.2, p.z + 0.2), p.z + 0.2};
        const QPoint at = PixelOf(app->Stage().MainView().camera, p, off.size());
        const int64_t lit = Brightness(off, at, 2);
        EXPECT_LT(Brightness(stencil, at, 2), lit * 3 / 4) << "stencil shadows";
        EXPECT_LT(Brightness(map, at, 2), lit * 3 / 4) << "shadow maps";
        EXPECT_EQ(Brightness(offAgain, at, 2), lit) << "no shadows again";
    }

    auto rovers = Start({KV_TEST_ROBOT("rover.r"), KV_TEST_ROBOT("rover.r")}, "[Setup]\nShowSplash=Off\n", 4);
    const QImage first = Play(*rovers, 0.4, "first.png");
    EXPECT_EQ(ViewBand(Play(*rovers, 0.4, "frozen.png"), 1), ViewBand(first, 1)) << "one view active: frozen";
    rovers->OnCommand(40011);  // All robot views active
    const QImage live = Play(*rovers, 0.4, "live.png");
    EXPECT_NE(ViewBand(Play(*rovers, 0.4, "later.png"), 1), ViewBand(live, 1)) << "all views active: live";
}

// Regression: while the window was hidden the loop skipped the sound update, so ended
// explosions kept their channels and new ones stopped playing.
TEST_F(GameTest, WhileTheWindowIsHiddenEndedSoundsGiveTheirChannelsBack) {
    auto app = Start({KV_TEST_ROBOT("selfharm.r"), KV_TEST_ROBOT("sitter.r")}, "[Setup]\nShowSplash=Off\n", 8);
    ASSERT_TRUE(app->Sound().IsAvailable());
    Play(*app, 0.2, "shown.png");
    app->Window().hide();
    EXPECT_EQ(app->PlayFor(8, ""), 0);  // five shells burst at selfharm.r's feet meanwhile
    EXPECT_FALSE(app->Window().OnScreen());
    EXPECT_GE(app->Holder().BattleTime(), 7.5);
    // Two engines, and at most the latest burst still playing.
    EXPECT_GE(app->Sound().FreeChannels(), SoundSystem::kChannelCount - 3);
}

// The window plays the battle the rules define: with shells, effects and two deaths drawn, its
// report after 16 simulated seconds is kolvex-battle's for the same seed, byte for byte.
TEST_F(GameTest, PlaysTheBattleKolvexBattlePlaysForTheSameSeed) {
    WriteFile("Config.ini", "[Setup]\nShowSplash=Off\n[Render]\nShadow=Stencil\n");
    const std::string robots = " " KV_TEST_ROBOT("selfharm.r") " " KV_TEST_ROBOT("shooter.r") " " KV_TEST_ROBOT(
        "hostile.r") " " KV_TEST_ROBOT("selfharm.r");
    int status = -1;
    const std::string game =
        Output(std::string(KV_GAME) + " --archive " KV_GAME_ARCHIVE " --seed 12 --json --quit-after-time 16" + robots,
               status);
    EXPECT_EQ(status, 0);
    const std::string battle =
        Output(std::string(KV_BATTLE) + " --archive " KV_GAME_ARCHIVE " --seed 12 --time 16 --json" + robots, status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(battle.find("\"alive\": false"), std::string::npos) << "a battle with deaths: " << battle;
    EXPECT_EQ(game, battle);
}

// Robot files whose paths are longer than 260 characters, or whose names are not UTF-8,
// copied into the current folder from the samples.
std::vector<std::string> OddlyNamedRobots() {
    std::string folder = "robots";
    while (folder.size() < 300) folder += "/a_folder_with_a_rather_long_name";
    std::filesystem::create_directories(folder);
    const std::vector<std::string> files = {folder + "/sentinel.r", "m\xFCller.r"};  // u diaeresis in Latin-1
    std::filesystem::copy_file(KV_ROBOTS "/sentinel.r", files[0]);
    std::filesystem::copy_file(KV_ROBOTS "/hunter.r", files[1]);
    return files;
}

// Regression: File > New then OK without a change said "Can't open file" for a path cut at
// 260 characters or one whose bytes were not UTF-8, and the battle was gone.
// A battle saved in the game replays from the programs it holds, after its files changed: in
// the game (--json) and in kolvex-battle, to the same report the game had.
TEST_F(GameTest, ASavedBattleReopensToTheSameReportInTheGameAndInKolvexBattle) {
    for (const char* name : {"selfharm.r", "shooter.r", "hostile.r"})
        std::filesystem::copy_file(std::string(KV_TEST_ROBOTS "/") + name, name);
    auto app = Start({"selfharm.r", "shooter.r", "hostile.r", "selfharm.r"}, "[Setup]\nShowSplash=Off\n", 12);
    app->Stage().SetSpeed(16);
    EXPECT_EQ(app->PlayUntilTime(16, ""), 0);
    ASSERT_TRUE(app->SaveBattle("saved.kvb"));
    HeadlessBattleOptions options;
    options.seed = 12;
    options.time = 16;
    const std::string played = BattleJson(options, app->Stage().Outcome());
    WriteFile("shooter.r", "main() { this is no longer a robot }\n");
    std::filesystem::remove("hostile.r");

    // Opened in the game, played to the same time (faster than the clock).
    ASSERT_TRUE(app->OpenBattle("saved.kvb"));
    EXPECT_TRUE(errors.empty());
    app->Stage().SetSpeed(16);
    EXPECT_EQ(app->PlayUntilTime(16, ""), 0);
    EXPECT_EQ(BattleJson(options, app->Stage().Outcome()), played);
    int status = -1;
    const std::string battle = Output(std::string(KV_BATTLE) + " --archive " KV_GAME_ARCHIVE " --json saved.kvb", status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(battle, played);
    EXPECT_NE(played.find("\"alive\": false"), std::string::npos) << "a battle with deaths: " << played;
}

// The game's picture after a seek to T is kolvex-shot's of the battle file at T, apart from
// the overlay's frame counter and pause: at this moment of the samples' battle no smoke or
// fire is alive in straight play, and a seek starts them afresh.
TEST_F(GameTest, AfterASeekTheGameShowsWhatKolvexShotDrawsAtThatTime) {
    int status = -1;
    Output(std::string(KV_BATTLE) + " --archive " KV_GAME_ARCHIVE " --seed 7 --time 60 --save samples.kvb " KV_ROBOTS
           "/sentinel.r " KV_ROBOTS "/hunter.r " KV_ROBOTS "/spiral.r " KV_ROBOTS "/pendulum.r", status);
    ASSERT_EQ(status, 0);
    constexpr double kT = 49.98;
    Output(std::string(KV_SHOT) + " --archive " KV_GAME_ARCHIVE " --battle samples.kvb --at 49.98 -o shot.png", status);
    ASSERT_EQ(status, 0);

    auto app = Start({});
    ASSERT_TRUE(app->OpenBattle("samples.kvb"));
    app->Stage().SetPaused(true);
    app->Stage().SeekTo(kT);
    const QImage game = Play(*app, 0.3, "game.png");
    const QImage shot("shot.png");
    ASSERT_EQ(game.size(), shot.size());
    int different = 0;
    for (int y = 0; y < game.height(); ++y)
        for (int x = 0; x < game.width(); ++x) {
            if (x < 400 && y < 50) continue;  // the frame counter, the time, "paused"
            const QColor a = game.pixelColor(x, y), b = shot.pixelColor(x, y);
            different += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) > 12;
        }
    // The window's context and kolvex-shot's offscreen one may round a few edge pixels
    // apart; a robot, shell, mark or wreck out of place differs in hundreds.
    EXPECT_LE(different, 20);
}

// A battle saved by kolvex-battle at another tick plays at that tick in the game.
TEST_F(GameTest, ABattleFileOfAnotherTickPlaysAtItsTick) {
    int status = -1;
    Output(std::string(KV_BATTLE) + " --archive " KV_GAME_ARCHIVE " --seed 3 --dt 0.01 --time 5 --save coarse.kvb " KV_ROBOTS
           "/hunter.r " KV_ROBOTS "/spiral.r", status);
    ASSERT_EQ(status, 0);
    const std::string battle = Output(std::string(KV_BATTLE) + " --archive " KV_GAME_ARCHIVE " --json coarse.kvb", status);
    auto app = Start({KV_TEST_ROBOT("sitter.r")});
    ASSERT_TRUE(app->OpenBattle("coarse.kvb"));
    EXPECT_EQ(app->Stage().Battle().Dt(), 0.01);
    app->Stage().SetSpeed(8);
    EXPECT_EQ(app->PlayUntilTime(5, ""), 0);
    HeadlessBattleOptions options;
    options.seed = 3;
    options.dt = 0.01;
    EXPECT_EQ(BattleJson(options, app->Stage().Outcome()), battle);
}

// Battle files that cannot be played say why and leave the battle shown as it was.
TEST_F(GameTest, BadBattleFilesAreRefusedAndTheBattleGoesOn) {
    auto app = Start({KV_TEST_ROBOT("sitter.r"), KV_TEST_ROBOT("rover.r")}, "[Setup]\nShowSplash=Off\n", 5);
    Play(*app, 0.2, "before.png");
    ASSERT_TRUE(app->SaveBattle("good.kvb"));
    const std::string good = ReadFile("good.kvb");
    const size_t main = good.find("main()");
    ASSERT_NE(main, std::string::npos);
    std::string broken = good;
    broken.replace(main, 6, "main((");  // same length: the file still parses
    WriteFile("broken.kvb", broken);
    WriteFile("garbage.kvb", "\x7f" "ELF and more");
    std::string future = good;
    future.replace(0, future.find('\n'), "kolvex-battle-file 99");
    WriteFile("future.kvb", future);

    const KvGLRobot* shown = app->Holder().robots.front();
    for (auto [file, says] : {std::pair{"broken.kvb", "Error, while compiling file"}, {"garbage.kvb", "garbage.kvb"},
                              {"future.kvb", "version 99"}, {"missing.kvb", "missing.kvb"}}) {
        errors.clear();
        EXPECT_FALSE(app->OpenBattle(file));
        ASSERT_EQ(errors.size(), 1u) << file;
        EXPECT_NE(errors[0].find(says), std::string::npos) << errors[0];
        EXPECT_EQ(app->Holder().robots.front(), shown) << file << ": the battle is as it was";
    }
    errors.clear();
    EXPECT_TRUE(app->OpenBattle("good.kvb"));
    EXPECT_TRUE(errors.empty());
    EXPECT_NE(app->Holder().robots.front(), shown);
}

TEST_F(GameTest, RobotsWithLongOrNonUtf8PathsFightAgainAfterNewAndOkAndAfterARestart) {
    std::vector<KvFile> robots;
    for (const std::string& file : OddlyNamedRobots()) robots.emplace_back(file.c_str());
    auto app = Start(robots);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(app->Holder().robots.size(), 2u);
    EXPECT_STREQ(app->Holder().robots[1]->name.CStr(), "m\xFCller.r");
    app->OnCommand(40001);
    QTest::mouseClick(app->Dialog().OkButton(), Qt::LeftButton);
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(app->Holder().robots.size(), 2u);

    // The choices come back at the next start, byte for byte, chosen but not fought.
    app.reset();
    AppOptions plain;
    plain.archive = KV_GAME_ARCHIVE;
    App again(plain);
    ASSERT_TRUE(again.Init()) << again.Error();
    EXPECT_TRUE(again.Holder().robots.empty());
    for (size_t slot = 0; slot < 4; ++slot) {
        const RobotChoice& choice = again.Dialog().choices[slot];
        EXPECT_EQ(choice.enabled, slot < robots.size());
        EXPECT_STREQ(choice.path.CStr(), slot < robots.size() ? robots[slot].CStr() : "");
        EXPECT_EQ(again.Dialog().Check(static_cast<int>(slot))->isChecked(), slot < robots.size());
    }
    QTest::mouseClick(again.Dialog().OkButton(), Qt::LeftButton);
    EXPECT_EQ(again.Holder().robots.size(), 2u);
}

// Regression: a robot file named on the command line went through a lossy conversion.
TEST_F(GameTest, ProgramOpensRobotFilesByTheBytesOfTheirNames) {
    WriteFile("Config.ini", "[Setup]\nShowSplash=Off\n");
    std::string arguments = "--archive " KV_GAME_ARCHIVE " --quit-after 0.3";
    for (const std::string& file : OddlyNamedRobots()) arguments += " './" + file + "'";
    int status = -1;
    const std::string output = RunGame(arguments, status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output.find("Can't open file"), std::string::npos) << output;
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// Counts by two in a function, for ever.
constexpr const char* kCounter =
    "int count;\n"
    "step(n)\n"
    "{\n"
    "    count = count + n;\n"
    "    drive(0, 0);\n"
    "    return count;\n"
    "}\n"
    "main()\n"
    "{\n"
    "    while (1)\n"
    "        step(2);\n"
    "}\n";

class InspectorGameTest : public GameTest {
protected:
    // Plays until the battle pauses (or a few seconds pass).
    static void PlayUntilPaused(App& app) {
        for (int i = 0; i < 60 && !app.Stage().Paused(); ++i) app.PlayFor(0.05, "");
    }
    static std::vector<std::string> Stack(App& app) {
        std::vector<std::string> items;
        for (int i = 0; i < app.Inspector().Stack()->count(); ++i)
            items.push_back(app.Inspector().Stack()->item(i)->text().toStdString());
        return items;
    }
    static QString CountShown(App& app) { return app.Inspector().Variables()->topLevelItem(0)->child(0)->text(1); }
    static void Click(App& app, InspectorWindow::Command command) {
        QTest::mouseClick(app.Inspector().Button(command), Qt::LeftButton);
    }
};

TEST_F(InspectorGameTest, AClickOnARobotsViewInspectsItAndItsBreakpointStopsTheBattleThere) {
    WriteFile("counter.r", kCounter);
    auto app = Start({kSamples[1], KvFile("counter.r")}, "[Setup]\nShowSplash=Off\n", 3);
    app->PlayFor(0.3, "");
    // The second robot's view, second down the column along the right.
    QTest::mouseClick(&app->Surface(), Qt::LeftButton, {}, QPoint(875, 225));
    InspectorWindow& inspector = app->Inspector();
    ASSERT_TRUE(inspector.isVisible());
    EXPECT_EQ(inspector.Robots()->currentText(), "2: counter.r");
    EXPECT_EQ(app->Stage().Inspector().Slot(), 1);

    QPlainTextEdit* source = inspector.Source();
    const QRect fifth = source->cursorRect(QTextCursor(source->document()->findBlockByNumber(4)));
    QTest::mouseClick(source->viewport(), Qt::LeftButton, {}, fifth.center());
    EXPECT_EQ(app->Stage().Inspector().Breakpoints(), (std::vector<int32_t>{5}));
    PlayUntilPaused(*app);
    ASSERT_TRUE(app->Stage().Paused());
    EXPECT_TRUE(Checked(*app, MenuCommand::Pause));

    // The window shows what the machine holds.
    const KvInspection view = app->Stage().Inspector().View();
    EXPECT_EQ(view.stop, KvInspectorStop::Breakpoint);
    EXPECT_EQ(view.machine.line, 5);
    EXPECT_EQ(Stack(*app), (std::vector<std::string>{"step  line 5", "main  line 11"}));
    EXPECT_EQ(CountShown(*app), QString::number(view.machine.globals.at(0).value));
    EXPECT_TRUE(inspector.Status()->text().startsWith("line 5 "));
    EXPECT_TRUE(inspector.Status()->text().endsWith("paused at a breakpoint"));
    EXPECT_EQ(inspector.Source()->textCursor().blockNumber() + 1, 5);
    inspector.grab().save("inspector.png");

    const int64_t atBreakpoint = app->Stage().Battle().Ticks();
    Click(*app, InspectorWindow::Command::StepLine);
    EXPECT_TRUE(inspector.Status()->text().startsWith("line 6 "));
    const int64_t onSix = app->Stage().Battle().Ticks();
    Click(*app, InspectorWindow::Command::StepOut);
    EXPECT_EQ(Stack(*app), (std::vector<std::string>{"main  line 11"}));
    Click(*app, InspectorWindow::Command::Back);
    EXPECT_TRUE(inspector.Status()->text().startsWith("line 6 "));
    Click(*app, InspectorWindow::Command::Back);
    EXPECT_TRUE(inspector.Status()->text().startsWith("line 5 "));
    EXPECT_EQ(app->Stage().Battle().Ticks(), onSix - 1);  // the last moment on line 5
    EXPECT_GE(app->Stage().Battle().Ticks(), atBreakpoint);

    // Continue runs on to the breakpoint's next hit, two counts on.
    const QString before = CountShown(*app);
    Click(*app, InspectorWindow::Command::Continue);
    EXPECT_FALSE(app->Stage().Paused());
    PlayUntilPaused(*app);
    app->PlayFor(0.15, "");
    EXPECT_EQ(CountShown(*app).toInt(), before.toInt() + 2);
    EXPECT_GT(app->Stage().Battle().Ticks(), atBreakpoint);

    // Closed, the inspector watches no more: the battle plays past the breakpoint.
    inspector.close();
    app->Stage().SetPaused(false);
    app->PlayFor(0.5, "");
    EXPECT_FALSE(app->Stage().Paused());
}

}  // namespace
}  // namespace kv
