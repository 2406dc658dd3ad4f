#pragma once
// The game: the main window with its menu and OpenGL client area, the splash and about box,
// the choose-robots dialog, and the two loops. The main thread handles the window's events
// and draws a frame on every pass; the battle stage's worker ticks the battle paced to the
// clock.
//
// Threads: the worker meets the main thread only at the scheduler's pause and the battle's
// published values and events (see BattleStage.h). Battles are built and cleared on the main
// thread with the scheduler paused, so the worker never steps a half-built battle.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/InspectorWindow.h"
#include "app/Menu.h"
#include "app/Settings.h"
#include "app/SetupMenu.h"
#include "app/SplashWindow.h"
#include "assets/ResourceStore.h"
#include "render/TextureSet.h"
#include "sim/BattleFile.h"
#include "sim/GameHolder.h"
#include "sound/SoundBank.h"
#include "sound/SoundSystem.h"
#include "stage/BattleStage.h"

namespace kv {

class ChooseRobotsDialog;
class GameSurface;
class MainWindow;

struct AppOptions {
    KvFile archive = kArchiveFileName;
    std::vector<KvFile> robots;  // chosen at start and fought at once; at most four
    std::optional<KvFile> battleFile;  // a battle to play again, instead of robots
    std::optional<uint32_t> seed;  // the first battle's; a fresh one when not given
    double quitAfter = -1;       // seconds after the first frame (or pass, hidden); negative: never
    double quitAfterTime = -1;   // simulated seconds of the first battle; negative: never
    std::string screenshot;      // PNG of the last frame before quitting
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
    // Runs the loops until the battle's time reaches seconds, then draws its last frame, as
    // --quit-after-time does; the battle waits there.
    int PlayUntilTime(double seconds, std::string screenshot);
    // Stops the worker, then clears the scene and the battle, then the window and sound.
    void Shutdown();

    // A menu command; false for an id no item has.
    bool OnCommand(int32_t id);
    void OnChooseEnd();
    void OnAboutEnd();
    // Places the main camera at yaw and pitch (pitch clamped).
    void UpdateCamera();
    // A new battle of the dialog's choices, with a fresh seed or the one given; the set-up's
    // message when it fails.
    void StartBattle(std::optional<uint32_t> seed = std::nullopt);

    // A battle file's battle from its start, as File > Open battle... and the command line
    // start it. A file that cannot be read or parsed, or holds a robot that does not compile
    // here, is refused with its message, and nothing else changes.
    bool OpenBattle(const KvFile& path);
    // The battle shown now, into a battle file; false with its message shown.
    bool SaveBattle(const KvFile& path);
    // The battle shown now as a battle file holds it: its seed, dt, the furthest time shown,
    // the programs it was set up from, and its report if it has been decided.
    KvBattleRecord BattleRecord() const;

    // Shows a battle set-up message; a message box unless replaced (tests).
    std::function<void(const std::string&)> showSetupError;

    // For tests and tools.
    MainWindow& Window() { return *window_; }
    GameSurface& Surface() { return *surface_; }
    ChooseRobotsDialog& Dialog() { return *dialog_; }
    InspectorWindow& Inspector() { return *inspector_; }
    SplashWindow& Splash() { return splash_; }
    const Settings& CurrentSettings() const { return settings_; }
    KvBattleStage& Stage() { return *stage_; }
    SoundSystem& Sound() { return sound_; }
    KvGameHolder& Holder() { return stage_->Holder(); }
    double Yaw() const { return yaw_; }
    double Pitch() const { return pitch_; }
    // Frames drawn, and seconds from the first frame to the last.
    int64_t Frames() const { return frames_; }
    double FrameSeconds() const { return lastFrame_ - firstFrame_; }
    // The clock reading of the first frame (PrecisionClock seconds).
    double FirstFrameTime() const { return firstFrame_; }
    // Battle seconds that passed from the first frame to the last.
    double BattleSeconds() const { return lastBattleTime_ - firstBattleTime_; }

private:
    bool Fail(std::string why);
    void OnPress(int x, int y);
    // A click that did not drag, on a robot's view, opens the inspector on that robot.
    void OnRelease(int x, int y);
    void OnMove(int x, int y);
    // A Setup command and its effects; false for any other id.
    bool OnSetup(int32_t id);
    void UpdateSetupMenu();
    // New, Restart and About, grayed while a modeless window is open.
    void EnableBattleItems(bool enabled);
    // Until the client area is shown at its full size (or a few seconds have passed).
    void WaitForWindow();
    // Draws one frame and updates the sound; handles --quit-after, --quit-after-time and
    // --screenshot.
    void Frame();
    // Pause, Step, the speeds; false for any other command.
    bool OnBattleCommand(MenuCommand command);
    // The pause's check mark and the timeline as the stage shows the battle.
    void ShowBattleState();
    // The timeline's seek.
    void Seek(double time);
    // The battle stage at dt, its settings and sound given, its worker started.
    void MakeStage(double dt);
    // File > Open battle... and Save battle...: the file dialog, then the file.
    void ChooseBattleToOpen();
    void ChooseBattleToSave();
    // The robot inspector on a slot's robot (the first robot's for a slot without one), shown.
    void OpenInspector(int slot);
    // The battle's robots and the inspected one's program to the inspector, after a new battle.
    void InspectorBattleChanged();
    // The inspector's view of its robot into its window, at most every tenth of a second
    // unless now.
    void RefreshInspector(bool now);
    void OnInspectorCommand(InspectorWindow::Command command);
    // What the settings ask of the battle stage.
    RenderSettings StageSettings() const;
    // The time --quit-after or --quit-after-time gave has come.
    bool TimeIsUp(double now) const;

    AppOptions options_;
    std::string error_;
    Settings settings_;
    SetupCapabilities capabilities_;

    ResourceStore store_;
    SoundSystem sound_;
    KvSoundBank soundBank_;
    KvTextureSet textures_;
    std::unique_ptr<KvBattleStage> stage_;  // once the context and the resources are there

    SplashWindow splash_;
    std::unique_ptr<MainWindow> window_;
    GameSurface* surface_ = nullptr;          // owned by the window
    ChooseRobotsDialog* dialog_ = nullptr;    // owned by the window
    InspectorWindow* inspector_ = nullptr;    // owned by the window
    int inspectedSlot_ = -1;
    double nextInspectorRefresh_ = 0;
    bool inspectorShowsPaused_ = false;
    bool quit_ = false;
    bool dragging_ = false;
    int lastX_ = 0, lastY_ = 0;
    int pressX_ = 0, pressY_ = 0;
    double yaw_ = kStartYaw, pitch_ = kStartPitch;
    double firstFrame_ = -1;  // clock readings of the first and the latest frame
    double firstBattleTime_ = 0, lastBattleTime_ = 0;  // battle times then
    double lastFrame_ = -1;
    int64_t frames_ = 0;
    bool shutDown_ = false;
};

}  // namespace kv
