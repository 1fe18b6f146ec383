#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/TestSupport.h"
#include "viewer/PlainTextReader.h"
#include "viewer/ViewLogic.h"

namespace tavrin::viewer {
namespace {

TEST(PictureKindTest, ExtensionsAreComparedWithoutRegardToCase) {
    EXPECT_EQ(PictureKindOf("/home/u/photo.JPG"), PictureKind::Jpeg);
    EXPECT_EQ(PictureKindOf("/home/u/photo.jpeg"), PictureKind::Jpeg);
    EXPECT_EQ(PictureKindOf("/home/u/Photo.JpEg"), PictureKind::Jpeg);
    EXPECT_EQ(PictureKindOf("a.Bmp"), PictureKind::Bitmap);
    EXPECT_EQ(PictureKindOf("a.ICO"), PictureKind::Icon);
    EXPECT_EQ(PictureKindOf("a.wmf"), PictureKind::Metafile);
    EXPECT_EQ(PictureKindOf("a.EMF"), PictureKind::EnhancedMetafile);
}

TEST(PictureKindTest, OtherNamesAreText) {
    EXPECT_EQ(PictureKindOf("/home/u/readme.txt"), PictureKind::None);
    EXPECT_EQ(PictureKindOf("/home/u/jpg"), PictureKind::None);
    EXPECT_EQ(PictureKindOf("/home/u/photo.jpg.txt"), PictureKind::None);
    EXPECT_EQ(PictureKindOf("/home/u/pictures.jpg/notes"), PictureKind::None);  // folder's dot
    EXPECT_EQ(PictureKindOf("/home/u/photo.jp"), PictureKind::None);
    EXPECT_EQ(PictureKindOf("/home/u/photo.jpgx"), PictureKind::None);
}

TEST(StretchTest, WidePictureFillsTheWidthLeftOfTheVerticalBar) {
    EXPECT_EQ(StretchedSize({1000, 500}, PanelGeometry{}), (PixelSize{464, 232}));
}

TEST(StretchTest, TallPictureFillsTheHeightAboveTheHorizontalBar) {
    // 389 / 2 = 194.5, truncated.
    EXPECT_EQ(StretchedSize({500, 1000}, PanelGeometry{}), (PixelSize{194, 389}));
}

TEST(StretchTest, SquareAndSmallPicturesAreEnlargedToTheHeight) {
    EXPECT_EQ(StretchedSize({300, 300}, PanelGeometry{}), (PixelSize{389, 389}));
    EXPECT_EQ(StretchedSize({10, 3}, PanelGeometry{}), (PixelSize{464, 139}));  // 139.2
}

TEST(StretchTest, TheRatioIsSinglePrecisionAndTruncated) {
    // 1 / 29 in single precision lies just below 1 / 29: 464 times it is 15.99999994, so 15
    // where exact arithmetic gives 16.
    EXPECT_EQ(StretchedSize({29, 1}, PanelGeometry{}), (PixelSize{464, 15}));
    // 389 / 3 in single precision lies just above: 389 over it is 2.99999988, so 2.
    EXPECT_EQ(StretchedSize({3, 389}, PanelGeometry{}), (PixelSize{2, 389}));
}

TEST(StretchTest, EmptyPictureKeepsItsSize) {
    EXPECT_EQ(StretchedSize({0, 0}, PanelGeometry{}), (PixelSize{0, 0}));
}

TEST(ScrollRangeTest, SmallPictureGivesNoScrolling) {
    EXPECT_EQ(ScrollRangesFor({100, 80}, PanelGeometry{}), (ScrollMaxima{0, 0}));
    EXPECT_EQ(ScrollRangesFor({481, 407}, PanelGeometry{}), (ScrollMaxima{0, 0}));
}

TEST(ScrollRangeTest, LargePictureScrollsByItsExcess) {
    EXPECT_EQ(ScrollRangesFor({1000, 500}, PanelGeometry{}), (ScrollMaxima{519, 93}));
    EXPECT_EQ(ScrollRangesFor({300, 900}, PanelGeometry{}), (ScrollMaxima{0, 493}));
    EXPECT_EQ(PictureEdgeFor(0), 1);
    EXPECT_EQ(PictureEdgeFor(93), -92);
}

TEST(TextDecodingTest, ValidUtf8IsReadAsUtf8) {
    EXPECT_EQ(DecodePlainText("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
              u"caf\u00E9 \u20AC \U0001F600");
    EXPECT_EQ(DecodePlainText("\xEF\xBB\xBFhello"), u"hello");  // byte-order mark dropped
    EXPECT_EQ(DecodePlainText(""), u"");
}

TEST(TextDecodingTest, AnythingElseIsWindows1252) {
    EXPECT_EQ(DecodePlainText("caf\xE9 \x80 \x93quoted\x94"),
              u"caf\u00E9 \u20AC \u201Cquoted\u201D");
    // Unassigned bytes keep their value.
    EXPECT_EQ(DecodePlainText("\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(Windows1252Char(0x9F), u'\u0178');
    EXPECT_EQ(Windows1252Char(0xFF), u'\u00FF');
}

TEST(TextDecodingTest, MalformedUtf8IsRejected) {
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));          // overlong NUL
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong slash
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // a surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("abc\xE2\x82"));       // cut short
    EXPECT_FALSE(IsValidUtf8("\x80"));              // a lone continuation byte
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));
    EXPECT_TRUE(IsValidUtf8("\xEF\xBF\xBF"));
}

TEST(TextDecodingTest, OtherCodePagesGoThroughThePlatform) {
    EXPECT_EQ(CodePageOfCharset(204), 1251);
    EXPECT_EQ(CodePageOfCharset(0), 0);
    EXPECT_EQ(DecodeCodePage(1251, "\xCF\xF0\xE8"), u"\u041F\u0440\u0438");
    EXPECT_EQ(DecodeCodePage(1252, "\x80"), u"\u20AC");
    EXPECT_EQ(DecodeCodePage(0, "\xE9"), u"\u00E9");
}

TEST(RtfDetectionTest, RichTextStartsWithTheRtfGroup) {
    EXPECT_TRUE(LooksLikeRtf("{\\rtf1\\ansi hello}"));
    EXPECT_FALSE(LooksLikeRtf(" {\\rtf1}"));
    EXPECT_FALSE(LooksLikeRtf("{\\rt"));
    EXPECT_FALSE(LooksLikeRtf("plain"));
}

TEST(ReadFileHeadTest, ReadsRegularFilesUpToTheLimit) {
    test::TempDir dir;
    test::WriteFile(dir / "a.txt", "0123456789");
    std::string out;
    ASSERT_TRUE(ReadFileHead(dir / "a.txt", 4, &out));
    EXPECT_EQ(out, "0123");
    ASSERT_TRUE(ReadFileHead(dir / "a.txt", 100, &out));
    EXPECT_EQ(out, "0123456789");
}

TEST(ReadFileHeadTest, MissingFilesFoldersAndPipesAreNotRead) {
    test::TempDir dir;
    std::string out;
    EXPECT_FALSE(ReadFileHead(dir / "missing.txt", 100, &out));
    EXPECT_FALSE(ReadFileHead(dir.Path(), 100, &out));
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(ReadFileHead(dir / "pipe", 100, &out));  // and does not block
}

}  // namespace
}  // namespace tavrin::viewer
