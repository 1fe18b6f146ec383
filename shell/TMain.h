// TMain: the main window. A file pane on the left, a page area on the right whose page
// follows the mode, one toolbar per mode at the bottom, menus, status bar.
#pragma once

#include <QMainWindow>
#include <string>

#include "app/MainState.h"
#include "engine/Engine.h"
#include "filemanager/MFileExplorer.h"
#include "mp3/MPEGPlay.h"
#include "platform/UserQuestions.h"
#include "platform/Volumes.h"

class QAction;
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

class TMain : public QMainWindow {
  public:
    TMain(MainState& state, UserQuestions& questions, QWidget* parent = nullptr);

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

    // Controls other parts and tests reach.
    QToolButton *b_dizmode, *b_zipmode, *b_filemode, *b_quit;
    QWidget* PanLeftPane;
    QToolBar* ToolBar2;
    QComboBox *CB_DriveM, *CBDirM, *CB_DriveR, *CBDirR;
    TMFileExplorer *LeftPane, *RightPane;
    QStackedWidget* JobControl;
    QWidget *DIZPage, *PackPage, *FileMgrPage;
    QGroupBox* Cornice;
    QPlainTextEdit* DIZEdit;
    QTabWidget* MP3Panel;
    QComboBox *CB_Genre, *CB_genre2;
    QLabel *Lstep1, *Ldrop, *Lstep2, *Lstep3;
    QListWidget* ListaZip;
    QLineEdit* edtZipFileName;
    QToolButton *btnSaveTo, *b_ZipOpt, *b_ZipThem;
    QToolBar *ToolFILE, *ToolDIZ, *ToolZIP;
    QToolButton *b_preview, *b_copy, *b_move, *b_delete;
    QToolButton *b_auto, *b_fileID, *b_filename, *b_readme, *b_custom, *b_save, *b_unzip,
        *b_autoview, *b_view;
    QLabel *StatusPanel0, *StatusPanel1;
    QAction *File1, *Exit1, *Mode1, *DIZ1, *ZIP1, *Filemanager1, *Options1, *M_Font, *M_WW,
        *Hiddenfiles1, *Customfile1, *Changelanguage1, *Help1, *ManagingZIPfiles1, *About1;

  private:
    void BuildMenus();
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
    void FillGenreBoxes();

    MainState& state_;
    UserQuestions& questions_;
    Engine engine_;
    TMPEGPlayer player_;
};

}  // namespace tavrin
