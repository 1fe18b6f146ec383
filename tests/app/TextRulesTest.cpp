// Names from the file system and single-byte contents, each shown and stored by its own rule,
// through the panes, the frame, the custom names, the questions and the language texts.
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "description/Cust_ext.h"
#include "lang/LangForm.h"
#include "platform/qt/Text.h"
#include "shell/DescriptionEditor.h"
#include "shell/QtUserQuestions.h"
#include "tests/app/AppFixture.h"

namespace tavrin {
namespace {

using test::MakeZipWithPython;
using test::ReadFile;
using test::UnzipEntry;
using test::UnzipNames;
using test::WriteFile;

const QString kCafe = QString::fromUtf8("caf\xC3\xA9.nfo");

TEST(TextHelpers, ContentsKeepEveryByteNamesFollowTheFileSystem) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += char(b);
    EXPECT_EQ(ContentBytes(ContentText(all)), all);
    EXPECT_EQ(ContentText("caf\xE9"), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(ContentText("\x80\x93"), QString::fromUtf8("\xE2\x82\xAC\xE2\x80\x9C"));  // € “
    EXPECT_EQ(ContentBytes(QString::fromUtf8("\xD0\x96\xF0\x9F\x98\x80")), "??");       // Ж, 😀
    // A name in UTF-8 reads as itself; Latin-1 bytes are no UTF-8 and show as U+FFFD.
    EXPECT_EQ(FileNameText("\xC3\xA9t\xC3\xA9.zip"), QString::fromUtf8("\xC3\xA9t\xC3\xA9.zip"));
    EXPECT_EQ(FileNameText("\xE9t\xE9.zip"), QString::fromUtf8("\xEF\xBF\xBDt\xEF\xBF\xBD.zip"));
    EXPECT_EQ(FileNameBytes(QString::fromUtf8("\xE2\x94\x8C\xE2\x94\x80.txt")),
              "\xE2\x94\x8C\xE2\x94\x80.txt");
}

class TextRulesTest : public test::AppFixture {
  protected:
    void Type(QWidget* widget, const QString& text) {
        widget->setFocus();
        QTest::keyClicks(widget, text);
    }
};

// tavrin.ext holds single-byte names: the form shows them in Windows-1252 and writes the same
// bytes back; a typed name is stored in that code page; Enter adds it once.
TEST_F(TextRulesTest, CustomNamesKeepTheirBytesInFormMenuButtonAndStatus) {
    WriteFile(programDir / "tavrin.ext", "caf\xE9.nfo\r\n\xC4\xB3.nfo\r\n");
    MakeZipWithPython(home / "a.zip", {{"x", "x"}});
    TMain& main = Start();
    TCustom_ext& form = *startup->Custom_ext();
    ASSERT_EQ(form.L_cFile->count(), 2);
    EXPECT_EQ(form.L_cFile->item(0)->text(), kCafe);
    EXPECT_EQ(form.L_cFile->item(1)->text(), QString::fromUtf8("\xC3\x84\xC2\xB3.nfo"));  // Ä³
    ASSERT_EQ(main.CustMenu->actions().size(), 3);
    EXPECT_EQ(main.CustMenu->actions()[0]->text(), kCafe);

    form.show();
    form.T_cFile->setFocus();
    form.T_cFile->setText(QString::fromUtf8("na\xC3\xAFve.nfo"));
    QTest::keyClick(form.T_cFile, Qt::Key_Return);
    ASSERT_EQ(form.L_cFile->count(), 3);  // once, and no empty name after it
    EXPECT_EQ(form.T_cFile->text(), "");
    form.B_saveprefsClick();
    form.hide();
    EXPECT_EQ(ReadFile(programDir / "tavrin.ext"),
              "caf\xE9.nfo\r\n\xC4\xB3.nfo\r\nna\xEFve.nfo\r\n");

    // The menu item, the button, the status panel and the frame show the name as the form
    // does.
    ASSERT_EQ(main.CustMenu->actions().size(), 4);
    EXPECT_EQ(main.CustMenu->actions()[2]->text(), QString::fromUtf8("na\xC3\xAFve.nfo"));
    main.CustMenu->actions()[0]->trigger();
    EXPECT_EQ(main.b_custom->text(), kCafe);
    EXPECT_EQ(main.StatusPanel0->text(), kCafe.toUpper());
    Click("a.zip");
    EXPECT_EQ(main.Cornice->title(), kCafe);
}

// An archive's own name is a file-system name in the frame (UTF-8, box-drawing characters, or
// Latin-1 bytes that are no UTF-8), and the description is saved back under its bytes.
TEST_F(TextRulesTest, TheFrameShowsTheArchiveNameAsThePanesDo) {
    MakeZipWithPython(home / "\xC3\xA9t\xC3\xA9.zip", {{"\xC3\xA9t\xC3\xA9.txt", "utf8"}});
    MakeZipWithPython(home / "\xE2\x94\x8C\xE2\x94\x80.zip", {{"x", "x"}});
    MakeZipWithPython(home / "l1.zip", {{"x", "x"}});
    std::filesystem::rename(home / "l1.zip", home / "\xE9t\xE9.zip");
    TMain& main = Start();
    main.b_filename->click();
    Click("\xC3\xA9t\xC3\xA9.zip");
    EXPECT_EQ(main.Cornice->title(), QString::fromUtf8("\xC3\xA9t\xC3\xA9.txt"));
    EXPECT_EQ(Shown(), "utf8");
    Click("\xE2\x94\x8C\xE2\x94\x80.zip");
    EXPECT_EQ(main.Cornice->title(), QString::fromUtf8("\xE2\x94\x8C\xE2\x94\x80.txt"));
    Click("\xE9t\xE9.zip");
    EXPECT_EQ(main.Cornice->title(), QString::fromUtf8("\xEF\xBF\xBDt\xEF\xBF\xBD.txt"));
    Type(main.DIZEdit, "new");
    main.B_SaveClick();
    EXPECT_FALSE(main.State().DescriptionEdited);
    EXPECT_EQ(UnzipEntry(home / "\xE9t\xE9.zip", "\xE9t\xE9.txt"), "new");
}

// A NUL byte in a description shows as a visible glyph and is stored back with the rest.
TEST_F(TextRulesTest, ADescriptionWithANulByteIsSavedWhole) {
    const std::string text("before\0after\r\nline2", 19);
    MakeZipWithPython(home / "nul.zip", {{"file_id.diz", text}});
    TMain& main = Start();
    Click("nul.zip");
    EXPECT_EQ(Shown(), text);
    EXPECT_EQ(main.DIZEdit->toPlainText(), QString::fromUtf8("before\xE2\x90\x80"
                                                             "after\nline2"));
    EXPECT_EQ(main.DIZEdit->Bytes(), text);
    QTest::keyClick(main.DIZEdit, Qt::Key_End, Qt::ControlModifier);
    Type(main.DIZEdit, "X");
    main.B_SaveClick();
    EXPECT_EQ(UnzipEntry(home / "nul.zip", "file_id.diz"), text + "X");
}

// A custom name with wildcards shows the first entry it matches (one in no folder first) and
// the text is saved back under that entry's own name.
TEST_F(TextRulesTest, AWildcardCustomNameStandsForItsFirstMatch) {
    WriteFile(programDir / "tavrin.ext", "*.nfo\r\n");
    MakeZipWithPython(
        home / "w.zip",
        {{"docs/a.nfo", "nested"}, {"B.NFO", "first"}, {"c.nfo", "second"}, {"prog.exe", "MZ"}});
    MakeZipWithPython(home / "[x].zip", {{"[x].txt", "literal"}, {"x.txt", "pattern"}});
    TMain& main = Start();
    main.CustMenu->actions()[0]->trigger();
    Click("w.zip");
    EXPECT_EQ(Shown(), "first");
    EXPECT_EQ(main.Cornice->title(), "B.NFO");
    QTest::keyClick(main.DIZEdit, Qt::Key_End, Qt::ControlModifier);
    Type(main.DIZEdit, "!");
    main.B_SaveClick();
    EXPECT_EQ(UnzipEntry(home / "w.zip", "B.NFO"), "first!");
    EXPECT_EQ(UnzipEntry(home / "w.zip", "c.nfo"), "second");
    EXPECT_EQ(UnzipEntry(home / "w.zip", "docs/a.nfo"), "nested");
    EXPECT_EQ(UnzipNames(home / "w.zip").find('*'), std::string::npos);
    // An archive name with brackets is no pattern: it is taken literally.
    main.b_filename->click();
    Click("[x].zip");
    EXPECT_EQ(Shown(), "literal");
}

// The questions of the file operation show the names as the panes do.
TEST_F(TextRulesTest, QuestionsShowNamesAsThePanesDo) {
    QtUserQuestions real(nullptr);
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->windowTitle() + "|" + box->text();
        box->buttons().front()->click();
    });
    real.AskOverwrite("Confirm File Replace",
                      "'na\xC3\xAFve \xC3\x9Cn\xC3\xAF"
                      "c\xC3\xB8"
                      "d\xC3\xA9.txt' and '\xE9.txt'");
    EXPECT_EQ(shown, QString::fromUtf8("Confirm File Replace|'na\xC3\xAFve \xC3\x9Cn\xC3\xAF"
                                       "c\xC3\xB8"
                                       "d\xC3\xA9.txt' and '\xEF\xBF\xBD.txt'"));
}

