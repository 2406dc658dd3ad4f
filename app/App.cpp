#include "app/App.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>

#include "app/ChooseRobotsDialog.h"
#include "app/GameSurface.h"
#include "app/MainWindow.h"
#include "app/TimelineBar.h"
#include "app/SwapControl.h"
#include "core/Random.h"
#include "lang/RobotCompiler.h"
#include "sim/BattleReport.h"

namespace kv {

namespace {
constexpr int kSplashMs = 1000;
constexpr double kPixelsPerRadian = 100;
constexpr double kWindowWaitSeconds = 3;
constexpr const char* kBattleFilter = "Kolvex battles (*.kvb)";

// A battle seed nobody chose: a different battle every time.
uint32_t FreshSeed() {
    static std::random_device device;
    return device();
}
}  // namespace

void ShowErrorBox(const std::string& text, double closeAfter) {
    QMessageBox box(QMessageBox::Critical, "Kolvex", QString::fromLocal8Bit(text.c_str()), QMessageBox::Ok);
    if (closeAfter >= 0) QTimer::singleShot(static_cast<int>(closeAfter * 1000), &box, &QMessageBox::accept);
    box.exec();
}

App::App(AppOptions options) : options_(std::move(options)) {
    showSetupError = [this](const std::string& text) { ShowErrorBox(text, options_.quitAfter); };
    settings_.Read();
}

App::~App() {
    // Init may have failed halfway: whatever started is stopped, in shutdown's order.
    Shutdown();
}

bool App::Fail(std::string why) {
    error_ = std::move(why);
    return false;
}

bool App::Init() {
    if (!store_.Mount(options_.archive)) return Fail(store_.Error().Std());

    if (!splash_.Create(store_.Archive()))
        return Fail(std::string(kSplashEntry) + " is missing from " + options_.archive.CStr() + " or cannot be decoded");
    splash_.onAboutEnd = [this] { OnAboutEnd(); };
    if (settings_.showSplash) splash_.Show(false);

    SeedRandom(static_cast<uint32_t>(std::time(nullptr)));
    capabilities_.soundAvailable = sound_.Init();

    surface_ = new GameSurface;
    window_ = std::make_unique<MainWindow>(surface_);
    window_->onCommand = [this](int32_t id) { OnCommand(id); };
    window_->onClose = [this] { quit_ = true; };
    window_->PlaceCentred();
    surface_->onPress = [this](int x, int y) { OnPress(x, y); };
    surface_->onRelease = [this](int x, int y) { OnRelease(x, y); };
    surface_->onMove = [this](int x, int y) { OnMove(x, y); };
    surface_->onKey = [this](int key, bool shift) { window_->Key(key, shift); };
    window_->Timeline().onSeek = [this](double time) { Seek(time); };

    dialog_ = new ChooseRobotsDialog(window_.get());
    dialog_->onEnd = [this] { OnChooseEnd(); };
    inspector_ = new InspectorWindow(window_.get());
    inspector_->onChoose = [this](int slot) { OpenInspector(slot); };
    inspector_->onCommand = [this](InspectorWindow::Command command) { OnInspectorCommand(command); };
    inspector_->onToggleBreakpoint = [this](int32_t line) {
        KvInspector& inspector = stage_->Inspector();
        inspector.SetBreakpoint(line, !inspector.HasBreakpoint(line));
        RefreshInspector(true);
    };
    // Closed, the inspector stops watching: no breakpoint pauses a battle nobody inspects.
    inspector_->onClose = [this] {
        if (stage_) stage_->Inspect(-1);
    };
    inspector_->onPauseOnFault = [this](bool on) {
        stage_->Inspector().SetPauseOnFault(on);
        RefreshInspector(true);
    };

    if (!surface_->Create(settings_.vsync)) return Fail(surface_->Error());
    capabilities_.swapIntervalChangeable = SwapIntervalChangeable();
    if (capabilities_.swapIntervalChangeable) SetSwapInterval(settings_.vsync);
    capabilities_.renderToTexture = surface_->RenderToTextureSupported();
    UpdateSetupMenu();

    if (!store_.LoadAll()) return Fail(store_.Error().Std());
    textures_.Create(store_);
    soundBank_.Create(capabilities_.soundAvailable ? &sound_ : nullptr, store_.SoundFiles());
    for (const KvString& line : store_.MediaProblems(soundBank_.Refused()))
        std::fprintf(stderr, "kolvex: %s\n", line.CStr());
    store_.ReleaseDecoded();

    MakeStage(KvBattleStage::kDt);
    window_->show();
    WaitForWindow();
    yaw_ = kStartYaw;
    pitch_ = kStartPitch;
    UpdateCamera();
    dragging_ = false;
    if (settings_.showSplash) splash_.StartTimer(kSplashMs);

    if (options_.robots.empty()) {
        // The last choices come back chosen, not fought.
        for (size_t slot = 0; slot < dialog_->choices.size(); ++slot) {
            const Settings::RobotSlot& saved = settings_.robots[slot];
            dialog_->choices[slot] = {saved.enabled, static_cast<int32_t>(slot), KvFile(saved.path.c_str()), std::nullopt};
        }
        dialog_->Initialise();
    } else {
        dialog_->choices = ChoicesOf(options_.robots);
        dialog_->Initialise();
        StartBattle(options_.seed);
    }
    if (options_.battleFile) OpenBattle(*options_.battleFile);
    return true;
}

void App::MakeStage(double dt) {
    stage_.reset();
    stage_ = std::make_unique<KvBattleStage>(*surface_, store_, &textures_, dt);
    stage_->SetSettings(StageSettings());
    if (capabilities_.soundAvailable) stage_->SetSound(&sound_, &soundBank_);
    if (options_.quitAfterTime >= 0) stage_->PauseAt(options_.quitAfterTime);
    stage_->StartWorker();
    UpdateCamera();
}

bool App::OpenBattle(const KvFile& path) {
    KvBattleRecord record;
    KvString error;
    bool ok = LoadBattleFile(path, record, error);
    // Its robots are compiled before anything changes: a battle file refused leaves the
    // battle shown as it was.
    for (const KvBattleSlot& robot : record.robots) {
        if (!ok) break;
        const CompileResult compiled = RobotCompiler::CompileText(robot.source);
        if (compiled.Ok()) continue;
        error.Format("Error, while compiling file %s:\n%s", robot.file.CStr(), compiled.message.CStr());
        ok = false;
    }
    if (!ok) {
        std::fprintf(stderr, "kolvex: %s\n", error.CStr());
        showSetupError(error.CStr());
        return false;
    }
    if (record.dt != stage_->Battle().Dt()) MakeStage(record.dt);
    const std::array<RobotChoice, KvGameHolder::kMaxRobots> choices = BattleChoices(record);
    // New shows the battle's robots; Restart reads their files as they are now.
    for (size_t slot = 0; slot < choices.size(); ++slot) {
        dialog_->choices[slot] = choices[slot];
        dialog_->choices[slot].source.reset();
    }
    dialog_->Initialise();
    const bool started = stage_->StartBattle(choices, record.seed);
    InspectorBattleChanged();
    if (!started) {
        showSetupError(stage_->Error().CStr());
        return false;
    }
    return true;
}

KvBattleRecord App::BattleRecord() const {
    KvBattleRecord record;
    record.seed = stage_->Seed();
    record.dt = stage_->Battle().Dt();
    record.time = stage_->FurthestTime();
    record.program = ProgramVersion();
    const std::array<RobotChoice, KvGameHolder::kMaxRobots>& choices = stage_->Choices();
    for (size_t slot = 0; slot < choices.size(); ++slot) {
        const RobotChoice& choice = choices[slot];
        if (choice.enabled && choice.source)
            record.robots.push_back({static_cast<int>(slot), choice.colour, choice.path, *choice.source});
    }
    if (stage_->Battle().Decided()) {
        HeadlessBattleOptions options;
        options.seed = record.seed;
        options.dt = record.dt;
        options.time = record.time;
        record.report = BattleJson(options, stage_->Battle().Decision());
    }
    return record;
}

bool App::SaveBattle(const KvFile& path) {
    KvString error;
    if (!stage_->HasBattle()) {
        error = "There is no battle to save";
    } else if (SaveBattleFile(path, BattleRecord(), error)) {
        return true;
    }
    std::fprintf(stderr, "kolvex: %s\n", error.CStr());
    showSetupError(error.CStr());
    return false;
}

void App::ChooseBattleToOpen() {
    // Open, not exec: the battle keeps drawing while the player looks for a file.
    auto* files = new QFileDialog(window_.get(), "Open battle", QString(), kBattleFilter);
    files->setFileMode(QFileDialog::ExistingFile);
    files->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(files, &QFileDialog::fileSelected, window_.get(),
                     [this](const QString& file) { OpenBattle(QFile::encodeName(file).constData()); });
    files->open();
}

void App::ChooseBattleToSave() {
    auto* files = new QFileDialog(window_.get(), "Save battle", QString(), kBattleFilter);
    files->setAcceptMode(QFileDialog::AcceptSave);
    files->setDefaultSuffix("kvb");
    files->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(files, &QFileDialog::fileSelected, window_.get(),
                     [this](const QString& file) { SaveBattle(QFile::encodeName(file).constData()); });
    files->open();
}

RenderSettings App::StageSettings() const {
    return {settings_.oneViewActive, settings_.shadowMode, settings_.soundOn && capabilities_.soundAvailable};
}

int App::Run() {
    while (!quit_) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (quit_) break;
        if (window_->OnScreen() && surface_->isExposed()) {
            Frame();
            continue;
        }
        // Nothing can be drawn while the window is hidden: wait for it, not at full speed,
        // but go on showing the battle to the sounds, so that explosions still play and
        // ended ones give their channels back.
        if (firstFrame_ < 0) firstFrame_ = PrecisionClock::Now();
        if (TimeIsUp(PrecisionClock::Now())) quit_ = true;
        stage_->Update();
        QThread::msleep(10);
    }
    return surface_->CaptureWritten() ? 0 : 1;
}

