// tavrin.ext keeps what it is when it is saved: its mode, its link, its hard links.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "description/CustomNames.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(CustomNamesSave, KeepsTheModeTheLinkAndTheHardLinks) {
    TempDir dir;
    const std::string ext = dir / "tavrin.ext";
    WriteFile(ext, "old.nfo\r\n");
    ::chmod(ext.c_str(), 0644);
    ASSERT_TRUE(WriteCustoms(ext, {"file.nfo"}));
    EXPECT_EQ(ModeOf(ext), 0644u);
    ::chmod(ext.c_str(), 0640);
    ASSERT_TRUE(WriteCustoms(ext, {"file.nfo", "readme.nfo"}));
    EXPECT_EQ(ModeOf(ext), 0640u);
    EXPECT_EQ(ReadFile(ext), "file.nfo\r\nreadme.nfo\r\n");

    // A new file gets the usual mode of new files, not a private one.
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(WriteCustoms(dir / "new.ext", {"a"}));
    ::umask(mask);
    EXPECT_EQ(ModeOf(dir / "new.ext"), 0644u);

    fs::create_directory(dir / "settings");
    fs::rename(ext, dir / "settings/tavrin.ext");
    fs::create_symlink("settings/tavrin.ext", ext);
    fs::create_hard_link(dir / "settings/tavrin.ext", dir / "settings/copy.ext");
    ASSERT_TRUE(WriteCustoms(ext, {"linked.nfo"}));
    EXPECT_TRUE(fs::is_symlink(ext));
    EXPECT_EQ(ReadFile(dir / "settings/copy.ext"), "linked.nfo\r\n");
    EXPECT_EQ(ModeOf(ext), 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "settings"), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace tavrin
