// TFrmUnzip: the unzip dialog. Lists the archive selected in the left pane and extracts all
// of its entries, or the selected ones, into a folder, with five engine options.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "packer/ArchiveJobs.h"
#include "packer/ListingView.h"

class QCheckBox;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace tavrin {

// LTree: a tree of folders with the full path of the selected one and a click.
class FolderTree : public QWidget {
  public:
    explicit FolderTree(QWidget* parent = nullptr);
    std::string SelectedPath() const;
    void SelectPath(const std::string& path);
    std::function<void()> OnClick;
    QTreeView* View() const { return view_; }

  private:
    QTreeView* view_;
    QFileSystemModel* model_;
};

class TFrmUnzip : public QDialog {
  public:
    static constexpr int kNarrowWidth = 407;
    static constexpr int kWideWidth = 631;

    explicit TFrmUnzip(QWidget* parent = nullptr);

    void B_OptionsClick();
    void LTreeClick();
    void B_AbortClick();
    void B_UnzipClick();

    UnzipBoxes Boxes() const;
    // The selection state of every listing line.
    std::vector<bool> SelectedLines() const;

    // The main window's work: the item shown on the left (its caption and full path), the
    // listing (Get_Contents) and the extraction (UnZip_SelectedFiles).
    std::function<std::string()> selectedCaption;
    std::function<std::string()> selectedPath;
    std::function<void(const std::string& archive)> onList;
    std::function<void(bool all)> onExtract;

    QLabel *Label1, *Label2, *Label3, *Label4, *Label5;
    ListingView* FilesList;
    QLineEdit* T_Dir;
    QPushButton *B_Options, *B_Abort, *B_Unzip;
    QRadioButton *R_all, *R_sel;
    FolderTree* LTree;
    QGroupBox* GroupBox1;
    QCheckBox *chExtractOnlyNewer, *chUFlag, *chOFlag, *chC_flag, *chDFlag;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FitRows();
    void PlaceHeadings();
};

}  // namespace tavrin
