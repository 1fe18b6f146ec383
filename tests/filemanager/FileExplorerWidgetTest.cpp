#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QMimeData>
#include <QTest>
#include <filesystem>

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

}  // namespace
}  // namespace tavrin
