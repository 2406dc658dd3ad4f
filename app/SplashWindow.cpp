#include "app/SplashWindow.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>

#include "assets/Image.h"
#include "assets/ResourceList.h"
#include "core/KvFS.h"

namespace kv {

QString VersionLine() { return QStringLiteral("Kolvex version " KV_VERSION ".  Robots in C, battles in 3D."); }

QImage SplashPicture(const KvImage& image) {
    if (!image.IsValid() || image.BytesPerPixel() != 3) return {};
    const QImage bottomUp(image.pixels.data(), static_cast<int>(image.width), static_cast<int>(image.height),
                          static_cast<qsizetype>(image.width) * 3, QImage::Format_RGB888);
    return bottomUp.mirrored(false, true);
}

SplashWindow::SplashWindow()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle("Splash");
    setCursor(Qt::ArrowCursor);
}

bool SplashWindow::Create(KvFS* archive) {
    KvImage image;
    KvFSIStream in(archive, kSplashEntry);
    if (!in.IsOpen() || !LoadImage(image, in, ImageFormat::Jpeg)) return false;
    picture_ = SplashPicture(image);
    if (picture_.isNull()) return false;

    // The version line, centred, its bottom edge one text height above the picture's.
    QPainter painter(&picture_);
    QFont font("DejaVu Sans");
    font.setPixelSize(12);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const QString text = VersionLine();
    const QSize size(metrics.horizontalAdvance(text) + 4, metrics.height());
    const QRect line(QPoint((picture_.width() - size.width()) / 2, picture_.height() - 2 * size.height()), size);
    // Black on white, as text is drawn by default.
    painter.fillRect(line, Qt::white);
    painter.setPen(Qt::black);
    painter.drawText(line, Qt::AlignCenter, text);
    painter.end();

    setFixedSize(picture_.size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    return true;
}

void SplashWindow::Show(bool aboutMode) {
    aboutMode_ = aboutMode;
    show();
    raise();
    update();
}

void SplashWindow::Hide() {
    timer_.stop();
    hide();
    if (aboutMode_ && onAboutEnd) onAboutEnd();
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
}

void SplashWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Hide();
}

void SplashWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId()) Hide();
}

}  // namespace kv
