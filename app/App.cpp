#include "app/App.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <ctime>

#include "app/ChooseRobotsDialog.h"
#include "app/GameSurface.h"
#include "app/MainWindow.h"
#include "app/SwapControl.h"
#include "core/Random.h"
#include "sim/RobotGeometry.h"

namespace kv {

namespace {
constexpr int kSplashMs = 1000;
constexpr double kPixelsPerRadian = 100;
constexpr double kWindowWaitSeconds = 3;
}  // namespace

void ShowErrorBox(const std::string& text, double closeAfter) {
    QMessageBox box(QMessageBox::Critical, "Kolvex", QString::fromLocal8Bit(text.c_str()), QMessageBox::Ok);
    if (closeAfter >= 0) QTimer::singleShot(static_cast<int>(closeAfter * 1000), &box, &QMessageBox::accept);
    box.exec();
}

App::App(AppOptions options)
    : options_(std::move(options)),
      presenter_(scene_, ground_, store_, &textures_, static_cast<uint32_t>(std::time(nullptr))),
      holder_(scheduler_, ground_, &presenter_) {
    showSetupError = [this](const std::string& text) { ShowErrorBox(text, options_.quitAfter); };
    settings_.Read();
    renderSettings_ = {settings_.oneViewActive, settings_.shadowMode};
    presenter_.SetHolder(&holder_);
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
    surface_->onRelease = [this](int, int) { OnRelease(); };
    surface_->onMove = [this](int x, int y) { OnMove(x, y); };

    dialog_ = new ChooseRobotsDialog(window_.get());
    dialog_->onEnd = [this] { OnChooseEnd(); };

    if (!surface_->Create(settings_.vsync)) return Fail(surface_->Error());
    capabilities_.swapIntervalChangeable = SwapIntervalChangeable();
    if (capabilities_.swapIntervalChangeable) SetSwapInterval(settings_.vsync);
    capabilities_.renderToTexture = surface_->RenderToTextureSupported();
    UpdateSetupMenu();

    worker_.Start();

    if (!store_.LoadAll()) return Fail(store_.Error().Std());
    holder_.SetGeometry(RobotGeometry::FromParts(store_.RobotParts()));
    textures_.Create(store_);
    soundBank_.Create(capabilities_.soundAvailable ? &sound_ : nullptr, store_.SoundFiles());
    for (const KvString& line : store_.MediaProblems(soundBank_.Refused()))
        std::fprintf(stderr, "kolvex: %s\n", line.CStr());
    store_.ReleaseDecoded();
    if (capabilities_.soundAvailable) {
        presenter_.SetSound(&sound_, &soundBank_, settings_.soundOn);
        sound_.SetMute(!settings_.soundOn);
    }

    scene_.Init(*surface_, &ground_, &textures_);
    scene_.SetSettings(&renderSettings_);
    window_->show();
    WaitForWindow();
    mainView_.SetWindow(surface_);
    scene_.AddView(&mainView_);
    scheduler_.Add(&holder_, true, false);
    holderAdded_ = true;
    yaw_ = kStartYaw;
    pitch_ = kStartPitch;
    UpdateCamera();
    dragging_ = false;
    if (settings_.showSplash) splash_.StartTimer(kSplashMs);

    if (!options_.robots.empty()) {
        for (size_t slot = 0; slot < dialog_->choices.size(); ++slot) {
            const bool chosen = slot < options_.robots.size();
            dialog_->choices[slot] = {chosen, static_cast<int32_t>(slot), chosen ? options_.robots[slot] : KvFile()};
        }
        dialog_->Initialise();
        StartBattle();
    }
    return true;
}

int App::Run() {
    while (!quit_) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (quit_) break;
        if (!surface_->isExposed()) {
            // Nothing can be drawn while the window is hidden: wait for it, not at full speed.
            QThread::msleep(10);
            continue;
        }
        Frame();
    }
    return surface_->CaptureWritten() ? 0 : 1;
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
    options_.screenshot = std::move(screenshot);
    firstFrame_ = -1;
    quit_ = false;
    return Run();
}

void App::Frame() {
    const double now = PrecisionClock::Now();
    if (firstFrame_ < 0) {
        firstFrame_ = now;
        frames_ = 0;
    }
    lastFrame_ = now;
    ++frames_;
    if (options_.quitAfter >= 0 && now - firstFrame_ >= options_.quitAfter) {
        // The frame drawn now is the last; with a screenshot asked for, it is saved as drawn.
        if (!options_.screenshot.empty()) surface_->CaptureNextFrame(options_.screenshot);
        quit_ = true;
    }
    surface_->MakeCurrent();
    scene_.Render();
    sound_.Update();
}

void App::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    splash_.onAboutEnd = nullptr;
    splash_.hide();
    worker_.Stop();
    if (surface_) surface_->MakeCurrent();
    scene_.Clear();
    holder_.Clear();
    if (holderAdded_) {
        scheduler_.Forget(&holder_);
        holderAdded_ = false;
    }
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
    switch (static_cast<MenuCommand>(id)) {
    case MenuCommand::New:
        if (dialog_->Visible()) return true;
        EnableBattleItems(false);
        dialog_->Show();
        return true;
    case MenuCommand::Restart: StartBattle(); return true;
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
    if (dialog_->Accepted()) StartBattle();
}

void App::OnAboutEnd() { EnableBattleItems(true); }

void App::EnableBattleItems(bool enabled) {
    for (MenuCommand command : {MenuCommand::New, MenuCommand::Restart, MenuCommand::About})
        window_->SetEnabled(command, enabled);
}

void App::UpdateCamera() { pitch_ = mainView_.camera.Orbit(yaw_, pitch_); }

void App::StartBattle() {
    scheduler_.SetPaused(true);
    scene_.Clear();
    holder_.Clear();
    ground_.AttachTree(scene_.GroundTree());
    holder_.choices = dialog_->choices;
    presenter_.SeedEffects(static_cast<uint32_t>(std::time(nullptr)));
    const bool ok = holder_.SetupBattle();
    scheduler_.SetPaused(false);
    if (!ok) {
        const KvString& message = holder_.SetupError();
        std::fprintf(stderr, "kolvex: %s\n", message.CStr());
        showSetupError(message.CStr());
    }
}

void App::OnPress(int x, int y) {
    dragging_ = true;
    lastX_ = x;
    lastY_ = y;
}

void App::OnRelease() { dragging_ = false; }

void App::OnMove(int x, int y) {
    if (dragging_) {
        yaw_ += (x - lastX_) / kPixelsPerRadian;
        pitch_ += (y - lastY_) / kPixelsPerRadian;
        lastX_ = x;
        lastY_ = y;
        UpdateCamera();
    } else {
        scene_.MouseMove(x, surface_->Size().height - y);
    }
}

bool App::OnSetup(int32_t id) {
    const SetupEffects effects = OnSetupCommand(id, settings_, capabilities_);
    if (!effects.handled) return false;
    if (effects.swapInterval) {
        surface_->MakeCurrent();
        SetSwapInterval(*effects.swapInterval);
    }
    if (effects.mute) {
        sound_.SetMute(*effects.mute);
        presenter_.SetSoundOn(settings_.soundOn);
    }
    renderSettings_ = {settings_.oneViewActive, settings_.shadowMode};
    if (effects.shadowChange) {
        surface_->MakeCurrent();
        presenter_.ShadowModeChanged(effects.shadowChange->from, effects.shadowChange->to);
    }
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
