// TCustom_ext: the "Custom file setup" form. Edits the list of custom description names,
// stores it in tavrin.ext and has the main window rebuild the custom-names menu.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "platform/UserQuestions.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tavrin {

class TCustom_ext : public QDialog {
  public:
    TCustom_ext(UserQuestions& questions, QWidget* parent = nullptr);

    // Reads tavrin.ext of `programDir` and builds the menu.
    void FormCreate(const std::string& programDir);
    void ReadCustoms();
    // Writes the list; shows the "Disk error" box when it cannot. Returns whether it wrote.
    bool WriteCustoms();
    // Has the menu rebuilt from the list and hides the form.
    void GenerateCustMenu();
    void B_AddClick();
    void B_RemoveClick();
    void B_saveprefsClick();

    std::vector<std::string> Names() const;
    // The main window rebuilds its menu (and enables b_custom) from the names.
    std::function<void(const std::vector<std::string>& names)> onMenuRebuild;

    QLabel *Label1, *Label2, *Label3;
    QLineEdit* T_cFile;
    QListWidget* L_cFile;
    QPushButton *B_Add, *B_Remove, *B_saveprefs, *B_OK;

  private:
    UserQuestions& questions_;
    std::string path_;
};

}  // namespace tavrin
