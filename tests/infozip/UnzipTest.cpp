// The unzip library: listing, to-memory, testing and extraction of archives made by Python's
// zipfile and Debian's zip.
#include <sys/resource.h>

#include "InfozipTestSupport.h"

using namespace iztest;

namespace {

std::string Pattern(size_t size) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>("abcdefghij\n"[i % 11] + i / 7919);
    return out;
}

// Writes an archive with Python: entries are (name, content, date, method).
void MakeArchive(const std::string& archive, const std::string& entries) {
    int status = -1;
    std::string out = Python("z = zipfile.ZipFile(" + Quote(archive) +
                                 ", 'w')\n"
                                 "for name, data, date, method in [" +
                                 entries +
                                 "]:\n"
                                 "    i = zipfile.ZipInfo(name, date_time=date)\n"
                                 "    i.compress_type = method\n"
                                 "    i.external_attr = (0o100644 << 16) if not name.endswith('/') "
                                 "else (0o40755 << 16) | 0x10\n"
                                 "    i.create_system = 3\n"
                                 "    z.writestr(i, data)\n"
                                 "z.close()",
                             &status);
    ASSERT_EQ(status, 0) << out;
}

const char* kDate = "(2002, 3, 7, 14, 5, 0)";

}  // namespace

TEST(UnzipLibrary, RejectsBadParameters) {
    UnzipDriver unzip;
    EXPECT_EQ(unzip.Run(""), PK_PARAM);
    std::string name = "x.zip";
    unzip.dcl.lpszZipFN = name.data();
    EXPECT_EQ(UnzipLib().Wiz_SingleEntryUnzip(0, nullptr, 0, nullptr, nullptr, &unzip.functions),
              PK_PARAM);
    EXPECT_EQ(UnzipLib().Wiz_SingleEntryUnzip(0, nullptr, 0, nullptr, &unzip.dcl, nullptr),
              PK_PARAM);
    EXPECT_EQ(unzip.Run("/nonexistent/archive.zip"), PK_NOZIP);
}

TEST(UnzipLibrary, ListingReportsEveryEntry) {
    TempDir dir;
    std::string content = Pattern(1234);
    WriteFile(dir / "c", content);
    MakeArchive(dir / "l.zip", "('docs/', b'', " + std::string(kDate) +
                                   ", 0), ('docs/file.txt', open(" + Quote(dir / "c") +
                                   ", 'rb').read(), " + kDate +
                                   ", 8), ('stored.bin', b'xyz', (1999, 12, 31, 23, 59, 58), 0)");
    UnzipDriver unzip;
    unzip.dcl.nvflag = 1;
    ASSERT_EQ(unzip.Run(dir / "l.zip"), PK_OK);
    const auto& listed = UnzipDriver::State().listed;
    ASSERT_EQ(listed.size(), 3u);
    const ListedEntry& file = listed[1];
    EXPECT_EQ(file.name, "docs/file.txt");
    EXPECT_EQ(file.size, 1234u);
    EXPECT_LT(file.compSize, 1234u);
    EXPECT_EQ(file.factor, (1234 - file.compSize) * 100 / 1234);
    EXPECT_EQ(file.month, 3u);
    EXPECT_EQ(file.day, 7u);
    EXPECT_EQ(file.year, 2u);
    EXPECT_EQ(file.hour, 14u);
    EXPECT_EQ(file.minute, 5u);
    EXPECT_EQ(file.method, "Defl:N");
    EXPECT_EQ(file.encrypted, ' ');
    EXPECT_EQ(
        Python("print(zipfile.ZipFile(" + Quote(dir / "l.zip") + ").getinfo('docs/file.txt').CRC)"),
        std::to_string(file.crc) + "\n");
    EXPECT_EQ(listed[0].name, "docs/");
    EXPECT_EQ(listed[2].method, "Stored");
    EXPECT_EQ(listed[2].year, 99u);
    EXPECT_EQ(listed[2].factor, 0u);
    EXPECT_EQ(unzip.functions.NumMembers, 3u);
    EXPECT_EQ(unzip.functions.TotalSize, 1237u);
    EXPECT_EQ(unzip.functions.TotalSizeComp, file.compSize + 3);
    EXPECT_TRUE(Tree(dir.Path()) == (std::vector<std::string>{"c", "l.zip"}));  // no extraction
}

