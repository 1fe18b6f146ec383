#include <dlfcn.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <cmath>
#include <filesystem>

#include "description/Cust_ext.h"
#include "lang/LangForm.h"
#include "mp3/MP3Panel.h"
#include "platform/qt/VirtualKey.h"
#include "shell/DescriptionEditor.h"
#include "shell/TAboutBox.h"
#include "tests/app/AppFixture.h"

namespace tavrin {
namespace {

using test::FileExists;
using test::MakeZipWithPython;
using test::ReadFile;
using test::RunCommand;
using test::UnzipEntry;
using test::UnzipNames;
using test::WriteFile;

class DescriptionModeTest : public test::AppFixture {
  protected:
    void Type(const QString& text) {
        startup->Main()->DIZEdit->setFocus();
        QTest::keyClicks(startup->Main()->DIZEdit, text);
    }
};

TEST_F(DescriptionModeTest, LookupShowsTheDescriptionAndItsName) {
    MakeZipWithPython(home / "both.zip",
                      {{"readme.txt", "readme"}, {"FILE_ID.DIZ", "the diz\r\n"}});
    MakeZipWithPython(home / "Archive.zip", {{"Archive.txt", "own name"}});
    MakeZipWithPython(home / "none.zip", {{"prog.exe", "MZ"}});
    TMain& main = Start();
    Click("both.zip");
    EXPECT_EQ(Shown(), "the diz\r\n");
    EXPECT_EQ(main.Cornice->title(), "file_id.diz");
    EXPECT_TRUE(main.b_unzip->isEnabled());
    EXPECT_EQ(main.State().CurrentFile, home / "both.zip");
    Click("Archive.zip");
    EXPECT_EQ(Shown(), "own name");
    EXPECT_EQ(main.Cornice->title(), "Archive.txt");
    Click("none.zip");
    EXPECT_EQ(Shown(), "");
    EXPECT_EQ(main.Cornice->title(), "file_id.diz");

    // A fixed name keeps its name in the frame; the status panel names the choice.
    main.b_readme->click();
    EXPECT_EQ(main.Cornice->title(), "readme.txt");
    EXPECT_EQ(main.StatusPanel0->text(), "README.TXT");
    main.b_filename->click();
    EXPECT_EQ(main.StatusPanel0->text(), "<FILENAME>.TXT");
    main.b_auto->click();
    EXPECT_EQ(main.StatusPanel0->text(), "AUTO VIEW");
    EXPECT_TRUE(main.b_auto->isChecked());
    EXPECT_FALSE(main.b_readme->isChecked());
}

TEST_F(DescriptionModeTest, FileKindsDecideWhatIsShown) {
    WriteFile(home / "song.Mp3", "ID3");
    WriteFile(home / "a.zip.bak", "x");
    TMain& main = Start();
    main.GetInfo(home / "song.Mp3");
    EXPECT_FALSE(main.MP3Panel->isHidden());
    EXPECT_FALSE(main.MPanel->isHidden());
    EXPECT_FALSE(main.b_unzip->isEnabled());
    main.ShowDescription("left over");
    main.GetInfo(home / "a.zip.bak");
    EXPECT_TRUE(main.MP3Panel->isHidden());
    EXPECT_EQ(Shown(), "");
    EXPECT_FALSE(main.b_unzip->isEnabled());
}

TEST_F(DescriptionModeTest, AutoViewOffOnlySelectsAndViewLooksUp) {
    MakeZipWithPython(home / "a.zip", {{"file_id.diz", "A"}});
    TMain& main = Start();
    main.b_autoview->setChecked(false);
    Click("a.zip");
    EXPECT_EQ(Shown(), "");
    EXPECT_EQ(main.State().CurrentFile, home / "a.zip");
    main.b_view->click();
    EXPECT_EQ(Shown(), "A");
    EXPECT_FALSE(main.b_autoview->isChecked());
}

TEST_F(DescriptionModeTest, SavingWritesUnderTheNameShown) {
    MakeZipWithPython(home / "none.zip", {{"docs/file_id.diz", "nested"}, {"prog.exe", "MZ"}});
    MakeZipWithPython(home / "Archive.zip", {{"Archive.txt", "old\r\n"}});
    TMain& main = Start();
    Click("none.zip");
    Type("Hello");
    EXPECT_TRUE(main.State().DescriptionEdited);
    EXPECT_TRUE(main.b_save->isEnabled());
    main.b_save->click();
    EXPECT_FALSE(main.State().DescriptionEdited);
    EXPECT_FALSE(main.b_save->isEnabled());
    EXPECT_EQ(UnzipEntry(home / "none.zip", "file_id.diz"), "Hello");
    EXPECT_EQ(UnzipEntry(home / "none.zip", "docs/file_id.diz"), "nested");  // never replaced
    EXPECT_EQ(UnzipNames(home / "none.zip"), "docs/file_id.diz\nprog.exe\nfile_id.diz\n");

    Click("Archive.zip");
    QTest::keyClick(main.DIZEdit, Qt::Key_End, Qt::ControlModifier);
    Type("new");
    main.b_save->click();
    EXPECT_EQ(UnzipEntry(home / "Archive.zip", "Archive.txt"), "old\r\nnew");
    EXPECT_EQ(UnzipNames(home / "Archive.zip"), "Archive.txt\n");
}

TEST_F(DescriptionModeTest, EveryByteRoundTripsThroughTheEditor) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n') all += static_cast<char>(b);
    std::string text = all + "\r\n" + all + "\r\n";
    MakeZipWithPython(home / "bytes.zip", {{"FILE_ID.DIZ", text}});
    TMain& main = Start();
    Click("bytes.zip");
    EXPECT_EQ(Shown(), text);
    main.B_SaveClick();
    EXPECT_EQ(UnzipEntry(home / "bytes.zip", "file_id.diz"), text);
}

TEST_F(DescriptionModeTest, EmbeddingSendsItsOptionRecord) {
    MakeZipWithPython(home / "a.zip", {{"file_id.diz", "x"}});
    TMain& main = Start();
    Click("a.zip");
    std::string recording = std::string(TAVRIN_TEST_DIR) + "/fakes/recording/libzip32.so";
    ASSERT_TRUE(main.ZipEngine().zip.Load(recording));
    void* handle = dlopen(recording.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    auto options = reinterpret_cast<const ZPOPT* (*)()>(dlsym(handle, "RecordedOptions"));
    auto archive = reinterpret_cast<const char* (*)()>(dlsym(handle, "RecordedArchive"));
    auto name = reinterpret_cast<const char* (*)(int)>(dlsym(handle, "RecordedName"));
    auto count = reinterpret_cast<int (*)()>(dlsym(handle, "RecordedNameCount"));
    auto inits = reinterpret_cast<int (*)()>(dlsym(handle, "RecordedInitCalls"));
    for (const char* level : {"", "9", "x7"}) {
        main.levelText = [level] { return std::string(level); };
        main.B_SaveClick();
        ZPOPT expected{};
        expected.fExtra = -1;
        expected.fJunkDir = -1;
        expected.fGrow = -1;
        expected.fLevel = *level ? level[0] : '6';
        EXPECT_EQ(std::memcmp(options(), &expected, sizeof expected), 0) << level;
    }
    EXPECT_GE(inits(), 3);
    EXPECT_STREQ(archive(), (home / "a.zip").c_str());
    EXPECT_EQ(count(), 1);
    std::string temporary = name(0);
    EXPECT_EQ(temporary.substr(temporary.rfind('/')), "/file_id.diz");
    EXPECT_FALSE(FileExists(temporary));  // removed after the call
    dlclose(handle);
}

TEST_F(DescriptionModeTest, PromptsWhenMovingOnOrLeaving) {
    MakeZipWithPython(home / "a.zip", {{"file_id.diz", "A"}});
    MakeZipWithPython(home / "b.zip", {{"file_id.diz", "B"}});
    TMain& main = Start();
    Click("a.zip");
    Type("x");
    questions.yesNo = {false};
    Click("b.zip");
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].title, "Confirm");
    EXPECT_EQ(questions.records[0].text, "Save the changes ?");
    EXPECT_EQ(Shown(), "B");
    EXPECT_EQ(UnzipEntry(home / "a.zip", "file_id.diz"), "A");  // "No" drops the edit
    EXPECT_FALSE(main.State().DescriptionEdited);

