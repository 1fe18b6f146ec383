// ID3v2.4 and ID3v2.2 tags: reading their fields, and saving a changed field without losing
// anything else (2.4 stays 2.4; 2.2 becomes 2.3, a frame without a 2.3 form only after a
// question). Also the encodings changed fields are written in.
#include <gtest/gtest.h>
#include <zlib.h>

#include "mp3/ID3v2.h"
#include "tests/mp3/Mp3Bytes.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using namespace std::string_literals;
using test::Id3v22Frame;
using test::Id3v24Frame;
using test::Id3v2Frame;
using test::Id3v2Tag;
using test::Id3v2TagOf;
using test::ReadFile;
using test::TempDir;
using test::TextFrame;
using test::Utf16;
using test::WriteFile;

const std::string kAudio = test::Frames(test::Header{}, 417, 3);

class ID3v2VersionTest : public ::testing::Test {
  protected:
    TID3v2 Write(const std::string& tag) {
        WriteFile(file, tag + kAudio);
        TID3v2 loaded;
        EXPECT_TRUE(loaded.Load(file));
        return loaded;
    }
    // The file's tag, with the audio after it checked.
    std::string SavedTag() {
        std::string bytes = ReadFile(file);
        EXPECT_GE(bytes.size(), kAudio.size());
        EXPECT_EQ(bytes.substr(bytes.size() - kAudio.size()), kAudio);
        return bytes.substr(0, bytes.size() - kAudio.size());
    }
    std::string LoadedTitle() {
        TID3v2 tag;
        EXPECT_TRUE(tag.Load(file));
        return tag.Title();
    }
    TempDir dir;
    const std::string file = dir / "a.mp3";
};

// What mutagen writes by default: version 2.4, UTF-8 texts with a terminator, TDRC.
const std::string kTitle24 = Id3v24Frame("TIT2", "\x03Old title\0"s);
const std::string kArtist24 = Id3v24Frame("TPE1", "\x03\xC3\x84rtist \xE2\x98\x83\0"s);
const std::string kDate24 = Id3v24Frame("TDRC",
                                        "\x03"
                                        "2016-05-01\0"s);
const std::string kComment24 = Id3v24Frame("COMM",
                                           "\x03"
                                           "deuDesc\0Line one\nLine two\0"s +
                                               std::string(200, 'x'));
const std::string kPicture24 =
    Id3v24Frame("APIC", "\0image/png\0\x03\0"s + std::string(300, '\xFF'));
const std::string kTxxx24 = Id3v24Frame("TXXX", "\x03key\0value\0"s);

TEST_F(ID3v2VersionTest, Version24FieldsAreRead) {
    TID3v2 tag = Write(Id3v2TagOf(4,
                                  kTitle24 + kArtist24 +
                                      Id3v24Frame("TRCK",
                                                  "\x03"
                                                  "3/9\0"s) +
                                      kDate24 + Id3v24Frame("TCON", "\x03Rock\0"s) + kTxxx24 +
                                      kPicture24 + kComment24,
                                  100));
    EXPECT_EQ(tag.MajorVersion(), 4);
    EXPECT_EQ(tag.Title(), "Old title");
    EXPECT_EQ(tag.Artist(), "\xC3\x84rtist \xE2\x98\x83");
    EXPECT_TRUE(tag.Text(ID3v2Field::Artist).unicode);
    EXPECT_EQ(tag.Year(), "2016-05-01");
    EXPECT_EQ(tag.Track(), 3);
    EXPECT_EQ(tag.Genre(), "Rock");
    EXPECT_EQ(tag.Comment().substr(0, 26), "Desc\0Line one\nLine two\0xxx"s);

    // A TYER counts where there is no TDRC; a TDRC wins wherever it stands.
    EXPECT_EQ(Write(Id3v2TagOf(4, Id3v24Frame("TYER",
                                              "\0"
                                              "1999"s)))
                  .Year(),
              "1999");
    EXPECT_EQ(Write(Id3v2TagOf(4, kDate24 + Id3v24Frame("TYER",
                                                        "\0"
                                                        "1999"s)))
                  .Year(),
              "2016-05-01");
}