bool App::TimeIsUp(double now) const {
    const bool timeUp = options_.quitAfter >= 0 && now - firstFrame_ >= options_.quitAfter;
    return timeUp || (options_.quitAfterTime >= 0 && stage_->Reached(options_.quitAfterTime));
}

void App::WaitForWindow() {
    // Robot views save their first frame as their picture: it must be drawn at the window's
    // final size, not at the size the window system passed through on the way.
    const double deadline = PrecisionClock::Now() + kWindowWaitSeconds;
    const ClientSize wanted{MainWindow::kClientWidth, MainWindow::kClientHeight};
    while (PrecisionClock::Now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const ClientSize size = surface_->Size();
        if (surface_->isExposed() && size.width == wanted.width && size.height == wanted.height) {
            surface_->ShowBlankFrame(kSkyColour[0], kSkyColour[1], kSkyColour[2]);
            return;
        }
        QThread::msleep(5);
    }
}

int App::PlayFor(double seconds, std::string screenshot) {
    options_.quitAfter = seconds;
    options_.quitAfterTime = -1;
    options_.screenshot = std::move(screenshot);
    firstFrame_ = -1;
    frames_ = 0;
    quit_ = false;
    return Run();
}

int App::PlayUntilTime(double seconds, std::string screenshot) {
    options_.quitAfter = -1;
    options_.quitAfterTime = seconds;
    options_.screenshot = std::move(screenshot);
    stage_->PauseAt(seconds);
    quit_ = false;
    return Run();
}