    // The same archive clicked again also asks; "Yes" stores the edit.
    QTest::keyClick(main.DIZEdit, Qt::Key_Home, Qt::ControlModifier);
    Type("z");
    questions.yesNo = {true};
    Click("b.zip");
    EXPECT_EQ(questions.records.size(), 2u);
    EXPECT_EQ(UnzipEntry(home / "b.zip", "file_id.diz"), "zB");

    // Leaving asks once, with its own question.
    Type("q");
    questions.yesNo = {true};
    main.close();
    ASSERT_EQ(questions.records.size(), 3u);
    EXPECT_EQ(questions.records[2].text, "Save the changes before exit?");
    EXPECT_EQ(UnzipEntry(home / "b.zip", "file_id.diz"), "qzB");
}

TEST_F(DescriptionModeTest, EveryChangeOfTheTextMarksItEdited) {
    MakeZipWithPython(home / "a.zip", {{"file_id.diz", "A"}});
    TMain& main = Start();
    Click("a.zip");
    // The listed keys mark an edit even before the text changes; others do not by themselves.
    main.DIZEditKeyDown(189);
    EXPECT_FALSE(main.State().DescriptionEdited);
    main.DIZEditKeyDown('K');
    EXPECT_TRUE(main.State().DescriptionEdited);
    main.B_SaveClick();
    // A typed hyphen changes the text, and that marks it too.
    Type("-");
    EXPECT_TRUE(main.State().DescriptionEdited);
    main.B_SaveClick();
    main.DIZEdit->selectAll();
    main.DIZEdit->cut();
    EXPECT_TRUE(main.State().DescriptionEdited);
    // A lookup is not an edit.
    main.B_SaveClick();
    Click("a.zip");
    EXPECT_FALSE(main.State().DescriptionEdited);
}

