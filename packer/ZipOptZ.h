// TFrmZipOpt: the zip options dialog. Ten boxes and a compression level; "Save options and
// close" sends them to the engine, which keeps them for the packer's later calls.
#pragma once

#include <QDialog>
#include <functional>

#include "packer/ZipOptions.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QGroupBox;
class QToolButton;

namespace tavrin {

class TFrmZipOpt : public QDialog {
  public:
    explicit TFrmZipOpt(QWidget* parent = nullptr);

    ZipOptionBoxes Boxes() const;
    void SetBoxes(const ZipOptionBoxes& boxes);
    // UpDown1: steps the number in the level box between 0 and 9.
    void StepLevel(int delta);

    void B_SetZipOptClick();
    void B_closeClick();
    void B_ZipDefaultClick();

    // The main window's work: send the boxes (Set_ZipDllOptions), reset the engine's options
    // and read them back (Get_ZipDllOptions).
    std::function<void()> onSave;
    std::function<void()> onDefault;

    QGroupBox* GroupBox2;
    QCheckBox *chSystem, *chVolume, *chJunkDir, *chRecurseDir, *chLatestTime, *chGrow, *chMove,
        *chDeleteEntries, *chUpdate, *chFreshen;
    QLabel* Label2;
    QLineEdit* edtLevel;
    QToolButton *UpDownUp, *UpDownDown;
    QPushButton *B_ZipDefault, *B_SetZipOpt, *B_Close;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FitToTexts();
};

}  // namespace tavrin
