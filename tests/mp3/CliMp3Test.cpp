#include <gtest/gtest.h>

#include <filesystem>

#include "mp3/ID3v1.h"
#include "mp3/ID3v2.h"
#include "tests/mp3/Mp3Bytes.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Runs tavrin-cli; standard output goes to `out`, standard error to `err`.
int Cli(const TempDir& dir, const std::string& args, std::string* out, std::string* err) {
    const std::string errFile = dir / "stderr.txt";
    int code = test::RunCommand(
        std::string("'") + TAVRIN_BIN_DIR + "/tavrin-cli' " + args + " 2>'" + errFile + "'", out);
    *err = ReadFile(errFile);
    return code;
}

TEST(CliMp3, PrintsTheBlockWithEscapes) {
    TempDir dir;
    const std::string tag = test::Id3v2Tag(test::TextFrame("TIT2",
                                                           "A\x01"
                                                           "B\tC\\D") +
                                           test::TextFrame("TRCK", "3/9"));
    const std::string bytes = tag + test::Frames(test::Header{}, 417, 200) +
                              test::Id3v1Tail("v1 title", "Artist", "Album", "2002", "L1\nL2", 17);
    WriteFile(dir / "a.mp3", bytes);
    std::string out, err;
    ASSERT_EQ(Cli(dir, "mp3 " + test::ShellQuoted(dir / "a.mp3"), &out, &err), 0) << err;
    const std::string size = std::to_string(bytes.size());
    EXPECT_EQ(out,
              "Analysed: yes\n"
              "Valid: yes\n"
              "FileSize: " +
                  size +
                  " bytes\n"
                  "MPEG Type: MPEG 1 Layer III\n"
                  "BitRate: CBR 128 kbit/s\n"
                  "Sample rate: 44100 hz\n"
                  "Mode: Joint Stereo\n"
                  "Duration: 5.2 sec.\n"
                  "Encoder: FhG\n"
                  "Encoder Id: 2\n"
                  "Frame Offset: 0\n"
                  "Frame Length: 417\n"
                  "VBR: none\n"
                  "VBR Frames: 0\n"
                  "VBR Bytes: 0\n"
                  "Duration Seconds: 5.220500\n"
                  "ID3v1: present\n"
                  "ID3v1 Revision: 1\n"
                  "ID3v1 Title: v1 title\n"
                  "ID3v1 Artist: Artist\n"
                  "ID3v1 Album: Album\n"
                  "ID3v1 Year: 2002\n"
                  "ID3v1 Comment: L1\\nL2\n"
                  "ID3v1 Track: 0\n"
                  "ID3v1 Genre: 17\n"
                  "ID3v2: present\n"
                  "ID3v2 Version: 3\n"
                  "ID3v2 Size: " +
                  std::to_string(tag.size()) +
                  "\n"
                  "ID3v2 Title: A\\x01B\\tC\\\\D\n"
                  "ID3v2 Artist: \n"
                  "ID3v2 Album: \n"
                  "ID3v2 Year: \n"
                  "ID3v2 Genre: \n"
                  "ID3v2 Comment: \n"
                  "ID3v2 Track: 3\n");
}

TEST(CliMp3, UnicodeTextsArePrintedDecoded) {
    TempDir dir;
    // LAME's UTF-16 in a version 2.3 tag, mutagen's UTF-8 in a version 2.4 tag.
    const std::string v23 =
        test::Id3v2Tag(test::Id3v2Frame("TIT2", "\x01" + test::Utf16("Lame\tTitle")) +
                       test::Id3v2Frame("COMM", std::string("\x01"
                                                            "deu\0\0",
                                                            6) +
                                                    test::Utf16("Line\nTwo")));
    const std::string v24 = test::Id3v2TagOf(
        4, test::Id3v24Frame("TPE1", std::string("\x03\xC3\x84rtist \xE2\x98\x83\0", 14)) +
               test::Id3v24Frame("TDRC", std::string("\x03"
                                                     "2016-05-01\0",
                                                     12)));
    const std::string audio = test::Frames(test::Header{}, 417, 20);
    WriteFile(dir / "a.mp3", v23 + audio);
    WriteFile(dir / "b.mp3", v24 + audio);
    std::string out, err;
    ASSERT_EQ(
        Cli(dir, "mp3 " + test::ShellQuoted(dir / "a.mp3") + " " + test::ShellQuoted(dir / "b.mp3"),
            &out, &err),
        0)
        << err;
    EXPECT_NE(out.find("ID3v2 Title: Lame\\tTitle\n"), std::string::npos) << out;
    EXPECT_NE(out.find("ID3v2 Comment: Line\\nTwo\n"), std::string::npos) << out;
    EXPECT_NE(out.find("ID3v2 Version: 4\n"), std::string::npos) << out;
    EXPECT_NE(out.find("ID3v2 Artist: \xC3\x84rtist \xE2\x98\x83\n"), std::string::npos) << out;
    EXPECT_NE(out.find("ID3v2 Year: 2016-05-01\n"), std::string::npos) << out;
}

