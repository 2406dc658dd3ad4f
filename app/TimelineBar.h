#pragma once
// The timeline under the 3D view: from the battle's start to the furthest time it has been
// shown, with the time shown now as a handle and a mark in the robot's colour where each
// robot died. Pressing or dragging on it asks to seek to the time under the pointer; a press
// on a mark seeks to the death itself.

#include <QWidget>
#include <array>
#include <functional>

namespace kv {

class TimelineBar : public QWidget {
public:
    static constexpr int kHeight = 26;
    static constexpr int kSlots = 4;
    static constexpr int kMarkReach = 4;  // pixels either side of a mark that pick it

    explicit TimelineBar(QWidget* parent = nullptr);

    // The battle as shown now: seconds, the furthest seconds, each slot's death (negative:
    // none). Repaints only when what is drawn changes.
    void SetTimes(double now, double furthest, const std::array<double, kSlots>& deaths);
    // The time the pointer at x picks: a mark's time within its reach, else the time under x.
    double TimeAt(int x) const;
    // The pixel of a time along the bar.
    int XOf(double time) const;

    std::function<void(double time)> onSeek;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    static constexpr int kMargin = 56;  // room for the times at either end
    void Seek(int x);

    double now_ = 0, furthest_ = 0;
    std::array<double, kSlots> deaths_{-1, -1, -1, -1};
    bool dragging_ = false;
    int lastSeekX_ = -1;
};

}  // namespace kv
