// TMain: the main window. A file pane on the left, a page area on the right whose page
// follows the mode, one toolbar per mode at the bottom, menus, status bar.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MainState.h"
#include "description/DescriptionCap.h"
#include "description/DescriptionLookup.h"
#include "engine/Engine.h"
#include "engine/EngineCallbacks.h"
#include "filemanager/AMHFileOp.h"
#include "filemanager/MFileExplorer.h"
#include "mp3/MPEGPlay.h"
#include "packer/ArchiveJobs.h"
#include "platform/UserQuestions.h"
#include "platform/Volumes.h"

class QAction;
class QString;
class QMenu;
class QSystemTrayIcon;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QSplitter;
class QStackedWidget;
class QTabWidget;
class QToolBar;
class QToolButton;
class QWidget;

namespace tavrin {

class DescriptionEditor;
class MediaPanel;
class Mp3TagPanel;
class TID3v1;
namespace viewer {
class TViewForm;
}
class TID3v2;
class DropList;
class TFrmUnzip;
class TFrmWaitZip;
class TFrmZipOpt;
class TAboutBox;
class TrayMenu;

class TMain : public QMainWindow, public EngineOutput, public DescriptionTarget {
  public:
    TMain(MainState& state, UserQuestions& questions, QWidget* parent = nullptr);
    ~TMain() override;

    // The creation steps run before the user sees the window. False when the zip engine
    // check failed: the error has been shown and the program ends.
    bool FormCreate();

    MainState& State() { return state_; }
    Engine& ZipEngine() { return engine_; }
    TMPEGPlayer& MPEG1() { return player_; }

    // Mode switches: page, left pane mask and selection, bottom toolbar.
    void b_dizmodeClick();
    void b_zipmodeClick();
    void b_filemodeClick();

    // --- Menus and tray -------------------------------------------------------------------
    void M_WWClick();
    void M_FontClick();
    // "Description guide": the editor's guide at column 45 and under line 10, and the cursor's
    // line and column in the status bar's second panel while it is on.
    void M_GuideClick();
    void ShowCursorPosition();
    // Gives every page the minimum width of the widest (the tag panel's, in the language
    // applied): the left panel's width then never follows what the page shows.
    void FitPageWidths();
    static constexpr int kLeftPanelWidth = 385;
    // Keeps the described text colours of every window readable on the desktop's palette.
    void FitColours();
    // Gives the description editor the font and colour chosen in the font dialog.
    void SetEditorFont(const FontChoice& chosen);
    void Hiddenfiles1Click();
    void ManagingZIPfiles1Click();
    void About1Click();
    void Minimize();
    void Tray1Click();
    void Tray1DblClick();
    void Restore1Click();
    void AboutTavrinClick();
    void Exitprogram1Click();

    // --- Description page ----------------------------------------------------------------
    void GetInfo(const std::string& path);
    void ViewInfo(const std::string& path);
    void b_autoClick();
    void B_FileIDClick();
    void B_readmeClick();
    void B_filenameClick();
    void b_customClick();
    // A custom-names menu item: `caption` is the item's name as the menu shows it.
    void GestCust(const QString& caption);
    void B_viewClick();
    void DIZEditKeyDown(int key);
    void B_SaveClick();
    // Writes the editor's text into `archive` under the frame's caption. True when stored
    // (or the engine refused the options, which it reports itself).
    bool EmbedDescription(const std::string& archive);
    // Rebuilds the custom-names menu of b_custom from `names` (last item AllCustomLabel).
    void GenerateCustMenu(const std::vector<std::string>& names);
    const std::vector<std::string>& CustomNames() const { return customNames_; }
    // The bytes a save stores (the editor's text and a SAUCE record kept apart from it), and
    // a description shown from its bytes.
    std::string DescriptionBytes() const;
    void ShowDescription(const std::string& bytes);
    bool DescriptionCut() const { return descriptionCut_; }
    // The compression level text the embedding uses (the zip options dialog's level box).
    std::function<std::string()> levelText = [] { return std::string("6"); };
    // --- MP3 tag panel and playback ------------------------------------------------------
    void ViewMP3(const std::string& fileName);
    bool IDTagWrite(const std::string& fileName);  // false when a chosen tag was not saved
    void B_CopyFromClick();
    void B_CopyToClick();
    void MP_v1KeyDown(int key);
    void MP_v2KeyDown(int key);
    void CB_GenreChange(int page);
    void VrMediaButton1Click();
    void VrMediaButton3Click();
    TID3v1& TagV1() { return *tagV1_; }
    TID3v2& TagV2() { return *tagV2_; }

