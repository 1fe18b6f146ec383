#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "mp3/ID3v1.h"
#include "mp3/ID3v2.h"
#include "mp3/MP3Panel.h"
#include "mp3/MPEGPlay.h"
#include "tests/app/AppFixture.h"
#include "tests/mp3/Mp3Bytes.h"

namespace tavrin {
namespace {

using test::ReadFile;
using test::RunCommand;
using test::WriteFile;
using namespace std::string_literals;

// A short LAME-encoded tone, made once.
const std::string& ToneMp3() {
    static std::string bytes = [] {
        test::TempDir dir;
        return ReadFile(test::MakeToneMp3(dir, "tone", "-b 128", 0.5));
    }();
    return bytes;
}

std::string Tag128(const std::string& title, unsigned char genre) {
    std::string tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, title.size(), title);
    tag[127] = static_cast<char>(genre);
    return tag;
}

class Mp3PanelTest : public test::AppFixture {
  protected:
    Mp3TagPanel& Panel() { return *startup->Main()->MP3Panel; }
    void Type(QWidget* field, const QString& text) {
        field->setFocus();
        QTest::keyClicks(field, text);
    }
};

TEST_F(Mp3PanelTest, ShowsHeaderDataAndBothTags) {
    WriteFile(home / "song.mp3", ToneMp3() + Tag128("Old title", 17));
    TMain& main = Start();
    Click("song.mp3");
    EXPECT_FALSE(Panel().isHidden());
    EXPECT_FALSE(main.MPanel->isHidden());
    EXPECT_EQ(main.Cornice->title(), "song.mp3");
    EXPECT_EQ(Panel().MP_title->text(), "Old title");
    EXPECT_EQ(Panel().CB_Genre->currentText(), "Rock");
    EXPECT_EQ(Panel().LMPEGType->text(), "MPEG 1 Layer III");
    EXPECT_EQ(Panel().LSampleRate->text(), "44100 hz");
    EXPECT_EQ(Panel().LBitRate->text(), "CBR 128 kbit/s");
    EXPECT_TRUE(Panel().LDuration->text().endsWith(" sec."));
    EXPECT_FALSE(main.State().DescriptionEdited);  // filling is no edit
    EXPECT_FALSE(main.b_save->isEnabled());
}

TEST_F(Mp3PanelTest, SavingWritesTheCheckedTags) {
    WriteFile(home / "plain.mp3", ToneMp3());
    TMain& main = Start();
    Click("plain.mp3");
    EXPECT_EQ(Panel().CB_Genre->currentIndex(), 0);
    Type(Panel().MP_title, "One");
    EXPECT_TRUE(Panel().Ck_V1->isChecked());
    Panel().setCurrentIndex(1);
    Type(Panel().MP_Title2, "Two");
    EXPECT_TRUE(Panel().Ck_V2->isChecked());
    EXPECT_TRUE(main.b_save->isEnabled());
    main.B_SaveClick();
    EXPECT_FALSE(main.State().DescriptionEdited);
    std::string bytes = ReadFile(home / "plain.mp3");
    ASSERT_GE(bytes.size(), ToneMp3().size() + 128 + 10);
    EXPECT_EQ(bytes.substr(bytes.size() - 128, 6), "TAGOne");
    EXPECT_EQ(bytes.substr(0, 4), "ID3\x03");
    TID3v2 v2;
    ASSERT_TRUE(v2.Load(home / "plain.mp3"));
    EXPECT_EQ(v2.Title(), "Two");
    EXPECT_EQ(v2.TagSize(), 10 + 10 + 1 + 3);  // one TIT2 frame, no padding
}

TEST_F(Mp3PanelTest, EditsMarkThePanelAndTheirPage) {
    WriteFile(home / "a.mp3", ToneMp3());
    TMain& main = Start();
    Panel().Ck_V1->setChecked(false);
    Click("a.mp3");
    // Any change of a field's text marks it, punctuation too.
    Type(Panel().MP_title, ",");
    EXPECT_TRUE(main.State().DescriptionEdited);
    EXPECT_TRUE(Panel().Ck_V1->isChecked());
    main.B_SaveClick();
    // A genre chosen in the ID3v2 box enables saving without checking its box.
    Panel().Ck_V2->setChecked(false);
    Panel().CB_genre2->activated(5);
    EXPECT_TRUE(main.b_save->isEnabled());
    EXPECT_FALSE(Panel().Ck_V2->isChecked());
}

TEST_F(Mp3PanelTest, GenresTheListCannotShowSurviveASave) {
    WriteFile(home / "odd.mp3", ToneMp3() + Tag128("T", 200));
    TMain& main = Start();
    Click("odd.mp3");
    EXPECT_EQ(Panel().CB_Genre->currentIndex(), 0);  // shown as no genre
    Type(Panel().MP_title, "x");
    main.B_SaveClick();
    TID3v1 v1;
    ASSERT_TRUE(v1.Load(home / "odd.mp3"));
    EXPECT_EQ(v1.GenreIndex(), 200);
    EXPECT_EQ(v1.Title(), "Tx");
    // Once the user chooses a genre, it is written.
    Click("odd.mp3");
    Mp3TagPanel::SetGenreText(Panel().CB_Genre, "Pop");
    main.CB_GenreChange(1);
    main.B_SaveClick();
    ASSERT_TRUE(v1.Load(home / "odd.mp3"));
    EXPECT_EQ(v1.GenreIndex(), 13);
}

TEST_F(Mp3PanelTest, CopyButtonsAndNumericGenreReferences) {
    // An ID3v2.3 tag whose genre is a bare reference "(13)" shows an empty genre.
    std::string frame =
        std::string("TCON") + std::string("\0\0\0\x05\0\0", 6) + std::string("\0(13)", 5);
    std::string header = std::string("ID3\x03\0\0\0\0\0", 9) + static_cast<char>(frame.size());
    WriteFile(home / "ref.mp3", header + frame + ToneMp3());
    TMain& main = Start();
    Click("ref.mp3");
    EXPECT_EQ(Panel().CB_genre2->currentText(), "");

    Panel().MP_artist->setText("Artist one");
    Mp3TagPanel::SetGenreText(Panel().CB_Genre, "Jazz");
    main.B_CopyFromClick();
    EXPECT_EQ(Panel().MP_artist2->text(), "Artist one");
    EXPECT_EQ(Panel().CB_genre2->currentText(), "Jazz");
    EXPECT_EQ(Panel().CB_genre2->currentIndex(), 9);  // a list name selects its entry
    EXPECT_TRUE(Panel().Ck_V2->isChecked());
    Panel().MP_Title2->setText(QString(40, 'L'));
    Panel().Ck_V1->setChecked(false);
    main.B_CopyToClick();
    EXPECT_TRUE(Panel().Ck_V1->isChecked());
    EXPECT_EQ(Panel().MP_title->text().size(), 30);  // the field holds 30 characters
}

TEST_F(Mp3PanelTest, FailedSavesAreReportedInOrder) {
    WriteFile(home / "gone.mp3", ToneMp3());
    TMain& main = Start();
    Click("gone.mp3");
    Panel().Ck_V2->setChecked(true);
    std::filesystem::remove(home / "gone.mp3");
    main.IDTagWrite(home / "gone.mp3");
    ASSERT_EQ(questions.records.size(), 2u);
    EXPECT_EQ(questions.records[0].text, "Can not save V1 tag to the file: " + home / "gone.mp3");
    EXPECT_EQ(questions.records[1].text, "Can not save V2 tag to the file: " + home / "gone.mp3");
}

TEST_F(Mp3PanelTest, PlayerButtonsReportTheirErrors) {
    WriteFile(home / "a.mp3", ToneMp3());
    TMain& main = Start();
    main.VrMediaButton3Click();  // Stop before any Play
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].text, "Incorrect mode.");
    Click("a.mp3");
    main.VrMediaButton1Click();  // no decoder library in this program folder
    ASSERT_EQ(questions.records.size(), 2u);
    EXPECT_EQ(questions.records[1].text, "MPEG library not loaded.");
}

