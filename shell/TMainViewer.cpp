// The file manager's "View": the viewer window shows the focused pane's selected file.
#include <QToolButton>

#include "shell/TMain.h"
#include "viewer/FormView.h"

namespace tavrin {

void TMain::AttachViewer(viewer::TViewForm* form) {
    ViewForm = form;
    // The file is taken when View is pressed: once the window shows, it has the focus.
    ViewForm->fileToShow = [this] { return previewFile_; };
    ViewForm->showInformation = [this](const std::string& text) {
        questions_.ShowMessage(kAppTitle, text, BoxIcon::Information);
    };
    connect(b_preview, &QToolButton::clicked, this, &TMain::b_previewClick);
}

std::optional<std::string> TMain::FocusedPaneFile() const {
    TMFileExplorer* pane = LeftPane->HasFocus()    ? LeftPane
                           : RightPane->HasFocus() ? RightPane
                                                   : nullptr;
    if (!pane) return std::nullopt;
    std::string caption = pane->SelectedCaption();
    return caption.empty() ? std::string() : pane->Directory() + caption;
}

void TMain::b_previewClick() {
    if (!ViewForm) return;
    previewFile_ = FocusedPaneFile();
    ViewForm->exec();
}

}  // namespace tavrin
