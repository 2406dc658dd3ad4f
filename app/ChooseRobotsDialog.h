#pragma once
// The choose-robots dialog: four slots (red, green, blue, magenta), each with a check box
// that takes it into the next battle and the robot file it runs. Modeless; its fields keep
// what the player left in them between showings, while `choices` changes only on OK.

#include <QDialog>
#include <array>
#include <functional>

#include "sim/GameHolder.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kv {

class ChooseRobotsDialog : public QDialog {
public:
    static constexpr int kSlots = KvGameHolder::kMaxRobots;
    static constexpr const char* kFileTitle = "Select robot file";
    static constexpr const char* kFileFilter = "Kolvex files (*.r)";

    explicit ChooseRobotsDialog(QWidget* parent = nullptr);

    // Fills the fields from `choices` (at start, and when the command line chose robots).
    void Initialise();
    // accepted = false, visible = true, and the dialog shows.
    void Show();
    // Hides the dialog and tells the owner through onEnd.
    void Close(bool result);

    bool Accepted() const { return accepted_; }
    bool Visible() const { return visible_; }
    // Set by OK only; read by the battle set-up.
    std::array<RobotChoice, kSlots> choices;
    // Called after every closing (the main window's end-of-dialog message).
    std::function<void()> onEnd;

    // The rows' controls, for the player's clicks and for tests.
    QCheckBox* Check(int slot) const { return rows_[slot].check; }
    QLineEdit* PathField(int slot) const { return rows_[slot].path; }
    QPushButton* BrowseButton(int slot) const { return rows_[slot].browse; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override { Close(false); }

private:
    struct Row {
        QCheckBox* check = nullptr;
        QLineEdit* path = nullptr;
        QPushButton* browse = nullptr;
        KvFile file;  // the path field's file, byte for byte (a name need not be UTF-8)
    };
    void Checked(int slot, bool on);
    void SetPath(int slot, const KvFile& path);
    void Browse(int slot);
    void Ok();

    std::array<Row, kSlots> rows_;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool accepted_ = false;
    bool visible_ = false;
};

}  // namespace kv