void App::Frame() {
    const double now = PrecisionClock::Now();
    if (firstFrame_ < 0) {
        firstFrame_ = now;
        frames_ = 0;
        firstBattleTime_ = stage_->Holder().BattleTime();
    }
    lastFrame_ = now;
    lastBattleTime_ = stage_->Holder().BattleTime();
    ++frames_;
    ShowBattleState();
    RefreshInspector(false);
    if (TimeIsUp(now)) {
        // The frame drawn now is the last; with a screenshot asked for, it is saved as drawn.
        if (!options_.screenshot.empty()) surface_->CaptureNextFrame(options_.screenshot);
        quit_ = true;
    }
    stage_->Render();
}

void App::ShowBattleState() {
    window_->SetChecked(MenuCommand::Pause, stage_->Paused());
    window_->Timeline().SetTimes(static_cast<double>(stage_->ShownTick()) * stage_->Battle().Dt(),
                                 stage_->FurthestTime(), stage_->DeathTimes());
}

void App::Seek(double time) {
    stage_->SeekTo(time);
    ShowBattleState();
}

bool App::OnBattleCommand(MenuCommand command) {
    switch (command) {
    case MenuCommand::Pause: stage_->SetPaused(!stage_->Paused()); break;
    case MenuCommand::Step: stage_->Step(false); break;
    case MenuCommand::StepTick: stage_->Step(true); break;
    case MenuCommand::Slower: stage_->Slower(); break;
    case MenuCommand::Faster: stage_->Faster(); break;
    case MenuCommand::NormalSpeed: stage_->SetSpeed(1); break;
    case MenuCommand::Inspector: OpenInspector(inspectedSlot_); break;
    default: return false;
    }
    ShowBattleState();
    RefreshInspector(true);
    return true;
}

