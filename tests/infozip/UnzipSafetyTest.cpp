// The unzip library against hostile and damaged archives: nothing is ever written outside
// the target folder, and bad bytes give an error result, never a crash or a hang.
#include <sys/resource.h>

#include <csignal>

#include "InfozipTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace iztest;

namespace {

// Entries are (name, data, unix mode); a mode of 0o120777 makes a symbolic link.
void MakeRawArchive(const std::string& archive, const std::string& entries) {
    int status = -1;
    std::string out = Python("z = zipfile.ZipFile(" + Quote(archive) +
                                 ", 'w')\n"
                                 "for name, data, mode in [" +
                                 entries +
                                 "]:\n"
                                 "    i = zipfile.ZipInfo(name, date_time=(2010, 1, 1, 0, 0, 0))\n"
                                 "    i.create_system = 3\n"
                                 "    i.external_attr = mode << 16\n"
                                 "    z.writestr(i, data)\n"
                                 "z.close()",
                             &status);
    ASSERT_EQ(status, 0) << out;
}

std::vector<std::string> OutsideTarget(const std::string& root) {
    std::vector<std::string> out;
    for (const std::string& p : Tree(root))
        if (p.rfind("target", 0) != 0) out.push_back(p);
    return out;
}

}  // namespace

TEST(UnzipSafety, HostileNamesStayInsideTheTarget) {
    TempDir root;
    TempDir sentinel;
    WriteFile(root / "outside/victim.txt", "original");
    fs::create_directories(root / "target");
    symlink((root / "outside").c_str(), (root / "target/pre").c_str());
    symlink((root / "outside/victim.txt").c_str(), (root / "target/victim").c_str());
    MakeRawArchive(root / "h.zip",
                   "('../x1', b'1', 0o100644), ('/abs', b'2', 0o100644),"
                   "('a/../../x3', b'3', 0o100644), ('..\\\\..\\\\x4', b'4', 0o100644),"
                   "('C:\\\\x5', b'5', 0o100644), ('./', b'', 0o40755),"
                   "('link-abs', " +
                       Quote(sentinel.Path()) +
                       ".encode(), 0o120777),"
                       "('link-up', b'../../', 0o120777),"
                       "('link-deep', b'a/../../../etc', 0o120777),"
                       "('link-ok', b'a/./x3', 0o120777),"
                       "('pre/pwned', b'through the link', 0o100644),"
                       "('victim', b'replaced the link', 0o100755),"
                       "('pre2/', b'', 0o40755), ('sub/x6', b'6', 0o104755)");
    std::vector<std::string> before = OutsideTarget(root.Path());
    UnzipDriver unzip;
    unzip.dcl.noflag = 1;
    EXPECT_EQ(unzip.Run(root / "h.zip", {}, {}, root / "target"), PK_WARN);

    EXPECT_EQ(OutsideTarget(root.Path()), before);
    EXPECT_EQ(ReadFile(root / "outside/victim.txt"), "original");
    EXPECT_EQ(Tree(sentinel.Path()), std::vector<std::string>{});
    EXPECT_EQ(Tree(root / "target"),
              (std::vector<std::string>{"a", "a/x3", "abs", "link-ok", "pre", "pre2", "sub",
                                        "sub/x6", "victim", "x1", "x4", "x5"}));
    EXPECT_EQ(ReadFile(root / "target/a/x3"), "3");
    EXPECT_EQ(ReadFile(root / "target/x4"), "4");
    // The inside link is kept, in normal form; the pre-existing file link was replaced.
    EXPECT_EQ(fs::read_symlink(root / "target/link-ok").string(), "a/x3");
    EXPECT_FALSE(fs::is_symlink(root / "target/victim"));
    EXPECT_EQ(ReadFile(root / "target/victim"), "replaced the link");
    struct stat st;
    ASSERT_EQ(stat((root / "target/sub/x6").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);  // no set-user-id bit
    ASSERT_EQ(stat((root / "target/victim").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    // No temporary files are left anywhere.
    for (const std::string& p : Tree(root / "target")) EXPECT_EQ(p.find(".tv"), std::string::npos);
}

TEST(UnzipSafety, LinksMadeByZipInsideTheTree) {
    TempDir dir;
    WriteFile(dir / "src/d/file.txt", "content");
    symlink("file.txt", (dir / "src/d/rel").c_str());
    symlink("../../../../etc/passwd", (dir / "src/d/escape").c_str());
    Shell("cd " + Quote(dir / "src") + " && zip -q -r -y ../l.zip d");
    UnzipDriver unzip;
    EXPECT_EQ(unzip.Run(dir / "l.zip", {}, {}, dir / "target"), PK_WARN);
    EXPECT_EQ(fs::read_symlink(dir / "target/d/rel").string(), "file.txt");
    EXPECT_EQ(ReadFile(dir / "target/d/rel"), "content");
    EXPECT_FALSE(Exists(dir / "target/d/escape"));
}

TEST(UnzipSafety, DamagedArchivesGiveErrors) {
    TempDir dir;
    std::string body;
    for (int i = 0; i < 3000; ++i) body += std::to_string(i * 7919 % 1000) + ",";
    MakeRawArchive(dir / "good.zip", "('a.txt', " + Quote(body) +
                                         ".encode(), 0o100644), ('dir/', b'', 0o40755),"
                                         "('dir/b.bin', bytes(range(256)) * 20, 0o100644)");
    const std::string good = ReadFile(dir / "good.zip");

    auto run = [&](const std::string& bytes, int mode) {
        WriteFile(dir / "bad.zip", bytes);
        UnzipDriver unzip;
        unzip.dcl.nvflag = mode == 0;
        unzip.dcl.ncflag = mode == 1;
        unzip.dcl.ntflag = mode == 2;
        unzip.dcl.noflag = 1;
        return unzip.Run(dir / "bad.zip", {}, {}, dir / "target");
    };
    EXPECT_EQ(run("", 0), PK_NOZIP);
    EXPECT_EQ(run(std::string(21, 'P'), 0), PK_NOZIP);
    std::string random;
    unsigned seed = 12345;
    for (int i = 0; i < 5000; ++i) random += static_cast<char>((seed = seed * 69069 + 1) >> 24);
    EXPECT_EQ(run(random, 0), PK_NOZIP);
    // An end record claiming a directory bigger than the file.
    std::string end("PK\x05\x06\0\0\0\0\xff\xff\xff\xff\xff\xff\xff\xff\0\0\0\0\0\0", 22);
    EXPECT_NE(run(end, 0), PK_OK);
    for (size_t cut : {good.size() / 3, good.size() / 2, good.size() - 30, good.size() - 1})
        EXPECT_NE(run(good.substr(0, cut), 2), PK_OK) << cut;
    // Cutting into the data but keeping the directory: the entries themselves fail.
    std::string hole = good;
    std::fill(hole.begin() + 40, hole.begin() + 400, 'x');
    EXPECT_EQ(run(hole, 2), PK_ERR);
    EXPECT_EQ(run(hole, 1), PK_ERR);

    // Random damage anywhere, in every mode: any result, but no crash and nothing outside.
    seed = 99;
    for (int round = 0; round < 600; ++round) {
        std::string bytes = good;
        int flips = 1 + round % 4;
        for (int f = 0; f < flips; ++f) {
            seed = seed * 69069 + 1;
            size_t at = (round % 3 == 0) ? bytes.size() - 1 - (seed >> 8) % 120
                                         : (seed >> 8) % bytes.size();
            bytes[at] = static_cast<char>(seed >> 24);
        }
        run(bytes, round % 4);
    }
    for (const std::string& p : Tree(dir.Path()))
        EXPECT_TRUE(p == "bad.zip" || p == "good.zip" || p.rfind("target", 0) == 0) << p;
}

TEST(UnzipSafety, LeadingDataIsSkipped) {
    TempDir dir;
    MakeRawArchive(dir / "z.zip", "('a.txt', b'after the stub', 0o100644)");
    WriteFile(dir / "sfx.zip", std::string(1000, '#') + ReadFile(dir / "z.zip"));
    UnzipDriver unzip;
    unzip.dcl.ncflag = 1;
    EXPECT_EQ(unzip.Run(dir / "sfx.zip"), PK_OK);
    EXPECT_EQ(UnzipDriver::Joined(), "after the stub");
}

TEST(UnzipSafety, FailedEntryNeverReplacesAGoodFile) {
    TempDir dir;
    MakeRawArchive(dir / "c.zip", "('keep.txt', b'X' * 4000, 0o100644)");
    std::string bytes = ReadFile(dir / "c.zip");
    size_t at = bytes.find(std::string(100, 'X'));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 50] = 'Y';  // stored data with a bad CRC
    WriteFile(dir / "c.zip", bytes);
    WriteFile(dir / "target/keep.txt", "good old file");
    UnzipDriver unzip;
    unzip.dcl.noflag = 1;
    EXPECT_EQ(unzip.Run(dir / "c.zip", {}, {}, dir / "target"), PK_ERR);
    EXPECT_EQ(ReadFile(dir / "target/keep.txt"), "good old file");
    EXPECT_EQ(Tree(dir / "target"), std::vector<std::string>{"keep.txt"});

    // A write failure (file size limit) half way through a large entry: PK_DISK, the old
    // file intact, no temporary file.
    WriteFile(dir / "big", std::string(3 << 20, 'B'));
    int status = -1;
    Python("z = zipfile.ZipFile(" + Quote(dir / "big.zip") + ", 'w')\nz.write(" +
               Quote(dir / "big") + ", 'keep.txt')\nz.close()",
           &status);
    ASSERT_EQ(status, 0);
    UnzipLib();
    EXPECT_EQ(RunWithFileSizeLimit(
                  1 << 20, [&] { return unzip.Run(dir / "big.zip", {}, {}, dir / "target"); }),
              PK_DISK);
    EXPECT_EQ(ReadFile(dir / "target/keep.txt"), "good old file");
    EXPECT_EQ(Tree(dir / "target"), std::vector<std::string>{"keep.txt"});
}

// The overlap bomb: Debian's unzip writes the first entry and stops at the second with
// "invalid zip file with overlapped components (possible zip bomb)" (exit 12); so do we, in
// every mode that reads data in bulk. Listing and reading one named entry stay possible.
TEST(UnzipSafety, OverlappedComponentsAreRefusedLikeDebianUnzip) {
    TempDir dir;
    tavrin::test::MakeOverlapBomb(dir / "bomb.zip", 50, 1 << 20);
    ASSERT_LT(fs::file_size(dir / "bomb.zip"), 10000u);
    int theirs = -1;
    Shell(
        "unzip -o -qq " + Quote(dir / "bomb.zip") + " -d " + Quote(dir / "theirs") + " 2>/dev/null",
        &theirs);
    EXPECT_EQ(theirs, PK_BOMB);
    EXPECT_EQ(Tree(dir / "theirs"), std::vector<std::string>{"a0.txt"});

    UnzipDriver unzip;
    unzip.dcl.fQuiet = 0;
    EXPECT_EQ(unzip.Run(dir / "bomb.zip", {}, {}, dir / "ours"), PK_BOMB);
    EXPECT_EQ(Tree(dir / "ours"), std::vector<std::string>{"a0.txt"});
    EXPECT_EQ(fs::file_size(dir / "ours/a0.txt"), 1u << 20);
    EXPECT_NE(UnzipDriver::Joined().find(
                  "error: invalid zip file with overlapped components (possible zip bomb)\n"),
              std::string::npos);
    // The plain names the unzip dialog sends, many at a time, take the same road.
    std::vector<std::string> names;
    for (int i = 49; i >= 0; --i) names.push_back("a" + std::to_string(i) + ".txt");
    UnzipDriver byName;
    byName.dcl.noflag = 1;
    EXPECT_EQ(byName.Run(dir / "bomb.zip", names, {}, dir / "named"), PK_BOMB);
    EXPECT_EQ(Tree(dir / "named"), std::vector<std::string>{"a0.txt"});

    UnzipDriver test;
    test.dcl.ntflag = 1;
    EXPECT_EQ(test.Run(dir / "bomb.zip"), PK_BOMB);
    UnzipDriver memory;
    memory.dcl.ncflag = 1;
    EXPECT_EQ(memory.Run(dir / "bomb.zip", {"*"}), PK_BOMB);
    EXPECT_EQ(UnzipDriver::Joined().size(), 1u << 20);  // the first entry only
    // One entry by its name reads as it does with `unzip -p`; the listing shows all.
    UnzipDriver one;
    one.dcl.ncflag = 1;
    EXPECT_EQ(one.Run(dir / "bomb.zip", {"a7.txt"}), PK_OK);
    EXPECT_EQ(UnzipDriver::Joined(), std::string(1 << 20, '\0'));
    UnzipDriver list;
    list.dcl.nvflag = 1;
    EXPECT_EQ(list.Run(dir / "bomb.zip"), PK_OK);
    EXPECT_EQ(UnzipDriver::State().listed.size(), 50u);
}

// Other overlaps: an entry whose data runs over the next entry's header, and an entry whose
// data would lie in the central directory.
TEST(UnzipSafety, EntriesReachingIntoOthersOrTheDirectoryAreRefused) {
    TempDir dir;
    MakeRawArchive(dir / "ok.zip",
                   "('one.txt', b'1' * 100, 0o100644), ('two.txt', b'2' * 100, "
                   "0o100644), ('three.txt', b'3' * 100, 0o100644)");
    std::string good = ReadFile(dir / "ok.zip");
    auto patch32 = [](std::string& bytes, size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    };
    size_t central = good.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);

    std::string stretched = good;  // one.txt's data claims 200 bytes: two.txt's header
    patch32(stretched, 18, 200);
    patch32(stretched, 22, 200);
    patch32(stretched, central + 20, 200);
    patch32(stretched, central + 24, 200);
    WriteFile(dir / "stretched.zip", stretched);
    int theirs = -1;
    Shell("unzip -tqq " + Quote(dir / "stretched.zip") + " >/dev/null 2>&1", &theirs);
    EXPECT_EQ(theirs, PK_BOMB);
    UnzipDriver unzip;
    EXPECT_EQ(unzip.Run(dir / "stretched.zip", {}, {}, dir / "t1"), PK_BOMB);
    EXPECT_EQ(Tree(dir / "t1"), std::vector<std::string>{});  // one.txt failed its CRC

    // three.txt's record points at the central directory as if it were a local header.
    std::string intoDirectory = good;
    size_t third =
        intoDirectory.find("PK\x01\x02", intoDirectory.find("PK\x01\x02", central + 4) + 4);
    ASSERT_NE(third, std::string::npos);
    patch32(intoDirectory, third + 42, static_cast<uint32_t>(central));
    WriteFile(dir / "intodir.zip", intoDirectory);
    UnzipDriver again;
    again.dcl.ntflag = 1;
    EXPECT_EQ(again.Run(dir / "intodir.zip"), PK_BOMB);
    UnzipDriver fine;
    fine.dcl.ntflag = 1;
    EXPECT_EQ(fine.Run(dir / "intodir.zip", {"one.txt", "two.txt"}), PK_OK);
    // The untouched archive is no bomb.
    UnzipDriver plain;
    EXPECT_EQ(plain.Run(dir / "ok.zip", {}, {}, dir / "t2"), PK_OK);
    EXPECT_EQ(Tree(dir / "t2"), (std::vector<std::string>{"one.txt", "three.txt", "two.txt"}));
}

// A new file is written under its final name at once; when its entry fails, nothing of it
// stays.
TEST(UnzipSafety, FailedNewFileLeavesNothingBehind) {
    TempDir dir;
    MakeRawArchive(dir / "c.zip",
                   "('first.txt', b'fine', 0o100644), ('new.txt', b'X' * 4000, "
                   "0o100644), ('last.txt', b'also fine', 0o100600)");
    std::string bytes = ReadFile(dir / "c.zip");
    size_t at = bytes.find(std::string(100, 'X'));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 50] = 'Y';
    WriteFile(dir / "c.zip", bytes);
    UnzipDriver unzip;
    EXPECT_EQ(unzip.Run(dir / "c.zip", {}, {}, dir / "target"), PK_ERR);
    EXPECT_EQ(Tree(dir / "target"), (std::vector<std::string>{"first.txt", "last.txt"}));
    struct stat st;
    ASSERT_EQ(stat((dir / "target/last.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A write failure half way through a large new file.
    WriteFile(dir / "big", std::string(3 << 20, 'B'));
    int status = -1;
    Python("z = zipfile.ZipFile(" + Quote(dir / "big.zip") + ", 'w')\nz.write(" +
               Quote(dir / "big") + ", 'big.bin')\nz.close()",
           &status);
    ASSERT_EQ(status, 0);
    UnzipLib();
    EXPECT_EQ(RunWithFileSizeLimit(
                  1 << 20, [&] { return unzip.Run(dir / "big.zip", {}, {}, dir / "fresh"); }),
              PK_DISK);
    EXPECT_EQ(Tree(dir / "fresh"), std::vector<std::string>{});
}