TEST_F(Mp3PanelTest, PlayWritesTheSoundAndStopNeedsAStreamPlaying) {
    // The decoder library lies in the program folder, where the player looks for it.
    std::filesystem::copy_file(std::string(TAVRIN_BIN_DIR) + "/libmpegdll.so",
                               programDir / "libmpegdll.so");
    WriteFile(home / "tone.mp3", ToneMp3());
    TMain& main = Start();
    ASSERT_TRUE(main.MPEG1().IsLoaded());
    main.MPEG1().OutFilename = programDir / "out.pcm";
    main.MPEG1().SetOutputDevice(TOutputDevice::pcmfile);
    Click("tone.mp3");
    main.VrMediaButton1Click();
    ASSERT_TRUE(questions.records.empty()) << questions.records[0].text;
    EXPECT_TRUE(main.MPEG1().Playing());
    for (int i = 0; i < 200 && !main.MPEG1().Ended(); ++i) QTest::qWait(50);
    ASSERT_TRUE(main.MPEG1().Ended());
    // Half a second of 44.1 kHz stereo 16-bit sound, give or take a frame.
    std::size_t bytes = ReadFile(programDir / "out.pcm").size();
    EXPECT_NEAR(double(bytes), 22050.0 * 4, 1152.0 * 4 * 2);
    // Played to its end and never ticked: Stop says "Incorrect mode" and the stream stays.
    main.VrMediaButton3Click();
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].text, "Incorrect mode.");
    EXPECT_TRUE(main.MPEG1().Opened());
    // Play again: closed through the name, reopened, played from the start.
    main.VrMediaButton1Click();
    for (int i = 0; i < 200 && !main.MPEG1().Ended(); ++i) QTest::qWait(50);
    EXPECT_EQ(ReadFile(programDir / "out.pcm").size(), bytes);
}