TEST(CliMp3, SeveralFilesAndFailures) {
    TempDir dir;
    WriteFile(dir / "zero.mp3", std::string(200, '\0'));
    WriteFile(dir / "tiny.mp3", "ID3");
    std::string out, err;
    ASSERT_EQ(Cli(dir,
                  "mp3 " + test::ShellQuoted(dir / "zero.mp3") + " " +
                      test::ShellQuoted(dir / "tiny.mp3"),
                  &out, &err),
              1);
    EXPECT_EQ(out.rfind("File: " + dir / "zero.mp3" + "\nAnalysed: yes\nValid: no\n", 0), 0u)
        << out;
    EXPECT_NE(out.find("\n\nFile: " + dir / "tiny.mp3" + "\nAnalysed: no\n"), std::string::npos);
    EXPECT_NE(out.find("ID3v1: unreadable\n"), std::string::npos);
    EXPECT_NE(out.find("ID3v2: absent\n"), std::string::npos);  // zero.mp3
    EXPECT_EQ(err, "");  // readable files: no error text, only "Analysed: no"

    ASSERT_EQ(Cli(dir, "mp3 " + test::ShellQuoted(dir / "missing.mp3"), &out, &err), 1);
    EXPECT_NE(err.find("cannot read"), std::string::npos);
    EXPECT_EQ(Cli(dir, "mp3", &out, &err), 2);
    EXPECT_EQ(Cli(dir, "mp3 --bogus " + test::ShellQuoted(dir / "zero.mp3"), &out, &err), 2);
}

// Every call below runs "tag" on a.mp3 in the folder.
class CliTag : public ::testing::Test {
  protected:
    int Tag(const std::string& options) {
        std::string out;
        return Cli(dir, "tag " + options + " " + test::ShellQuoted(dir / "a.mp3"), &out, &err);
    }
    TempDir dir;
    std::string err;
    const std::string audio = test::Frames(test::Header{}, 417, 3);
};

TEST_F(CliTag, WritesTheChosenVersions) {
    WriteFile(dir / "a.mp3", audio);
    ASSERT_EQ(Tag("--title T --genre Rock"), 0) << err;  // ID3v1 only by default
    EXPECT_EQ(ReadFile(dir / "a.mp3"), audio + test::Id3v1Tail("T", "", "", "", "", 17));

    ASSERT_EQ(Tag("--v2 --artist 'A B' --genre 'Free text'"), 0) << err;
    TID3v2 v2;
    ASSERT_TRUE(v2.Load(dir / "a.mp3"));
    EXPECT_EQ(v2.Artist(), "A B");
    EXPECT_EQ(v2.Genre(), "Free text");
    EXPECT_EQ(v2.Title(), "");  // the ID3v2 page started empty
    TID3v1 v1;
    ASSERT_TRUE(v1.Load(dir / "a.mp3"));
    EXPECT_EQ(v1.Artist(), "");  // not written
}

