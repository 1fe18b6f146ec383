// The zip library keeps what an archive is when it writes it, also through its temporary
// folder and when the archive is left empty: the link's target is written, the hard links
// share the new archive, the mode stays.
#include "InfozipTestSupport.h"

using namespace iztest;

namespace {

struct stat StatOf(const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return st;
}

TEST(ZipIdentity, LinksAndModeStayThroughTheTemporaryFolderAndAnEmptyArchive) {
    TempDir dir;
    TempDir temp;
    WriteFile(dir / "a.txt", "a");
    WriteFile(dir / "b.txt", "b");
    ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && zip -q real.zip a.txt; echo $?"), "0\n");
    ASSERT_EQ(chmod((dir / "real.zip").c_str(), 0604), 0);
    ASSERT_EQ(symlink("real.zip", (dir / "link.zip").c_str()), 0);
    ASSERT_EQ(link((dir / "real.zip").c_str(), (dir / "hard.zip").c_str()), 0);
    const ino_t inode = StatOf(dir / "real.zip").st_ino;

    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    std::string tempPath = temp.Path();
    zip.options.szTempDir = tempPath.data();
    ASSERT_EQ(zip.Run(dir / "link.zip", {dir / "b.txt"}), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "hard.zip"), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(StatOf(dir / "real.zip").st_ino, inode);
    EXPECT_EQ(StatOf(dir / "real.zip").st_mode & 07777, 0604u);
    EXPECT_TRUE(S_ISLNK(StatOf(dir / "link.zip").st_mode));

    // Every entry deleted: the empty archive is written the same way.
    zip.options.szTempDir = nullptr;
    zip.options.fDeleteEntries = TRUE;
    ASSERT_EQ(zip.Run(dir / "link.zip", {"*"}), ZE_OK);
    EXPECT_EQ(ReadFile(dir / "hard.zip").size(), 22u);
    EXPECT_EQ(StatOf(dir / "real.zip").st_ino, inode);
    EXPECT_EQ(StatOf(dir / "real.zip").st_mode & 07777, 0604u);

    // A link to an archive not there yet makes the archive where it leads.
    zip.options.fDeleteEntries = FALSE;
    ASSERT_EQ(symlink("made.zip", (dir / "new link.zip").c_str()), 0);
    ASSERT_EQ(zip.Run(dir / "new link.zip", {dir / "a.txt"}), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "made.zip"), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(S_ISLNK(StatOf(dir / "new link.zip").st_mode));

    EXPECT_EQ(Tree(temp.Path()), std::vector<std::string>{});
    EXPECT_EQ(Tree(dir.Path()), (std::vector<std::string>{"a.txt", "b.txt", "hard.zip", "link.zip",
                                                          "made.zip", "new link.zip", "real.zip"}));
}

}  // namespace
