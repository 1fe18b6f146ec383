#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "mp3/ID3v2.h"
#include "tests/mp3/Mp3Bytes.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::Id3v2Frame;
using test::Id3v2Header;
using test::Id3v2Tag;
using test::ReadFile;
using test::TempDir;
using test::TextFrame;
using test::WriteFile;
namespace fs = std::filesystem;

const std::string kAudio = test::Frames(test::Header{}, 417, 3);

TID3v2 LoadedFrom(const std::string& path) {
    TID3v2 tag;
    EXPECT_TRUE(tag.Load(path));
    return tag;
}

TEST(ID3v2SizeRule, SizeBytesAreNotMaskedAndMustFitTheFile) {
    TempDir dir;
    const std::string file = dir / "a.mp3";
    // Size bytes 00 00 01 80: 1 * 128 + 128 + 10 = 266 (the top bit of a byte still counts).
    std::string header = Id3v2Header(3, 0);
    header[8] = 1;
    header[9] = static_cast<char>(0x80);
    std::string body = TextFrame("TIT2", "Title");
    body.resize(256, '\0');
    WriteFile(file, header + body);  // exactly 266 bytes: the whole file is the tag
    TID3v2 tag = LoadedFrom(file);
    EXPECT_TRUE(tag.Present());
    EXPECT_EQ(tag.MajorVersion(), 3);
    EXPECT_EQ(tag.TagSize(), 266);
    EXPECT_EQ(tag.Title(), "Title");

    WriteFile(file, header + body.substr(0, 255));  // one byte short of the stored size
    tag = LoadedFrom(file);
    EXPECT_TRUE(tag.Present());
    EXPECT_EQ(tag.TagSize(), 0);
    EXPECT_EQ(tag.Title(), "");
}

TEST(ID3v2Versions, OtherVersionsAndExtendedHeadersYieldNoFields) {
    TempDir dir;
    const std::string frames = TextFrame("TIT2", "Title") + TextFrame("TPE1", "Artist");
    for (int major : {1, 5}) {
        WriteFile(dir / "a.mp3", Id3v2Header(major, frames.size()) + frames + kAudio);
        TID3v2 tag = LoadedFrom(dir / "a.mp3");
        EXPECT_TRUE(tag.Present());
        EXPECT_EQ(tag.MajorVersion(), major);
        EXPECT_EQ(tag.TagSize(), static_cast<int>(frames.size() + 10));
        EXPECT_EQ(tag.Title() + tag.Artist(), "");
    }
    // Version 2.3 headers are not interpreted: the loop meets the extended header first.
    const std::string extended = std::string("\0\0\0\x06", 4) + std::string(6, '\0') + frames;
    WriteFile(dir / "a.mp3", Id3v2Header(3, extended.size(), 0x40) + extended + kAudio);
    TID3v2 tag = LoadedFrom(dir / "a.mp3");
    EXPECT_TRUE(tag.Present());
    EXPECT_EQ(tag.Title() + tag.Artist(), "");
}

TEST(ID3v2Frames, OnlyTheFirst250BytesOfABodyAreRead) {
    TempDir dir;
    const std::string frames = TextFrame("TIT2", std::string(299, 'a')) +
                               TextFrame("TPE1", "Artist") + TextFrame("TPE1", "Later");
    WriteFile(dir / "a.mp3", Id3v2Tag(frames) + kAudio);
    TID3v2 tag = LoadedFrom(dir / "a.mp3");
    EXPECT_EQ(tag.Title(), std::string(249, 'a'));  // 250 bytes less the encoding byte
    EXPECT_EQ(tag.Artist(), "Later");               // found at its place; the later one wins
}

TEST(ID3v2Frames, ReadingStopsAtPaddingAndAtTheTagEnd) {
    TempDir dir;
    const std::string inside =
        TextFrame("TIT2", "One") + std::string(20, '\0') + TextFrame("TPE1", "After padding");
    WriteFile(dir / "a.mp3", Id3v2Tag(inside) + TextFrame("TALB", "In the audio") + kAudio);
    TID3v2 tag = LoadedFrom(dir / "a.mp3");
    EXPECT_EQ(tag.Title(), "One");
    EXPECT_EQ(tag.Artist(), "");
    EXPECT_EQ(tag.Album(), "");
}

