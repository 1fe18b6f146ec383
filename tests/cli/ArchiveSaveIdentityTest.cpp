// Saving into an archive (tavrin-cli zip and diz-set, as packing and "Save info" do) keeps what
// the archive is: its links, owner, group and mode, and the protection of archives the user
// may not write; failures say why. On archives Debian's zip made.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "platform/fileio/SafeReplace.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::kNobody;
using test::NamesIn;
using test::ReadFile;
using test::RunCommand;
using test::StatOf;
using test::TempDir;
using test::WriteFile;

class ArchiveSaveIdentity : public ::testing::Test {
  protected:
    void SetUp() override {
        ::chmod(dir.Path().c_str(), 0777);
        ::chmod(temp.Path().c_str(), 0777);
        WriteFile(dir / "data.txt", "data\n");
        WriteFile(dir / "extra.txt", "extra\n");
        archive = dir / "a.zip";
        ASSERT_EQ(RunCommand("cd " + test::ShellQuoted(dir.Path()) + " && zip -q a.zip data.txt"),
                  0);
        ::chmod(archive.c_str(), 0644);
    }
    // tavrin-cli with `input` on its standard input, as `prefix` (for example setpriv) runs
    // it; standard error in `err`.
    int Cli(const std::string& args, const std::string& input = "", std::string* err = nullptr,
            const std::string& prefix = "") {
        const std::string errFile = temp / "stderr.txt";
        const int code = RunCommand(
            "printf '" + input + "' | TMPDIR=" + test::ShellQuoted(temp.Path()) + " " + prefix +
            " '" + TAVRIN_BIN_DIR + "/tavrin-cli' " + args + " 2>" + test::ShellQuoted(errFile));
        if (err) *err = ReadFile(errFile);
        fs::remove(errFile);
        return code;
    }
    int CliAsNobody(const std::string& args, const std::string& input, std::string* err) {
        return Cli(args, input, err, "setpriv --reuid=65534 --regid=65534 --clear-groups");
    }
    TempDir dir;
    TempDir temp;  // the system's temporary folder for the runs
    std::string archive;
};

TEST_F(ArchiveSaveIdentity, LinksAreFollowedAndEveryHardLinkSeesTheSave) {
    fs::create_symlink("a.zip", dir / "link.zip");
    fs::create_hard_link(archive, dir / "other name.zip");
    const ino_t inode = StatOf(archive).st_ino;
    ASSERT_EQ(Cli("diz-set " + test::ShellQuoted(dir / "link.zip"), "through the link"), 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link.zip"));
    EXPECT_EQ(test::UnzipEntry(archive, "file_id.diz"), "through the link");
    ASSERT_EQ(Cli("zip " + test::ShellQuoted(dir / "other name.zip") + " " +
                  test::ShellQuoted(dir / "extra.txt")),
              0);
    EXPECT_EQ(test::UnzipNames(archive), "data.txt\nfile_id.diz\nextra.txt\n");
    EXPECT_EQ(StatOf(archive).st_ino, inode);
    EXPECT_EQ(StatOf(archive).st_nlink, 2u);
    EXPECT_EQ(RunCommand("unzip -tqq " + test::ShellQuoted(archive)), 0);
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string>{"a.zip", "link.zip", "other name.zip",
                                                          "data.txt", "extra.txt"}));
    EXPECT_TRUE(NamesIn(temp.Path()).empty());
}

TEST_F(ArchiveSaveIdentity, RootKeepsAnotherUsersOwnerGroupAndMode) {
    if (!test::IsRoot()) GTEST_SKIP() << "needs root to own files of another user";
    ASSERT_EQ(::chown(archive.c_str(), kNobody, kNobody), 0);
    ::chmod(archive.c_str(), 0640);
    ASSERT_EQ(Cli("diz-set " + test::ShellQuoted(archive), "by root"), 0);
    ASSERT_EQ(Cli("zip " + test::ShellQuoted(archive) + " " + test::ShellQuoted(dir / "extra.txt")),
              0);
    EXPECT_EQ(test::UnzipEntry(archive, "file_id.diz"), "by root");
    EXPECT_EQ(StatOf(archive).st_uid, kNobody);
    EXPECT_EQ(StatOf(archive).st_gid, kNobody);
    EXPECT_EQ(StatOf(archive).st_mode & 07777, 0640u);
}

