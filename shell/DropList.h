// ListaZip: the packer's drop list. Takes drags from the file panes and the Delete key.
#pragma once

#include <QListWidget>
#include <functional>

namespace tavrin {

class TMFileExplorer;

class DropList : public QListWidget {
  public:
    explicit DropList(QWidget* parent = nullptr);
    std::function<bool(TMFileExplorer* source)> OnDragOver;
    std::function<void(TMFileExplorer* source)> OnDragDrop;
    std::function<bool(int key)> OnKeyDown;  // true: handled

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace tavrin
