// The choose-robots dialog, the splash and about box and the main window's menu, driven as a
// player drives them.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTreeWidget>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <set>
#include <thread>

#include "app/ChooseRobotsDialog.h"
#include "app/InspectorWindow.h"
#include "app/GameSurface.h"
#include "app/MainWindow.h"
#include "app/SplashWindow.h"
#include "assets/Image.h"
#include "core/KvFS.h"

namespace kv {
namespace {

struct DialogTest : ::testing::Test {
    ChooseRobotsDialog dialog;
    int ends = 0;
    DialogTest() { dialog.onEnd = [this] { ++ends; }; }

    void Choose(int slot, const char* path) {
        dialog.Check(slot)->setChecked(true);
        dialog.PathField(slot)->setText(path);
    }
};

TEST_F(DialogTest, SlotsStartEmptyAndFollowTheirCheckBoxes) {
    EXPECT_EQ(dialog.windowTitle(), "Choose robots");
    for (int slot = 0; slot < 4; ++slot) {
        EXPECT_FALSE(dialog.choices[slot].enabled);
        EXPECT_EQ(dialog.choices[slot].colour, slot);
        EXPECT_FALSE(dialog.Check(slot)->isChecked());
        EXPECT_FALSE(dialog.PathField(slot)->isEnabled());
        EXPECT_FALSE(dialog.BrowseButton(slot)->isEnabled());
        EXPECT_FALSE(dialog.PathField(slot)->isReadOnly()) << "a path can be typed or pasted";
    }
    Choose(2, "/robots/a.r");
    EXPECT_TRUE(dialog.PathField(2)->isEnabled());
    EXPECT_TRUE(dialog.BrowseButton(2)->isEnabled());
    dialog.Check(2)->setChecked(false);
    EXPECT_FALSE(dialog.PathField(2)->isEnabled());
    EXPECT_FALSE(dialog.BrowseButton(2)->isEnabled());
    EXPECT_TRUE(dialog.PathField(2)->text().isEmpty());
    EXPECT_TRUE(dialog.OkButton()->isDefault());
}

TEST_F(DialogTest, OkTakesTheFieldsAndEndsAccepted) {
    dialog.Show();
    EXPECT_TRUE(dialog.Visible());
    EXPECT_FALSE(dialog.Accepted());
    Choose(0, "/robots/a.r");
    Choose(3, "/robots/b.r");
    Choose(1, "/robots/c.r");
    dialog.Check(1)->setChecked(false);  // unchecked: its path is emptied
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(dialog.Accepted());
    EXPECT_FALSE(dialog.Visible());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.choices[0].enabled);
    EXPECT_STREQ(dialog.choices[0].path.CStr(), "/robots/a.r");
    EXPECT_FALSE(dialog.choices[1].enabled);
    EXPECT_STREQ(dialog.choices[1].path.CStr(), "");
    EXPECT_FALSE(dialog.choices[2].enabled);
    EXPECT_TRUE(dialog.choices[3].enabled);
    EXPECT_STREQ(dialog.choices[3].path.CStr(), "/robots/b.r");
}

TEST_F(DialogTest, OkWithNothingCheckedStillEndsAccepted) {
    dialog.Show();
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(dialog.Accepted());
    for (const RobotChoice& choice : dialog.choices) EXPECT_FALSE(choice.enabled);
}

TEST_F(DialogTest, CancelAndCloseKeepTheChoicesButNotTheFieldsOfTheLastOk) {
    dialog.Show();
    Choose(0, "/robots/a.r");
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);

    dialog.Show();
    Choose(0, "/robots/other.r");
    Choose(2, "/robots/c.r");
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(ends, 2);
    EXPECT_FALSE(dialog.Accepted());
    EXPECT_STREQ(dialog.choices[0].path.CStr(), "/robots/a.r");
    EXPECT_FALSE(dialog.choices[2].enabled);
    // Shown again without re-initialising: the fields are as the player left them.
    dialog.Show();
    EXPECT_EQ(dialog.PathField(0)->text(), "/robots/other.r");
    EXPECT_TRUE(dialog.Check(2)->isChecked());

