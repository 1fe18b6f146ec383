#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::MakeZipWithPython;
using test::RunCommand;
using test::TempDir;
using test::WriteFile;

std::string Cli(const std::string& args) {
    return std::string("'") + TAVRIN_BIN_DIR + "/tavrin-cli' " + args + " 2>&1";
}

TEST(CliDescription, DizPrintsTheCaptionAndTheBytes) {
    TempDir dir;
    MakeZipWithPython(dir / "Archive.zip", {{"Archive.txt", "own\r\nname\xB0"}, {"x.nfo", "nfo"}});
    std::string out;
    EXPECT_EQ(RunCommand(Cli("diz '" + dir / "Archive.zip'"), &out), 0);
    EXPECT_EQ(out, "name: Archive.txt\nfound: yes\n--\nown\r\nname\xB0");
    EXPECT_EQ(RunCommand(Cli("diz --choice readme '" + dir / "Archive.zip'"), &out), 1);
    EXPECT_EQ(out, "name: readme.txt\nfound: no\n--\n");
    EXPECT_EQ(RunCommand(Cli("diz --choice custom=x.nfo '" + dir / "Archive.zip'"), &out), 0);
    EXPECT_EQ(out, "name: x.nfo\nfound: yes\n--\nnfo");
    WriteFile(dir / "names.ext", "none.txt\r\n<filename>.nfo\r\nx.nfo\r\n");
    EXPECT_EQ(RunCommand(Cli("diz --choice all-custom --custom-names '" + dir / "names.ext' '" +
                             dir / "Archive.zip'"),
                         &out),
              0);
    EXPECT_EQ(out, "name: x.nfo\nfound: yes\n--\nnfo");
    EXPECT_EQ(RunCommand(Cli("diz --choice bogus '" + dir / "Archive.zip'"), &out), 2);
}

// Long descriptions are printed whole (read again while printed); past the cap they are cut,
// and a description of zeros a gigabyte long prints its first 16 MiB of zeros, quickly.
TEST(CliDescription, DizStreamsLongDescriptionsAndCutsAtTheCap) {
    TempDir dir;
    std::string longText;
    for (int i = 0; longText.size() < 300000; ++i) longText += "line " + std::to_string(i) + "\r\n";
    MakeZipWithPython(dir / "long.zip", {{"file_id.diz", longText}});
    std::string out;
    EXPECT_EQ(RunCommand(Cli("diz '" + dir / "long.zip'"), &out), 0);
    EXPECT_EQ(out, "name: file_id.diz\nfound: yes\n--\n" + longText);

    test::MakeZeroBomb(dir / "zeros.zip", "readme.txt", std::uint64_t(1) << 30);
    EXPECT_EQ(RunCommand(Cli("diz '" + dir / "zeros.zip'"), &out), 0);
    EXPECT_EQ(out, "name: readme.txt\nfound: yes\n--\n" + std::string(16u << 20, '\0') +
                       "tavrin-cli: the description is longer than 16 MB; only its start was "
                       "printed\n");
}

// diz-set learns the name from the names alone: a damaged FILE_ID.DIZ is still the
// description it replaces (reading it would have failed and led to readme.txt).
TEST(CliDescription, DizSetFindsTheNameWithoutReadingTheOldText) {
    TempDir dir;
    MakeZipWithPython(dir / "d.zip",
                      {{"FILE_ID.DIZ", std::string(5000, 'D')}, {"readme.txt", "r"}});
    std::string bytes = test::ReadFile(dir / "d.zip");
    std::size_t at = bytes.find("PK\x03\x04");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 14] ^= 0x55;  // the local CRC; the central one is what counts
    std::size_t central = bytes.find("PK\x01\x02");
    bytes[central + 16] ^= 0x55;
    WriteFile(dir / "d.zip", bytes);
    std::string out;
    ASSERT_EQ(RunCommand("printf new | " + Cli("diz-set '" + dir / "d.zip'"), &out), 0) << out;
    EXPECT_EQ(test::UnzipNames(dir / "d.zip"), "file_id.diz\nreadme.txt\n");
    EXPECT_EQ(test::UnzipEntry(dir / "d.zip", "file_id.diz"), "new");
    EXPECT_EQ(test::UnzipEntry(dir / "d.zip", "readme.txt"), "r");
}

