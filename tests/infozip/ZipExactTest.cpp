// The zip library where users know Debian's zip: deleting by the names one would add,
// refusing repeated names, storing what does not compress, the extended timestamp, folder
// links, the empty archive and names byte for byte. Each is checked against zip or unzip run
// on the same files.
#include <map>

#include "InfozipTestSupport.h"
#include "platform/infozip/ZipPrepare.h"

using namespace iztest;

namespace {

using Names = std::vector<std::string>;

std::string Random(size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (char& c : out) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return out;
}

// Python's view of each entry: name, method, sizes, flags, extra fields in hex.
std::map<std::string, std::string> Entries(const std::string& archive) {
    std::string out = Python("for i in zipfile.ZipFile(" + Quote(archive) +
                             ").infolist():\n"
                             "    print(i.filename, i.compress_type, i.compress_size, "
                             "i.file_size, i.flag_bits, i.create_system, i.extra.hex() or '-')");
    std::map<std::string, std::string> entries;
    std::stringstream in(out);
    for (std::string line; std::getline(in, line);) {
        size_t space = line.find(' ');
        entries[line.substr(0, space)] = line.substr(space + 1);
    }
    return entries;
}

// Entry names in name order (zip walks folders in the order the file system gives).
Names SortedNames(const std::string& archive) {
    Names names = EntryNames(archive);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Copy(const std::string& from, const std::string& to) {
    Shell("cp " + Quote(from) + " " + Quote(to));
    return to;
}

}  // namespace

// zip -d takes the names one would add: a leading "/" goes, and with junked paths only the
// last part counts. What matches nothing is reported, and when nothing matched at all the
// archive is not touched ("Nothing to do!").
TEST(ZipExact, DeleteTakesTheNamesOfTheFilesAsZipDoes) {
    TempDir dir;
    WriteFile(dir / "src/docs/a.txt", "a");
    WriteFile(dir / "src/docs/b.txt", "b");
    WriteFile(dir / "src/c.txt", "c");
    Shell("cd " + Quote(dir / "src") + " && zip -q -r ../paths.zip docs c.txt && zip -q -j " +
          "../bare.zip docs/a.txt docs/b.txt c.txt");
    ASSERT_EQ(SortedNames(dir / "paths.zip"),
              (Names{"c.txt", "docs/", "docs/a.txt", "docs/b.txt"}));

    // Bare names: the packer's full paths with "Do not add path".
    std::string ours = Copy(dir / "bare.zip", dir / "bare-ours.zip");
    std::string theirs = Copy(dir / "bare.zip", dir / "bare-theirs.zip");
    ZipDriver zip;
    zip.options.fDeleteEntries = TRUE;
    zip.options.fJunkDir = TRUE;
    zip.options.fQuiet = FALSE;
    ASSERT_EQ(zip.Run(ours, {dir / "src/docs/a.txt", dir / "src/none.txt"}), ZE_OK);
    Shell("zip -q -d -j " + Quote(theirs) + " " + Quote(dir / "src/docs/a.txt") + " " +
          Quote(dir / "src/none.txt") + " 2>/dev/null");
    EXPECT_EQ(EntryNames(ours), (Names{"b.txt", "c.txt"}));
    EXPECT_EQ(EntryNames(ours), EntryNames(theirs));
    EXPECT_NE(ZipDriver::Printed().find("deleting: a.txt\n"), std::string::npos);
    EXPECT_NE(ZipDriver::Printed().find("zip warning: name not matched: " + (dir / "src/none.txt")),
              std::string::npos);
    EXPECT_TRUE(Exists(dir / "src/docs/a.txt"));  // deleting entries never touches files

    // Stored paths: the name loses its leading "/" and nothing else.
    ours = Copy(dir / "paths.zip", dir / "paths-ours.zip");
    theirs = Copy(dir / "paths.zip", dir / "paths-theirs.zip");
    zip.options.fJunkDir = FALSE;
    ASSERT_EQ(zip.Run(ours, {"/docs/b.txt", "./c.txt"}), ZE_OK);
    Shell("zip -q -d " + Quote(theirs) + " /docs/b.txt ./c.txt");
    EXPECT_EQ(SortedNames(ours), (Names{"docs/", "docs/a.txt"}));
    EXPECT_EQ(SortedNames(ours), SortedNames(theirs));

    // Nothing matched: reported, result "nothing to do", archive byte for byte the same.
    std::string before = ReadFile(ours);
    ZipDriver::Printed().clear();
    EXPECT_EQ(zip.Run(ours, {dir / "src/docs/a.txt"}), ZE_NONE);  // full path, no junking
    EXPECT_EQ(ReadFile(ours), before);
    EXPECT_NE(ZipDriver::Printed().find("zip error: Nothing to do! (" + ours + ")"),
              std::string::npos);
    int status = -1;
    Shell("zip -q -d " + Quote(theirs) + " " + Quote(dir / "src/docs/a.txt") + " 2>/dev/null",
          &status);
    EXPECT_EQ(status, ZE_NONE);
}

// Two files for one entry name: zip refuses the whole job ("cannot repeat names in zip
// file"), naming both; so do we, and also for names that differ only in case (one entry
// here). The same name given twice is one file.
TEST(ZipExact, RepeatedNamesRefuseTheWholeJob) {
    TempDir dir;
    WriteFile(dir / "d1/x.txt", "one");
    WriteFile(dir / "d2/x.txt", "two");
    WriteFile(dir / "d3/X.TXT", "three");
    WriteFile(dir / "keep.txt", "k");
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    ASSERT_EQ(zip.Run(dir / "a.zip", {dir / "keep.txt"}), ZE_OK);
    const std::string before = ReadFile(dir / "a.zip");

    EXPECT_EQ(zip.Run(dir / "a.zip", {dir / "d1/x.txt", dir / "keep.txt", dir / "d2/x.txt"}),
              ZE_PARMS);
    EXPECT_EQ(ReadFile(dir / "a.zip"), before);
    const std::string& said = ZipDriver::Printed();
    EXPECT_NE(said.find("first full name: " + (dir / "d1/x.txt")), std::string::npos);
    EXPECT_NE(said.find("second full name: " + (dir / "d2/x.txt")), std::string::npos);
    EXPECT_NE(said.find("name in zip file repeated: x.txt"), std::string::npos);
    EXPECT_NE(said.find("zip error: Invalid command arguments (cannot repeat names in zip file)"),
              std::string::npos);
    int status = -1;
    Shell("zip -q -j " + Quote(dir / "theirs.zip") + " " + Quote(dir / "d1/x.txt") + " " +
              Quote(dir / "d2/x.txt") + " 2>/dev/null",
          &status);
    EXPECT_EQ(status, ZE_PARMS);
    EXPECT_FALSE(Exists(dir / "theirs.zip"));

    ZipDriver::Printed().clear();
    EXPECT_EQ(zip.Run(dir / "new.zip", {dir / "d1/x.txt", dir / "d3/X.TXT"}), ZE_PARMS);
    EXPECT_FALSE(Exists(dir / "new.zip"));
    EXPECT_NE(ZipDriver::Printed().find("second full name: " + (dir / "d3/X.TXT")),
              std::string::npos);

    // Walked folders clash the same way.
    zip.options.fRecurse = 1;
    EXPECT_EQ(zip.Run(dir / "walk.zip", {dir / "d1", dir / "d2"}), ZE_PARMS);
    EXPECT_FALSE(Exists(dir / "walk.zip"));

    // The same file twice, and stored paths that differ: fine.
    zip.options.fRecurse = 0;
    EXPECT_EQ(zip.Run(dir / "a.zip", {dir / "d1/x.txt", dir / "d1/x.txt"}), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "a.zip"), (Names{"keep.txt", "x.txt"}));
    zip.options.fJunkDir = FALSE;
    EXPECT_EQ(zip.Run(dir / "p.zip", {dir / "d1/x.txt", dir / "d2/x.txt"}), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "p.zip").size(), 2u);
}