// A version 2.3 tag as LAME and other taggers write it, with texts the panel shows decoded and
// frames the user never touches.
const std::string kLameTitle = test::Id3v2Frame("TIT2", "\x01" + test::Utf16("Lame"));
const std::string kDate = test::TextFrame("TYER", "2016-05-01");
const std::string kGermanComment = test::Id3v2Frame("COMM", "\0deu\0Line one\nLine two"s);
const std::string kPicture =
    test::Id3v2Frame("APIC", "\0image/png\0\x03\0"s + std::string(500, 'p'));

class Mp3PanelSaveTest : public Mp3PanelTest {
  protected:
    void SetUp() override {
        Mp3PanelTest::SetUp();
        WriteFile(home / "tagged.mp3",
                  test::Id3v2Tag(kLameTitle + kDate + kGermanComment + kPicture) + ToneMp3());
        Start().MP3Panel->Ck_V1->setChecked(false);
        Click("tagged.mp3");
        Panel().setCurrentIndex(1);
    }
    std::string Tag() {
        const std::string bytes = ReadFile(home / "tagged.mp3");
        EXPECT_EQ(bytes.substr(bytes.size() - ToneMp3().size()), ToneMp3());
        return bytes.substr(0, bytes.size() - ToneMp3().size());
    }
    void TypeAtEnd(QLineEdit* field, const QString& text) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_End);
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClicks(field, QString(c));
            } else {  // as a keyboard layout or input method delivers it
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
                QApplication::sendEvent(field, &press);
            }
        }
    }
};

TEST_F(Mp3PanelSaveTest, UntouchedFieldsKeepTheirFrames) {
    // Shown decoded and whole: UTF-16, a date longer than the four characters one may type, a
    // comment with its own line break.
    EXPECT_EQ(Panel().MP_Title2->text(), "Lame");
    EXPECT_EQ(Panel().MP_Year2->text(), "2016-05-01");
    EXPECT_EQ(Panel().M_Comment->toPlainText(), "Line one\nLine two");
    TypeAtEnd(Panel().MP_Title2, " 2");
    EXPECT_TRUE(Panel().Ck_V2->isChecked());
    startup->Main()->B_SaveClick();
    EXPECT_TRUE(questions.records.empty());
    // A title that fits single bytes is written in them; the rest stays byte for byte.
    EXPECT_EQ(Tag(), test::Id3v2Tag(test::TextFrame("TIT2", "Lame 2") + kDate + kGermanComment +
                                    kPicture));

    // An edited comment keeps its language; a title beyond single bytes goes in UTF-16.
    Click("tagged.mp3");
    Panel().M_Comment->setFocus();
    QTest::keyClick(Panel().M_Comment, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(Panel().M_Comment, "!");
    TypeAtEnd(Panel().MP_Title2, QString::fromUtf8(" \xE2\x98\x83"));
    startup->Main()->B_SaveClick();
    EXPECT_EQ(
        Tag(),
        test::Id3v2Tag(test::Id3v2Frame("TIT2", "\x01" + test::Utf16("Lame 2 ") + "\x03\x26"s) +
                       kDate + test::TextFrame("COMM", "deu\0Line one\r\nLine two!"s) + kPicture));
}

TEST_F(Mp3PanelSaveTest, TheYearLimitsOnlyWhatIsTyped) {
    QLineEdit* year = Panel().MP_Year2;
    TypeAtEnd(year, "9");
    EXPECT_EQ(year->text(), "2016-05-01");  // no longer than it was
    QTest::keyClick(year, Qt::Key_Backspace);
    QTest::keyClicks(year, "23");
    EXPECT_EQ(year->text(), "2016-05-02");
    year->selectAll();
    QTest::keyClicks(year, "1998-07-31 and more");
    EXPECT_EQ(year->text(), "1998-07-31");
    year->setText("");
    QTest::keyClicks(year, "199876");
    EXPECT_EQ(year->text(), "1998");
    year->setText("2001-02-03");  // the program's own texts are not cut
    EXPECT_EQ(year->text(), "2001-02-03");
}

TEST_F(Mp3PanelSaveTest, AFailedSaveKeepsTheEditPending) {
    TMain& main = *startup->Main();
    TypeAtEnd(Panel().MP_Title2, "x");
    const std::string saved = ReadFile(home / "tagged.mp3");
    std::filesystem::remove(home / "tagged.mp3");
    main.B_SaveClick();
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].text, "Can not save V2 tag to the file: " + home / "tagged.mp3");
    EXPECT_TRUE(main.State().DescriptionEdited);
    EXPECT_TRUE(main.b_save->isEnabled());
    // A field changed for a failed save and then set back to what it showed is left as the
    // tag has it; once the file is back, the rest of the edit is saved.
    Panel().MP_Year2->setText("1999");
    main.B_SaveClick();
    ASSERT_EQ(questions.records.size(), 2u);
    Panel().MP_Year2->setText("2016-05-01");
    WriteFile(home / "tagged.mp3", saved);
    main.B_SaveClick();
    EXPECT_FALSE(main.State().DescriptionEdited);
    EXPECT_EQ(Tag(),
              test::Id3v2Tag(test::TextFrame("TIT2", "Lamex") + kDate + kGermanComment + kPicture));
}

