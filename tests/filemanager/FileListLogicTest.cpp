#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "filemanager/DateText.h"
#include "filemanager/FileListLogic.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WorkingFolder;
using test::WriteFile;

std::vector<std::string> Captions(const FileListLogic& pane) {
    std::vector<std::string> names;
    for (const FileItem& item : pane.Items()) names.push_back(item.caption);
    return names;
}

const FileItem* Find(const FileListLogic& pane, const std::string& caption) {
    for (const FileItem& item : pane.Items())
        if (item.caption == caption) return &item;
    return nullptr;
}

std::time_t LocalTime(int y, int mo, int d, int h, int mi) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

void SetTime(const std::string& path, std::time_t when) {
    struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

class FileListLogicTest : public ::testing::Test {
  protected:
    FileListLogicTest() : cwd(dir.Path()) {}
    // A pane as the program sets one up: archive and normal files, listed folder first.
    FileListLogic MakePane(const std::string& mask = "*.*") {
        FileListLogic pane;
        pane.SetFileType(ftArchive | ftNormal);
        pane.SetMask(mask);
        return pane;
    }
    TempDir dir;
    WorkingFolder cwd;
};

TEST_F(FileListLogicTest, FirstPaneRecordsTheWorkingFolderAsProgramFolder) {
    std::string programDir;
    FileListLogic first(&programDir);
    EXPECT_EQ(programDir, dir.Path());
    TempDir other;
    WorkingFolder elsewhere(other.Path());
    FileListLogic second(&programDir);
    EXPECT_EQ(programDir, dir.Path());  // only while still empty
}

TEST_F(FileListLogicTest, DirectorySetterRules) {
    fs::create_directories(dir / "a/b");
    FileListLogic pane = MakePane();
    int listings = 0;
    pane.onListed = [&] { ++listings; };
    EXPECT_TRUE(pane.SetDirectory(dir / "a"));
    EXPECT_EQ(pane.Directory(), dir / "a/");  // always ends in "/"
    EXPECT_EQ(listings, 1);
    char buffer[4096];
    EXPECT_EQ(std::string(getcwd(buffer, sizeof buffer)), dir / "a");  // the working folder follows

    EXPECT_FALSE(pane.SetDirectory(dir / "a/"));  // the same folder: not re-read
    EXPECT_FALSE(pane.SetDirectory(dir / "A/"));  // other case, no such folder: nothing
    EXPECT_FALSE(pane.SetDirectory(dir / "missing"));
    EXPECT_FALSE(pane.SetDirectory(dir / "a/b/../../nothere"));
    EXPECT_EQ(listings, 1);
    EXPECT_EQ(pane.Directory(), dir / "a/");

    EXPECT_TRUE(pane.SetDirectory("b"));  // relative to the working folder
    EXPECT_EQ(pane.Directory(), dir / "a/b/");
    EXPECT_TRUE(pane.SetDirectory(dir / "a/b/.."));
    EXPECT_EQ(pane.Directory(), dir / "a/");

    // A folder whose name differs only in case is another folder on this system.
    fs::create_directories(dir / "A");
    EXPECT_TRUE(pane.SetDirectory(dir / "A/"));
    EXPECT_EQ(pane.Directory(), dir / "A/");
}

TEST_F(FileListLogicTest, DriveListInAnyCaseAndGoingUp) {
    FileListLogic pane = MakePane();
    std::vector<Volume> volumes(2);
    volumes[0] = {"/", "root", "ext4", "/dev/sda1", kDriveFixed, true, 12345678901ull, 1000};
    volumes[1] = {"/media/cd/", "", "iso9660", "/dev/sr0", kDriveCdrom, false, 5, 5};
    pane.volumesProvider = [&] { return volumes; };

    ASSERT_TRUE(pane.SetDirectory("dRiVeS"));
    EXPECT_TRUE(pane.IsDriveList());
    EXPECT_EQ(pane.Directory(), "dRiVeS");  // kept as assigned
    ASSERT_EQ(pane.Items().size(), 2u);
    const FileItem& root = pane.Items()[0];
    EXPECT_EQ(root.caption, "root");
    EXPECT_EQ(root.sub,
              (std::array<std::string, 6>{"Fixed", "12,345,678,901", "1,000", "", "/", "drv"}));
    const FileItem& cd = pane.Items()[1];
    EXPECT_EQ(cd.caption, "/media/cd/");
    EXPECT_EQ(cd.sub[0], "CDROM");
    EXPECT_EQ(cd.sub[1], "0");  // not ready: no sizes
    EXPECT_EQ(cd.sub[2], "0");
    EXPECT_EQ(pane.Columns()[1].caption, "Type");
    EXPECT_EQ(pane.Columns()[2].caption, "Disk Size");
    EXPECT_TRUE(pane.Columns()[3].rightAligned);

    EXPECT_FALSE(pane.SetDirectory("DRIVES"));  // the same pseudo-folder
    pane.UpDirectory();
    EXPECT_EQ(pane.Directory(), "dRiVeS");

    fs::create_directories(dir / "x/y");
    pane.SetDirectory(dir / "x/y");
    pane.UpDirectory();
    EXPECT_EQ(pane.Directory(), dir / "x/");
    pane.SetDirectory("/");
    pane.UpDirectory();
    EXPECT_EQ(pane.Directory(), "Drives");
    EXPECT_TRUE(pane.IsDriveList());

    // A double click on a drive enters its root.
    pane.SetSelected(0, true);
    pane.DoubleClick();
    EXPECT_EQ(pane.Directory(), "/");
    EXPECT_EQ(pane.Columns()[1].caption, "Size");
}

TEST_F(FileListLogicTest, FileTypeFilterAgainstReadOnlyHiddenAndSpecialEntries) {
    WriteFile(dir / "plain.txt", "x");
    WriteFile(dir / "locked.txt", "x");
    chmod((dir / "locked.txt").c_str(), 0444);
    WriteFile(dir / ".hidden", "x");
    fs::create_directory(dir / "folder");
    fs::create_directory(dir / ".hiddenfolder");
    fs::create_directory(dir / "lockedfolder");
    chmod((dir / "lockedfolder").c_str(), 0555);
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);

    FileListLogic pane = MakePane();
    pane.SetDirectory(dir.Path());
    EXPECT_EQ(Captions(pane), (std::vector<std::string>{"folder", "plain.txt"}));

    pane.SetFileType(ftReadOnly | ftHidden | ftSystem);
    std::vector<std::string> all = Captions(pane);
    EXPECT_EQ(all, (std::vector<std::string>{".hiddenfolder", "folder", "lockedfolder", ".hidden",
                                             "locked.txt", "pipe", "plain.txt"}));
    EXPECT_EQ(Find(pane, "locked.txt")->sub[kSubAttributes], "AR");
    EXPECT_EQ(Find(pane, ".hidden")->sub[kSubAttributes], "AH");
    EXPECT_EQ(Find(pane, "pipe")->sub[kSubAttributes], "S");
    EXPECT_EQ(Find(pane, "lockedfolder")->sub[kSubAttributes], "R");
    EXPECT_EQ(Find(pane, "folder")->sub[kSubAttributes], "");
    chmod((dir / "lockedfolder").c_str(), 0755);
}