    // --- Packer page, zip options, unzip dialog -----------------------------------------
    // The dialogs the start-up creates in their order, handed to the main window.
    void AttachForms(TFrmUnzip* unzip, TFrmZipOpt* options, TFrmWaitZip* wait);
    bool ListaZipDragOver(TMFileExplorer* source);
    void ListaZipDragDrop(TMFileExplorer* source);
    // Files dragged from another program onto the drop list: each path becomes an entry.
    void ListaZipDropFiles(const std::vector<std::string>& paths);
    bool ListaZipKeyDown(int key);
    void btnSaveToClick();
    void ZipOptClick();
    void B_ZipThemClick();
    void Set_ZipDllOptions();
    void Get_ZipDllOptions();
    void B_ZipDefaultClick();
    void B_UnzipClick();
    void Get_Contents(const std::string& archive);
    void UnZip_SelectedFiles(const std::string& archive, bool all);
    // The drop list's entries, in order.
    const std::vector<std::string>& DroppedNames() const { return dropped_; }
    TFrmUnzip* FrmUnzip = nullptr;
    TFrmZipOpt* FrmZipOpt = nullptr;
    TFrmWaitZip* FrmWaitZip = nullptr;

    // --- File manager ------------------------------------------------------------------
    void B_CopyClick();
    void B_MoveClick();
    void B_DeleteClick();
    void LeftPaneDragDrop();
    void RightPaneDragDrop();
    // Files dragged from another program onto a pane: copied into its folder after the same
    // question as a drop from the other pane.
    void PaneDropFiles(TMFileExplorer* pane, const std::vector<std::string>& paths);
    void PaneKeyDown(TMFileExplorer* pane, int key);
    void AttachViewer(viewer::TViewForm* form);
    void b_previewClick();
    // The focused pane's selected file: none when neither pane has the focus, "" when the
    // focused pane has no selected item.
    std::optional<std::string> FocusedPaneFile() const;
    viewer::TViewForm* ViewForm = nullptr;
    TAMHFileOp AMH1;
    QToolButton *ToolButton11, *UpDirR;
    QToolButton* LeftViewButtons[4];   // ToolButton12..15: large, small, list, report
    QToolButton* RightViewButtons[4];  // ToolButton10, 3, 4, 9

    // --- Selection and leaving -----------------------------------------------------------
    void LeftPaneClick();
    void LeftPaneKeyUp(int key);
    void Exit1Click();
    // Offers to save a pending edit. `leaving`: the question before the program ends. False
    // when the edit could not be stored and the program must stay open.
    bool SettlePendingEdit(bool leaving);
    // Folder history and drive box of a pane (at most 30 folders, the oldest goes first).
    void SyncPaneBoxes(TMFileExplorer* pane, QComboBox* dirBox, QComboBox* driveBox);

    // EngineOutput and DescriptionTarget: the lookup's text and frame caption.
    bool AppendDescription(const std::string& piece) override;
    void AddListingLine(const std::string& line, const std::string& entryName) override;
    void ClearDescription() override;
    void SetCornice(const Candidate& name) override;
    // Receives the listing lines of the unzip dialog.
    std::function<void(const std::string& line)> listingSink;

    // The largest description shown; a longer one is shown cut and cannot be saved.
    static constexpr std::size_t kMaxDescriptionBytes = tavrin::kMaxDescriptionBytes;

