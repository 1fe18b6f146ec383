// TLangForm: picks a language file (*.tvk) of the program folder, applies it at once and
// optionally makes it the language of every start. LoadLanguage applies one language file to
// every window.
#pragma once

#include <QDialog>
#include <string>

#include "lang/LanguageKeys.h"
#include "platform/UserQuestions.h"

class QLabel;
class QListWidget;
class QPushButton;
class QFrame;

namespace tavrin {

class TMain;
class TCustom_ext;

class TLangForm : public QDialog {
  public:
    TLangForm(TMain& main, UserQuestions& questions);

    // Lists the *.tvk files of `folder` (the program folder) in FileBox.
    void SetDirectory(const std::string& folder);
    // The selected file as a full path; empty when no file is selected.
    std::string FileName() const;

    // Reads the language file at `path` and applies all its texts, in order, to every window.
    void LoadLanguage(const std::string& path);

    void B_OKClick();
    void FileBoxDblClick();
    void B_DefClick();
    void B_cancelClick();

    // The custom-names form, whose texts and menu the loader also sets (it is created after
    // this form).
    TCustom_ext* Custom_ext = nullptr;

    QLabel *Label1, *Label2;
    QFrame* Panel2;
    QListWidget* FileBox;
    QPushButton *B_Def, *B_cancel, *B_OK;

    // The form's size when its texts fit.
    static constexpr int kWidth = 341, kHeight = 198;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // Makes the form the fixed size its texts need, never smaller than kWidth x kHeight.
    void FitToTexts();
    // Sets the one control a key belongs to, and the copies that follow it.
    void Apply(LangText id, const std::string& text);

    TMain& main_;
    UserQuestions& questions_;
    std::string folder_;
};

}  // namespace tavrin
