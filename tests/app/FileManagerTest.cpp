#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "shell/QtFileOpProgress.h"
#include "shell/QtUserQuestions.h"
#include "tests/app/AppFixture.h"
#include "viewer/FormView.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::FileExists;
using test::ReadFile;
using test::WriteFile;

class FileManagerTest : public test::AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        fs::create_directories(home / "left");
        fs::create_directories(home / "right");
        WriteFile(home / "left/a.txt", "a");
        WriteFile(home / "left/b.txt", "b");
        WriteFile(home / "right/r.txt", "r");
    }
    TMain& Open() {
        TMain& main = Start();
        main.b_filemodeClick();
        main.LeftPane->SetDirectory(home / "left");
        main.RightPane->SetDirectory(home / "right");
        main.show();
        QApplication::setActiveWindow(&main);
        return main;
    }
    // Counts the listings of a pane from now on, in a shared order log.
    void CountListings(TMFileExplorer* pane, const std::string& tag) {
        auto previous = pane->Logic().onListed;
        pane->Logic().onListed = [this, previous, tag] {
            listings.push_back(tag);
            if (previous) previous();
        };
    }
    std::vector<std::string> listings;
};

TEST_F(FileManagerTest, CopyWorksOnTheFocusedPanesSelection) {
    TMain& main = Open();
    Select(main.RightPane, {"r.txt"});
    Focus(main.LeftPane);  // nothing selected on the left: nothing happens
    main.B_CopyClick();
    EXPECT_TRUE(questions.records.empty());

    Select(main.LeftPane, {"a.txt", "b.txt"});
    CountListings(main.RightPane, "right");
    questions.yesNo = {false};
    main.B_CopyClick();
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].title, "Tavrin");
    EXPECT_EQ(questions.records[0].text, "Confirm copy 2 file(s)?");
    EXPECT_EQ(listings, std::vector<std::string>{"right"});  // re-read after Cancel too
    EXPECT_FALSE(FileExists(home / "right/a.txt"));

    Select(main.LeftPane, {"a.txt", "b.txt"});
    questions.yesNo = {true};
    main.B_CopyClick();
    EXPECT_EQ(ReadFile(home / "right/a.txt"), "a");
    EXPECT_EQ(ReadFile(home / "right/b.txt"), "b");
    EXPECT_EQ(main.RightPane->Logic().Items().size(), 3u);
}

TEST_F(FileManagerTest, MoveReReadsLeftThenRight) {
    TMain& main = Open();
    Focus(main.RightPane);
    Select(main.RightPane, {"r.txt"});
    CountListings(main.LeftPane, "left");
    CountListings(main.RightPane, "right");
    questions.yesNo = {true};
    main.B_MoveClick();
    EXPECT_EQ(questions.records[0].text, "Confirm move 1 file(s)?");
    EXPECT_EQ(listings, (std::vector<std::string>{"left", "right"}));
    EXPECT_EQ(ReadFile(home / "left/r.txt"), "r");
    EXPECT_FALSE(FileExists(home / "right/r.txt"));
}

TEST_F(FileManagerTest, DeleteLeavesTheQuestionToTheFileOperation) {
    TMain& main = Open();
    Focus(main.LeftPane);
    Select(main.LeftPane, {"a.txt"});
    questions.yesNo = {true};
    main.B_DeleteClick();
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].kind, "delete");
    EXPECT_EQ(questions.records[0].text,
              "Are you sure you want to delete '" + home / "left/a.txt" + "' permanently?");
    EXPECT_FALSE(FileExists(home / "left/a.txt"));
    // The Delete key in the left pane works in the description mode too.
    main.b_dizmodeClick();
    main.LeftPane->SetMask("*.*");
    Select(main.LeftPane, {"b.txt"});
    questions.yesNo = {true};
    main.PaneKeyDown(main.LeftPane, 46);
    EXPECT_FALSE(FileExists(home / "left/b.txt"));
}

