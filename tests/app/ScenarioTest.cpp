// A user's sessions with the whole program: the real engine and decoder libraries, language
// files, files on disk. Each step checks what landed on disk, not only what the windows show.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QtTest>
#include <filesystem>

#include "description/Cust_ext.h"
#include "lang/LangForm.h"
#include "mp3/ID3v1.h"
#include "mp3/ID3v2.h"
#include "mp3/MP3Panel.h"
#include "packer/ZipOptZ.h"
#include "packer/ZipUnzip.h"
#include "shell/DescriptionEditor.h"
#include "shell/DropList.h"
#include "tests/app/AppFixture.h"
#include "viewer/FormView.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::FileExists;
using test::MakeZipWithPython;
using test::ReadFile;
using test::RunCommand;
using test::UnzipEntry;
using test::UnzipNames;
using test::WriteFile;

class ScenarioTest : public test::AppFixture {
  protected:
    TMain& Main() { return *startup->Main(); }
    void Type(QWidget* field, const QString& text) {
        field->setFocus();
        QTest::keyClicks(field, text);
    }
    // Presses the file manager's View button and returns what the viewer showed, once its
    // picture finished loading; the viewer is closed again.
    struct Viewed {
        QString caption, text;
        QSize picture;
    };
    Viewed View() {
        Viewed seen;
        viewer::TViewForm& form = *Main().ViewForm;
        QTimer::singleShot(0, [&] {
            for (int i = 0; i < 200 && form.PictureLoading(); ++i) QTest::qWait(20);
            seen = {form.windowTitle(), form.RE1->isHidden() ? QString() : form.RE1->toPlainText(),
                    form.Imma->isHidden() ? QSize() : form.Imma->PictureSize()};
            form.close();
        });
        Main().b_previewClick();
        return seen;
    }
};

// Starts in German (set as default earlier), edits descriptions and saves them through the
// questions, finds one by a custom name, and leaves with an edit pending.
TEST_F(ScenarioTest, DescriptionsInTheUsersLanguage) {
    fs::copy_file(std::string(TAVRIN_BIN_DIR) + "/GERMAN.TVK", programDir / "GERMAN.TVK");
    WriteFile(programDir / "tavrin.ini", "[International]\r\nLanguage=GERMAN.TVK\r\n");
    MakeZipWithPython(home / "game.zip", {{"file_id.diz", "Old text"}, {"game.exe", "MZ"}});
    MakeZipWithPython(home / "tools.zip", {{"readme.txt", "Tools readme"}});
    MakeZipWithPython(home / "music.zip", {{"notes.nfo", "Notes found"}, {"track.mod", "x"}});
    TMain& m = Start();
    EXPECT_EQ(m.b_filemode->text(), "Dateimanager");
    EXPECT_EQ(m.StatusPanel0->text(), "AUTOMATISCHE AUSWAHL");

    // Edit the description; moving to another archive asks and saves.
    Click("game.zip");
    EXPECT_EQ(Shown(), "Old text");
    m.DIZEdit->selectAll();
    Type(m.DIZEdit, "New text");
    questions.yesNo = {true};
    Click("tools.zip");
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].text, "Save the changes ?");
    EXPECT_EQ(UnzipEntry(home / "game.zip", "file_id.diz"), "New text");
    EXPECT_EQ(UnzipEntry(home / "game.zip", "game.exe"), "MZ");  // the rest of the archive stays
    EXPECT_EQ(Shown(), "Tools readme");
    EXPECT_EQ(m.Cornice->title(), "readme.txt");

    // A custom name, saved for later sessions, finds a description no other rule finds.
    TCustom_ext& custom = *startup->Custom_ext();
    m.Customfile1->trigger();
    custom.T_cFile->setText("notes.nfo");
    custom.B_AddClick();
    custom.B_saveprefsClick();
    EXPECT_EQ(ReadFile(programDir / "tavrin.ext"), "notes.nfo\r\n");
    EXPECT_FALSE(custom.isVisible());
    ASSERT_EQ(m.CustMenu->actions().size(), 2);
    EXPECT_EQ(m.CustMenu->actions().back()->text(), "alle eigenen Dateien");
    Click("music.zip");
    m.CustMenu->actions()[0]->trigger();
    EXPECT_EQ(Shown(), "Notes found");
    EXPECT_EQ(m.Cornice->title(), "notes.nfo");

    // Leaving with an edit pending asks once and stores it.
    QTest::keyClick(m.DIZEdit, Qt::Key_End, Qt::ControlModifier);
    Type(m.DIZEdit, "!");
    questions.records.clear();
    questions.yesNo = {true};
    m.Exit1->trigger();
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].text, "Save the changes before exit?");
    EXPECT_EQ(UnzipEntry(home / "music.zip", "notes.nfo"), "Notes found!");
    EXPECT_EQ(UnzipEntry(home / "music.zip", "track.mod"), "x");
}

