// The file-manager page: drive and folder boxes, view styles, copy, move, delete and dragging
// between the panes.
#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

#include "filemanager/AMHFileOp.h"
#include "platform/qt/Text.h"
#include "platform/qt/VirtualKey.h"
#include "shell/QtFileOpProgress.h"
#include "shell/TMain.h"

namespace tavrin {

void TMain::ConnectFileManager() {
    LeftPane->OnChange = [this] { SyncPaneBoxes(LeftPane, CBDirM, CB_DriveM); };
    RightPane->OnChange = [this] { SyncPaneBoxes(RightPane, CBDirR, CB_DriveR); };
    auto follow = [](QComboBox* box, TMFileExplorer* pane) {
        connect(box, &QComboBox::currentTextChanged, pane,
                [pane](const QString& text) { pane->SetDirectory(FileNameBytes(text)); });
    };
    // Choosing an entry goes there even when the box already shows it: choosing the drive
    // the pane is on goes to that drive's root.
    auto choose = [](QComboBox* box, TMFileExplorer* pane) {
        connect(box, &QComboBox::activated, pane, [box, pane](int index) {
            pane->SetDirectory(FileNameBytes(box->itemText(index)));
        });
    };
    for (auto [box, pane] : {std::pair{CB_DriveM, LeftPane}, std::pair{CBDirM, LeftPane},
                             std::pair{CB_DriveR, RightPane}, std::pair{CBDirR, RightPane}}) {
        follow(box, pane);
        choose(box, pane);
    }
    connect(ToolButton11, &QToolButton::clicked, this, [this] { LeftPane->UpDirectory(); });
    connect(UpDirR, &QToolButton::clicked, this, [this] { RightPane->UpDirectory(); });
    const TMFileExplorer::ViewStyle styles[] = {TMFileExplorer::vsIcon, TMFileExplorer::vsSmallIcon,
                                                TMFileExplorer::vsList, TMFileExplorer::vsReport};
    for (int i = 0; i < 4; ++i) {
        connect(LeftViewButtons[i], &QToolButton::clicked, this,
                [this, style = styles[i]] { LeftPane->SetViewStyle(style); });
        connect(RightViewButtons[i], &QToolButton::clicked, this,
                [this, style = styles[i]] { RightPane->SetViewStyle(style); });
    }
    connect(b_copy, &QToolButton::clicked, this, &TMain::B_CopyClick);
    connect(b_move, &QToolButton::clicked, this, &TMain::B_MoveClick);
    connect(b_delete, &QToolButton::clicked, this, &TMain::B_DeleteClick);
    LeftPane->OnKeyDown = [this](int key, Qt::KeyboardModifiers) { PaneKeyDown(LeftPane, key); };
    RightPane->OnKeyDown = [this](int key, Qt::KeyboardModifiers) { PaneKeyDown(RightPane, key); };
    // A pane takes drags from the other pane; a drag back onto its own pane is refused.
    LeftPane->OnDragOver = [this](TMFileExplorer* source) { return source == RightPane; };
    RightPane->OnDragOver = [this](TMFileExplorer* source) { return source == LeftPane; };
    LeftPane->OnDragDrop = [this](TMFileExplorer* source) {
        if (source == RightPane) LeftPaneDragDrop();
    };
    RightPane->OnDragDrop = [this](TMFileExplorer* source) {
        if (source == LeftPane) RightPaneDragDrop();
    };
    for (TMFileExplorer* pane : {LeftPane, RightPane})
        pane->OnDropFiles = [this, pane](const std::vector<std::string>& paths) {
            PaneDropFiles(pane, paths);
        };
}

bool TMain::CommandPanes(TMFileExplorer*& source, TMFileExplorer*& destination) const {
    if (LeftPane->HasFocus()) {
        source = LeftPane;
        destination = RightPane;
    } else if (RightPane->HasFocus()) {
        source = RightPane;
        destination = LeftPane;
    } else {
        return false;
    }
    return source->HasSelection();
}

void TMain::RunFileOp() {
    QtFileOpProgress progress(this);
    AMH1.Execute(questions_, &progress);
}

bool TMain::RefuseDriveRows(TMFileExplorer* source, FileOpKind kind) {
    // A row of the drive list stands for a whole volume: it is never copied, moved or
    // deleted, and nothing is asked before the notice.
    for (const FileItem& item : source->Logic().Items()) {
        if (item.selected && item.Kind() == "drv") {
            questions_.ShowNotice(VolumeRootRefusal(kind, item.sub[kSubPath]));
            return true;
        }
    }
    return false;
}

bool TMain::PrepareTransfer(TMFileExplorer* source, TMFileExplorer* destination,
                            TFileOp operation) {
    if (RefuseDriveRows(source, operation == foMove ? FileOpKind::Move : FileOpKind::Copy))
        return false;
    return PrepareTransfer(source->Logic().SelectedPaths(), destination, operation);
}

bool TMain::PrepareTransfer(const std::vector<std::string>& paths, TMFileExplorer* destination,
                            TFileOp operation) {
    if (destination->Logic().IsDriveList()) {
        // The drive list is no folder to put files in.
        questions_.ShowNotice(std::string(operation == foMove ? "Moving" : "Copying") +
                              " needs a folder: the other pane shows the drive list.");
        return false;
    }
    AMH1.SetFrom(paths);
    AMH1.FilesTo = destination->Directory();
    AMH1.ToList = {destination->Directory()};
    AMH1.Operation = operation;
    return true;
}

std::string TMain::TransferQuestion(const std::string& opening, int count) const {
    return opening + " " + std::to_string(count) + " " + state_.FilesWordText + "?";
}

void TMain::B_CopyClick() {
    TMFileExplorer *source, *destination;
    if (!CommandPanes(source, destination)) return;
    if (!PrepareTransfer(source, destination, foCopy)) return;
    if (questions_.AskOkCancel("Tavrin",
                               TransferQuestion(state_.ConfirmCopyText, source->SelectedCount())))
        RunFileOp();
    destination->FillList();
}

void TMain::B_MoveClick() {
    TMFileExplorer *source, *destination;
    if (!CommandPanes(source, destination)) return;
    if (!PrepareTransfer(source, destination, foMove)) return;
    if (questions_.AskOkCancel("Tavrin",
                               TransferQuestion(state_.ConfirmMoveText, source->SelectedCount())))
        RunFileOp();
    LeftPane->FillList();
    RightPane->FillList();
}

void TMain::DeleteSelection(TMFileExplorer* source) {
    if (RefuseDriveRows(source, FileOpKind::Delete)) return;
    AMH1.SetFrom(source->Logic().SelectedPaths());
    AMH1.FilesTo.clear();
    AMH1.ToList.clear();
    AMH1.Operation = foDelete;
    RunFileOp();  // the file operation asks
    source->FillList();
}

void TMain::B_DeleteClick() {
    TMFileExplorer *source, *destination;
    if (!CommandPanes(source, destination)) return;
    DeleteSelection(source);
}

void TMain::PaneKeyDown(TMFileExplorer* pane, int key) {
    if (key == VK_DELETE && pane->HasSelection()) DeleteSelection(pane);
}

// The question before a drop copies: on the right pane the copy button's, on the left pane a
// fixed English one.
bool TMain::AskDropCopy(TMFileExplorer* destination, int count) {
    if (destination == RightPane)
        return questions_.AskOkCancel("Tavrin", TransferQuestion(state_.ConfirmCopyText, count));
    return questions_.AskOkCancel("Confirm file operation",
                                  "Copy " + std::to_string(count) + " file(s)?");
}

void TMain::RightPaneDragDrop() {
    if (!LeftPane->HasSelection()) return;
    if (!PrepareTransfer(LeftPane, RightPane, foCopy)) return;
    if (AskDropCopy(RightPane, LeftPane->SelectedCount())) RunFileOp();
    RightPane->FillList();
}

void TMain::LeftPaneDragDrop() {
    if (!RightPane->HasSelection()) return;
    if (!PrepareTransfer(RightPane, LeftPane, foCopy)) return;
    if (AskDropCopy(LeftPane, RightPane->SelectedCount())) RunFileOp();
    LeftPane->FillList();
}

void TMain::PaneDropFiles(TMFileExplorer* pane, const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    if (!PrepareTransfer(paths, pane, foCopy)) return;
    if (AskDropCopy(pane, int(paths.size()))) RunFileOp();
    pane->FillList();
}

}  // namespace tavrin
