#include "shell/DropList.h"

#include <QDragEnterEvent>
#include <QKeyEvent>

#include "filemanager/MFileExplorer.h"
#include "platform/qt/VirtualKey.h"

namespace tavrin {

DropList::DropList(QWidget* parent) : QListWidget(parent) {
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

bool DropList::Accepts(const QMimeData* data) const {
    if (TMFileExplorer* source = TMFileExplorer::PaneOfDrag(data))
        return OnDragOver && OnDragOver(source);
    return OnDropFiles && !TMFileExplorer::FilesOfDrag(data).empty();
}

void DropList::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void DropList::dragMoveEvent(QDragMoveEvent* event) {
    if (!Accepts(event->mimeData())) {
        event->ignore();
        return;
    }
    // The files are only named in the list: whatever the source proposed, nothing moves.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DropList::dropEvent(QDropEvent* event) {
    if (!Accepts(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (TMFileExplorer* source = TMFileExplorer::PaneOfDrag(event->mimeData())) {
        if (OnDragDrop) OnDragDrop(source);
    } else if (OnDropFiles) {
        OnDropFiles(TMFileExplorer::FilesOfDrag(event->mimeData()));
    }
}

void DropList::keyPressEvent(QKeyEvent* event) {
    if (OnKeyDown && OnKeyDown(VirtualKeyOf(event))) return;
    QListWidget::keyPressEvent(event);
}

}  // namespace tavrin
