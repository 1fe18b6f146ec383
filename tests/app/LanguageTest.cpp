// Language files applied to the running program: every key onto its control, the copies the
// loader makes, the language form's buttons and the start-up language.
#include <sys/stat.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <map>

#include "description/Cust_ext.h"
#include "lang/LangForm.h"
#include "mp3/MP3Panel.h"
#include "packer/ZipOptZ.h"
#include "packer/ZipUnzip.h"
#include "platform/qt/CaptionBar.h"
#include "tests/app/AppFixture.h"

namespace tavrin::test {

namespace {

std::string Str(const QString& text) {
    return text.toStdString();
}

}  // namespace

class LanguageTest : public AppFixture {
  protected:
    TLangForm& Lang() { return *startup->LangForm(); }
    void Apply(const std::string& text) {
        WriteFile(programDir / "TEST.TVK", text);
        Lang().LoadLanguage(programDir / "TEST.TVK");
    }
    void SelectLanguage(const QString& name) {
        auto found = Lang().FileBox->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << Str(name);
        Lang().FileBox->setCurrentItem(found[0]);
    }
};

// Every key with a value of its own lands on exactly its control, in the loader's order.
TEST_F(LanguageTest, EveryKeyReachesItsControl) {
    TMain& m = Start();
    Mp3TagPanel& p = *m.MP3Panel;
    TFrmZipOpt& z = *m.FrmZipOpt;
    TFrmUnzip& u = *m.FrmUnzip;
    TCustom_ext& c = *startup->Custom_ext();
    TLangForm& l = Lang();
    MainState& s = m.State();
    struct Target {
        const char* section;
        const char* key;
        std::function<std::string()> shown;
    };
    auto text = [](auto* w) { return [w] { return Str(w->text()); }; };
    auto hint = [](auto* w) { return [w] { return Str(w->toolTip()); }; };
    auto title = [](QWidget* w) { return [w] { return Str(w->windowTitle()); }; };
    auto group = [](QGroupBox* w) { return [w] { return Str(w->title()); }; };
    const std::vector<Target> targets = {
        {"Buttons", "view", text(m.b_view)},
        {"Buttons", "filename", hint(m.b_filename)},
        {"Buttons", "extract", text(m.b_unzip)},
        {"Buttons", "save info", text(m.b_save)},
        {"Buttons", "auto", hint(m.b_auto)},
        {"Buttons", "autoview", text(m.b_autoview)},
        {"Buttons", "readme", hint(m.b_readme)},
        {"Buttons", "custom", [&] { return s.AllCustomLabel; }},
        {"Menu", "0", text(m.File1)},
        {"Menu", "00", text(m.Exit1)},
        {"Tabs", "Diz", text(m.b_dizmode)},
        {"Tabs", "Zip", text(m.b_zipmode)},
        {"Tabs", "Fil", text(m.b_filemode)},
        {"Menu", "3", text(m.Mode1)},
        {"Menu", "1", text(m.Options1)},
        {"Menu", "10", text(m.M_Font)},
        {"Menu", "11", text(m.M_WW)},
        {"Menu", "12", text(m.Hiddenfiles1)},
        {"Menu", "13", text(m.Customfile1)},
        {"Menu", "14", text(m.Changelanguage1)},
        {"Menu", "2", text(m.Help1)},
        {"Menu", "20", text(m.ManagingZIPfiles1)},
        {"Menu", "21", text(m.About1)},
        {"Packer", "Lstep1", text(m.Lstep1)},
        {"Packer", "Lstep2", text(m.Lstep2)},
        {"Packer", "Lstep3", text(m.Lstep3)},
        {"Packer", "Ldrop", text(m.Ldrop)},
        {"Packer", "Saveto", text(m.btnSaveTo)},
        {"Packer", "Options", text(m.b_ZipOpt)},
        {"MP3", "Choose", text(p.Ck_V1)},
        {"MP3", "Label1", text(p.Label1)},
        {"MP3", "Label2", text(p.Label2)},
        {"MP3", "Label3", text(p.Label3)},
        {"MP3", "Label4", text(p.Label4)},
        {"MP3", "Label5", text(p.Label5)},
        {"MP3", "Label6", text(p.Label6)},
        {"MP3", "L1", text(p.L1)},
        {"MP3", "L2", text(p.L2)},
        {"MP3", "L3", text(p.L3)},
        {"MP3", "L4", text(p.L4)},
        {"MP3", "L5", text(p.L5)},
        {"MP3", "L6", text(p.L6)},
        {"MP3", "L7", text(p.L7)},
        {"MP3", "ButtExport", text(p.B_CopyTo)},
        {"MP3", "ButtImport", text(p.B_CopyFrom)},
        {"FileManager", "Butt0", text(m.b_preview)},
        {"FileManager", "Butt1", text(m.b_copy)},
        {"FileManager", "Butt2", text(m.b_move)},
        {"FileManager", "Butt3", text(m.b_delete)},
        {"Zip options", "MTitle", title(&z)},
        {"Zip options", "Title", group(z.GroupBox2)},
        {"Zip options", "1", text(z.chSystem)},
        {"Zip options", "2", text(z.chVolume)},
        {"Zip options", "3", text(z.chJunkDir)},
        {"Zip options", "4", text(z.chRecurseDir)},
        {"Zip options", "5", text(z.chLatestTime)},
        {"Zip options", "6", text(z.Label2)},
        {"Zip options", "7", text(z.chGrow)},
        {"Zip options", "8", text(z.chMove)},
        {"Zip options", "9", text(z.chDeleteEntries)},
        {"Zip options", "10", text(z.chUpdate)},
        {"Zip options", "11", text(z.chFreshen)},
        {"Zip options", "ZipDefault", text(z.B_ZipDefault)},
        {"Zip options", "Save", text(z.B_SetZipOpt)},
        {"Zip options", "Close", text(z.B_Close)},
        {"Unpacker", "Title", title(&u)},
        {"Unpacker", "Label1", text(u.Label2)},
        {"Unpacker", "Label2", text(u.Label3)},
        {"Unpacker", "Label3", text(u.Label4)},
        {"Unpacker", "PathTo", text(u.Label1)},
        {"Unpacker", "Unzip_all", text(u.R_all)},
        {"Unpacker", "Unzip_par", text(u.R_sel)},
        {"Unpacker", "But_canc", text(u.B_Abort)},
        {"Unpacker", "Extract", text(u.Label5)},
        {"Unpacker", "ZOptions", text(u.B_Options)},
        {"Unpacker", "Opt_title", group(u.GroupBox1)},
        {"Unpacker", "1", text(u.chExtractOnlyNewer)},
        {"Unpacker", "2", text(u.chUFlag)},
        {"Unpacker", "3", text(u.chOFlag)},
        {"Unpacker", "4", text(u.chC_flag)},
        {"Unpacker", "5", text(u.chDFlag)},
        {"Custom files", "Title", title(&c)},
        {"Custom files", "BoxRight", text(c.Label1)},
        {"Custom files", "LabelUp", text(c.Label2)},
        {"Custom files", "Butt_add", text(c.B_Add)},
        {"Custom files", "Butt_rem", text(c.B_Remove)},
        {"Custom files", "LabelBott", text(c.Label3)},
        {"Custom files", "Butt_save", text(c.B_saveprefs)},
        {"Custom files", "Butt_close", text(c.B_OK)},
        {"Lang setup", "Title", title(&l)},
        {"Lang setup", "LabelTop", text(l.Label1)},
        {"Lang setup", "LabelBott", text(l.Label2)},
        {"Lang setup", "Default", text(l.B_Def)},
        {"Lang setup", "Canc", text(l.B_cancel)},
        {"Lang setup", "OK", text(l.B_OK)},
        {"Dialogs", "Copying", [&] { return s.ConfirmCopyText; }},
        {"Dialogs", "Moving", [&] { return s.ConfirmMoveText; }},
        {"Dialogs", "File", [&] { return s.FilesWordText; }},
        {"Menu", "15", text(m.M_Guide)},
    };
    ASSERT_EQ(targets.size(), 99u);

    // The reader's table names the same keys in the same order.
    ASSERT_EQ(LanguageKeys().size(), targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        EXPECT_STREQ(LanguageKeys()[i].section, targets[i].section) << i;
        EXPECT_STREQ(LanguageKeys()[i].key, targets[i].key) << i;
    }

    // One file, every key a distinct value; each section once (a section written twice is
    // read from its first place only), the sections in an order of their own.
    auto value = [](std::size_t i) { return "v" + std::to_string(i) + "x"; };
    std::vector<std::string> order;
    std::map<std::string, std::string> sections;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        std::string& lines = sections[targets[i].section];
        if (lines.empty()) order.insert(order.begin(), targets[i].section);
        lines += std::string(targets[i].key) + "=" + value(i) + "\n";
    }
    std::string file;
    for (const std::string& name : order) file += "[" + name + "]\n" + sections[name];
    Apply(file);
    for (std::size_t i = 0; i < targets.size(); ++i)
        EXPECT_EQ(targets[i].shown(), value(i))
            << "[" << targets[i].section << "] " << targets[i].key;

