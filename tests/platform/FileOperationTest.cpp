#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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

// Cancels after a number of progress reports.
class CancellingProgress : public FileOpProgress {
  public:
    explicit CancellingProgress(int allowed) : allowed_(allowed) {}
    void Begin(const std::string&, std::uint64_t total) override { total_ = total; }
    bool Update(std::uint64_t, const std::string&) override { return --allowed_ >= 0; }
    void End() override { ended_ = true; }
    std::uint64_t total_ = 0;
    bool ended_ = false;

  private:
    int allowed_;
};

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
    // Into itself: refused with a message, nothing made.
    r = op.Run(FileOpKind::Copy, {dir / "src/tree"}, {dir / "src/tree/deep"});
    EXPECT_EQ(r.failures, 1);
    EXPECT_FALSE(FileExists(dir / "src/tree/deep/tree"));
    EXPECT_EQ(questions.records.back().kind, "message");
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
    CancellingProgress progress(1);
    FileOperation op(questions, &progress);
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
    CancellingProgress early(0);
    FileOperation op2(questions, &early);
    r = op2.Run(FileOpKind::Copy, {dir / "src/big.bin"}, {dir / "dst"});
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(FileExists(dir / "dst/big.bin"));
    EXPECT_EQ(fs::directory_iterator(dir / "dst") == fs::directory_iterator(), true);
    EXPECT_EQ(fs::file_size(dir / "src/big.bin"), std::size_t(20 << 20));
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