// A row of the drive list is a whole volume: Delete (button or key), Copy, Move and dragging
// refuse it with a notice, ask nothing and touch nothing.
TEST_F(FileManagerTest, DriveRowsAreNeverDeletedMovedOrCopied) {
    fs::create_directories(home / "vol/music/old");
    for (int i = 0; i < 20; ++i)
        WriteFile(home / ("vol/music/old/t" + std::to_string(i) + ".mp3"), std::string(1000, 'm'));
    WriteFile(home / "vol/notes.txt", "notes");
    auto volume = [&] {
        Volume v;
        v.rootPath = home / "vol/";
        v.displayName = "vol";
        v.type = kDriveFixed;
        v.ready = true;
        return std::vector<Volume>{v};
    };
    TMain& main = Open();
    for (TMFileExplorer* pane : {main.LeftPane, main.RightPane}) {
        pane->Logic().volumesProvider = volume;
        pane->SetDirectory("Drives");
    }
    std::string notice = VolumeRootRefusal(FileOpKind::Delete, home / "vol/");
    EXPECT_EQ(notice, "Cannot delete '" + home / "vol/" +
                          "': it is the root of a drive.\nOpen the drive and choose the files "
                          "and folders to delete.");
    auto expectRefused = [&](const std::string& text) {
        ASSERT_EQ(questions.records.size(), 1u);
        EXPECT_EQ(questions.records[0].kind, "message");
        EXPECT_EQ(questions.records[0].title, "Tavrin 2.7");
        EXPECT_EQ(questions.records[0].text, text);
        questions.records.clear();
    };
    Focus(main.RightPane);
    Select(main.RightPane, {"vol"});
    questions.yesNo = {true, true, true, true, true};  // today these answers let it go ahead
    main.B_DeleteClick();
    expectRefused(notice);
    main.PaneKeyDown(main.RightPane, 46);
    expectRefused(notice);
    main.RightPane->SetDirectory(home / "right");  // a folder to copy or move into
    Focus(main.LeftPane);
    Select(main.LeftPane, {"vol"});
    main.B_CopyClick();
    expectRefused(VolumeRootRefusal(FileOpKind::Copy, home / "vol/"));
    main.B_MoveClick();
    expectRefused(VolumeRootRefusal(FileOpKind::Move, home / "vol/"));
    main.RightPane->OnDragDrop(main.LeftPane);
    expectRefused(VolumeRootRefusal(FileOpKind::Copy, home / "vol/"));
    main.PaneKeyDown(main.LeftPane, 46);
    expectRefused(notice);
    EXPECT_EQ(questions.yesNo.size(), 5u);
    EXPECT_EQ(ReadFile(home / "vol/notes.txt"), "notes");
    EXPECT_EQ(fs::file_size(home / "vol/music/old/t19.mp3"), 1000u);
    EXPECT_EQ(std::distance(fs::directory_iterator(home / "right"), fs::directory_iterator()), 1);
}

// Enter and Escape in the delete question answer No.
TEST_F(FileManagerTest, DeleteQuestionDefaultsToNo) {
    TMain& main = Open();
    QtUserQuestions real(&main);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        QString defaultButton;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            if (box->defaultButton()) defaultButton = box->defaultButton()->text();
            QTest::keyClick(box, key);
        });
        EXPECT_FALSE(real.AskDelete("Confirm File Delete", "Are you sure?"));
        EXPECT_EQ(defaultButton, "&No");
    }
}

// The progress window comes after half a second of any work, also of many empty files and of
// deleting, shows the items done of all, and its Cancel stops the work.
TEST_F(FileManagerTest, ProgressWindowForManyEmptyFilesAndDeletes) {
    TMain& main = Open();
    fs::create_directories(home / "left/empty");
    for (int i = 0; i < 2000; ++i) WriteFile(home / ("left/empty/e" + std::to_string(i)), "");
    for (FileOpKind kind : {FileOpKind::Copy, FileOpKind::Delete}) {
        QtFileOpProgress progress(&main);
        qint64 ms = 0;  // one clock for the window and for the operation's pacing
        progress.elapsed = [&] { return ms; };
        qint64 shownAt = -1;
        progress.onShown = [&] { shownAt = ms; };
        FileOperation op(questions, &progress);
        QString title, label;
        op.clock = [&] {
            ms += 1;
            if (QProgressDialog* window = progress.Window()) {
                if (!window->wasCanceled()) {
                    EXPECT_TRUE(window->isVisible());
                    title = window->windowTitle();
                    label = window->labelText();
                }
                if (kind == FileOpKind::Delete && window->value() >= 300) window->cancel();
            }
            return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms));
        };
        questions.yesNo = {true};
        FileOpResult r = kind == FileOpKind::Copy
                             ? op.Run(kind, {home / "left/empty"}, {home / "right"})
                             : op.Run(kind, {home / "right/empty"}, {});
        EXPECT_GE(shownAt, QtFileOpProgress::kShowAfterMs);
        EXPECT_LT(shownAt, QtFileOpProgress::kShowAfterMs + kProgressInterval.count() + 1);
        EXPECT_EQ(progress.Window(), nullptr);  // gone at the end
        EXPECT_NE(label.indexOf(" of 2,001 items"), -1) << label.toStdString();
        std::size_t left =
            std::distance(fs::directory_iterator(home / "right/empty"), fs::directory_iterator());
        if (kind == FileOpKind::Copy) {
            EXPECT_EQ(title, "Copying...");
            EXPECT_FALSE(r.cancelled);
            EXPECT_EQ(left, 2000u);
        } else {
            EXPECT_EQ(title, "Deleting...");
            EXPECT_TRUE(r.cancelled);  // Cancel stopped it
            EXPECT_GT(left, 0u);
            EXPECT_LT(left, 2000u);
        }
    }
}

