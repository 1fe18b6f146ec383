#include "app/Startup.h"

#include "app/Settings.h"
#include "shell/TMain.h"

namespace tavrin {

Startup::Startup(UserQuestions& questions) : questions_(questions) {}
Startup::~Startup() = default;

bool Startup::CreateWindows() {
    main_ = std::make_unique<TMain>(state_, questions_);
    if (!main_->FormCreate()) return false;
    pgm_init();
    return true;
}

void Startup::pgm_init() {
    state_.LanguageName = kDefaultLanguage;
    state_.LanguageName = ReadLanguageSetting(state_.ProgramDir);
    languageFile_ = StartupLanguageFile(state_.ProgramDir, state_.LanguageName);
}

}  // namespace tavrin
