#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/UserQuestions.h"
#include "platform/profile/ProfileFile.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(ProfileFile, SectionAndKeyMatchWithoutCaseAndValuesAreCleaned) {
    ProfileFile f = ProfileFile::FromText(
        "[Packer]\r\n"
        "  ldrop =  ... and drop here  \r\n"
        "Quoted=\"  kept blanks \"\r\n"
        "Single='x'\r\n"
        "Half=\"only one\r\n"
        "Eq=a=b\r\n"
        "Empty=\r\n"
        "[Other]\n"
        "Ldrop=wrong section\n");
    EXPECT_EQ(f.ReadString("PACKER", "LDROP", "def"), "... and drop here");
    EXPECT_EQ(f.ReadString("packer", "quoted", "def"), "  kept blanks ");
    EXPECT_EQ(f.ReadString("packer", "single", "def"), "x");
    EXPECT_EQ(f.ReadString("packer", "half", "def"), "\"only one");
    EXPECT_EQ(f.ReadString("packer", "eq", "def"), "a=b");
    EXPECT_EQ(f.ReadString("packer", "empty", "def"), "");  // present but empty: not the default
    EXPECT_EQ(f.ReadString("packer", "missing", "def"), "def");
    EXPECT_EQ(f.ReadString("nosection", "ldrop", "def"), "def");
}

TEST(ProfileFile, TheFirstSectionOfANameHoldsWhateverItsSpelling) {
    // Written the same way or in other letter cases, a later section of the same name is not
    // read, not even for keys the first one lacks; nor is a later line of the same key.
    for (const char* again : {"[Buttons]", "[BUTTONS]", "[ buttons ]"}) {
        SCOPED_TRACE(again);
        ProfileFile f = ProfileFile::FromText(std::string("[Buttons]\nview=first\nview=twice\n"
                                                          "[Other]\nx=1\n") +
                                              again + "\nview=second\nextract=later\n");
        EXPECT_EQ(f.ReadString("buttons", "view", "def"), "first");
        EXPECT_EQ(f.ReadString("Buttons", "extract", "def"), "def");
        EXPECT_FALSE(f.HasKey("buttons", "extract"));
        EXPECT_TRUE(f.HasKey("BUTTONS", "VIEW"));
        EXPECT_EQ(f.ReadString("other", "x", "def"), "1");
    }
    // An empty first section holds too.
    ProfileFile empty = ProfileFile::FromText("[Tabs]\n[tabs]\nZip=Packer\n");
    EXPECT_EQ(empty.ReadString("Tabs", "Zip", "def"), "def");
    // Lines before the first section belong to none.
    EXPECT_EQ(ProfileFile::FromText("view=x\n[Buttons]\n").ReadString("Buttons", "view", "d"), "d");
}

TEST(ProfileFile, WritingChangesTheSectionThatIsRead) {
    TempDir dir;
    std::string ini = dir / "tavrin.ini";
    WriteFile(ini, "[INTERNATIONAL]\nX=1\n[International]\nLanguage=second\n");
    ASSERT_TRUE(ProfileFile::WriteString(ini, "International", "Language", "GERMAN.TVK"));
    EXPECT_EQ(ReadFile(ini),
              "[INTERNATIONAL]\nX=1\nLanguage=GERMAN.TVK\n[International]\nLanguage=second\n");
    EXPECT_EQ(ProfileFile::Open(ini).ReadString("International", "Language", ""), "GERMAN.TVK");
}

TEST(ProfileFile, LongValuesAreCutTo2047Characters) {
    std::string value(3000, 'x');
    value[2046] = 'y';
    ProfileFile f = ProfileFile::FromText("[s]\nk=" + value + "\n");
    std::string read = f.ReadString("s", "k", "");
    EXPECT_EQ(read.size(), 2047u);
    EXPECT_EQ(read.back(), 'y');
}

TEST(ProfileFile, MissingFileReadsEveryDefault) {
    ProfileFile f = ProfileFile::Open("/nonexistent/tavrin.ini");
    EXPECT_EQ(f.ReadString("International", "Language", "default"), "default");
}

