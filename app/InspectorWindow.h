#pragma once
// The robot inspector: one robot's program as it runs in the battle. Its source with the line
// about to run highlighted and the breakpoints marked (a click on a line sets or clears one),
// the call stack, the globals and the running function's parameters and locals by name, the
// restarts with the latest fault, the recent built-in calls and the instructions executed;
// and the buttons that pause, step and go back. It shows what it is given; the application
// feeds it the inspector's view about ten times a second, and at once after each command.

#include <QWidget>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sim/Inspector.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace kv {

class InspectorWindow : public QWidget {
public:
    static constexpr const char* kTitle = "Robot inspector";
    enum class Command { Pause, Continue, StepLine, StepOut, Back };

    explicit InspectorWindow(QWidget* parent = nullptr);

    // The robots to choose from, by slot, and the one shown with its program's text.
    void SetRobots(const std::vector<std::pair<int, std::string>>& robots, int slot, const std::string& source);
    // The robot as the inspector sees it now, with its breakpoints.
    void Show(const KvInspection& view, double dt, const std::vector<int32_t>& breakpoints, bool pauseOnFault);

    std::function<void(int slot)> onChoose;
    std::function<void(int32_t line)> onToggleBreakpoint;
    std::function<void(bool on)> onPauseOnFault;
    std::function<void(Command command)> onCommand;
    std::function<void()> onClose;

    // The controls, for the player's clicks and for tests.
    QComboBox* Robots() const { return robots_; }
    QPlainTextEdit* Source() const { return source_; }
    QListWidget* Stack() const { return stack_; }
    QTreeWidget* Variables() const { return variables_; }
    QListWidget* Calls() const { return calls_; }
    QLabel* Status() const { return status_; }
    QLabel* Faults() const { return faults_; }
    QCheckBox* PauseOnFaultBox() const { return pauseOnFault_; }
    QPushButton* Button(Command command) const { return buttons_[static_cast<int>(command)]; }
    // The source line a click at this point of the source's viewport falls on.
    int32_t LineAt(const QPoint& point) const;

    // "division by zero on line 12 at 31.402 s"
    static std::string FaultText(const KvFault& fault);
    // "8.123 s  line 5  drive(0, 50) = 1"
    static std::string CallText(const KvBuiltInCall& call);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowSource(int32_t current, const std::vector<int32_t>& breakpoints);

    QComboBox* robots_ = nullptr;
    QPlainTextEdit* source_ = nullptr;
    QListWidget* stack_ = nullptr;
    QTreeWidget* variables_ = nullptr;
    QListWidget* calls_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* faults_ = nullptr;
    QCheckBox* pauseOnFault_ = nullptr;
    QPushButton* buttons_[5] = {};
    std::vector<std::string> lines_;  // the source, a line each, as given
    int32_t shownLine_ = -1;
    std::vector<int32_t> shownBreakpoints_;
};

}  // namespace kv
