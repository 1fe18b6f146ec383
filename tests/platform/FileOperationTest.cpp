#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "filemanager/AMHFileOp.h"
#include "platform/fileop/FileOperation.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::FileExists;
using test::ReadFile;
using test::ScriptedQuestions;
using test::TempDir;
using test::WriteFile;

// Records the progress reports; cancels after `allowed` of them (never when negative).
class RecordingProgress : public FileOpProgress {
  public:
    explicit RecordingProgress(int allowed = -1) : allowed_(allowed) {}
    void Begin(const std::string& t) override { title = t; }
    void SetTotals(const FileOpCounts& t) override { totals = t; }
    bool Update(const FileOpCounts& done, const std::string&) override {
        updates.push_back(done);
        return allowed_ < 0 || int(updates.size()) <= allowed_;
    }
    void End() override { ended = true; }
    std::string title;
    FileOpCounts totals;
    std::vector<FileOpCounts> updates;
    bool ended = false;

  private:
    int allowed_;
};

// A clock that moves on by `step` at every look, so that the operation may report each time.
std::function<std::chrono::steady_clock::time_point()> SteppingClock(
    std::chrono::milliseconds step) {
    auto now = std::make_shared<std::chrono::steady_clock::time_point>();
    return [now, step] { return *now += step; };
}
constexpr std::chrono::milliseconds kOften{100};  // longer than the reporting interval