    // The copies the loader makes.
    EXPECT_EQ(Str(m.b_quit->text()), value(9));
    EXPECT_EQ(Str(m.DIZ1->text()), value(10));
    EXPECT_EQ(Str(m.ZIP1->text()), value(11));
    EXPECT_EQ(Str(m.Filemanager1->text()), value(12));
    EXPECT_EQ(Str(m.b_custom->text()), value(7));
    EXPECT_EQ(Str(m.b_custom->toolTip()), value(7));
    EXPECT_EQ(Str(m.CustMenu->actions().back()->text()), value(7));
    EXPECT_EQ(Str(p.Ck_V2->text()), value(29));
    QLabel* copies[] = {p.Lab1, p.Lab2, p.Lab3, p.Lab4, p.Lab5, p.Lab6};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Str(copies[i]->text()), value(30 + std::size_t(i)));
    EXPECT_EQ(Str(m.StatusPanel0->text()), "V4X");  // the auto hint in capitals
    EXPECT_TRUE(questions.records.empty());
}

TEST_F(LanguageTest, OneKeyFileSetsEveryOtherTextToItsDefault) {
    TMain& m = Start();
    EXPECT_EQ(Str(m.b_unzip->text()), "Unzip...");  // built-in texts until a file is applied
    EXPECT_EQ(Str(m.StatusPanel0->text()), "AUTO VIEW");
    Apply("[Tabs]\nZip=Packer\n");
    EXPECT_EQ(Str(m.b_zipmode->text()), "Packer");
    EXPECT_EQ(Str(m.ZIP1->text()), "Packer");
    EXPECT_EQ(Str(m.b_dizmode->text()), "Info ZIP files");
    EXPECT_EQ(Str(m.b_unzip->text()), "Extract...");
    EXPECT_EQ(Str(m.Lstep1->text()), "Step 1:");
    EXPECT_EQ(Str(m.StatusPanel0->text()), "AUTO SELECT");
    EXPECT_EQ(Str(startup->Custom_ext()->Label2->text()),
              "Insert custom file name in the box to the left\nand press \"Add\" button: for "
              "example,\nfile.nfo  or  <filename>.txt\n(where <filename> will be added "
              "automatically)\nor readme.nfo, or any file name you prefer.");

    // A second language without [Tabs] brings back the defaults, not the first file's texts.
    Apply("[packer]\nldrop=Hier ablegen\n[BUTTONS]\nVIEW=\n");
    EXPECT_EQ(Str(m.b_zipmode->text()), "Easy zip packer");
    EXPECT_EQ(Str(m.ZIP1->text()), "Easy zip packer");
    EXPECT_EQ(Str(m.Ldrop->text()), "Hier ablegen");
    EXPECT_EQ(Str(m.b_view->text()), "");  // an empty value blanks the caption

    // A missing file gives all defaults and no message.
    Lang().LoadLanguage(programDir / "NONE.TVK");
    EXPECT_EQ(Str(m.Ldrop->text()), "... and drop here");
    EXPECT_EQ(Str(m.b_view->text()), "View");
    EXPECT_TRUE(questions.records.empty());
}

