// The description tools of scene and BBS archivists in the program: SAUCE records kept out of
// the editor and written back, and the guide of the 45-column, 10-line convention.
#include <QAction>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>

#include "shell/DescriptionEditor.h"
#include "tests/app/AppFixture.h"

namespace tavrin {
namespace {

using test::MakeZipWithPython;
using test::UnzipEntry;

class DescriptionToolsTest : public test::AppFixture {
  protected:
    void TypeAtEnd(const QString& text) {
        DescriptionEditor* edit = startup->Main()->DIZEdit;
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
    }
};

TEST_F(DescriptionToolsTest, SauceRecordStaysOutOfTheEditorAndIsSavedBackAsItWas) {
    const std::string text = "\xC9\xCD\xBB Release\r\n\xC8\xCD\xBC";
    const std::string tail = "\x1A" + test::SauceCommentBlock({"greets"}) +
                             test::SauceRecordBytes("Release", "Ann \x8Er", "ACiD", "19960517", 1);
    MakeZipWithPython(home / "art.zip", {{"FILE_ID.DIZ", text + tail}, {"keep.bin", "K"}});
    MakeZipWithPython(home / "plain.zip", {{"file_id.diz", "plain\r\n"}});
    TMain& main = Start();

    Click("art.zip");
    EXPECT_EQ(main.DIZEdit->Bytes(), text);  // no junk at the end of the editor
    // The fields are code page 437 like the text: 0x8E is "Ä".
    EXPECT_EQ(main.Cornice->toolTip(),
              QString::fromUtf8("Title: Release\nAuthor: Ann Är\nGroup: ACiD\nDate: 05/17/1996"));

    // Saved twice: the edited text, then the record as it was, once.
    TypeAtEnd(" v2");
    main.b_save->click();
    EXPECT_EQ(UnzipEntry(home / "art.zip", "file_id.diz"), text + " v2" + tail);
    TypeAtEnd("!");
    main.b_save->click();
    EXPECT_EQ(UnzipEntry(home / "art.zip", "file_id.diz"), text + " v2!" + tail);
    EXPECT_EQ(UnzipEntry(home / "art.zip", "keep.bin"), "K");

    // Without a record: no tip, and the text is saved exactly as before.
    Click("plain.zip");
    EXPECT_EQ(main.Cornice->toolTip(), "");
    TypeAtEnd("more");
    main.b_save->click();
    EXPECT_EQ(UnzipEntry(home / "plain.zip", "file_id.diz"), "plain\r\nmore");

    // Shown again, the saved archive's record is recognised as before.
    Click("art.zip");
    EXPECT_EQ(main.DIZEdit->Bytes(), text + " v2!");
    EXPECT_FALSE(main.Cornice->toolTip().isEmpty());
}

// A record cut short is no record: it stays in the editor and is saved as the text it is.
TEST_F(DescriptionToolsTest, DamagedRecordIsShownAndSavedAsText) {
    const std::string damaged =
        "text\x1A" + test::SauceRecordBytes("Cut", "", "", "19960517", 0).substr(0, 100);
    MakeZipWithPython(home / "cut.zip", {{"file_id.diz", damaged}});
    TMain& main = Start();
    Click("cut.zip");
    EXPECT_EQ(main.DIZEdit->Bytes(), damaged);
    EXPECT_EQ(main.Cornice->toolTip(), "");
    main.B_SaveClick();
    EXPECT_EQ(UnzipEntry(home / "cut.zip", "file_id.diz"), damaged);
}

// The pixel colour of the editor's viewport at (x, y).
QRgb PixelAt(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

TEST_F(DescriptionToolsTest, GuideLinesFallAfterColumn45AndUnderLine10) {
    TMain& main = Start();
    main.resize(1000, 700);
    main.show();
    DescriptionEditor* edit = main.DIZEdit;
    EXPECT_FALSE(main.M_Guide->isChecked());  // off at start
    EXPECT_EQ(main.M_Guide->text(), "Description guide");
    EXPECT_EQ(main.StatusPanel1->text(), "");

    // Line 1 holds 45 characters, then twelve lines; the guide's column is where the 46th
    // character would start, its line where line 11 starts, as the editor lays them out.
    std::string text = std::string(45, '-');
    for (int i = 2; i <= 13; ++i) text += "\r\n" + std::to_string(i);
    main.ShowDescription(text);
    main.M_Guide->trigger();
    ASSERT_TRUE(edit->GuideShown());
    QApplication::processEvents();

    auto cursorAt = [edit](int block, int column) {
        QTextCursor c(edit->document()->findBlockByNumber(block));
        c.setPosition(c.position() + column);
        return c;
    };
    const int x = edit->GuideX(), y = edit->GuideY();
    EXPECT_EQ(x, edit->cursorRect(cursorAt(0, 45)).left());
    EXPECT_EQ(y, edit->cursorRect(cursorAt(10, 0)).top());
    const double advance = QFontMetricsF(edit->font()).horizontalAdvance('M');
    EXPECT_NEAR(x, edit->document()->documentMargin() + 45 * advance, 1.0)
        << "font " << edit->font().family().toStdString() << " " << edit->font().pixelSize()
        << " px";

    // Drawn there, one pixel wide, faint: neither the paper nor the text's navy.
    QImage shot = edit->viewport()->grab().toImage();
    const QRgb paper = PixelAt(shot, x + 30, y + 30);
    const QRgb guide = PixelAt(shot, x, y + 30);
    EXPECT_NE(guide, paper);
    EXPECT_NE(guide, QColor(0, 0, 128).rgb() & 0xFFFFFF);
    EXPECT_EQ(PixelAt(shot, x - 1, y + 30), paper);
    EXPECT_EQ(PixelAt(shot, x + 1, y + 30), paper);
    EXPECT_EQ(PixelAt(shot, x + 30, y), guide);
    EXPECT_EQ(PixelAt(shot, x + 30, y - 1), paper);
    EXPECT_EQ(PixelAt(shot, x + 30, y + 1), paper);

    // The cursor's line and column, from 1, while the guide is on.
    edit->setTextCursor(cursorAt(2, 1));
    EXPECT_EQ(main.StatusPanel1->text(), "3:2");
    edit->setTextCursor(cursorAt(0, 45));
    EXPECT_EQ(main.StatusPanel1->text(), "1:46");

    // The guide follows the scroll position and another font of the editor.
    edit->horizontalScrollBar()->setValue(edit->horizontalScrollBar()->maximum());
    const int scrolled = edit->horizontalScrollBar()->value();
    if (scrolled > 0) {
        EXPECT_EQ(edit->GuideX(), x - scrolled);
        edit->horizontalScrollBar()->setValue(0);
    }
    FontChoice bigger;
    bigger.family = "DejaVu Sans Mono";
    bigger.pointSize = 14;
    bigger.rgb = 0x000080;
    main.SetEditorFont(bigger);
    EXPECT_EQ(edit->GuideX(), edit->cursorRect(cursorAt(0, 45)).left());
    EXPECT_EQ(edit->GuideY(), edit->cursorRect(cursorAt(10, 0)).top());
    EXPECT_GT(edit->GuideX(), x);

    // A text shorter than ten lines: the line lies where line 11 would start.
    main.ShowDescription("one\r\ntwo");
    const double lineHeight =
        edit->cursorRect(cursorAt(1, 0)).top() - edit->cursorRect(cursorAt(0, 0)).top();
    EXPECT_NEAR(edit->GuideY(), edit->cursorRect(cursorAt(0, 0)).top() + 10 * lineHeight, 1.0);

    // Off again: nothing drawn, the panel empty; the choice is not stored.
    main.M_Guide->trigger();
    EXPECT_FALSE(edit->GuideShown());
    EXPECT_EQ(main.StatusPanel1->text(), "");
    QImage plain = edit->viewport()->grab().toImage();
    EXPECT_EQ(PixelAt(plain, edit->GuideX(), edit->GuideY() + 30),
              PixelAt(plain, edit->GuideX() + 30, edit->GuideY() + 30));
    EXPECT_EQ(test::ReadFile(programDir / "tavrin.ini").find("uide"), std::string::npos);
}

}  // namespace
}  // namespace tavrin