TEST_F(DescriptionModeTest, ArrowKeysShowEachFileOtherKeysDoNot) {
    MakeZipWithPython(home / "a.zip", {{"file_id.diz", "A"}});
    MakeZipWithPython(home / "b.zip", {{"file_id.diz", "B"}});
    TMain& main = Start();
    main.LeftPane->SelectRow(1);  // b.zip
    main.LeftPaneKeyUp(VK_RETURN);
    EXPECT_EQ(Shown(), "");
    main.LeftPaneKeyUp(VK_DOWN);
    EXPECT_EQ(Shown(), "B");
    EXPECT_EQ(main.State().CurrentFile, home / "b.zip");  // a full path, not a bare name
    main.LeftPane->SelectRow(0);
    main.LeftPaneKeyUp(VK_UP);
    EXPECT_EQ(Shown(), "A");
}

TEST_F(DescriptionModeTest, FailedSaveKeepsTheEditAndTheProgramOpen) {
    MakeZipWithPython(home / "a.zip", {{"file_id.diz", "A"}});
    TMain& main = Start();
    Click("a.zip");
    Type("x");
    main.State().CurrentFile = home / "gone/a.zip";  // the archive's folder has disappeared
    main.B_SaveClick();
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].kind, "error");
    // The error box says why, in the engine's words.
    EXPECT_EQ(questions.records[0].text, "The description could not be written into " +
                                             home / "gone/a.zip" +
                                             ":\nNo such file or directory\nCould not create "
                                             "output file (" +
                                             home / "gone/a.zip" + ").");
    EXPECT_TRUE(main.State().DescriptionEdited);
    EXPECT_TRUE(main.b_save->isEnabled());
    main.show();
    questions.yesNo = {true};
    main.close();
    EXPECT_TRUE(main.isVisible());  // still open: the edit is not lost
}

TEST_F(DescriptionModeTest, HugeDescriptionsAreShownCutAndNotSaved) {
    std::string big(17u << 20, 'x');
    MakeZipWithPython(home / "big.zip", {{"file_id.diz", big}});
    TMain& main = Start();
    Click("big.zip");
    EXPECT_TRUE(main.DescriptionCut());
    EXPECT_EQ(Shown().size(), TMain::kMaxDescriptionBytes);
    Type("y");
    main.B_SaveClick();
    EXPECT_EQ(questions.records.back().kind, "error");
    EXPECT_TRUE(main.State().DescriptionEdited);
    EXPECT_EQ(UnzipEntry(home / "big.zip", "file_id.diz").size(), big.size());
}

// A description of zeros declared a gigabyte long shows its first 16 MiB of zeros, counts as
// cut after the cap (the rest is never decompressed) and cannot be saved over the entry.
TEST_F(DescriptionModeTest, AZeroBombIsCutAndNotSaved) {
    test::MakeZeroBomb(home / "zeros.zip", "file_id.diz", std::uint64_t(1) << 30);
    const std::string before = ReadFile(home / "zeros.zip");
    TMain& main = Start();
    Click("zeros.zip");
    EXPECT_TRUE(main.DescriptionCut());
    EXPECT_TRUE(Shown() == std::string(TMain::kMaxDescriptionBytes, '\0'));
    EXPECT_EQ(main.Cornice->title(), "file_id.diz");
    Type("y");
    main.B_SaveClick();
    EXPECT_EQ(questions.records.back().kind, "error");
    EXPECT_TRUE(main.State().DescriptionEdited);
    EXPECT_EQ(ReadFile(home / "zeros.zip"), before);
}