TEST_F(LanguageTest, TranslatedConfirmationAsksTheCopyQuestion) {
    TMain& m = Start();
    Apply("[Dialogs]\nCopying=Copier\nFile=fichier(s)\n[Buttons]\ncustom=tous \xC3\xA9t\xC3\xA9\n");
    EXPECT_EQ(m.State().ConfirmCopyText, "Copier");
    EXPECT_EQ(m.State().ConfirmMoveText, "Confirm move");
    // The label the lookup and the menu use is held as the text it is.
    EXPECT_EQ(m.State().AllCustomLabel, "tous \xC3\xA9t\xC3\xA9");
    EXPECT_EQ(m.CustMenu->actions().back()->text(), QString::fromUtf8("tous \xC3\xA9t\xC3\xA9"));
}

TEST_F(LanguageTest, LanguageFormButtons) {
    WriteFile(programDir / "ITALIAN.TVK", "[Buttons]\nview=Visualizza\n");
    WriteFile(programDir / "german.tvk", "[Buttons]\nview=Anzeigen\n");
    WriteFile(programDir / "notes.txt", "[Buttons]\nview=No\n");
    TMain& m = Start();
    TLangForm& l = Lang();
    ASSERT_EQ(l.FileBox->count(), 2);
    EXPECT_EQ(Str(l.FileBox->item(0)->text()), "german.tvk");
    EXPECT_EQ(l.FileName(), "");

    // OK without a selection changes nothing and closes.
    l.show();
    l.B_OKClick();
    EXPECT_FALSE(l.isVisible());
    EXPECT_EQ(Str(m.b_view->text()), "View");

    // A file added later is offered the next time the form opens.
    WriteFile(programDir / "SPANISH.TVK", "[Buttons]\nview=Ver\n");
    l.show();
    ASSERT_EQ(l.FileBox->count(), 3);
    SelectLanguage("ITALIAN.TVK");
    EXPECT_EQ(l.FileName(), programDir / "ITALIAN.TVK");
    l.B_OKClick();
    EXPECT_FALSE(l.isVisible());
    EXPECT_EQ(Str(m.b_view->text()), "Visualizza");

    // A double click applies for this run only; Cancel changes nothing.
    l.show();
    SelectLanguage("german.tvk");
    l.FileBoxDblClick();
    EXPECT_EQ(Str(m.b_view->text()), "Anzeigen");
    l.show();
    SelectLanguage("SPANISH.TVK");
    l.B_cancelClick();
    EXPECT_FALSE(l.isVisible());
    EXPECT_EQ(Str(m.b_view->text()), "Anzeigen");
    EXPECT_FALSE(FileExists(programDir / "tavrin.ini"));
}

