#include "app/Startup.h"

#include <QAction>

#include "app/Settings.h"
#include "description/Cust_ext.h"
#include "lang/LangForm.h"
#include "packer/ZipOptZ.h"
#include "packer/ZipUnzip.h"
#include "packer/ZipWait.h"
#include "shell/TMain.h"
#include "viewer/FormView.h"

namespace tavrin {

Startup::Startup(UserQuestions& questions) : questions_(questions) {}
Startup::~Startup() = default;

bool Startup::CreateWindows() {
    main_ = std::make_unique<TMain>(state_, questions_);
    if (!main_->FormCreate()) return false;
    // The other windows, in their order; each lives until the program ends.
    auto* unzip = new TFrmUnzip(main_.get());
    auto* options = new TFrmZipOpt(main_.get());
    lang_ = new TLangForm(*main_, questions_);
    QObject::connect(main_->Changelanguage1, &QAction::triggered, lang_, [this] { lang_->exec(); });
    auto* wait = new TFrmWaitZip(main_.get());
    main_->AttachForms(unzip, options, wait);
    // The custom-names form reads the settings, then its names, then builds the menu.
    custom_ = new TCustom_ext(questions_, main_.get());
    custom_->setWindowFlag(Qt::Window);
    custom_->onMenuRebuild = [this](const std::vector<std::string>& names) {
        main_->GenerateCustMenu(names);
    };
    QObject::connect(main_->Customfile1, &QAction::triggered, custom_, [this] {
        custom_->show();
        custom_->raise();
    });
    lang_->Custom_ext = custom_;
    pgm_init();
    custom_->FormCreate(state_.ProgramDir);
    // The About box is the main window's; the viewer window comes last.
    auto* view = new viewer::TViewForm(main_.get());
    main_->AttachViewer(view);
    main_->FitColours();
    return true;
}

void Startup::pgm_init() {
    state_.LanguageName = kDefaultLanguage;
    lang_->SetDirectory(state_.ProgramDir);
    state_.LanguageName = ReadLanguageSetting(state_.ProgramDir);
    languageFile_ = StartupLanguageFile(state_.ProgramDir, state_.LanguageName);
    if (languageFile_) lang_->LoadLanguage(*languageFile_);
}

}  // namespace tavrin