TEST_F(CliTag, UnchangedFieldsAndTheGenreByteStay) {
    std::string tail = test::Id3v1Tail("Old", "Artist", "Album", "1999", "c", 200);
    tail[126] = 4;
    const std::string v2tag =
        test::Id3v2Tag(test::TextFrame("TIT2", "Old") + test::TextFrame("TRCK", "4/10") +
                       test::Id3v2Frame("APIC", std::string(600, 'p')));
    WriteFile(dir / "a.mp3", v2tag + audio + tail);
    ASSERT_EQ(Tag("--v1 --v2 --year 2003"), 0) << err;
    tail.replace(93, 4, "2003");
    const std::string newV2 = test::Id3v2Tag(
        test::TextFrame("TIT2", "Old") + test::TextFrame("TRCK", "4/10") +
        test::Id3v2Frame("APIC", std::string(600, 'p')) + test::TextFrame("TYER", "2003"));
    EXPECT_EQ(ReadFile(dir / "a.mp3"), newV2 + audio + tail);
}

TEST_F(CliTag, UsageErrorsAndFailedSaves) {
    WriteFile(dir / "a.mp3", audio);
    EXPECT_EQ(Tag("--genre Nonsense"), 2);
    EXPECT_EQ(Tag("--title"), 2);
    EXPECT_EQ(ReadFile(dir / "a.mp3"), audio);

    WriteFile(dir / "a.mp3", "0123456789abc");  // too short for an ID3v1 tail only
    EXPECT_EQ(Tag("--v1 --v2 --title T"), 1);
    EXPECT_NE(err.find("Can not save V1 tag to the file: " + dir / "a.mp3"), std::string::npos);
    EXPECT_EQ(err.find("Can not save V2 tag"), std::string::npos);
}

TEST_F(CliTag, OtherTaggersTagsKeepTheirVersionAndFrames) {
    const std::string others =
        test::Id3v24Frame("TPE1", std::string("\x03\xC3\x84rtist\0", 9)) +
        test::Id3v24Frame("APIC", std::string("\0image/png\0\x03\0", 14) + std::string(700, 'p'));
    WriteFile(dir / "a.mp3",
              test::Id3v2TagOf(4, test::Id3v24Frame("TIT2", std::string("\x03Old\0", 5)) + others) +
                  audio);
    ASSERT_EQ(Tag("--v2 --title New"), 0) << err;
    EXPECT_EQ(
        ReadFile(dir / "a.mp3"),
        test::Id3v2TagOf(4, test::Id3v24Frame("TIT2", std::string("\0New", 4)) + others) + audio);

    // A version 2.2 frame without a version 2.3 form: not saved, and the frame is named.
    const std::string tag22 = test::Id3v2TagOf(
        2, test::Id3v22Frame("TT2", std::string("\0Old", 4)) + test::Id3v22Frame("CRM", "owner"));
    WriteFile(dir / "a.mp3", tag22 + audio);
    EXPECT_EQ(Tag("--v2 --title New"), 1);
    EXPECT_NE(err.find("Can not save V2 tag to the file: " + dir / "a.mp3" +
                       " (ID3v2.2 frames without an ID3v2.3 form: CRM)"),
              std::string::npos)
        << err;
    EXPECT_EQ(ReadFile(dir / "a.mp3").substr(0, tag22.size()), tag22);
}

// A write that fails half-way (here: the file size limit, with its signal ignored) leaves the
// MP3 file as it was and no temporary file behind.
TEST_F(CliTag, FailedWritesLeaveTheFileWhole) {
    const std::string original = test::Id3v2Tag(test::TextFrame("TIT2", "Old")) +
                                 test::Frames(test::Header{}, 417, 720);  // about 300 KB
    WriteFile(dir / "a.mp3", original);
    WriteFile(dir / "limited.sh", "trap '' XFSZ\nulimit -f 100\nexec '" +
                                      std::string(TAVRIN_BIN_DIR) + "/tavrin-cli' tag --v1 " +
                                      "--v2 --title New " + test::ShellQuoted(dir / "a.mp3") +
                                      " 2>&1\n");
    std::string out;
    EXPECT_EQ(test::RunCommand("sh " + test::ShellQuoted(dir / "limited.sh"), &out), 1);
    EXPECT_NE(out.find("Can not save V1 tag"), std::string::npos) << out;
    EXPECT_NE(out.find("Can not save V2 tag"), std::string::npos) << out;
    EXPECT_EQ(ReadFile(dir / "a.mp3"), original);
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().rfind(".tavrin-", 0), std::string::npos)
            << entry.path();
}

}  // namespace
}  // namespace tavrin