TEST_F(ID3v2VersionTest, Version24FrameAndHeaderFlagsAreHonoured) {
    // A body of 200 bytes: its size in 7-bit groups is 01 48, as 8 bits it would be 00 C8.
    const std::string longTitle(199, 't');
    // Frame unsynchronisation with a data length indicator, a grouping byte.
    const std::string unsynced = Id3v24Frame("TPE1",
                                             "\0\0\0\x05"
                                             "\0A\xFF\0\xE0"
                                             "B"s,
                                             0, 0x03);
    const std::string grouped = Id3v24Frame("TALB", "\x05\0Album"s, 0, 0x40);
    // Compressed (with its data length indicator) and encrypted frames.
    std::string plain = "\0Rock"s;
    std::string packed(64, '\0');
    uLongf packedSize = packed.size();
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
             reinterpret_cast<const Bytef*>(plain.data()), plain.size());
    packed.resize(packedSize);
    const std::string compressed =
        Id3v24Frame("TCON", test::Synchsafe(std::uint32_t(plain.size())) + packed, 0, 0x09);
    const std::string encrypted = Id3v24Frame("TRCK", "\x80secret"s, 0, 0x04);
    TID3v2 tag = Write(Id3v2TagOf(
        4, Id3v24Frame("TIT2", "\0"s + longTitle) + unsynced + grouped + compressed + encrypted));
    EXPECT_EQ(tag.Title(), longTitle);
    EXPECT_EQ(tag.Artist(),
              "A\xFF\xE0"
              "B");
    EXPECT_EQ(tag.Album(), "Album");
    EXPECT_EQ(tag.Genre(), "Rock");
    EXPECT_EQ(tag.Track(), 0);  // encrypted: not readable

    // An extended header (its size counts itself), the tag's unsynchronisation flag for every
    // frame, a footer.
    const std::string extended = test::Synchsafe(6) + "\x01\0"s;
    tag = Write(Id3v2TagOf(4, extended + Id3v24Frame("TIT2", "\0\xFF\0\xE0x"s), 0, 0xD0) +
                "3DI\x04\0\xD0"s + test::Synchsafe(21));
    EXPECT_EQ(tag.Title(), "\xFF\xE0x");
    EXPECT_EQ(tag.TagSize(), 10 + 21);  // the footer is not counted
    // Saving drops the extended header and the footer, and keeps the audio after them.
    tag.SetArtist("A");
    ASSERT_TRUE(tag.Save(file));
    EXPECT_EQ(
        SavedTag(),
        Id3v2TagOf(4, Id3v24Frame("TIT2", "\0\xFF\0\xE0x"s) + Id3v24Frame("TPE1", "\0A"s, 0, 0x02),
                   0, 0x80));

    // Sizes written as plain 8-bit numbers (a known fault of some writers): read all the same.
    std::string eightBit = "TIT2"s + test::BigEndian(200) + "\0\0\0"s + longTitle + "TPE1"s +
                           test::BigEndian(3) + "\0\0\0Me"s;
    EXPECT_EQ(Write(Id3v2TagOf(4, eightBit)).Artist(), "Me");
}

