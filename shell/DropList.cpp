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

void DropList::dragEnterEvent(QDragEnterEvent* event) {
    if (OnDragOver && OnDragOver(TMFileExplorer::PaneOfDrag(event->mimeData())))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DropList::dragMoveEvent(QDragMoveEvent* event) {
    if (OnDragOver && OnDragOver(TMFileExplorer::PaneOfDrag(event->mimeData())))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DropList::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    if (OnDragDrop) OnDragDrop(TMFileExplorer::PaneOfDrag(event->mimeData()));
}

void DropList::keyPressEvent(QKeyEvent* event) {
    if (OnKeyDown && OnKeyDown(VirtualKeyOf(event))) return;
    QListWidget::keyPressEvent(event);
}

}  // namespace tavrin
