#include <dlfcn.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <filesystem>
#include <thread>

#include "packer/ZipOptZ.h"
#include "packer/ZipUnzip.h"
#include "packer/ZipWait.h"
#include "platform/qt/VirtualKey.h"
#include "shell/DropList.h"
#include "tests/app/AppFixture.h"

namespace tavrin {
namespace {

using test::FileExists;
using test::MakeZipWithPython;
using test::ReadFile;
using test::RunCommand;
using test::WriteFile;

// Symbols of a recording engine library, looked up by name.
struct Recording {
    explicit Recording(const std::string& path)
        : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {}
    ~Recording() {
        if (handle) dlclose(handle);
    }
    template <typename F>
    F Get(const char* name) const {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
    void* handle;
};

const std::string kRecordingZip = std::string(TAVRIN_TEST_DIR) + "/fakes/recording/libzip32.so";
const std::string kRecordingUnzip = std::string(TAVRIN_TEST_DIR) + "/fakes/recording/libunzip32.so";

using PackerTest = test::AppFixture;

TEST_F(PackerTest, OptionsDialogSendsItsBoxesAsTheRecord) {
    TMain& main = Start();
    TFrmZipOpt& dialog = *main.FrmZipOpt;
    EXPECT_TRUE(dialog.chJunkDir->isChecked());
    EXPECT_FALSE(dialog.chRecurseDir->isChecked());
    EXPECT_EQ(dialog.edtLevel->text(), "6");
    ASSERT_TRUE(main.ZipEngine().zip.Load(kRecordingZip));
    Recording rec(kRecordingZip);
    auto options = rec.Get<const ZPOPT* (*)()>("RecordedOptions");

    main.ZipOptClick();
    dialog.chRecurseDir->setChecked(true);
    dialog.chMove->setChecked(true);
    dialog.B_Close->click();  // nothing sent, nothing reverted
    EXPECT_FALSE(dialog.isVisible());
    main.ZipOptClick();
    EXPECT_TRUE(dialog.chRecurseDir->isChecked());
    for (const char* level : {"", "9", "12", "x"}) {
        dialog.edtLevel->setText(level);
        dialog.B_SetZipOpt->click();
        ZPOPT expected{};
        expected.fJunkDir = -1;
        expected.fMove = -1;
        expected.fRecurse = 1;
        expected.fLevel = *level ? level[0] : '6';
        EXPECT_EQ(std::memcmp(options(), &expected, sizeof expected), 0) << level;
    }
    EXPECT_FALSE(dialog.isVisible());
    dialog.edtLevel->setText("9");
    dialog.StepLevel(1);
    EXPECT_EQ(dialog.edtLevel->text(), "9");
    dialog.StepLevel(-1);
    EXPECT_EQ(dialog.edtLevel->text(), "8");
}

TEST_F(PackerTest, ResetToDefaultReadsTheEngineBack) {
    TMain& main = Start();
    TFrmZipOpt& dialog = *main.FrmZipOpt;
    dialog.chUpdate->setChecked(true);
    dialog.B_ZipDefault->click();
    EXPECT_TRUE(dialog.chGrow->isChecked());
    EXPECT_TRUE(dialog.chRecurseDir->isChecked());
    EXPECT_FALSE(dialog.chJunkDir->isChecked());
    EXPECT_FALSE(dialog.chUpdate->isChecked());
    EXPECT_EQ(dialog.edtLevel->text(), "6");
}

TEST_F(PackerTest, DropListTakesPaneDragsAndTheDeleteKey) {
    WriteFile(home / "a.txt", "alpha");
    WriteFile(home / "b.txt", "beta");
    TMain& main = Start();
    main.b_zipmodeClick();
    DropOnPacker("a.txt");
    DropOnPacker("a.txt");
    DropOnPacker("b.txt");
    EXPECT_EQ(main.DroppedNames(),
              (std::vector<std::string>{home / "a.txt", home / "a.txt", home / "b.txt"}));
    EXPECT_FALSE(main.ListaZipDragOver(nullptr));  // a foreign drag
    // Delete removes the focused entry only when it is selected.
    main.ListaZip->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    main.ListaZip->clearSelection();
    EXPECT_TRUE(main.ListaZipKeyDown(VK_DELETE));
    EXPECT_EQ(main.ListaZip->count(), 3);
    main.ListaZip->setCurrentRow(1);
    EXPECT_FALSE(main.ListaZipKeyDown('A'));
    EXPECT_TRUE(main.ListaZipKeyDown(VK_DELETE));
    EXPECT_EQ(main.DroppedNames(), (std::vector<std::string>{home / "a.txt", home / "b.txt"}));
}

// Files dragged from the desktop's file manager (text/uri-list) become entries like the left
// pane's; a drag that names no local file is refused.
TEST_F(PackerTest, DropListTakesFilesFromOtherPrograms) {
    WriteFile(home / "a.txt", "alpha");
    WriteFile(home / "b c.txt", "beta");
    TMain& main = Start();
    main.b_zipmodeClick();
    QMimeData files;
    files.setData("text/uri-list",
                  "file://" + QByteArray::fromStdString(home / "a.txt") + "\r\nfile://" +
                      QByteArray::fromStdString(home / "b c.txt").toPercentEncoding("/") + "\r\n");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton,
                          {});
    QApplication::sendEvent(main.ListaZip->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(main.ListaZip->viewport(), &drop);
    EXPECT_EQ(main.DroppedNames(), (std::vector<std::string>{home / "a.txt", home / "b c.txt"}));
    EXPECT_EQ(main.ListaZip->item(1)->text().toStdString(), home / "b c.txt");
    EXPECT_EQ(ReadFile(home / "a.txt"), "alpha");  // only named, nothing moved
    QMimeData web;
    web.setData("text/uri-list", "https://example.invalid/a.txt\r\n");
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &web, Qt::LeftButton, {});
    QApplication::sendEvent(main.ListaZip->viewport(), &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_EQ(main.DroppedNames().size(), 2u);
}

TEST_F(PackerTest, PackListAndExtractEndToEnd) {
    WriteFile(home / "a.txt", "alpha");
    WriteFile(home / "b.bin", std::string(100000, '\x42'));
    TMain& main = Start();
    main.b_zipmodeClick();
    DropOnPacker("a.txt");
    DropOnPacker("a.txt");
    DropOnPacker("b.bin");
    main.edtZipFileName->setText(QString::fromStdString(home / "packed.zip"));
    main.b_ZipThem->click();
    EXPECT_TRUE(questions.records.empty());
    std::string names;
    RunCommand("unzip -Z1 '" + home / "packed.zip'", &names);
    EXPECT_EQ(names, "a.txt\nb.bin\n");

    main.b_dizmodeClick();
    Click("packed.zip");
    main.B_UnzipClick();
    TFrmUnzip& dialog = *main.FrmUnzip;
    EXPECT_EQ(dialog.windowTitle(), "Decompressing packed.zip");
    ASSERT_EQ(dialog.FilesList->count(), 2);
    EXPECT_NE(dialog.FilesList->Text(1).indexOf(" 100000  "), -1);
    EXPECT_EQ(main.State().ListedNames, (std::vector<std::string>{"a.txt", "b.bin"}));
    dialog.T_Dir->setText(QString::fromStdString(programDir / "out"));
    dialog.B_Unzip->click();
    EXPECT_EQ(ReadFile(programDir / "out/a.txt"), "alpha");
    EXPECT_EQ(ReadFile(programDir / "out/b.bin"), std::string(100000, '\x42'));
    EXPECT_TRUE(dialog.isVisible());  // the dialog stays open
}

TEST_F(PackerTest, UnzipDialogPassesTheRecordsAndNames) {
    MakeZipWithPython(home / "a.zip", {{"x", "1"}});
    TMain& main = Start();
    ASSERT_TRUE(main.ZipEngine().unzip.Load(kRecordingUnzip));
    Recording rec(kRecordingUnzip);
    auto reset = rec.Get<void (*)()>("ResetRecording");
    auto entries = rec.Get<void (*)(int)>("SetListedEntries");
    auto calls = rec.Get<int (*)()>("RecordedCalls");
    auto dcl = rec.Get<const DCL* (*)(int)>("RecordedDcl");
    auto archive = rec.Get<const char* (*)(int)>("RecordedArchive");
    auto dir = rec.Get<const char* (*)(int)>("RecordedDir");
    auto count = rec.Get<int (*)(int)>("RecordedCount");
    auto name = rec.Get<const char* (*)(int, int)>("RecordedName");
    reset();
    entries(5);
    Click("a.zip");
    reset();  // the description lookup's calls
    main.B_UnzipClick();
    TFrmUnzip& dialog = *main.FrmUnzip;
    ASSERT_EQ(calls(), 1);
    const DCL& listing = *dcl(0);
    EXPECT_EQ(listing.nvflag, 1);
    EXPECT_EQ(listing.nfflag, 1);
    EXPECT_EQ(listing.C_flag, 1);
    EXPECT_EQ(listing.fQuiet, 2);
    EXPECT_EQ(listing.fPrivilege, 1);
    EXPECT_EQ(listing.ncflag | listing.ndflag | listing.noflag | listing.ExtractOnlyNewer, 0);
    EXPECT_STREQ(archive(0), (home / "a.zip").c_str());
    EXPECT_EQ(dir(0), nullptr);
    EXPECT_EQ(count(0), 0);
    ASSERT_EQ(dialog.FilesList->count(), 5);
    EXPECT_EQ(dialog.FilesList->Text(0), "    100  03-07-02 14:05  entry0000");

    // Unzip all: every listed name, in order, whatever is selected.
    dialog.chOFlag->setChecked(true);
    dialog.chDFlag->setChecked(true);
    dialog.chC_flag->setChecked(false);
    dialog.T_Dir->setText("/target dir ");
    dialog.FilesList->Select(2);
    dialog.B_Unzip->click();
    ASSERT_EQ(calls(), 2);
    const DCL& all = *dcl(1);
    EXPECT_EQ(all.nvflag, 0);
    EXPECT_EQ(all.noflag, 1);
    EXPECT_EQ(all.ndflag, 1);
    EXPECT_EQ(all.C_flag, 0);
    EXPECT_EQ(all.nfflag, 0);
    EXPECT_EQ(all.ExtractOnlyNewer, 0);
    EXPECT_EQ(all.fQuiet, 2);
    EXPECT_STREQ(dir(1), "/target dir ");
    EXPECT_STREQ(archive(1), (home / "a.zip").c_str());  // the full path
    ASSERT_EQ(count(1), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(std::string(name(1, i)), "entry000" + std::to_string(i));

    // Only the three selected lines, in list order.
    dialog.R_sel->setChecked(true);
    dialog.FilesList->clearSelection();
    for (int row : {4, 0, 2}) dialog.FilesList->Select(row);
    dialog.B_Unzip->click();
    ASSERT_EQ(count(2), 3);
    EXPECT_STREQ(name(2, 0), "entry0000");
    EXPECT_STREQ(name(2, 1), "entry0002");
    EXPECT_STREQ(name(2, 2), "entry0004");
    // Nothing selected: no call.
    dialog.FilesList->clearSelection();
    dialog.B_Unzip->click();
    EXPECT_EQ(calls(), 3);

    // 2,500 entries: calls of at most 1000 names.
    reset();
    entries(2500);
    dialog.hide();
    main.B_UnzipClick();
    dialog.R_all->setChecked(true);
    dialog.B_Unzip->click();
    ASSERT_EQ(calls(), 4);
    EXPECT_EQ(count(1), 1000);
    EXPECT_EQ(count(2), 1000);
    EXPECT_EQ(count(3), 500);
    EXPECT_STREQ(name(3, 499), "entry2499");
    EXPECT_TRUE(questions.records.empty());
    reset();
}

TEST_F(PackerTest, UnzipDialogWidthsAcrossReopenings) {
    MakeZipWithPython(home / "a.zip", {{"x", "1"}});
    TMain& main = Start();
    Click("a.zip");
    main.B_UnzipClick();
    TFrmUnzip& dialog = *main.FrmUnzip;
    EXPECT_EQ(dialog.width(), 407);
    EXPECT_EQ(dialog.B_Options->text(), "Options >>");
    dialog.B_Options->click();
    EXPECT_EQ(dialog.width(), 631);
    dialog.B_Options->click();
    EXPECT_EQ(dialog.width(), 407);
    dialog.B_Options->click();
    dialog.B_Abort->click();
    EXPECT_FALSE(dialog.isVisible());
    main.B_UnzipClick();
    EXPECT_EQ(dialog.width(), 407);  // always starts narrow
    EXPECT_TRUE(dialog.B_Options->isChecked());
    dialog.B_Options->click();  // raises the button, stays narrow
    EXPECT_EQ(dialog.width(), 407);
    // A click in the tree copies its folder into the target box.
    dialog.LTree->SelectPath("/tmp");
    dialog.LTreeClick();
    EXPECT_EQ(dialog.T_Dir->text(), "/tmp");
}

// Each heading stands over its column whole: none runs under the next one.
TEST_F(PackerTest, UnzipHeadingsFitTheirColumns) {
    MakeZipWithPython(home / "a.zip", {{"x", "1"}});
    TMain& main = Start();
    Click("a.zip");
    main.B_UnzipClick();
    TFrmUnzip& dialog = *main.FrmUnzip;
    QLabel* headings[] = {dialog.Label2, dialog.Label3, dialog.Label4};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(headings[i]->text().toStdString());
        EXPECT_LE(headings[i]->sizeHint().width(), headings[i]->width());
        if (i < 2) {
            EXPECT_LE(headings[i]->geometry().right(), headings[i + 1]->x());
        }
    }
}

TEST_F(PackerTest, FailuresAreReported) {
    WriteFile(home / "a.txt", "alpha");
    WriteFile(home / "broken.zip", "PK\x03\x04 this is not an archive");
    TMain& main = Start();
    main.b_zipmodeClick();
    DropOnPacker("a.txt");
    main.edtZipFileName->setText(QString::fromStdString(home / "no/such/folder/x.zip"));
    main.B_ZipThemClick();
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].title, "Tavrin 2.7");
    EXPECT_NE(questions.records[0].text.find("no/such/folder/x.zip"), std::string::npos);
    // A blank name does nothing and says nothing.
    main.edtZipFileName->setText("   ");
    main.B_ZipThemClick();
    EXPECT_EQ(questions.records.size(), 1u);

