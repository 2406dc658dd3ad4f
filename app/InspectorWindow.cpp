#include "app/InspectorWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTextBlock>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "lang/BuiltIns.h"

namespace kv {

namespace {

constexpr const char* kButtonTexts[] = {"Pause", "Continue", "Step line", "Step out", "Back"};

const char* StopText(KvInspectorStop stop) {
    switch (stop) {
    case KvInspectorStop::Breakpoint: return "paused at a breakpoint";
    case KvInspectorStop::Step: return "paused after a step";
    case KvInspectorStop::StepOut: return "paused after stepping out";
    case KvInspectorStop::Fault: return "paused at a fault, before the restart";
    case KvInspectorStop::None: break;
    }
    return "paused";
}

QString Text(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

void Fill(QTreeWidgetItem* parent, const std::vector<KvValueView>& values) {
    qDeleteAll(parent->takeChildren());
    for (const KvValueView& v : values) {
        QString name = Text(v.name);
        if (v.kind == KvDebugVariable::Kind::Parameter) name += " (parameter)";
        new QTreeWidgetItem(parent, {name, QString::number(v.value)});
    }
}

}  // namespace

std::string InspectorWindow::FaultText(const KvFault& fault) {
    char text[160];
    std::snprintf(text, sizeof text, "%s on line %d at %.3f s", kv::FaultText(fault.kind), fault.line, fault.time);
    return text;
}

std::string InspectorWindow::CallText(const KvBuiltInCall& call) {
    const BuiltIn* builtIn = BuiltInOf(call.opcode);
    char text[200];
    int n = std::snprintf(text, sizeof text, "%.3f s  line %d  %s(", call.time, call.line,
                          builtIn ? builtIn->name : Mnemonic(call.opcode));
    const int arguments = builtIn ? builtIn->arguments : 0;
    for (int i = 0; i < arguments && n < static_cast<int>(sizeof text); ++i)
        n += std::snprintf(text + n, sizeof text - n, i ? ", %d" : "%d", call.arguments[i]);
    if (n < static_cast<int>(sizeof text)) std::snprintf(text + n, sizeof text - n, ") = %d", call.result);
    return text;
}

InspectorWindow::InspectorWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(kTitle);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    robots_ = new QComboBox;
    pauseOnFault_ = new QCheckBox("Pause on fault");
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Robot:"));
    top->addWidget(robots_, 1);
    top->addWidget(pauseOnFault_);

    auto* buttons = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
        buttons_[i] = new QPushButton(kButtonTexts[i]);
        buttons->addWidget(buttons_[i]);
        connect(buttons_[i], &QPushButton::clicked, this, [this, i] {
            if (onCommand) onCommand(static_cast<Command>(i));
        });
    }

    status_ = new QLabel;
    faults_ = new QLabel;
    for (QLabel* label : {status_, faults_}) label->setTextInteractionFlags(Qt::TextSelectableByMouse);

    source_ = new QPlainTextEdit;
    source_->setReadOnly(true);
    source_->setFont(fixed);
    source_->setLineWrapMode(QPlainTextEdit::NoWrap);
    source_->setToolTip("Click a line to set or clear a breakpoint");
    source_->viewport()->installEventFilter(this);

    stack_ = new QListWidget;
    variables_ = new QTreeWidget;
    variables_->setColumnCount(2);
    variables_->setHeaderLabels({"Name", "Value"});
    variables_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    calls_ = new QListWidget;
    for (QWidget* w : {static_cast<QWidget*>(stack_), static_cast<QWidget*>(variables_), static_cast<QWidget*>(calls_)})
        w->setFont(fixed);

    auto* side = new QSplitter(Qt::Vertical);
    auto titled = [](const char* title, QWidget* body) {
        auto* box = new QWidget;
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new QLabel(title));
        layout->addWidget(body);
        return box;
    };
    side->addWidget(titled("Call stack", stack_));
    side->addWidget(titled("Variables", variables_));
    side->addWidget(titled("Recent built-in calls", calls_));
    auto* middle = new QSplitter(Qt::Horizontal);
    middle->addWidget(source_);
    middle->addWidget(side);
    middle->setStretchFactor(0, 3);
    middle->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(status_);
    layout->addWidget(faults_);
    layout->addWidget(middle, 1);
    resize(860, 600);

    connect(robots_, &QComboBox::activated, this, [this](int index) {
        if (onChoose) onChoose(robots_->itemData(index).toInt());
    });
    connect(pauseOnFault_, &QCheckBox::toggled, this, [this](bool on) {
        if (onPauseOnFault) onPauseOnFault(on);
    });
}

