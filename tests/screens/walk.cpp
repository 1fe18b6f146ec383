// Visits every window and dialog of the program on a real display, as a user would open
// them, and saves a picture of the whole screen at each stop (ImageMagick's import, so the
// window manager's frames are in the pictures). Run by tests/screens/walk.sh under Xvfb and
// openbox; the program folder is the working folder, the demo files lie in $HOME.
//   screen_walk OUTDIR [LANGUAGE_FILE]
// TAVRIN_WALK_DARK=1 gives the program a dark palette before its windows are made, as a
// dark desktop theme would.
#include <unistd.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTest>
#include <QGroupBox>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/Startup.h"
#include "description/Cust_ext.h"
#include "filemanager/MFileExplorer.h"
#include "lang/LangForm.h"
#include "mp3/MP3Panel.h"
#include "packer/ZipOptZ.h"
#include "packer/ZipUnzip.h"
#include "packer/ZipWait.h"
#include "shell/DescriptionEditor.h"
#include "shell/DropList.h"
#include "shell/QtUserQuestions.h"
#include "shell/TMain.h"
#include "shell/TrayMenu.h"

namespace tavrin {
namespace {

QString outDir;
int shots = 0;
QElapsedTimer sinceLastShot;

void Wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        usleep(10000);
    }
}

QString Shoot(const QString& name) {
    Wait(450);  // the window manager maps and frames, the program paints
    QString file = QString("%1/%2-%3.png").arg(outDir).arg(++shots, 2, 10, QChar('0')).arg(name);
    if (QProcess::execute("import", {"-window", "root", file}) != 0)
        std::fprintf(stderr, "import failed for %s\n", qPrintable(file));
    std::printf("%s\n", qPrintable(file));
    std::fflush(stdout);
    sinceLastShot.restart();
    return file;
}

// A picture of one widget, cut from the screen and enlarged without smoothing, so every
// device pixel can be seen.
void ShootZoomed(const QString& name, QWidget* widget, const QRect& part, int factor) {
    QString whole = Shoot(name + "-screen");
    const qreal ratio = widget->devicePixelRatioF();
    QRect r(widget->mapToGlobal(part.topLeft()), part.size());
    QString geometry = QString("%1x%2+%3+%4")
                           .arg(int(r.width() * ratio))
                           .arg(int(r.height() * ratio))
                           .arg(int(r.x() * ratio))
                           .arg(int(r.y() * ratio));
    QString file = QString("%1/%2-%3.png").arg(outDir).arg(++shots, 2, 10, QChar('0')).arg(name);
    QProcess::execute("convert", {whole, "-crop", geometry, "+repage", "-filter", "point",
                                  "-resize", QString("%1%").arg(factor * 100), file});
    QFile::remove(whole);
    std::printf("%s\n", qPrintable(file));
}

// Opens a modal window with `open` (which blocks until it closes), takes its picture and
// closes it again.
void ShootModal(const QString& name, const std::function<void()>& open,
                const std::function<void(QWidget*)>& prepare = {}) {
    auto* poll = new QTimer;
    poll->setInterval(50);
    QObject::connect(poll, &QTimer::timeout, [poll, name, prepare] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        if (prepare) prepare(modal);
        Shoot(name);
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->done(QDialog::Rejected);
        else
            modal->close();
    });
    poll->start();
    open();
    if (poll->isActive()) {
        std::fprintf(stderr, "%s: no window opened\n", qPrintable(name));
        delete poll;
    }
}

// Clicks the pane's item of that caption with the mouse.
bool ClickItem(TMFileExplorer* pane, const std::string& caption) {
    const auto& items = pane->Logic().Items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].caption != caption) continue;
        QAbstractItemView* view = pane->CurrentView();
        QModelIndex index = view->model()->index(int(i), 0);
        view->scrollTo(index);
        QApplication::processEvents();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        return true;
    }
    std::fprintf(stderr, "no item %s\n", caption.c_str());
    return false;
}

void SelectItems(TMFileExplorer* pane, std::initializer_list<const char*> captions) {
    bool first = true;
    const auto& items = pane->Logic().Items();
    for (const char* caption : captions)
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i].caption == caption) {
                pane->SelectRow(int(i), first);
                first = false;
            }
}

void HideOthers(TMain& main) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != &main && w->isVisible() && !qobject_cast<QMenu*>(w)) w->hide();
}

