#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <random>

#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/RtfReader.h"
#include "viewer/ViewLogic.h"

namespace tavrin::viewer {
namespace {

std::u16string Text(std::string_view rtf) {
    return ParseRtf(rtf).PlainText();
}

// The runs of a paragraph as (text, format).
const std::vector<RtfRun>& Runs(const RtfDocument& doc, std::size_t paragraph) {
    static const std::vector<RtfRun> none;
    return paragraph < doc.paragraphs.size() ? doc.paragraphs[paragraph].runs : none;
}

TEST(RtfReaderTest, EscapedAndUnicodeCharacters) {
    EXPECT_EQ(Text("{\\rtf1\\ansi caf\\'e9}"), u"caf\u00E9");
    EXPECT_EQ(Text("{\\rtf1\\ansi caf\\u233?}"), u"caf\u00E9");
    // The stand-in after \u is skipped, whether a byte, an escape or a symbol.
    EXPECT_EQ(Text("{\\rtf1 \\u233\\'e9x}"), u"\u00E9x");
    EXPECT_EQ(Text("{\\rtf1 \\uc2\\u8364\\'80\\'80!}"), u"\u20AC!");
    EXPECT_EQ(Text("{\\rtf1 \\uc0\\u8364 x}"), u"\u20ACx");
    // Negative values are the UTF-16 units above 32767; pairs make one character.
    EXPECT_EQ(Text("{\\rtf1 \\u-10179?\\u-8704?}"), u"\U0001F600");
    EXPECT_EQ(Text("{\\rtf1 a\\\\b\\{c\\}d}"), u"a\\b{c}d");
    EXPECT_EQ(Text("{\\rtf1 \\'80 \\emdash\\bullet\\~\\lquote\\rdblquote}"),
              u"\u20AC \u2014\u2022\u00A0\u2018\u201D");
}

TEST(RtfReaderTest, HiddenTextAndBareUnicodeAreNotShown) {
    EXPECT_EQ(Text("{\\rtf1 shown{\\v hidden}after\\v secret\\v0  end}"), u"shownafter end");
    // A hidden paragraph mark joins its paragraph to the next one.
    RtfDocument joined = ParseRtf("{\\rtf1 one{\\v x\\par}two\\par three}");
    EXPECT_EQ(joined.PlainText(), u"onetwo\nthree");
    EXPECT_EQ(Text("{\\rtf1 {\\v\\'e9\\u233?\\tab\\emdash}x\\plain y}"), u"xy");
    // \u without a number is no character and leaves the next one alone.
    EXPECT_EQ(Text("{\\rtf1 a\\u b\\u?c}"), u"ab?c");
}

TEST(RtfReaderTest, TheSkipCountBelongsToTheGroup) {
    // \uc2 inside the group; after it the default of one stand-in is back.
    EXPECT_EQ(Text("{\\rtf1 {\\uc2\\u233??}\\u233?x}"), u"\u00E9\u00E9x");
    // A closing brace ends the skipping.
    EXPECT_EQ(Text("{\\rtf1 {\\uc3\\u233?}y}"), u"\u00E9y");
}

TEST(RtfReaderTest, CodePagesOfTheDocumentAndOfFonts) {
    EXPECT_EQ(Text("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0}"), u"\u041F\u0440");
    // A font's character set overrides the document's code page while it is used.
    const char* rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial Cyr;}}"
        "\\f1\\'cf\\f0\\'e9}";
    EXPECT_EQ(Text(rtf), u"\u041F\u00E9");
}

TEST(RtfReaderTest, ParagraphsLinesAndTabs) {
    RtfDocument doc = ParseRtf("{\\rtf1 one\\par two\\line half\\tab end\\par\r\nthree\n\\par}");
    ASSERT_EQ(doc.paragraphs.size(), 3u);
    EXPECT_EQ(doc.PlainText(), u"one\ntwo\u2028half\tend\nthree");
    // Text breaks in the file are no text; a break after a backslash is a paragraph.
    EXPECT_EQ(Text("{\\rtf1 a\r\nb\\\nc}"), u"ab\nc");
}