TEST(UnzipLibrary, ListingNamesDeflateSpeeds) {
    TempDir dir;
    WriteFile(dir / "a.txt", Pattern(20000));
    for (const char* level : {"-9", "-1", "-6"})
        Shell("cd " + Quote(dir.Path()) + " && zip -q " + level + " z" + level + ".zip a.txt");
    std::vector<std::string> methods;
    for (const char* level : {"-9", "-1", "-6"}) {
        UnzipDriver unzip;
        unzip.dcl.nvflag = 1;
        ASSERT_EQ(unzip.Run(dir / (std::string("z") + level + ".zip")), PK_OK);
        methods.push_back(UnzipDriver::State().listed.at(0).method);
    }
    EXPECT_EQ(methods, (std::vector<std::string>{"Defl:X", "Defl:F", "Defl:N"}));
}

TEST(UnzipLibrary, ToMemoryDeliversPiecesInOrder) {
    TempDir dir;
    std::string content = Pattern(100 * 1024);
    WriteFile(dir / "c", content);
    MakeArchive(dir / "m.zip", "('big.txt', open(" + Quote(dir / "c") + ", 'rb').read(), " + kDate +
                                   ", 8), ('small.txt', b'tiny', " + kDate + ", 0)");
    UnzipDriver unzip;
    unzip.dcl.ncflag = 1;
    ASSERT_EQ(unzip.Run(dir / "m.zip", {"big.txt"}), PK_OK);
    const auto& pieces = UnzipDriver::State().pieces;
    ASSERT_GE(pieces.size(), 4u);
    for (const std::string& p : pieces) EXPECT_LE(p.size(), 32768u);
    EXPECT_TRUE(UnzipDriver::State().piecesTerminated);
    EXPECT_EQ(UnzipDriver::Joined(), content);
    EXPECT_EQ(Tree(dir.Path()), (std::vector<std::string>{"c", "m.zip"}));
}

TEST(UnzipLibrary, IncludeExcludeAndCase) {
    TempDir dir;
    MakeArchive(dir / "p.zip", std::string("('Docs/Read.ME', b'1', ") + kDate +
                                   ", 8), ('docs/sub/notes.txt', b'2', " + kDate +
                                   ", 8), ('src/main.c', b'3', " + kDate +
                                   ", 8), ('src/util.C', b'4', " + kDate + ", 0)");
    auto matched = [&](int caseFlag, std::vector<std::string> in, std::vector<std::string> ex) {
        UnzipDriver unzip;
        unzip.dcl.nvflag = 1;
        unzip.dcl.C_flag = caseFlag;
        int result = unzip.Run(dir / "p.zip", in, ex);
        std::string names;
        for (const ListedEntry& e : UnzipDriver::State().listed) names += e.name + ";";
        return std::to_string(result) + ":" + names;
    };
    EXPECT_EQ(matched(0, {"*.c"}, {}), "0:src/main.c;");
    EXPECT_EQ(matched(1, {"*.c"}, {}), "0:src/main.c;src/util.C;");
    EXPECT_EQ(matched(1, {"docs/*"}, {}), "0:Docs/Read.ME;docs/sub/notes.txt;");
    EXPECT_EQ(matched(0, {"docs/*"}, {}), "0:docs/sub/notes.txt;");
    EXPECT_EQ(matched(1, {}, {"*.txt", "SRC/*"}), "0:Docs/Read.ME;");
    EXPECT_EQ(matched(0, {"src/main.c"}, {}), "0:src/main.c;");
    EXPECT_EQ(matched(0, {"SRC/MAIN.C"}, {}), "11:");
    EXPECT_EQ(matched(1, {"SRC/MAIN.C"}, {}), "0:src/main.c;");
    EXPECT_EQ(matched(0, {"src/[a-m]*"}, {}), "0:src/main.c;");
    EXPECT_EQ(matched(0, {"src/[!a-m]*.?"}, {}), "0:src/util.C;");
    EXPECT_EQ(matched(0, {"*.none"}, {}), "11:");
    EXPECT_EQ(matched(0, {"*"}, {"*"}), "11:");
}