void ViewStyles(TMain& main, TMFileExplorer* pane, QToolButton* const buttons[4],
                const QString& prefix) {
    const char* names[] = {"large-icons", "small-icons", "list", "report"};
    for (int i = 1; i < 4; ++i) {
        buttons[i]->click();
        Shoot(prefix + "-" + names[i]);
    }
    buttons[0]->click();
    (void)main;
}

void Walk(Startup& startup, bool english) {
    TMain& main = *startup.Main();
    const std::string home = QDir::homePath().toStdString() + "/";

    // Description mode: an archive with box art, then an MP3's tags, then back.
    ClickItem(main.LeftPane, "art.zip");
    Shoot("description-archive");
    QRect lines(0, 0, std::min(560, main.DIZEdit->viewport()->width()),
                std::min(200, main.DIZEdit->viewport()->height()));
    ShootZoomed("description-art-zoomed", main.DIZEdit->viewport(), lines, 3);
    // A description with a SAUCE record: the guide on, the record's fields in the frame's tip.
    ClickItem(main.LeftPane, "sauce.zip");
    main.M_Guide->trigger();
    main.DIZEdit->setFocus();
    main.DIZEdit->moveCursor(QTextCursor::End);
    QToolTip::showText(main.Cornice->mapToGlobal(QPoint(40, 8)), main.Cornice->toolTip(),
                       main.Cornice);
    Shoot("description-guide-sauce");
    QToolTip::hideText();
    main.M_Guide->trigger();
    ClickItem(main.LeftPane, "art.zip");
    if (english) {
        // The art at every size the font dialog offers.
        for (int points = 6; points <= 14; ++points) {
            FontChoice choice;
            choice.family = main.DIZEdit->font().family().toStdString();
            choice.pointSize = points;
            choice.rgb = 0x000080;
            main.SetEditorFont(choice);
            ShootZoomed(QString("editor-%1pt").arg(points), main.DIZEdit->viewport(), lines, 3);
        }
        main.DIZEdit->setFont(DescriptionEditor::DescriptionFont());
    }
    const int leftWidth = main.PanLeftPane->width();
    ClickItem(main.LeftPane, "song.mp3");
    Shoot("description-mp3-id3v1");
    main.MP3Panel->setCurrentIndex(1);
    Shoot("description-mp3-id3v2");
    main.MP3Panel->setCurrentIndex(0);
    std::printf("left panel %d px with an archive, %d px with an MP3\n", leftWidth,
                main.PanLeftPane->width());
    ViewStyles(main, main.LeftPane, main.LeftViewButtons, "description-left");
    main.b_fileID->click();
    Shoot("description-fileid-button");
    main.b_auto->click();
    ClickItem(main.LeftPane, "art.zip");

    // Menus of the menu bar.
    for (QAction* menu : {main.File1, main.Mode1, main.Options1, main.Help1}) {
        main.menuBar()->setActiveAction(menu);
        Shoot("menu-" + menu->menu()->title().remove('&'));
        menu->menu()->hide();
    }
    // An unsaved edit, then another file: the question.
    main.DIZEdit->setFocus();
    QTest::keyClicks(main.DIZEdit, "edited ");
    ShootModal("save-question", [&] { ClickItem(main.LeftPane, "other.zip"); });

    // The unzip dialog, narrow and with its options; the wait window over it.
    ClickItem(main.LeftPane, "art.zip");
    main.b_unzip->click();
    Shoot("unzip-dialog");
    main.FrmUnzip->B_Options->click();
    Shoot("unzip-dialog-options");
    QTimer::singleShot(900, [] { Shoot("wait-window"); });
    main.FrmWaitZip->RunBlocking([] { usleep(1800 * 1000); });
    main.FrmUnzip->B_Options->click();
    main.FrmUnzip->B_Abort->click();

    // Packer page with two dropped entries; the save dialog; the zip options.
    main.b_zipmode->click();
    for (const char* caption : {"art.zip", "docs"}) {
        SelectItems(main.LeftPane, {caption});
        main.LeftPane->Logic().Click();
        main.ListaZipDragDrop(main.LeftPane);
    }
    Shoot("packer");
    ShootModal("save-dialog", [&] { main.btnSaveTo->click(); });
    main.b_ZipOpt->click();
    Shoot("zip-options");
    main.FrmZipOpt->hide();

    // File manager: both panes, each view style, histories, the drive list.
    main.b_filemode->click();
    main.RightPane->SetDirectory(home + "docs/");
    main.RightViewButtons[3]->click();
    Shoot("filemanager");
    ViewStyles(main, main.RightPane, main.RightViewButtons, "filemanager-right");
    main.LeftViewButtons[3]->click();
    main.RightViewButtons[3]->click();
    Shoot("filemanager-both-report");
    for (const char* folder : {"docs/deeper folder with a long name/", "docs/", ""})
        main.RightPane->SetDirectory(home + folder);
    main.CBDirR->showPopup();
    Shoot("folder-history");
    main.CBDirR->hidePopup();
    main.CB_DriveR->showPopup();
    Shoot("drive-box");
    main.CB_DriveR->hidePopup();
    main.RightPane->SetDirectory("Drives");
    Shoot("drive-list");
    main.RightPane->SetDirectory(home + "docs/");
    main.LeftPane->SetFocus();
    SelectItems(main.LeftPane, {"art.zip", "song.mp3"});
    ShootModal("copy-question", [&] { main.b_copy->click(); });
    main.activateWindow();
    Wait(300);
    main.LeftPane->SetFocus();
    ShootModal("delete-question", [&] { main.b_delete->click(); });
    SelectItems(main.LeftPane, {"picture.bmp"});
    main.LeftPane->SetFocus();
    ShootModal("viewer-picture", [&] { main.b_preview->click(); });
    SelectItems(main.LeftPane, {"notes.txt"});
    main.activateWindow();  // back from the viewer: the pane's focus counts once it is active
    Wait(300);
    main.LeftPane->SetFocus();
    ShootModal("viewer-text", [&] { main.b_preview->click(); });
    main.LeftViewButtons[0]->click();
    main.RightViewButtons[0]->click();
    main.b_dizmode->click();

    // The other windows.
    main.Customfile1->trigger();
    Shoot("custom-names");
    startup.Custom_ext()->hide();
    ShootModal("language-form", [&] { main.Changelanguage1->trigger(); });
    ShootModal("about", [&] { main.About1->trigger(); });
    ShootModal("font-dialog", [&] { main.M_Font->trigger(); });
    main.ManagingZIPfiles1->trigger();
    Shoot("help");
    HideOthers(main);
    main.PopupMenu->popup(main.geometry().center());
    Shoot("tray-menu");
    main.PopupMenu->hide();
}

}  // namespace
}  // namespace tavrin

