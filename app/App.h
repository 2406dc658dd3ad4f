#pragma once
// The game: the main window with its menu and OpenGL client area, the splash and about box,
// the choose-robots dialog, and the two loops. The main thread handles the window's events
// and draws a frame on every pass; the worker thread ticks the scheduler without pause.
//
// Threads: the worker meets the main thread only at the scene lock, the scheduler's pause
// and the sound lock. Battles are built and cleared on the main thread with the scheduler
// paused, so the worker never steps a half-built battle.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Menu.h"
#include "app/Settings.h"
#include "app/SetupMenu.h"
#include "app/SplashWindow.h"
#include "assets/ResourceStore.h"
#include "fx/EffectsPresenter.h"
#include "render/Ground.h"
#include "render/RenderSettings.h"
#include "render/Scene.h"
#include "render/TextureSet.h"
#include "render/View.h"
#include "sim/GameHolder.h"
#include "sim/Scheduler.h"
#include "sim/SimulationThread.h"
#include "sound/SoundBank.h"
#include "sound/SoundSystem.h"

namespace kv {

class ChooseRobotsDialog;
class GameSurface;
class MainWindow;

struct AppOptions {
    KvFile archive = kArchiveFileName;
    std::vector<KvFile> robots;  // chosen at start and fought at once; at most four
    double quitAfter = -1;       // seconds after the first frame; negative: never
    std::string screenshot;      // PNG of the last frame before quitting after quitAfter
};

// The game's message box: title "Kolvex", the stop icon, an OK button, no owner. With
// closeAfter >= 0 it closes itself after that many seconds (scripted runs).
void ShowErrorBox(const std::string& text, double closeAfter = -1);

class App {
public:
    static constexpr double kStartYaw = 0.0, kStartPitch = 0.7;

    // Reads the settings file of the current directory.
    explicit App(AppOptions options);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // Start-up; false with Error() saying why.
    bool Init();
    const std::string& Error() const { return error_; }
    // The loops, until the window closes or Exit; the exit status.
    int Run();
    // Runs the loops for seconds from the next frame, saving the last frame as a PNG when
    // screenshot is not empty, as --quit-after and --screenshot do.
    int PlayFor(double seconds, std::string screenshot);
    // Stops the worker, then clears the scene and the battle, then the window and sound.
    void Shutdown();

    // A menu command; false for an id no item has.
    bool OnCommand(int32_t id);
    void OnChooseEnd();
    void OnAboutEnd();
    // Places the main camera at yaw and pitch (pitch clamped).
    void UpdateCamera();
    // A new battle of the dialog's choices; the set-up's message when it fails.
    void StartBattle();

    // Shows a battle set-up message; a message box unless replaced (tests).
    std::function<void(const std::string&)> showSetupError;

    // For tests and tools.
    MainWindow& Window() { return *window_; }
    GameSurface& Surface() { return *surface_; }
    ChooseRobotsDialog& Dialog() { return *dialog_; }
    SplashWindow& Splash() { return splash_; }
    const Settings& CurrentSettings() const { return settings_; }
    KvGameHolder& Holder() { return holder_; }
    double Yaw() const { return yaw_; }
    double Pitch() const { return pitch_; }
    // Frames drawn, and seconds from the first frame to the last.
    int64_t Frames() const { return frames_; }
    double FrameSeconds() const { return lastFrame_ - firstFrame_; }
    // The clock reading of the first frame (PrecisionClock seconds).
    double FirstFrameTime() const { return firstFrame_; }

private:
    bool Fail(std::string why);
    void OnPress(int x, int y);
    void OnRelease();
    void OnMove(int x, int y);
    // A Setup command and its effects; false for any other id.
    bool OnSetup(int32_t id);
    void UpdateSetupMenu();
    // New, Restart and About, grayed while a modeless window is open.
    void EnableBattleItems(bool enabled);
    // Until the client area is shown at its full size (or a few seconds have passed).
    void WaitForWindow();
    // Draws one frame and updates the sound; handles --quit-after and --screenshot.
    void Frame();

    AppOptions options_;
    std::string error_;
    Settings settings_;
    SetupCapabilities capabilities_;
    RenderSettings renderSettings_;

    ResourceStore store_;
    SoundSystem sound_;
    KvSoundBank soundBank_;
    KvTextureSet textures_;
    ProcessScheduler scheduler_;
    KvGround ground_;
    KvScene scene_;
    View mainView_{ViewKind::Main};
    // The presenter outlives the session, whose clearing it is told of.
    KvEffectsPresenter presenter_;
    KvGameHolder holder_;
    SimulationThread worker_{scheduler_};

    SplashWindow splash_;
    std::unique_ptr<MainWindow> window_;
    GameSurface* surface_ = nullptr;          // owned by the window
    ChooseRobotsDialog* dialog_ = nullptr;    // owned by the window
    bool holderAdded_ = false;
    bool quit_ = false;
    bool dragging_ = false;
    int lastX_ = 0, lastY_ = 0;
    double yaw_ = kStartYaw, pitch_ = kStartPitch;
    double firstFrame_ = -1;  // clock readings of the first and the latest frame
    double lastFrame_ = -1;
    int64_t frames_ = 0;
    bool shutDown_ = false;
};

}  // namespace kv
