// The description page of the main window: lookup, toolbar choice, editing and saving.
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>

#include "description/Cp437.h"
#include "description/DescriptionEmbed.h"
#include "description/Sauce.h"
#include "mp3/MP3Panel.h"
#include "platform/qt/Text.h"
#include "platform/qt/VirtualKey.h"
#include "shell/DescriptionEditor.h"
#include "shell/TMain.h"

namespace tavrin {

namespace {

std::string FileNamePart(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The extension from the last "." of the name, dot included, in upper case.
std::string UpperExtension(const std::string& name) {
    std::size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return ext;
}

}  // namespace

void TMain::GetInfo(const std::string& path) {
    const std::string ext = UpperExtension(FileNamePart(path));
    if (ext == ".MP3") {
        MP3Panel->show();
        MPanel->show();
        DIZEdit->hide();
        b_unzip->setEnabled(false);
        ViewMP3(path);
    } else {
        MPanel->hide();
        MP3Panel->hide();
        DIZEdit->show();
    }
    if (ext == ".ZIP") {
        b_unzip->setEnabled(true);
        ViewInfo(path);
    } else {
        ShowDescription({});
        b_unzip->setEnabled(false);
    }
}

LookupChoice TMain::CurrentChoice() const {
    LookupChoice choice;
    // The caption is AllCustomLabel, or a custom name (bytes shown as Windows-1252).
    choice.allCustom = b_custom->text() == Utf8Text(state_.AllCustomLabel);
    choice.customCaption = ContentBytes(b_custom->text());
    if (b_auto->isChecked())
        choice.mode = LookupMode::Automatic;
    else if (b_fileID->isChecked())
        choice.mode = LookupMode::FileId;
    else if (b_readme->isChecked())
        choice.mode = LookupMode::Readme;
    else if (b_filename->isChecked())
        choice.mode = LookupMode::FileName;
    else
        choice.mode = LookupMode::Custom;
    return choice;
}

void TMain::ViewInfo(const std::string& path) {
    tavrin::ViewInfo(engine_.unzip, path, CurrentChoice(), customNames_, *this);
    ShowDescription(descriptionBytes_);
}

// --- What the lookup delivers ------------------------------------------------------------

bool TMain::AppendDescription(const std::string& piece) {
    bool more = true;
    descriptionBytes_.append(piece, 0, descriptionCap_.Fit(piece.size(), &more));
    // Shown cut; such a text is never saved back.
    descriptionCut_ = descriptionCap_.Cut();
    return more;
}

void TMain::ClearDescription() {
    descriptionBytes_.clear();
    descriptionCut_ = false;
    descriptionCap_.Reset();
    ShowDescription({});
}

void TMain::SetCornice(const Candidate& name) {
    // The archive's name or an entry's name as names are shown; a fixed or custom name as the
    // single-byte text it is.
    corniceName_ = name;
    const std::size_t split = std::min(name.fileNameBytes, name.name.size());
    const std::string_view bytes = name.name;
    QString title = FileNameText(bytes.substr(0, split)) + ContentText(bytes.substr(split));
    Cornice->setTitle(title.replace("&", "&&"));  // "&" is no accelerator marker here
}

void TMain::AddListingLine(const std::string& line, const std::string& entryName) {
    state_.ListedNames.push_back(entryName);
    if (listingSink) listingSink(line);
}

void TMain::ShowDescription(const std::string& bytes) {
    // A SAUCE record stays out of the editor: the frame's tip names its title, author and
    // group, and a save writes it back after the edited text as it was.
    SauceSplit split = SplitSauce(bytes);
    sauceTail_ = std::move(split.tail);
    DIZEdit->SetBytes(split.text);
    QString tip;
    if (split.record) {
        std::u16string summary = DecodeCp437(SauceSummary(*split.record));
        tip = QString::fromUtf16(summary.data(), qsizetype(summary.size()));
    }
    Cornice->setToolTip(tip);
}

std::string TMain::DescriptionBytes() const {
    return JoinSauce(DIZEdit->Bytes(), sauceTail_);
}

// --- The toolbar's choice ----------------------------------------------------------------

void TMain::SelectLookupButton(QToolButton* button, const QString& status) {
    for (QToolButton* b : {b_auto, b_fileID, b_filename, b_readme, b_custom})
        b->setChecked(b == button);
    StatusPanel0->setText(status.toUpper());
}

void TMain::b_autoClick() {
    SelectLookupButton(b_auto, b_auto->toolTip());
    GetInfo(state_.CurrentFile);
}

void TMain::B_FileIDClick() {
    SelectLookupButton(b_fileID, b_fileID->toolTip());
    GetInfo(state_.CurrentFile);
}

void TMain::B_readmeClick() {
    SelectLookupButton(b_readme, b_readme->toolTip());
    GetInfo(state_.CurrentFile);
}

void TMain::B_filenameClick() {
    SelectLookupButton(b_filename, b_filename->toolTip());
    GetInfo(state_.CurrentFile);
}

void TMain::b_customClick() {
    // The custom button toggles: down selects the custom choice, up leaves no button down.
    // Either way no lookup starts.
    if (b_custom->isChecked())
        for (QToolButton* b : {b_auto, b_fileID, b_filename, b_readme}) b->setChecked(false);
}

void TMain::GestCust(const QString& caption) {
    b_custom->setText(caption);
    SelectLookupButton(b_custom, caption);  // also the status panel, in upper case
    GetInfo(state_.CurrentFile);
}

void TMain::GenerateCustMenu(const std::vector<std::string>& names) {
    customNames_ = names;
    CustMenu->clear();
    // The custom names are single-byte texts; the label is a language text.
    QStringList captions;
    for (const std::string& name : names) captions.push_back(ContentText(name));
    captions.push_back(Utf8Text(state_.AllCustomLabel));
    for (const QString& caption : captions) {
        // The caption is shown as it is: "&" is no accelerator marker here.
        QAction* item = CustMenu->addAction(QString(caption).replace("&", "&&"));
        connect(item, &QAction::triggered, this, [this, caption] { GestCust(caption); });
    }
    b_custom->setEnabled(!names.empty());
}

void TMain::B_viewClick() {
    b_autoview->setChecked(false);
    GetInfo(state_.CurrentFile);
}

// --- Editing and saving --------------------------------------------------------------------

void TMain::MarkEdited() {
    state_.DescriptionEdited = true;
    b_save->setEnabled(true);
}

void TMain::ClearEdited() {
    state_.DescriptionEdited = false;
    b_save->setEnabled(false);
}

void TMain::DIZEditKeyDown(int key) {
    if (IsEditingKey(key)) MarkEdited();
}

bool TMain::EmbedDescription(const std::string& archive) {
    if (descriptionCut_) {
        questions_.ShowError("The description is longer than " +
                             std::to_string(kMaxDescriptionBytes >> 20) +
                             " MB and is shown cut; it cannot be saved");
        return false;
    }
    EmbedOutcome outcome =
        Embed(engine_.zip, archive, corniceName_.name, DescriptionBytes(), levelText());
    switch (outcome.kind) {
        case EmbedOutcome::kStored:
            return true;
        case EmbedOutcome::kOptionsRefused:
            questions_.ShowNotice("Error setting Zip Options");
            return true;
        case EmbedOutcome::kTempFailed:
            questions_.ShowError(outcome.error);
            return false;
        case EmbedOutcome::kArchiveFailed:
            questions_.ShowError("The description could not be written into " + archive + ":\n" +
                                 outcome.error);
            return false;
    }
    return false;
}

void TMain::B_SaveClick() {
    if (!MP3Panel->isHidden() ? !IDTagWrite(state_.CurrentFile)
                              : !EmbedDescription(state_.CurrentFile)) {
        return;  // not stored: the edit stays pending
    }
    ClearEdited();
}

}  // namespace tavrin
