// Saving tags keeps what the file is: its links, owner, group and mode, and the protection of
// files the user may not write; on MP3 files LAME made.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "mp3/ID3v1.h"
#include "mp3/ID3v2.h"
#include "platform/fileio/SafeReplace.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::kNobody;
using test::NamesIn;
using test::ReadFile;
using test::StatOf;
using test::TempDir;
using test::WriteFile;

bool SaveBoth(const std::string& file, const std::string& title) {
    TID3v1 v1;
    TID3v2 v2;
    v1.SetTitle(title);
    v2.SetTitle(title);
    return v1.Save(file) && v2.Save(file);
}

std::string TitlesOf(const std::string& file) {
    TID3v1 v1;
    TID3v2 v2;
    v1.Load(file);
    v2.Load(file);
    return v1.Title() + "|" + v2.Title();
}

// tavrin-cli run as the user nobody, standard error into `err`.
int CliAsNobody(const TempDir& dir, const std::string& args, std::string* err) {
    const std::string errFile = dir / "stderr.txt";
    const int code = test::RunCommand("setpriv --reuid=65534 --regid=65534 --clear-groups '" +
                                      std::string(TAVRIN_BIN_DIR) + "/tavrin-cli' " + args +
                                      " 2>'" + errFile + "'");
    *err = ReadFile(errFile);
    fs::remove(errFile);
    return code;
}

class TagSaveIdentity : public ::testing::Test {
  protected:
    void SetUp() override {
        mp3 = test::MakeToneMp3(dir, "tone", "-b 128");
        ASSERT_FALSE(mp3.empty());
        fs::remove(dir / "tone.wav");
        fs::remove(dir / "tone.py");
        audio = ReadFile(mp3);
    }
    TempDir dir;
    std::string mp3;
    std::string audio;
};

TEST_F(TagSaveIdentity, HardLinksAndSymbolicLinksSeeTheNewTags) {
    fs::create_hard_link(mp3, dir / "other name.mp3");
    fs::create_symlink("tone.mp3", dir / "link.mp3");
    const ino_t inode = StatOf(mp3).st_ino;
    ASSERT_TRUE(SaveBoth(dir / "other name.mp3", "Through the hard link"));
    EXPECT_EQ(TitlesOf(mp3), "Through the hard link|Through the hard link");
    EXPECT_EQ(StatOf(mp3).st_ino, inode);
    EXPECT_EQ(StatOf(mp3).st_nlink, 2u);
    ASSERT_TRUE(SaveBoth(dir / "link.mp3", "Through the link"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.mp3"));
    EXPECT_EQ(TitlesOf(dir / "other name.mp3"), "Through the link|Through the link");
    const std::string saved = ReadFile(mp3);
    EXPECT_EQ(saved.substr(saved.size() - 128 - audio.size(), audio.size()), audio);
    EXPECT_EQ(NamesIn(dir.Path()),
              (std::set<std::string>{"tone.mp3", "other name.mp3", "link.mp3"}));
}

TEST_F(TagSaveIdentity, ANameOf255BytesAndStaleTemporaries) {
    const std::string longName = std::string(251, 'L') + ".mp3";
    fs::rename(mp3, dir / longName);
    const std::string stale = fileio::TemporaryPrefix(longName) + "k1ll3d.tmp";
    WriteFile(dir / stale, audio);                                 // left by a save that was killed
    WriteFile(dir / (longName.substr(0, 254) + "~"), "not ours");  // an editor's backup
    ASSERT_TRUE(SaveBoth(dir / longName, "Long"));
    EXPECT_EQ(TitlesOf(dir / longName), "Long|Long");
    EXPECT_EQ(NamesIn(dir.Path()),
              (std::set<std::string>{longName, longName.substr(0, 254) + "~"}));
}

TEST_F(TagSaveIdentity, RootKeepsAnotherUsersOwnerGroupAndMode) {
    if (!test::IsRoot()) GTEST_SKIP() << "needs root to own files of another user";
    ASSERT_EQ(::chown(mp3.c_str(), kNobody, kNobody), 0);
    ::chmod(mp3.c_str(), 0640);
    ASSERT_TRUE(SaveBoth(mp3, "By root"));
    EXPECT_EQ(TitlesOf(mp3), "By root|By root");
    EXPECT_EQ(StatOf(mp3).st_uid, kNobody);
    EXPECT_EQ(StatOf(mp3).st_gid, kNobody);
    EXPECT_EQ(StatOf(mp3).st_mode & 07777, 0640u);

    // Root's write needs no write bit, and a file of another user is not unlocked.
    ::chmod(mp3.c_str(), 0444);
    ASSERT_TRUE(SaveBoth(mp3, "Read-only"));
    EXPECT_EQ(StatOf(mp3).st_mode & 07777, 0444u);
}

TEST_F(TagSaveIdentity, AnotherUserMayNotTagRootsFileButUnlocksTheirOwn) {
    if (!test::IsRoot()) GTEST_SKIP() << "needs root to act as another user";
    ::chmod(dir.Path().c_str(), 0777);
    ::chmod(mp3.c_str(), 0644);
    std::string err;
    for (const char* versions : {"--v1", "--v2"}) {
        EXPECT_EQ(CliAsNobody(dir, std::string("tag ") + versions + " --title Theirs '" + mp3 + "'",
                              &err),
                  1);
        const std::string which = versions[3] == '1' ? "V1" : "V2";
        EXPECT_NE(
            err.find("Can not save " + which + " tag to the file: " + mp3 + "\nPermission denied"),
            std::string::npos)
            << err;
    }
    EXPECT_EQ(ReadFile(mp3), audio);
    EXPECT_EQ(StatOf(mp3).st_uid, 0u);

    // The user's own read-only file: made writable, then saved, as the tag saves do.
    const std::string own = dir / "own.mp3";
    fs::copy_file(mp3, own);
    ASSERT_EQ(::chown(own.c_str(), kNobody, kNobody), 0);
    ::chmod(own.c_str(), 0444);
    EXPECT_EQ(CliAsNobody(dir, "tag --v1 --v2 --title Mine '" + own + "'", &err), 0) << err;
    EXPECT_EQ(TitlesOf(own), "Mine|Mine");
    EXPECT_EQ(StatOf(own).st_mode & 07777, 0644u);
    EXPECT_EQ(StatOf(own).st_uid, kNobody);
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string>{"tone.mp3", "own.mp3"}));
}

}  // namespace
}  // namespace tavrin