// A small tmpfs mounted on a fresh folder for the life of the object (root only).
class TmpfsMount {
  public:
    TmpfsMount(const std::string& at, const std::string& size) : at_(at) {
        fs::create_directories(at);
        mounted_ = geteuid() == 0 &&
                   mount("tavrin-test", at.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~TmpfsMount() {
        if (mounted_) umount2(at_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }

  private:
    std::string at_;
    bool mounted_ = false;
};

// Every entry below a folder with its content ("name" for a folder, "name=bytes" for a file).
std::vector<std::string> TreeOf(const std::string& folder) {
    std::vector<std::string> entries;
    for (auto& e : fs::recursive_directory_iterator(folder)) {
        std::string name = e.path().string().substr(folder.size());
        entries.push_back(e.is_regular_file() ? name + "=" + ReadFile(e.path()) : name);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string WithoutSlashForTest(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

class FileOperationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir / "src/tree/deep");
        fs::create_directories(dir / "dst");
        WriteFile(dir / "src/a.txt", "alpha");
        WriteFile(dir / "src/tree/b.txt", "beta");
        WriteFile(dir / "src/tree/deep/c.bin", std::string(300000, 'c'));
        fs::create_symlink("b.txt", dir / "src/tree/link");
    }
    TempDir dir;
    ScriptedQuestions questions;
};

TEST_F(FileOperationTest, CopiesFilesAndTreesWhole) {
    FileOperation op(questions);
    FileOpResult r = op.Run(FileOpKind::Copy, {dir / "src/a.txt", dir / "src/tree"}, {dir / "dst"});
    EXPECT_EQ(r.done, 2);
    EXPECT_EQ(r.failures, 0);
    EXPECT_EQ(ReadFile(dir / "dst/a.txt"), "alpha");
    EXPECT_EQ(ReadFile(dir / "dst/tree/deep/c.bin"), std::string(300000, 'c'));
    EXPECT_EQ(fs::read_symlink(dir / "dst/tree/link"), "b.txt");
    EXPECT_TRUE(FileExists(dir / "src/tree/b.txt"));  // copies leave the sources
    EXPECT_TRUE(questions.records.empty());
    // Into itself: refused with the error question, nothing made.
    questions.skip = {SkipAnswer::Skip};
    r = op.Run(FileOpKind::Copy, {dir / "src/tree"}, {dir / "src/tree/deep"});
    EXPECT_EQ(r.failures, 1);
    EXPECT_FALSE(FileExists(dir / "src/tree/deep/tree"));
    EXPECT_EQ(questions.records.back().kind, "skip");
    EXPECT_EQ(questions.records.back().text,
              "Cannot copy a folder into itself: " + dir / "src/tree into " +
                  dir / "src/tree/deep/tree.");
}

// "Into itself" is a matter of identity: a link to a folder inside the source, a spelling
// with "..", or the source itself seen through a link, are all refused as cp -r does.
TEST_F(FileOperationTest, IntoItselfThroughLinksIsRefused) {
    fs::create_symlink(dir / "src/tree/deep", dir / "alias");
    fs::create_symlink(dir / "src", dir / "src-alias");
    FileOperation op(questions);
    std::vector<std::string> before = TreeOf(dir / "src");
    for (FileOpKind kind : {FileOpKind::Copy, FileOpKind::Move}) {
        for (const std::string& into : {dir / "alias", dir / "alias/",
                                        dir / "src/tree/deep/../deep", dir / "src-alias/tree"}) {
            questions.records.clear();
            questions.skip = {SkipAnswer::Skip};
            FileOpResult r = op.Run(kind, {dir / "src/tree"}, {into});
            EXPECT_EQ(r.done, 0) << into;
            ASSERT_EQ(questions.records.size(), 1u) << into;
            EXPECT_NE(questions.records[0].text.find("a folder into itself"), std::string::npos);
            EXPECT_EQ(TreeOf(dir / "src"), before) << into;
        }
    }
    // The same file reached through a link to its folder is not copied onto itself.
    questions.skip = {SkipAnswer::Skip};
    FileOpResult r = op.Run(FileOpKind::Move, {dir / "src/a.txt"}, {dir / "src-alias"});
    EXPECT_EQ(r.done, 0);
    EXPECT_EQ(
        questions.records.back().text,
        "Cannot move " + dir / "src/a.txt: it is the same file as " + dir / "src-alias/a.txt.");
    EXPECT_EQ(ReadFile(dir / "src/a.txt"), "alpha");
    // A folder beside it whose name only starts the same is no part of it.
    fs::create_directories(dir / "src/tree2");
    r = op.Run(FileOpKind::Copy, {dir / "src/tree"}, {dir / "src/tree2"});
    EXPECT_EQ(r.done, 1);
    EXPECT_EQ(ReadFile(dir / "src/tree2/tree/b.txt"), "beta");
}

TEST_F(FileOperationTest, OverwriteAnswers) {
    WriteFile(dir / "dst/a.txt", "old a");
    fs::create_directories(dir / "dst/tree/deep");
    WriteFile(dir / "dst/tree/b.txt", "old b");
    WriteFile(dir / "dst/tree/deep/c.bin", "old c");
    FileOperation op(questions);
    questions.overwrite = {OverwriteAnswer::No, OverwriteAnswer::Yes, OverwriteAnswer::Cancel};
    FileOpResult r = op.Run(FileOpKind::Copy, {dir / "src/a.txt", dir / "src/tree"}, {dir / "dst"});
    EXPECT_EQ(ReadFile(dir / "dst/a.txt"), "old a");  // No
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(questions.records[0].title, "Confirm File Replace");
    int replaced = (ReadFile(dir / "dst/tree/b.txt") == "beta") +
                   (ReadFile(dir / "dst/tree/deep/c.bin").size() > 5);
    EXPECT_EQ(replaced, 1);  // Yes to the one asked second; Cancel stopped the other

    questions.overwrite = {OverwriteAnswer::YesToAll};
    r = op.Run(FileOpKind::Copy, {dir / "src/a.txt", dir / "src/tree"}, {dir / "dst"});
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(ReadFile(dir / "dst/a.txt"), "alpha");
    EXPECT_EQ(ReadFile(dir / "dst/tree/b.txt"), "beta");
    EXPECT_EQ(ReadFile(dir / "dst/tree/deep/c.bin"), std::string(300000, 'c'));
}

TEST_F(FileOperationTest, MovesRenameOrCopyThenRemove) {
    FileOperation op(questions);
    FileOpResult r = op.Run(FileOpKind::Move, {dir / "src/a.txt", dir / "src/tree"}, {dir / "dst"});
    EXPECT_EQ(r.done, 2);
    EXPECT_FALSE(FileExists(dir / "src/a.txt"));
    EXPECT_FALSE(FileExists(dir / "src/tree"));
    EXPECT_EQ(ReadFile(dir / "dst/tree/deep/c.bin"), std::string(300000, 'c'));
    // Onto /dev/shm when there is one: another file system, so copied and then removed.
    std::error_code ec;
    if (fs::is_directory("/dev/shm", ec)) {
        TempDir other;  // may be the same file system; the result must be the same either way
        std::string shm = "/dev/shm/tavrin-move-" + std::to_string(getpid());
        fs::create_directory(shm);
        r = op.Run(FileOpKind::Move, {dir / "dst/tree"}, {shm});
        EXPECT_EQ(r.done, 1);
        EXPECT_FALSE(FileExists(dir / "dst/tree"));
        EXPECT_EQ(ReadFile(shm + "/tree/deep/c.bin"), std::string(300000, 'c'));
        fs::remove_all(shm, ec);
    }
}

TEST_F(FileOperationTest, CancelHalfwayLeavesSourcesWhole) {
    WriteFile(dir / "src/big.bin", std::string(20 << 20, 'b'));
    RecordingProgress progress(1);
    FileOperation op(questions, &progress);
    op.clock = SteppingClock(kOften);
    FileOpResult r = op.Run(FileOpKind::Move, {dir / "src/big.bin"}, {"/dev/shm"});
    (void)r;
    // Whatever was moved is whole; what was not is still in place, whole.
    std::string moved = "/dev/shm/big.bin";
    if (FileExists(moved)) {
        EXPECT_EQ(fs::file_size(moved), std::size_t(20 << 20));
        fs::remove(moved);
    } else {
        EXPECT_EQ(fs::file_size(dir / "src/big.bin"), std::size_t(20 << 20));
    }
    // A cancelled copy leaves no half-written file behind.
    RecordingProgress early(0);
    FileOperation op2(questions, &early);
    op2.clock = SteppingClock(kOften);
    r = op2.Run(FileOpKind::Copy, {dir / "src/big.bin"}, {dir / "dst"});
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(FileExists(dir / "dst/big.bin"));
    EXPECT_EQ(fs::directory_iterator(dir / "dst") == fs::directory_iterator(), true);
    EXPECT_EQ(fs::file_size(dir / "src/big.bin"), std::size_t(20 << 20));
}

// A copy that replaces a file writes beside it: cancelled or failed, exactly the file it
// made goes again and the old file stays as it was.
TEST_F(FileOperationTest, ReplacingCopyThatStopsLeavesNoTemporaryFile) {
    WriteFile(dir / "src/big.bin", std::string(20 << 20, 'n'));
    WriteFile(dir / "dst/big.bin", "the old file");
    RecordingProgress progress(1);  // cancelled at the second report, halfway through
    FileOperation op(questions, &progress);
    op.clock = SteppingClock(kOften);
    questions.overwrite = {OverwriteAnswer::Yes};
    FileOpResult r = op.Run(FileOpKind::Copy, {dir / "src/big.bin"}, {dir / "dst"});
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(TreeOf(dir / "dst"), std::vector<std::string>{"/big.bin=the old file"});
    EXPECT_EQ(questions.records.size(), 1u);  // the overwrite question; a cancel is no error
}

// On a full disk the error names the real cause, once for the name, and nothing is left
// behind: neither a part of a new file nor a temporary file beside a replaced one.
TEST_F(FileOperationTest, FullDiskIsReportedAsSuchAndLeavesNothingBehind) {
    TmpfsMount small(dir / "small", "1m");
    if (!small.Mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    WriteFile(dir / "src/big.bin", std::string(3 << 20, 'x'));
    WriteFile(dir / "small/big.bin", std::string(300000, 'o'));
    FileOperation op(questions);
    for (bool replacing : {true, false}) {
        questions.records.clear();
        questions.overwrite = {OverwriteAnswer::Yes};
        questions.skip = {SkipAnswer::Skip};
        if (!replacing) fs::remove(dir / "small/big.bin");
        FileOpResult r = op.Run(FileOpKind::Copy, {dir / "src/big.bin"}, {dir / "small"});
        EXPECT_EQ(r.failures, 1);
        ASSERT_EQ(questions.records.back().kind, "skip");
        EXPECT_EQ(questions.records.back().text,
                  "Cannot copy " + dir / "src/big.bin\nto " +
                      dir / "small/big.bin:\nNo space left on device.");
        EXPECT_EQ(std::count_if(questions.records.begin(), questions.records.end(),
                                [](auto& q) { return q.kind == "skip"; }),
                  1);
        if (replacing)
            EXPECT_EQ(TreeOf(dir / "small"),
                      std::vector<std::string>{"/big.bin=" + std::string(300000, 'o')});
        else
            EXPECT_TRUE(fs::is_empty(dir / "small"));
    }
    // A move onto the full disk leaves the source where it was.
    questions.skip = {SkipAnswer::Skip};
    op.Run(FileOpKind::Move, {dir / "src/big.bin"}, {dir / "small"});
    EXPECT_EQ(fs::file_size(dir / "src/big.bin"), std::size_t(3 << 20));
    EXPECT_TRUE(fs::is_empty(dir / "small"));
}

// Every failing name gets one question; "Skip all" stops the questions, not the work;
// "Cancel" stops the work.
TEST_F(FileOperationTest, FailingNamesAskSkipSkipAllOrCancel) {
    fs::create_directories(dir / "odd");
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(mkfifo((dir / ("odd/pipe" + std::to_string(i))).c_str(), 0600), 0);
        WriteFile(dir / ("odd/file" + std::to_string(i)), "f");
    }
    FileOperation op(questions);
    questions.skip = {SkipAnswer::Skip, SkipAnswer::SkipAll};
    FileOpResult r = op.Run(FileOpKind::Copy, {dir / "odd"}, {dir / "dst"});
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(r.failures, 4);
    EXPECT_EQ(questions.records.size(), 2u);
    EXPECT_EQ(questions.records[0].title, "Tavrin 2.7");
    EXPECT_NE(questions.records[0].text.find("it is not a regular file"), std::string::npos);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ReadFile(dir / ("dst/odd/file" + std::to_string(i))), "f");

    // Skip all lasts for one run only; Cancel ends the run at the first failure.
    fs::remove_all(dir / "dst/odd");
    questions.records.clear();
    questions.skip = {SkipAnswer::Cancel};
    r = op.Run(FileOpKind::Copy, {dir / "odd/pipe0", dir / "odd/pipe1", dir / "odd/file0"},
               {dir / "dst"});
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(questions.records.size(), 1u);
    EXPECT_FALSE(FileExists(dir / "dst/file0"));
    // A move onto another file system that could not copy the folder whole keeps the source
    // folder and what failed in it; what was copied has gone from it.
    TmpfsMount other(dir / "other", "4m");
    if (!other.Mounted()) return;
    questions.skip = {SkipAnswer::SkipAll};
    r = op.Run(FileOpKind::Move, {dir / "odd"}, {dir / "other"});
    EXPECT_EQ(r.done, 0);
    EXPECT_EQ(r.failures, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(FileExists(dir / ("odd/pipe" + std::to_string(i))));
        EXPECT_FALSE(FileExists(dir / ("odd/file" + std::to_string(i))));
        EXPECT_EQ(ReadFile(dir / ("other/odd/file" + std::to_string(i))), "f");
    }
}

// The overwrite question names the target with its folder, and size and date of both files.
TEST_F(FileOperationTest, OverwriteQuestionShowsBothFiles) {
    WriteFile(dir / "dst/a.txt", "older and longer");
    ASSERT_EQ(test::RunCommand("touch -d '2002-03-07 14:05' '" +
                               dir / "dst/a.txt' && "
                                     "touch -d '2003-11-30 09:41' '" +
                               dir / "src/a.txt'"),
              0);
    TAMHFileOp op;
    op.SetFrom({dir / "src/a.txt"});
    op.ToList = {dir / "dst"};
    op.Operation = foCopy;
    questions.overwrite = {OverwriteAnswer::No};
    op.Execute(questions, nullptr);
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].title, "Confirm File Replace");
    EXPECT_EQ(questions.records[0].text,
              "The folder " + dir / "dst/" +
                  "\nalready contains a file called 'a.txt'.\n\nWould you like to replace the "
                  "existing file\n    16 bytes, modified 03/07/2002 14:05\n\nwith this one?\n"
                  "    5 bytes, modified 11/30/2003 09:41");
    EXPECT_EQ(ReadFile(dir / "dst/a.txt"), "older and longer");
}

