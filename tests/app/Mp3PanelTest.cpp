#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
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

namespace tavrin {
namespace {

using test::ReadFile;
using test::RunCommand;
using test::WriteFile;

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

}  // namespace
}  // namespace tavrin
