#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "mp3/ID3v1.h"
#include "tests/mp3/Mp3Bytes.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::Id3v1Tail;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kAudio = test::Frames(test::Header{}, 417, 3);

bool OwnerMayWrite(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR);
}

TEST(ID3v1Revision, DecidedByBytes125And126) {
    struct Case {
        char b125, b126;
        int revision;
        std::size_t commentLength;
        int track;
    };
    const Case cases[] = {
        {'\0', '\x07', 2, 28, 7},  // ID3v1.1 with track 7
        {' ', ' ', 1, 28, 0},      // spaces: ID3v1.0, trimmed from the comment
        {'x', 'y', 1, 30, 0},      // ID3v1.0: the comment runs to byte 126
        {' ', 'A', 2, 28, 'A'},    // a letter after a space counts as the track number
        {' ', '\0', 2, 28, 0},     // a space then a zero is not two spaces
        {'\0', '\0', 1, 28, 0},    // both zero: ID3v1.0, the zeros are trimmed
        {'x', '\0', 1, 29, 0},     // text in 125: ID3v1.0
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string tail = Id3v1Tail("T", "A", "B", "2002", std::string(28, 'c'), 17);
        tail[125] = c.b125;
        tail[126] = c.b126;
        WriteFile(dir / "a.mp3", kAudio + tail);
        TID3v1 tag;
        ASSERT_TRUE(tag.Load(dir / "a.mp3"));
        SCOPED_TRACE(testing::Message() << int(c.b125) << "," << int(c.b126));
        EXPECT_TRUE(tag.Present());
        EXPECT_EQ(tag.Revision(), c.revision);
        EXPECT_EQ(tag.Comment().size(), c.commentLength);
        EXPECT_EQ(tag.Track(), c.track);
        EXPECT_EQ(tag.GenreIndex(), 17);
    }
}

TEST(ID3v1Trimming, OnlyTrailingBlanksAndControlsGo) {
    TempDir dir;
    std::string tail = Id3v1Tail(std::string("  lead\0mid \t", 12), "caf\xE9", "", "99 ",
                                 std::string(30, 'z'), 200);
    WriteFile(dir / "a.mp3", kAudio + tail);
    TID3v1 tag;
    ASSERT_TRUE(tag.Load(dir / "a.mp3"));
    EXPECT_EQ(tag.Title(), std::string("  lead\0mid", 10));  // inner zero stays
    EXPECT_EQ(tag.Artist(), "caf\xE9");                      // bytes above 0x7F are text
    EXPECT_EQ(tag.Album(), "");
    EXPECT_EQ(tag.Year(), "99");
    EXPECT_EQ(tag.Comment(), std::string(30, 'z'));
    EXPECT_EQ(tag.GenreIndex(), 200);  // kept as it is, outside the list or not
}

TEST(ID3v1Setters, TrimThenCutToTheFieldWidth) {
    TID3v1 tag;
    tag.SetTitle(std::string(35, 't'));
    EXPECT_EQ(tag.Title(), std::string(30, 't'));
    tag.SetArtist("name \t\r\n\x01");
    EXPECT_EQ(tag.Artist(), "name");
    // Trimming comes first: blanks that the cut leaves at the end stay.
    tag.SetAlbum(std::string(28, 'a') + "  bb");
    EXPECT_EQ(tag.Album(), std::string(28, 'a') + "  ");
    tag.SetYear("20021");
    EXPECT_EQ(tag.Year(), "2002");
    tag.SetComment(" x ");
    EXPECT_EQ(tag.Comment(), " x");
    tag.SetGenreIndex(254);
    EXPECT_EQ(tag.GenreIndex(), 254);
}

