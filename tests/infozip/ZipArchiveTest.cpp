// The zip library against real archives, checked with Debian's unzip and Python's zipfile.
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <map>

#include "InfozipTestSupport.h"

using namespace iztest;

namespace {

std::string Compressible(size_t size) {
    std::string text;
    for (size_t i = 0; text.size() < size; ++i)
        text += "line " + std::to_string(i % 97) + " of some fairly repetitive text\n";
    return text.substr(0, size);
}

std::string Random(size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (char& c : out) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return out;
}

// Python's view of each entry: name, method, compressed size, CRC, flags.
std::string Describe(const std::string& archive) {
    return Python("for i in zipfile.ZipFile(" + Quote(archive) +
                  ").infolist():\n"
                  "    print(i.filename, i.compress_type, i.compress_size, i.CRC, i.flag_bits)");
}

}  // namespace

TEST(ZipLibrary, VersionTableAndOptionCopies) {
    tavrin::Zip32& zip = ZipLib();
    ASSERT_TRUE(zip.IsLoaded());
    EXPECT_STREQ(zip.ZpVersionInfo("CompanyName"), "Info-ZIP");
    EXPECT_STREQ(zip.ZpVersionInfo("FileVersion"), "2.3");
    EXPECT_STREQ(zip.ZpVersionInfo("OriginalFilename"), "libzip32.so");
    EXPECT_EQ(zip.ZpVersionInfo("companyname"), nullptr);
    EXPECT_EQ(zip.ZpVersionInfo(nullptr), nullptr);
    EXPECT_STREQ(UnzipLib().ZpVersionInfo("FileVersion"), "5.4");
    EXPECT_STREQ(UnzipLib().ZpVersionInfo("OriginalFilename"), "libunzip32.so");

    EXPECT_EQ(zip.ZpInit(nullptr), FALSE);
    EXPECT_EQ(zip.ZpSetOptions(nullptr), FALSE);
    char date[] = "01022003", root[] = "/some/root";
    ZPOPT options{};
    options.Date = date;
    options.szRootDir = root;
    options.fLevel = '9';
    options.fRecurse = 1;
    ASSERT_EQ(zip.ZpSetOptions(&options), TRUE);
    std::strcpy(date, "XXXXXXXX");
    std::strcpy(root, "/changed!!");
    ZPOPT kept = zip.ZpGetOptions();
    EXPECT_STREQ(kept.Date, "01022003");
    EXPECT_STREQ(kept.szRootDir, "/some/root");
    EXPECT_EQ(kept.szTempDir, nullptr);
    EXPECT_EQ(kept.fLevel, '9');
    EXPECT_EQ(kept.fRecurse, 1);
}

TEST(ZipLibrary, LevelsChooseMethodAndSize) {
    TempDir dir;
    WriteFile(dir / "text.txt", Compressible(200000));
    struct Case {
        char level;
        int method;
    } cases[] = {{'0', 0}, {'1', 8}, {'9', 8}, {'x', 8}};
    std::map<char, long> sizes;
    for (const Case& c : cases) {
        ZipDriver zip;
        zip.options.fLevel = c.level;
        zip.options.fJunkDir = TRUE;
        std::string archive = dir / (std::string("l") + c.level + ".zip");
        ASSERT_EQ(zip.Run(archive, {dir / "text.txt"}), ZE_OK);
        std::stringstream info(Describe(archive));
        std::string name;
        int method;
        long compSize;
        info >> name >> method >> compSize;
        EXPECT_EQ(name, "text.txt");
        EXPECT_EQ(method, c.method) << c.level;
        sizes[c.level] = compSize;
        EXPECT_TRUE(UnzipTestsOk(archive));
        EXPECT_EQ(EntryContent(archive, "text.txt"), Compressible(200000));
    }
    EXPECT_EQ(sizes['0'], 200000);
    EXPECT_LT(sizes['9'], sizes['1']);
    EXPECT_LT(sizes['1'], 100000);
}

