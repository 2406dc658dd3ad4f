#pragma once
// The game's main window: the menu bar of the command table, the OpenGL client area and the
// timeline under it. Chosen items, the battle keys and the close request go to the
// application's handlers.

#include <QMainWindow>
#include <functional>
#include <map>

#include "app/Menu.h"

class QAction;

namespace kv {

class GameSurface;
class TimelineBar;

class MainWindow : public QMainWindow {
public:
    static constexpr int kClientWidth = 950, kClientHeight = 600;

    // Takes the surface into the client area (the window then owns it).
    explicit MainWindow(GameSurface* surface);

    // Sizes the client area to 950 x 600 and centres the window on the screen.
    void PlaceCentred();
    QAction* Action(MenuCommand command) const { return actions_.at(command); }
    void SetChecked(MenuCommand command, bool checked);
    void SetEnabled(MenuCommand command, bool enabled);
    // Whether the window is on the screen: shown, not minimised, not unmapped by the window
    // system. The surface inside it keeps saying it is exposed when only the window is gone.
    bool OnScreen() const;

    TimelineBar& Timeline() const { return *timeline_; }
    // The command a key gives (Space, Right, Shift+Right, -, +, =, 0), else 0; the keys of the
    // Battle pop-up's items.
    static int32_t KeyCommand(int key, bool shift);
    // A key pressed in the window or its 3D view: its command, if it has one.
    void Key(int key, bool shift);

    std::function<void(int32_t id)> onCommand;
    std::function<void()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::map<MenuCommand, QAction*> actions_;
    QWidget* client_ = nullptr;
    TimelineBar* timeline_ = nullptr;
};

}  // namespace kv
