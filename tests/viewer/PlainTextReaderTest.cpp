// The plain text of the viewer read piece by piece: the pieces together are the text of the
// whole file, whatever the piece size.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/TestSupport.h"
#include "viewer/PlainTextReader.h"
#include "viewer/ViewLogic.h"

namespace tavrin::viewer {
namespace {

// The whole text read in pieces of `pieceBytes`; `restarts` counts the fresh starts.
std::u16string ReadInPieces(PlainTextReader& reader, std::size_t pieceBytes,
                            int* restarts = nullptr) {
    std::u16string all, piece;
    bool restart = false;
    int guard = 0;
    while (!reader.AtEnd() && ++guard < 1000000) {
        EXPECT_TRUE(reader.Next(pieceBytes, &piece, &restart));
        if (restart) {
            all.clear();
            if (restarts) ++*restarts;
        }
        all += piece;
    }
    return all;
}

TEST(PlainTextReaderTest, PiecesMakeTheWholeTextAtEverySize) {
    // Characters of two, three and four bytes, a byte-order mark, CR LF pairs.
    const std::string bytes =
        "\xEF\xBB\xBF"
        "caf\xC3\xA9\r\n\xE2\x82\xAC 1\r\n\xF0\x9F\x98\x80 end\r\nlast\r";
    const std::u16string whole = u"caf\u00E9\r\n\u20AC 1\r\n\U0001F600 end\r\nlast\r";
    EXPECT_EQ(DecodePlainText(bytes), whole);
    for (std::size_t size = 1; size <= bytes.size() + 1; ++size) {
        SCOPED_TRACE(size);
        PlainTextReader reader;
        reader.SetBytes(bytes);
        int restarts = 0;
        std::u16string text, piece;
        bool restart = false;
        while (!reader.AtEnd()) {
            ASSERT_TRUE(reader.Next(size, &piece, &restart));
            restarts += restart;
            // A CR never ends a piece while an LF may follow it.
            if (!reader.AtEnd() && !piece.empty()) {
                EXPECT_NE(piece.back(), u'\r');
            }
            text += piece;
        }
        EXPECT_EQ(text, whole);
        EXPECT_EQ(restarts, 0);
        EXPECT_TRUE(reader.IsUtf8());
    }
}

TEST(PlainTextReaderTest, ALaterByteThatIsNoUtf8StartsOverInWindows1252) {
    test::TempDir dir;
    std::string bytes = "\xC3\xA9 start ";
    bytes += std::string(300000, 'a');
    bytes += " caf\xE9";  // Windows-1252, far from the start
    test::WriteFile(dir / "late.txt", bytes);
    PlainTextReader reader;
    ASSERT_TRUE(reader.Open(dir / "late.txt", std::size_t(1) << 24));
    int restarts = 0;
    std::u16string text = ReadInPieces(reader, 65536, &restarts);
    EXPECT_EQ(restarts, 1);
    EXPECT_FALSE(reader.IsUtf8());
    EXPECT_EQ(text, Windows1252ToUtf16(bytes));
    // A character cut off by the end of the file is no UTF-8 either.
    EXPECT_EQ(DecodePlainText("ab\xE2\x82"), u"ab\u00E2\u201A");
}

TEST(PlainTextReaderTest, LongLinesAreBrokenWithoutTearingACharacter) {
    PlainTextReader reader;
    reader.SetMaxLineLength(4);
    reader.SetBytes("abcdefghij\nxy\r\n1234\n\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80");
    // The smiley is two UTF-16 units: the third one starts a line of its own.
    EXPECT_EQ(ReadInPieces(reader, 3),
              u"abcd\nefgh\nij\nxy\r\n1234\n\U0001F600\U0001F600\n\U0001F600");
    // Without a limit nothing is broken.
    PlainTextReader unbroken;
    unbroken.SetBytes(std::string(10000, 'x'));
    EXPECT_EQ(ReadInPieces(unbroken, 1000), std::u16string(10000, u'x'));
}

TEST(PlainTextReaderTest, TheLimitCutsTheFileAndSaysSo) {
    test::TempDir dir;
    test::WriteFile(dir / "exact.txt", "0123456789");
    test::WriteFile(dir / "long.txt", "0123456789A");
    PlainTextReader exact, cut;
    ASSERT_TRUE(exact.Open(dir / "exact.txt", 10));
    ASSERT_TRUE(cut.Open(dir / "long.txt", 10));
    EXPECT_EQ(ReadInPieces(exact, 4), u"0123456789");
    EXPECT_FALSE(exact.Cut());
    EXPECT_EQ(ReadInPieces(cut, 4), u"0123456789");
    EXPECT_TRUE(cut.Cut());
    // Head and ReadAll give the bytes, within the limit too.
    PlainTextReader head;
    ASSERT_TRUE(head.Open(dir / "long.txt", 10));
    EXPECT_EQ(head.Head(5), "01234");
    ASSERT_TRUE(head.ReadAll());
    EXPECT_EQ(head.Bytes(), "0123456789");
    EXPECT_TRUE(head.Cut());
}

TEST(PlainTextReaderTest, OnlyRegularFilesAreOpened) {
    test::TempDir dir;
    PlainTextReader reader;
    EXPECT_FALSE(reader.Open(dir / "missing.txt", 100));
    EXPECT_FALSE(reader.Open(dir.Path(), 100));
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(reader.Open(dir / "pipe", 100));  // and does not block
    // A file whose size the system does not know beforehand is read to its end.
    if (test::FileExists("/proc/self/status")) {
        ASSERT_TRUE(reader.Open("/proc/self/status", 1 << 20));
        EXPECT_NE(ReadInPieces(reader, 64).find(u"Name:"), std::u16string::npos);
    }
}

}  // namespace
}  // namespace tavrin::viewer
