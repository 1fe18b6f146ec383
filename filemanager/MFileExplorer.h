// TMFileExplorer: the file-list pane. Shows one folder or the drive list in four view
// styles over one model; the rules live in FileListLogic.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "filemanager/FileListLogic.h"

class QAbstractItemView;
class QDrag;
class QListView;
class QMimeData;
class QStackedLayout;
class QTreeView;

namespace tavrin {

class FileListModel;

class TMFileExplorer : public QWidget {
  public:
    enum ViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
    // The drag format of the panes: names the pane the drag started on.
    static constexpr const char* kPaneMimeType = "application/x-tavrin-file-pane";

    // `programDir`: recorded from the working folder when still empty (first pane).
    explicit TMFileExplorer(std::string* programDir, QWidget* parent = nullptr);
    ~TMFileExplorer() override;

    FileListLogic& Logic() { return logic_; }
    const FileListLogic& Logic() const { return logic_; }

    // Properties of the pane.
    const std::string& Directory() const { return logic_.Directory(); }
    void SetDirectory(const std::string& directory) { logic_.SetDirectory(directory); }
    void SetMask(const std::string& mask) { logic_.SetMask(mask); }
    void SetFileType(TFileType type) { logic_.SetFileType(type); }
    void FillList() { logic_.FillList(); }
    void UpDirectory() { logic_.UpDirectory(); }
    const std::string& SelectedFile() const { return logic_.SelectedFile(); }
    std::string SelectedFilenames() { return logic_.SelectedFilenames(); }
    int SelectedCount() const { return logic_.SelectedCount(); }
    bool HasSelection() const { return logic_.FirstSelected() >= 0; }
    // The caption (bare name) of the selected item; empty when none is selected.
    std::string SelectedCaption() const;

    void SetMultiSelect(bool multi);
    bool MultiSelect() const { return multiSelect_; }
    void SetViewStyle(ViewStyle style);
    ViewStyle Style() const { return style_; }
    void SetShowColumnHeaders(bool show);
    // Whether one of the pane's views has the keyboard focus.
    bool HasFocus() const;
    // A pane that hides its selection shows it only while it has the focus of its window
    // (also while a question of that window is open); the other pane always shows it.
    void SetHideSelection(bool hide);
    bool ShowsSelection() const;
    // Called by the views when they gain or lose the focus.
    void FocusChanged();
    void SetFocus();
    QAbstractItemView* CurrentView() const;

    // Selects row `row` alone (as a click would) — also what the keyboard and tests use.
    void SelectRow(int row, bool clearOthers = true);

    // The pane a drag comes from, or null when the drag is not a pane's.
    static TMFileExplorer* PaneOfDrag(const QMimeData* data);
    // The local files of a drag from another program (text/uri-list), as the bytes of their
    // paths; empty for a pane's drag and for anything that names no local file.
    static std::vector<std::string> FilesOfDrag(const QMimeData* data);

    // Events of the pane.
    std::function<void()> OnChange;    // an item changed (selection, listing)
    std::function<void()> OnClick;     // after SelectedFile was updated
    std::function<void()> OnDblClick;  // before navigating or opening
    std::function<void(int key, Qt::KeyboardModifiers)> OnKeyDown;  // after the pane's keys
    std::function<void(int key, Qt::KeyboardModifiers)> OnKeyUp;
    std::function<bool(TMFileExplorer* source)> OnDragOver;  // accept the drag?
    std::function<void(TMFileExplorer* source)> OnDragDrop;
    // Files dragged from another program (the desktop's file manager): their paths.
    std::function<void(const std::vector<std::string>& paths)> OnDropFiles;
    // Runs a drag that has started (replaceable in tests; the default runs it with the
    // platform until the drop).
    std::function<void(QDrag* drag)> runDrag;
    // Opens a file with its default action (replaceable in tests).
    std::function<void(const std::string& path)> openFile;

    // Called by the views.
    void HandleClick();
    void HandleDoubleClick();
    bool HandleKeyPress(int key, Qt::KeyboardModifiers modifiers);  // true: consumed
    void HandleKeyRelease(int key, Qt::KeyboardModifiers modifiers);
    void HandleRightButton(const QPoint& viewportPos, QAbstractItemView* view);
    bool AcceptsDrag(const QMimeData* data);
    void Drop(const QMimeData* data);
    QMimeData* MakeDragData() const;

    // Report view: the width each column shows with, at least the described one.
    int ColumnWidth(int column) const;

  private:
    void SyncSelection();
    void ApplyColumns();
    void ApplyListStyle();

    FileListLogic logic_;
    std::unique_ptr<FileListModel> model_;
    QStackedLayout* stack_;
    QListView* list_;
    QTreeView* report_;
    ViewStyle style_ = vsIcon;
    bool multiSelect_ = false;
    bool hideSelection_ = false;
    bool syncing_ = false;
};

}  // namespace tavrin