TEST_F(LanguageTest, SetAsDefaultStoresTheChoiceForTheNextStart) {
    WriteFile(programDir / "tavrin.ini",
              "[International]\r\nLanguage=default\r\n[Other]\r\nx=1\r\n");
    WriteFile(programDir / "GERMAN.TVK", "[Buttons]\nview=Anzeigen\n");
    Start();
    Lang().show();
    SelectLanguage("GERMAN.TVK");
    Lang().B_DefClick();
    EXPECT_FALSE(Lang().isVisible());
    EXPECT_EQ(Str(startup->Main()->b_view->text()), "Anzeigen");
    EXPECT_EQ(ReadFile(programDir / "tavrin.ini"),
              "[International]\r\nLanguage=GERMAN.TVK\r\n[Other]\r\nx=1\r\n");

    // The next start applies it.
    startup.reset();
    TMain& again = Start();
    EXPECT_EQ(Str(again.b_view->text()), "Anzeigen");
    EXPECT_EQ(Str(again.StatusPanel0->text()), "AUTO SELECT");

    // With nothing selected the value is empty: all defaults now and at every start.
    Lang().show();
    Lang().FileBox->clearSelection();
    Lang().B_DefClick();
    EXPECT_EQ(ReadFile(programDir / "tavrin.ini"),
              "[International]\r\nLanguage=\r\n[Other]\r\nx=1\r\n");
    EXPECT_EQ(Str(again.b_view->text()), "View");
    startup.reset();
    EXPECT_EQ(Str(Start().b_unzip->text()), "Extract...");
}