TEST_F(DescriptionModeTest, CustomNamesFormAndMenu) {
    WriteFile(programDir / "tavrin.ext", "file.nfo\r\n\r\n<filename>.txt\r\n");
    MakeZipWithPython(home / "MYFILE.ZIP", {{"MYFILE.txt", "custom found"}});
    TMain& main = Start();
    TCustom_ext& form = *startup->Custom_ext();
    EXPECT_EQ(main.CustomNames(), (std::vector<std::string>{"file.nfo", "<filename>.txt"}));
    ASSERT_EQ(main.CustMenu->actions().size(), 3);
    EXPECT_EQ(main.CustMenu->actions().back()->text(), "all custom files");
    EXPECT_TRUE(main.b_custom->isEnabled());

    // A menu item picks one name and looks it up.
    main.LeftPane->SelectRow(0);
    main.LeftPane->HandleClick();
    main.CustMenu->actions()[1]->trigger();
    EXPECT_EQ(main.b_custom->text(), "<filename>.txt");
    EXPECT_TRUE(main.b_custom->isChecked());
    EXPECT_EQ(main.StatusPanel0->text(), "<FILENAME>.TXT");
    EXPECT_EQ(Shown(), "custom found");
    EXPECT_EQ(main.Cornice->title(), "MYFILE.txt");
    // Released, with no other button down: the custom rules still apply.
    main.b_custom->click();
    EXPECT_FALSE(main.b_custom->isChecked());
    main.B_viewClick();
    EXPECT_EQ(Shown(), "custom found");

    // The form: add (once), remove (back into the box), save, an empty list.
    form.T_cFile->setText("file.nfo");
    form.B_AddClick();
    EXPECT_EQ(form.L_cFile->count(), 2);
    form.T_cFile->setText("more.nfo");
    form.B_AddClick();
    EXPECT_EQ(form.L_cFile->count(), 3);
    EXPECT_EQ(form.T_cFile->text(), "");
    form.L_cFile->setCurrentRow(0);
    form.B_RemoveClick();
    EXPECT_EQ(form.T_cFile->text(), "file.nfo");
    form.B_saveprefsClick();
    EXPECT_EQ(ReadFile(programDir / "tavrin.ext"), "<filename>.txt\r\nmore.nfo\r\n");
    EXPECT_EQ(questions.records.back().text, "Preferences saved.");
    EXPECT_EQ(main.CustMenu->actions().size(), 3);
    form.L_cFile->clear();
    form.B_saveprefsClick();
    EXPECT_EQ(ReadFile(programDir / "tavrin.ext"), "");
    EXPECT_FALSE(main.b_custom->isEnabled());
}

TEST_F(DescriptionModeTest, UnwritableProgramFolderGivesTheDiskErrorBox) {
    TMain& main = Start();
    TCustom_ext& form = *startup->Custom_ext();
    form.T_cFile->setText("a.nfo");
    form.B_AddClick();
    std::filesystem::remove_all(programDir.Path());  // the folder is gone
    form.B_saveprefsClick();
    ASSERT_GE(questions.records.size(), 2u);
    EXPECT_EQ(questions.records[0].title, "Disk error");
    EXPECT_EQ(questions.records[0].icon, BoxIcon::Warning);
    EXPECT_EQ(questions.records[0].text,
              "Cannot wrote on disk. Are you running program from a CD?\nIf so, you cannot save "
              "preferences!");
    EXPECT_EQ(questions.records[1].text, "Preferences saved.");
    EXPECT_TRUE(main.b_custom->isEnabled());  // the list in memory holds the name
    std::filesystem::create_directory(programDir.Path());
}

