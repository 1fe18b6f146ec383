// The description tools for many archives: SAUCE fields, JSON for scripts, batch stamping.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::MakeZipWithPython;
using test::ReadFile;
using test::RunCommand;
using test::TempDir;
using test::UnzipEntry;

std::string Cli(const std::string& args) {
    return test::ShellQuoted(std::string(TAVRIN_BIN_DIR) + "/tavrin-cli") + " " + args;
}

TEST(CliBatch, DizSauceNamesTheFieldsAndPrintsTheTextWithoutTheRecord) {
    TempDir dir;
    const std::string text = "\xDB\xDB art\r\n";
    const std::string tail = "\x1A" + test::SauceCommentBlock({"line\\one"}) +
                             test::SauceRecordBytes("Title", "Ann", "ACiD", "19960517", 1);
    MakeZipWithPython(dir / "art.zip", {{"file_id.diz", text + tail}});
    MakeZipWithPython(dir / "plain.zip", {{"file_id.diz", "plain"}});
    std::string out;
    EXPECT_EQ(RunCommand(Cli("diz --sauce " + test::ShellQuoted(dir / "art.zip")), &out), 0);
    EXPECT_EQ(out,
              "name: file_id.diz\nfound: yes\nsauce: yes\ntitle: Title\nauthor: Ann\ngroup: ACiD\n"
              "date: 19960517\ncomment: line\\\\one\n--\n" +
                  text);
    // Without --sauce the bytes are printed as the engine delivered them.
    EXPECT_EQ(RunCommand(Cli("diz " + test::ShellQuoted(dir / "art.zip")), &out), 0);
    EXPECT_EQ(out, "name: file_id.diz\nfound: yes\n--\n" + text + tail);
    EXPECT_EQ(RunCommand(Cli("diz --sauce " + test::ShellQuoted(dir / "plain.zip")), &out), 0);
    EXPECT_EQ(out, "name: file_id.diz\nfound: yes\nsauce: no\n--\nplain");
    // Several archives only with --json.
    EXPECT_EQ(RunCommand(Cli("diz " + test::ShellQuoted(dir / "art.zip") + " " +
                             test::ShellQuoted(dir / "plain.zip")) +
                         " 2>&1"),
              2);
}

TEST(CliBatch, DizJsonGivesEveryArchiveInOrder) {
    TempDir dir;
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    MakeZipWithPython(dir / "bytes.zip", {{"FILE_ID.DIZ", all}});
    MakeZipWithPython(dir / "Own.zip", {{"Own.txt", "say \"hi\"\r\n"}});
    MakeZipWithPython(dir / "none.zip", {{"prog.exe", "MZ"}});
    MakeZipWithPython(dir / "art.zip",
                      {{"file_id.diz", "x\x1A" + test::SauceRecordBytes("T", "", "G", "", 0)}});
    std::string out;
    EXPECT_EQ(RunCommand(Cli("diz --json --sauce " + test::ShellQuoted(dir / "Own.zip") + " " +
                             test::ShellQuoted(dir / "none.zip") + " " +
                             test::ShellQuoted(dir / "art.zip")),
                         &out),
              1);  // one archive without a description
    EXPECT_EQ(out, "[\n{\"archive\":\"" + dir / "Own.zip" +
                       "\",\"name\":\"Own.txt\",\"found\":true,\"text\":\"say \\\"hi\\\"\\r\\n\","
                       "\"sauce\":null},\n{\"archive\":\"" +
                       dir / "none.zip" +
                       "\",\"name\":\"file_id.diz\",\"found\":false,\"text\":\"\",\"sauce\":null},"
                       "\n{\"archive\":\"" +
                       dir / "art.zip" +
                       "\",\"name\":\"file_id.diz\",\"found\":true,\"text\":\"x\",\"sauce\":{"
                       "\"title\":\"T\",\"author\":\"\",\"group\":\"G\",\"date\":\"\","
                       "\"comments\":[]}}\n]\n");

    // Every byte comes through as its code page 437 character, so a script can have the
    // bytes back; the JSON is valid.
    ASSERT_EQ(RunCommand(Cli("diz --json " + test::ShellQuoted(dir / "bytes.zip")) + " > " +
                         test::ShellQuoted(dir / "out.json")),
              0);
    const std::string script =
        "import json,sys\n"
        "t=json.load(open(sys.argv[1]))[0]['text']\n"
        "hi=bytes(range(128,256)).decode('cp437')\n"
        "ok=len(t)==256 and t[128:]==hi and t[32:127]==bytes(range(32,127)).decode()\n"
        "ok=ok and t[0]=='\\u2400' and t[1]=='\\u263a' and t[127]=='\\u2302'\n"
        "ok=ok and t[9]=='\\t' and t[10]=='\\n' and t[13]=='\\r' and len(set(t))==256\n"
        "sys.stdout.write('ok' if ok else repr(t))\n";
    test::WriteFile(dir / "back.py", script);
    EXPECT_EQ(RunCommand("python3 " + test::ShellQuoted(dir / "back.py") + " " +
                             test::ShellQuoted(dir / "out.json"),
                         &out),
              0);
    EXPECT_EQ(out, "ok");
}

