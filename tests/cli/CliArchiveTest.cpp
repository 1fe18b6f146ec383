#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::FileExists;
using test::ReadFile;
using test::RunCommand;
using test::TempDir;
using test::WriteFile;

std::string Cli(const std::string& args) {
    return std::string("'") + TAVRIN_BIN_DIR + "/tavrin-cli' " + args + " 2>&1";
}

TEST(CliArchive, ListPrintsTheDialogLines) {
    TempDir dir;
    test::MakeZipWithPython(dir / "a.zip", {{"file_id.diz", std::string(1234, 'x')},
                                            {"docs/readme.txt@1999-12-31-23-59", "hi"}});
    std::string out;
    ASSERT_EQ(RunCommand(Cli("list '" + dir / "a.zip'"), &out), 0) << out;
    EXPECT_EQ(out,
              "   1234  03-07-02 14:05  file_id.diz\n"
              "      2  12-31-99 23:59  docs/readme.txt\n");
}

TEST(CliArchive, ZipThenUnzipRoundTrip) {
    TempDir dir;
    WriteFile(dir / "one.txt", "first");
    std::filesystem::create_directories(dir / "sub/deep");
    WriteFile(dir / "sub/deep/two.txt", "second");
    std::string out;
    // Default boxes: no paths stored, no recursion.
    ASSERT_EQ(RunCommand(Cli("zip '" + dir / "p.zip' '" + dir / "one.txt'"), &out), 0) << out;
    ASSERT_EQ(RunCommand(Cli("zip --recurse --no-junk-paths --level 9 '" + dir / "p.zip' '" +
                             dir / "sub'"),
                         &out),
              0)
        << out;
    ASSERT_EQ(RunCommand("unzip -Z1 '" + dir / "p.zip'", &out), 0);
    EXPECT_NE(out.find("one.txt\n"), std::string::npos);
    EXPECT_NE(out.find("sub/deep/two.txt\n"), std::string::npos) << out;

    ASSERT_EQ(RunCommand(Cli("unzip --with-paths '" + dir / "p.zip' '" + dir / "out'"), &out), 0)
        << out;
    EXPECT_EQ(ReadFile(dir / "out/one.txt"), "first");
    // Absolute names are stored relative: the folders below the root are recreated.
    EXPECT_EQ(ReadFile(dir / ("out" + (dir / "sub/deep/two.txt"))), "second");

    // Only the named entry, without paths.
    ASSERT_EQ(RunCommand(Cli("unzip '" + dir / "p.zip' '" + dir / "flat' one.txt"), &out), 0)
        << out;
    EXPECT_TRUE(FileExists(dir / "flat/one.txt"));
    EXPECT_FALSE(FileExists(dir / "flat/two.txt"));
}

// A refused job prints the engine's reasons, as zip prints them.
TEST(CliArchive, RefusedZipPrintsTheEngineMessages) {
    TempDir dir;
    std::filesystem::create_directories(dir / "d1");
    std::filesystem::create_directories(dir / "d2");
    WriteFile(dir / "d1/x.txt", "1");
    WriteFile(dir / "d2/x.txt", "2");
    std::string out;
    EXPECT_EQ(
        RunCommand(Cli("zip '" + dir / "x.zip' '" + dir / "d1/x.txt' '" + dir / "d2/x.txt'"), &out),
        1);
    EXPECT_NE(out.find("second full name: " + dir / "d2/x.txt"), std::string::npos) << out;
    EXPECT_NE(out.find("cannot repeat names in zip file"), std::string::npos);
    EXPECT_FALSE(FileExists(dir / "x.zip"));
}

TEST(CliArchive, ErrorsAndUsage) {
    TempDir dir;
    std::string out;
    EXPECT_EQ(RunCommand(Cli("list"), &out), 2);
    EXPECT_EQ(RunCommand(Cli("frobnicate"), &out), 2);
    EXPECT_EQ(RunCommand(Cli("zip --bogus a.zip b"), &out), 2);
    EXPECT_EQ(RunCommand(Cli("list '" + dir / "missing.zip'"), &out), 1);
    WriteFile(dir / "junk.zip", "this is not an archive");
    EXPECT_EQ(RunCommand(Cli("list '" + dir / "junk.zip'"), &out), 1);
    test::MakeZipWithPython(dir / "a.zip", {{"x", "1"}});
    EXPECT_EQ(RunCommand(Cli("unzip '" + dir / "a.zip' '" + dir / "o' nothere"), &out), 1);
    EXPECT_NE(out.find("no entry nothere"), std::string::npos);
    EXPECT_EQ(RunCommand(Cli("zip '" + dir / "n.zip' '" + dir / "absent'"), &out), 1);
    EXPECT_FALSE(FileExists(dir / "n.zip"));
}

}  // namespace
}  // namespace tavrin