// Progress counts entries and bytes, also for empty files and for deleting, and the whole
// is known before the work starts.
TEST_F(FileOperationTest, ProgressCountsEntriesAndBytes) {
    fs::create_directories(dir / "empty");
    for (int i = 0; i < 300; ++i) WriteFile(dir / ("empty/e" + std::to_string(i)), "");
    RecordingProgress progress;
    FileOperation op(questions, &progress);
    op.clock = SteppingClock(kOften);
    op.Run(FileOpKind::Copy, {dir / "src/a.txt", dir / "src/tree", dir / "empty"}, {dir / "dst"});
    EXPECT_EQ(progress.title, "Copying...");
    // a.txt; tree, b.txt, link, deep, c.bin; empty and its 300 files
    FileOpCounts all{1 + 5 + 301, 5 + 4 + 300000};
    EXPECT_EQ(progress.totals, all);
    ASSERT_FALSE(progress.updates.empty());
    EXPECT_EQ(progress.updates.back(), all);
    EXPECT_GT(progress.updates.size(), 300u);  // the empty files move it too
    EXPECT_TRUE(progress.ended);
    EXPECT_EQ(ProgressPermille(all, all), 1000);
    EXPECT_EQ(ProgressPermille({150, 0}, {300, 0}), 500);
    EXPECT_EQ(ProgressPermille({0, 0}, {0, 0}), 0);

    // A move within the file system counts one rename per name; a folder merged into one of
    // the same name goes entry by entry, and the whole grows to say so.
    fs::create_directories(dir / "merge/tree");
    WriteFile(dir / "merge/tree/old.txt", "old");
    RecordingProgress moving;
    FileOperation mover(questions, &moving);
    mover.clock = SteppingClock(kOften);
    mover.Run(FileOpKind::Move, {dir / "src/a.txt", dir / "src/tree"}, {dir / "merge"});
    EXPECT_EQ(moving.totals, (FileOpCounts{1 + 5, 5 + 4 + 300000}));
    ASSERT_FALSE(moving.updates.empty());
    EXPECT_EQ(moving.updates.back(), moving.totals);
    EXPECT_EQ(ReadFile(dir / "merge/tree/deep/c.bin"), std::string(300000, 'c'));
    EXPECT_EQ(ReadFile(dir / "merge/tree/old.txt"), "old");
    EXPECT_FALSE(FileExists(dir / "src/tree"));

    RecordingProgress deleting;
    FileOperation remover(questions, &deleting);
    remover.clock = SteppingClock(kOften);
    questions.yesNo = {true};
    remover.Run(FileOpKind::Delete, {dir / "dst/tree", dir / "dst/empty"}, {});
    EXPECT_EQ(deleting.title, "Deleting...");
    EXPECT_EQ(deleting.totals.entries, 5u + 301u);
    ASSERT_FALSE(deleting.updates.empty());
    EXPECT_EQ(deleting.updates.back().entries, 5u + 301u);
}