// What does not get smaller is stored, as zip stores it; the rest is deflated. Sizes and
// methods come out as zip's, except that large files are stored too.
TEST(ZipExact, IncompressibleFilesAreStored) {
    TempDir dir;
    WriteFile(dir / "src/random.bin", Random(5000, 1));
    WriteFile(dir / "src/big-random.bin", Random(3 << 20, 2));
    std::string text;
    for (int i = 0; text.size() < 100000; ++i) text += "line " + std::to_string(i % 50) + "\n";
    WriteFile(dir / "src/text.txt", text);
    WriteFile(dir / "src/tiny.txt", "one\n");
    WriteFile(dir / "src/empty", "");
    Names names = {dir / "src/random.bin", dir / "src/big-random.bin", dir / "src/text.txt",
                   dir / "src/tiny.txt", dir / "src/empty"};
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    zip.options.fExtra = TRUE;
    ASSERT_EQ(zip.Run(dir / "ours.zip", names), ZE_OK);
    Shell("cd " + Quote(dir / "src") + " && zip -q -X ../theirs.zip random.bin big-random.bin " +
          "text.txt tiny.txt empty");
    std::map<std::string, std::string> ours = Entries(dir / "ours.zip"),
                                       theirs = Entries(dir / "theirs.zip");
    EXPECT_EQ(ours["random.bin"].substr(0, 11), "0 5000 5000");
    EXPECT_EQ(ours["big-random.bin"].substr(0, 2), "0 ");
    EXPECT_EQ(ours["tiny.txt"].substr(0, 5), "0 4 4");
    EXPECT_EQ(ours["empty"].substr(0, 5), "0 0 0");
    EXPECT_EQ(ours["text.txt"].substr(0, 2), "8 ");
    for (const char* name : {"random.bin", "tiny.txt", "empty"})
        EXPECT_EQ(ours[name], theirs[name]) << name;
    // zip decides only while the deflated data still fits its buffer (about 32 KiB); past
    // that it keeps a larger deflated entry. Stored is smaller, at any size.
    EXPECT_EQ(theirs["big-random.bin"].substr(0, 2), "8 ");
    EXPECT_LT(std::stoul(ours["big-random.bin"].substr(2)),
              std::stoul(theirs["big-random.bin"].substr(2)));
    EXPECT_TRUE(UnzipTestsOk(dir / "ours.zip"));
    EXPECT_EQ(EntryContent(dir / "ours.zip", "big-random.bin"), Random(3 << 20, 2));
    EXPECT_EQ(EntryContent(dir / "ours.zip", "text.txt"), text);

    // Replacing an entry by a file that no longer compresses stores it.
    WriteFile(dir / "src/text.txt", Random(20000, 3));
    ASSERT_EQ(zip.Run(dir / "ours.zip", {dir / "src/text.txt"}), ZE_OK);
    EXPECT_EQ(Entries(dir / "ours.zip")["text.txt"].substr(0, 13), "0 20000 20000");
    EXPECT_TRUE(UnzipTestsOk(dir / "ours.zip"));
}