TEST(ZipLibrary, NamesPathsAndRecursion) {
    TempDir dir;
    WriteFile(dir / "tree/a.txt", "a");
    WriteFile(dir / "tree/sub/b.txt", "b");
    WriteFile(dir / "tree/.hidden/c.txt", "c");
    WriteFile(dir / "tree/.dot", "d");
    WriteFile(dir / "tree/Upper.TXT", "u");
    symlink("a.txt", (dir / "tree/link.txt").c_str());
    symlink("sub", (dir / "tree/linkdir").c_str());
    mkfifo((dir / "tree/fifo").c_str(), 0644);
    using Names = std::vector<std::string>;

    {  // relative to the root folder, stored paths, no recursion: a folder entry only
        ZipDriver zip;
        std::string root = dir.Path();
        zip.options.szRootDir = root.data();
        ASSERT_EQ(zip.Run(dir / "plain.zip", {"tree/a.txt", "./tree/sub", "tree/a.txt"}), ZE_OK);
        EXPECT_EQ(EntryNames(dir / "plain.zip"), (Names{"tree/a.txt", "tree/sub/"}));
    }
    {  // recursion skips hidden names, follows file and folder links (as zip -r does), skips
       // the FIFO
        ZipDriver zip;
        std::string root = dir.Path();
        zip.options.szRootDir = root.data();
        zip.options.fRecurse = 1;
        ASSERT_EQ(zip.Run(dir / "rec.zip", {"tree"}), ZE_OK);
        EXPECT_EQ(EntryNames(dir / "rec.zip"),
                  (Names{"tree/", "tree/Upper.TXT", "tree/a.txt", "tree/link.txt", "tree/linkdir/",
                         "tree/linkdir/b.txt", "tree/sub/", "tree/sub/b.txt"}));
        EXPECT_EQ(EntryContent(dir / "rec.zip", "tree/link.txt"), "a");
        EXPECT_TRUE(UnzipTestsOk(dir / "rec.zip"));
    }
    {  // fSystem takes hidden names too; fNoDirEntries drops folder entries
        ZipDriver zip;
        std::string root = dir.Path();
        zip.options.szRootDir = root.data();
        zip.options.fRecurse = 1;
        zip.options.fSystem = TRUE;
        zip.options.fNoDirEntries = TRUE;
        ASSERT_EQ(zip.Run(dir / "sys.zip", {"tree"}), ZE_OK);
        EXPECT_EQ(EntryNames(dir / "sys.zip"),
                  (Names{"tree/.dot", "tree/.hidden/c.txt", "tree/Upper.TXT", "tree/a.txt",
                         "tree/link.txt", "tree/linkdir/b.txt", "tree/sub/b.txt"}));
        EXPECT_NE(ZipDriver::Printed().find("fifo"), std::string::npos);
    }
    {  // junk paths with absolute names and case-insensitive wildcards
        ZipDriver zip;
        zip.options.fJunkDir = TRUE;
        zip.options.fRecurse = 1;
        ASSERT_EQ(zip.Run(dir / "junk.zip", {dir / "tree/sub", dir / "tree/*.txt"}), ZE_OK);
        EXPECT_EQ(EntryNames(dir / "junk.zip"), (Names{"b.txt", "Upper.TXT", "a.txt", "link.txt"}));
    }
    {  // absolute names without junking lose the leading slash
        ZipDriver zip;
        ASSERT_EQ(zip.Run(dir / "abs.zip", {dir / "tree/a.txt"}), ZE_OK);
        EXPECT_EQ(EntryNames(dir / "abs.zip"), (Names{(dir / "tree/a.txt").substr(1)}));
    }
}

TEST(ZipLibrary, UnicodeNamesAreFlagged) {
    TempDir dir;
    WriteFile(dir / "caf\xc3\xa9.txt", "x");
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    ASSERT_EQ(zip.Run(dir / "u.zip", {dir / "caf\xc3\xa9.txt"}), ZE_OK);
    EXPECT_EQ(Python("i = zipfile.ZipFile(" + Quote(dir / "u.zip") +
                     ").infolist()[0]\nprint(i.filename == 'caf\\u00e9.txt', i.flag_bits & 0x800)"),
              "True 2048\n");
}

