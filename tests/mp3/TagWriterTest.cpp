#include <gtest/gtest.h>

#include "mp3/TagWriter.h"
#include "tests/mp3/Mp3Bytes.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kAudio = test::Frames(test::Header{}, 417, 3);

TEST(TagWriter, BothBoxesOnAnUntaggedFile) {
    TempDir dir;
    const std::string file = dir / "a.mp3";
    WriteFile(file, kAudio);
    TID3v1 v1;
    TID3v2 v2;
    ID3v1Texts t1;
    t1.title = "Title one that is longer than thirty characters";
    t1.genrePosition = 18;  // genre 17
    ID3v2Texts t2;
    t2.title = "Title two  ";
    TagWriteResult result = IDTagWrite(file, v1, v2, true, t1, true, t2);
    EXPECT_TRUE(result.messages.empty());
    EXPECT_EQ(ReadFile(file), test::Id3v2Tag(test::TextFrame("TIT2", "Title two")) + kAudio +
                                  test::Id3v1Tail(t1.title.substr(0, 30), "", "", "", "", 17));
}

TEST(TagWriter, GenrePositions) {
    EXPECT_EQ(GenreIndexForPosition(0), 255);   // the empty entry
    EXPECT_EQ(GenreIndexForPosition(-1), 254);  // nothing selected
    EXPECT_EQ(GenreIndexForPosition(1), 0);
    EXPECT_EQ(GenreIndexForPosition(148), 147);
    EXPECT_EQ(GenrePositionForIndex(147), 148);
    EXPECT_EQ(GenrePositionForIndex(148), 0);
    EXPECT_EQ(GenrePositionForIndex(255), 0);
}

TEST(TagWriter, OnlyTheCheckedVersionIsWritten) {
    TempDir dir;
    const std::string file = dir / "a.mp3";
    WriteFile(file, kAudio);
    TID3v1 v1;
    TID3v2 v2;
    ID3v2Texts t2;
    t2.artist = "A";
    EXPECT_TRUE(IDTagWrite(file, v1, v2, false, {}, true, t2).messages.empty());
    EXPECT_EQ(ReadFile(file), test::Id3v2Tag(test::TextFrame("TPE1", "A")) + kAudio);
}

TEST(TagWriter, OneFailureDoesNotStopTheOther) {
    TempDir dir;
    TID3v1 v1;
    TID3v2 v2;
    // Too short for an ID3v1 tail, long enough for an ID3v2 rebuild.
    const std::string file = dir / "short.mp3";
    WriteFile(file, "0123456789abc");
    ID3v2Texts t2;
    t2.title = "T";
    TagWriteResult result = IDTagWrite(file, v1, v2, true, {}, true, t2);
    EXPECT_TRUE(result.v1Failed);
    EXPECT_FALSE(result.v2Failed);
    EXPECT_EQ(result.messages,
              std::vector<std::string>{"Can not save V1 tag to the file: " + file});
    EXPECT_EQ(ReadFile(file), test::Id3v2Tag(test::TextFrame("TIT2", "T")) + "0123456789abc");

    const std::string missing = dir / "missing.mp3";
    result = IDTagWrite(missing, v1, v2, true, {}, true, t2);
    EXPECT_EQ(result.messages,
              (std::vector<std::string>{
                  "Can not save V1 tag to the file: " + missing + "\nNo such file or directory",
                  "Can not save V2 tag to the file: " + missing + "\nNo such file or directory"}));
}

}  // namespace
}  // namespace tavrin