void App::OpenInspector(int slot) {
    inspectedSlot_ = slot;
    inspector_->show();
    inspector_->raise();
    InspectorBattleChanged();
}

void App::InspectorBattleChanged() {
    if (!inspector_ || !inspector_->isVisible()) return;
    const KvGameHolder& holder = stage_->Holder();
    if (std::find(holder.robotSlots.begin(), holder.robotSlots.end(), inspectedSlot_) == holder.robotSlots.end())
        inspectedSlot_ = holder.robotSlots.empty() ? -1 : holder.robotSlots.front();
    std::vector<std::pair<int, std::string>> robots;
    for (size_t k = 0; k < holder.robots.size(); ++k) robots.emplace_back(holder.robotSlots[k], holder.robots[k]->name.Std());
    const auto& choices = stage_->Choices();
    const bool known = inspectedSlot_ >= 0 && choices[static_cast<size_t>(inspectedSlot_)].source;
    inspector_->SetRobots(robots, inspectedSlot_, known ? *choices[static_cast<size_t>(inspectedSlot_)].source : "");
    stage_->Inspect(inspectedSlot_);
    RefreshInspector(true);
}

void App::RefreshInspector(bool now) {
    if (!inspector_ || !inspector_->isVisible()) return;
    // A pause shows at once, where the battle stands.
    const double clock = PrecisionClock::Now();
    const bool paused = stage_->Paused();
    if (!now && paused == inspectorShowsPaused_ && clock < nextInspectorRefresh_) return;
    nextInspectorRefresh_ = clock + KvInspector::kPublishSeconds;
    inspectorShowsPaused_ = paused;
    KvInspector& inspector = stage_->Inspector();
    inspector_->Show(inspector.View(), stage_->Battle().Dt(), inspector.Breakpoints(), inspector.PauseOnFault());
}

void App::OnInspectorCommand(InspectorWindow::Command command) {
    using Command = InspectorWindow::Command;
    switch (command) {
    case Command::Pause: stage_->SetPaused(true); break;
    case Command::Continue: stage_->Go(KvInspector::Go::Continue); break;
    case Command::StepLine: stage_->Go(KvInspector::Go::StepLine); break;
    case Command::StepOut: stage_->Go(KvInspector::Go::StepOut); break;
    case Command::Back: stage_->Back(); break;
    }
    ShowBattleState();
    RefreshInspector(true);
}

void App::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    splash_.onAboutEnd = nullptr;
    splash_.hide();
    if (inspector_) {
        inspector_->onClose = nullptr;
        inspector_->hide();
        inspector_ = nullptr;
    }
    // The worker stops first, then the scene and the battle are cleared.
    stage_.reset();
    store_.Release();
    textures_.Release();
    soundBank_.Release();
    dialog_ = nullptr;
    surface_ = nullptr;
    window_.reset();
    sound_.Close();
}