TEST(ZipLibrary, MissingAndUnreadableNames) {
    TempDir dir;
    WriteFile(dir / "good.txt", "good");
    symlink("nowhere", (dir / "dangling").c_str());
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    EXPECT_EQ(zip.Run(dir / "none.zip", {dir / "missing.txt"}), ZE_NONE);
    EXPECT_FALSE(Exists(dir / "none.zip"));
    EXPECT_NE(ZipDriver::Printed().find("name not matched: " + (dir / "missing.txt")),
              std::string::npos);
    EXPECT_EQ(zip.Run(dir / "some.zip", {dir / "dangling", dir / "good.txt"}), ZE_OPEN);
    EXPECT_EQ(EntryNames(dir / "some.zip"), std::vector<std::string>{"good.txt"});
    EXPECT_EQ(zip.Run("  ", {dir / "good.txt"}), ZE_NAME);
    EXPECT_EQ(zip.Run(dir / "no/such/folder.zip", {dir / "good.txt"}), ZE_CREAT);
    EXPECT_FALSE(Exists(dir / "no"));
}

TEST(ZipLibrary, RefusesToOverwriteWhatIsNotAnArchive) {
    TempDir dir;
    WriteFile(dir / "a.txt", "a");
    WriteFile(dir / "notes.zip", "these are notes, not an archive");
    ZipDriver zip;
    EXPECT_EQ(zip.Run(dir / "notes.zip", {dir / "a.txt"}), ZE_FORM);
    EXPECT_EQ(ReadFile(dir / "notes.zip"), "these are notes, not an archive");
}

TEST(ZipLibrary, ReplacingWithoutRegardToCaseKeepsOtherEntries) {
    TempDir dir;
    WriteFile(dir / "FILE_ID.DIZ", "old description");
    WriteFile(dir / "other.bin", Random(50000, 7));
    WriteFile(dir / "third.txt", Compressible(30000));
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    ASSERT_EQ(zip.Run(dir / "a.zip", {dir / "FILE_ID.DIZ", dir / "other.bin", dir / "third.txt"}),
              ZE_OK);
    std::string before = Describe(dir / "a.zip");

    WriteFile(dir / "new/file_id.diz", "the new description");
    ASSERT_EQ(zip.Run(dir / "a.zip", {dir / "new/file_id.diz"}), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "a.zip"),
              (std::vector<std::string>{"file_id.diz", "other.bin", "third.txt"}));
    EXPECT_EQ(EntryContent(dir / "a.zip", "file_id.diz"), "the new description");
    // The untouched entries keep method, compressed size and CRC.
    std::string after = Describe(dir / "a.zip");
    EXPECT_EQ(before.substr(before.find("other.bin")), after.substr(after.find("other.bin")));
    EXPECT_EQ(EntryContent(dir / "a.zip", "other.bin"), Random(50000, 7));
    EXPECT_TRUE(UnzipTestsOk(dir / "a.zip"));
}