TEST(ID3v2Frames, TrackGenreAndCommentDerivation) {
    TempDir dir;
    auto load = [&](const std::string& frame) {
        WriteFile(dir / "a.mp3", Id3v2Tag(frame) + kAudio);
        return LoadedFrom(dir / "a.mp3");
    };
    const std::pair<std::string, int> tracks[] = {
        {"7/12", 7}, {"x", 0},     {"300", 44},        {" 12 ", 12}, {"-1", 255},
        {"", 0},     {"7 /12", 0}, {"99999999999", 0}, {"1x", 0},
    };
    for (const auto& [text, track] : tracks)
        EXPECT_EQ(load(TextFrame("TRCK", text)).Track(), track) << text;

    const std::pair<std::string, std::string> genres[] = {
        {"(17)", ""},         {"(17)Rock", "Rock"},   {"Rock", "Rock"},
        {"(1)(2)Pop", "Pop"}, {"(17) Rock", " Rock"},
    };
    for (const auto& [text, genre] : genres)
        EXPECT_EQ(load(TextFrame("TCON", text)).Genre(), genre) << text;

    const std::pair<std::string, std::string> comments[] = {
        {std::string("\0eng\0Text", 9), "Text"},
        {std::string("\0engdesc\0Text", 13), std::string("desc\0Text", 9)},
        {std::string("\0eng", 4), ""},
    };
    for (const auto& [body, comment] : comments)
        EXPECT_EQ(load(Id3v2Frame("COMM", body)).Comment(), comment);

    // A UTF-16 text is decoded (the field holds it as UTF-8).
    TID3v2 utf16 = load(Id3v2Frame("TPE1", std::string("\x01\xFF\xFE"
                                                       "A\0\xE9\0",
                                                       7)));
    EXPECT_EQ(utf16.Artist(), "A\xC3\xA9");
    EXPECT_TRUE(utf16.Text(ID3v2Field::Artist).unicode);
    EXPECT_EQ(load(Id3v2Frame("TRCK", "\x01" + test::Utf16("12/14"))).Track(), 12);
}

TEST(ID3v2Load, TheFirstTenBytesMustBeReadable) {
    TempDir dir;
    TID3v2 tag;
    tag.SetTitle("x");
    WriteFile(dir / "short.mp3", "ID3\3\0\0\0\0\0");
    EXPECT_FALSE(tag.Load(dir / "short.mp3"));
    EXPECT_EQ(tag.Title(), "");
    EXPECT_FALSE(tag.Load(dir / "missing.mp3"));
    WriteFile(dir / "plain.mp3", kAudio);
    EXPECT_TRUE(tag.Load(dir / "plain.mp3"));
    EXPECT_FALSE(tag.Present());
}

TEST(ID3v2Save, FreshTagHasTheSevenFramesInOrder) {
    TempDir dir;
    // The track number has no setter: it comes from a loaded tag.
    WriteFile(dir / "src.mp3", Id3v2Tag(TextFrame("TRCK", "5/9")) + kAudio);
    TID3v2 tag = LoadedFrom(dir / "src.mp3");
    tag.SetTitle("Title");
    tag.SetArtist("Artist ");
    tag.SetAlbum("Album");
    tag.SetYear("2002");
    tag.SetGenre("Rock");
    tag.SetComment("Line 1\r\nLine 2\r\n");
    WriteFile(dir / "a.mp3", kAudio);
    ASSERT_TRUE(tag.Save(dir / "a.mp3"));
    const std::string frames = TextFrame("TIT2", "Title") + TextFrame("TPE1", "Artist") +
                               TextFrame("TALB", "Album") + TextFrame("TRCK", "5") +
                               TextFrame("TYER", "2002") + TextFrame("TCON", "Rock") +
                               TextFrame("COMM", std::string("eng\0Line 1\r\nLine 2", 18));
    EXPECT_EQ(ReadFile(dir / "a.mp3"), Id3v2Tag(frames) + kAudio);
    EXPECT_FALSE(test::FileExists(dir / "a.mp3~"));
}

TEST(ID3v2Save, EmptyFieldsGiveABareHeader) {
    TempDir dir;
    WriteFile(dir / "a.mp3", kAudio);
    TID3v2 tag;
    ASSERT_TRUE(tag.Save(dir / "a.mp3"));
    EXPECT_EQ(ReadFile(dir / "a.mp3"), Id3v2Header(3, 0) + kAudio);
}