bool App::OnCommand(int32_t id) {
    if (OnSetup(id)) return true;
    if (stage_ && OnBattleCommand(static_cast<MenuCommand>(id))) return true;
    switch (static_cast<MenuCommand>(id)) {
    case MenuCommand::New:
        if (dialog_->Visible()) return true;
        EnableBattleItems(false);
        dialog_->Show();
        return true;
    case MenuCommand::Restart: StartBattle(); return true;
    case MenuCommand::OpenBattle: ChooseBattleToOpen(); return true;
    case MenuCommand::SaveBattle: ChooseBattleToSave(); return true;
    case MenuCommand::Exit: quit_ = true; return true;
    case MenuCommand::About:
        EnableBattleItems(false);
        splash_.SetOwner(window_.get());
        splash_.Show(true);
        return true;
    default: return false;
    }
}

void App::OnChooseEnd() {
    EnableBattleItems(true);
    if (!dialog_->Accepted()) return;
    // The choices come back at the next start.
    for (size_t slot = 0; slot < settings_.robots.size(); ++slot)
        settings_.robots[slot] = {dialog_->choices[slot].enabled, dialog_->choices[slot].path.Std()};
    settings_.WriteRobots();
    StartBattle();
}

void App::OnAboutEnd() { EnableBattleItems(true); }

void App::EnableBattleItems(bool enabled) {
    for (MenuCommand command : {MenuCommand::New, MenuCommand::Restart, MenuCommand::About})
        window_->SetEnabled(command, enabled);
}

void App::UpdateCamera() {
    if (stage_) pitch_ = stage_->SetCamera(yaw_, pitch_);
}

void App::StartBattle(std::optional<uint32_t> seed) {
    const bool started = stage_->StartBattle(dialog_->choices, seed ? *seed : FreshSeed());
    InspectorBattleChanged();
    if (!started) {
        const KvString& message = stage_->Error();
        std::fprintf(stderr, "kolvex: %s\n", message.CStr());
        showSetupError(message.CStr());
    }
}

void App::OnPress(int x, int y) {
    dragging_ = true;
    lastX_ = pressX_ = x;
    lastY_ = pressY_ = y;
}

void App::OnRelease(int x, int y) {
    dragging_ = false;
    if (!stage_ || std::abs(x - pressX_) > 2 || std::abs(y - pressY_) > 2) return;
    const int32_t fromBottom = surface_->Size().height - y;
    const KvGameHolder& holder = stage_->Holder();
    const std::vector<View*>& views = stage_->Scene().Views();
    for (size_t i = 1; i < views.size(); ++i) {
        if (!views[i]->Contains(x, fromBottom)) continue;
        for (size_t k = 0; k < holder.robots.size(); ++k)
            if (holder.robots[k] == views[i]->Robot()) OpenInspector(holder.robotSlots[k]);
    }
}

void App::OnMove(int x, int y) {
    if (!stage_) return;
    if (dragging_) {
        yaw_ += (x - lastX_) / kPixelsPerRadian;
        pitch_ += (y - lastY_) / kPixelsPerRadian;
        lastX_ = x;
        lastY_ = y;
        UpdateCamera();
    } else {
        stage_->Scene().MouseMove(x, surface_->Size().height - y);
    }
}

bool App::OnSetup(int32_t id) {
    if (!stage_) return false;
    const SetupEffects effects = OnSetupCommand(id, settings_, capabilities_);
    if (!effects.handled) return false;
    if (effects.swapInterval) {
        surface_->MakeCurrent();
        SetSwapInterval(*effects.swapInterval);
    }
    // Shadows, views and sound follow the settings through the stage.
    stage_->SetSettings(StageSettings());
    UpdateSetupMenu();
    return true;
}

void App::UpdateSetupMenu() {
    for (const MenuItem& item : kMenuItems) {
        if (item.popup != MenuPopup::Setup) continue;
        const MenuItemState state = SetupItemState(item.command, settings_, capabilities_);
        window_->SetChecked(item.command, state.checked);
        window_->SetEnabled(item.command, !state.grayed);
    }
}

}  // namespace kv