// Reports are paced by the clock, not by the number of entries: many small entries cost
// no window updates of their own.
TEST_F(FileOperationTest, ProgressReportsAreThrottled) {
    fs::create_directories(dir / "many");
    std::vector<std::string> names;
    for (int i = 0; i < 2000; ++i) {
        names.push_back(dir / ("many/f" + std::to_string(i)));
        WriteFile(names.back(), "");
    }
    RecordingProgress progress;
    FileOperation op(questions, &progress);
    auto now = std::make_shared<std::chrono::steady_clock::time_point>();
    int looks = 0;
    op.clock = [&] {
        ++looks;
        return *now += std::chrono::milliseconds(5);  // ten entries per reporting interval
    };
    questions.yesNo = {true};
    FileOpResult r = op.Run(FileOpKind::Delete, names, {});
    EXPECT_EQ(r.done, 2000);
    EXPECT_TRUE(fs::is_empty(dir / "many"));
    EXPECT_GE(looks, 2000);
    EXPECT_LE(progress.updates.size(), 2000u / 10 + 1);
    EXPECT_GE(progress.updates.size(), 2000u / 10 - 1);
}

// A sparse file is copied with its holes: the copy reads the same and takes no more room.
TEST_F(FileOperationTest, SparseFilesKeepTheirHoles) {
    std::string sparse = dir / "src/sparse.img";
    ASSERT_EQ(test::RunCommand("truncate -s 64M '" + sparse + "' && printf head | dd of='" +
                               sparse + "' conv=notrunc status=none && printf middle | dd of='" +
                               sparse + "' bs=1M seek=32 conv=notrunc status=none"),
              0);
    struct stat st {};
    ASSERT_EQ(stat(sparse.c_str(), &st), 0);
    if (st.st_blocks * 512 >= st.st_size) GTEST_SKIP() << "this file system makes no holes";
    FileOperation op(questions);
    FileOpResult r = op.Run(FileOpKind::Copy, {sparse}, {dir / "dst"});
    EXPECT_EQ(r.failures, 0);
    struct stat copy {};
    ASSERT_EQ(stat((dir / "dst/sparse.img").c_str(), &copy), 0);
    EXPECT_EQ(copy.st_size, st.st_size);
    EXPECT_LE(copy.st_blocks, st.st_blocks + 16);
    EXPECT_TRUE(ReadFile(dir / "dst/sparse.img") == ReadFile(sparse));
}