    main.b_dizmodeClick();
    main.LeftPane->SetMask("*.*");
    Click("broken.zip");
    main.Get_Contents(home / "broken.zip");
    main.State().ListedNames = {"x"};
    main.FrmUnzip->FilesList->SetLines({"x"});
    main.UnZip_SelectedFiles(home / "broken.zip", true);
    ASSERT_EQ(questions.records.size(), 2u);
    EXPECT_NE(questions.records[1].text.find("broken.zip"), std::string::npos);
}

// Two dropped files that would be stored under one name: nothing is packed and the page says
// which, as zip refuses such a job.
TEST_F(PackerTest, ARefusedJobNamesTheClashingFiles) {
    std::filesystem::create_directories(home / "d1");
    std::filesystem::create_directories(home / "d2");
    WriteFile(home / "d1/notes.txt", "one");
    WriteFile(home / "d2/notes.txt", "two");
    TMain& main = Start();
    main.b_zipmodeClick();
    main.LeftPane->SetDirectory(home / "d1/");
    DropOnPacker("notes.txt");
    main.LeftPane->SetDirectory(home / "d2/");
    DropOnPacker("notes.txt");
    main.edtZipFileName->setText(QString::fromStdString(home / "both.zip"));
    main.B_ZipThemClick();
    ASSERT_EQ(questions.records.size(), 1u);
    const std::string& text = questions.records[0].text;
    EXPECT_NE(text.find("cannot repeat names in zip file"), std::string::npos) << text;
    EXPECT_NE(text.find("notes.txt:\n    " + home / "d1/notes.txt\n    " + home / "d2/notes.txt"),
              std::string::npos)
        << text;
    EXPECT_FALSE(FileExists(home / "both.zip"));
}

// "Delete files from zip file" with the page's full paths deletes the entries those files
// would have (exactly those), reports a name that matched nothing, and keeps an empty
// archive when the last entry goes.
TEST_F(PackerTest, DeletingEntriesTakesTheDroppedPaths) {
    WriteFile(home / "a.txt", "alpha");
    WriteFile(home / "b.txt", "beta");
    WriteFile(home / "c.txt", "gamma");
    TMain& main = Start();
    main.b_zipmodeClick();
    main.edtZipFileName->setText(QString::fromStdString(home / "d.zip"));
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) DropOnPacker(name);
    main.B_ZipThemClick();
    ASSERT_TRUE(questions.records.empty());
    while (main.ListaZip->count() > 0) {
        main.ListaZip->setCurrentRow(0);
        ASSERT_TRUE(main.ListaZipKeyDown(VK_DELETE));
    }
    ASSERT_TRUE(main.DroppedNames().empty());