TEST(RtfReaderTest, FontAndColourTables) {
    RtfDocument doc = ParseRtf(
        "{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}"
        "{\\f1\\fswiss{\\*\\panose 020b0604020202020204}Arial;}\\f2\\fnil Courier;}"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}x}");
    ASSERT_EQ(doc.fonts.size(), 3u);
    EXPECT_EQ(doc.FindFont(0)->name, u"Times New Roman");
    EXPECT_EQ(doc.FindFont(1)->name, u"Arial");
    EXPECT_EQ(doc.FindFont(2)->name, u"Courier");
    EXPECT_EQ(doc.defaultFont, 1);
    ASSERT_EQ(doc.colors.size(), 3u);
    EXPECT_TRUE(doc.colors[0].automatic);
    EXPECT_EQ(doc.colors[1], (RtfColor{255, 0, 0, false}));
    EXPECT_EQ(doc.colors[2], (RtfColor{0, 128, 0, false}));
    EXPECT_EQ(doc.PlainText(), u"x");
    // Without \deff, text before any \f is in font 0.
    RtfDocument plain = ParseRtf("{\\rtf1{\\fonttbl{\\f0 Courier;}{\\f1 Arial;}}x}");
    EXPECT_EQ(Runs(plain, 0).at(0).format.font, 0);
}

TEST(RtfReaderTest, CharacterFormattingSwitchesOnAndOff) {
    RtfDocument doc = ParseRtf(
        "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}"
        "a\\b b\\b0 c\\i\\ul d\\ul0 e\\ulnone\\i0\\fs40\\cf1 f\\plain g\\strike h\\strike0}");
    const auto& runs = Runs(doc, 0);
    ASSERT_EQ(runs.size(), 8u);
    EXPECT_EQ(runs[0].text, u"a");
    EXPECT_FALSE(runs[0].format.bold);
    EXPECT_EQ(runs[1].text, u"b");
    EXPECT_TRUE(runs[1].format.bold);
    EXPECT_FALSE(runs[2].format.bold);
    EXPECT_TRUE(runs[3].format.italic);
    EXPECT_TRUE(runs[3].format.underline);
    EXPECT_EQ(runs[4].text, u"e");
    EXPECT_FALSE(runs[4].format.underline);
    EXPECT_TRUE(runs[4].format.italic);
    EXPECT_EQ(runs[5].text, u"f");
    EXPECT_EQ(runs[5].format.halfPoints, 40);
    EXPECT_EQ(runs[5].format.foreground, 1);
    EXPECT_FALSE(runs[5].format.italic);
    EXPECT_EQ(runs[6].text, u"g");
    EXPECT_EQ(runs[6].format, RtfCharFormat{.font = 0});
    EXPECT_TRUE(runs[7].format.strike);
}

TEST(RtfReaderTest, GroupsRestoreTheFormatting) {
    RtfDocument doc = ParseRtf("{\\rtf1 a{\\b b{\\i c\\fs10}d\\b0 e}f{{{\\ul g}}}h\\qc}");
    const auto& runs = Runs(doc, 0);
    ASSERT_EQ(runs.size(), 7u);
    EXPECT_EQ(runs[1].text, u"b");
    EXPECT_TRUE(runs[1].format.bold);
    EXPECT_TRUE(runs[2].format.bold);
    EXPECT_TRUE(runs[2].format.italic);
    EXPECT_EQ(runs[3].text, u"d");  // italics and the size end with their group
    EXPECT_TRUE(runs[3].format.bold);
    EXPECT_FALSE(runs[3].format.italic);
    EXPECT_EQ(runs[3].format.halfPoints, 24);
    // \b0 ends bold inside the group; after it the outer state is plain as well, so the
    // two pieces make one run.
    EXPECT_EQ(runs[4].text, u"ef");
    EXPECT_FALSE(runs[4].format.bold);
    EXPECT_EQ(runs[5].text, u"g");
    EXPECT_TRUE(runs[5].format.underline);
    EXPECT_EQ(runs[6].text, u"h");
    EXPECT_FALSE(runs[6].format.underline);
    EXPECT_EQ(doc.paragraphs[0].format.align, RtfParFormat::Align::Center);
}