TEST_F(Mp3PanelTest, Version22FramesAreDroppedOnlyAfterAYes) {
    const std::string tag22 = test::Id3v2TagOf(
        2, test::Id3v22Frame("TT2", "\0Old"s) + test::Id3v22Frame("CRM", "owner\0data"s));
    WriteFile(home / "old.mp3", tag22 + ToneMp3());
    TMain& main = Start();
    Click("old.mp3");
    EXPECT_EQ(Panel().MP_Title2->text(), "Old");
    Panel().Ck_V1->setChecked(false);
    Panel().setCurrentIndex(1);
    Panel().MP_Title2->selectAll();
    Type(Panel().MP_Title2, "New");
    questions.yesNo = {false};
    main.B_SaveClick();
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].kind, "yesno");
    EXPECT_EQ(questions.records[0].title, "Confirm");
    EXPECT_EQ(questions.records[0].text,
              "The ID3v2.2 tag of old.mp3 holds frames that an ID3v2.3 tag cannot carry: CRM.\n"
              "Save the tag without them?");
    EXPECT_EQ(ReadFile(home / "old.mp3"), tag22 + ToneMp3());
    EXPECT_TRUE(main.State().DescriptionEdited);  // no, so nothing saved and nothing lost
    questions.yesNo = {true};
    main.B_SaveClick();
    EXPECT_EQ(questions.records.size(), 2u);
    EXPECT_EQ(ReadFile(home / "old.mp3"),
              test::Id3v2Tag(test::TextFrame("TIT2", "New")) + ToneMp3());
    EXPECT_FALSE(main.State().DescriptionEdited);
}

TEST_F(Mp3PanelTest, RowsKeepTheirHeightIn640By480) {
    WriteFile(home / "a.mp3", ToneMp3());
    TMain& main = Start();
    main.show();
    Click("a.mp3");
    QApplication::processEvents();
    // The window fits the screen's size, the panel scrolling what does not fit.
    EXPECT_LE(main.minimumSizeHint().width(), 640);
    EXPECT_LE(main.minimumSizeHint().height(), 480);
    main.resize(640, 480);
    QApplication::processEvents();
    EXPECT_EQ(main.size(), QSize(640, 480));
    for (QWidget* row : std::initializer_list<QWidget*>{
             Panel().MP_artist, Panel().MP_title, Panel().MP_album, Panel().MP_year,
             Panel().CB_Genre, Panel().MP_comment, Panel().LFileSize, Panel().LEncoder})
        EXPECT_GE(row->height(), row->sizeHint().height()) << row->metaObject()->className();
    // Nothing is cut at the side: the file pane gives way.
    for (QWidget* wide :
         std::initializer_list<QWidget*>{Panel().Ck_V1, Panel().LEncoder, Panel().LMPEGType})
        EXPECT_GE(wide->width(), wide->sizeHint().width()) << wide->metaObject()->className();
    EXPECT_LE(Panel().mapTo(&main, QPoint(Panel().width(), 0)).x(), 640);
    Panel().LEncoder->setText("LAME 3.100 with a long name");
    QTest::qWait(20);  // laid out again
    EXPECT_GE(Panel().LEncoder->width(), Panel().LEncoder->sizeHint().width());
    // Play and Stop lie in a small lowered panel.
    EXPECT_EQ(main.MPanel->frameShape(), QFrame::Panel);
    EXPECT_EQ(main.MPanel->frameShadow(), QFrame::Sunken);
}

}  // namespace
}  // namespace tavrin