TEST_F(FileOperationTest, DeleteAsksOnceAndRemovesPermanently) {
    FileOperation op(questions);
    questions.yesNo = {false};
    FileOpResult r = op.Run(FileOpKind::Delete, {dir / "src/a.txt", dir / "src/tree"}, {});
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(FileExists(dir / "src/a.txt"));
    EXPECT_EQ(questions.records[0].kind, "delete");  // the question whose default is No
    EXPECT_EQ(questions.records[0].title, "Confirm Multiple File Delete");
    EXPECT_EQ(questions.records[0].text,
              "Are you sure you want to permanently delete these 2 items?\n\n" +
                  dir / "src/a.txt\n" + dir / "src/tree/");
    questions.yesNo = {true};
    r = op.Run(FileOpKind::Delete, {dir / "src/a.txt", dir / "src/tree"}, {});
    EXPECT_EQ(r.done, 2);
    EXPECT_FALSE(FileExists(dir / "src/a.txt"));
    EXPECT_FALSE(FileExists(dir / "src/tree"));
    EXPECT_EQ(questions.records.size(), 2u);
    questions.yesNo = {true};
    op.Run(FileOpKind::Delete, {dir / "dst/"}, {});
    EXPECT_EQ(questions.records.back().title, "Confirm File Delete");
    EXPECT_EQ(questions.records.back().text, "Are you sure you want to delete the folder '" +
                                                 dir / "dst" +
                                                 "' and everything in it permanently?");
}