    main.FrmZipOpt->chDeleteEntries->setChecked(true);
    main.FrmZipOpt->B_SetZipOpt->click();
    DropOnPacker("b.txt");
    main.B_ZipThemClick();
    EXPECT_TRUE(questions.records.empty());
    std::string names;
    RunCommand("unzip -Z1 '" + home / "d.zip'", &names);
    EXPECT_EQ(names, "a.txt\nc.txt\n");
    EXPECT_TRUE(FileExists(home / "b.txt"));

    main.B_ZipThemClick();  // b.txt is no entry any more
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_NE(questions.records[0].text.find("name not matched: " + home / "b.txt"),
              std::string::npos);

    DropOnPacker("a.txt");
    DropOnPacker("c.txt");
    main.ListaZip->setCurrentRow(0);
    main.ListaZipKeyDown(VK_DELETE);  // b.txt off the list
    main.B_ZipThemClick();
    ASSERT_EQ(questions.records.size(), 2u);
    EXPECT_NE(questions.records[1].text.find("the archive is kept, empty"), std::string::npos);
    EXPECT_EQ(ReadFile(home / "d.zip").size(), 22u);
}

TEST_F(PackerTest, WaitWindowKeepsMovingWhileTheEngineWorks) {
    TMain& main = Start();
    TFrmWaitZip& wait = *main.FrmWaitZip;
    int seenFrame = 0;
    bool sawRunning = false;
    QTimer::singleShot(250, [&] {
        seenFrame = wait.Anm1->Frame();
        sawRunning = wait.Anm1->Running() && wait.isVisible();
    });
    wait.RunBlocking([] { std::this_thread::sleep_for(std::chrono::milliseconds(600)); });
    EXPECT_TRUE(sawRunning);
    EXPECT_GT(seenFrame, 0);
    EXPECT_FALSE(wait.isVisible());
    EXPECT_FALSE(wait.Anm1->Running());
}

