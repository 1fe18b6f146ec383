#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <set>

#include "platform/fileio/PrivateFolder.h"
#include "platform/fileio/SafeReplace.h"
#include "tests/support/TestSupport.h"

namespace tavrin::fileio {
namespace {

namespace fs = std::filesystem;
using test::kNobody;
using test::NamesIn;
using test::ReadFile;
using test::StatOf;
using test::TempDir;
using test::WriteFile;

// Replaces `path` by `contents`; the error text, empty on success.
std::string Replace(const std::string& path, const std::string& contents,
                    Protection protection = Protection::kRefuseReadOnly) {
    SafeReplace replace(path, protection);
    if (!replace.Create()) return replace.Error();
    if (!WriteAllAt(replace.Fd(), contents.data(), contents.size(), 0)) return "write failed";
    return replace.Commit() ? std::string() : replace.Error();
}

// A folder every user may write in, as a shared folder is.
void OpenToAll(const TempDir& dir) {
    ::chmod(dir.Path().c_str(), 0777);
}

TEST(SafeReplace, LinksAreFollowedAndStay) {
    TempDir dir;
    fs::create_directory(dir / "real");
    WriteFile(dir / "real/a.zip", "old");
    fs::create_symlink("real/a.zip", dir / "first");    // relative
    fs::create_symlink(dir / "first", dir / "second");  // a chain of links
    EXPECT_EQ(Replace(dir / "second", "new"), "");
    EXPECT_TRUE(fs::is_symlink(dir / "first"));
    EXPECT_TRUE(fs::is_symlink(dir / "second"));
    EXPECT_EQ(ReadFile(dir / "real/a.zip"), "new");

    // A link to a file not there yet makes the file, and the link then leads to it.
    fs::create_symlink("real/b.ini", dir / "dangling");
    EXPECT_EQ(Replace(dir / "dangling", "made"), "");
    EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
    EXPECT_EQ(ReadFile(dir / "real/b.ini"), "made");

    fs::create_symlink("loop1", dir / "loop2");
    fs::create_symlink("loop2", dir / "loop1");
    EXPECT_EQ(Replace(dir / "loop1", "x"), ErrorText(ELOOP));
    EXPECT_EQ(NamesIn(dir.Path()),
              (std::set<std::string>{"real", "first", "second", "dangling", "loop1", "loop2"}));
    EXPECT_EQ(NamesIn(dir / "real"), (std::set<std::string>{"a.zip", "b.ini"}));
}

TEST(SafeReplace, OwnerGroupModeAndExtendedAttributesStay) {
    TempDir dir;
    const std::string file = dir / "a.zip";
    WriteFile(file, "old");
    ::chmod(file.c_str(), 0640);
    const bool root = test::IsRoot();
    if (root) {
        ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
    }
    const bool xattrs = ::setxattr(file.c_str(), "user.note", "kept", 4, 0) == 0;
    const ino_t oldInode = StatOf(file).st_ino;

    EXPECT_EQ(Replace(file, "new"), "");
    const struct stat st = StatOf(file);
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_NE(st.st_ino, oldInode);  // replaced by a rename, not rewritten
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, kNobody);
        EXPECT_EQ(st.st_gid, kNobody);
    }
    if (xattrs) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(file.c_str(), "user.note", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }

    // A new file gets the requested mode less the umask.
    const mode_t mask = ::umask(022);
    EXPECT_EQ(Replace(dir / "fresh.ini", "x"), "");
    ::umask(mask);
    EXPECT_EQ(StatOf(dir / "fresh.ini").st_mode & 07777, 0644u);
}

TEST(SafeReplace, EveryHardLinkSeesTheNewContents) {
    TempDir dir;
    WriteFile(dir / "a.zip", "old contents");
    fs::create_hard_link(dir / "a.zip", dir / "b.zip");
    const ino_t inode = StatOf(dir / "a.zip").st_ino;
    EXPECT_EQ(Replace(dir / "a.zip", "new"), "");
    EXPECT_EQ(ReadFile(dir / "a.zip"), "new");
    EXPECT_EQ(ReadFile(dir / "b.zip"), "new");
    EXPECT_EQ(StatOf(dir / "a.zip").st_ino, inode);
    EXPECT_EQ(StatOf(dir / "a.zip").st_nlink, 2u);
    EXPECT_EQ(Replace(dir / "b.zip", std::string(100000, 'g')), "");  // growing in place
    EXPECT_EQ(ReadFile(dir / "a.zip"), std::string(100000, 'g'));
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string>{"a.zip", "b.zip"}));
}