    // Controls other parts and tests reach.
    QToolButton *b_dizmode, *b_zipmode, *b_filemode, *b_quit;
    QWidget* PanLeftPane;
    QSplitter* Splitter;
    QToolBar* ToolBar2;
    QComboBox *CB_DriveM, *CBDirM, *CB_DriveR, *CBDirR;
    TMFileExplorer *LeftPane, *RightPane;
    QStackedWidget* JobControl;
    QWidget *DIZPage, *PackPage, *FileMgrPage;
    QGroupBox* Cornice;
    DescriptionEditor* DIZEdit;
    MediaPanel* MPanel;
    QMenu* CustMenu;
    QSystemTrayIcon* Tray1;
    TrayMenu* PopupMenu;
    QAction *Restore1, *AboutTavrin, *Exitprogram1;
    TAboutBox* AboutBox = nullptr;
    Mp3TagPanel* MP3Panel;
    QComboBox *CB_Genre, *CB_genre2;  // the panel's genre boxes
    QLabel *Lstep1, *Ldrop, *Lstep2, *Lstep3;
    DropList* ListaZip;
    QLineEdit* edtZipFileName;
    QToolButton *btnSaveTo, *b_ZipOpt, *b_ZipThem;
    QToolBar *ToolFILE, *ToolDIZ, *ToolZIP;
    QToolButton *b_preview, *b_copy, *b_move, *b_delete;
    QToolButton *b_auto, *b_fileID, *b_filename, *b_readme, *b_custom, *b_save, *b_unzip,
        *b_autoview, *b_view;
    QLabel *StatusPanel0, *StatusPanel1;
    QAction *File1, *Exit1, *Mode1, *DIZ1, *ZIP1, *Filemanager1, *Options1, *M_Font, *M_WW,
        *M_Guide, *Hiddenfiles1, *Customfile1, *Changelanguage1, *Help1, *ManagingZIPfiles1,
        *About1;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void BuildMenus();
    void BuildTray();
    void SelectLookupButton(QToolButton* button, const QString& status);
    LookupChoice CurrentChoice() const;
    void MarkEdited();
    void ConnectFileManager();
    bool CommandPanes(TMFileExplorer*& source, TMFileExplorer*& destination) const;
    bool RefuseDriveRows(TMFileExplorer* source, FileOpKind kind);
    bool PrepareTransfer(TMFileExplorer* source, TMFileExplorer* destination, TFileOp operation);
    bool PrepareTransfer(const std::vector<std::string>& paths, TMFileExplorer* destination,
                         TFileOp operation);
    bool AskDropCopy(TMFileExplorer* destination, int count);
    std::string TransferQuestion(const std::string& opening, int count) const;
    void DeleteSelection(TMFileExplorer* source);
    void RunFileOp();
    EngineCallRunner WaitRunner();
    void ClearEdited();
    void BuildTopToolbar();
    QWidget* BuildLeftPanel();
    QWidget* BuildDescriptionPage();
    QWidget* BuildPackerPage();
    QWidget* BuildFileManagerPage();
    void BuildBottomToolbars();
    void BuildStatusBar();
    void ShowModeToolbar(QToolBar* shown);
    void SwitchMode(QWidget* page, const std::string& mask, bool multiSelect, QToolBar* bar);
    void FillDriveBoxes(const std::vector<Volume>& volumes);
    void FitDirectoryList(QComboBox* dirBox);
    void FillGenreBoxes();

    MainState& state_;
    UserQuestions& questions_;
    Engine engine_;
    TMPEGPlayer player_;
    std::vector<std::string> customNames_;
    std::vector<std::string> dropped_;
    std::unique_ptr<TID3v1> tagV1_;
    std::unique_ptr<TID3v2> tagV2_;
    bool v1GenreTouched_ = false;  // the user changed the ID3v1 genre box since ViewMP3  //
                                   // ListaZip's entries as bytes
    std::string lastSaveName_;
    Candidate corniceName_{kFileIdName};  // the name the frame shows, as bytes
    std::string descriptionBytes_;        // what the lookup delivered
    std::string sauceTail_;               // the shown description's SAUCE record, as bytes
    bool descriptionCut_ = false;
    DescriptionCap descriptionCap_;
    bool loadingDescription_ = false;
    bool ending_ = false;
    std::optional<std::string> previewFile_;  // "End program": leave without questions
};

}  // namespace tavrin