TEST(ProfileFile, WritingKeepsEveryOtherLineAndReplacesTheValue) {
    TempDir dir;
    std::string ini = dir / "tavrin.ini";
    WriteFile(
        ini,
        "; my notes\r\n[Other]\r\nLanguage=keep\r\n[international]\r\nlanguage=old\r\nX=1\r\n");
    ASSERT_TRUE(ProfileFile::WriteString(ini, "International", "Language", "ITALIAN.TVK"));
    EXPECT_EQ(
        ReadFile(ini),
        "; my "
        "notes\r\n[Other]\r\nLanguage=keep\r\n[international]\r\nLanguage=ITALIAN.TVK\r\nX=1\r\n");

    ASSERT_TRUE(ProfileFile::WriteString(ini, "International", "New", "v"));
    ASSERT_TRUE(ProfileFile::WriteString(ini, "Fresh", "K", "w"));
    ProfileFile f = ProfileFile::Open(ini);
    EXPECT_EQ(f.ReadString("International", "new", ""), "v");
    EXPECT_EQ(f.ReadString("International", "X", ""), "1");
    EXPECT_EQ(f.ReadString("fresh", "k", ""), "w");
    EXPECT_EQ(f.ReadString("other", "language", ""), "keep");
}

TEST(ProfileFile, WritingCreatesAMissingFileAndFailsCleanlyInAMissingFolder) {
    TempDir dir;
    ASSERT_TRUE(ProfileFile::WriteString(dir / "new.ini", "International", "Language", ""));
    EXPECT_EQ(ReadFile(dir / "new.ini"), "[International]\r\nLanguage=\r\n");
    EXPECT_FALSE(ProfileFile::WriteString(dir / "no/such/folder.ini", "a", "b", "c"));
}

// tavrin.ini kept elsewhere and linked, shared by hard links, private, or someone else's.
TEST(ProfileFile, WritingKeepsTheFilesLinksModeAndProtection) {
    TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directory(dir / "dotfiles");
    WriteFile(dir / "dotfiles/tavrin.ini", "[International]\r\nLanguage=old\r\n");
    ::chmod((dir / "dotfiles/tavrin.ini").c_str(), 0600);
    fs::create_symlink("dotfiles/tavrin.ini", dir / "tavrin.ini");
    fs::create_hard_link(dir / "dotfiles/tavrin.ini", dir / "dotfiles/backup.ini");
    ASSERT_TRUE(ProfileFile::WriteString(dir / "tavrin.ini", "International", "Language", "NEW"));
    EXPECT_TRUE(fs::is_symlink(dir / "tavrin.ini"));
    EXPECT_EQ(ReadFile(dir / "dotfiles/backup.ini"), "[International]\r\nLanguage=NEW\r\n");
    struct stat st {};
    ::stat((dir / "tavrin.ini").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_nlink, 2u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "dotfiles"), fs::directory_iterator()), 2);

    if (!test::IsRoot()) return;
    // Another user may not change root's file in a folder open to all.
    ::chmod(dir.Path().c_str(), 0777);
    const std::string rootIni = dir / "root.ini";
    WriteFile(rootIni, "[A]\r\nB=root's\r\n");
    ::chmod(rootIni.c_str(), 0644);
    EXPECT_EQ(test::RunAsUser(test::kNobody, test::kNobody,
                              [&] {
                                  std::string error;
                                  return !ProfileFile::WriteString(rootIni, "A", "B", "mine",
                                                                   &error) &&
                                         error == "Permission denied";
                              }),
              1);
    EXPECT_EQ(ReadFile(rootIni), "[A]\r\nB=root's\r\n");
}

TEST(ErrorBoxText, AddsAFullStopOnlyWhenMissing) {
    EXPECT_EQ(ErrorBoxText("Can't load MPEG library"), "Can't load MPEG library.");
    EXPECT_EQ(ErrorBoxText("Cannot find libzip32.so."), "Cannot find libzip32.so.");
}

}  // namespace
}  // namespace tavrin