// The four language texts the main window keeps are held as UTF-8 text: a Russian file gives
// the menu, the button and the copy question in Cyrillic, and the label still selects all
// custom names.
TEST_F(TextRulesTest, LanguageTextsOutsideWindows1252AreKept) {
    WriteFile(programDir / "tavrin.ext", "a.nfo\r\n");
    const std::string all = "\xD0\x92\xD1\x81\xD0\xB5 \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\xD1\x8B";
    const std::string copy = "\xD0\x9A\xD0\xBE\xD0\xBF\xD0\xB8\xD1\x8F";
    const std::string files = "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB(\xD0\xBE\xD0\xB2)";
    WriteFile(programDir / "RUSSIAN.TVK", "[Buttons]\ncustom=" + all + "\n[Dialogs]\nCopying=" +
                                              copy + "\nFile=" + files + "\n");
    MakeZipWithPython(home / "c.zip", {{"a.nfo", "custom"}});
    std::filesystem::create_directory(home / "right");
    TMain& main = Start();
    startup->LangForm()->LoadLanguage(programDir / "RUSSIAN.TVK");
    EXPECT_EQ(main.State().AllCustomLabel, all);
    EXPECT_EQ(main.State().ConfirmCopyText, copy);
    EXPECT_EQ(main.State().FilesWordText, files);
    EXPECT_EQ(main.CustMenu->actions().back()->text(), QString::fromUtf8(all));
    main.CustMenu->actions().back()->trigger();
    EXPECT_EQ(main.b_custom->text(), QString::fromUtf8(all));
    Click("c.zip");  // the label stands for every custom name
    EXPECT_EQ(Shown(), "custom");
    EXPECT_EQ(main.Cornice->title(), "a.nfo");

    main.RightPane->SetDirectory(home / "right");
    main.show();
    QApplication::setActiveWindow(&main);
    Select(main.LeftPane, {"c.zip"});
    Focus(main.LeftPane);
    questions.yesNo = {false};
    main.B_CopyClick();
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].text, copy + " 1 " + files + "?");
}

}  // namespace
}  // namespace tavrin