TEST_F(ArchiveSaveIdentity, AnArchiveTheUserMayNotWriteIsRefusedWithTheReason) {
    if (!test::IsRoot()) GTEST_SKIP() << "needs root to act as another user";
    const std::string before = ReadFile(archive);
    std::string err;
    EXPECT_EQ(CliAsNobody("diz-set " + test::ShellQuoted(archive), "theirs", &err), 1);
    EXPECT_NE(
        err.find("zip I/O error: Permission denied\nzip error: Could not create output file (" +
                 archive + ")\ntavrin-cli: cannot write the description into " + archive +
                 ": the archive could not be created\n"),
        std::string::npos)
        << err;
    EXPECT_EQ(CliAsNobody(
                  "zip " + test::ShellQuoted(archive) + " " + test::ShellQuoted(dir / "extra.txt"),
                  "", &err),
              1);
    EXPECT_NE(err.find("zip I/O error: Permission denied\nzip error: Could not create output file"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("tavrin-cli: packing " + archive +
                       " failed: the archive could not be "
                       "created"),
              std::string::npos)
        << err;
    EXPECT_EQ(ReadFile(archive), before);
    EXPECT_EQ(StatOf(archive).st_uid, 0u);

    // The user's own read-only archive is not changed either, and stays read-only.
    ASSERT_EQ(::chown(archive.c_str(), kNobody, kNobody), 0);
    ::chmod(archive.c_str(), 0444);
    EXPECT_EQ(CliAsNobody("diz-set " + test::ShellQuoted(archive), "mine", &err), 1);
    EXPECT_NE(err.find("Permission denied"), std::string::npos) << err;
    EXPECT_EQ(ReadFile(archive), before);
    EXPECT_EQ(StatOf(archive).st_mode & 07777, 0444u);
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string>{"a.zip", "data.txt", "extra.txt"}));
    EXPECT_TRUE(NamesIn(temp.Path()).empty());
}

TEST_F(ArchiveSaveIdentity, ANameOf255BytesAndStaleTemporaries) {
    const std::string longName = std::string(251, 'z') + ".zip";
    fs::rename(archive, dir / longName);
    // What killed saves left: a temporary beside the archive and a description folder.
    const std::string stale = fileio::TemporaryPrefix(longName) + "k1ll3d.tmp";
    WriteFile(dir / stale, std::string(4096, 's'));
    fs::create_directory(temp / "tavrin-diz-k1ll3d");
    WriteFile(temp / "tavrin-diz-k1ll3d/file_id.diz", "left behind");
    ASSERT_EQ(Cli("diz-set " + test::ShellQuoted(dir / longName), "long"), 0);
    ASSERT_EQ(Cli("zip " + test::ShellQuoted(dir / longName) + " " +
                  test::ShellQuoted(dir / "extra.txt")),
              0);
    EXPECT_EQ(test::UnzipEntry(dir / longName, "file_id.diz"), "long");
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string>{longName, "data.txt", "extra.txt"}));
    EXPECT_TRUE(NamesIn(temp.Path()).empty());
}

// A write that fails half-way (the file size limit, its signal ignored) says why.
TEST_F(ArchiveSaveIdentity, AFailedWriteNamesItsCause) {
    WriteFile(dir / "big.txt", std::string(200000, 'b'));
    const std::string before = ReadFile(archive);
    WriteFile(temp / "limited.sh", "trap '' XFSZ\nulimit -f 100\nexec '" +
                                       std::string(TAVRIN_BIN_DIR) + "/tavrin-cli' zip --level 0 " +
                                       test::ShellQuoted(archive) + " " +
                                       test::ShellQuoted(dir / "big.txt") + "\n");
    std::string err;
    EXPECT_EQ(RunCommand("sh " + test::ShellQuoted(temp / "limited.sh") + " 2>&1", &err), 1);
    EXPECT_NE(err.find("zip I/O error: File too large"), std::string::npos) << err;
    EXPECT_NE(err.find("packing " + archive + " failed: the archive could not be written"),
              std::string::npos)
        << err;
    EXPECT_EQ(ReadFile(archive), before);
    EXPECT_EQ(NamesIn(dir.Path()),
              (std::set<std::string>{"a.zip", "data.txt", "extra.txt", "big.txt"}));
}

}  // namespace
}  // namespace tavrin