// One text into many archives: each under its own description's name; a read-only archive
// in the middle fails on its own line and is left exactly as it was, the others are stamped.
TEST(CliBatch, DizSetStampsManyArchivesAndLeavesFailedOnesAsTheyWere) {
    if (!test::IsRoot()) GTEST_SKIP() << "needs root to act as another user";
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0777);
    MakeZipWithPython(dir / "one.zip", {{"FILE_ID.DIZ", "old one"}, {"a.bin", "A"}});
    MakeZipWithPython(dir / "locked.zip", {{"file_id.diz", "old locked"}});
    MakeZipWithPython(dir / "Three.zip", {{"Three.txt", "old three"}});
    std::filesystem::create_directory(dir / "shut");
    MakeZipWithPython(dir / "shut/four.zip", {{"file_id.diz", "old four"}});
    for (const char* name : {"one.zip", "locked.zip", "Three.zip", "shut/four.zip"})
        ASSERT_EQ(::chown((dir / name).c_str(), test::kNobody, test::kNobody), 0);
    ::chmod((dir / "locked.zip").c_str(), 0444);
    // A folder the user may not write: its archive cannot be replaced either.
    ::chmod((dir / "shut/four.zip").c_str(), 0644);
    ::chmod((dir / "shut").c_str(), 0555);
    const std::string lockedBefore = ReadFile(dir / "locked.zip");
    const std::string fourBefore = ReadFile(dir / "shut/four.zip");

    TempDir temp;
    ::chmod(temp.Path().c_str(), 0777);
    const std::string run = "cd " + test::ShellQuoted(dir.Path()) +
                            " && printf 'stamp\\nline' | TMPDIR=" + test::ShellQuoted(temp.Path()) +
                            " setpriv --reuid=65534 --regid=65534 --clear-groups " +
                            Cli("diz-set one.zip locked.zip Three.zip shut/four.zip") + " 2>" +
                            test::ShellQuoted(temp / "err.txt");
    std::string out;
    EXPECT_EQ(RunCommand(run, &out), 1);
    EXPECT_EQ(out, "one.zip: stored as file_id.diz\nThree.zip: stored as Three.txt\n");
    const std::string err = ReadFile(temp / "err.txt");
    EXPECT_NE(err.find("tavrin-cli: cannot write the description into locked.zip:"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("tavrin-cli: cannot write the description into shut/four.zip:"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("Permission denied"), std::string::npos) << err;

    EXPECT_EQ(UnzipEntry(dir / "one.zip", "file_id.diz"), "stamp\r\nline");
    EXPECT_EQ(UnzipEntry(dir / "one.zip", "a.bin"), "A");
    EXPECT_EQ(test::UnzipNames(dir / "one.zip"), "file_id.diz\na.bin\n");
    EXPECT_EQ(UnzipEntry(dir / "Three.zip", "Three.txt"), "stamp\r\nline");
    EXPECT_EQ(ReadFile(dir / "locked.zip"), lockedBefore);
    EXPECT_EQ(test::StatOf(dir / "locked.zip").st_mode & 07777, 0444u);
    EXPECT_EQ(ReadFile(dir / "shut/four.zip"), fourBefore);
    EXPECT_EQ(test::NamesIn(dir.Path()),
              (std::set<std::string>{"one.zip", "locked.zip", "Three.zip", "shut"}));
    EXPECT_EQ(test::NamesIn(dir / "shut"), (std::set<std::string>{"four.zip"}));
    ::chmod((dir / "shut").c_str(), 0755);
}

}  // namespace
}  // namespace tavrin
