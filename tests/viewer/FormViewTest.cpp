// The viewer window driven as the file-manager's View button drives it: a file is chosen by
// the focused pane, the window is shown.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <memory>

#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/FormView.h"

namespace tavrin::viewer {
namespace {

using tavrin::test::ReadFile;
using tavrin::test::TempDir;
using tavrin::test::WriteFile;
using test::Convert;
using test::Pixel;
using test::Quote;

class FormViewTest : public test::ViewerTest {
  protected:
    void SetUp() override {
        form = std::make_unique<TViewForm>();
        form->fileToShow = [this] { return focused; };
        form->showInformation = [this](const std::string& text) { messages.push_back(text); };
    }

    // The focused pane's selection is `file` (std::nullopt: neither pane has the focus) and
    // the window is shown; returns once a picture has finished decoding and a text has come
    // in whole.
    void Show(std::optional<std::string> file) {
        focused = std::move(file);
        form->FormShow();
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return !form->PictureLoading() && !form->TextLoading(); }, 60000));
    }

    // A bitmap whose left half is red and right half blue.
    std::string TwoColourBitmap(const std::string& name, int w, int h) {
        std::string path = dir / name;
        Convert("-size " + std::to_string(w / 2) + "x" + std::to_string(h) + " xc:red -size " +
                std::to_string(w - w / 2) + "x" + std::to_string(h) +
                " xc:blue +append BMP3:" + Quote(path));
        return path;
    }

    bool ShowsText() const { return !form->RE1->isHidden(); }
    QString Text() const { return form->RE1->toPlainText(); }
    QString Caption() const { return form->windowTitle(); }
    QSize ImageSize() const { return form->Imma->size(); }

    TempDir dir;
    std::unique_ptr<TViewForm> form;
    std::optional<std::string> focused;
    std::vector<std::string> messages;
};