TEST(RtfReaderTest, ParagraphFormattingAndPard) {
    RtfDocument doc =
        ParseRtf("{\\rtf1\\qr\\li720\\fi-360\\sb120 right\\par\\pard left\\par{\\qc mid\\par}x}");
    ASSERT_EQ(doc.paragraphs.size(), 4u);
    EXPECT_EQ(doc.paragraphs[0].format.align, RtfParFormat::Align::Right);
    EXPECT_EQ(doc.paragraphs[0].format.leftIndent, 720);
    EXPECT_EQ(doc.paragraphs[0].format.firstIndent, -360);
    EXPECT_EQ(doc.paragraphs[0].format.spaceBefore, 120);
    EXPECT_EQ(doc.paragraphs[1].format, RtfParFormat{});
    EXPECT_EQ(doc.paragraphs[2].format.align, RtfParFormat::Align::Center);
    EXPECT_EQ(doc.paragraphs[3].format.align, RtfParFormat::Align::Left);
}

TEST(RtfReaderTest, DestinationsWithoutBodyTextAreSkipped) {
    const char* rtf =
        "{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s0 Normal;}}"
        "{\\header head}{\\footer foot}{\\*\\generator gen;}{\\*\\unknownthing x{y}z}"
        "{\\*\\nonshppict{\\pict\\pngblip 89504e47}}{\\field{\\*\\fldinst HYPERLINK "
        "\"u\"}{\\fldrslt link}}"
        "body\\unknownword more{\\*\\bkmkstart b}}";
    EXPECT_EQ(Text(rtf), u"linkbodymore");
    EXPECT_EQ(Text("{\\rtf1 {\\*\\fldrslt shown} {\\pntext 1.\\tab}item}"), u"shown 1.\titem");
}

TEST(RtfReaderTest, BinaryDataIsNotText) {
    std::string rtf = "{\\rtf1 a{\\*\\blipuid \\bin4 {}}x}b\\bin3 }}}c}";
    EXPECT_EQ(Text(rtf), u"abc");
    // A length beyond the end only ends the document.
    EXPECT_EQ(Text("{\\rtf1 a\\bin999999 xyz}"), u"a");
}

TEST(RtfReaderTest, EverythingAfterTheDocumentIsIgnored) {
    EXPECT_EQ(Text("junk{\\rtf1 a}b{c}"), u"a");
    EXPECT_EQ(Text("{\\rtf1 a"), u"a");  // unfinished
    EXPECT_EQ(Text(""), u"");
}

TEST(RtfReaderTest, DeepNestingKeepsTheOuterState) {
    std::string rtf = "{\\rtf1\\b a";
    for (int i = 0; i < 5000; ++i) rtf += "{\\b0 ";
    rtf += "x";
    for (int i = 0; i < 5000; ++i) rtf += "}";
    rtf += "b}";
    RtfDocument doc = ParseRtf(rtf);
    const auto& runs = Runs(doc, 0);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].text, u"x");
    EXPECT_FALSE(runs[1].format.bold);
    EXPECT_EQ(runs[2].text, u"b");
    EXPECT_TRUE(runs[2].format.bold);
}

TEST(RtfReaderTest, GarbageNeverBreaksTheReader) {
    std::mt19937 random(7);
    const std::string alphabet = "{}\\'*uc0123456789abfsx-; \r\n\x80\xff";
    for (int round = 0; round < 300; ++round) {
        std::string rtf = "{\\rtf1 ";
        int n = int(random() % 400);
        for (int i = 0; i < n; ++i) rtf += alphabet[random() % alphabet.size()];
        RtfDocument doc = ParseRtf(rtf);
        EXPECT_FALSE(doc.paragraphs.empty());
    }
    // Numbers too large for any integer saturate.
    RtfDocument doc = ParseRtf("{\\rtf1\\fs99999999999999999999 a\\u99999999999?b}");
    EXPECT_EQ(doc.PlainText(), u"ab");
    EXPECT_EQ(Runs(doc, 0)[0].format.halfPoints, 3276);
}

class RtfTextDocumentTest : public test::ViewerTest {};