TEST(ZipLibrary, UpdateAndFreshenCompareTimes) {
    TempDir dir;
    const time_t base = 1600000000;
    WriteFile(dir / "one.txt", "one v1");
    WriteFile(dir / "two.txt", "two v1");
    SetMtime(dir / "one.txt", base);
    SetMtime(dir / "two.txt", base);
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    ASSERT_EQ(zip.Run(dir / "u.zip", {dir / "one.txt", dir / "two.txt"}), ZE_OK);

    // one.txt newer, two.txt changed but with the same time (1 s is below DOS resolution),
    // three.txt new.
    WriteFile(dir / "one.txt", "one v2");
    WriteFile(dir / "two.txt", "two v2");
    WriteFile(dir / "three.txt", "three");
    SetMtime(dir / "one.txt", base + 100);
    SetMtime(dir / "two.txt", base + 1);
    std::vector<std::string> all = {dir / "one.txt", dir / "two.txt", dir / "three.txt"};

    std::string before = ReadFile(dir / "u.zip");
    ASSERT_EQ(system(("cp " + Quote(dir / "u.zip") + " " + Quote(dir / "f.zip")).c_str()), 0);
    zip.options.fFreshen = TRUE;
    ASSERT_EQ(zip.Run(dir / "f.zip", all), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "f.zip"), (std::vector<std::string>{"one.txt", "two.txt"}));
    EXPECT_EQ(EntryContent(dir / "f.zip", "one.txt"), "one v2");
    EXPECT_EQ(EntryContent(dir / "f.zip", "two.txt"), "two v1");
    EXPECT_EQ(zip.Run(dir / "f.zip", all), ZE_NONE);  // nothing older any more

    zip.options.fFreshen = FALSE;
    zip.options.fUpdate = TRUE;
    ASSERT_EQ(zip.Run(dir / "u.zip", all), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "u.zip"),
              (std::vector<std::string>{"one.txt", "two.txt", "three.txt"}));
    EXPECT_EQ(EntryContent(dir / "u.zip", "one.txt"), "one v2");
    EXPECT_EQ(EntryContent(dir / "u.zip", "two.txt"), "two v1");
    std::string updated = ReadFile(dir / "u.zip");
    EXPECT_EQ(zip.Run(dir / "u.zip", all), ZE_NONE);
    EXPECT_EQ(ReadFile(dir / "u.zip"), updated);
}

TEST(ZipLibrary, DeleteEntriesByPattern) {
    TempDir dir;
    WriteFile(dir / "d/Read.ME", "r");
    WriteFile(dir / "d/sub/x.TXT", "x");
    WriteFile(dir / "d/y.txt", "y");
    WriteFile(dir / "d/z.dat", "z");
    ZipDriver zip;
    std::string root = dir.Path();
    zip.options.szRootDir = root.data();
    zip.options.fRecurse = 1;
    ASSERT_EQ(zip.Run(dir / "a.zip", {"d"}), ZE_OK);

    zip.options.fDeleteEntries = TRUE;
    std::string before = ReadFile(dir / "a.zip");
    EXPECT_EQ(zip.Run(dir / "a.zip", {"*.none", "q?.txt"}), ZE_NONE);
    EXPECT_EQ(ReadFile(dir / "a.zip"), before);
    // "*" crosses folders; case does not matter; sets work.
    ASSERT_EQ(zip.Run(dir / "a.zip", {"D/*.txt", "*/READ.[lm]e"}), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "a.zip"), (std::vector<std::string>{"d/", "d/sub/", "d/z.dat"}));
    EXPECT_TRUE(Exists(dir / "d/y.txt"));  // deleting entries never touches files
    EXPECT_TRUE(UnzipTestsOk(dir / "a.zip"));
}

TEST(ZipLibrary, MoveDeletesSourcesAfterWriting) {
    TempDir dir;
    WriteFile(dir / "m/a.txt", "a");
    WriteFile(dir / "m/sub/b.txt", "b");
    WriteFile(dir / "m/.keep", "hidden, not archived");
    ZipDriver zip;
    std::string root = dir.Path();
    zip.options.szRootDir = root.data();
    zip.options.fRecurse = 1;
    zip.options.fMove = TRUE;
    ASSERT_EQ(zip.Run(dir / "a.zip", {"m"}), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "a.zip"),
              (std::vector<std::string>{"m/", "m/a.txt", "m/sub/", "m/sub/b.txt"}));
    EXPECT_EQ(Tree(dir / "m"), std::vector<std::string>{".keep"});  // emptied "sub" is gone

    // A failed write removes nothing.
    WriteFile(dir / "notzip.zip", "plain text");
    WriteFile(dir / "c.txt", "c");
    EXPECT_EQ(zip.Run(dir / "notzip.zip", {"c.txt"}), ZE_FORM);
    EXPECT_TRUE(Exists(dir / "c.txt"));
}