TEST_F(FormViewTest, JpgInCapitalsIsShownAsPicture) {
    std::string path = dir / "PHOTO.JPG";
    Convert("-seed 3 -size 300x200 plasma:fractal -quality 90 " + Quote(path));
    Show(path);
    EXPECT_FALSE(ShowsText());
    EXPECT_FALSE(form->b_stretch->isHidden());
    EXPECT_EQ(Caption(), QString::fromStdString(path));
    EXPECT_EQ(form->Imma->PictureSize(), QSize(300, 200));
    EXPECT_EQ(ImageSize(), QSize(300, 200));
    EXPECT_EQ(form->Imma->pos(), QPoint(1, 1));
    EXPECT_EQ(test::DifferentPixels(form->Imma->Picture(), test::ReferenceDecode(path)), 0);
    EXPECT_EQ(form->ScrollH->maximum(), 0);
    EXPECT_EQ(form->ScrollV->maximum(), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(FormViewTest, TextFileIsShownAsTextWithTheStretchBoxHidden) {
    WriteFile(dir / "notes.txt", "h\xC3\xA9llo\nworld");
    WriteFile(dir / "old.TXT", "caf\xE9 \x80");
    Show(dir / "notes.txt");
    EXPECT_TRUE(ShowsText());
    EXPECT_TRUE(form->b_stretch->isHidden());
    EXPECT_EQ(Text(), QString::fromUtf8("h\xC3\xA9llo\nworld"));
    EXPECT_EQ(Caption(), QString::fromStdString(dir / "notes.txt"));
    Show(dir / "old.TXT");
    EXPECT_EQ(Text(), QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC"));  // Windows-1252
    EXPECT_TRUE(messages.empty());
}

TEST_F(FormViewTest, RtfFileIsShownFormatted) {
    WriteFile(dir / "letter.rtf",
              "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue255;}"
              "Dear {\\b reader}, {\\cf1\\fs32 blue} caf\\'e9\\par}");
    Show(dir / "letter.rtf");
    ASSERT_TRUE(ShowsText());
    EXPECT_EQ(Text(), QString::fromUtf8("Dear reader, blue caf\xC3\xA9"));
    bool sawBold = false, sawBlue = false;
    for (auto it = form->RE1->document()->begin().begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.text() == "reader") sawBold = f.charFormat().fontWeight() == QFont::Bold;
        if (f.text() == "blue")
            sawBlue = f.charFormat().foreground().color() == QColor(0, 0, 255) &&
                      f.charFormat().fontPointSize() == 16.0;
    }
    EXPECT_TRUE(sawBold);
    EXPECT_TRUE(sawBlue);
    // Rich text is told by content: a plain file named .rtf is plain text.
    WriteFile(dir / "plain.rtf", "{not rich}");
    Show(dir / "plain.rtf");
    EXPECT_EQ(Text(), "{not rich}");
}

TEST_F(FormViewTest, ScrollRangesAndScrolling) {
    Show(TwoColourBitmap("small.bmp", 100, 80));
    EXPECT_EQ(form->ScrollH->maximum(), 0);
    EXPECT_EQ(form->ScrollV->maximum(), 0);
    EXPECT_EQ(form->ScrollH->minimum(), 0);

    Show(TwoColourBitmap("wide.bmp", 1000, 500));
    EXPECT_EQ(ImageSize(), QSize(1000, 500));
    EXPECT_EQ(form->ScrollH->maximum(), 1000 - 481);
    EXPECT_EQ(form->ScrollV->maximum(), 500 - 407);
    EXPECT_EQ(form->ScrollV->pageStep(), 10);
    form->ScrollV->setValue(50);
    EXPECT_EQ(form->Imma->pos(), QPoint(1, -49));
    form->ScrollH->setValue(300);
    EXPECT_EQ(form->Imma->pos(), QPoint(-299, -49));
}

TEST_F(FormViewTest, StretchFitsThePictureAndSwitchingOffRestoresIt) {
    Show(TwoColourBitmap("wide.bmp", 1000, 500));
    form->ScrollV->setValue(40);
    form->ScrollH->setValue(200);
    form->b_stretch->setChecked(true);
    EXPECT_EQ(ImageSize(), QSize(464, 232));
    EXPECT_EQ(form->Imma->pos(), QPoint(1, 1));
    EXPECT_EQ(form->ScrollV->value(), 0);
    EXPECT_FALSE(form->ScrollV->isEnabled());
    EXPECT_FALSE(form->ScrollH->isEnabled());
    // The whole picture is drawn into the smaller size.
    QImage shown = form->Imma->grab().toImage();
    EXPECT_EQ(Pixel(shown, 100, 100), QColor(Qt::red));
    EXPECT_EQ(Pixel(shown, 400, 100), QColor(Qt::blue));

    form->b_stretch->setChecked(false);
    EXPECT_EQ(ImageSize(), QSize(1000, 500));
    EXPECT_TRUE(form->ScrollV->isEnabled());
    EXPECT_TRUE(form->ScrollH->isEnabled());
    EXPECT_EQ(form->ScrollH->maximum(), 519);  // the ranges of the last showing

    Show(TwoColourBitmap("tall.bmp", 500, 1000));
    form->b_stretch->setChecked(true);
    EXPECT_EQ(ImageSize(), QSize(194, 389));
}

TEST_F(FormViewTest, ShowingAgainSwitchesStretchingOff) {
    std::string path = TwoColourBitmap("wide.bmp", 1000, 500);
    Show(path);
    form->b_stretch->setChecked(true);
    Show(path);
    EXPECT_FALSE(form->b_stretch->isChecked());
    EXPECT_TRUE(form->ScrollV->isEnabled());
    EXPECT_EQ(ImageSize(), QSize(1000, 500));
}

TEST_F(FormViewTest, TextAfterPictureAndPictureAfterText) {
    std::string picture = TwoColourBitmap("p.bmp", 60, 40);
    WriteFile(dir / "t.txt", "some text");
    Show(picture);
    EXPECT_FALSE(ShowsText());
    Show(dir / "t.txt");
    EXPECT_TRUE(ShowsText());
    EXPECT_EQ(Text(), "some text");
    Show(picture);
    EXPECT_FALSE(ShowsText());
    EXPECT_FALSE(form->b_stretch->isHidden());
    EXPECT_EQ(ImageSize(), QSize(60, 40));
    EXPECT_EQ(Caption(), QString::fromStdString(picture));
}

TEST_F(FormViewTest, NothingFocusedKeepsThePreviousContent) {
    WriteFile(dir / "t.txt", "kept");
    Show(dir / "t.txt");
    Show(std::nullopt);
    EXPECT_TRUE(ShowsText());
    EXPECT_EQ(Text(), "kept");
    EXPECT_EQ(Caption(), QString::fromStdString(dir / "t.txt"));

    std::string picture = TwoColourBitmap("wide.bmp", 1000, 500);
    Show(picture);
    form->ScrollV->setValue(30);
    form->b_stretch->setChecked(true);
    Show(std::nullopt);
    EXPECT_FALSE(ShowsText());
    EXPECT_EQ(Caption(), QString::fromStdString(picture));
    // The showing's first steps still ran: no stretching, positions 0.
    EXPECT_FALSE(form->b_stretch->isChecked());
    EXPECT_EQ(ImageSize(), QSize(1000, 500));
    EXPECT_EQ(form->Imma->pos(), QPoint(1, 1));
}

TEST_F(FormViewTest, EmptySelectionOpensAnEmptyWindow) {
    Show(TwoColourBitmap("wide.bmp", 1000, 500));
    Show(std::string());
    EXPECT_EQ(Caption(), "View");
    EXPECT_FALSE(ShowsText());
    EXPECT_TRUE(form->Imma->Empty());
    EXPECT_EQ(ImageSize(), QSize(0, 0));
    EXPECT_TRUE(form->b_stretch->isHidden());
    EXPECT_EQ(form->ScrollH->maximum(), 0);
    EXPECT_EQ(form->ScrollV->maximum(), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(FormViewTest, DamagedPicturesFallBackToTheTextView) {
    std::string jpeg = dir / "broken.jpg", bitmap = dir / "broken.BMP", icon = dir / "broken.ico",
                metafile = dir / "broken.wmf";
    WriteFile(jpeg, "\xFF\xD8 not really a jpeg");
    WriteFile(bitmap, "BM not really a bitmap");
    WriteFile(icon, "not an icon");
    WriteFile(metafile, "not a metafile");
    for (const std::string& path : {jpeg, bitmap, icon, metafile}) {
        const std::string tail = ReadFile(path).substr(2);
        SCOPED_TRACE(path);
        Show(TwoColourBitmap("ok.bmp", 60, 40));
        Show(path);
        EXPECT_TRUE(ShowsText());
        EXPECT_TRUE(form->b_stretch->isHidden());
        EXPECT_TRUE(Text().endsWith(QString::fromStdString(tail))) << Text().toStdString();
        EXPECT_EQ(Caption(), QString::fromStdString(path));
        EXPECT_TRUE(form->Imma->Empty());
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(FormViewTest, JpegFailingWhileItDecodesFallsBackToTheTextView) {
    std::string path = dir / "late.jpg";
    Convert("-seed 5 -size 160x120 plasma:fractal -interlace JPEG " + Quote(path));
    std::string bytes = ReadFile(path);
    std::size_t first = bytes.find("\xFF\xDA");
    std::size_t second = bytes.find("\xFF\xDA", first + 2);
    ASSERT_NE(second, std::string::npos);
    bytes[second + 5] = char(99);
    WriteFile(path, bytes);
    Show(path);
    EXPECT_TRUE(ShowsText());
    EXPECT_TRUE(form->b_stretch->isHidden());
    EXPECT_TRUE(form->Imma->Empty());
    EXPECT_EQ(Caption(), QString::fromStdString(path));
}

TEST_F(FormViewTest, UnreadableFileGivesTheMessageAndAnEmptyWindow) {
    Show(TwoColourBitmap("ok.bmp", 60, 40));
    Show(dir / "missing.txt");
    ASSERT_EQ(messages, std::vector<std::string>{"Type not supported yet"});
    EXPECT_FALSE(ShowsText());
    EXPECT_TRUE(form->Imma->Empty());
    Show(dir / "missing.jpg");
    EXPECT_EQ(messages.size(), 2u);
    Show(dir.Path());  // a folder
    EXPECT_EQ(messages.size(), 3u);
    // Pipes are not opened: nothing waits for a writer that never comes.
    for (const char* name : {"pipe.jpg", "pipe.bmp", "pipe.wmf", "pipe.txt"}) {
        ASSERT_EQ(mkfifo((dir / name).c_str(), 0600), 0);
        Show(dir / name);
    }
    EXPECT_EQ(messages.size(), 7u);
}

TEST_F(FormViewTest, IconsAndMetafilesAreShownAsPictures) {
    std::string icon = dir / "app.ico";
    Convert("-size 32x32 xc:lime " + Quote(icon));
    Show(icon);
    EXPECT_FALSE(ShowsText());
    EXPECT_EQ(ImageSize(), QSize(32, 32));
    EXPECT_EQ(Pixel(form->Imma->Picture(), 16, 16), QColor(0, 255, 0));

    // An enhanced metafile: a red rectangle on a 96 x 48 frame.
    WriteFile(dir / "shape.EMF", test::RedRectangleEmf());
    Show(dir / "shape.EMF");
    EXPECT_FALSE(ShowsText());
    EXPECT_EQ(ImageSize(), QSize(96, 48));
    EXPECT_EQ(Pixel(form->Imma->Picture(), 30, 25), QColor(255, 0, 0));
}

// Measures the longest time the event loop went without answering a timer that asks every
// 10 ms, from its start to the end of the object's life.
class EventLoopWatch {
  public:
    EventLoopWatch() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longestMs_ = std::max(longestMs_, sinceTick_.elapsed());
            sinceTick_.restart();
        });
        sinceTick_.start();
        timer_.start();
    }
    // The longest gap so far, the one still open included.
    qint64 LongestGapMs() const { return std::max(longestMs_, sinceTick_.elapsed()); }

  private:
    QTimer timer_;
    QElapsedTimer sinceTick_;
    qint64 longestMs_ = 0;
};

// However long the text and its lines, the window keeps answering while it comes in; a
// window that lays out such a text at once does not answer for minutes. The bound is
// generous: the slices of work between two answers last some milliseconds.
constexpr qint64 kAnswersWithinMs = 1500;

TEST_F(FormViewTest, OneMegabyteLineShowsWhileTheWindowKeepsAnswering) {
    const std::string line(std::size_t(1) << 20, 'x');
    WriteFile(dir / "line.txt", line);
    form->show();
    EventLoopWatch watch;
    Show(dir / "line.txt");
    QApplication::processEvents();
    form->RE1->Plain->viewport()->repaint();  // the first screen laid out and drawn
    EXPECT_LT(watch.LongestGapMs(), kAnswersWithinMs);
    EXPECT_TRUE(ShowsText());
    // The line shows as lines of at most 4096 characters, and nothing of it is lost.
    QString text = Text();
    EXPECT_EQ(text.count('\n'), int(line.size() / kMaxShownLineLength) - 1);
    EXPECT_EQ(text.remove('\n'), QString::fromStdString(line));

    // The same line as rich text.
    WriteFile(dir / "line.rtf", "{\\rtf1\\ansi " + line + "}");
    Show(dir / "line.rtf");
    QApplication::processEvents();
    form->RE1->Rich->viewport()->repaint();
    EXPECT_LT(watch.LongestGapMs(), kAnswersWithinMs);
    EXPECT_EQ(Text().remove(QChar::ParagraphSeparator).remove('\n'), QString::fromStdString(line));
    form->hide();
}

TEST_F(FormViewTest, TwentyMegabyteTextShowsAtOnceAndComesInWhileTheWindowAnswers) {
    std::string bytes;
    for (int i = 0; bytes.size() < (std::size_t(20) << 20); ++i)
        bytes += "line " + std::to_string(i) + " of a long text, with some words on it\n";
    WriteFile(dir / "big.txt", bytes);
    form->show();
    EventLoopWatch watch;
    focused = dir / "big.txt";
    form->FormShow();
    // The first screen is there as soon as the window is shown; the rest follows.
    EXPECT_TRUE(Text().startsWith("line 0 of a long text, with some words on it\nline 1 of"));
    EXPECT_TRUE(form->TextLoading());
    EXPECT_LT(watch.LongestGapMs(), kAnswersWithinMs);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !form->TextLoading(); }, 60000));
    EXPECT_LT(watch.LongestGapMs(), kAnswersWithinMs);
    // The first 16 MB, then an empty line and the note that the file goes on.
    const QString text = Text();
    const QString note = QString("\n\n") + TViewForm::kTextCut;
    ASSERT_EQ(text.size(), qsizetype(TViewForm::kTextLimit) + note.size());
    EXPECT_TRUE(text.endsWith(note));
    EXPECT_TRUE(QString::fromStdString(bytes.substr(0, TViewForm::kTextLimit)) ==
                text.chopped(note.size()));
    form->hide();
}

