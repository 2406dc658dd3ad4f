#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include "app/GameSurface.h"

namespace kv {

namespace {
constexpr const char* kPopupTitles[] = {"File", "Setup", "Help"};
}

MainWindow::MainWindow(GameSurface* surface) {
    setWindowTitle("Kolvex");
    QMenu* popups[3] = {};
    for (const MenuItem& item : kMenuItems) {
        QMenu*& popup = popups[static_cast<int>(item.popup)];
        if (!popup) popup = menuBar()->addMenu(kPopupTitles[static_cast<int>(item.popup)]);
        QAction* action = popup->addAction(QString::fromUtf8(item.text.data(), static_cast<qsizetype>(item.text.size())));
        action->setCheckable(item.popup == MenuPopup::Setup);
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
    setCentralWidget(client_);
}

void MainWindow::PlaceCentred() {
    client_->resize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
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