TEST_F(FileListLogicTest, EveryMaskPieceIsSearchedOnItsOwn) {
    for (const char* name : {"a.zip", "B.ZIP", "song.Mp3", "notes.txt", "readme", "x.zip.bak"})
        WriteFile(dir / name, "x");
    fs::create_directory(dir / "sub.dir");
    FileListLogic pane = MakePane("*.zip;*.mp3");
    pane.SetDirectory(dir.Path());
    EXPECT_EQ(Captions(pane), (std::vector<std::string>{"sub.dir", "a.zip", "B.ZIP", "song.Mp3"}));

    pane.SetMask("*.*;*.txt");  // a file matching two pieces is listed twice
    std::vector<std::string> names = Captions(pane);
    EXPECT_EQ(std::count(names.begin(), names.end(), "notes.txt"), 2);
    EXPECT_EQ(std::count(names.begin(), names.end(), "readme"), 1);  // "*.*" needs no dot

    pane.SetMask("r?adm*;;");  // empty pieces find nothing
    EXPECT_EQ(Captions(pane), (std::vector<std::string>{"sub.dir", "readme"}));
    EXPECT_TRUE(MatchesMask("*.ZIP", "archive.zip"));
    EXPECT_FALSE(MatchesMask("*.zip", "archive.zip.bak"));
    EXPECT_TRUE(MatchesMask("a*b*c", "aXXbYYbc"));
}