TEST_F(LanguageTest, EnterInTheLanguageFormIsOk) {
    WriteFile(programDir / "GERMAN.TVK", "[Buttons]\nview=Anzeigen\n");
    WriteFile(programDir / "FRENCH.TVK", "[Buttons]\nview=Afficher\n");
    TMain& m = Start();
    TLangForm& l = Lang();
    EXPECT_TRUE(l.B_OK->isDefault());
    // Enter with the focus on the list, then on "Set as default": each time the language
    // is applied for this run only, and the settings file is not written.
    l.show();
    SelectLanguage("GERMAN.TVK");
    l.FileBox->setFocus();
    QTest::keyClick(l.FileBox, Qt::Key_Return);
    EXPECT_FALSE(l.isVisible());
    EXPECT_EQ(Str(m.b_view->text()), "Anzeigen");
    l.show();
    SelectLanguage("FRENCH.TVK");
    l.B_Def->setFocus();
    QTest::keyClick(l.B_Def, Qt::Key_Enter);
    EXPECT_FALSE(l.isVisible());
    EXPECT_EQ(Str(m.b_view->text()), "Afficher");
    EXPECT_FALSE(FileExists(programDir / "tavrin.ini"));
    // The space bar on "Set as default" still presses it.
    l.show();
    SelectLanguage("GERMAN.TVK");
    l.B_Def->setFocus();
    QTest::keyClick(l.B_Def, Qt::Key_Space);
    EXPECT_EQ(ReadFile(programDir / "tavrin.ini"), "[International]\r\nLanguage=GERMAN.TVK\r\n");
    EXPECT_TRUE(questions.records.empty());
}

TEST_F(LanguageTest, ASectionWrittenTwiceIsReadFromItsFirstPlaceOnly) {
    TMain& m = Start();
    Apply(
        "[Buttons]\nview=Erst\n[Tabs]\nZip=Packer\n[BUTTONS]\nextract=Zweit\n"
        "[Buttons]\nsave info=Dritt\nview=Wieder\n");
    EXPECT_EQ(Str(m.b_view->text()), "Erst");
    EXPECT_EQ(Str(m.b_unzip->text()), "Extract...");
    EXPECT_EQ(Str(m.b_save->text()), "Save info");
    EXPECT_EQ(Str(m.b_zipmode->text()), "Packer");
}

TEST_F(LanguageTest, TheLanguageFormIsFixedAndOnlyAsLargeAsItsTextsNeed) {
    Start();
    TLangForm& l = Lang();
    // With texts that fit, the described size of its client area, which cannot be changed.
    Apply("[Lang setup]\nLabelBott=A short note.\n");
    l.show();
    EXPECT_EQ(l.contentsRect().size(), QSize(TLangForm::kWidth, TLangForm::kHeight));
    EXPECT_EQ(l.minimumSize(), l.maximumSize());
    // A long note makes it taller, and just enough for the note to show whole.
    std::string note;
    for (int i = 0; i < 400; ++i) note += " word";
    Apply("[Lang setup]\nLabelBott=" + note + "\n");
    l.hide();
    l.show();
    EXPECT_EQ(l.contentsRect().width(), TLangForm::kWidth);
    EXPECT_GT(l.contentsRect().height(), TLangForm::kHeight);
    EXPECT_GE(l.Label2->height(), l.Label2->heightForWidth(l.Label2->width()));
    EXPECT_LT(l.Label2->height(), l.Label2->heightForWidth(l.Label2->width()) + 40);
    EXPECT_EQ(l.minimumSize(), l.maximumSize());
    // A long caption makes it wider, and just enough for the button to show it whole.
    Apply("[Lang setup]\nLabelBott=A short note.\nOK=" + std::string(60, 'O') + "\n");
    l.hide();
    l.show();
    EXPECT_GT(l.contentsRect().width(), TLangForm::kWidth);
    EXPECT_EQ(l.B_OK->width(), l.B_OK->sizeHint().width());
    l.hide();
}