TEST(UnzipLibrary, TestModeFindsDamagedEntries) {
    TempDir dir;
    WriteFile(dir / "c", Pattern(5000));
    MakeArchive(dir / "t.zip", "('good.txt', b'fine', " + std::string(kDate) +
                                   ", 8), ('bad.txt', open(" + Quote(dir / "c") +
                                   ", 'rb').read(), " + kDate + ", 0)");
    UnzipDriver unzip;
    unzip.dcl.ntflag = 1;
    EXPECT_EQ(unzip.Run(dir / "t.zip"), PK_OK);
    // Flip one byte inside the stored data of bad.txt.
    std::string bytes = ReadFile(dir / "t.zip");
    size_t at = bytes.find(Pattern(5000).substr(100, 50));
    ASSERT_NE(at, std::string::npos);
    bytes[at] ^= 0x55;
    WriteFile(dir / "t.zip", bytes);
    EXPECT_EQ(unzip.Run(dir / "t.zip"), PK_ERR);
    EXPECT_EQ(unzip.Run(dir / "t.zip", {"good.txt"}), PK_OK);
    unzip.dcl.ntflag = 0;
    unzip.dcl.ncflag = 1;
    EXPECT_EQ(unzip.Run(dir / "t.zip", {"bad.txt"}), PK_ERR);
    EXPECT_EQ(Tree(dir.Path()), (std::vector<std::string>{"c", "t.zip"}));
}