void InspectorWindow::SetRobots(const std::vector<std::pair<int, std::string>>& robots, int slot,
                                const std::string& source) {
    robots_->clear();
    for (const auto& [robotSlot, name] : robots) {
        robots_->addItem(QString("%1: %2").arg(robotSlot + 1).arg(Text(name)), robotSlot);
        if (robotSlot == slot) robots_->setCurrentIndex(robots_->count() - 1);
    }
    lines_.clear();
    size_t start = 0;
    while (start <= source.size()) {
        size_t end = source.find('\n', start);
        if (end == std::string::npos) end = source.size();
        std::string line = source.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(std::move(line));
        start = end + 1;
    }
    if (!source.empty() && source.back() == '\n') lines_.pop_back();
    QString text;
    for (size_t i = 0; i < lines_.size(); ++i)
        text += QString::asprintf("%4zu  ", i + 1) + Text(lines_[i]) + (i + 1 < lines_.size() ? "\n" : "");
    source_->setPlainText(text);
    shownLine_ = -1;
    shownBreakpoints_.clear();
}

int32_t InspectorWindow::LineAt(const QPoint& point) const {
    const QTextBlock block = source_->cursorForPosition(point).block();
    return block.isValid() ? block.blockNumber() + 1 : 0;
}

bool InspectorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == source_->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        const int32_t line = LineAt(press->position().toPoint());
        if (line > 0 && line <= static_cast<int32_t>(lines_.size()) && onToggleBreakpoint) onToggleBreakpoint(line);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void InspectorWindow::closeEvent(QCloseEvent* event) {
    if (onClose) onClose();
    QWidget::closeEvent(event);
}

void InspectorWindow::ShowSource(int32_t current, const std::vector<int32_t>& breakpoints) {
    if (current == shownLine_ && breakpoints == shownBreakpoints_) return;
    QList<QTextEdit::ExtraSelection> marks;
    auto mark = [&](int32_t line, QColor colour) {
        const QTextBlock block = source_->document()->findBlockByNumber(line - 1);
        if (!block.isValid()) return;
        QTextEdit::ExtraSelection s;
        s.cursor = QTextCursor(block);
        s.format.setBackground(colour);
        s.format.setProperty(QTextFormat::FullWidthSelection, true);
        marks.append(s);
    };
    for (int32_t line : breakpoints) mark(line, line == current ? QColor(255, 170, 90) : QColor(255, 190, 190));
    if (current > 0 && std::find(breakpoints.begin(), breakpoints.end(), current) == breakpoints.end())
        mark(current, QColor(255, 240, 120));
    source_->setExtraSelections(marks);
    if (current != shownLine_ && current > 0) {
        const QTextBlock block = source_->document()->findBlockByNumber(current - 1);
        if (block.isValid()) {
            source_->setTextCursor(QTextCursor(block));
            source_->ensureCursorVisible();
        }
    }
    shownLine_ = current;
    shownBreakpoints_ = breakpoints;
}

void InspectorWindow::Show(const KvInspection& view, double dt, const std::vector<int32_t>& breakpoints,
                           bool pauseOnFault) {
    // At a fault the machine has restarted; its state before the restart is what matters.
    const bool atFault = view.stop == KvInspectorStop::Fault;
    const KvMachineView& machine = atFault ? view.faulted : view.machine;
    const KvMachineRecord& record = view.machine.record;
    ShowSource(view.slot >= 0 ? machine.line : 0, breakpoints);

    QString state = view.slot < 0     ? "no robot"
                    : !view.alive     ? "destroyed"
                    : machine.finished ? "finished"
                    : view.paused     ? StopText(view.stop)
                                      : "running";
    status_->setText(QString::asprintf("line %d   %.3f s   tick %lld   instructions %lld   ", machine.line,
                                       static_cast<double>(view.tick) * dt, static_cast<long long>(view.tick),
                                       static_cast<long long>(record.instructions)) +
                     state);
    faults_->setText(record.restarts == 0
                         ? QString("restarts 0")
                         : QString::asprintf("restarts %lld   latest fault: ", static_cast<long long>(record.restarts)) +
                               Text(FaultText(record.last)));

    stack_->clear();
    for (const KvFrameView& frame : machine.frames)
        stack_->addItem(QString("%1  line %2").arg(Text(frame.function.empty() ? "?" : frame.function)).arg(frame.line));

    if (variables_->topLevelItemCount() == 0) {
        variables_->addTopLevelItem(new QTreeWidgetItem({"Globals"}));
        variables_->addTopLevelItem(new QTreeWidgetItem({"Function"}));
    }
    Fill(variables_->topLevelItem(0), machine.globals);
    QTreeWidgetItem* function = variables_->topLevelItem(1);
    function->setText(0, machine.frames.empty() ? "Function" : Text(machine.frames.front().function));
    Fill(function, machine.locals);
    variables_->expandAll();

    calls_->clear();
    for (auto call = record.calls.rbegin(); call != record.calls.rend(); ++call) calls_->addItem(Text(CallText(*call)));

    const bool paused = view.paused && view.slot >= 0;
    Button(Command::Pause)->setEnabled(!view.paused);
    for (Command c : {Command::Continue, Command::StepLine, Command::StepOut}) Button(c)->setEnabled(paused && view.alive);
    Button(Command::Back)->setEnabled(paused);
    if (pauseOnFault_->isChecked() != pauseOnFault) {
        const QSignalBlocker quiet(pauseOnFault_);
        pauseOnFault_->setChecked(pauseOnFault);
    }
}

}  // namespace kv