TEST_F(RtfTextDocumentTest, RunsKeepTheirFormatting) {
    RtfDocument rtf = ParseRtf(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
        "plain {\\b bold} {\\cf1\\fs36 red18} {\\f1\\i\\highlight2 mono}\\par\\qc centre}");
    QTextDocument doc;
    FillTextDocument(rtf, &doc);
    EXPECT_EQ(doc.toPlainText(), "plain bold red18 mono\ncentre");
    ASSERT_EQ(doc.blockCount(), 2);

    std::map<QString, QTextCharFormat> formats;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            formats[it.fragment().text()] = it.fragment().charFormat();
    ASSERT_TRUE(formats.count("bold"));
    EXPECT_EQ(formats["bold"].fontWeight(), QFont::Bold);
    EXPECT_EQ(formats["plain "].fontWeight(), QFont::Normal);
    EXPECT_EQ(formats["plain "].fontPointSize(), 12.0);
    ASSERT_TRUE(formats.count("red18"));
    EXPECT_EQ(formats["red18"].foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formats["red18"].fontPointSize(), 18.0);
    ASSERT_TRUE(formats.count("mono"));
    EXPECT_TRUE(formats["mono"].fontItalic());
    EXPECT_EQ(formats["mono"].fontFamilies().toStringList(), QStringList{"Courier New"});
    EXPECT_EQ(formats["mono"].background().color(), QColor(0, 0, 255));
    EXPECT_EQ(formats["plain "].fontFamilies().toStringList(), QStringList{"Arial"});
    EXPECT_FALSE(formats["plain "].hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(doc.lastBlock().blockFormat().alignment(), Qt::AlignHCenter);
}

// The picture data of a file as the hexadecimal digits of a \pict group.
std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i && i % 64 == 0) out += "\r\n";
        out += digits[static_cast<unsigned char>(bytes[i]) >> 4];
        out += digits[static_cast<unsigned char>(bytes[i]) & 15];
    }
    return out;
}

// The pictures of a document in order: the images the text document holds.
std::vector<QImage> Pictures(const QTextDocument& doc) {
    std::vector<QImage> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (!f.isImageFormat()) continue;
            const QTextImageFormat image = f.toImageFormat();
            QImage picture =
                doc.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
            EXPECT_EQ(QSizeF(picture.size()), QSizeF(image.width(), image.height()));
            out.push_back(picture);
        }
    return out;
}

TEST_F(RtfTextDocumentTest, PicturesOfEveryFormShow) {
    tavrin::test::TempDir dir;
    test::Convert("-size 8x6 xc:red " + test::Quote(dir / "red.png"));
    test::Convert("-size 30x20 xc:lime -quality 95 " + test::Quote(dir / "green.jpg"));
    const std::string png = tavrin::test::ReadFile(dir / "red.png");
    const std::string jpeg = tavrin::test::ReadFile(dir / "green.jpg");
    // A packed bitmap: the bitmap file without its 14-byte file header.
    const std::string dib = test::Bitmap24(5, 4, [](int, int y) {
                                return y < 2 ? qRgb(0, 0, 255) : qRgb(255, 255, 0);
                            }).substr(14);
    // A Windows metafile of 200 x 100 units filled blue, said to be 2 x 1 cm.
    test::Wmf wmf;
    wmf.Record(0x0103, {8}).Record(0x020B, {0, 0}).Record(0x020C, {100, 200});
    wmf.Brush(0, 0xFF0000).Select(0).Record(0x041B, {101, 201, -1, -1});
    const std::string metafile = wmf.Build(0, 0, 200, 100, 1440, false);
    const std::string rtf =
        "{\\rtf1\\ansi png {\\pict\\pngblip\\picw8\\pich6 " + Hex(png) +
        "}\\par jpeg at 40 x 20: {\\pict\\jpegblip\\picwgoal600\\pichgoal300 " + Hex(jpeg) +
        "}\\par dib twice as large {\\pict\\dibitmap0\\picscalex200\\picscaley200 " + Hex(dib) +
        "}\\par wmf {\\pict\\wmetafile8\\picw2000\\pich1000 " + Hex(metafile) +
        "}\\par emf {\\*\\shppict{\\pict{\\*\\blipuid 0123456789abcdef}\\emfblip " +
        Hex(test::RedRectangleEmf()) + "}}{\\nonshppict{\\pict\\wmetafile8 " + Hex(metafile) +
        "}}\\par binary {\\pict\\pngblip\\bin" + std::to_string(png.size()) + " " + png + "} end}";
    RtfDocument parsed = ParseRtf(rtf);
    ASSERT_EQ(parsed.paragraphs.size(), 6u);
    ASSERT_TRUE(Runs(parsed, 0).at(1).picture);
    EXPECT_EQ(Runs(parsed, 0)[1].picture->kind, RtfPicture::Kind::Png);
    EXPECT_EQ(Runs(parsed, 0)[1].picture->data, png);
    EXPECT_EQ(Runs(parsed, 5).at(1).picture->data, png);  // \bin: the bytes as they are
    EXPECT_EQ(parsed.PlainText(),
              u"png \uFFFC\njpeg at 40 x 20: \uFFFC\ndib twice as large \uFFFC\nwmf \uFFFC\n"
              u"emf \uFFFC\nbinary \uFFFC end");

    QTextDocument doc;
    FillTextDocument(parsed, &doc);
    const std::vector<QImage> pictures = Pictures(doc);
    ASSERT_EQ(pictures.size(), 6u);
    EXPECT_EQ(pictures[0].size(), QSize(8, 6));
    EXPECT_EQ(test::Pixel(pictures[0], 4, 3), QColor(255, 0, 0));
    EXPECT_EQ(pictures[1].size(), QSize(40, 20));
    EXPECT_LT(std::abs(test::Pixel(pictures[1], 20, 10).green() - 255), 8);
    EXPECT_LT(test::Pixel(pictures[1], 20, 10).red(), 8);
    EXPECT_EQ(pictures[2].size(), QSize(10, 8));
    EXPECT_EQ(test::Pixel(pictures[2], 5, 1), QColor(0, 0, 255));
    EXPECT_EQ(test::Pixel(pictures[2], 5, 6), QColor(255, 255, 0));
    EXPECT_EQ(pictures[3].size(), QSize(76, 38));  // 2 x 1 cm at 96 to the inch
    EXPECT_EQ(test::Pixel(pictures[3], 38, 19), QColor(0, 0, 255));
    EXPECT_EQ(pictures[4].size(), QSize(96, 48));
    EXPECT_EQ(test::Pixel(pictures[4], 30, 25), QColor(255, 0, 0));
    EXPECT_EQ(test::Pixel(pictures[5], 1, 1), QColor(255, 0, 0));
}