int main(int argc, char** argv) {
    using namespace tavrin;
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: screen_walk OUTDIR [LANGUAGE_FILE]\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    QApplication::setApplicationName(kAppTitle);
    QApplication::setApplicationDisplayName(QString());
    if (qEnvironmentVariableIntValue("TAVRIN_WALK_DARK")) {
        // The palette of a dark desktop theme.
        QApplication::setStyle(QStyleFactory::create("Fusion"));
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(45, 45, 48));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::AlternateBase, QColor(50, 50, 52));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        dark.setColor(QPalette::Button, QColor(55, 55, 58));
        dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
        dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
        dark.setColor(QPalette::HighlightedText, Qt::white);
        dark.setColor(QPalette::ToolTipBase, QColor(60, 60, 60));
        dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
        dark.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
        dark.setColor(QPalette::Light, QColor(80, 80, 84));
        dark.setColor(QPalette::Midlight, QColor(65, 65, 68));
        dark.setColor(QPalette::Mid, QColor(40, 40, 42));
        dark.setColor(QPalette::Dark, QColor(25, 25, 26));
        dark.setColor(QPalette::Shadow, Qt::black);
        dark.setColor(QPalette::Link, QColor(100, 170, 255));
        dark.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
        dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
        dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 120));
        QApplication::setPalette(dark);
    }
    QtUserQuestions questions;
    Startup startup(questions);
    if (!startup.CreateWindows()) return 1;
    questions.SetParent(startup.Main());
    if (argc > 2) startup.LangForm()->LoadLanguage(argv[2]);
    startup.Main()->show();
    // A window that should not be there (a message nobody expected) would stop the walk:
    // its picture is taken and the walk ends with an error.
    sinceLastShot.start();
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (sinceLastShot.elapsed() < 30000) return;
        Shoot("stuck");
        std::fprintf(stderr, "the walk is stuck\n");
        std::_Exit(3);
    });
    watchdog.start(1000);
    Wait(800);
    QTimer::singleShot(0, [&] {
        Walk(startup, argc <= 2);
        QApplication::quit();
    });
    return application.exec();
}