TEST_F(DescriptionModeTest, ModesMenusAndTray) {
    TMain& main = Start();
    main.ZIP1->trigger();
    EXPECT_TRUE(main.b_zipmode->isChecked());
    EXPECT_EQ(main.JobControl->currentWidget(), main.PackPage);
    EXPECT_FALSE(main.ToolZIP->isHidden());
    EXPECT_TRUE(main.ToolDIZ->isHidden());
    EXPECT_TRUE(main.ToolFILE->isHidden());
    EXPECT_EQ(main.LeftPane->Logic().Mask(), "*.*");
    main.Filemanager1->trigger();
    EXPECT_TRUE(main.LeftPane->MultiSelect());
    main.DIZ1->trigger();
    EXPECT_FALSE(main.LeftPane->MultiSelect());
    EXPECT_EQ(main.LeftPane->Logic().Mask(), "*.zip;*.mp3");

    main.M_WW->trigger();
    EXPECT_EQ(main.DIZEdit->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    main.M_WW->trigger();
    EXPECT_EQ(main.DIZEdit->lineWrapMode(), QPlainTextEdit::NoWrap);

    FontChoice chosen;
    chosen.family = "DejaVu Sans Mono";
    chosen.pointSize = 14;
    chosen.underline = true;
    chosen.rgb = 0xFF0000;
    questions.fonts = {chosen};
    main.M_FontClick();
    EXPECT_EQ(questions.records.back().text, "6-14");
    // 14 points on the pixel grid: a whole pixel size.
    EXPECT_EQ(main.DIZEdit->font().pixelSize(),
              int(std::lround(14 * main.DIZEdit->logicalDpiY() / 72.0)));
    EXPECT_TRUE(main.DIZEdit->font().underline());

    main.Hiddenfiles1->trigger();
    EXPECT_EQ(main.LeftPane->Logic().FileType(), ftReadOnly | ftHidden | ftSystem);
    main.Hiddenfiles1->trigger();
    EXPECT_EQ(main.LeftPane->Logic().FileType(), ftArchive | ftNormal);

    // "Restore" does nothing while the About box is open.
    main.show();
    main.hide();
    main.AboutBox->show();
    main.Restore1Click();
    EXPECT_FALSE(main.isVisible());
    main.AboutBox->hide();
    main.Restore1Click();
    EXPECT_TRUE(main.isVisible());
}

TEST_F(DescriptionModeTest, EndProgramLeavesWithoutAsking) {
    MakeZipWithPython(home / "a.zip", {{"file_id.diz", "A"}});
    TMain& main = Start();
    Click("a.zip");
    Type("x");
    main.show();
    main.Exitprogram1Click();
    EXPECT_TRUE(questions.records.empty());
    EXPECT_FALSE(main.isVisible());
    EXPECT_EQ(UnzipEntry(home / "a.zip", "file_id.diz"), "A");
}

TEST_F(DescriptionModeTest, FolderHistoryKeepsThirtyFolders) {
    TMain& main = Start();
    for (int i = 0; i < 31; ++i) {
        std::filesystem::create_directory(home / ("d" + std::to_string(i)));
        main.LeftPane->SetDirectory(home / ("d" + std::to_string(i)));
        main.LeftPaneClick();
    }
    EXPECT_EQ(main.CBDirM->count(), 30);
    EXPECT_EQ(main.CBDirM->itemText(29).toStdString(), home / "d30/");
    EXPECT_EQ(main.CBDirM->currentText().toStdString(), home / "d30/");
}

}  // namespace
}  // namespace tavrin

