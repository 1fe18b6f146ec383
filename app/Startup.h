// Start-up: creates the program's windows in their fixed order, runs the main window's
// creation steps and reads the settings.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/MainState.h"
#include "platform/UserQuestions.h"

namespace tavrin {

class TMain;
class TCustom_ext;
class TLangForm;

class Startup {
  public:
    explicit Startup(UserQuestions& questions);
    ~Startup();

    // Creates the windows and runs their creation steps. False when the program must end
    // (the zip engine check failed; its message has been shown).
    bool CreateWindows();

    // Settings and language: reads tavrin.ini from ProgramDir; when Language is not
    // "default", that language file is the one to apply.
    void pgm_init();

    MainState& State() { return state_; }
    TMain* Main() { return main_.get(); }
    TCustom_ext* Custom_ext() { return custom_; }
    TLangForm* LangForm() { return lang_; }
    // The language file pgm_init chose, if any.
    const std::optional<std::string>& LanguageFile() const { return languageFile_; }

  private:
    UserQuestions& questions_;
    MainState state_;
    std::unique_ptr<TMain> main_;
    TCustom_ext* custom_ = nullptr;  // owned by the main window
    TLangForm* lang_ = nullptr;      // owned by the main window
    std::optional<std::string> languageFile_;
};

}  // namespace tavrin