// The pixels of a pane's view drawn in the selection colour.
int SelectionPixels(TMFileExplorer* pane) {
    QAbstractItemView* view = pane->CurrentView();
    QImage image = view->viewport()->grab().toImage();
    QPalette colours = QApplication::palette(view);
    auto near = [](QRgb a, QColor b) {
        return std::abs(qRed(a) - b.red()) + std::abs(qGreen(a) - b.green()) +
                   std::abs(qBlue(a) - b.blue()) <
               24;
    };
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QRgb pixel = image.pixel(x, y);
            count += near(pixel, colours.color(QPalette::Active, QPalette::Highlight)) ||
                     near(pixel, colours.color(QPalette::Inactive, QPalette::Highlight));
        }
    return count;
}

// The right pane shows its selection only while it has the focus, so the user sees which
// pane Copy, Move and Delete will use; the left pane always shows its selection.
TEST_F(FileManagerTest, RightPaneHidesItsSelectionWithoutTheFocus) {
    TMain& main = Open();
    main.resize(900, 600);
    for (auto style : {TMFileExplorer::vsIcon, TMFileExplorer::vsReport}) {
        main.LeftPane->SetViewStyle(style);
        main.RightPane->SetViewStyle(style);
        Select(main.LeftPane, {"a.txt"});
        Select(main.RightPane, {"r.txt"});
        Focus(main.LeftPane);
        EXPECT_GT(SelectionPixels(main.LeftPane), 100);
        EXPECT_EQ(SelectionPixels(main.RightPane), 0);
        EXPECT_FALSE(main.RightPane->ShowsSelection());
        Focus(main.RightPane);
        EXPECT_GT(SelectionPixels(main.RightPane), 100);
        EXPECT_GT(SelectionPixels(main.LeftPane), 100);
        main.CBDirR->setFocus();
        QApplication::processEvents();
        EXPECT_EQ(SelectionPixels(main.RightPane), 0);
        EXPECT_EQ(main.RightPane->SelectedCaption(), "r.txt");  // hidden, not dropped
    }
}

// Choosing in a drive box the drive the pane is already on goes to that drive's root.
TEST_F(FileManagerTest, ChoosingTheCurrentDriveGoesToItsRoot) {
    TMain& main = Open();
    for (auto [box, pane] :
         {std::pair{main.CB_DriveR, main.RightPane}, std::pair{main.CB_DriveM, main.LeftPane}}) {
        pane->SetDirectory(home / "right");
        QString root = box->currentText();
        ASSERT_FALSE(root.isEmpty());
        int index = box->findText(root);
        ASSERT_GE(index, 0) << root.toStdString();
        // As the user does it: open the list, pick the entry, press Enter.
        box->showPopup();
        box->view()->setCurrentIndex(box->model()->index(index, 0));
        QTest::keyClick(box->view(), Qt::Key_Return);
        EXPECT_EQ(pane->Directory(), root.toStdString());
        EXPECT_EQ(main.CBDirR->currentText().toStdString(), main.RightPane->Directory());
    }
}

TEST_F(FileManagerTest, DropsCopyFromTheOtherPaneWithTheirQuestions) {
    TMain& main = Open();
    main.State().ConfirmCopyText = "Kopieren";  // a language file's words
    Select(main.RightPane, {"r.txt"});
    questions.yesNo = {true};
    ASSERT_TRUE(main.LeftPane->OnDragOver(main.RightPane));
    EXPECT_FALSE(main.LeftPane->OnDragOver(main.LeftPane));  // not onto its own pane
    EXPECT_FALSE(main.LeftPane->OnDragOver(nullptr));
    main.LeftPane->OnDragDrop(main.RightPane);
    EXPECT_EQ(questions.records[0].title, "Confirm file operation");
    EXPECT_EQ(questions.records[0].text, "Copy 1 file(s)?");
    EXPECT_EQ(ReadFile(home / "left/r.txt"), "r");
    Select(main.LeftPane, {"a.txt"});
    questions.yesNo = {true};
    main.RightPane->OnDragDrop(main.LeftPane);
    EXPECT_EQ(questions.records[1].text, "Kopieren 1 file(s)?");
    EXPECT_EQ(ReadFile(home / "right/a.txt"), "a");
}