// The deflated data of a job waits in memory up to a budget and in a file without a name
// beyond it; the last file's data can be given back.
TEST(ZipExact, SpoolKeepsDataInMemoryThenInAnUnnamedFile) {
    TempDir dir;
    izcommon::Spool spool(dir.Path(), 3000);
    std::string a = Random(2500, 4), b = Random(4000, 5);
    ASSERT_TRUE(spool.Append(reinterpret_cast<const uint8_t*>(a.data()), a.size()));
    ASSERT_TRUE(spool.Append(reinterpret_cast<const uint8_t*>(b.data()), b.size()));
    EXPECT_EQ(spool.Size(), 6500u);
    EXPECT_EQ(Tree(dir.Path()), Names{});  // no name ever appears
    std::string back(6500, '\0');
    ASSERT_TRUE(spool.Read(0, reinterpret_cast<uint8_t*>(back.data()), back.size()));
    EXPECT_EQ(back, a + b);
    std::string across(1000, '\0');
    ASSERT_TRUE(spool.Read(2400, reinterpret_cast<uint8_t*>(across.data()), across.size()));
    EXPECT_EQ(across, (a + b).substr(2400, 1000));
    EXPECT_FALSE(spool.Read(6000, reinterpret_cast<uint8_t*>(across.data()), across.size()));
    spool.Truncate(2500);
    ASSERT_TRUE(spool.Append(reinterpret_cast<const uint8_t*>(b.data()), 100));
    std::string tail(100, '\0');
    ASSERT_TRUE(spool.Read(2500, reinterpret_cast<uint8_t*>(tail.data()), tail.size()));
    EXPECT_EQ(tail, b.substr(0, 100));
}

