// The Qt implementation of the user-question interface: real message boxes and dialogs. Texts
// are shown as MessageText reads them (UTF-8, with file names as their bytes).
#pragma once

#include "platform/UserQuestions.h"

class QWidget;

namespace tavrin {

class QtUserQuestions : public UserQuestions {
  public:
    explicit QtUserQuestions(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    bool AskYesNo(const std::string& title, const std::string& text) override;
    bool AskOkCancel(const std::string& title, const std::string& text) override;
    bool AskDelete(const std::string& title, const std::string& text) override;
    OverwriteAnswer AskOverwrite(const std::string& title, const std::string& text) override;
    SkipAnswer AskSkip(const std::string& title, const std::string& text) override;
    void ShowError(const std::string& text) override;
    void ShowMessage(const std::string& title, const std::string& text, BoxIcon icon) override;
    std::optional<std::string> ChooseSaveFileName(const SaveFileRequest& request) override;
    std::optional<FontChoice> ChooseFont(const FontChoice& current, int minPoints,
                                         int maxPoints) override;

  private:
    QWidget* parent_;
};

}  // namespace tavrin