TEST(SafeReplace, AnInterruptedRewriteInPlaceIsFinishedByTheNextSave) {
    TempDir dir;
    const std::string file = dir / "a.zip";
    WriteFile(file, "new contents, half copied");
    fs::create_hard_link(file, dir / "b.zip");
    // What a save killed during its copy in place leaves: the file partly rewritten and the
    // whole new contents under the journal name.
    WriteFile(file, "new contents, hOLD OLD OLD");
    char inode[32];
    std::snprintf(inode, sizeof inode, "%llx",
                  static_cast<unsigned long long>(StatOf(file).st_ino));
    const std::string journal = dir / (TemporaryPrefix("a.zip") + inode + ".cpy");
    WriteFile(journal, "new contents, half copied");

    SafeReplace replace(file);
    ASSERT_TRUE(replace.Prepare()) << replace.Error();
    EXPECT_EQ(ReadFile(dir / "b.zip"), "new contents, half copied");
    EXPECT_FALSE(fs::exists(journal));
}

TEST(SafeReplace, NamesOf255BytesAndStaleTemporaries) {
    TempDir dir;
    const std::string longName = std::string(251, 'n') + ".zip";
    ASSERT_EQ(longName.size(), 255u);
    WriteFile(dir / longName, "old");
    EXPECT_EQ(Replace(dir / longName, "new"), "");
    EXPECT_EQ(ReadFile(dir / longName), "new");
    EXPECT_LT(TemporaryPrefix(longName).size() + 10, 40u);

    // Stale temporaries of this file go with its next save; those of another file, another
    // user's, one a running save holds, and anything else stay.
    WriteFile(dir / "a.zip", "old");
    const std::string prefix = TemporaryPrefix("a.zip");
    WriteFile(dir / (prefix + "abc123.tmp"), std::string(1000, 's'));
    WriteFile(dir / (prefix + "1234.cpy"), "an old journal of another inode");
    WriteFile(dir / (TemporaryPrefix("b.zip") + "abc123.tmp"), "b's");
    WriteFile(dir / "a.zip~", "an editor's backup");
    WriteFile(dir / (prefix + "busy00.tmp"), "held");
    const int held = ::open((dir / (prefix + "busy00.tmp")).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    if (test::IsRoot()) {
        WriteFile(dir / (prefix + "nobody.tmp"), "nobody's");
        ASSERT_EQ(::chown((dir / (prefix + "nobody.tmp")).c_str(), kNobody, kNobody), 0);
    }
    EXPECT_EQ(Replace(dir / "a.zip", "new"), "");
    ::close(held);
    std::set<std::string> expected = {longName, "a.zip", TemporaryPrefix("b.zip") + "abc123.tmp",
                                      "a.zip~", prefix + "busy00.tmp"};
    if (test::IsRoot()) expected.insert(prefix + "nobody.tmp");
    EXPECT_EQ(NamesIn(dir.Path()), expected);
}

TEST(SafeReplace, NothingIsLeftWhenTheSaveIsAbandonedOrFails) {
    TempDir dir;
    WriteFile(dir / "a.zip", "old");
    {
        SafeReplace replace(dir / "a.zip");
        ASSERT_TRUE(replace.Create());
        ASSERT_TRUE(WriteAllAt(replace.Fd(), "half", 4, 0));
    }
    EXPECT_EQ(ReadFile(dir / "a.zip"), "old");
    fs::create_directory(dir / "folder.zip");
    EXPECT_EQ(Replace(dir / "folder.zip", "x"), ErrorText(EISDIR));
    EXPECT_EQ(Replace(dir / "missing/a.zip", "x").find("cannot create a temporary file in "), 0u);
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string>{"a.zip", "folder.zip"}));
}