TEST(CliDescription, DizSetStoresLikeSaveInfo) {
    TempDir dir;
    MakeZipWithPython(dir / "Archive.zip", {{"Archive.txt", "old"}, {"keep.bin", "K"}});
    std::string out;
    // Without --name: under the name the automatic lookup finds.
    ASSERT_EQ(
        RunCommand("printf 'one\\ntwo\\n' | " + Cli("diz-set '" + dir / "Archive.zip'"), &out), 0)
        << out;
    RunCommand("unzip -p '" + dir / "Archive.zip' Archive.txt", &out);
    EXPECT_EQ(out, "one\r\ntwo\r\n");
    RunCommand("unzip -p '" + dir / "Archive.zip' keep.bin", &out);
    EXPECT_EQ(out, "K");
    // A new archive gets file_id.diz; --name chooses another.
    ASSERT_EQ(RunCommand("printf 'fresh' | " + Cli("diz-set '" + dir / "new.zip'"), &out), 0)
        << out;
    RunCommand("unzip -Z1 '" + dir / "new.zip'", &out);
    EXPECT_EQ(out, "file_id.diz\n");
    ASSERT_EQ(
        RunCommand("printf 'n' | " + Cli("diz-set --name info.nfo --level 0 '" + dir / "new.zip'"),
                   &out),
        0);
    RunCommand("unzip -Z1 '" + dir / "new.zip'", &out);
    EXPECT_EQ(out, "file_id.diz\ninfo.nfo\n");
    EXPECT_EQ(RunCommand("printf x | " + Cli("diz-set '" + dir / "no/folder/a.zip'"), &out), 1);
}

// Names keep their bytes: an archive named in UTF-8 or in Latin-1 bytes finds its own-name
// description, the names of a custom-names file are tried as they are stored (a wildcard name
// stands for its first match), and a description with a NUL byte is printed whole.
TEST(CliDescription, NamesAndContentsKeepTheirBytes) {
    TempDir dir;
    MakeZipWithPython(dir / "\xC3\xA9t\xC3\xA9.zip", {{"\xC3\xA9t\xC3\xA9.txt", "utf8"}});
    MakeZipWithPython(dir / "l1.zip", {{"x", "x"}});
    std::filesystem::rename(dir / "l1.zip", dir / "\xE9t\xE9.zip");
    std::string out;
    EXPECT_EQ(RunCommand(Cli("diz '" + dir / "\xC3\xA9t\xC3\xA9.zip'"), &out), 0);
    EXPECT_EQ(out, "name: \xC3\xA9t\xC3\xA9.txt\nfound: yes\n--\nutf8");
    EXPECT_EQ(RunCommand(Cli("diz --choice filename '" + dir / "\xE9t\xE9.zip'"), &out), 1);
    EXPECT_EQ(out, "name: \xE9t\xE9.txt\nfound: no\n--\n");

    const std::string text("before\0after\r\n\xC4\xB3", 17);
    MakeZipWithPython(dir / "w.zip", {{"docs/a.nfo", "nested"}, {"B.NFO", text}, {"c.nfo", "c"}});
    WriteFile(dir / "names.ext", "caf\xE9.nfo\r\n*.nfo\r\n");
    EXPECT_EQ(RunCommand(Cli("diz --choice all-custom --custom-names '" + dir / "names.ext' '" +
                             dir / "w.zip'"),
                         &out),
              0);
    EXPECT_EQ(out, "name: B.NFO\nfound: yes\n--\n" + text);
    EXPECT_EQ(RunCommand(Cli("diz --choice 'custom=caf\xE9.nfo' '" + dir / "w.zip'"), &out), 1);
    EXPECT_EQ(out, "name: caf\xE9.nfo\nfound: no\n--\n");
}

}  // namespace
}  // namespace tavrin