TEST_F(ID3v2VersionTest, Version24StaysVersion24AndKeepsEveryOtherFrame) {
    const std::string others = kArtist24 + kTxxx24 + kPicture24 + kComment24 + kDate24;
    TID3v2 tag = Write(Id3v2TagOf(4, kTitle24 + others, 1024));
    tag.SetTitle("New title");
    ASSERT_TRUE(tag.Save(file));
    EXPECT_EQ(SavedTag(), Id3v2TagOf(4, Id3v24Frame("TIT2", "\0New title"s) + others));

    // A text that needs Unicode: UTF-8, the encoding version 2.4 taggers write; a year in TDRC
    // in the place of the TYER it was read from.
    tag = Write(Id3v2TagOf(4, kTitle24 +
                                  Id3v24Frame("TYER",
                                              "\0"
                                              "1999"s) +
                                  kTxxx24));
    tag.SetText(ID3v2Field::Title, TagText("\xE2\x98\x83", true));
    tag.SetYear("2001");
    tag.SetArtist("Added");
    ASSERT_TRUE(tag.Save(file));
    EXPECT_EQ(SavedTag(), Id3v2TagOf(4, Id3v24Frame("TIT2", "\x03\xE2\x98\x83"s) +
                                            Id3v24Frame("TDRC",
                                                        "\0"
                                                        "2001"s) +
                                            kTxxx24 + Id3v24Frame("TPE1", "\0Added"s)));

    // A UTF-16 frame keeps UTF-16, here big-endian.
    tag = Write(Id3v2TagOf(4, Id3v24Frame("TIT2", "\x02" + Utf16("Old", true)) + kTxxx24));
    tag.SetText(ID3v2Field::Title, TagText("\xE2\x98\x83", true));
    ASSERT_TRUE(tag.Save(file));
    EXPECT_EQ(SavedTag(), Id3v2TagOf(4, Id3v24Frame("TIT2", "\x02\x26\x03"s) + kTxxx24));

    // An unsynchronised tag stays so: its frames as they are, the new frame unsynchronised
    // too (and saying so).
    const std::string flagged = Id3v24Frame("TXXX", "\0k\0\xFF\0\xE0"s, 0, 0x02);
    tag = Write(Id3v2TagOf(4, kTitle24 + flagged, 0, 0x80));
    tag.SetText(ID3v2Field::Title, TagText("\xC3\xBF\xC3\xA0", true));  // fits: single bytes
    ASSERT_TRUE(tag.Save(file));
    EXPECT_EQ(SavedTag(),
              Id3v2TagOf(4, Id3v24Frame("TIT2", "\0\xFF\0\xE0"s, 0, 0x02) + flagged, 0, 0x80));
    EXPECT_EQ(LoadedTitle(), "\xFF\xE0");
}

// What iTunes wrote for years: version 2.2 with three-letter frames.
const std::string kPicture22 = Id3v22Frame("PIC",
                                           "\0PNG\x03"
                                           "cover\0"s +
                                               std::string(300, '\x89'));

TEST_F(ID3v2VersionTest, Version22FieldsAreRead) {
    TID3v2 tag = Write(Id3v2TagOf(2,
                                  Id3v22Frame("TT2", "\0Title22"s) +
                                      Id3v22Frame("TP1", "\x01" + Utf16("Artist")) +
                                      Id3v22Frame("TAL", "\0Album"s) +
                                      Id3v22Frame("TRK",
                                                  "\0"
                                                  "5/12"s) +
                                      Id3v22Frame("TYE",
                                                  "\0"
                                                  "1998"s) +
                                      Id3v22Frame("TCO", "\0(17)"s) + kPicture22 +
                                      Id3v22Frame("COM", "\0engiTunNORM\0 00000A"s) +
                                      Id3v22Frame("COM", "\0eng\0Shown comment"s),
                                  50));
    EXPECT_EQ(tag.MajorVersion(), 2);
    EXPECT_EQ(tag.Title(), "Title22");
    EXPECT_EQ(tag.Artist(), "Artist");
    EXPECT_EQ(tag.Album(), "Album");
    EXPECT_EQ(tag.Track(), 5);
    EXPECT_EQ(tag.Year(), "1998");
    EXPECT_EQ(tag.Genre(), "");
    EXPECT_EQ(tag.Comment(), "Shown comment");  // the last one counts

    // An unsynchronised version 2.2 tag is read with its unsynchronisation undone.
    // (Frame sizes count the bytes with it undone.)
    tag = Write(Id3v2TagOf(2, "TT2\0\0\x04\0\xFF\0\xE0!"s, 0, 0x80));
    EXPECT_EQ(tag.Title(), "\xFF\xE0!");
}

TEST_F(ID3v2VersionTest, Version22BecomesVersion23WithItsFramesRenamed) {
    const std::string body = "\0engiTunNORM\0 00000A"s;
    TID3v2 tag = Write(
        Id3v2TagOf(2,
                   Id3v22Frame("TT2", "\0Old"s) + Id3v22Frame("TP1", "\x01" + Utf16("Artist")) +
                       kPicture22 + Id3v22Frame("COM", body) + Id3v22Frame("TXX", "\0k\0v"s) +
                       Id3v22Frame("TCP",
                                   "\0"
                                   "1"s) +
                       Id3v22Frame("LNK", "TT2http://x\0"s) + Id3v22Frame("PIC", "\0JPG\0\0jpeg"s),
                   20));
    tag.SetTitle("New");
    ASSERT_TRUE(tag.Save(file));
    EXPECT_EQ(SavedTag(),
              Id3v2Tag(TextFrame("TIT2", "New") + Id3v2Frame("TPE1", "\x01" + Utf16("Artist")) +
                       Id3v2Frame("APIC",
                                  "\0image/png\0\x03"
                                  "cover\0"s +
                                      std::string(300, '\x89')) +
                       Id3v2Frame("COMM", body) + Id3v2Frame("TXXX", "\0k\0v"s) +
                       Id3v2Frame("TCMP",
                                  "\0"
                                  "1"s) +
                       Id3v2Frame("LINK", "TIT2http://x\0"s) +
                       Id3v2Frame("APIC", "\0image/jpeg\0\0\0jpeg"s)));
    TID3v2 again;
    ASSERT_TRUE(again.Load(file));
    EXPECT_EQ(again.MajorVersion(), 3);
    EXPECT_EQ(again.Artist(), "Artist");
}

