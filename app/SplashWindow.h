#pragma once
// The splash picture with the version line: shown for a second at start-up, and as the
// about box, which stays until clicked. A borderless window on top of the others, centred.

#include <QBasicTimer>
#include <QImage>
#include <QWidget>
#include <functional>

namespace kv {

class KvFS;
struct KvImage;

// The line drawn near the bottom of the picture.
QString VersionLine();
// The picture the way a player sees it (top row first), or a null image when undecodable.
QImage SplashPicture(const KvImage& image);

class SplashWindow : public QWidget {
public:
    SplashWindow();

    // Reads "splash.jpg" from the archive and sizes and centres the window on it; false when
    // the entry is missing or cannot be decoded.
    bool Create(KvFS* archive);
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void Show(bool aboutMode);
    void StartTimer(int milliseconds) { timer_.start(milliseconds, this); }
    // Hides the window; in about mode tells the owner through onAboutEnd.
    void Hide();

    bool AboutMode() const { return aboutMode_; }
    const QImage& Picture() const { return picture_; }
    // The about box's end (the owner's end-of-about message).
    std::function<void()> onAboutEnd;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QImage picture_;  // with the version line drawn in
    QWidget* owner_ = nullptr;
    QBasicTimer timer_;
    bool aboutMode_ = false;
};

}  // namespace kv
