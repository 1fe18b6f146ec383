#include "shell/TMain.h"

#include <unistd.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "engine/EngineCallbacks.h"
#include "mp3/Genres.h"
#include "mp3/ID3v1.h"
#include "mp3/ID3v2.h"
#include "mp3/MP3Panel.h"
#include "platform/Volumes.h"
#include "platform/qt/Text.h"
#include "shell/AppIcon.h"
#include "shell/DescriptionEditor.h"
#include "shell/DropList.h"
#include "shell/TAboutBox.h"
#include "shell/ToolIcons.h"
#include "shell/TrayMenu.h"

namespace tavrin {

namespace {

QToolButton* MakeButton(QWidget* parent, const QString& caption, const QString& hint = {},
                        QStyle::StandardPixmap icon = QStyle::SP_CustomBase) {
    auto* b = new QToolButton(parent);
    if (!caption.isEmpty()) b->setText(caption);
    if (!hint.isEmpty()) b->setToolTip(hint);
    if (icon != QStyle::SP_CustomBase) {
        b->setIcon(parent->style()->standardIcon(icon));
        b->setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly
                                                : Qt::ToolButtonTextBesideIcon);
    } else {
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    b->setAutoRaise(true);
    return b;
}

QLabel* StepLabel(const QString& text, const char* colour, bool large, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    if (large) f.setPointSize(f.pointSize() + 4);
    label->setFont(f);
    label->setStyleSheet(QString("color: %1;").arg(colour));
    return label;
}

std::string WorkingFolder() {
    std::error_code ec;
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string("/");
}

// The four view-style buttons of a pane's toolbar: large icons, small icons, list, report. The
// button of the pane's style is down.
void AddViewButtons(QToolBar* bar, QToolButton* buttons[4]) {
    const ToolIconKind icons[] = {ToolIconKind::LargeIcons, ToolIconKind::SmallIcons,
                                  ToolIconKind::List, ToolIconKind::Details};
    const char* hints[] = {"Large icons", "Small icons", "List", "Details"};
    auto* group = new QButtonGroup(bar);
    group->setExclusive(true);
    for (int i = 0; i < 4; ++i) {
        buttons[i] = MakeButton(bar, {}, hints[i]);
        buttons[i]->setIcon(ToolIcon(icons[i]));
        buttons[i]->setToolButtonStyle(Qt::ToolButtonIconOnly);
        buttons[i]->setCheckable(true);
        group->addButton(buttons[i]);
        bar->addWidget(buttons[i]);
    }
    buttons[0]->setChecked(true);  // both panes start with large icons
}

// The box's list as wide as its longest entry, so no entry is cut; the box itself may be
// narrower.
void FitListToEntries(QComboBox* box) {
    const QFontMetrics metrics(box->view()->font());
    int widest = 0;
    for (int i = 0; i < box->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(box->itemText(i)));
    const int frame = 2 * box->view()->frameWidth() + 24;  // item margins and scroll bar
    box->view()->setTextElideMode(Qt::ElideNone);
    box->view()->setMinimumWidth(widest + frame);
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

}  // namespace

TMain::TMain(MainState& state, UserQuestions& questions, QWidget* parent)
    : QMainWindow(parent), state_(state), questions_(questions) {
    setObjectName("Main");
    setWindowTitle(kAppTitle);
    setWindowIcon(AppIcon());
    resize(809, 586);
    SetEngineOutput(this);

    // The two panes come first: the first one records the folder the program was started
    // in as ProgramDir. Their initial folder, the user's home folder, is applied below.
    LeftPane = new TMFileExplorer(&state_.ProgramDir, this);
    LeftPane->setObjectName("LeftPane");
    RightPane = new TMFileExplorer(&state_.ProgramDir, this);
    RightPane->setObjectName("RightPane");
    for (TMFileExplorer* pane : {LeftPane, RightPane}) {
        pane->SetFileType(ftArchive | ftNormal);
        pane->Logic().ContextMenu = false;
        pane->Logic().ContextAction = true;
        pane->SetShowColumnHeaders(false);
    }
    LeftPane->SetMask("*.zip;*.mp3");
    RightPane->SetMultiSelect(true);
    RightPane->SetHideSelection(true);

    BuildMenus();
    BuildTopToolbar();
    auto* splitter = Splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setHandleWidth(10);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(BuildLeftPanel());
    JobControl = new QStackedWidget(splitter);
    JobControl->addWidget(BuildDescriptionPage());
    JobControl->addWidget(BuildPackerPage());
    JobControl->addWidget(BuildFileManagerPage());
    splitter->addWidget(JobControl);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);
    BuildBottomToolbars();
    BuildStatusBar();
    BuildTray();
    AboutBox = new TAboutBox(this);
    ConnectFileManager();
    LeftPane->OnClick = [this] { LeftPaneClick(); };
    LeftPane->OnKeyUp = [this](int key, Qt::KeyboardModifiers) { LeftPaneKeyUp(key); };
    std::string home = WithSlash(FileNameBytes(QDir::homePath()));
    LeftPane->SetDirectory(home);
    RightPane->SetDirectory(home);
    b_dizmodeClick();
    // The window is at least as wide as the left panel's 385 pixels and the widest page
    // need, so the panel keeps its width when the tag panel is shown.
    FitPageWidths();
    resize(std::max(809, kLeftPanelWidth + Splitter->handleWidth() + JobControl->minimumWidth()),
           586);
    Splitter->setSizes({kLeftPanelWidth, width() - kLeftPanelWidth - Splitter->handleWidth()});

    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TMain::BuildMenus() {
    QMenu* file = menuBar()->addMenu("File");
    File1 = file->menuAction();
    Exit1 = file->addAction("Exit");
    connect(Exit1, &QAction::triggered, this, &TMain::Exit1Click);

    QMenu* mode = menuBar()->addMenu("Mode");
    Mode1 = mode->menuAction();
    DIZ1 = mode->addAction("DIZ && MP3 info");
    ZIP1 = mode->addAction("easy zip packer");
    Filemanager1 = mode->addAction("File manager");

    QMenu* options = menuBar()->addMenu("Options");
    Options1 = options->menuAction();
    M_Font = options->addAction("Font...");
    M_WW = options->addAction("Word wrap");
    M_WW->setCheckable(true);
    // Off at start and not stored.
    M_Guide = options->addAction("Description guide");
    M_Guide->setCheckable(true);
    Hiddenfiles1 = options->addAction("Show hidden files");
    Hiddenfiles1->setCheckable(true);
    Customfile1 = options->addAction("Custom file...");
    Changelanguage1 = options->addAction("Change language...");
    connect(M_Font, &QAction::triggered, this, &TMain::M_FontClick);
    connect(M_WW, &QAction::triggered, this, &TMain::M_WWClick);
    connect(M_Guide, &QAction::triggered, this, &TMain::M_GuideClick);
    connect(Hiddenfiles1, &QAction::triggered, this, &TMain::Hiddenfiles1Click);

    QMenu* help = menuBar()->addMenu("Help");
    Help1 = help->menuAction();
    ManagingZIPfiles1 = help->addAction("Using Tavrin");
    ManagingZIPfiles1->setShortcut(QKeySequence(Qt::Key_F1));
    About1 = help->addAction("About...");
    connect(ManagingZIPfiles1, &QAction::triggered, this, &TMain::ManagingZIPfiles1Click);
    connect(About1, &QAction::triggered, this, &TMain::About1Click);
}

void TMain::BuildTopToolbar() {
    auto* bar = new QToolBar("ToolMain", this);
    bar->setObjectName("ToolMain");
    bar->setMovable(false);
    b_dizmode = MakeButton(bar, "DIZ && MP3 info", {}, QStyle::SP_FileDialogDetailedView);
    b_zipmode = MakeButton(bar, "easy zip packer", {}, QStyle::SP_DriveFDIcon);
    b_filemode = MakeButton(bar, "file manager", {}, QStyle::SP_DirIcon);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    for (QToolButton* b : {b_dizmode, b_zipmode, b_filemode}) {
        b->setCheckable(true);
        group->addButton(b);
        bar->addWidget(b);
    }
    b_dizmode->setChecked(true);
    connect(b_dizmode, &QToolButton::clicked, this, &TMain::b_dizmodeClick);
    connect(b_zipmode, &QToolButton::clicked, this, &TMain::b_zipmodeClick);
    connect(b_filemode, &QToolButton::clicked, this, &TMain::b_filemodeClick);
    connect(DIZ1, &QAction::triggered, this, [this] {
        b_dizmodeClick();
        b_dizmode->setChecked(true);
    });
    connect(ZIP1, &QAction::triggered, this, [this] {
        b_zipmodeClick();
        b_zipmode->setChecked(true);
    });
    connect(Filemanager1, &QAction::triggered, this, [this] {
        b_filemodeClick();
        b_filemode->setChecked(true);
    });

    auto* spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    b_quit = MakeButton(bar, "Exit", {}, QStyle::SP_DialogCloseButton);
    bar->addWidget(b_quit);
    connect(b_quit, &QToolButton::clicked, this, &TMain::Exit1Click);
    addToolBar(Qt::TopToolBarArea, bar);
}

QWidget* TMain::BuildLeftPanel() {
    PanLeftPane = new QWidget(this);
    PanLeftPane->setObjectName("PanLeftPane");
    PanLeftPane->setMinimumWidth(200);
    auto* layout = new QVBoxLayout(PanLeftPane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ToolBar2 = new QToolBar(PanLeftPane);
    ToolButton11 = MakeButton(ToolBar2, {}, "Up", QStyle::SP_FileDialogToParent);
    ToolBar2->addWidget(ToolButton11);
    CB_DriveM = new QComboBox(ToolBar2);
    CB_DriveM->setEditable(true);
    CB_DriveM->setFixedWidth(80);
    QFont red = CB_DriveM->font();
    red.setBold(true);
    CB_DriveM->setFont(red);
    CB_DriveM->setStyleSheet("color: red;");
    ToolBar2->addWidget(CB_DriveM);
    CBDirM = new QComboBox(ToolBar2);
    CBDirM->setEditable(true);
    CBDirM->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Its width comes from the panel, not from the longest folder of its history.
    CBDirM->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CBDirM->setMinimumContentsLength(10);
    ToolBar2->addWidget(CBDirM);
    AddViewButtons(ToolBar2, LeftViewButtons);

    layout->addWidget(ToolBar2);
    LeftPane->setParent(PanLeftPane);
    layout->addWidget(LeftPane);
    return PanLeftPane;
}

QWidget* TMain::BuildDescriptionPage() {
    DIZPage = new QWidget(this);
    auto* layout = new QVBoxLayout(DIZPage);
    layout->setContentsMargins(2, 2, 2, 2);
    Cornice = new QGroupBox("file_id.diz", DIZPage);
    auto* frame = new QVBoxLayout(Cornice);
    DIZEdit = new DescriptionEditor(Cornice);
    DIZEdit->setObjectName("DIZEdit");
    DIZEdit->onKeyDown = [this](int key) { DIZEditKeyDown(key); };
    DIZEdit->onUserEdit = [this] { MarkEdited(); };
    connect(DIZEdit, &QPlainTextEdit::cursorPositionChanged, this, &TMain::ShowCursorPosition);
    // The player panel: Play and Stop, top right of the description area.
    MPanel = new MediaPanel(Cornice);
    MPanel->setVisible(false);
    frame->addWidget(MPanel, 0, Qt::AlignRight);
    connect(MPanel->VrMediaButton1, &QToolButton::clicked, this, &TMain::VrMediaButton1Click);
    connect(MPanel->VrMediaButton3, &QToolButton::clicked, this, &TMain::VrMediaButton3Click);
    frame->addWidget(DIZEdit);
    // The tag panel lies over the editor in the same frame, hidden until an MP3 file is shown.
    MP3Panel = new Mp3TagPanel(Cornice);
    MP3Panel->setVisible(false);
    CB_Genre = MP3Panel->CB_Genre;
    CB_genre2 = MP3Panel->CB_genre2;
    MP3Panel->onFieldKey = [this](int page, int key) {
        page == 1 ? MP_v1KeyDown(key) : MP_v2KeyDown(key);
    };
    MP3Panel->onFieldEdited = [this](int page) {
        MarkEdited();
        (page == 1 ? MP3Panel->Ck_V1 : MP3Panel->Ck_V2)->setChecked(true);
    };
    MP3Panel->onGenreChanged = [this](int page) { CB_GenreChange(page); };
    connect(MP3Panel->B_CopyFrom, &QPushButton::clicked, this, &TMain::B_CopyFromClick);
    connect(MP3Panel->B_CopyTo, &QPushButton::clicked, this, &TMain::B_CopyToClick);
    frame->addWidget(MP3Panel);
    layout->addWidget(Cornice);
    return DIZPage;
}

QWidget* TMain::BuildPackerPage() {
    PackPage = new QWidget(this);
    auto* layout = new QVBoxLayout(PackPage);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* panel2 = new QWidget(PackPage);
    panel2->setFixedHeight(33);
    auto* row = new QHBoxLayout(panel2);
    row->setContentsMargins(4, 0, 4, 0);
    Lstep1 = StepLabel("step 1:", "fuchsia", true, panel2);
    Ldrop = StepLabel("drop files here", "blue", false, panel2);
    row->addWidget(Lstep1);
    row->addWidget(Ldrop);
    row->addStretch();
    layout->addWidget(panel2);
    auto* group = new QGroupBox(PackPage);
    auto* inner = new QVBoxLayout(group);
    ListaZip = new DropList(group);
    ListaZip->setStyleSheet("color: blue;");
    ListaZip->OnDragOver = [this](TMFileExplorer* source) { return ListaZipDragOver(source); };
    ListaZip->OnDragDrop = [this](TMFileExplorer* source) { ListaZipDragDrop(source); };
    ListaZip->OnDropFiles = [this](const std::vector<std::string>& paths) {
        ListaZipDropFiles(paths);
    };
    ListaZip->OnKeyDown = [this](int key) { return ListaZipKeyDown(key); };
    inner->addWidget(ListaZip);
    layout->addWidget(group);
    return PackPage;
}

QWidget* TMain::BuildFileManagerPage() {
    FileMgrPage = new QWidget(this);
    auto* layout = new QVBoxLayout(FileMgrPage);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(FileMgrPage);
    UpDirR = MakeButton(bar, {}, "Up", QStyle::SP_FileDialogToParent);
    bar->addWidget(UpDirR);
    CB_DriveR = new QComboBox(bar);
    CB_DriveR->setEditable(true);
    CB_DriveR->setFixedWidth(80);
    CB_DriveR->setFont(CB_DriveM->font());
    CB_DriveR->setStyleSheet("color: red;");
    bar->addWidget(CB_DriveR);
    CBDirR = new QComboBox(bar);
    CBDirR->setEditable(true);
    CBDirR->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    CBDirR->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CBDirR->setMinimumContentsLength(10);
    bar->addWidget(CBDirR);
    AddViewButtons(bar, RightViewButtons);
    layout->addWidget(bar);
    RightPane->setParent(FileMgrPage);
    layout->addWidget(RightPane);
    return FileMgrPage;
}

void TMain::BuildBottomToolbars() {
    ToolFILE = new QToolBar("ToolFILE", this);
    b_preview = MakeButton(ToolFILE, "View", {}, QStyle::SP_FileDialogContentsView);
    b_copy = MakeButton(ToolFILE, "Copy", {}, QStyle::SP_DialogSaveButton);
    b_move = MakeButton(ToolFILE, "Move", {}, QStyle::SP_ArrowForward);
    b_delete = MakeButton(ToolFILE, "Delete", {}, QStyle::SP_TrashIcon);
    for (QToolButton* b : {b_preview, b_copy, b_move, b_delete}) ToolFILE->addWidget(b);

    ToolDIZ = new QToolBar("ToolDIZ", this);
    b_auto = MakeButton(ToolDIZ, {}, "Auto view", QStyle::SP_BrowserReload);
    b_fileID = MakeButton(ToolDIZ, {}, "file_id.diz");
    b_filename = MakeButton(ToolDIZ, {}, "<filename>.txt");
    b_readme = MakeButton(ToolDIZ, {}, "readme.txt");
    for (auto [button, icon] :
         {std::pair{b_fileID, ToolIconKind::FileId}, std::pair{b_filename, ToolIconKind::FileName},
          std::pair{b_readme, ToolIconKind::Readme}}) {
        button->setIcon(ToolIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    b_custom = MakeButton(ToolDIZ, Utf8Text(state_.AllCustomLabel), "custom");
    for (QToolButton* b : {b_auto, b_fileID, b_filename, b_readme, b_custom}) {
        b->setCheckable(true);
        ToolDIZ->addWidget(b);
    }
    b_auto->setChecked(true);
    b_custom->setEnabled(false);
    CustMenu = new QMenu(b_custom);
    b_custom->setMenu(CustMenu);
    b_custom->setPopupMode(QToolButton::MenuButtonPopup);
    connect(b_auto, &QToolButton::clicked, this, &TMain::b_autoClick);
    connect(b_fileID, &QToolButton::clicked, this, &TMain::B_FileIDClick);
    connect(b_filename, &QToolButton::clicked, this, &TMain::B_filenameClick);
    connect(b_readme, &QToolButton::clicked, this, &TMain::B_readmeClick);
    connect(b_custom, &QToolButton::clicked, this, &TMain::b_customClick);
    ToolDIZ->addSeparator();
    b_save = MakeButton(ToolDIZ, "Save info", {}, QStyle::SP_DialogSaveButton);
    b_save->setEnabled(false);
    b_unzip = MakeButton(ToolDIZ, "Unzip...", {}, QStyle::SP_DialogOpenButton);
    b_unzip->setEnabled(false);
    b_autoview = MakeButton(ToolDIZ, "Auto view");
    b_autoview->setCheckable(true);
    b_autoview->setChecked(true);
    b_view = MakeButton(ToolDIZ, "View", {}, QStyle::SP_FileDialogContentsView);
    for (QToolButton* b : {b_save, b_unzip, b_autoview, b_view}) ToolDIZ->addWidget(b);
    connect(b_save, &QToolButton::clicked, this, &TMain::B_SaveClick);
    connect(b_unzip, &QToolButton::clicked, this, &TMain::B_UnzipClick);
    connect(b_view, &QToolButton::clicked, this, &TMain::B_viewClick);

    ToolZIP = new QToolBar("ToolZIP", this);
    Lstep2 = StepLabel("step 2:", "fuchsia", true, ToolZIP);
    edtZipFileName = new QLineEdit(
        FileNameText(WithSlash(FileNameBytes(QDir::homePath())) + "ZIPPED.ZIP"), ToolZIP);
    edtZipFileName->setFixedWidth(258);
    QFont bold = edtZipFileName->font();
    bold.setBold(true);
    edtZipFileName->setFont(bold);
    btnSaveTo = MakeButton(ToolZIP, "Change zip file name...");
    btnSaveTo->setStyleSheet("color: blue;");
    b_ZipOpt = MakeButton(ToolZIP, "Options...");
    b_ZipOpt->setStyleSheet("color: blue;");
    Lstep3 = StepLabel("step 3:", "fuchsia", true, ToolZIP);
    connect(btnSaveTo, &QToolButton::clicked, this, &TMain::btnSaveToClick);
    connect(b_ZipOpt, &QToolButton::clicked, this, &TMain::ZipOptClick);
    b_ZipThem = MakeButton(ToolZIP, "Zip!", {}, QStyle::SP_MediaPlay);
    connect(b_ZipThem, &QToolButton::clicked, this, &TMain::B_ZipThemClick);
    b_ZipThem->setStyleSheet(
        "QToolButton { background: red; color: yellow; font-weight: bold; padding: 2px 8px; }");
    ToolZIP->addWidget(Lstep2);
    ToolZIP->addWidget(edtZipFileName);
    ToolZIP->addWidget(btnSaveTo);
    ToolZIP->addWidget(b_ZipOpt);
    ToolZIP->addWidget(Lstep3);
    ToolZIP->addWidget(b_ZipThem);

    for (QToolBar* bar : {ToolFILE, ToolDIZ, ToolZIP}) {
        bar->setMovable(false);
        bar->setObjectName(bar->windowTitle());
        addToolBar(Qt::BottomToolBarArea, bar);
    }
}

void TMain::BuildStatusBar() {
    StatusPanel0 = new QLabel("AUTO VIEW", this);
    StatusPanel0->setFixedWidth(200);
    StatusPanel1 = new QLabel(this);
    // Wide enough for the cursor's line and column while the description guide is on.
    StatusPanel1->setFixedWidth(
        std::max(50, StatusPanel1->fontMetrics().horizontalAdvance("99999:9999") + 8));
    statusBar()->addWidget(StatusPanel0);
    statusBar()->addWidget(StatusPanel1);
}

void TMain::FitPageWidths() {
    // The pages share one minimum width, the widest need of any of them with the tag panel
    // shown, so that showing an MP3 file never moves the splitter (the panel is measured while
    // the window does not paint).
    const bool tagsShown = !MP3Panel->isHidden();
    JobControl->setMinimumWidth(0);
    if (!tagsShown) {
        MP3Panel->setVisible(true);
        MPanel->setVisible(true);
    }
    int need = 0;
    for (QWidget* page : {DIZPage, PackPage, FileMgrPage}) {
        for (QLayout* layout : page->findChildren<QLayout*>()) layout->invalidate();
        need = std::max(need, page->minimumSizeHint().width());
    }
    if (!tagsShown) {
        MP3Panel->setVisible(false);
        MPanel->setVisible(false);
    }
    JobControl->setMinimumWidth(need);
    // A window too narrow for the left panel and the page grows, as far as the screen allows,
    // rather than squeezing the panel's toolbar.
    // (The splitter spans the whole width of the window.)
    const int left = Splitter->isVisible() ? Splitter->sizes().value(0) : kLeftPanelWidth;
    const int wanted = left + Splitter->handleWidth() + need;
    if (width() < wanted && !isMaximized() && !isFullScreen()) {
        int grown = wanted;
        if (QScreen* screen = this->screen())
            grown = std::min(grown, screen->availableGeometry().width());
        resize(grown, height());
        Splitter->setSizes({left, grown - left - Splitter->handleWidth()});
        if (!isVisible())
            if (QScreen* screen = this->screen())
                move(screen->availableGeometry().center() - rect().center());
    }
}

void TMain::ShowModeToolbar(QToolBar* shown) {
    for (QToolBar* bar : {ToolFILE, ToolDIZ, ToolZIP}) bar->setVisible(bar == shown);
}

void TMain::SwitchMode(QWidget* page, const std::string& mask, bool multiSelect, QToolBar* bar) {
    JobControl->setCurrentWidget(page);
    LeftPane->Logic().SetMask(mask);
    LeftPane->SetMultiSelect(multiSelect);
    LeftPane->FillList();
    ShowModeToolbar(bar);
}

void TMain::b_dizmodeClick() {
    SwitchMode(DIZPage, "*.zip;*.mp3", false, ToolDIZ);
}
void TMain::b_zipmodeClick() {
    SwitchMode(PackPage, "*.*", false, ToolZIP);
}
void TMain::b_filemodeClick() {
    SwitchMode(FileMgrPage, "*.*", true, ToolFILE);
}

void TMain::FillDriveBoxes(const std::vector<Volume>& volumes) {
    for (const Volume& v : volumes) {
        CB_DriveM->addItem(FileNameText(v.rootPath));
        CB_DriveR->addItem(FileNameText(v.rootPath));
    }
    for (QComboBox* box : {CB_DriveM, CB_DriveR}) FitListToEntries(box);
}

void TMain::FitDirectoryList(QComboBox* dirBox) {
    FitListToEntries(dirBox);
}

void TMain::FillGenreBoxes() {
    for (QComboBox* box : {CB_Genre, CB_genre2}) box->addItem(QString());
    for (const char* name : GenreList()) {
        CB_Genre->addItem(ContentText(name));
        CB_genre2->addItem(ContentText(name));
    }
}

bool TMain::FormCreate() {
    // The zip engine must be there and be the right one, or the program cannot work.
    try {
        LoadCheckedEngine(engine_);
    } catch (const EngineCheckError& e) {
        questions_.ShowError(e.what());
        return false;
    }
    state_.DescriptionEdited = false;
    state_.ListedNames.clear();
    state_.ExtractNames.clear();
    InitUnzipCallbacks(state_.UnzipCallbacks);

    std::vector<Volume> volumes = MountedVolumes();
    FillDriveBoxes(volumes);
    CBDirM->setEditText(FileNameText(LeftPane->Directory()));
    CB_DriveM->setEditText(FileNameText(VolumeRootOf(LeftPane->Directory(), volumes)));
    CBDirR->setEditText(FileNameText(RightPane->Directory()));
    CB_DriveR->setEditText(FileNameText(VolumeRootOf(RightPane->Directory(), volumes)));

    state_.ConfirmCopyText = "Confirm copy";
    state_.ConfirmMoveText = "Confirm move";
    state_.FilesWordText = "file(s)";

    player_.PathToDLL = WorkingFolder();
    try {
        player_.BindLibrary(state_.ProgramDir);
    } catch (const TMPEGError& e) {
        // Playback is unavailable, but the program runs on. The genre boxes are filled all
        // the same: a tag saved with empty genre boxes would lose its genre.
        questions_.ShowError(e.what());
    }
    FillGenreBoxes();
    return true;
}

}  // namespace tavrin