TEST(ID3v2Save, AudioAndID3v1TagAreCarriedOver) {
    TempDir dir;
    const std::string old24 =
        Id3v2Header(4, 190) + TextFrame("TIT2", "Old") + std::string(190 - 14, '\0');
    ASSERT_EQ(old24.size(), 200u);
    const std::string v1 = test::Id3v1Tail("v1", "", "", "", "", 3);
    WriteFile(dir / "a.mp3", old24 + kAudio + v1);
    TID3v2 tag = LoadedFrom(dir / "a.mp3");
    ASSERT_EQ(tag.TagSize(), 200);
    tag.SetTitle("New");
    ASSERT_TRUE(tag.Save(dir / "a.mp3"));
    // A version 2.4 tag stays one; its padding goes.
    EXPECT_EQ(
        ReadFile(dir / "a.mp3"),
        test::Id3v2TagOf(4, test::Id3v24Frame("TIT2", std::string("\0New", 4))) + kAudio + v1);

    // A tag of another version is replaced whole.
    std::string old25 = old24;
    old25[3] = 5;
    WriteFile(dir / "a.mp3", old25 + kAudio + v1);
    tag = LoadedFrom(dir / "a.mp3");
    tag.SetTitle("New");
    ASSERT_TRUE(tag.Save(dir / "a.mp3"));
    EXPECT_EQ(ReadFile(dir / "a.mp3"), Id3v2Tag(TextFrame("TIT2", "New")) + kAudio + v1);
}

TEST(ID3v2Save, AnOversizedOldHeaderStaysInTheFile) {
    TempDir dir;
    const std::string old = Id3v2Header(3, 100000) + kAudio;
    WriteFile(dir / "a.mp3", old);
    TID3v2 tag = LoadedFrom(dir / "a.mp3");
    ASSERT_EQ(tag.TagSize(), 0);
    tag.SetTitle("T");
    ASSERT_TRUE(tag.Save(dir / "a.mp3"));
    EXPECT_EQ(ReadFile(dir / "a.mp3"), Id3v2Tag(TextFrame("TIT2", "T")) + old);
}