// A real packing job keeps every core deflating; the wait window's sheet still moves between
// any two looks a tenth of a second apart.
TEST_F(PackerTest, WaitWindowKeepsMovingWhileEveryCoreDeflates) {
    static const char* words[] = {"archive ", "description ", "packer ", "tavrin ", "zip\r\n"};
    std::string block;
    for (unsigned seed = 1; block.size() < (1u << 20);) {
        seed = seed * 1103515245u + 12345u;
        block += words[(seed >> 16) % 5];
        block += std::to_string((seed >> 8) % 977) + " ";
    }
    std::string content;
    for (int i = 0; i < 64; ++i) content += block;
    WriteFile(home / "big.txt", content);
    TMain& main = Start();
    main.b_zipmodeClick();
    DropOnPacker("big.txt");
    main.edtZipFileName->setText(QString::fromStdString(home / "big.zip"));
    TFrmWaitZip& wait = *main.FrmWaitZip;
    std::vector<int> frames;
    QTimer look;
    look.setInterval(100);
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (wait.isVisible() && wait.Anm1->Running()) frames.push_back(wait.Anm1->Frame());
    });
    look.start();
    main.B_ZipThemClick();
    look.stop();
    EXPECT_TRUE(questions.records.empty());
    std::string packed;
    RunCommand("unzip -p '" + home / "big.zip' big.txt", &packed);
    EXPECT_TRUE(packed == content);
    ASSERT_GE(frames.size(), 2u) << "the job ended too soon to look at";
    for (size_t i = 1; i < frames.size(); ++i) EXPECT_NE(frames[i], frames[i - 1]) << i;
}