TEST_F(FileListLogicTest, SubItemsOfFoldersAndFiles) {
    fs::create_directory(dir / "folder");
    WriteFile(dir / "empty.txt", "");
    WriteFile(dir / "late.txt", "12345");
    SetTime(dir / "empty.txt", LocalTime(2002, 3, 7, 0, 0));  // midnight: only the date
    SetTime(dir / "late.txt", LocalTime(1999, 12, 31, 23, 59));
    // A file of 3 GiB (sparse) shows its whole size.
    int fd = open((dir / "big.bin").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(ftruncate(fd, 3LL << 30), 0);
    close(fd);

    FileListLogic pane = MakePane();
    pane.SetDirectory(dir.Path());
    const FileItem* folder = Find(pane, "folder");
    EXPECT_EQ(folder->sub[kSubSize], " ");
    EXPECT_EQ(folder->sub[kSubKind], "dir");
    EXPECT_EQ(folder->sub[kSubPath], dir / "folder");
    const FileItem* empty = Find(pane, "empty.txt");
    EXPECT_EQ(empty->sub[kSubSize], "0");
    EXPECT_EQ(empty->sub[kSubModified], "03/07/2002");
    EXPECT_EQ(empty->sub[kSubKind], "file");
    EXPECT_EQ(Find(pane, "late.txt")->sub[kSubModified], "12/31/1999 23:59");
    EXPECT_FALSE(Find(pane, "late.txt")->sub[kSubType].empty());
    EXPECT_EQ(Find(pane, "big.bin")->sub[kSubSize], "3221225472");
    EXPECT_EQ(pane.Columns()[1].caption, "Size");
    EXPECT_EQ(pane.Columns()[2].caption, "");
    EXPECT_EQ(pane.Columns()[3].caption, "Modified");
}

TEST_F(FileListLogicTest, FoldersSortFirstAndTheNegationTurnsEverything) {
    for (const char* name : {"b.txt", "A.txt", "c.txt"}) WriteFile(dir / name, "x");
    fs::create_directory(dir / "zeta");
    fs::create_directory(dir / "Alpha");
    FileListLogic pane = MakePane();
    pane.SetDirectory(dir.Path());
    EXPECT_EQ(pane.SortColumn(), 0);
    EXPECT_FALSE(pane.SortDescending());
    EXPECT_EQ(Captions(pane),
              (std::vector<std::string>{"Alpha", "zeta", "A.txt", "b.txt", "c.txt"}));
    pane.ColumnClicked(0);
    EXPECT_TRUE(pane.SortDescending());
    EXPECT_EQ(Captions(pane),
              (std::vector<std::string>{"c.txt", "b.txt", "A.txt", "zeta", "Alpha"}));

    // By size (column 1): numbers, not texts; folders still grouped by the folder rule.
    WriteFile(dir / "b.txt", std::string(100, 'x'));
    WriteFile(dir / "c.txt", std::string(9, 'x'));
    pane.FillList();
    pane.ColumnClicked(1);  // another column: descending
    // (folders have no number: equal, they keep their order)
    EXPECT_EQ(Captions(pane),
              (std::vector<std::string>{"b.txt", "c.txt", "A.txt", "Alpha", "zeta"}));
    pane.ColumnClicked(1);
    EXPECT_EQ(Captions(pane),
              (std::vector<std::string>{"Alpha", "zeta", "A.txt", "c.txt", "b.txt"}));
    // A listing while another column is the sort column ends by name, descending.
    pane.FillList();
    EXPECT_EQ(pane.SortColumn(), 0);
    EXPECT_TRUE(pane.SortDescending());
    EXPECT_EQ(Captions(pane).front(), "c.txt");
}

TEST_F(FileListLogicTest, SortByModificationTime) {
    WriteFile(dir / "old.txt", "x");
    WriteFile(dir / "new.txt", "x");
    SetTime(dir / "old.txt", LocalTime(2001, 12, 31, 10, 0));
    SetTime(dir / "new.txt", LocalTime(2002, 1, 1, 9, 0));
    FileListLogic pane = MakePane();
    pane.SetDirectory(dir.Path());
    pane.ColumnClicked(3);  // descending: newest first
    EXPECT_EQ(Captions(pane), (std::vector<std::string>{"new.txt", "old.txt"}));
}

TEST_F(FileListLogicTest, SelectionQueries) {
    WriteFile(dir / "a.zip", std::string(10, 'x'));
    WriteFile(dir / "b.zip", std::string(20, 'x'));
    fs::create_directory(dir / "f");
    FileListLogic pane = MakePane();
    pane.SetDirectory(dir.Path());
    ASSERT_EQ(pane.Items().size(), 3u);
    EXPECT_EQ(pane.SelectedFilenames(), "");
    EXPECT_EQ(pane.SelectedCount(), 3);  // none selected: all rows
    EXPECT_EQ(pane.SelectedTypes(), 0);
    EXPECT_EQ(pane.SelectedSize(), 0u);

    pane.SetSelected(1, true);  // a.zip
    EXPECT_EQ(pane.SelectedFilenames(), dir / "a.zip");
    EXPECT_EQ(pane.SelectedCount(), 1);
    pane.SetSelected(2, true);
    pane.SetSelected(0, true);
    EXPECT_EQ(pane.SelectedFilenames(), dir / "f;" + dir / "a.zip;" + dir / "b.zip");
    EXPECT_EQ(pane.SelectedNames(), (std::vector<std::string>{"f", "a.zip", "b.zip"}));
    EXPECT_EQ(pane.SelectedTypes(), otFile | otDirectory);
    EXPECT_EQ(pane.SelectedSize(), 30u);

    // A click stores the first selected row; a click on nothing keeps it.
    pane.Click();
    EXPECT_EQ(pane.SelectedFile(), dir / "f");
    pane.ClearSelection();
    pane.Click();
    EXPECT_EQ(pane.SelectedFile(), dir / "f");
    // Double click: a file opens only with the default action allowed; a folder is entered.
    pane.SetSelected(1, true);
    pane.Click();
    EXPECT_EQ(pane.DoubleClick(), "");
    pane.ContextAction = true;
    EXPECT_EQ(pane.DoubleClick(), dir / "a.zip");
    pane.ClearSelection();
    pane.SetSelected(0, true);
    EXPECT_EQ(pane.DoubleClick(), "");
    EXPECT_EQ(pane.Directory(), dir / "f/");
}

TEST_F(FileListLogicTest, AwkwardEntriesListWithoutHarm) {
    WriteFile(dir / "semi;colon.txt", "x");
    WriteFile(dir / "new\nline.txt", "x");
    WriteFile(dir / "bad\xff\xfename.txt", "x");
    ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "dangling").c_str()), 0);
    fs::create_directory(dir / "gone");
    FileListLogic pane = MakePane();
    pane.SetDirectory(dir.Path());
    ASSERT_NE(Find(pane, "semi;colon.txt"), nullptr);
    ASSERT_NE(Find(pane, "new\nline.txt"), nullptr);
    ASSERT_NE(Find(pane, "bad\xff\xfename.txt"), nullptr);
    EXPECT_EQ(Find(pane, "bad\xff\xfename.txt")->sub[kSubPath], dir / "bad\xff\xfename.txt");
    ASSERT_NE(Find(pane, "dangling"), nullptr);
    EXPECT_EQ(Find(pane, "dangling")->sub[kSubKind], "file");

    // A folder deleted between setting and listing lists empty.
    pane.SetDirectory(dir / "gone");
    fs::remove(dir / "gone");
    pane.FillList();
    EXPECT_TRUE(pane.Items().empty());
    pane.UpDirectory();
    EXPECT_EQ(pane.Directory(), dir.Path() + "/");
}

TEST(DateText, FormatsAndReadsBack) {
    EXPECT_EQ(FormatThousands(0, ","), "0");
    EXPECT_EQ(FormatThousands(999, ","), "999");
    EXPECT_EQ(FormatThousands(1000, ","), "1,000");
    EXPECT_EQ(FormatThousands(1234567, "."), "1.234.567");
    double a, b;
    ASSERT_TRUE(ParseDateTime("12/31/1999 23:59", &a));
    ASSERT_TRUE(ParseDateTime("01/01/2000", &b));
    EXPECT_LT(a, b);
    EXPECT_FALSE(ParseDateTime("1234", &a));
    EXPECT_FALSE(ParseDateTime(" ", &a));
}

}  // namespace
}  // namespace tavrin
