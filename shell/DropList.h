// ListaZip: the packer's drop list. Takes drags from the file panes, files dragged from other
// programs (the desktop's file manager), and the Delete key.
#pragma once

#include <QListWidget>
#include <functional>
#include <string>
#include <vector>

namespace tavrin {

class TMFileExplorer;

class DropList : public QListWidget {
  public:
    explicit DropList(QWidget* parent = nullptr);
    std::function<bool(TMFileExplorer* source)> OnDragOver;
    std::function<void(TMFileExplorer* source)> OnDragDrop;
    // Files dragged from another program: the bytes of their paths.
    std::function<void(const std::vector<std::string>& paths)> OnDropFiles;
    std::function<bool(int key)> OnKeyDown;  // true: handled

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool Accepts(const QMimeData* data) const;
};

}  // namespace tavrin