// The extended timestamp: written as zip writes it (modification and access time in the local
// header, modification time in the central one) unless fExtra asks for no extra fields, so
// the time comes back to the second in any time zone.
TEST(ZipExact, ExtendedTimestampUnlessNoExtraFields) {
    TempDir dir;
    WriteFile(dir / "t.txt", "time");
    const time_t odd = 1600000001;  // an odd second: DOS times cannot hold it
    struct timespec times[2] = {{1600000101, 0}, {odd, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "t.txt").c_str(), times, 0), 0);
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    ASSERT_EQ(zip.Run(dir / "ut.zip", {dir / "t.txt"}), ZE_OK);
    EXPECT_EQ(Entries(dir / "ut.zip")["t.txt"], "0 4 4 0 3 555405000301105e5f");
    std::string local = ReadFile(dir / "ut.zip").substr(30 + 5, 13);
    EXPECT_EQ(local, std::string("UT\x09\x00\x03\x01\x10\x5e\x5f\x65\x10\x5e\x5f", 13));
    Shell("cd " + Quote(dir.Path()) + " && zip -q theirs.zip t.txt");
    std::string theirs = Shell("zipinfo -v " + Quote(dir / "theirs.zip") + " | grep 'UT extra'");
    std::string ours = Shell("zipinfo -v " + Quote(dir / "ut.zip") + " | grep 'UT extra'");
    EXPECT_FALSE(ours.empty());
    EXPECT_EQ(ours, theirs);
    int run = 0;
    for (const char* zone : {"UTC", "Asia/Tokyo", "America/New_York"}) {
        std::string target = dir / ("x" + std::to_string(++run));
        Shell(std::string("TZ=") + zone + " unzip -qq " + Quote(dir / "ut.zip") + " -d " +
              Quote(target));
        EXPECT_EQ(Mtime(target + "/t.txt"), odd) << zone;
        UnzipDriver unzip;
        ASSERT_EQ(unzip.Run(dir / "ut.zip", {}, {}, target + "-ours"), PK_OK);
        EXPECT_EQ(Mtime(target + "-ours/t.txt"), odd);
    }
    zip.options.fExtra = TRUE;
    ASSERT_EQ(zip.Run(dir / "x.zip", {dir / "t.txt"}), ZE_OK);
    // No extra field, but still made on Unix with the file's mode, as zip -X makes it.
    EXPECT_EQ(Entries(dir / "x.zip")["t.txt"], "0 4 4 0 3 -");
}

// Links to folders are followed while walking, as zip -r follows them; a link back up the
// path is skipped (zip would walk it until the path grows too long). Moving never deletes
// files that lie behind a followed folder link.
TEST(ZipExact, FolderLinksAreFollowedWithoutLooping) {
    TempDir dir;
    WriteFile(dir / "tree/d/sub/f.txt", "f");
    WriteFile(dir / "other/g.txt", "g");
    symlink("../../other", (dir / "tree/d/elsewhere").c_str());
    symlink("..", (dir / "tree/d/sub/up").c_str());
    ZipDriver zip;
    zip.options.fQuiet = FALSE;
    std::string root = dir / "tree";
    zip.options.szRootDir = root.data();
    zip.options.fRecurse = 1;
    ASSERT_EQ(zip.Run(dir / "l.zip", {"d"}), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "l.zip"),
              (Names{"d/", "d/elsewhere/", "d/elsewhere/g.txt", "d/sub/", "d/sub/f.txt"}));
    EXPECT_NE(ZipDriver::Printed().find("zip warning: skipping link loop: d/sub/up"),
              std::string::npos);
    EXPECT_EQ(EntryContent(dir / "l.zip", "d/elsewhere/g.txt"), "g");
    // Without the loop, the same entries as zip -r.
    unlink((dir / "tree/d/sub/up").c_str());
    Shell("cd " + Quote(dir / "tree") + " && zip -q -r ../theirs.zip d");
    ASSERT_EQ(zip.Run(dir / "l2.zip", {"d"}), ZE_OK);
    EXPECT_EQ(SortedNames(dir / "l2.zip"), SortedNames(dir / "theirs.zip"));

    zip.options.fMove = TRUE;
    ASSERT_EQ(zip.Run(dir / "m.zip", {"d"}), ZE_OK);
    EXPECT_EQ(ReadFile(dir / "other/g.txt"), "g");
    EXPECT_FALSE(Exists(dir / "tree/d/sub/f.txt"));
    EXPECT_EQ(Tree(dir / "tree"), (Names{"d", "d/elsewhere"}));  // the link stays, so d does
}