TEST_F(FormViewTest, RichTextBeyondTheLimitSaysSoAtItsEnd) {
    std::string rtf = "{\\rtf1\\ansi ";
    while (rtf.size() <= TViewForm::kTextLimit) rtf += "a paragraph of the long document\\par\n";
    rtf += "}";
    WriteFile(dir / "long.rtf", rtf);
    EventLoopWatch watch;
    Show(dir / "long.rtf");
    EXPECT_LT(watch.LongestGapMs(), kAnswersWithinMs);
    EXPECT_TRUE(form->RE1->ShowsRich());
    const QString text = Text();
    EXPECT_TRUE(text.startsWith("a paragraph of the long document\na paragraph"));
    EXPECT_TRUE(text.endsWith(QString("\n") + TViewForm::kTextCut))
        << text.right(100).toStdString();
    // Within the limit, no note.
    WriteFile(dir / "short.txt", "short\n");
    Show(dir / "short.txt");
    EXPECT_EQ(Text(), "short\n");
}

TEST_F(FormViewTest, PlainTextAfterRichTextIsInTheWindowsOwnFont) {
    WriteFile(dir / "big.rtf",
              "{\\rtf1\\ansi{\\fonttbl{\\f0 Courier New;}}\\f0\\b\\i\\fs36 big bold words}");
    WriteFile(dir / "plain.txt", "plain words\nsecond line");
    Show(dir / "big.rtf");
    const QTextCharFormat rich = form->RE1->document()->begin().begin().fragment().charFormat();
    ASSERT_EQ(rich.fontWeight(), QFont::Bold);
    ASSERT_EQ(rich.fontPointSize(), 18.0);
    Show(dir / "plain.txt");
    EXPECT_FALSE(form->RE1->ShowsRich());
    EXPECT_EQ(Text(), "plain words\nsecond line");
    QTextDocument* document = form->RE1->document();
    EXPECT_EQ(document->defaultFont(), form->font());
    EXPECT_EQ(form->RE1->Plain->font(), form->font());
    int fragments = 0;
    for (QTextBlock b = document->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it, ++fragments) {
            const QTextCharFormat f = it.fragment().charFormat();
            EXPECT_FALSE(f.hasProperty(QTextFormat::FontWeight));
            EXPECT_FALSE(f.hasProperty(QTextFormat::FontPointSize));
            EXPECT_FALSE(f.hasProperty(QTextFormat::FontFamilies));
            EXPECT_FALSE(f.hasProperty(QTextFormat::FontItalic));
        }
    EXPECT_EQ(fragments, 2);
    // Typing position formats too: what the view would insert is plain.
    EXPECT_FALSE(form->RE1->Plain->currentCharFormat().hasProperty(QTextFormat::FontWeight));
}