    dialog.close();  // the window's close button
    EXPECT_EQ(ends, 3);
    EXPECT_FALSE(dialog.Accepted());
    EXPECT_FALSE(dialog.Visible());
    EXPECT_STREQ(dialog.choices[0].path.CStr(), "/robots/a.r");

    dialog.Show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(ends, 4);
    EXPECT_FALSE(dialog.Accepted());
}

TEST_F(DialogTest, InitialiseShowsTheChoices) {
    dialog.choices[1] = {true, 1, KvFile("/robots/x.r"), std::nullopt};
    dialog.Initialise();
    EXPECT_TRUE(dialog.Check(1)->isChecked());
    EXPECT_EQ(dialog.PathField(1)->text(), "/robots/x.r");
    EXPECT_TRUE(dialog.BrowseButton(1)->isEnabled());
    EXPECT_FALSE(dialog.BrowseButton(0)->isEnabled());
}

// Regression: paths were cut at 260 characters and passed through a lossy conversion, so OK
// without a change gave the battle a file that does not exist.
TEST_F(DialogTest, OkKeepsEveryPathWholeAndByteForByte) {
    std::string longPath = "/robots";
    while (longPath.size() < 700) longPath += "/a_folder_with_a_long_name";
    longPath += "/robot.r";
    const KvFile paths[] = {longPath.c_str(), "/robots/m\xFCller.r", "/robots/M\xC3\xBCller.r", "/r/\xFF\xFE.r"};
    for (int slot = 0; slot < 4; ++slot) dialog.choices[slot] = {true, slot, paths[slot], std::nullopt};
    dialog.Initialise();
    EXPECT_EQ(dialog.PathField(0)->text().toStdString(), longPath);
    EXPECT_EQ(dialog.PathField(1)->text(), QString::fromUtf8("/robots/m\uFFFDller.r")) << "a readable form";
    EXPECT_EQ(dialog.PathField(2)->text(), QString::fromUtf8("/robots/M\u00FCller.r"));
    for (int round = 0; round < 2; ++round) {  // and again after showing the dialog anew
        dialog.Show();
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        for (int slot = 0; slot < 4; ++slot) EXPECT_STREQ(dialog.choices[slot].path.CStr(), paths[slot].CStr()) << slot;
    }
    // A name put in the field otherwise (as the file dialog does) is taken in UTF-8.
    dialog.PathField(1)->setText(QString::fromUtf8("/robots/\u00E9t\u00E9.r"));
    dialog.Check(3)->setChecked(false);
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_STREQ(dialog.choices[1].path.CStr(), "/robots/\xC3\xA9t\xC3\xA9.r");
    EXPECT_STREQ(dialog.choices[3].path.CStr(), "");
    EXPECT_STREQ(dialog.choices[0].path.CStr(), longPath.c_str());
}

// A JPEG archive entry is the game's; here a picture whose top-left pixel differs from the rest.
TEST(SplashPictureTest, RowsComeTopFirstAndTheVersionIsOurs) {
    KvImage image;
    image.width = 2;
    image.height = 2;
    image.bitsPerPixel = 24;
    // Bottom row first: the top-left pixel is the third.
    image.pixels = {0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0};
    const QImage picture = SplashPicture(image);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(picture.pixel(0, 1), qRgb(0, 0, 0));
    EXPECT_TRUE(SplashPicture(KvImage()).isNull());

    EXPECT_TRUE(VersionLine().contains(KV_VERSION));
    EXPECT_FALSE(VersionLine().contains("http"));
    EXPECT_FALSE(VersionLine().contains("www"));
}

