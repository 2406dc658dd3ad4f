// The whole game in a real window: start-up, the menus' commands, the camera drag, battles
// from the dialog, and the program's scripted runs. Runs on a virtual X display.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <string>

#include "Fifo.h"
#include "InTempDir.h"
#include "app/App.h"
#include "app/ChooseRobotsDialog.h"
#include "app/GameSurface.h"
#include "app/MainWindow.h"
#include "core/KvFS.h"

namespace kv {
namespace {

const std::vector<KvFile> kSamples = {KV_ROBOTS "/sentinel.r", KV_ROBOTS "/hunter.r", KV_ROBOTS "/spiral.r",
                                      KV_ROBOTS "/pendulum.r"};

// Each test plays in its own folder, whose Config.ini turns the splash off unless it says.
class GameTest : public InTempDir {
protected:
    std::unique_ptr<App> Start(std::vector<KvFile> robots, const std::string& config = "[Setup]\nShowSplash=Off\n") {
        WriteFile("Config.ini", config);
        AppOptions options;
        options.archive = KV_GAME_ARCHIVE;
        options.robots = std::move(robots);
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
    for (const char* line : {"Shadow=Map", "OneViewActive=Off", "Sound=Off", "ShowSplash=On", "Keep=1", "; mine"})
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
}

}  // namespace
}  // namespace kv