TEST_F(FormViewTest, CloseWorksWhileATextComesInAndTheTextGoesOnNextTime) {
    std::string bytes;
    while (bytes.size() < (std::size_t(12) << 20))
        bytes += "a line of text, long enough that the file has not too many of them\n";
    WriteFile(dir / "big.txt", bytes);
    WriteFile(dir / "small.txt", "small");
    focused = dir / "big.txt";
    form->show();
    ASSERT_TRUE(form->TextLoading());
    QTest::mouseClick(form->LbButton1, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    // Closed, the window reads no more.
    const qsizetype shown = Text().size();
    QTest::qWait(100);
    EXPECT_EQ(Text().size(), shown);
    EXPECT_LT(shown, qsizetype(bytes.size()));
    // Opened with neither pane focused, it shows the same file and reads the rest.
    Show(std::nullopt);
    EXPECT_EQ(Text().size(), qsizetype(bytes.size()));
    // Another file replaces a text that is still coming in.
    focused = dir / "big.txt";
    form->FormShow();
    Show(dir / "small.txt");
    EXPECT_EQ(Text(), "small");
}

TEST_F(FormViewTest, BitmapCutShortShowsItsRowsAndTheWindowBackgroundForTheRest) {
    // 80 x 60 pixels, stored bottom row first; the file lacks its last 25 stored rows.
    auto colour = [](int x, int y) { return qRgb(x * 3, y * 4, 200); };
    const std::string bytes = test::Bitmap24(80, 60, colour);
    WriteFile(dir / "cut.bmp", bytes.substr(0, 54 + 35 * 240 + 17));
    Show(dir / "cut.bmp");
    EXPECT_FALSE(ShowsText());
    EXPECT_FALSE(form->b_stretch->isHidden());
    const QImage picture = form->Imma->Picture();
    ASSERT_EQ(picture.size(), QSize(80, 60));
    const QRgb background = form->PanImage->palette().color(QPalette::Window).rgb();
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            ASSERT_EQ(picture.pixel(x, y), y < 25 ? background : colour(x, y)) << x << "," << y;
    EXPECT_TRUE(messages.empty());
}

TEST_F(FormViewTest, BitmapBeyondThePlatformReadersLimitIsShownWhileTheWindowAnswers) {
    // 9000 x 8000 pixels take 288 MB as a picture, more than the platform's readers take
    // unless told otherwise. Rows alternate between black and white stripes.
    WriteFile(dir / "large.bmp",
              test::Bitmap1(9000, 8000, [](int y) { return y % 2 ? 0xF0 : 0x0F; }));
    form->show();
    EventLoopWatch watch;
    focused = dir / "large.bmp";
    form->FormShow();
    EXPECT_TRUE(form->PictureLoading());
    EXPECT_EQ(form->ScrollH->maximum(), 9000 - 481);
    EXPECT_EQ(form->ScrollV->maximum(), 8000 - 407);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !form->PictureLoading(); }, 60000));
    EXPECT_LT(watch.LongestGapMs(), kAnswersWithinMs);
    EXPECT_FALSE(ShowsText());
    const QImage picture = form->Imma->Picture();
    ASSERT_EQ(picture.size(), QSize(9000, 8000));
    EXPECT_EQ(Pixel(picture, 0, 0), QColor(Qt::black));
    EXPECT_EQ(Pixel(picture, 4, 0), QColor(Qt::white));
    EXPECT_EQ(Pixel(picture, 8999, 7999), QColor(Qt::black));
    EXPECT_EQ(Pixel(picture, 8995, 7999), QColor(Qt::white));
    EXPECT_EQ(Pixel(picture, 3, 7999), QColor(Qt::white));
    EXPECT_TRUE(messages.empty());
    form->hide();
}

