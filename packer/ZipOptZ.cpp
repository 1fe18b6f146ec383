#include "packer/ZipOptZ.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/qt/Text.h"
#include "shell/AppIcon.h"

namespace tavrin {

namespace {

QCheckBox* Box(const char* caption, bool blue, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    if (blue) box->setStyleSheet("color: blue;");
    return box;
}

}  // namespace

TFrmZipOpt::TFrmZipOpt(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Zip engine options");
    auto* layout = new QVBoxLayout(this);
    GroupBox2 = new QGroupBox(" (in blue most commons) ", this);
    GroupBox2->setStyleSheet("QGroupBox { color: maroon; }");
    auto* grid = new QGridLayout(GroupBox2);
    chSystem = Box("Include system and hidden files", false, GroupBox2);
    chVolume = Box("Include volume label", false, GroupBox2);
    chJunkDir = Box("Do not add path", true, GroupBox2);
    chRecurseDir = Box("Recurse file in subdirectory", true, GroupBox2);
    chLatestTime = Box("Set zip file time as latest file in it", false, GroupBox2);
    chGrow = Box("Allow appending to an existing zip file", true, GroupBox2);
    chMove = Box("Delete files added or updated in zip file", false, GroupBox2);
    chDeleteEntries = Box("Delete files from zip file", false, GroupBox2);
    chUpdate = Box("Update zip file--overwrite only if newer", true, GroupBox2);
    chFreshen = Box("Freshen zip file--overwrite only", false, GroupBox2);
    QCheckBox* left[] = {chSystem, chVolume, chJunkDir, chRecurseDir, chLatestTime};
    QCheckBox* right[] = {chGrow, chMove, chDeleteEntries, chUpdate, chFreshen};
    for (int row = 0; row < 5; ++row) {
        grid->addWidget(left[row], row, 0);
        grid->addWidget(right[row], row, 1);
    }
    auto* levelRow = new QHBoxLayout;
    Label2 = new QLabel("Compression level (0 - 9)", GroupBox2);
    Label2->setStyleSheet("color: blue;");
    edtLevel = new QLineEdit("6", GroupBox2);
    edtLevel->setFixedWidth(26);
    edtLevel->setStyleSheet("color: blue; font-weight: bold;");
    UpDownUp = new QToolButton(GroupBox2);
    UpDownUp->setArrowType(Qt::UpArrow);
    UpDownDown = new QToolButton(GroupBox2);
    UpDownDown->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {UpDownUp, UpDownDown}) b->setFixedSize(16, 12);
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    arrows->addWidget(UpDownUp);
    arrows->addWidget(UpDownDown);
    levelRow->addWidget(Label2);
    levelRow->addWidget(edtLevel);
    levelRow->addLayout(arrows);
    levelRow->addStretch();
    auto* image = new QLabel(GroupBox2);
    image->setPixmap(AppIcon().pixmap(32, 32));
    levelRow->addWidget(image);
    grid->addLayout(levelRow, 5, 0, 1, 2);
    layout->addWidget(GroupBox2);

    auto* panel = new QHBoxLayout;
    B_ZipDefault = new QPushButton("Reset to default", this);
    B_ZipDefault->setStyleSheet("color: navy; font-weight: bold;");
    B_SetZipOpt = new QPushButton("Save options and close", this);
    B_SetZipOpt->setStyleSheet("color: blue;");
    B_Close = new QPushButton("Close without saving", this);
    B_Close->setStyleSheet("color: navy;");
    panel->addWidget(B_ZipDefault);
    panel->addStretch();
    panel->addWidget(B_SetZipOpt);
    panel->addStretch();
    panel->addWidget(B_Close);
    layout->addLayout(panel);
    chJunkDir->setChecked(true);
    FitToTexts();

    connect(UpDownUp, &QToolButton::clicked, this, [this] { StepLevel(1); });
    connect(UpDownDown, &QToolButton::clicked, this, [this] { StepLevel(-1); });
    connect(B_SetZipOpt, &QPushButton::clicked, this, &TFrmZipOpt::B_SetZipOptClick);
    connect(B_Close, &QPushButton::clicked, this, &TFrmZipOpt::B_closeClick);
    connect(B_ZipDefault, &QPushButton::clicked, this, &TFrmZipOpt::B_ZipDefaultClick);
}

void TFrmZipOpt::FitToTexts() {
    // 497 x 222, or what the captions need in the user's font and language.
    QSize need = sizeHint();
    setFixedSize(std::max(497, need.width()), std::max(222, need.height()));
}

void TFrmZipOpt::showEvent(QShowEvent* event) {
    FitToTexts();  // a language file may have changed the captions
    QDialog::showEvent(event);
}

ZipOptionBoxes TFrmZipOpt::Boxes() const {
    ZipOptionBoxes b;
    b.system = chSystem->isChecked();
    b.volume = chVolume->isChecked();
    b.junkDir = chJunkDir->isChecked();
    b.recurseDir = chRecurseDir->isChecked();
    b.latestTime = chLatestTime->isChecked();
    b.grow = chGrow->isChecked();
    b.move = chMove->isChecked();
    b.deleteEntries = chDeleteEntries->isChecked();
    b.update = chUpdate->isChecked();
    b.freshen = chFreshen->isChecked();
    b.levelText = ContentBytes(edtLevel->text());
    return b;
}

void TFrmZipOpt::SetBoxes(const ZipOptionBoxes& b) {
    chSystem->setChecked(b.system);
    chVolume->setChecked(b.volume);
    chJunkDir->setChecked(b.junkDir);
    chRecurseDir->setChecked(b.recurseDir);
    chLatestTime->setChecked(b.latestTime);
    chGrow->setChecked(b.grow);
    chMove->setChecked(b.move);
    chDeleteEntries->setChecked(b.deleteEntries);
    chUpdate->setChecked(b.update);
    chFreshen->setChecked(b.freshen);
    edtLevel->setText(ContentText(b.levelText));
}

void TFrmZipOpt::StepLevel(int delta) {
    bool ok = false;
    int level = edtLevel->text().toInt(&ok);
    if (!ok) level = 6;
    edtLevel->setText(QString::number(std::clamp(level + delta, 0, 9)));
}

void TFrmZipOpt::B_SetZipOptClick() {
    if (onSave) onSave();
    hide();
}

void TFrmZipOpt::B_closeClick() {
    hide();
}

void TFrmZipOpt::B_ZipDefaultClick() {
    if (onDefault) onDefault();
}

}  // namespace tavrin
