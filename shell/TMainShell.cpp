// The main window's menus, tray icon, selection dispatch and leaving the program.
#include <sys/stat.h>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

#include "mp3/ID3v1.h"
#include "mp3/ID3v2.h"
#include "mp3/MP3Panel.h"
#include "platform/Volumes.h"
#include "platform/qt/Text.h"
#include "platform/qt/VirtualKey.h"
#include "shell/AppIcon.h"
#include "shell/DescriptionEditor.h"
#include "shell/ReadableColours.h"
#include "shell/TAboutBox.h"
#include "shell/TMain.h"
#include "shell/TrayMenu.h"

namespace tavrin {

TMain::~TMain() {
    if (CurrentEngineOutput() == this) SetEngineOutput(nullptr);
}

// --- Options menu --------------------------------------------------------------------------

void TMain::M_WWClick() {
    // The new state is the opposite of the old check mark (the item has toggled already).
    bool wrap = M_WW->isChecked();
    DIZEdit->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void TMain::M_GuideClick() {
    DIZEdit->SetGuide(M_Guide->isChecked());
    ShowCursorPosition();
}

void TMain::ShowCursorPosition() {
    if (!DIZEdit->GuideShown()) {
        StatusPanel1->clear();
        return;
    }
    // Line and column as a description's author counts them, from 1.
    const QTextCursor cursor = DIZEdit->textCursor();
    StatusPanel1->setText(
        QString("%1:%2").arg(cursor.blockNumber() + 1).arg(cursor.positionInBlock() + 1));
}

void TMain::M_FontClick() {
    QFont font = DIZEdit->font();
    FontChoice current;
    current.family = Utf8Bytes(font.family());
    current.pointSize = font.pointSize() > 0
                            ? font.pointSize()
                            : int(std::lround(font.pixelSize() * 72.0 / DIZEdit->logicalDpiY()));
    current.bold = font.bold();
    current.italic = font.italic();
    current.underline = font.underline();
    current.strikeOut = font.strikeOut();
    current.rgb = DIZEdit->palette().color(QPalette::Text).rgb() & 0xFFFFFF;
    std::optional<FontChoice> chosen = questions_.ChooseFont(current, 6, 14);
    if (chosen) SetEditorFont(*chosen);
}

void TMain::SetEditorFont(const FontChoice& chosen) {
    QFont next(Utf8Text(chosen.family));
    next.setBold(chosen.bold);
    next.setItalic(chosen.italic);
    next.setUnderline(chosen.underline);
    next.setStrikeOut(chosen.strikeOut);
    next.setStyleStrategy(DescriptionEditor::DescriptionFont().styleStrategy());
    DIZEdit->setFont(
        DescriptionEditor::OnPixelGrid(next, chosen.pointSize * DIZEdit->logicalDpiY() / 72.0));
    QPalette p = DIZEdit->palette();
    p.setColor(QPalette::Text, QColor(QRgb(chosen.rgb)));
    DIZEdit->setPalette(p);
    FitColoursToPalette(DIZEdit);
}

void TMain::Hiddenfiles1Click() {
    // The item has toggled already: checked now means it was unchecked before the click.
    if (!Hiddenfiles1->isChecked()) {
        LeftPane->SetFileType(ftArchive | ftNormal);
        RightPane->SetFileType(ftArchive | ftNormal);
    } else {
        LeftPane->SetFileType(ftReadOnly | ftHidden | ftSystem);
        RightPane->SetFileType(ftReadOnly | ftHidden | ftSystem);
        LeftPane->FillList();
        RightPane->FillList();
    }
}

// --- Help ----------------------------------------------------------------------------------

void TMain::ManagingZIPfiles1Click() {
    QString file = QCoreApplication::applicationDirPath() + "/help/index.html";
    if (!QFile::exists(file)) {
        questions_.ShowError("Cannot find the help file " + FileNameBytes(file));
        return;
    }
    static QDialog* window = nullptr;
    if (!window) {
        window = new QDialog(this);
        window->setWindowTitle("Using Tavrin");
        window->resize(640, 560);
        auto* layout = new QVBoxLayout(window);
        auto* browser = new QTextBrowser(window);
        browser->setOpenExternalLinks(true);
        browser->setSource(QUrl::fromLocalFile(file));
        layout->addWidget(browser);
    }
    window->show();
    window->raise();
}

void TMain::About1Click() {
    AboutBox->exec();
}

// --- Tray ----------------------------------------------------------------------------------

void TMain::BuildTray() {
    Tray1 = new QSystemTrayIcon(AppIcon(), this);
    Tray1->setToolTip("Tavrin 2002");
    PopupMenu = new TrayMenu(this);
    Restore1 =
        PopupMenu->addAction(style()->standardIcon(QStyle::SP_TitleBarNormalButton), "Restore");
    PopupMenu->addSeparator();
    AboutTavrin = PopupMenu->addAction(style()->standardIcon(QStyle::SP_MessageBoxInformation),
                                       "About Tavrin...");
    Exitprogram1 =
        PopupMenu->addAction(style()->standardIcon(QStyle::SP_DialogCloseButton), "End program");
    Tray1->setContextMenu(PopupMenu);
    connect(Restore1, &QAction::triggered, this, &TMain::Restore1Click);
    connect(AboutTavrin, &QAction::triggered, this, &TMain::AboutTavrinClick);
    connect(Exitprogram1, &QAction::triggered, this, &TMain::Exitprogram1Click);
    connect(Tray1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick)
            Tray1DblClick();
        else if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::MiddleClick)
            Tray1Click();
    });
}