TEST_F(FileOperationTest, DeleteQuestionNamesTheFirstOfManyAndCountsTheRest) {
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) {
        names.push_back(dir / ("src/f" + std::to_string(i)));
        WriteFile(names.back(), "x");
    }
    EXPECT_EQ(DeleteQuestionText({names[0]}),
              "Are you sure you want to delete '" + names[0] + "' permanently?");
    std::string text = DeleteQuestionText(names);
    EXPECT_EQ(text.rfind("Are you sure you want to permanently delete these 8 items?\n", 0), 0u);
    for (int i = 0; i < 5; ++i) EXPECT_NE(text.find("\n" + names[i] + "\n"), std::string::npos);
    EXPECT_EQ(text.find(names[5]), std::string::npos);
    EXPECT_EQ(text.substr(text.rfind('\n')), "\n... and 3 more");
}

// "/" and the root of any volume, however reached, are refused before anything is asked or
// touched, alone or among other names.
TEST_F(FileOperationTest, VolumeRootsAreNeverDeletedMovedOrCopied) {
    FileOperation op(questions);
    // No answer is queued: were "/" not refused, the delete question would be answered No.
    for (const char* root : {"/", "//", "/tmp/.."}) {
        questions.records.clear();
        FileOpResult r = op.Run(FileOpKind::Delete, {root}, {});
        EXPECT_EQ(r.failures, 1) << root;
        ASSERT_EQ(questions.records.size(), 1u) << root;
        EXPECT_EQ(questions.records[0].kind, "message");
        EXPECT_EQ(questions.records[0].text,
                  VolumeRootRefusal(FileOpKind::Delete, WithoutSlashForTest(root)));
    }
    EXPECT_EQ(VolumeRootRefusal(FileOpKind::Delete, "/"),
              "Cannot delete '/': it is the root of a drive.\nOpen the drive and choose the "
              "files and folders to delete.");

    // A folder tree that the mount table names as a volume.
    fs::create_directories(dir / "vol/inner");
    WriteFile(dir / "vol/inner/keep.txt", "keep");
    WriteFile(dir / "vol/top.txt", "top");
    fs::create_symlink(dir / "vol", dir / "link-to-vol");
    op.mountPoints = [&] { return std::vector<std::string>{dir / "vol/"}; };
    std::vector<std::string> before = TreeOf(dir / "vol");
    for (FileOpKind kind : {FileOpKind::Delete, FileOpKind::Move, FileOpKind::Copy}) {
        questions.records.clear();
        questions.yesNo = {true};  // today's delete would go ahead on this answer
        for (auto sources : {std::vector<std::string>{dir / "vol"},
                             std::vector<std::string>{dir / "src/a.txt", dir / "vol/"},
                             std::vector<std::string>{dir / "vol/."}}) {
            FileOpResult r = op.Run(kind, sources, {dir / "dst"});
            EXPECT_EQ(r.done, 0);
            EXPECT_EQ(questions.records.back().text,
                      VolumeRootRefusal(kind, WithoutSlashForTest(sources.back())));
        }
        EXPECT_EQ(questions.yesNo.size(), 1u);  // nothing was asked
        EXPECT_EQ(TreeOf(dir / "vol"), before);
        EXPECT_EQ(ReadFile(dir / "src/a.txt"), "alpha");
        EXPECT_TRUE(fs::is_empty(dir / "dst"));
    }
    // The link itself is no volume: deleting it removes the link only.
    questions.yesNo = {true};
    FileOpResult r = op.Run(FileOpKind::Delete, {dir / "link-to-vol"}, {});
    EXPECT_EQ(r.done, 1);
    EXPECT_FALSE(FileExists(dir / "link-to-vol"));
    EXPECT_EQ(TreeOf(dir / "vol"), before);
}