// Files dragged from another program onto a pane are copied into its folder after the same
// question as a drop from the other pane; Cancel copies nothing; the sources stay.
TEST_F(FileManagerTest, FilesFromOtherProgramsCopyIntoThePaneDroppedOn) {
    fs::create_directories(home / "desktop");
    WriteFile(home / "desktop/d1.txt", "one");
    WriteFile(home / "desktop/d2.txt", "two");
    TMain& main = Open();
    QMimeData files;
    files.setData("text/uri-list", "file://" + QByteArray::fromStdString(home / "desktop/d1.txt") +
                                       "\r\nfile://" +
                                       QByteArray::fromStdString(home / "desktop/d2.txt") + "\r\n");
    ASSERT_TRUE(main.RightPane->AcceptsDrag(&files));
    questions.yesNo = {false};
    main.RightPane->Drop(&files);
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].title, "Tavrin");
    EXPECT_EQ(questions.records[0].text, "Confirm copy 2 file(s)?");
    EXPECT_FALSE(FileExists(home / "right/d1.txt"));
    questions.yesNo = {true};
    main.RightPane->Drop(&files);
    EXPECT_EQ(ReadFile(home / "right/d1.txt"), "one");
    EXPECT_EQ(ReadFile(home / "right/d2.txt"), "two");
    EXPECT_EQ(ReadFile(home / "desktop/d1.txt"), "one");
    EXPECT_EQ(main.RightPane->Logic().Items().size(), 3u);  // re-read: r.txt and the two
    questions.yesNo = {true};
    main.LeftPane->Drop(&files);
    EXPECT_EQ(questions.records.back().title, "Confirm file operation");
    EXPECT_EQ(questions.records.back().text, "Copy 2 file(s)?");
    EXPECT_EQ(ReadFile(home / "left/d2.txt"), "two");
    std::size_t inLeft = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(home / "left")) ++inLeft;
    EXPECT_EQ(inLeft, 4u);  // a.txt, b.txt and the two copies, nothing else
}

// The folder history and the drive list show every entry whole, however long.
TEST_F(FileManagerTest, DropDownListsAreAsWideAsTheirLongestEntry) {
    const std::string deep =
        home / "right/a folder with a name far longer than the folder box is wide/and deeper";
    fs::create_directories(deep);
    TMain& main = Open();
    main.RightPane->SetDirectory(deep);
    main.RightPane->SetDirectory(home / "right");
    for (QComboBox* box : {main.CBDirR, main.CB_DriveR, main.CB_DriveM}) {
        QFontMetrics metrics(box->view()->font());
        int widest = 0;
        for (int i = 0; i < box->count(); ++i)
            widest = std::max(widest, metrics.horizontalAdvance(box->itemText(i)));
        EXPECT_GT(box->view()->minimumWidth(), widest) << box->objectName().toStdString();
        EXPECT_EQ(box->view()->textElideMode(), Qt::ElideNone);
    }
    EXPECT_GT(main.CBDirR->view()->minimumWidth(), main.CBDirR->width());
}

TEST_F(FileManagerTest, BoxesFollowThePanesAndTheDriveList) {
    TMain& main = Open();
    EXPECT_EQ(main.CBDirR->currentText().toStdString(), home / "right/");
    main.RightPane->SetDirectory("/");
    main.RightPane->UpDirectory();
    EXPECT_EQ(main.CBDirR->currentText(), "Drives");
    EXPECT_EQ(main.CB_DriveR->currentText(), "");
    // Copying onto the drive list is refused and says why.
    Focus(main.LeftPane);
    Select(main.LeftPane, {"a.txt"});
    main.B_CopyClick();
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_NE(questions.records[0].text.find("drive list"), std::string::npos);
    // Typing a folder into the box moves the pane there; a folder that does not exist does not.
    main.CBDirR->setEditText(QString::fromStdString(home / "left"));
    EXPECT_EQ(main.RightPane->Directory(), home / "left/");
    main.CBDirR->setEditText(QString::fromStdString(home / "nothere"));
    EXPECT_EQ(main.RightPane->Directory(), home / "left/");
}

TEST_F(FileManagerTest, ViewerShowsTheFocusedPanesSelection) {
    TMain& main = Open();
    ASSERT_NE(main.ViewForm, nullptr);
    main.CBDirR->setFocus();  // neither pane: the window keeps what it showed
    QApplication::processEvents();
    EXPECT_FALSE(main.FocusedPaneFile().has_value());
    Focus(main.RightPane);
    main.RightPane->Logic().ClearSelection();
    EXPECT_EQ(main.FocusedPaneFile(), std::string());  // nothing selected
    Select(main.RightPane, {"r.txt"});
    EXPECT_EQ(main.FocusedPaneFile(), home / "right/r.txt");
    main.ViewForm->fileToShow = [&] { return main.FocusedPaneFile(); };
    main.ViewForm->FormShow();
    EXPECT_TRUE(main.ViewForm->windowTitle().endsWith("r.txt"));
}

}  // namespace
}  // namespace tavrin
