// How the unzip library finds entries by name and which names their files get on disk.
#include <set>

#include "InfozipTestSupport.h"

using namespace iztest;

namespace {

// As the unzip dialog sends a stored name: "*", "?" and "[" each put in brackets.
std::string Bracketed(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == '*' || c == '?' || c == '[')
            out += std::string("[") + c + "]";
        else
            out += c;
    }
    return out;
}

std::string ListedNames(const std::string& archive, const std::vector<std::string>& include,
                        int caseInsensitive, int* result) {
    UnzipDriver unzip;
    unzip.dcl.nvflag = 1;
    unzip.dcl.C_flag = caseInsensitive;
    *result = unzip.Run(archive, include);
    std::string names;
    for (const ListedEntry& e : UnzipDriver::State().listed) names += e.name + ";";
    return names;
}

}  // namespace

// Few names go by the stored name's length, many by a hash set; wildcards are matched one by
// one. Every road gives the same entries, in archive order.
TEST(UnzipNames, PlainNamesFewOrManyFindExactlyTheirEntries) {
    TempDir dir;
    std::string entries;
    for (int i = 0; i < 300; ++i)
        entries += "('d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".txt', b'x'),";
    entries +=
        "('odd[1]*?.txt', b'w'), ('odd1.txt', b'p'), ('Caf\\u00e9.TXT', b'u'),"
        "('MiXeD.Txt', b'm'), ('dup.txt', b'1'), ('DUP.TXT', b'2')";
    int status = -1;
    Python("z = zipfile.ZipFile(" + Quote(dir / "n.zip") + ", 'w')\nfor n, d in [" + entries +
               "]:\n    z.writestr(n, d)\nz.close()",
           &status);
    ASSERT_EQ(status, 0);
    std::string archive = dir / "n.zip";

    for (size_t count : {size_t(1), size_t(5), size_t(40), size_t(300)}) {
        SCOPED_TRACE(count);
        std::vector<std::string> include;
        std::set<int> wanted;
        for (size_t k = 0; k < count; ++k) {
            int i = static_cast<int>((k * 7919) % 300);
            wanted.insert(i);
            include.push_back("d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".txt");
        }
        include.push_back(Bracketed("odd[1]*?.txt"));
        include.push_back("mixed.TXT");
        include.push_back("dup.txt");
        include.push_back("nothing/like/this.txt");
        std::string expected;
        for (int i : wanted)
            expected += "d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".txt;";
        // Archive order, not the order of the names.
        std::string ordered;
        for (int i = 0; i < 300; ++i)
            if (wanted.count(i))
                ordered += "d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".txt;";
        int result = -1;
        // Every entry a name matches, also entries of one name.
        EXPECT_EQ(ListedNames(archive, include, 1, &result),
                  ordered + "odd[1]*?.txt;MiXeD.Txt;dup.txt;DUP.TXT;");
        EXPECT_EQ(result, PK_OK);
        // Case matters without C_flag: "mixed.TXT" finds nothing then.
        EXPECT_EQ(ListedNames(archive, include, 0, &result), ordered + "odd[1]*?.txt;dup.txt;");
    }
    int result = -1;
    // A bracketed name is that name only, not odd1.txt; the same name unbracketed is a
    // pattern and finds both.
    EXPECT_EQ(ListedNames(archive, {Bracketed("odd[1]*?.txt")}, 1, &result), "odd[1]*?.txt;");
    EXPECT_EQ(ListedNames(archive, {"odd[1]*"}, 1, &result), "odd1.txt;");
    // Non-ASCII names, with and without regard to case (ASCII letters only fold).
    std::vector<std::string> many;
    for (int i = 0; i < 30; ++i) many.push_back("nothing" + std::to_string(i));
    many.push_back("caf\xc3\xa9.txt");
    EXPECT_EQ(ListedNames(archive, many, 1, &result), "Caf\xc3\xa9.TXT;");
    EXPECT_EQ(ListedNames(archive, {"caf\xc3\xa9.txt"}, 1, &result), "Caf\xc3\xa9.TXT;");
    EXPECT_EQ(ListedNames(archive, {"caf\xc3\xa9.txt"}, 0, &result), "");
    EXPECT_EQ(result, PK_FIND);
    // A real pattern among many plain names still matches by pattern.
    many.push_back("d3/f1?.txt");
    EXPECT_EQ(ListedNames(archive, many, 1, &result), "d3/f10.txt;d3/f17.txt;Caf\xc3\xa9.TXT;");
}

// Unflagged names that are not UTF-8: made on a Unix host they are the file system's bytes
// and come back as those bytes, as Debian's unzip extracts them; made on DOS or Windows they
// are code page 437. Listing shows code page 437 either way.
TEST(UnzipNames, RawNamesFromUnixHostsComeBackByteForByte) {
    TempDir dir;
    const std::string latin1 = "lat\xe9 1.txt";
    WriteFile(dir / ("src/" + latin1), "latin");
    WriteFile(dir / "src/\xc3\xa9t\xc3\xa9.txt", "utf8");
    Shell("cd " + Quote(dir / "src") + " && LC_ALL=C.UTF-8 zip -q ../debian.zip *");
    ASSERT_TRUE(Exists(dir / "debian.zip"));

    UnzipDriver unzip;
    ASSERT_EQ(unzip.Run(dir / "debian.zip", {}, {}, dir / "ours"), PK_OK);
    Shell("unzip -qq " + Quote(dir / "debian.zip") + " -d " + Quote(dir / "theirs"));
    EXPECT_EQ(Tree(dir / "ours"), Tree(dir / "theirs"));
    EXPECT_EQ(Tree(dir / "ours"), (std::vector<std::string>{latin1, "\xc3\xa9t\xc3\xa9.txt"}));
    EXPECT_EQ(ReadFile(dir / ("ours/" + latin1)), "latin");

    int result = -1;
    EXPECT_EQ(ListedNames(dir / "debian.zip", {}, 1, &result),
              "lat\xce\x98 1.txt;\xc3\xa9t\xc3\xa9.txt;");  // 0xE9 is a theta in code page 437
    // The listed name finds the entry again.
    UnzipDriver byListedName;
    ASSERT_EQ(byListedName.Run(dir / "debian.zip", {"lat\xce\x98 1.txt"}, {}, dir / "again"),
              PK_OK);
    EXPECT_EQ(Tree(dir / "again"), std::vector<std::string>{latin1});

    // The same bytes from a DOS host.
    std::string bytes = ReadFile(dir / "debian.zip");
    size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    bytes[central + 5] = 0;  // made by: MS-DOS
    WriteFile(dir / "dos.zip", bytes);
    UnzipDriver dos;
    ASSERT_EQ(dos.Run(dir / "dos.zip", {}, {}, dir / "dos"), PK_OK);
    EXPECT_EQ(Tree(dir / "dos"),
              (std::vector<std::string>{"lat\xce\x98 1.txt", "\xc3\xa9t\xc3\xa9.txt"}));
}