TEST(ZipLibrary, LatestTimeDatesCommentAndTempFolder) {
    TempDir dir;
    TempDir temp;
    WriteFile(dir / "old.txt", "old");
    WriteFile(dir / "new.txt", "new");
    WriteFile(dir / "mid.txt", "mid");
    SetMtime(dir / "old.txt", 1000000000);  // 2001-09-09
    SetMtime(dir / "mid.txt", 1300000000);  // 2011-03-13
    SetMtime(dir / "new.txt", 1500000000);  // 2017-07-14
    std::vector<std::string> all = {dir / "old.txt", dir / "mid.txt", dir / "new.txt"};

    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    char date[] = "2011-01-01";
    zip.options.Date = date;
    zip.options.fIncludeDate = TRUE;
    ASSERT_EQ(zip.Run(dir / "inc.zip", all), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "inc.zip"), (std::vector<std::string>{"mid.txt", "new.txt"}));
    zip.options.fIncludeDate = FALSE;
    zip.options.fExcludeDate = TRUE;
    char shortDate[] = "010111";
    zip.options.Date = shortDate;
    ASSERT_EQ(zip.Run(dir / "exc.zip", all), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "exc.zip"), std::vector<std::string>{"old.txt"});
    char badDate[] = "13452011";
    zip.options.Date = badDate;
    EXPECT_EQ(zip.Run(dir / "bad.zip", all), ZE_PARMS);
    zip.options.fExcludeDate = FALSE;

    // The archive is built in the temporary folder, takes its newest entry's time and asks
    // for its comment.
    std::string tempPath = temp.Path();
    zip.options.szTempDir = tempPath.data();
    zip.options.fLatestTime = TRUE;
    zip.options.fComment = TRUE;
    ZipDriver::CommentAnswer() = "made by the test";
    ASSERT_EQ(zip.Run(dir / "t.zip", {dir / "old.txt", dir / "mid.txt"}), ZE_OK);
    EXPECT_EQ(Tree(temp.Path()), std::vector<std::string>{});
    EXPECT_EQ(Mtime(dir / "t.zip"), 1300000000);
    EXPECT_EQ(ZipDriver::CommentSeen(), "");
    ZipDriver::CommentAnswer() = "second comment";
    ASSERT_EQ(zip.Run(dir / "t.zip", {dir / "new.txt"}), ZE_OK);
    EXPECT_EQ(ZipDriver::CommentSeen(), "made by the test");
    EXPECT_EQ(Mtime(dir / "t.zip"), 1500000000);
    EXPECT_EQ(Python("print(zipfile.ZipFile(" + Quote(dir / "t.zip") + ").comment.decode())"),
              "second comment\n");
    EXPECT_EQ(Tree(temp.Path()), std::vector<std::string>{});
    EXPECT_TRUE(UnzipTestsOk(dir / "t.zip"));
}

// The temporary folder on another file system: the result is copied beside the archive and
// renamed, and no temporary file stays in either place.
TEST(ZipLibrary, TempFolderOnAnotherFileSystem) {
    TempDir dir;
    TempDir other("/dev/shm");
    if (!other.Made()) GTEST_SKIP() << "no /dev/shm";
    WriteFile(dir / "a.txt", Compressible(10000));
    WriteFile(dir / "empty.zip", "");
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    std::string tempPath = other.Path();
    zip.options.szTempDir = tempPath.data();
    ASSERT_EQ(zip.Run(dir / "empty.zip", {dir / "a.txt"}), ZE_OK);  // an empty file starts anew
    ASSERT_EQ(chmod((dir / "empty.zip").c_str(), 0640), 0);
    WriteFile(dir / "b.txt", "b");
    ASSERT_EQ(zip.Run(dir / "empty.zip", {dir / "b.txt"}), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "empty.zip"), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_TRUE(UnzipTestsOk(dir / "empty.zip"));
    struct stat st;
    ASSERT_EQ(stat((dir / "empty.zip").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Tree(other.Path()), std::vector<std::string>{});
    EXPECT_EQ(Tree(dir.Path()), (std::vector<std::string>{"a.txt", "b.txt", "empty.zip"}));
}

TEST(ZipLibrary, ServiceCallbackStopsWithoutChanges) {
    TempDir dir;
    WriteFile(dir / "a.txt", "a");
    WriteFile(dir / "b.txt", "b");
    WriteFile(dir / "c.txt", "c");
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    ASSERT_EQ(zip.Run(dir / "s.zip", {dir / "a.txt"}), ZE_OK);
    std::string before = ReadFile(dir / "s.zip");
    ZipDriver::StopAfter() = 1;  // let b.txt pass, stop at c.txt
    EXPECT_EQ(zip.Run(dir / "s.zip", {dir / "b.txt", dir / "c.txt"}), ZE_ABORT);
    EXPECT_EQ(ReadFile(dir / "s.zip"), before);
    EXPECT_EQ(Tree(dir.Path()), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "s.zip"}));
}