struct SplashTest : ::testing::Test {
    KvFS archive{KV_GAME_ARCHIVE};
    SplashWindow splash;
    int aboutEnds = 0;
    void SetUp() override {
        ASSERT_TRUE(splash.Create(&archive));
        splash.onAboutEnd = [this] { ++aboutEnds; };
    }
    void Click() { QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(10, 10)); }
};

TEST_F(SplashTest, IsThePictureWithTheVersionLineCentredNearItsBottom) {
    EXPECT_EQ(splash.size(), splash.Picture().size());
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    KvImage image;
    KvFSIStream in(&archive, "splash.jpg");
    ASSERT_TRUE(LoadImage(image, in, ImageFormat::Jpeg));
    const QImage plain = SplashPicture(image);
    const QImage& shown = splash.Picture();
    ASSERT_EQ(plain.size(), shown.size());
    // Where the line was drawn: its box is centred, its bottom one text height above the edge.
    QRect drawn;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x)
            if (plain.pixel(x, y) != shown.pixel(x, y)) drawn |= QRect(x, y, 1, 1);
    ASSERT_FALSE(drawn.isEmpty());
    const int textHeight = drawn.height();
    EXPECT_NEAR(drawn.left() + drawn.right(), plain.width(), 2);
    EXPECT_EQ(drawn.bottom() + 1, plain.height() - textHeight);
    EXPECT_GT(drawn.width(), 100);
}

TEST_F(SplashTest, StartUpSplashHidesOnClickWithoutEndingTheAboutBox) {
    splash.Show(false);
    EXPECT_TRUE(splash.isVisible());
    Click();
    EXPECT_FALSE(splash.isVisible());
    EXPECT_EQ(aboutEnds, 0);
}

TEST_F(SplashTest, StartUpSplashHidesAfterItsTimer) {
    splash.Show(false);
    splash.StartTimer(20);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (splash.isVisible() && std::chrono::steady_clock::now() < deadline) QTest::qWait(10);
    EXPECT_FALSE(splash.isVisible());
    EXPECT_EQ(aboutEnds, 0);
}

TEST_F(SplashTest, AboutBoxStaysUntilClickedThenEnds) {
    splash.Show(true);
    QTest::qWait(50);
    EXPECT_TRUE(splash.isVisible());
    Click();
    EXPECT_FALSE(splash.isVisible());
    EXPECT_EQ(aboutEnds, 1);
}

TEST(SplashCreateTest, FailsWithoutItsPicture) {
    SplashWindow splash;
    EXPECT_FALSE(splash.Create(nullptr));
    KvFS missing("/nonexistent/Kolvex.kvfs");
    EXPECT_FALSE(splash.Create(&missing));
}