// Deleting every entry keeps an empty archive of 22 bytes, byte for byte zip's, and says so.
TEST(ZipExact, DeletingEveryEntryKeepsAnEmptyArchive) {
    TempDir dir;
    WriteFile(dir / "a.txt", "a");
    WriteFile(dir / "b.txt", "b");
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    ASSERT_EQ(zip.Run(dir / "e.zip", {dir / "a.txt", dir / "b.txt"}), ZE_OK);
    ASSERT_EQ(chmod((dir / "e.zip").c_str(), 0640), 0);
    Copy(dir / "e.zip", dir / "theirs.zip");
    zip.options.fDeleteEntries = TRUE;
    ASSERT_EQ(zip.Run(dir / "e.zip", {"*"}), ZE_OK);
    Shell("zip -q -d " + Quote(dir / "theirs.zip") + " '*' 2>/dev/null");
    EXPECT_EQ(ReadFile(dir / "e.zip").size(), 22u);
    EXPECT_EQ(ReadFile(dir / "e.zip"), ReadFile(dir / "theirs.zip"));
    EXPECT_NE(ZipDriver::Printed().find("zip warning: zip file empty"), std::string::npos);
    struct stat st;
    ASSERT_EQ(stat((dir / "e.zip").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Python("print(len(zipfile.ZipFile(" + Quote(dir / "e.zip") + ").infolist()))"),
              "0\n");
    EXPECT_EQ(Tree(dir.Path()), (Names{"a.txt", "b.txt", "e.zip", "theirs.zip"}));
    // Deleting from it finds nothing; adding to it works.
    EXPECT_EQ(zip.Run(dir / "e.zip", {"*"}), ZE_NONE);
    zip.options.fDeleteEntries = FALSE;
    ASSERT_EQ(zip.Run(dir / "e.zip", {dir / "a.txt"}), ZE_OK);
    EXPECT_EQ(EntryNames(dir / "e.zip"), Names{"a.txt"});
}

// Names byte for byte: valid UTF-8 is stored flagged, other bytes (Latin-1) raw and unflagged;
// both come back as the same bytes, from us and from Debian's unzip, and adding the same
// file again replaces its entry.
TEST(ZipExact, FileNamesRoundTripByteForByte) {
    TempDir dir;
    const std::string latin1 = "lat\xe9 1.txt", utf8 = "\xc3\xa9t\xc3\xa9.txt";
    WriteFile(dir / ("src/" + latin1), "latin");
    WriteFile(dir / ("src/" + utf8), "utf8");
    ZipDriver zip;
    zip.options.fJunkDir = TRUE;
    Names files = {dir / ("src/" + latin1), dir / ("src/" + utf8)};
    ASSERT_EQ(zip.Run(dir / "n.zip", files), ZE_OK);
    ASSERT_EQ(zip.Run(dir / "n.zip", files), ZE_OK);  // replaces, no second entry
    std::string flags = Python("for i in zipfile.ZipFile(" + Quote(dir / "n.zip") +
                               ").infolist():\n    print(i.flag_bits & 0x800, i.create_system)");
    EXPECT_EQ(flags, "0 3\n2048 3\n");
    UnzipDriver unzip;
    ASSERT_EQ(unzip.Run(dir / "n.zip", {}, {}, dir / "ours"), PK_OK);
    Shell("unzip -qq " + Quote(dir / "n.zip") + " -d " + Quote(dir / "theirs"));
    EXPECT_EQ(Tree(dir / "ours"), (Names{latin1, utf8}));
    EXPECT_EQ(Tree(dir / "theirs"), Tree(dir / "ours"));
    EXPECT_EQ(ReadFile(dir / ("ours/" + latin1)), "latin");
}