void TMain::FitColours() {
    for (QWidget* window : QApplication::topLevelWidgets()) FitColoursToPalette(window);
}

void TMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // After every widget has taken the new palette.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        QTimer::singleShot(0, this, &TMain::FitColours);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized))
        Minimize();
}

void TMain::Minimize() {
    // Only where a tray exists: the window must never become unreachable.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    Tray1->show();
    hide();
}

void TMain::Tray1Click() {
    showNormal();
    activateWindow();
    Tray1->hide();
}

void TMain::Tray1DblClick() {
    showNormal();
    raise();
    activateWindow();
}

void TMain::Restore1Click() {
    if (AboutBox->isVisible()) return;
    Tray1Click();
}

void TMain::AboutTavrinClick() {
    AboutBox->exec();
}

void TMain::Exitprogram1Click() {
    showNormal();
    ending_ = true;
    close();
    QCoreApplication::quit();
}

// --- Selection dispatch ----------------------------------------------------------------------

void TMain::SyncPaneBoxes(TMFileExplorer* pane, QComboBox* dirBox, QComboBox* driveBox) {
    // Filling the boxes is no user change: their change handlers would navigate.
    QSignalBlocker blockDir(dirBox), blockDrive(driveBox);
    const QString folder = FileNameText(pane->Directory());
    if (dirBox->currentText() != folder) dirBox->addItem(folder);
    while (dirBox->count() > 30) dirBox->removeItem(0);
    FitDirectoryList(dirBox);
    dirBox->setEditText(folder);
    std::string drive = pane->Logic().IsDriveList()
                            ? std::string()
                            : VolumeRootOf(pane->Directory(), MountedVolumes());
    driveBox->setEditText(FileNameText(drive));
}

bool TMain::SettlePendingEdit(bool leaving) {
    if (!state_.DescriptionEdited) return true;
    bool stored = true;
    if (questions_.AskYesNo("Confirm",
                            leaving ? "Save the changes before exit?" : "Save the changes ?")) {
        if (!MP3Panel->isHidden()) {
            stored = IDTagWrite(state_.CurrentFile);
        } else {
            stored = EmbedDescription(state_.CurrentFile);
        }
    }
    if (!leaving) ClearEdited();
    return stored;
}

void TMain::LeftPaneClick() {
    SyncPaneBoxes(LeftPane, CBDirM, CB_DriveM);
    SettlePendingEdit(false);
    state_.CurrentFile = LeftPane->SelectedFile();
    std::size_t slash = state_.CurrentFile.rfind('/');
    std::string name =
        slash == std::string::npos ? state_.CurrentFile : state_.CurrentFile.substr(slash + 1);
    if (!name.empty() && b_autoview->isChecked()) GetInfo(state_.CurrentFile);
}

void TMain::LeftPaneKeyUp(int key) {
    if (key < VK_LEFT || key > VK_DOWN) return;
    SyncPaneBoxes(LeftPane, CBDirM, CB_DriveM);
    SettlePendingEdit(false);
    std::string caption = LeftPane->SelectedCaption();
    if (caption.empty()) return;
    // The full path: a bare name would be looked up in whichever folder was listed last.
    state_.CurrentFile = LeftPane->Directory() + caption;
    struct stat st {};
    if (stat(state_.CurrentFile.c_str(), &st) == 0 && b_autoview->isChecked())
        GetInfo(state_.CurrentFile);
}

void TMain::Exit1Click() {
    close();
}

void TMain::closeEvent(QCloseEvent* event) {
    // An edit that could not be stored keeps the program open, so it is not lost.
    if (!ending_ && !SettlePendingEdit(true)) {
        event->ignore();
        return;
    }
    Tray1->hide();
    event->accept();
    QCoreApplication::quit();
}

}  // namespace tavrin