TEST(MainWindowTest, MenusFollowTheCommandTable) {
    MainWindow window(new GameSurface);
    EXPECT_EQ(window.windowTitle(), "Kolvex");
    const QList<QAction*> popups = window.menuBar()->actions();
    ASSERT_EQ(popups.size(), 4);
    EXPECT_EQ(popups[0]->text(), "File");
    EXPECT_EQ(popups[1]->text(), "Setup");
    EXPECT_EQ(popups[2]->text(), "Battle");
    EXPECT_EQ(popups[3]->text(), "Help");
    QStringList file;
    for (QAction* a : popups[0]->menu()->actions()) file << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(file, QStringList({"New", "Restart", "Open battle...", "Save battle...", "-", "Exit"}));
    QStringList setup;
    for (QAction* a : popups[1]->menu()->actions()) setup << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(setup, QStringList({"Sound on", "-", "VSync", "-", "Shadow off", "Shadow map", "Shadow stencil", "-",
                                  "One robot view active", "All robot views active", "-", "Show splash at startup"}));

    std::vector<int32_t> ids;
    window.onCommand = [&](int32_t id) { ids.push_back(id); };
    QAction* shadowMap = window.Action(MenuCommand::ShadowMap);
    shadowMap->trigger();
    window.Action(MenuCommand::Exit)->trigger();
    EXPECT_EQ(ids, (std::vector<int32_t>{40008, 40003}));
    EXPECT_FALSE(shadowMap->isChecked());  // the handler sets the marks from the settings

    // The Battle pop-up's keys give its commands, except while an item is grayed.
    ids.clear();
    for (auto [key, shift] : {std::pair{Qt::Key_Space, false}, {Qt::Key_Right, false}, {Qt::Key_Right, true},
                              {Qt::Key_Minus, false}, {Qt::Key_Plus, false}, {Qt::Key_Equal, false},
                              {Qt::Key_0, false}, {Qt::Key_I, false}, {Qt::Key_A, false}})
        window.Key(key, shift);
    EXPECT_EQ(ids, (std::vector<int32_t>{40015, 40016, 40017, 40018, 40019, 40019, 40020, 40023}));
    window.SetEnabled(MenuCommand::Pause, false);
    window.Key(Qt::Key_Space, false);
    EXPECT_EQ(ids.size(), 8u);
    EXPECT_TRUE(window.Action(MenuCommand::Pause)->isCheckable());

    bool closed = false;
    window.onClose = [&] { closed = true; };
    window.show();
    window.close();
    EXPECT_TRUE(closed);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// A robot stopped at a breakpoint in step(), called from main, after a fault and some calls.
KvInspection Stopped() {
    KvInspection view;
    view.slot = 1;
    view.alive = true;
    view.paused = true;
    view.tick = 31402;
    view.stop = KvInspectorStop::Breakpoint;
    KvMachineView& m = view.machine;
    m.line = 5;
    m.frames = {{"step", 5, 47}, {"main", 11, 12}};
    m.globals = {{"count", KvDebugVariable::Kind::Global, 42}};
    m.locals = {{"n", KvDebugVariable::Kind::Parameter, 2}, {"x", KvDebugVariable::Kind::Local, -7}};
    m.record.restarts = 3;
    m.record.instructions = 123456;
    m.record.last = {KvFaultKind::DivisionByZero, 25, 12, 31402, 31.402};
    m.record.calls = {{DRIVE, {0, 50}, 1, 5, 100, 0.1}, {SCAN, {90, 10}, 0, 7, 200, 0.2}};
    return view;
}

std::vector<std::string> Items(QListWidget* list) {
    std::vector<std::string> items;
    for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text().toStdString());
    return items;
}

TEST(InspectorWindowTest, ShowsTheRobotsLineStackVariablesFaultAndCalls) {
    InspectorWindow window;
    window.SetRobots({{0, "hunter.r"}, {1, "counter.r"}}, 1, "int count;\nstep(n)\n{\n    x = 1;\n    drive(0, 50);\n}\n");
    window.Show(Stopped(), 0.001, {2}, false);
    EXPECT_EQ(window.windowTitle(), "Robot inspector");
    EXPECT_EQ(window.Robots()->currentText(), "2: counter.r");
    EXPECT_EQ(window.Source()->document()->blockCount(), 6);
    EXPECT_EQ(window.Source()->document()->findBlockByNumber(4).text(), "   5      drive(0, 50);");
    // The current line and the breakpoint are marked, and the current line is the cursor's.
    std::set<int> marked;
    for (const QTextEdit::ExtraSelection& s : window.Source()->extraSelections()) marked.insert(s.cursor.blockNumber() + 1);
    EXPECT_EQ(marked, (std::set<int>{2, 5}));
    EXPECT_EQ(window.Source()->textCursor().blockNumber() + 1, 5);

    EXPECT_EQ(Items(window.Stack()), (std::vector<std::string>{"step  line 5", "main  line 11"}));
    QTreeWidgetItem* globals = window.Variables()->topLevelItem(0);
    QTreeWidgetItem* function = window.Variables()->topLevelItem(1);
    ASSERT_EQ(globals->childCount(), 1);
    EXPECT_EQ(globals->child(0)->text(0), "count");
    EXPECT_EQ(globals->child(0)->text(1), "42");
    EXPECT_EQ(function->text(0), "step");
    ASSERT_EQ(function->childCount(), 2);
    EXPECT_EQ(function->child(0)->text(0), "n (parameter)");
    EXPECT_EQ(function->child(1)->text(1), "-7");
    EXPECT_EQ(window.Faults()->text(), "restarts 3   latest fault: division by zero on line 12 at 31.402 s");
    EXPECT_TRUE(window.Status()->text().contains("31.402 s")) << window.Status()->text().toStdString();
    EXPECT_TRUE(window.Status()->text().contains("instructions 123456"));
    EXPECT_TRUE(window.Status()->text().endsWith("paused at a breakpoint"));
    EXPECT_EQ(Items(window.Calls()), (std::vector<std::string>{"0.200 s  line 7  scan(90, 10) = 0",
                                                               "0.100 s  line 5  drive(0, 50) = 1"}));
    EXPECT_FALSE(window.Button(InspectorWindow::Command::Pause)->isEnabled());
    EXPECT_TRUE(window.Button(InspectorWindow::Command::StepLine)->isEnabled());
}

