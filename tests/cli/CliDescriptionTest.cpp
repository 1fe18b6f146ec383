#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tavrin
