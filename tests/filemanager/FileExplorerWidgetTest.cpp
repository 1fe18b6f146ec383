#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QListView>
#include <QMimeData>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <set>

#include "filemanager/MFileExplorer.h"
#include "platform/qt/VirtualKey.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WorkingFolder;
using test::WriteFile;

class FileExplorerWidgetTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_filemanager";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }
    FileExplorerWidgetTest() : cwd(dir.Path()) {
        fs::create_directories(dir / "inner/deeper");
        WriteFile(dir / "a.txt", "x");
        WriteFile(dir / "b.txt", "y");
        pane.SetFileType(ftArchive | ftNormal);
        pane.SetDirectory(dir.Path());
        pane.resize(400, 300);
        pane.show();
        pane.SetFocus();
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(pane.CurrentView(), key, mods);
    }
    TempDir dir;
    WorkingFolder cwd;
    std::string programDir;
    TMFileExplorer pane{&programDir};
};

TEST_F(FileExplorerWidgetTest, KeysNavigateAndAreReportedAfterwards) {
    std::vector<int> keys;
    std::vector<std::string> dirsAtKey;
    pane.OnKeyDown = [&](int key, Qt::KeyboardModifiers) {
        keys.push_back(key);
        dirsAtKey.push_back(pane.Directory());
    };
    int doubleClicks = 0;
    pane.OnDblClick = [&] { ++doubleClicks; };
    pane.SelectRow(0);  // "inner"
    Key(Qt::Key_Return);
    EXPECT_EQ(pane.Directory(), dir / "inner/");
    EXPECT_EQ(doubleClicks, 1);
    Key(Qt::Key_Backspace);
    EXPECT_EQ(pane.Directory(), dir.Path() + "/");
    pane.SetDirectory(dir / "inner/deeper");
    Key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(pane.Directory(), dir / "inner/");
    Key(Qt::Key_Return);  // nothing selected after the listing: nothing happens
    EXPECT_EQ(pane.Directory(), dir / "inner/");
    EXPECT_EQ(keys, (std::vector<int>{VK_RETURN, VK_BACK, VK_CONTROL, VK_UP, VK_RETURN}));
    EXPECT_EQ(dirsAtKey[0], dir / "inner/");  // raised after the pane's own handling
}

TEST_F(FileExplorerWidgetTest, ClicksStoreTheSelectedFileBeforeTheEvent) {
    std::string seen;
    pane.OnClick = [&] { seen = pane.SelectedFile(); };
    pane.SetViewStyle(TMFileExplorer::vsReport);
    QAbstractItemView* view = pane.CurrentView();
    QRect row = view->visualRect(view->model()->index(1, 0));  // a.txt
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(seen, dir / "a.txt");
    EXPECT_EQ(pane.SelectedCaption(), "a.txt");
    // A click on empty space selects nothing and keeps the stored file.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      QPoint(5, view->viewport()->height() - 3));
    EXPECT_EQ(pane.SelectedFile(), dir / "a.txt");
    // A double click on a file opens it (the pane's default action is replaceable).
    std::string opened;
    pane.openFile = [&](const std::string& path) { opened = path; };
    pane.Logic().ContextAction = true;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(opened, dir / "a.txt");
}

TEST_F(FileExplorerWidgetTest, ViewStylesShareOneSelection) {
    pane.SetMultiSelect(true);
    pane.SelectRow(1);
    pane.SelectRow(2, false);
    for (auto style : {TMFileExplorer::vsIcon, TMFileExplorer::vsSmallIcon, TMFileExplorer::vsList,
                       TMFileExplorer::vsReport}) {
        pane.SetViewStyle(style);
        EXPECT_EQ(pane.CurrentView()->selectionModel()->selectedRows().size(), 2) << style;
        EXPECT_EQ(pane.SelectedFilenames(), dir / "a.txt;" + dir / "b.txt");
    }
    pane.SetMultiSelect(false);
    pane.SelectRow(2);
    EXPECT_EQ(pane.SelectedCount(), 1);
}

