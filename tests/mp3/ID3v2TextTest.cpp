// The texts of ID3v2 frames: decoding what taggers write, and the encoding a changed text is
// written in.
#include <gtest/gtest.h>

#include "mp3/ID3v2Text.h"
#include "tests/mp3/Mp3Bytes.h"

namespace tavrin {
namespace {

using namespace std::string_literals;
using test::Utf16;

TagText Frame(const std::string& body) {
    return id3text::FrameText(reinterpret_cast<const unsigned char*>(body.data()), body.size());
}
TagText Comment(const std::string& body) {
    return id3text::CommentText(reinterpret_cast<const unsigned char*>(body.data()), body.size());
}
void ExpectText(const TagText& text, const std::string& bytes, bool unicode) {
    EXPECT_EQ(text.bytes, bytes);
    EXPECT_EQ(text.unicode, unicode) << text.bytes;
}

TEST(ID3v2Text, FrameTextsOfEveryEncoding) {
    // Single bytes: the encoding byte and blanks trimmed away, as always.
    ExpectText(Frame(std::string("\0  Caf\xE9 \0\0", 10)), "Caf\xE9", false);
    // An unknown encoding byte stays part of the text.
    ExpectText(Frame("\x7FText"), "\x7FText", false);
    // UTF-16 with either byte order mark, and big-endian without one (encoding 2).
    ExpectText(Frame("\x01" + Utf16("Lame") + std::string(2, '\0')), "Lame", true);
    ExpectText(Frame("\x01\xFE\xFF" + Utf16("Be", true)), "Be", true);
    ExpectText(Frame("\x02" + Utf16("Be", true)), "Be", true);
    // No byte order mark: little-endian, as Windows writers mean it.
    ExpectText(Frame("\x01" + Utf16("ab").substr(2)), "ab", true);
    // Outside the Basic Multilingual Plane (a surrogate pair), an unpaired surrogate, an odd
    // last byte (a body cut by the 250-byte buffer).
    ExpectText(Frame(std::string("\x01\xFF\xFE\x3D\xD8\x00\xDE", 7)), "\xF0\x9F\x98\x80", true);
    ExpectText(Frame(std::string("\x01\xFF\xFE\x3D\xD8x\0", 7)), "\xEF\xBF\xBDx", true);
    ExpectText(Frame("\x01" + Utf16("ab") + "c"), "ab", true);
    // Several values keep their zero separators; each may carry its own byte order mark.
    ExpectText(
        Frame("\x01" + Utf16("A") + std::string(2, '\0') + Utf16("B", true).insert(0, "\xFE\xFF")),
        std::string("A\0B", 3), true);
    // UTF-8: a character cut at the end goes; bytes that are no UTF-8 are taken as they are.
    ExpectText(Frame("\x03\xC3\x84rtist \xE2\x98\x83\0"), "\xC3\x84rtist \xE2\x98\x83", true);
    ExpectText(Frame("\x03"
                     "ab\xE2\x98"),
               "ab", true);
    ExpectText(Frame("\x03\xC4rtist"), "\xC4rtist", false);
    ExpectText(Frame(""), "", false);
}

TEST(ID3v2Text, CommentsKeepTheirShortDescriptionInFront) {
    ExpectText(Comment(std::string("\0eng\0Text", 9)), "Text", false);
    ExpectText(Comment(std::string("\0engdesc\0Text", 13)), std::string("desc\0Text", 9), false);
    // LAME: an empty description without a byte order mark, the text with one.
    ExpectText(Comment("\x01"
                       "eng" +
                       std::string(2, '\0') + Utf16("A comment")),
               "A comment", true);
    ExpectText(Comment("\x01"
                       "deu" +
                       Utf16("D") + std::string(2, '\0') + Utf16("Line\n2")),
               std::string("D\0Line\n2", 8), true);
    ExpectText(Comment(std::string("\x03"
                                   "deuDesc\0Zeile \xC3\xBC\0",
                                   18)),
               std::string("Desc\0Zeile \xC3\xBC", 13), true);
    // A description whose terminator is missing: all of it is the description.
    ExpectText(Comment("\x01"
                       "eng" +
                       Utf16("only")),
               "only", true);
    ExpectText(Comment("\x01"
                       "en"),
               "", false);
}

TEST(ID3v2Text, ChangedTextsAreSingleByteWhenEveryCharacterFits) {
    using id3text::CommentBody;
    using id3text::TextBody;
    // Characters of Windows-1252 (the single-byte texts' code page) are single bytes.
    EXPECT_EQ(TextBody(TypedText("Caf\xC3\xA9 \xE2\x82\xAC"), id3text::kUtf16), "\0Caf\xE9 \x80"s);
    EXPECT_EQ(TextBody(TagText("bytes \xFF"), id3text::kUtf8), "\0bytes \xFF"s);
    // Others are written in the encoding given: UTF-16 with a byte order mark, UTF-8,
    // UTF-16 big-endian.
    const TagText snowman = TypedText("x \xE2\x98\x83");
    EXPECT_TRUE(snowman.unicode);
    EXPECT_EQ(TextBody(snowman, id3text::kUtf16), "\x01\xFF\xFEx\0 \0\x03\x26"s);
    EXPECT_EQ(TextBody(snowman, id3text::kUtf8), "\x03x \xE2\x98\x83"s);
    EXPECT_EQ(TextBody(snowman, id3text::kUtf16BE), "\x02\0x\0 \x26\x03"s);
    EXPECT_EQ(TextBody(TypedText("\xF0\x9F\x98\x80"), id3text::kUtf16),
              "\x01\xFF\xFE\x3D\xD8\x00\xDE"s);
    // Unicode text that fits after all is single-byte too.
    EXPECT_EQ(TextBody(TagText("Lame", true), id3text::kUtf16), "\0Lame"s);

    // Comments: language and short description in front.
    EXPECT_EQ(CommentBody(TagText("Text"), "deu", id3text::kUtf16), "\0deu\0Text"s);
    EXPECT_EQ(CommentBody(TagText("Desc\0Text"s), "eng", id3text::kUtf16), "\0engDesc\0Text"s);
    EXPECT_EQ(CommentBody(TagText("D\0\xE2\x98\x83"s, true), "deu", id3text::kUtf16),
              "\x01"
              "deu" +
                  Utf16("D") + "\0\0"s + "\xFF\xFE\x03\x26"s);
    EXPECT_EQ(CommentBody(TagText("\xE2\x98\x83", true), "eng", id3text::kUtf8),
              "\x03"
              "eng\0\xE2\x98\x83"s);
}

TEST(ID3v2Text, SameCharactersAreTheSameText) {
    EXPECT_TRUE(SameText(TagText("Caf\xE9"), TagText("Caf\xC3\xA9", true)));
    EXPECT_FALSE(SameText(TagText("Cafe"), TagText("Caf\xC3\xA9", true)));
    EXPECT_TRUE(SameText(TagText("a"), TagText("a")));
    EXPECT_FALSE(SameText(TagText("a"), TagText("b")));
    EXPECT_EQ(ShownUtf8(TagText("\x80")), "\xE2\x82\xAC");
    EXPECT_EQ(TypedText("\xE2\x82\xAC").bytes, "\x80");
}

}  // namespace
}  // namespace tavrin