TEST(ID3v1ShortTail, FilesBelow128BytesFailEverything) {
    TempDir dir;
    for (std::size_t size : {0, 3, 127}) {
        const std::string bytes = std::string("TAG") + std::string(size, 'x');
        const std::string content = bytes.substr(0, size);
        WriteFile(dir / "s.mp3", content);
        TID3v1 tag;
        tag.SetTitle("kept?");
        EXPECT_FALSE(tag.Load(dir / "s.mp3")) << size;
        EXPECT_EQ(tag.Title(), "");  // a failed load leaves the object cleared
        tag.SetTitle("new");
        EXPECT_FALSE(tag.Save(dir / "s.mp3"));
        EXPECT_FALSE(tag.Strip(dir / "s.mp3"));
        EXPECT_EQ(ReadFile(dir / "s.mp3"), content);
    }
    TID3v1 tag;
    EXPECT_FALSE(tag.Load(dir / "missing.mp3"));
    EXPECT_FALSE(tag.Save(dir / "missing.mp3"));
    EXPECT_FALSE(test::FileExists(dir / "missing.mp3"));
    EXPECT_FALSE(tag.Load(dir.Path()));  // a folder
}

TEST(ID3v1Sizes, SaveAppendsOrReplacesStripRemoves) {
    TempDir dir;
    const std::string file = dir / "a.mp3";
    WriteFile(file, kAudio);
    TID3v1 tag;
    ASSERT_TRUE(tag.Load(file));
    EXPECT_FALSE(tag.Present());
    EXPECT_TRUE(tag.Strip(file));  // nothing to strip
    EXPECT_EQ(ReadFile(file), kAudio);

    tag.SetTitle("Title");
    tag.SetArtist("Artist");
    tag.SetAlbum("Album");
    tag.SetYear("1999");
    tag.SetComment("Comment");
    tag.SetGenreIndex(13);
    ASSERT_TRUE(tag.Save(file));
    std::string expected = Id3v1Tail("Title", "Artist", "Album", "1999", "Comment", 13);
    EXPECT_EQ(ReadFile(file), kAudio + expected);  // grew by exactly 128 bytes

    tag.SetTitle("Other");
    ASSERT_TRUE(tag.Save(file));
    expected = Id3v1Tail("Other", "Artist", "Album", "1999", "Comment", 13);
    EXPECT_EQ(ReadFile(file), kAudio + expected);  // replaced in place, same size

    EXPECT_TRUE(tag.Strip(file));
    EXPECT_EQ(ReadFile(file), kAudio);
}

TEST(ID3v1Sizes, TrackIsWrittenBackOverTheCommentEnd) {
    TempDir dir;
    const std::string file = dir / "a.mp3";
    std::string tail = Id3v1Tail("T", "", "", "", "short", 255);
    tail[126] = 9;
    WriteFile(file, kAudio + tail);
    TID3v1 tag;
    ASSERT_TRUE(tag.Load(file));
    ASSERT_EQ(tag.Track(), 9);
    tag.SetComment(std::string(30, 'c'));
    ASSERT_TRUE(tag.Save(file));
    std::string expected = Id3v1Tail("T", "", "", "", std::string(30, 'c'), 255);
    expected[125] = 0;
    expected[126] = 9;
    EXPECT_EQ(ReadFile(file), kAudio + expected);
    ASSERT_TRUE(tag.Load(file));
    EXPECT_EQ(tag.Comment(), std::string(28, 'c'));
}

TEST(ID3v1ReadOnly, SaveAndStripClearTheReadOnlyAttribute) {
    TempDir dir;
    const std::string file = dir / "ro.mp3";
    WriteFile(file, kAudio);
    namespace fs = std::filesystem;
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
    ASSERT_FALSE(OwnerMayWrite(file));
    TID3v1 tag;
    tag.SetTitle("x");
    ASSERT_TRUE(tag.Save(file));
    EXPECT_TRUE(OwnerMayWrite(file));
    EXPECT_EQ(ReadFile(file).size(), kAudio.size() + 128);

    fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
    ASSERT_TRUE(tag.Strip(file));
    EXPECT_TRUE(OwnerMayWrite(file));
    EXPECT_EQ(ReadFile(file), kAudio);
}

}  // namespace
}  // namespace tavrin