TEST_F(RtfTextDocumentTest, PicturesThatCannotBeShownAreLeftOut) {
    const std::string rtf =
        "{\\rtf1 a{\\pict\\pngblip 89504e470d0a1a0a0000}b{\\pict\\wbitmap0 0000}c"
        "{\\pict\\jpegblip ffd8ffe0}d{\\pict\\emfblip 01000000}e{\\pict\\dibitmap0 28000000}f"
        "{\\v{\\pict\\pngblip 00}}g{\\pict\\pngblip 8";  // the last one cut short
    QTextDocument doc;
    FillTextDocument(ParseRtf(rtf), &doc);
    EXPECT_TRUE(Pictures(doc).empty());
    EXPECT_EQ(doc.toPlainText(), "abcdefg");
}

TEST_F(RtfTextDocumentTest, VeryLongParagraphsGoOnInBlocksOfTheirFormat) {
    // 10,000 UTF-16 units in two runs, a surrogate pair across the first block's end.
    std::string rtf = "{\\rtf1\\ansi\\qc " + std::string(kMaxShownLineLength - 1, 'a') +
                      "\\u-10179?\\u-8704?{\\b " +
                      std::string(10000 - kMaxShownLineLength - 1, 'b') + "}\\par short}";
    QTextDocument doc;
    FillTextDocument(ParseRtf(rtf), &doc);
    ASSERT_EQ(doc.blockCount(), 4);
    QString joined;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        EXPECT_LE(std::size_t(b.length() - 1), kMaxShownLineLength);
        EXPECT_EQ(b.blockFormat().alignment(), Qt::AlignHCenter);
        if (b != doc.lastBlock()) joined += b.text();
    }
    EXPECT_EQ(doc.begin().text().size(), qsizetype(kMaxShownLineLength - 1));
    EXPECT_TRUE(doc.begin().next().text().startsWith(QString::fromUtf16(u"\U0001F600b")));
    EXPECT_EQ(joined.size(), 10000);
    EXPECT_EQ(joined.count('b'), 10000 - int(kMaxShownLineLength) - 1);
    EXPECT_EQ(doc.lastBlock().text(), "short");
}

}  // namespace
}  // namespace tavrin::viewer