TEST_F(FileOperationTest, RealMountPointsAreRefused) {
    TmpfsMount mount(dir / "mnt", "1m");
    if (!mount.Mounted()) GTEST_SKIP() << "needs root to mount a tmpfs";
    WriteFile(dir / "mnt/data.txt", "data");
    FileOperation op(questions);
    for (FileOpKind kind : {FileOpKind::Delete, FileOpKind::Move, FileOpKind::Copy}) {
        questions.yesNo = {true};
        FileOpResult r = op.Run(kind, {dir / "mnt"}, {dir / "dst"});
        EXPECT_EQ(r.done, 0);
        EXPECT_EQ(questions.records.back().text, VolumeRootRefusal(kind, dir / "mnt"));
        EXPECT_EQ(ReadFile(dir / "mnt/data.txt"), "data");
        EXPECT_TRUE(fs::is_empty(dir / "dst"));
    }

    // A volume mounted inside a folder is not part of it: deleting or moving the folder
    // (here onto another file system) leaves that volume and the folder holding it.
    TmpfsMount other(dir / "other", "4m");
    for (FileOpKind kind : {FileOpKind::Delete, FileOpKind::Move}) {
        fs::create_directories(dir / "outer/sub");
        WriteFile(dir / "outer/a.txt", "a");
        WriteFile(dir / "outer/sub/b.txt", "b");
        TmpfsMount inner(dir / "outer/usb", "1m");
        WriteFile(dir / "outer/usb/keep.txt", "keep");
        questions.records.clear();
        questions.yesNo = {true};
        questions.skip = {SkipAnswer::Skip};
        FileOpResult r = op.Run(kind, {dir / "outer"}, {dir / "other"});
        EXPECT_EQ(r.done, 0);
        ASSERT_EQ(questions.records.size(), kind == FileOpKind::Delete ? 2u : 1u);
        EXPECT_EQ(questions.records.back().text, VolumeRootRefusal(kind, dir / "outer/usb"));
        EXPECT_EQ(ReadFile(dir / "outer/usb/keep.txt"), "keep");
        EXPECT_FALSE(FileExists(dir / "outer/a.txt"));  // the rest went
        EXPECT_FALSE(FileExists(dir / "outer/sub"));
        if (kind == FileOpKind::Move) {
            EXPECT_EQ(ReadFile(dir / "other/outer/a.txt"), "a");
            EXPECT_EQ(ReadFile(dir / "other/outer/sub/b.txt"), "b");
            EXPECT_FALSE(FileExists(dir / "other/outer/usb/keep.txt"));
        }
    }
}

TEST(AMHFileOp, ListsFlagsAndNamesWithSemicolons) {
    EXPECT_EQ(SplitNames("/a;/b;;/c"), (std::vector<std::string>{"/a", "/b", "/c"}));
    EXPECT_EQ(FlagWord({fofAllowUndo, fofSilent, fofNoConfirmation}), 0x0040u | 0x0004u | 0x0010u);
    EXPECT_EQ(FlagWord({}), 0u);
    TempDir dir;
    fs::create_directory(dir / "to");
    WriteFile(dir / "semi;colon.txt", "x");
    ScriptedQuestions questions;
    TAMHFileOp op;
    op.SetFrom({dir / "semi;colon.txt"});
    op.ToList = {dir / "to"};
    op.Operation = foCopy;
    EXPECT_EQ(op.FilesFrom, dir / "semi;colon.txt");
    FileOpResult r = op.Execute(questions, nullptr);
    EXPECT_EQ(r.done, 1);
    EXPECT_EQ(ReadFile(dir / "to/semi;colon.txt"), "x");
}

}  // namespace
}  // namespace tavrin
