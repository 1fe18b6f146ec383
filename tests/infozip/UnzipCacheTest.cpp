// The unzip engine keeps the last archive's directory between calls; a changed file on disk
// must always be seen.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "engine/UnZip32.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

std::string g_text;
int Collect(char* text, ulg length) {
    g_text.append(text, length);
    return static_cast<int>(length);
}

// Reads one entry to memory, as the description lookup does; returns the engine's result.
int ReadEntry(const UnZip32& unzip, const std::string& archive, const char* name) {
    g_text.clear();
    USERFUNCTIONS uf{};
    uf.print = Collect;
    DCL dcl{};
    dcl.fQuiet = 2;
    dcl.ncflag = 1;
    dcl.C_flag = 1;
    std::string path = archive;
    dcl.lpszZipFN = path.data();
    char* names[] = {const_cast<char*>(name)};
    return unzip.Wiz_SingleEntryUnzip(1, names, 0, nullptr, &dcl, &uf);
}

TEST(UnzipCache, RepeatedReadsSeeEveryChangeOfTheArchive) {
    UnZip32 unzip;
    ASSERT_TRUE(unzip.Load(std::string(TAVRIN_BIN_DIR) + "/libunzip32.so"));
    test::TempDir dir;
    std::string archive = dir / "a.zip";
    test::MakeZipWithPython(archive, {{"file_id.diz", "first"}, {"other.txt", "o"}});
    EXPECT_EQ(ReadEntry(unzip, archive, "file_id.diz"), 0);
    EXPECT_EQ(g_text, "first");
    EXPECT_EQ(ReadEntry(unzip, archive, "missing"), 11);
    EXPECT_EQ(ReadEntry(unzip, archive, "OTHER.TXT"), 0);
    EXPECT_EQ(g_text, "o");

    // Replaced by another file under the same name.
    test::MakeZipWithPython(dir / "b.zip", {{"file_id.diz", "second"}});
    ASSERT_EQ(std::rename((dir / "b.zip").c_str(), archive.c_str()), 0);
    EXPECT_EQ(ReadEntry(unzip, archive, "file_id.diz"), 0);
    EXPECT_EQ(g_text, "second");
    EXPECT_EQ(ReadEntry(unzip, archive, "other.txt"), 11);

    // Rewritten in place with the same size (and, on coarse clocks, the same second).
    test::MakeZipWithPython(dir / "c.zip", {{"file_id.diz", "thirdx"}});
    test::MakeZipWithPython(dir / "d.zip", {{"file_id.diz", "fourth"}});
    ASSERT_EQ(test::ReadFile(dir / "c.zip").size(), test::ReadFile(dir / "d.zip").size());
    test::WriteFile(archive, test::ReadFile(dir / "c.zip"));
    EXPECT_EQ(ReadEntry(unzip, archive, "file_id.diz"), 0);
    EXPECT_EQ(g_text, "thirdx");
    test::WriteFile(archive, test::ReadFile(dir / "d.zip"));
    EXPECT_EQ(ReadEntry(unzip, archive, "file_id.diz"), 0);
    EXPECT_EQ(g_text, "fourth");

    // Gone.
    std::remove(archive.c_str());
    EXPECT_NE(ReadEntry(unzip, archive, "file_id.diz"), 0);
}

int StopAfterFirstPiece(char* text, ulg length) {
    g_text.append(text, length);
    return -1;
}

TEST(UnzipCache, ANegativePrintAnswerEndsTheEntryWithoutError) {
    UnZip32 unzip;
    ASSERT_TRUE(unzip.Load(std::string(TAVRIN_BIN_DIR) + "/libunzip32.so"));
    test::TempDir dir;
    std::string archive = dir / "big.zip";
    test::MakeZipWithPython(archive, {{"big.txt", std::string(200000, 'x')}});
    g_text.clear();
    USERFUNCTIONS uf{};
    uf.print = StopAfterFirstPiece;
    DCL dcl{};
    dcl.fQuiet = 2;
    dcl.ncflag = 1;
    dcl.C_flag = 1;
    dcl.lpszZipFN = archive.data();
    char name[] = "big.txt";
    char* names[] = {name};
    EXPECT_EQ(unzip.Wiz_SingleEntryUnzip(1, names, 0, nullptr, &dcl, &uf), 0);
    EXPECT_EQ(g_text.size(), 32768u);
}

}  // namespace
}  // namespace tavrin