TEST_F(FileExplorerWidgetTest, DragsNameTheirPane) {
    TMFileExplorer other(&programDir);
    pane.SelectRow(1);
    std::unique_ptr<QMimeData> data(pane.MakeDragData());
    EXPECT_EQ(TMFileExplorer::PaneOfDrag(data.get()), &pane);
    EXPECT_EQ(data->urls().size(), 1);
    QMimeData foreign;
    foreign.setText("not a pane");
    EXPECT_EQ(TMFileExplorer::PaneOfDrag(&foreign), nullptr);
    QMimeData forged;
    forged.setData(TMFileExplorer::kPaneMimeType, "987654");
    EXPECT_EQ(TMFileExplorer::PaneOfDrag(&forged), nullptr);

    TMFileExplorer* dropped = nullptr;
    other.OnDragOver = [](TMFileExplorer* source) { return source != nullptr; };
    other.OnDragDrop = [&](TMFileExplorer* source) { dropped = source; };
    EXPECT_TRUE(other.AcceptsDrag(data.get()));
    EXPECT_FALSE(other.AcceptsDrag(&foreign));
    other.Drop(data.get());
    EXPECT_EQ(dropped, &pane);
}

// Presses the left button on `at` and moves with it held, as a user starting a drag does.
void PressAndMove(QAbstractItemView* view, QPoint at) {
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
    for (int step = 1; step <= 3; ++step) {
        QPoint to = at + QPoint(step * (QApplication::startDragDistance() + 2), step);
        QMouseEvent move(QEvent::MouseMove, to, view->viewport()->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
    }
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

// Delivers a drop of `data` to a view as the platform does, after it entered.
bool DropOn(QAbstractItemView* view, const QMimeData* data, Qt::DropActions actions) {
    QPoint at(10, 10);
    QDragEnterEvent enter(at, actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);  // a drop copies, whatever was proposed
    return drop.isAccepted();
}

QMimeData* CopyOf(const QMimeData* data) {
    auto* copy = new QMimeData;
    for (const QString& format : data->formats()) copy->setData(format, data->data(format));
    return copy;
}

TEST_F(FileExplorerWidgetTest, DragsStartAndDropInEveryViewStyle) {
    TMFileExplorer other(&programDir);
    other.resize(300, 200);
    other.show();
    std::vector<TMFileExplorer*> drops;
    other.OnDragOver = [&](TMFileExplorer* source) { return source == &pane; };
    other.OnDragDrop = [&](TMFileExplorer* source) { drops.push_back(source); };
    std::unique_ptr<QMimeData> dragged;
    pane.runDrag = [&](QDrag* drag) {
        dragged.reset(CopyOf(drag->mimeData()));
        drag->deleteLater();
    };
    const auto styles = {TMFileExplorer::vsList, TMFileExplorer::vsIcon,
                         TMFileExplorer::vsSmallIcon, TMFileExplorer::vsReport};
    for (auto style : styles) {
        SCOPED_TRACE(style);
        pane.SetViewStyle(style);
        other.SetViewStyle(style);
        QApplication::processEvents();
        dragged.reset();
        pane.Logic().ClearSelection();
        QAbstractItemView* view = pane.CurrentView();
        view->clearSelection();
        // A click selects the item, then the drag starts on the selected item.
        const QPoint item = view->visualRect(view->model()->index(2, 0)).center();  // b.txt
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item);
        PressAndMove(view, item);
        ASSERT_TRUE(dragged);
        EXPECT_EQ(TMFileExplorer::PaneOfDrag(dragged.get()), &pane);
        EXPECT_EQ(dragged->urls(),
                  QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(dir / "b.txt"))});
        EXPECT_EQ(pane.SelectedFile(), dir / "b.txt");
        EXPECT_TRUE(DropOn(other.CurrentView(), dragged.get(), Qt::CopyAction | Qt::MoveAction));
        // Its own pane refuses it.
        EXPECT_FALSE(DropOn(view, dragged.get(), Qt::CopyAction));
    }
    EXPECT_EQ(drops, std::vector<TMFileExplorer*>(4, &pane));
}