TEST_F(ID3v2VersionTest, FramesWithoutAVersion23FormAreDroppedOnlyWhenTheUserAgrees) {
    const std::string tag22 =
        Id3v2TagOf(2, Id3v22Frame("TT2", "\0Old"s) + Id3v22Frame("CRM", "owner\0x\x01\x02"s) +
                          Id3v22Frame("XYZ", "private"s) + Id3v22Frame("TAL", "\0Album"s));
    TID3v2 tag = Write(tag22);
    tag.SetTitle("New");
    std::vector<std::vector<std::string>> asked;
    auto answer = [&](bool yes) {
        return [&asked, yes](const std::vector<std::string>& ids) {
            asked.push_back(ids);
            return yes;
        };
    };
    EXPECT_FALSE(tag.Save(file, answer(false)));
    EXPECT_EQ(ReadFile(file), tag22 + kAudio);  // untouched
    EXPECT_FALSE(tag.Save(file));               // nobody to ask: nothing dropped, nothing saved
    EXPECT_EQ(ReadFile(file), tag22 + kAudio);
    ASSERT_TRUE(tag.Save(file, answer(true)));
    EXPECT_EQ(asked, (std::vector<std::vector<std::string>>{{"CRM", "XYZ"}, {"CRM", "XYZ"}}));
    EXPECT_EQ(SavedTag(), Id3v2Tag(TextFrame("TIT2", "New") + TextFrame("TALB", "Album")));
    EXPECT_FALSE(test::FileExists(file + "~"));
}

TEST_F(ID3v2VersionTest, ChangedTextsOfVersion23Tags) {
    // LAME 3.100's own tags: UTF-16 with a byte order mark, a comment without one in its empty
    // description.
    const std::string lameComment = Id3v2Frame("COMM",
                                               "\x01"
                                               "deu\0\0"s +
                                                   Utf16("A comment"));
    TID3v2 tag = Write(Id3v2Tag(Id3v2Frame("TIT2", "\x01" + Utf16("Lame")) +
                                Id3v2Frame("TPE1", "\x01" + Utf16("Artist")) + lameComment));
    EXPECT_EQ(tag.Title(), "Lame");
    EXPECT_EQ(tag.Comment(), "A comment");
    // A text that fits is written in single bytes; one that does not in UTF-16, as is the
    // comment, which keeps its language.
    tag.SetText(ID3v2Field::Title, TypedText("Caf\xC3\xA9"));
    tag.SetText(ID3v2Field::Artist, TypedText("\xE2\x98\x83"));
    tag.SetText(ID3v2Field::Comment, TypedText("Zwei\r\n\xE2\x98\x83"));
    ASSERT_TRUE(tag.Save(file));
    EXPECT_EQ(SavedTag(),
              Id3v2Tag(TextFrame("TIT2", "Caf\xE9") + Id3v2Frame("TPE1", "\x01\xFF\xFE\x03\x26"s) +
                       Id3v2Frame("COMM",
                                  "\x01"
                                  "deu\xFF\xFE\0\0"s +
                                      Utf16("Zwei\r\n") + "\x03\x26"s)));
    // The same characters as before are no change.
    tag.SetText(ID3v2Field::Title, TagText("Caf\xC3\xA9", true));
    const std::string saved = ReadFile(file);
    ASSERT_TRUE(tag.Save(file));
    EXPECT_EQ(ReadFile(file), saved);
}

}  // namespace
}  // namespace tavrin