// Packs dropped files with chosen options, then extracts a selection through the unzip dialog.
TEST_F(ScenarioTest, PackAndExtract) {
    WriteFile(home / "letter.txt", "Dear friend");
    WriteFile(home / "photo.raw", std::string(100000, '\x7f'));
    fs::create_directories(home / "docs/sub");
    WriteFile(home / "docs/sub/deep.txt", "deep");
    TMain& m = Start();
    m.b_zipmodeClick();
    DropOnPacker("letter.txt");
    DropOnPacker("photo.raw");
    DropOnPacker("docs");
    EXPECT_EQ(m.DroppedNames().size(), 3u);

    // Into folders, keeping their paths, with the best compression.
    m.ZipOptClick();
    m.FrmZipOpt->chRecurseDir->setChecked(true);
    m.FrmZipOpt->chJunkDir->setChecked(false);
    m.FrmZipOpt->edtLevel->setText("9");
    m.FrmZipOpt->B_SetZipOptClick();
    m.edtZipFileName->setText(QString::fromStdString(home / "bundle.zip"));
    m.B_ZipThemClick();
    EXPECT_TRUE(questions.records.empty()) << questions.records[0].text;
    std::string names = UnzipNames(home / "bundle.zip");
    EXPECT_NE(names.find("letter.txt"), std::string::npos);
    EXPECT_NE(names.find("docs/sub/deep.txt"), std::string::npos);
    EXPECT_LT(fs::file_size(home / "bundle.zip"), 2000u);  // level 9 squeezed the raw file

    // Extract only the selected entry into a folder of the user's choice.
    m.b_dizmodeClick();
    m.LeftPane->SetDirectory(home.Path());
    Click("bundle.zip");
    m.B_UnzipClick();
    TFrmUnzip& dialog = *m.FrmUnzip;
    ASSERT_GE(dialog.FilesList->count(), 3);
    dialog.T_Dir->setText(QString::fromStdString(home / "out"));
    dialog.R_sel->setChecked(true);
    bool selected = false;
    for (int row = 0; row < dialog.FilesList->count(); ++row)
        if (dialog.FilesList->Text(row).endsWith("docs/sub/deep.txt")) {
            dialog.FilesList->Select(row);
            selected = true;
        }
    ASSERT_TRUE(selected);
    dialog.chDFlag->setChecked(true);  // with its path
    dialog.B_UnzipClick();
    EXPECT_TRUE(questions.records.empty()) << questions.records[0].text;
    // The packer named the files by their full paths; extraction recreates them below "out".
    EXPECT_EQ(ReadFile(home / "out" + home.Path() + "/docs/sub/deep.txt"), "deep");
    EXPECT_FALSE(FileExists(home / "out" + home.Path() + "/letter.txt"));
    dialog.hide();
}