TEST_F(FormViewTest, PictureTooLargeForMemoryGivesAMessageAndNoText) {
    // A valid header of 40000 x 40000 pixels (6.4 GB as a picture) and a few rows.
    std::string bytes = test::Bitmap24(4, 4, [](int, int) { return qRgb(1, 2, 3); });
    for (std::size_t at : {18, 22}) bytes.replace(at, 4, std::string("\x40\x9C\0\0", 4));
    WriteFile(dir / "huge.bmp", bytes);
    Show(TwoColourBitmap("ok.bmp", 60, 40));
    Show(dir / "huge.bmp");
    EXPECT_EQ(messages, std::vector<std::string>{"The picture is too large to show."});
    EXPECT_FALSE(ShowsText());
    EXPECT_TRUE(form->Imma->Empty());
    EXPECT_TRUE(form->b_stretch->isHidden());
    EXPECT_EQ(Caption(), QString::fromStdString(dir / "huge.bmp"));
    EXPECT_EQ(form->ScrollH->maximum(), 0);

    // A JPEG whose frame header says 60000 x 60000 pixels.
    Convert("-size 16x16 xc:red " + Quote(dir / "huge.jpg"));
    std::string jpeg = ReadFile(dir / "huge.jpg");
    const std::size_t frame = jpeg.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    jpeg.replace(frame + 5, 4, "\xEA\x60\xEA\x60");
    WriteFile(dir / "huge.jpg", jpeg);
    Show(dir / "huge.jpg");
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_FALSE(ShowsText());
    EXPECT_TRUE(form->Imma->Empty());
}

TEST_F(FormViewTest, WindowShowsTheFileWhenOpenedAndItsButtonClosesIt) {
    WriteFile(dir / "t.txt", "opened");
    focused = dir / "t.txt";
    form->show();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(Text(), "opened");
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    QTest::mouseClick(form->LbButton1, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Rejected);
}

}  // namespace
}  // namespace tavrin::viewer