// Without /proc (as in some containers) the temporary has a name of its own kind while the save
// runs, and none afterwards.
TEST(SafeReplace, WithoutProcTheTemporaryIsNamed) {
    if (!test::IsRoot()) GTEST_SKIP() << "needs root to hide /proc";
    TempDir dir;
    WriteFile(dir / "a.zip", "old");
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("none", "/proc", "tmpfs", 0, nullptr) != 0)
            ::_exit(2);
        SafeReplace replace(dir / "a.zip");
        if (!replace.Create() || !WriteAllAt(replace.Fd(), "new", 3, 0)) ::_exit(3);
        int named = 0;
        for (const std::string& name : NamesIn(dir.Path()))
            if (name.rfind(TemporaryPrefix("a.zip"), 0) == 0 && name.size() == 27 &&
                name.substr(23) == ".tmp")
                ++named;
        ::_exit(named == 1 && replace.Commit() ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot make a mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(dir / "a.zip"), "new");
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string>{"a.zip"}));
}

TEST(ScratchAndPrivateFolders, LeaveNothingAndRemoveStaleOnesOfTheirKind) {
    TempDir dir;
    WriteFile(dir / (TemporaryPrefix("a.zip") + "stale1.tmp"), "left by a killed save");
    std::string error;
    {
        FileHandle scratch = CreateScratchFile(dir.Path(), "a.zip", &error);
        ASSERT_TRUE(scratch.IsOpen()) << error;
        EXPECT_TRUE(WriteAllAt(scratch.Get(), "work", 4, 0));
        EXPECT_TRUE(NamesIn(dir.Path()).empty());
    }
    EXPECT_FALSE(CreateScratchFile(dir / "missing", "a.zip", &error).IsOpen());
    EXPECT_EQ(error.find("cannot create a temporary file in " + dir / "missing"), 0u);

    // Private folders: a stale one of this kind goes, a live one and anything else stays.
    fs::create_directory(dir / "tavrin-diz-st4le1");
    WriteFile(dir / "tavrin-diz-st4le1/file_id.diz", "stale");
    fs::create_directory(dir / "tavrin-zip-other1");
    fs::create_directory(dir / "tavrin-diz-longer-name");
    WriteFile(dir / "tavrin-diz-file00", "a file, not a folder");
    // A folder made under its hidden name by a process killed before it was named: left while
    // it is new (its maker may be about to name it), removed once it is old.
    fs::create_directory(dir / ".tavrin-diz-h1dden");
    fs::create_directory(dir / ".tavrin-diz-0ldh1d");
    const struct timespec old[2] = {{std::time(nullptr) - 120, 0}, {std::time(nullptr) - 120, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / ".tavrin-diz-0ldh1d").c_str(), old, 0), 0);
    std::set<std::string> before = NamesIn(dir.Path());
    before.erase("tavrin-diz-st4le1");
    before.erase(".tavrin-diz-0ldh1d");
    PrivateFolder live("diz", dir.Path());
    ASSERT_FALSE(live.Path().empty()) << live.Error();
    EXPECT_EQ(fs::path(live.Path()).filename().string().rfind("tavrin-diz-", 0), 0u);
    before.insert(fs::path(live.Path()).filename().string());
    EXPECT_EQ(NamesIn(dir.Path()), before);
    {
        PrivateFolder second("diz", dir.Path());
        WriteFile(second.Path() + "/x", "x");
        EXPECT_TRUE(fs::exists(live.Path()));  // held by `live`
    }
    EXPECT_EQ(NamesIn(dir.Path()), before);
}

// On a full disk the old file stays whole, also when it is rewritten in place for its links.
TEST(SafeReplace, AFullDiskLeavesTheOldFileWhole) {
    if (!test::IsRoot()) GTEST_SKIP() << "needs root to mount a small file system";
    TempDir dir;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("none", dir.Path().c_str(), "tmpfs", 0, "size=256k") != 0)
            ::_exit(2);
        const std::string old(100 << 10, 'o');
        WriteFile(dir / "single.zip", old);
        WriteFile(dir / "linked.zip", old);
        ::link((dir / "linked.zip").c_str(), (dir / "other name.zip").c_str());
        const std::string space = ErrorText(ENOSPC);
        int failures = 0;
        // No room for the temporary.
        failures += Replace(dir / "single.zip", std::string(200 << 10, 'n')) != "write failed";
        failures += ReadFile(dir / "single.zip") != old;
        ::unlink((dir / "single.zip").c_str());
        // Room for the temporary, not for the file to grow in place.
        failures += Replace(dir / "linked.zip", std::string(140 << 10, 'n')) != space;
        failures += ReadFile(dir / "other name.zip") != old;
        failures += NamesIn(dir.Path()) != std::set<std::string>{"linked.zip", "other name.zip"};
        ::_exit(failures == 0 ? 0 : 10 + failures);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot mount a file system here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// What another user may do, tried as "nobody".