// Edits both tags of an MP3 file, saves them and plays the file to a PCM file.
TEST_F(ScenarioTest, Mp3TagsAndPlayback) {
    fs::copy_file(std::string(TAVRIN_BIN_DIR) + "/libmpegdll.so", programDir / "libmpegdll.so");
    test::TempDir work;
    std::string made = test::MakeToneMp3(work, "song", "-b 128 --tt Draft --add-id3v2");
    ASSERT_FALSE(made.empty());
    fs::copy_file(made, home / "song.mp3");
    TMain& m = Start();
    ASSERT_TRUE(m.MPEG1().IsLoaded());
    Click("song.mp3");
    Mp3TagPanel& panel = *m.MP3Panel;
    EXPECT_EQ(panel.MP_title->text(), "Draft");
    EXPECT_EQ(panel.LBitRate->text(), "CBR 128 kbit/s");

    panel.MP_title->selectAll();
    Type(panel.MP_title, "Final");
    Type(panel.MP_artist, "The Band");
    panel.setCurrentIndex(1);
    panel.MP_Title2->selectAll();
    Type(panel.MP_Title2, "Final (long title)");
    m.B_SaveClick();
    EXPECT_TRUE(questions.records.empty()) << questions.records[0].text;
    TID3v1 v1;
    ASSERT_TRUE(v1.Load(home / "song.mp3"));
    EXPECT_EQ(v1.Title(), "Final");
    EXPECT_EQ(v1.Artist(), "The Band");
    TID3v2 v2;
    ASSERT_TRUE(v2.Load(home / "song.mp3"));
    EXPECT_EQ(v2.Title(), "Final (long title)");

    // Play to a PCM file: one second of 44.1 kHz stereo 16-bit sound, give or take a frame.
    m.MPEG1().OutFilename = home / "out.pcm";
    m.MPEG1().SetOutputDevice(TOutputDevice::pcmfile);
    m.VrMediaButton1Click();
    EXPECT_TRUE(questions.records.empty());
    for (int i = 0; i < 300 && !m.MPEG1().Ended(); ++i) QTest::qWait(20);
    ASSERT_TRUE(m.MPEG1().Ended());
    EXPECT_NEAR(double(fs::file_size(home / "out.pcm")), 44100.0 * 4, 1152.0 * 4 * 2);
}

// Copies, moves and deletes between the panes, and views a picture and a formatted text.
TEST_F(ScenarioTest, FileManagerAndViewer) {
    fs::create_directories(home / "left");
    fs::create_directories(home / "right");
    WriteFile(home / "left/a.txt", "a");
    WriteFile(home / "left/b.txt", "b");
    WriteFile(home / "left/c.txt", "c");
    ASSERT_EQ(RunCommand("convert -size 320x200 xc:navy '" + home / "left/picture.jpg'"), 0);
    WriteFile(home / "left/note.rtf",
              "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Hello {\\b bold} world}");
    TMain& m = Start();
    m.b_filemodeClick();
    m.LeftPane->SetDirectory(home / "left");
    m.RightPane->SetDirectory(home / "right");
    m.show();
    QApplication::setActiveWindow(&m);

    Focus(m.LeftPane);
    Select(m.LeftPane, {"a.txt", "b.txt"});
    questions.yesNo = {true};
    m.B_CopyClick();
    EXPECT_EQ(questions.records.back().text, "Confirm copy 2 file(s)?");
    EXPECT_EQ(ReadFile(home / "right/a.txt"), "a");
    EXPECT_EQ(ReadFile(home / "right/b.txt"), "b");

    Select(m.LeftPane, {"c.txt"});
    questions.yesNo = {true};
    m.B_MoveClick();
    EXPECT_EQ(ReadFile(home / "right/c.txt"), "c");
    EXPECT_FALSE(FileExists(home / "left/c.txt"));

    Focus(m.RightPane);
    Select(m.RightPane, {"a.txt"});
    questions.yesNo = {true};
    m.B_DeleteClick();
    EXPECT_FALSE(FileExists(home / "right/a.txt"));
    EXPECT_TRUE(FileExists(home / "left/a.txt"));
    EXPECT_EQ(m.RightPane->Logic().Items().size(), 2u);

    Focus(m.LeftPane);
    Select(m.LeftPane, {"picture.jpg"});
    Viewed picture = View();
    EXPECT_EQ(picture.caption.toStdString(), home / "left/picture.jpg");
    EXPECT_EQ(picture.picture, QSize(320, 200));
    Focus(m.LeftPane);  // the focus comes back from the viewer
    Select(m.LeftPane, {"note.rtf"});
    Viewed text = View();
    EXPECT_EQ(text.text, "Hello bold world");
    m.hide();
}

}  // namespace
}  // namespace tavrin
