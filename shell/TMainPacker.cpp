// The packer page, the zip options and the unzip dialog as the main window drives them.
#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>

#include "packer/ZipOptZ.h"
#include "packer/ZipUnzip.h"
#include "packer/ZipWait.h"
#include "platform/qt/Text.h"
#include "platform/qt/VirtualKey.h"
#include "shell/DropList.h"
#include "shell/TMain.h"

namespace tavrin {

void TMain::AttachForms(TFrmUnzip* unzip, TFrmZipOpt* options, TFrmWaitZip* wait) {
    FrmUnzip = unzip;
    FrmZipOpt = options;
    FrmWaitZip = wait;
    levelText = [this] { return ContentBytes(FrmZipOpt->edtLevel->text()); };
    FrmZipOpt->onSave = [this] { Set_ZipDllOptions(); };
    FrmZipOpt->onDefault = [this] { B_ZipDefaultClick(); };
    FrmUnzip->selectedCaption = [this] { return LeftPane->SelectedCaption(); };
    FrmUnzip->selectedPath = [this] { return LeftPane->SelectedFile(); };
    FrmUnzip->onList = [this](const std::string& archive) { Get_Contents(archive); };
    FrmUnzip->onExtract = [this](bool all) {
        // The archive by its full path: the pane's folder and the selected item's caption.
        std::string caption = LeftPane->SelectedCaption();
        if (caption.empty()) return;
        UnZip_SelectedFiles(LeftPane->Directory() + caption, all);
    };
}

EngineCallRunner TMain::WaitRunner() {
    return [this](const std::function<void()>& call) { FrmWaitZip->RunBlocking(call); };
}

// --- Packer page ----------------------------------------------------------------------------

bool TMain::ListaZipDragOver(TMFileExplorer* source) {
    return source != nullptr;
}

void TMain::ListaZipDragDrop(TMFileExplorer* source) {
    if (!source) return;
    const std::string& path = LeftPane->SelectedFile();
    ListaZip->addItem(FileNameText(path));
    dropped_.push_back(path);
}

void TMain::ListaZipDropFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        ListaZip->addItem(FileNameText(path));
        dropped_.push_back(path);
    }
}

bool TMain::ListaZipKeyDown(int key) {
    if (key != VK_DELETE) return false;
    QListWidgetItem* focused = ListaZip->currentItem();
    if (!focused || !focused->isSelected()) return true;
    int row = ListaZip->row(focused);
    delete ListaZip->takeItem(row);
    dropped_.erase(dropped_.begin() + row);
    return true;
}

void TMain::btnSaveToClick() {
    SaveFileRequest request{"Save As", "Compressed files (*.zip)|*.zip", "zip", lastSaveName_};
    std::optional<std::string> name = questions_.ChooseSaveFileName(request);
    if (!name) return;
    lastSaveName_ = *name;
    edtZipFileName->setText(FileNameText(*name));
}

void TMain::ZipOptClick() {
    FrmZipOpt->show();
    FrmZipOpt->raise();
}

void TMain::B_ZipThemClick() {
    if (dropped_.empty()) return;
    std::string archive = FileNameBytes(edtZipFileName->text());
    if (IsBlankName(archive)) return;
    std::string messages;
    int result = ZipFileList(engine_.zip, archive, dropped_, WaitRunner(), &messages);
    // A refused job names what stopped it; a job with nothing newer to take says nothing.
    std::string notice = ZipJobNotice(archive, result, messages);
    if (!notice.empty()) questions_.ShowNotice(notice);
}

void TMain::Set_ZipDllOptions() {
    ZPOPT record = BuildZipOptions(FrmZipOpt->Boxes());
    if (!engine_.zip.ZpSetOptions(&record)) questions_.ShowNotice("Error setting Zip Options");
}

void TMain::Get_ZipDllOptions() {
    FrmZipOpt->SetBoxes(BoxesFromOptions(engine_.zip.ZpGetOptions()));
}

void TMain::B_ZipDefaultClick() {
    ZPOPT record = DefaultZipOptions();
    if (!engine_.zip.ZpSetOptions(&record)) questions_.ShowNotice("Error setting Zip Options");
    QCoreApplication::processEvents();
    Get_ZipDllOptions();
}

// --- Unzip dialog ---------------------------------------------------------------------------

void TMain::B_UnzipClick() {
    if (FrmUnzip->isVisible()) {
        FrmUnzip->raise();
        FrmUnzip->activateWindow();
        return;
    }
    FrmUnzip->show();
}

void TMain::Get_Contents(const std::string& archive) {
    // The lines are kept as the engine writes them (ending in the entry names as their bytes);
    // the list turns a line into text when it draws it, and takes them all at once.
    std::vector<std::string> lines;
    listingSink = [&lines](const std::string& line) { lines.push_back(line); };
    tavrin::Get_Contents(engine_.unzip, state_.UnzipCallbacks, archive, [this, &lines] {
        state_.ListedNames.clear();
        FrmUnzip->FilesList->Clear();
        lines.clear();
    });
    listingSink = nullptr;
    FrmUnzip->FilesList->SetLines(std::move(lines));
}

void TMain::UnZip_SelectedFiles(const std::string& archive, bool all) {
    ExtractionRequest request;
    request.archive = archive;
    request.extractDir = FileNameBytes(FrmUnzip->T_Dir->text());
    request.boxes = FrmUnzip->Boxes();
    request.all = all;
    request.listed = state_.ListedNames;
    request.selected = FrmUnzip->SelectedLines();
    int result = tavrin::UnZip_SelectedFiles(engine_.unzip, state_.UnzipCallbacks, request,
                                             state_.ExtractNames, WaitRunner());
    // No name chosen means no call: nothing to report.
    if (result != PK_OK && !state_.ExtractNames.empty())
        questions_.ShowNotice("Extracting from " + archive + " failed: " + UnzipResultText(result) +
                              ".");
}

}  // namespace tavrin