// The wait window comes over the window the work was started from, active, and goes back to
// the main window afterwards; the flying sheet's whole arc lies inside the animation.
TEST_F(PackerTest, WaitWindowComesOverTheWindowItWasStartedFrom) {
    TMain& main = Start();
    main.show();
    main.FrmUnzip->show();
    main.FrmUnzip->activateWindow();
    QApplication::setActiveWindow(main.FrmUnzip);
    QWidget* parentDuring = nullptr;
    bool shownDuring = false;
    QTimer::singleShot(150, [&] {
        parentDuring = main.FrmWaitZip->parentWidget();
        shownDuring = main.FrmWaitZip->isVisible() && main.FrmWaitZip->isActiveWindow();
    });
    main.FrmWaitZip->RunBlocking(
        [] { std::this_thread::sleep_for(std::chrono::milliseconds(400)); });
    EXPECT_EQ(parentDuring, main.FrmUnzip);
    EXPECT_TRUE(shownDuring);
    EXPECT_EQ(main.FrmWaitZip->parentWidget(), &main);
    EXPECT_FALSE(main.FrmWaitZip->isVisible());
    const QRectF inside(QPointF(0, 0), QSizeF(main.FrmWaitZip->Anm1->size()));
    for (int frame = 0; frame < CopyAnimation::kFrames; ++frame)
        EXPECT_TRUE(inside.contains(CopyAnimation::SheetBounds(frame))) << frame;
}

TEST_F(PackerTest, SaveDialogChoosesTheArchiveName) {
    TMain& main = Start();
    questions.saveNames = {std::optional<std::string>(home / "chosen.zip"), std::nullopt};
    main.btnSaveToClick();
    EXPECT_EQ(main.edtZipFileName->text().toStdString(), home / "chosen.zip");
    EXPECT_EQ(questions.records[0].text, "Compressed files (*.zip)|*.zip");
    main.btnSaveToClick();  // cancelled: unchanged
    EXPECT_EQ(main.edtZipFileName->text().toStdString(), home / "chosen.zip");
}

}  // namespace
}  // namespace tavrin
