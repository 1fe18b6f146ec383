#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

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