TEST(InspectorWindowTest, AtAFaultShowsTheMachineBeforeItsRestart) {
    InspectorWindow window;
    window.SetRobots({{1, "counter.r"}}, 1, std::string(20, '\n'));
    KvInspection view = Stopped();
    view.stop = KvInspectorStop::Fault;
    view.faulted.line = 12;
    view.faulted.frames = {{"main", 12, 25}};
    view.machine.line = 8;  // restarted
    window.Show(view, 0.001, {}, true);
    EXPECT_EQ(window.Source()->textCursor().blockNumber() + 1, 12);
    EXPECT_EQ(Items(window.Stack()), (std::vector<std::string>{"main  line 12"}));
    EXPECT_TRUE(window.Status()->text().endsWith("paused at a fault, before the restart"));
    EXPECT_TRUE(window.PauseOnFaultBox()->isChecked());
}

TEST(InspectorWindowTest, ClicksGiveBreakpointsCommandsAndTheRobotChosen) {
    InspectorWindow window;
    window.resize(900, 600);
    window.show();
    window.SetRobots({{0, "hunter.r"}, {2, "counter.r"}}, 0, "a\nb\nc\nd\ne\n");
    KvInspection running = Stopped();
    running.paused = false;
    window.Show(running, 0.001, {}, false);
    EXPECT_TRUE(window.Button(InspectorWindow::Command::Pause)->isEnabled());
    EXPECT_FALSE(window.Button(InspectorWindow::Command::Back)->isEnabled());

    std::vector<int32_t> lines;
    std::vector<InspectorWindow::Command> commands;
    int chosen = -1;
    bool faultPause = false;
    window.onToggleBreakpoint = [&](int32_t line) { lines.push_back(line); };
    window.onCommand = [&](InspectorWindow::Command c) { commands.push_back(c); };
    window.onChoose = [&](int slot) { chosen = slot; };
    window.onPauseOnFault = [&](bool on) { faultPause = on; };
    QPlainTextEdit* source = window.Source();
    const QRect third = source->cursorRect(QTextCursor(source->document()->findBlockByNumber(2)));
    QTest::mouseClick(source->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(lines, (std::vector<int32_t>{3}));
    QTest::mouseClick(window.Button(InspectorWindow::Command::Pause), Qt::LeftButton);
    EXPECT_EQ(commands, (std::vector<InspectorWindow::Command>{InspectorWindow::Command::Pause}));
    window.PauseOnFaultBox()->click();
    EXPECT_TRUE(faultPause);
    window.Robots()->setCurrentIndex(1);
    Q_EMIT window.Robots()->activated(1);
    EXPECT_EQ(chosen, 2);
}

}  // namespace
}  // namespace kv