// The window manager draws no title bar with buttons: the form has its own caption (the
// language's title) and no way to close it but its own buttons.
TEST_F(LanguageTest, TheLanguageFormHasItsOwnCaptionAndNoTitleBarButtons) {
    Start();
    TLangForm& l = Lang();
    EXPECT_TRUE(l.windowFlags() & Qt::FramelessWindowHint);
    for (Qt::WindowType button :
         {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint, Qt::WindowCloseButtonHint})
        EXPECT_FALSE(l.windowFlags() & button);
    auto* caption = l.findChild<CaptionBar*>("CaptionBar");
    ASSERT_NE(caption, nullptr);
    Apply("[Lang setup]\nTitle=Sprache einstellen\n");
    EXPECT_EQ(caption->Text(), "Sprache einstellen");
    l.show();
    EXPECT_EQ(caption->geometry().top(), 1);
    EXPECT_EQ(caption->width(), l.width() - 2);
    EXPECT_GE(l.contentsRect().top(), caption->geometry().bottom());
    l.hide();
}

TEST_F(LanguageTest, UnwritableSettingsFileKeepsTheFormOpen) {
    WriteFile(programDir / "GERMAN.TVK", "[Buttons]\nview=Anzeigen\n");
    ASSERT_EQ(mkdir((programDir / "tavrin.ini").c_str(), 0755), 0);  // stops root too
    TMain& m = Start();
    Lang().show();
    SelectLanguage("GERMAN.TVK");
    Lang().B_DefClick();
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].kind, "error");
    EXPECT_EQ(questions.records[0].text,
              "Unable to write to " + (programDir / "tavrin.ini") + "\nIs a directory.");
    EXPECT_TRUE(Lang().isVisible());
    EXPECT_EQ(Str(m.b_view->text()), "View");
    Lang().hide();
}

TEST_F(LanguageTest, UnzipDialogShowsItsFixedTextsAndHiddenFormsKeepTheirs) {
    WriteFile(home / "a.zip", "");
    TMain& m = Start();
    startup->Custom_ext()->show();
    Apply("[Unpacker]\nTitle=Entpacken\nZOptions=Optionen\nExtract=Ziel:\n");
    EXPECT_FALSE(startup->Custom_ext()->isVisible());  // the menu rebuild hides the form
    EXPECT_EQ(Str(m.FrmUnzip->windowTitle()), "Entpacken");
    m.FrmUnzip->show();
    EXPECT_EQ(Str(m.FrmUnzip->windowTitle()).rfind("Decompressing", 0), 0u);
    EXPECT_EQ(Str(m.FrmUnzip->B_Options->text()), "Options >>");
    EXPECT_EQ(Str(m.FrmUnzip->Label5->text()), "Ziel:");
    m.FrmUnzip->hide();
}

}  // namespace tavrin::test

namespace tavrin::test {

// Every caption of the shipped languages fits its control: no text cut off.
TEST_F(LanguageTest, ShippedLanguagesFitTheirControls) {
    TMain& m = Start();
    for (const char* name :
         {"ENGLISH.TVK", "ITALIAN.TVK", "GERMAN.TVK", "FRENCH.TVK", "SPANISH.TVK"}) {
        Lang().LoadLanguage(std::string(TAVRIN_BIN_DIR) + "/" + name);
        std::vector<QWidget*> windows = {&m, m.FrmZipOpt, m.FrmUnzip, startup->Custom_ext(),
                                         &Lang()};
        for (QWidget* window : windows) {
            window->show();
            if (window == m.FrmUnzip) m.FrmUnzip->B_OptionsClick();  // the options half too
            QApplication::processEvents();
            QList<QWidget*> controls = window->findChildren<QWidget*>();
            for (QWidget* w : controls) {
                if (!w->isVisibleTo(window) || w->window() != window) continue;
                QString text;
                if (auto* label = qobject_cast<QLabel*>(w)) {
                    text = label->text();
                    if (label->wordWrap()) {
                        EXPECT_GE(w->height(), label->heightForWidth(w->width()))
                            << name << ": " << Str(text);
                        continue;
                    }
                } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
                    text = button->text();
                } else {
                    continue;
                }
                if (text.isEmpty()) continue;
                EXPECT_GE(w->width(), w->sizeHint().width()) << name << ": " << Str(text);
            }
            if (window == m.FrmUnzip) m.FrmUnzip->B_OptionsClick();
            window->hide();
        }
    }
}

}  // namespace tavrin::test