TEST(ZipLibrary, MessagesFollowQuietFlag) {
    TempDir dir;
    WriteFile(dir / "a.txt", "a");
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    zip.options.fQuiet = FALSE;
    ASSERT_EQ(zip.Run(dir / "q.zip", {dir / "a.txt", dir / "nope"}), ZE_OK);
    EXPECT_NE(ZipDriver::Printed().find("  adding: a.txt (stored 0%)\n"), std::string::npos);
    EXPECT_NE(ZipDriver::Printed().find("name not matched"), std::string::npos);
    ZipDriver::Printed().clear();
    zip.options.fQuiet = TRUE;
    ASSERT_EQ(zip.Run(dir / "q2.zip", {dir / "a.txt", dir / "nope"}), ZE_OK);
    EXPECT_EQ(ZipDriver::Printed().find("adding"), std::string::npos);
    EXPECT_NE(ZipDriver::Printed().find("name not matched"), std::string::npos);
}

// A write that fails half way (the file size limit makes writes fail with EFBIG) leaves the
// old archive byte-identical, no temporary file, and with fMove the sources in place.
TEST(ZipLibrary, FailedWriteLeavesArchiveUntouched) {
    TempDir dir;
    TempDir temp;
    WriteFile(dir / "small.txt", "small");
    WriteFile(dir / "big.bin", Random(3 << 20, 3));
    for (bool useTempDir : {false, true}) {
        SCOPED_TRACE(useTempDir);
        ZipDriver zip;
        zip.options.fJunkDir = TRUE;
        ASSERT_EQ(zip.Run(dir / "a.zip", {dir / "small.txt"}), ZE_OK);
        std::string before = ReadFile(dir / "a.zip");
        std::string tempPath = temp.Path();
        if (useTempDir) zip.options.szTempDir = tempPath.data();
        zip.options.fMove = TRUE;
        zip.options.fLevel = '0';
        ZipLib();  // loaded before the fork
        int result = RunWithFileSizeLimit(
            1 << 20, [&] { return zip.Run(dir / "a.zip", {dir / "big.bin"}); });
        EXPECT_TRUE(result == ZE_WRITE || result == ZE_TEMP) << result;
        EXPECT_EQ(ReadFile(dir / "a.zip"), before);
        EXPECT_TRUE(Exists(dir / "big.bin"));
        EXPECT_EQ(Tree(dir.Path()), (std::vector<std::string>{"a.zip", "big.bin", "small.txt"}));
        EXPECT_EQ(Tree(temp.Path()), std::vector<std::string>{});
        unlink((dir / "a.zip").c_str());
    }
}

TEST(ZipLibrary, SpecialFilesNamedDirectlyAreSkipped) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
    ZipDriver zip;
    EXPECT_EQ(zip.Run(dir / "p.zip", {dir / "pipe"}), ZE_NONE);
    EXPECT_NE(ZipDriver::Printed().find("special file"), std::string::npos);
    EXPECT_FALSE(Exists(dir / "p.zip"));
}