TEST(ID3v2Save, ReadOnlyFileBecomesWritableAndKeepsItsOtherBits) {
    TempDir dir;
    const std::string file = dir / "a.mp3";
    WriteFile(file, kAudio);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    TID3v2 tag;
    tag.SetTitle("T");
    ASSERT_TRUE(tag.Save(file));
    EXPECT_EQ(fs::status(file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(ID3v2Save, FailuresLeaveTheFileAsItWas) {
    TempDir dir;
    TID3v2 tag;
    tag.SetTitle("T");
    EXPECT_FALSE(tag.Save(dir / "missing.mp3"));
    EXPECT_FALSE(test::FileExists(dir / "missing.mp3~"));

    WriteFile(dir / "short.mp3", "ID3\3");
    EXPECT_FALSE(tag.Save(dir / "short.mp3"));
    EXPECT_EQ(ReadFile(dir / "short.mp3"), "ID3\3");

    // The temporary file cannot be made: a folder of that name is in the way.
    WriteFile(dir / "a.mp3", kAudio);
    fs::create_directory(dir / "a.mp3~");
    WriteFile(dir / "a.mp3~/keep", "x");
    EXPECT_FALSE(tag.Save(dir / "a.mp3"));
    EXPECT_EQ(ReadFile(dir / "a.mp3"), kAudio);
    EXPECT_EQ(ReadFile(dir / "a.mp3~/keep"), "x");
}

TEST(ID3v2Save, ReplacesAStaleTemporaryFileAndFollowsLinks) {
    TempDir dir;
    WriteFile(dir / "a.mp3", kAudio);
    WriteFile(dir / "a.mp3~", "stale");
    fs::create_symlink(dir / "a.mp3", dir / "link.mp3");
    TID3v2 tag;
    tag.SetTitle("T");
    ASSERT_TRUE(tag.Save(dir / "link.mp3"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.mp3"));
    EXPECT_EQ(ReadFile(dir / "a.mp3"), Id3v2Tag(TextFrame("TIT2", "T")) + kAudio);
    EXPECT_FALSE(test::FileExists(dir / "a.mp3~"));
}

// Saving a version 2.3 tag keeps what the user did not change.
TEST(ID3v2Preserve, UnchangedFramesSurviveATitleChange) {
    TempDir dir;
    const std::string priv = Id3v2Frame("PRIV", std::string("owner\0\x01\x02\xFF", 9));
    const std::string utf16 = Id3v2Frame("TPE1", std::string("\x01\xFF\xFE"
                                                             "A\0r\0",
                                                             7));
    const std::string comm =
        Id3v2Frame("COMM", std::string("\0engdesc\0", 9) + std::string(300, 'c'));
    const std::string trck = TextFrame("TRCK", "7/12");
    const std::string tcon = TextFrame("TCON", "(17)Rock");
    const std::string txxx = Id3v2Frame("TXXX", std::string("\0key\0value", 10));
    const std::string frames = TextFrame("TIT2", "Old") + priv + utf16 + comm + trck + txxx + tcon;
    const std::string v1 = test::Id3v1Tail("v1", "", "", "", "", 3);
    WriteFile(dir / "a.mp3", Id3v2Tag(frames, 100) + kAudio + v1);

    TID3v2 tag = LoadedFrom(dir / "a.mp3");
    ASSERT_EQ(tag.Track(), 7);
    ASSERT_EQ(tag.Comment().size(), 5u + 241u);  // "desc", zero, the text to 250 bytes
    tag.SetArtist(tag.Artist());
    tag.SetComment(tag.Comment());
    tag.SetTitle("New");
    ASSERT_TRUE(tag.Save(dir / "a.mp3"));
    const std::string expected =
        Id3v2Tag(TextFrame("TIT2", "New") + priv + utf16 + comm + trck + txxx + tcon) + kAudio + v1;
    EXPECT_EQ(ReadFile(dir / "a.mp3"), expected);

    // Saving again without a change rewrites the same bytes.
    tag = LoadedFrom(dir / "a.mp3");
    EXPECT_EQ(tag.Title(), "New");
    EXPECT_EQ(tag.Genre(), "Rock");
    ASSERT_TRUE(tag.Save(dir / "a.mp3"));
    EXPECT_EQ(ReadFile(dir / "a.mp3"), expected);
}

TEST(ID3v2Preserve, ChangedFieldsReplaceTheFrameTheyCameFrom) {
    TempDir dir;
    const std::string firstComm = Id3v2Frame("COMM", std::string("\0engiTunNORM\0 0000", 18));
    const std::string frames = firstComm + TextFrame("TIT2", "Old") +
                               Id3v2Frame("COMM", std::string("\0eng\0shown", 10)) +
                               TextFrame("TYER", "1999");
    WriteFile(dir / "a.mp3", Id3v2Tag(frames) + kAudio);
    TID3v2 tag = LoadedFrom(dir / "a.mp3");
    ASSERT_EQ(tag.Comment(), "shown");
    tag.SetComment("changed");
    tag.SetTitle("");        // a cleared field loses its frame
    tag.SetArtist("Added");  // a field without a frame gets one after the others
    ASSERT_TRUE(tag.Save(dir / "a.mp3"));
    EXPECT_EQ(ReadFile(dir / "a.mp3"),
              Id3v2Tag(firstComm + TextFrame("COMM", std::string("eng\0changed", 11)) +
                       TextFrame("TYER", "1999") + TextFrame("TPE1", "Added")) +
                  kAudio);

    // A second save with the same object measures changes against what the first one wrote.
    tag.SetComment("shown");
    ASSERT_TRUE(tag.Save(dir / "a.mp3"));
    EXPECT_EQ(LoadedFrom(dir / "a.mp3").Comment(), "shown");
}

TEST(ID3v2Preserve, FramesBehindAnExtendedHeaderOrUnsynchronisationSurvive) {
    TempDir dir;
    const std::string frames = TextFrame("TIT2", "Hidden") + TextFrame("TPE1", "Artist");
    const std::string extended = std::string("\0\0\0\x06", 4) + std::string(6, '\0') + frames;
    WriteFile(dir / "a.mp3", Id3v2Header(3, extended.size(), 0x40) + extended + kAudio);
    TID3v2 tag = LoadedFrom(dir / "a.mp3");
    tag.SetTitle("New");
    ASSERT_TRUE(tag.Save(dir / "a.mp3"));
    EXPECT_EQ(ReadFile(dir / "a.mp3"),
              Id3v2Tag(TextFrame("TIT2", "New") + TextFrame("TPE1", "Artist")) + kAudio);

    // An unsynchronised tag: the zero after 0xFF is an inserted byte, not frame data.
    const std::string raw =
        TextFrame("TIT2", "Old") + "PRIV" + test::BigEndian(2) + std::string("\0\0\xFF\0\xE0", 5);
    WriteFile(dir / "b.mp3", Id3v2Header(3, raw.size(), 0x80) + raw + kAudio);
    tag = LoadedFrom(dir / "b.mp3");
    ASSERT_EQ(tag.Title(), "Old");
    tag.SetTitle("New");
    ASSERT_TRUE(tag.Save(dir / "b.mp3"));
    EXPECT_EQ(ReadFile(dir / "b.mp3"),
              Id3v2Tag(TextFrame("TIT2", "New") + Id3v2Frame("PRIV", "\xFF\xE0")) + kAudio);
}

}  // namespace
}  // namespace tavrin