namespace tavrin {
namespace {

// Box art drawn on the pixel grid: two rows of full blocks form one solid area, no pixel
// blends ink and paper, and a double line shows as two lines. `what` names the font.
void ExpectCrispArt(DescriptionEditor* editor, const std::string& what) {
    SCOPED_TRACE(what);
    editor->clearFocus();  // no text cursor in the picture
    QApplication::processEvents();
    const QImage image = editor->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb ink = editor->palette().color(QPalette::Text).rgb();
    const QRgb paper = editor->palette().color(QPalette::Base).rgb();
    QRect art;
    int blends = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (pixel == paper) continue;
            if (pixel != ink) ++blends;
            art |= QRect(x, y, 1, 1);
        }
    ASSERT_FALSE(art.isEmpty());
    EXPECT_EQ(blends, 0);
    const int line = QFontMetrics(editor->font()).lineSpacing();
    const int blockWidth = 6 * QFontMetrics(editor->font()).horizontalAdvance(QChar(0x2588));
    int holes = 0;
    for (int y = art.top(); y < art.top() + 2 * line; ++y)
        for (int x = art.left(); x < art.left() + blockWidth; ++x)
            if (image.pixel(x, y) != ink) ++holes;
    EXPECT_EQ(holes, 0) << "seams or gaps in the blocks";
    int runs = 0;
    bool inInk = false;
    for (int y = art.top() + 2 * line; y < art.top() + 3 * line; ++y) {
        const bool now = image.pixel(art.left() + blockWidth / 2, y) == ink;
        if (now && !inInk) ++runs;
        inInk = now;
    }
    EXPECT_EQ(runs, 2) << "the double line";
}

TEST_F(DescriptionModeTest, BoxArtIsCrispAtEverySizeTheFontDialogOffers) {
    TMain& main = Start();
    const QStringList families = QFontDatabase::families();
    if (!families.contains("Terminus")) GTEST_SKIP() << "needs fonts-terminus-otb";
    main.show();
    main.ShowDescription(
        "\xDB\xDB\xDB\xDB\xDB\xDB\r\n\xDB\xDB\xDB\xDB\xDB\xDB\r\n\xCD\xCD\xCD\xCD\xCD\xCD");
    EXPECT_EQ(main.DIZEdit->font().family(), "Terminus");
    EXPECT_EQ(QFontInfo(main.DIZEdit->font()).pixelSize(), 12);
    ExpectCrispArt(main.DIZEdit, "start-up font");
    // Every size of the dialog's range: the pixel font keeps to its own sizes.
    for (const char* family : {"Terminus"}) {
        for (int points = 6; points <= 14; ++points) {
            FontChoice choice;
            choice.family = family;
            choice.pointSize = points;
            choice.rgb = 0x000080;
            main.SetEditorFont(choice);
            const std::vector<int> native = DescriptionEditor::NativePixelSizes(family);
            EXPECT_NE(std::find(native.begin(), native.end(),
                                QFontInfo(main.DIZEdit->font()).pixelSize()),
                      native.end());
            ExpectCrispArt(main.DIZEdit,
                           std::string(family) + " " + std::to_string(points) + " pt");
        }
    }
}

}  // namespace
}  // namespace tavrin

namespace tavrin {
namespace {

// Showing an MP3 file's tags never moves the splitter: the left panel keeps its width, in
// every shipped language, and its toolbar keeps every control in view.
TEST_F(DescriptionModeTest, LeftPanelKeepsItsWidthWithTheTagPanelInEveryLanguage) {
    test::TempDir tones;
    std::filesystem::copy_file(test::MakeToneMp3(tones, "song", "-b 128", 0.3), home / "song.mp3");
    MakeZipWithPython(home / "a.zip", {{"file_id.diz", "text"}});
    TMain& main = Start();
    main.show();
    QApplication::processEvents();
    EXPECT_EQ(main.PanLeftPane->width(), TMain::kLeftPanelWidth);
    EXPECT_GE(main.width(), 809);
    Click("song.mp3");
    QApplication::processEvents();
    EXPECT_EQ(main.PanLeftPane->width(), TMain::kLeftPanelWidth);  // at the start-up size
    const std::vector<std::string> languages = {"",           "ENGLISH.TVK", "FRENCH.TVK",
                                                "GERMAN.TVK", "ITALIAN.TVK", "SPANISH.TVK"};
    // A window wider than the test screen would let it grow to.
    main.resize(1000, 586);
    for (const std::string& language : languages) {
        SCOPED_TRACE(language);
        if (!language.empty())
            startup->LangForm()->LoadLanguage(std::string(TAVRIN_SOURCE_DIR) + "/data/lang/" +
                                              language);
        QApplication::processEvents();
        const int width = main.PanLeftPane->width();
        EXPECT_GE(width, TMain::kLeftPanelWidth);
        for (const char* file : {"song.mp3", "a.zip", "song.mp3"}) {
            Click(file);
            QApplication::processEvents();
            EXPECT_EQ(main.PanLeftPane->width(), width) << file;
            for (QAction* action : main.ToolBar2->actions())
                if (QWidget* control = main.ToolBar2->widgetForAction(action)) {
                    EXPECT_TRUE(control->isVisible())
                        << file << " " << control->toolTip().toStdString();
                }
        }
        // The tag panel's rows are not cut at the side.
        Click("song.mp3");
        QApplication::processEvents();
        EXPECT_GE(main.MP3Panel->Ck_V1->width(), main.MP3Panel->Ck_V1->sizeHint().width());
        EXPECT_LE(main.MP3Panel->mapTo(&main, QPoint(main.MP3Panel->width(), 0)).x(), main.width());
    }
}

}  // namespace
}  // namespace tavrin