TEST_F(FileExplorerWidgetTest, FilesFromOtherProgramsDropByTheirBytes) {
    // A file manager's drag: percent-encoded bytes, a Latin-1 name among them, a folder with a
    // slash at the end, and entries that are no local files.
    const std::string latin1 = dir / "caf\xe9.txt";
    WriteFile(latin1, "latin");
    QMimeData foreign;
    foreign.setData("text/uri-list",
                    QByteArray("# a comment\r\nfile://") +
                        QByteArray::fromStdString(dir / "a.txt").toPercentEncoding("/") +
                        "\r\nfile://localhost" +
                        QByteArray::fromStdString(latin1).toPercentEncoding("/") + "\r\nfile://" +
                        QByteArray::fromStdString(dir / "inner/").toPercentEncoding("/") +
                        "\r\nhttp://example.invalid/x\r\nfile://otherhost/etc/passwd\r\n");
    EXPECT_EQ(TMFileExplorer::FilesOfDrag(&foreign),
              (std::vector<std::string>{dir / "a.txt", latin1, dir / "inner"}));
    std::vector<std::string> received;
    EXPECT_FALSE(DropOn(pane.CurrentView(), &foreign, Qt::CopyAction));  // nobody takes files yet
    pane.OnDropFiles = [&](const std::vector<std::string>& paths) { received = paths; };
    for (auto style : {TMFileExplorer::vsIcon, TMFileExplorer::vsReport}) {
        pane.SetViewStyle(style);
        received.clear();
        EXPECT_TRUE(DropOn(pane.CurrentView(), &foreign, Qt::CopyAction | Qt::MoveAction));
        EXPECT_EQ(received.size(), 3u);
    }
    // Nothing local, nothing taken; a pane's own drag never counts as foreign files.
    QMimeData web;
    web.setData("text/uri-list", "http://example.invalid/x\r\n");
    EXPECT_FALSE(DropOn(pane.CurrentView(), &web, Qt::CopyAction));
    pane.SelectRow(1);
    std::unique_ptr<QMimeData> own(pane.MakeDragData());
    EXPECT_TRUE(TMFileExplorer::FilesOfDrag(own.get()).empty());
    // The pane's own drags name raw bytes too, so other programs get the Latin-1 name back.
    pane.FillList();
    for (std::size_t i = 0; i < pane.Logic().Items().size(); ++i)
        if (pane.Logic().Items()[i].caption == "caf\xe9.txt") pane.SelectRow(int(i));
    std::unique_ptr<QMimeData> mine(pane.MakeDragData());
    QMimeData relabelled;
    relabelled.setData("text/uri-list", mine->data("text/uri-list"));
    EXPECT_EQ(TMFileExplorer::FilesOfDrag(&relabelled), std::vector<std::string>{latin1});
}

TEST_F(FileExplorerWidgetTest, ReportColumnsFitTheirTextsAndSmallIconsSitInCells) {
    // A long name, a size of eleven digits, a date with a time.
    const std::string longName = "a file name that is much longer than the name column.txt";
    WriteFile(dir / longName, "x");
    fs::resize_file(dir / "b.txt", 21474836480ull);  // sparse: no disk space taken
    QFont large = pane.font();
    large.setPointSize(14);  // a desktop font larger than the described one
    pane.setFont(large);
    pane.SetViewStyle(TMFileExplorer::vsReport);
    pane.FillList();
    auto* report = static_cast<QTreeView*>(pane.CurrentView());
    QFontMetrics metrics(report->font());
    const auto& items = pane.Logic().Items();
    for (int column : {0, 1, 3}) {
        int widest = 0;
        for (const FileItem& item : items) {
            const std::string& text =
                column == 0 ? item.caption : item.sub[std::size_t(column - 1)];
            widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(text)));
        }
        EXPECT_GT(report->columnWidth(column), widest) << column;
        EXPECT_GE(report->columnWidth(column), pane.Logic().Columns()[std::size_t(column)].width);
    }
    EXPECT_EQ(report->columnWidth(2), 10);  // the spacing column keeps its width

    // Small icons: one cell size for every item, the icon left of its caption.
    pane.resize(1000, 300);
    pane.SetViewStyle(TMFileExplorer::vsSmallIcon);
    auto* list = static_cast<QListView*>(pane.CurrentView());
    QApplication::processEvents();
    EXPECT_EQ(list->viewMode(), QListView::ListMode);
    EXPECT_EQ(list->flow(), QListView::LeftToRight);
    const QSize cell = list->gridSize();
    ASSERT_TRUE(cell.isValid());
    EXPECT_LT(cell.height(), 2 * QFontMetrics(list->font()).height());  // one line per cell
    std::set<int> lefts;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        QRect r = list->visualRect(list->model()->index(row, 0));
        EXPECT_EQ((r.left() - list->visualRect(list->model()->index(0, 0)).left()) % cell.width(),
                  0);
        lefts.insert(r.left());
    }
    EXPECT_GT(lefts.size(), 1u);  // the items flow across the pane in columns of one width
}

}  // namespace
}  // namespace tavrin
