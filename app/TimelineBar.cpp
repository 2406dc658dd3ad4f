#include "app/TimelineBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kv {

namespace {

// The slots' colours, as on the robots and in the choose-robots dialog.
const QColor kSlotColours[] = {QColor(255, 40, 40), QColor(40, 230, 40), QColor(60, 90, 255), QColor(255, 40, 255)};

// "m:ss"; whole seconds.
QString Clock(double seconds) {
    const long long s = static_cast<long long>(std::floor(std::max(seconds, 0.0)));
    return QString("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

}  // namespace

TimelineBar::TimelineBar(QWidget* parent) : QWidget(parent) {
    setFixedHeight(kHeight);
    setMouseTracking(false);
    setToolTip("Drag or click to watch the battle from another moment; the marks are robots' deaths");
}

void TimelineBar::SetTimes(double now, double furthest, const std::array<double, kSlots>& deaths) {
    // What is drawn: the handle's pixel, the two times in whole seconds, the marks.
    const int handle = XOf(now_);
    const bool changed = std::floor(now) != std::floor(now_) || std::floor(furthest) != std::floor(furthest_) ||
                         deaths != deaths_;
    now_ = now;
    furthest_ = furthest;
    deaths_ = deaths;
    if (changed || XOf(now_) != handle) update();
}

int TimelineBar::XOf(double time) const {
    const int span = std::max(1, width() - 2 * kMargin);
    if (!(furthest_ > 0)) return kMargin;
    return kMargin + static_cast<int>(std::lround(std::clamp(time / furthest_, 0.0, 1.0) * span));
}

double TimelineBar::TimeAt(int x) const {
    for (double death : deaths_) {
        if (death >= 0 && std::abs(x - XOf(death)) <= kMarkReach) return death;
    }
    const int span = std::max(1, width() - 2 * kMargin);
    return std::clamp(static_cast<double>(x - kMargin) / span, 0.0, 1.0) * furthest_;
}

void TimelineBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(38, 40, 44));
    const int mid = height() / 2;
    const int left = kMargin, right = std::max(kMargin + 1, width() - kMargin);
    p.fillRect(QRect(QPoint(left, mid - 2), QPoint(right, mid + 1)), QColor(90, 94, 100));
    const int at = XOf(now_);
    p.fillRect(QRect(QPoint(left, mid - 2), QPoint(at, mid + 1)), QColor(150, 170, 200));
    for (int slot = 0; slot < kSlots; ++slot) {
        if (deaths_[slot] < 0) continue;
        const int x = XOf(deaths_[slot]);
        p.fillRect(QRect(x - 1, mid - 8, 3, 17), kSlotColours[slot]);
    }
    p.setPen(QColor(20, 20, 20));
    p.setBrush(QColor(235, 235, 235));
    p.drawRect(QRect(at - 4, mid - 7, 8, 14));
    p.setPen(QColor(220, 220, 220));
    p.drawText(QRect(0, 0, kMargin - 6, height()), Qt::AlignRight | Qt::AlignVCenter, Clock(now_));
    p.drawText(QRect(right + 6, 0, kMargin - 6, height()), Qt::AlignLeft | Qt::AlignVCenter, Clock(furthest_));
}

void TimelineBar::Seek(int x) {
    if (x == lastSeekX_ || !onSeek) return;
    lastSeekX_ = x;
    onSeek(TimeAt(x));
}

void TimelineBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    lastSeekX_ = -1;
    Seek(static_cast<int>(event->position().x()));
}

void TimelineBar::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) Seek(static_cast<int>(event->position().x()));
}

void TimelineBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
}

}  // namespace kv
