#include <gtest/gtest.h>
#include <sys/stat.h>

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
    EXPECT_EQ(questions.records[0].text,
              "Are you sure you want to permanently delete these 2 items?");
    questions.yesNo = {true};
    r = op.Run(FileOpKind::Delete, {dir / "src/a.txt", dir / "src/tree"}, {});
    EXPECT_EQ(r.done, 2);
    EXPECT_FALSE(FileExists(dir / "src/a.txt"));
    EXPECT_FALSE(FileExists(dir / "src/tree"));
    EXPECT_EQ(questions.records.size(), 2u);
    questions.yesNo = {true};
    op.Run(FileOpKind::Delete, {dir / "dst"}, {});
    EXPECT_EQ(questions.records.back().text, "Are you sure you want to delete 'dst' permanently?");
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