TEST(UnzipLibrary, ExtractsWithAndWithoutFolders) {
    TempDir dir;
    MakeArchive(dir / "e.zip", std::string("('top/', b'', ") + kDate +
                                   ", 0), ('top/a.txt', b'alpha', " + kDate +
                                   ", 8), ('top/sub/b c.txt', b'beta', " + kDate + ", 0)");
    UnzipDriver unzip;
    ASSERT_EQ(unzip.Run(dir / "e.zip", {}, {}, dir / "out/deeper"), PK_OK);
    EXPECT_EQ(Tree(dir / "out/deeper"),
              (std::vector<std::string>{"top", "top/a.txt", "top/sub", "top/sub/b c.txt"}));
    EXPECT_EQ(ReadFile(dir / "out/deeper/top/a.txt"), "alpha");
    struct stat st;
    ASSERT_EQ(stat((dir / "out/deeper/top/a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    struct tm tm {};
    localtime_r(&st.st_mtime, &tm);
    EXPECT_EQ(tm.tm_year, 102);
    EXPECT_EQ(tm.tm_hour, 14);
    EXPECT_EQ(tm.tm_min, 5);
    ASSERT_EQ(stat((dir / "out/deeper/top").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, Mtime(dir / "out/deeper/top/a.txt"));  // set after its files

    UnzipDriver flat;
    flat.dcl.ndflag = 0;
    flat.dcl.SpaceToUnderscore = 1;
    flat.dcl.fQuiet = 0;
    ASSERT_EQ(flat.Run(dir / "e.zip", {}, {}, dir / "flat"), PK_OK);
    EXPECT_EQ(Tree(dir / "flat"), (std::vector<std::string>{"a.txt", "b_c.txt"}));
    EXPECT_NE(UnzipDriver::Joined().find("  inflating: " + (dir / "flat/a.txt")),
              std::string::npos);

    // Extraction into the working folder when no target is given.
    std::string cwd = fs::current_path();
    fs::create_directories(dir / "cwd");
    fs::current_path(dir / "cwd");
    UnzipDriver here;
    here.dcl.ndflag = 0;
    EXPECT_EQ(here.Run(dir / "e.zip", {"top/a.txt"}), PK_OK);
    fs::current_path(cwd);
    EXPECT_EQ(Tree(dir / "cwd"), std::vector<std::string>{"a.txt"});
}

TEST(UnzipLibrary, ExistingFilesFollowThePolicy) {
    TempDir dir;
    MakeArchive(dir / "o.zip", std::string("('a.txt', b'from zip a', ") + kDate +
                                   ", 8), ('b.txt', b'from zip b', " + kDate +
                                   ", 8), ('c.txt', b'from zip c', " + kDate + ", 8)");
    struct tm stamp {};
    stamp.tm_year = 102, stamp.tm_mon = 2, stamp.tm_mday = 7, stamp.tm_hour = 14, stamp.tm_min = 5,
    stamp.tm_isdst = -1;
    const time_t zipTime = mktime(&stamp);  // the entries' time
    auto reset = [&] {
        for (const char* n : {"a.txt", "b.txt"}) {
            WriteFile(dir / ("t/" + std::string(n)), std::string("local ") + n);
            SetMtime(dir / ("t/" + std::string(n)), zipTime);
        }
        unlink((dir / "t/c.txt").c_str());
    };
    auto contents = [&] {
        return ReadFile(dir / "t/a.txt") + "|" + ReadFile(dir / "t/b.txt") + "|" +
               (Exists(dir / "t/c.txt") ? ReadFile(dir / "t/c.txt") : "-");
    };

    reset();
    UnzipDriver keep;
    EXPECT_EQ(keep.Run(dir / "o.zip", {}, {}, dir / "t"), PK_OK);
    EXPECT_EQ(contents(), "local a.txt|local b.txt|from zip c");

    reset();
    UnzipDriver overwrite;
    overwrite.dcl.noflag = 1;
    EXPECT_EQ(overwrite.Run(dir / "o.zip", {}, {}, dir / "t"), PK_OK);
    EXPECT_EQ(contents(), "from zip a|from zip b|from zip c");

    reset();
    UnzipDriver ask;
    ask.dcl.PromptToOverwrite = 1;
    UnzipDriver::State().answers = {IDM_REPLACE_NO, IDM_REPLACE_YES};
    EXPECT_EQ(ask.Run(dir / "o.zip", {}, {}, dir / "t"), PK_OK);
    EXPECT_EQ(contents(), "local a.txt|from zip b|from zip c");
    EXPECT_EQ(UnzipDriver::State().asked,
              (std::vector<std::string>{dir / "t/a.txt", dir / "t/b.txt"}));

    reset();
    UnzipDriver all;
    all.dcl.PromptToOverwrite = 1;
    UnzipDriver::State().answers = {IDM_REPLACE_ALL};
    EXPECT_EQ(all.Run(dir / "o.zip", {}, {}, dir / "t"), PK_OK);
    EXPECT_EQ(contents(), "from zip a|from zip b|from zip c");
    EXPECT_EQ(UnzipDriver::State().asked.size(), 1u);

    reset();
    UnzipDriver none;
    none.dcl.PromptToOverwrite = 1;
    UnzipDriver::State().answers = {IDM_REPLACE_NONE, IDM_REPLACE_YES};
    EXPECT_EQ(none.Run(dir / "o.zip", {}, {}, dir / "t"), PK_OK);
    EXPECT_EQ(contents(), "local a.txt|local b.txt|from zip c");
    EXPECT_EQ(UnzipDriver::State().asked.size(), 1u);

    // Update and freshen: a.txt older than its entry, b.txt newer (by more than 2 s).
    EXPECT_EQ(Mtime(dir / "t/c.txt"), zipTime);
    auto aging = [&] {
        reset();
        SetMtime(dir / "t/a.txt", zipTime - 10);
        SetMtime(dir / "t/b.txt", zipTime + 10);
    };
    aging();
    UnzipDriver update;
    update.dcl.ExtractOnlyNewer = 1;
    update.dcl.PromptToOverwrite = 1;
    EXPECT_EQ(update.Run(dir / "o.zip", {}, {}, dir / "t"), PK_OK);
    EXPECT_EQ(contents(), "from zip a|local b.txt|from zip c");
    EXPECT_TRUE(UnzipDriver::State().asked.empty());

    aging();
    UnzipDriver freshen;
    freshen.dcl.nfflag = 1;
    EXPECT_EQ(freshen.Run(dir / "o.zip", {}, {}, dir / "t"), PK_OK);
    EXPECT_EQ(contents(), "from zip a|local b.txt|-");

    // Equal times within the DOS resolution are not newer.
    reset();
    SetMtime(dir / "t/a.txt", zipTime + 1);
    UnzipDriver same;
    same.dcl.nfflag = 1;
    EXPECT_EQ(same.Run(dir / "o.zip", {"a.txt"}, {}, dir / "t"), PK_OK);
    EXPECT_EQ(ReadFile(dir / "t/a.txt"), "local a.txt");
}

TEST(UnzipLibrary, ServiceCallbackStops) {
    TempDir dir;
    MakeArchive(dir / "s.zip", std::string("('a', b'1', ") + kDate + ", 8), ('b', b'2', " + kDate +
                                   ", 8), ('c', b'3', " + kDate + ", 8)");
    UnzipDriver unzip;
    UnzipDriver::State().stopAfter = 1;
    EXPECT_EQ(unzip.Run(dir / "s.zip", {}, {}, dir / "out"), IZ_CTRLC);
    EXPECT_EQ(Tree(dir / "out"), std::vector<std::string>{"a"});
}

TEST(UnzipLibrary, QuietLevels) {
    TempDir dir;
    MakeArchive(dir / "q.zip", std::string("('a', b'1', ") + kDate + ", 8)");
    for (int quiet : {0, 1, 2}) {
        UnzipDriver unzip;
        unzip.dcl.fQuiet = quiet;
        unzip.dcl.ntflag = 1;
        EXPECT_EQ(unzip.Run(dir / "q.zip", {"nothing"}), PK_FIND);
        unzip.Run(dir / "q.zip");
        std::string printed = UnzipDriver::Joined();
        EXPECT_EQ(printed.find("testing: a") != std::string::npos, quiet == 0) << quiet;
        EXPECT_EQ(printed.find("caution") != std::string::npos, quiet <= 1) << quiet;
    }
}

TEST(UnzipLibrary, EncryptedEntries) {
    TempDir dir;
    WriteFile(dir / "src/secret.txt", Pattern(3000));
    WriteFile(dir / "src/second.txt", "second secret");
    Shell("cd " + Quote(dir / "src") + " && zip -q -P secret ../e.zip secret.txt second.txt");

    UnzipDriver right;
    right.dcl.ndflag = 0;
    UnzipDriver::State().password = "secret";
    EXPECT_EQ(right.Run(dir / "e.zip", {}, {}, dir / "ok"), PK_OK);
    EXPECT_EQ(ReadFile(dir / "ok/secret.txt"), Pattern(3000));
    EXPECT_EQ(ReadFile(dir / "ok/second.txt"), "second secret");
    EXPECT_EQ(UnzipDriver::State().passwordPrompts, 1);

    for (const char* wrong : {"wrong", ""}) {
        UnzipDriver bad;
        UnzipDriver::State().password = wrong;
        EXPECT_EQ(bad.Run(dir / "e.zip", {}, {}, dir / "bad"), IZ_BADPWD) << wrong;
        EXPECT_EQ(Tree(dir / "bad"), std::vector<std::string>{}) << wrong;
        EXPECT_EQ(UnzipDriver::State().passwordPrompts, 1) << wrong;
    }

    UnzipDriver listing;
    listing.dcl.nvflag = 1;
    ASSERT_EQ(listing.Run(dir / "e.zip"), PK_OK);
    EXPECT_EQ(UnzipDriver::State().listed.at(0).encrypted, 'E');
    EXPECT_EQ(UnzipDriver::State().passwordPrompts, 0);

    UnzipDriver memory;
    memory.dcl.ncflag = 1;
    UnzipDriver::State().password = "secret";
    EXPECT_EQ(memory.Run(dir / "e.zip", {"second.txt"}), PK_OK);
    EXPECT_EQ(UnzipDriver::Joined(), "second secret");
}

TEST(UnzipLibrary, OtherMethodsGoThroughLibzip) {
    TempDir dir;
    WriteFile(dir / "c", Pattern(40000));
    int status = -1;
    Python("z = zipfile.ZipFile(" + Quote(dir / "b.zip") +
               ", 'w', zipfile.ZIP_BZIP2)\n"
               "z.write(" +
               Quote(dir / "c") + ", 'data.txt')\nz.close()",
           &status);
    ASSERT_EQ(status, 0);
    UnzipDriver unzip;
    unzip.dcl.nvflag = 1;
    ASSERT_EQ(unzip.Run(dir / "b.zip"), PK_OK);
    EXPECT_EQ(UnzipDriver::State().listed.at(0).method, "BZip2");
    UnzipDriver memory;
    memory.dcl.ncflag = 1;
    int result = memory.Run(dir / "b.zip");
    if (result == IZ_UNSUP) GTEST_SKIP() << "libzip without bzip2";
    EXPECT_EQ(result, PK_OK);
    EXPECT_EQ(UnzipDriver::Joined(), Pattern(40000));
}

// A 100,000-entry archive: one entry found among them, every entry listed, and the listing
// stays small in memory. (How fast, side by side with unzip, is bench/compare_engine.py's.)
TEST(UnzipLibrary, HugeArchivesFindListAndStaySmall) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "memory figures mean nothing under the sanitizers";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "memory figures mean nothing under the sanitizers";
#endif
#endif
    TempDir dir;
    int status = -1;
    Python("z = zipfile.ZipFile(" + Quote(dir / "huge.zip") +
               ", 'w', zipfile.ZIP_DEFLATED)\n"
               "for i in range(100000):\n"
               "    z.writestr(zipfile.ZipInfo('dir%d/file%06d.txt' % (i % 100, i), "
               "date_time=(2020, 1, 2, 3, 4, 6)), 'content %d\\n' % i)\n"
               "z.close()",
           &status);
    ASSERT_EQ(status, 0);
    std::string archive = dir / "huge.zip";
    {
        UnzipDriver unzip;
        unzip.dcl.ncflag = 1;
        EXPECT_EQ(unzip.Run(archive, {"dir57/file031357.txt"}), PK_OK);
        EXPECT_EQ(UnzipDriver::Joined(), "content 31357\n");
    }
    {
        UnzipDriver unzip;
        unzip.dcl.nvflag = 1;
        EXPECT_EQ(unzip.Run(archive), PK_OK);
        EXPECT_EQ(UnzipDriver::State().listed.size(), 100000u);
    }

    UnzipLib();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        UnzipDriver unzip;
        unzip.dcl.nvflag = 1;
        _exit(unzip.Run(archive) == PK_OK ? 0 : 1);
    }
    int childStatus = 0;
    struct rusage usage {};
    wait4(child, &childStatus, 0, &usage);
    EXPECT_EQ(childStatus, 0);
    EXPECT_LT(usage.ru_maxrss, 100 * 1024);  // kilobytes
}