TEST(SafeReplaceProtection, AFileTheUserMayNotWriteIsRefused) {
    if (!test::IsRoot()) GTEST_SKIP() << "needs root to act as another user";
    TempDir dir;
    OpenToAll(dir);
    const std::string rootFile = dir / "root.zip";
    WriteFile(rootFile, "root's");
    ::chmod(rootFile.c_str(), 0644);
    const std::string ownFile = dir / "own.mp3";
    WriteFile(ownFile, "own");
    ASSERT_EQ(::chown(ownFile.c_str(), kNobody, kNobody), 0);
    ::chmod(ownFile.c_str(), 0444);

    EXPECT_EQ(test::RunAsUser(kNobody, kNobody,
                              [&] {
                                  return Replace(rootFile, "x") == "Permission denied" &&
                                         Replace(rootFile, "x", Protection::kUnlockOwnFile) ==
                                             "Permission denied" &&
                                         Replace(ownFile, "x") == "Permission denied";
                              }),
              1);
    EXPECT_EQ(ReadFile(rootFile), "root's");
    EXPECT_EQ(StatOf(rootFile).st_uid, 0u);
    EXPECT_EQ(ReadFile(ownFile), "own");
    EXPECT_EQ(StatOf(ownFile).st_mode & 07777, 0444u);

    // The tag saves' rule: the user's own read-only file is made writable, then saved.
    EXPECT_EQ(test::RunAsUser(
                  kNobody, kNobody,
                  [&] { return Replace(ownFile, "new", Protection::kUnlockOwnFile).empty(); }),
              1);
    EXPECT_EQ(ReadFile(ownFile), "new");
    EXPECT_EQ(StatOf(ownFile).st_mode & 07777, 0644u);
    EXPECT_EQ(StatOf(ownFile).st_uid, kNobody);

    // Root may write a read-only file, as Debian's zip does; it stays read-only.
    const std::string readOnly = dir / "ro.zip";
    WriteFile(readOnly, "old");
    ::chmod(readOnly.c_str(), 0444);
    EXPECT_EQ(Replace(readOnly, "new"), "");
    EXPECT_EQ(StatOf(readOnly).st_mode & 07777, 0444u);
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string>{"root.zip", "own.mp3", "ro.zip"}));
}

TEST(SafeReplaceProtection, AnotherUsersWritableFileKeepsItsOwner) {
    if (!test::IsRoot()) GTEST_SKIP() << "needs root to act as another user";
    for (mode_t folderMode : {0777, 01777}) {  // the second with the sticky bit, as /tmp
        TempDir dir;
        ::chmod(dir.Path().c_str(), folderMode);
        const std::string file = dir / "shared.ini";
        WriteFile(file, "old");
        ::chmod(file.c_str(), 0666);
        EXPECT_EQ(test::RunAsUser(kNobody, kNobody, [&] { return Replace(file, "new").empty(); }),
                  1);
        EXPECT_EQ(ReadFile(file), "new");
        EXPECT_EQ(StatOf(file).st_uid, 0u);
        EXPECT_EQ(StatOf(file).st_mode & 07777, 0666u);
        EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string>{"shared.ini"}));
    }
}

TEST(SafeReplaceProtection, AFolderTheUserMayNotWriteInSaysSo) {
    if (!test::IsRoot()) GTEST_SKIP() << "needs root to act as another user";
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    std::string error;
    EXPECT_EQ(test::RunAsUser(kNobody, kNobody,
                              [&] {
                                  return Replace(dir / "new.ini", "x") ==
                                         "cannot create a temporary file in " + dir.Path() +
                                             ": Permission denied";
                              }),
              1);
    EXPECT_TRUE(NamesIn(dir.Path()).empty());
}

}  // namespace
}  // namespace tavrin::fileio
