#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include "app/GameSurface.h"
#include "app/TimelineBar.h"

namespace kv {

namespace {
constexpr const char* kPopupTitles[] = {"File", "Setup", "Battle", "Help"};
}

MainWindow::MainWindow(GameSurface* surface) {
    setWindowTitle("Kolvex");
    QMenu* popups[4] = {};
    for (const MenuItem& item : kMenuItems) {
        QMenu*& popup = popups[static_cast<int>(item.popup)];
        if (!popup) popup = menuBar()->addMenu(kPopupTitles[static_cast<int>(item.popup)]);
        QAction* action = popup->addAction(QString::fromUtf8(item.text.data(), static_cast<qsizetype>(item.text.size())));
        action->setCheckable(item.popup == MenuPopup::Setup || item.command == MenuCommand::Pause);
        const int32_t id = static_cast<int32_t>(item.command);
        // The check marks follow the settings, not the click: the handler sets them.
        connect(action, &QAction::triggered, this, [this, action, id] {
            if (action->isCheckable()) action->setChecked(!action->isChecked());
            if (onCommand) onCommand(id);
        });
        actions_[item.command] = action;
        if (item.separatorAfter) popup->addSeparator();
    }
    client_ = QWidget::createWindowContainer(surface, this);
    client_->setMinimumSize(160, 120);
    client_->setFocusPolicy(Qt::StrongFocus);
    timeline_ = new TimelineBar;
    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(client_, 1);
    column->addWidget(timeline_);
    setCentralWidget(central);
}

int32_t MainWindow::KeyCommand(int key, bool shift) {
    MenuCommand command;
    switch (key) {
    case Qt::Key_Space: command = MenuCommand::Pause; break;
    case Qt::Key_Right: command = shift ? MenuCommand::StepTick : MenuCommand::Step; break;
    case Qt::Key_Minus: command = MenuCommand::Slower; break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: command = MenuCommand::Faster; break;
    case Qt::Key_0: command = MenuCommand::NormalSpeed; break;
    case Qt::Key_I: command = MenuCommand::Inspector; break;
    default: return 0;
    }
    return static_cast<int32_t>(command);
}

void MainWindow::Key(int key, bool shift) {
    const int32_t id = KeyCommand(key, shift);
    if (id == 0 || !onCommand) return;
    // A grayed item's key does nothing either.
    if (Action(static_cast<MenuCommand>(id))->isEnabled()) onCommand(id);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (KeyCommand(event->key(), event->modifiers() & Qt::ShiftModifier) == 0) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    Key(event->key(), event->modifiers() & Qt::ShiftModifier);
}

void MainWindow::PlaceCentred() {
    client_->resize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight + TimelineBar::kHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QSize outer = frameSize().isEmpty() ? size() : frameSize();
        move(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
    }
}

void MainWindow::SetChecked(MenuCommand command, bool checked) { Action(command)->setChecked(checked); }

void MainWindow::SetEnabled(MenuCommand command, bool enabled) { Action(command)->setEnabled(enabled); }

bool MainWindow::OnScreen() const {
    const QWindow* handle = windowHandle();
    return isVisible() && !isMinimized() && handle && handle->isExposed();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The application's loop ends and shuts down in order; the window stays until then.
    event->ignore();
    if (onClose) onClose();
}

}  // namespace kv
