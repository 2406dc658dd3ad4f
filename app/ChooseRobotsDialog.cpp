#include "app/ChooseRobotsDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

namespace kv {

namespace {

// The slots' colours: red, green, blue, magenta.
constexpr QRgb kSlotColours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 0, 255)};

QFrame* Swatch(QRgb colour) {
    auto* swatch = new QFrame;
    swatch->setFixedSize(22, 18);
    swatch->setFrameShape(QFrame::Box);
    swatch->setLineWidth(1);
    swatch->setAutoFillBackground(true);
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, QColor(colour));
    swatch->setPalette(palette);
    return swatch;
}

}  // namespace

ChooseRobotsDialog::ChooseRobotsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Choose robots");
    setModal(false);
    auto* grid = new QGridLayout(this);
    for (int slot = 0; slot < kSlots; ++slot) {
        choices[slot] = {false, slot, KvFile(), std::nullopt};
        Row& row = rows_[slot];
        row.check = new QCheckBox;
        row.path = new QLineEdit;
        row.path->setMaxLength(std::numeric_limits<int>::max());  // a path is kept whole
        row.path->setMinimumWidth(330);
        row.browse = new QPushButton("...");
        row.browse->setFixedWidth(32);
        row.browse->setAutoDefault(false);
        grid->addWidget(Swatch(kSlotColours[slot]), slot, 0);
        grid->addWidget(row.check, slot, 1);
        grid->addWidget(row.path, slot, 2);
        grid->addWidget(row.browse, slot, 3);
        connect(row.check, &QCheckBox::toggled, this, [this, slot](bool on) { Checked(slot, on); });
        // The field shows a readable form of the file's name; a text put there otherwise
        // (emptied, chosen from the file dialog) names the file in its UTF-8 bytes.
        connect(row.path, &QLineEdit::textChanged, this, [this, slot](const QString& text) {
            Row& changed = rows_[slot];
            if (text != QFile::decodeName(changed.file.CStr())) changed.file = QFile::encodeName(text).constData();
        });
        connect(row.browse, &QPushButton::clicked, this, [this, slot] { Browse(slot); });
    }
    ok_ = new QPushButton("OK");
    ok_->setDefault(true);
    cancel_ = new QPushButton("Cancel");
    cancel_->setAutoDefault(false);
    grid->addWidget(ok_, 0, 4);
    grid->addWidget(cancel_, 1, 4);
    grid->setColumnMinimumWidth(4, 80);
    connect(ok_, &QPushButton::clicked, this, [this] { Ok(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { Close(false); });
    Initialise();
}

void ChooseRobotsDialog::Initialise() {
    for (int slot = 0; slot < kSlots; ++slot) {
        const Row& row = rows_[slot];
        SetPath(slot, choices[slot].path);
        row.check->setChecked(choices[slot].enabled);
        row.path->setEnabled(choices[slot].enabled);
        row.browse->setEnabled(choices[slot].enabled);
    }
}

void ChooseRobotsDialog::Show() {
    accepted_ = false;
    visible_ = true;
    show();
    raise();
    activateWindow();
}

void ChooseRobotsDialog::Close(bool result) {
    accepted_ = result;
    visible_ = false;
    hide();
    if (onEnd) onEnd();
}

void ChooseRobotsDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (visible_) Close(false);
}

void ChooseRobotsDialog::Checked(int slot, bool on) {
    const Row& row = rows_[slot];
    row.path->setEnabled(on);
    row.browse->setEnabled(on);
    if (!on) row.path->clear();
}

void ChooseRobotsDialog::Browse(int slot) {
    // Open, not exec: the battle keeps drawing while the player looks for a file.
    auto* files = new QFileDialog(this, kFileTitle, QString(), kFileFilter);
    files->setFileMode(QFileDialog::ExistingFile);
    files->setAttribute(Qt::WA_DeleteOnClose);
    connect(files, &QFileDialog::fileSelected, this, [this, slot](const QString& file) {
        SetPath(slot, QFile::encodeName(QFileInfo(file).absoluteFilePath()).constData());
    });
    files->open();
}

void ChooseRobotsDialog::SetPath(int slot, const KvFile& path) {
    rows_[slot].file = path;
    rows_[slot].path->setText(QFile::decodeName(path.CStr()));
}

void ChooseRobotsDialog::Ok() {
    for (int slot = 0; slot < kSlots; ++slot) {
        choices[slot].path = rows_[slot].file;
        choices[slot].enabled = rows_[slot].check->isChecked();
    }
    Close(true);
}

}  // namespace kv
