#include <gtest/gtest.h>

#include <filesystem>

#include "engine/EngineCallbacks.h"
#include "packer/ArchiveJobs.h"
#include "packer/ZipOptions.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::FileExists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// What a recording unzip engine saw.
struct UnzipCall {
    std::vector<std::string> names;
    DCL dcl;
    std::string archive, dir;
};
std::vector<UnzipCall> g_calls;

int RecordingUnzip(int count, char** names, int xcount, char**, LPDCL dcl, LPUSERFUNCTIONS) {
    EXPECT_EQ(xcount, 0);
    UnzipCall call{{},
                   *dcl,
                   dcl->lpszZipFN ? dcl->lpszZipFN : "",
                   dcl->lpszExtractDir ? dcl->lpszExtractDir : ""};
    for (int i = 0; i < count; ++i) call.names.push_back(names[i]);
    EXPECT_FALSE(CaptureDescription);
    g_calls.push_back(call);
    return 0;
}

class Collector : public EngineOutput {
  public:
    bool AppendDescription(const std::string&) override { return true; }
    void AddListingLine(const std::string& line, const std::string& name) override {
        lines.push_back(line);
        names.push_back(name);
    }
    std::vector<std::string> lines, names;
};

class ArchiveJobsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(engine.zip.Load(std::string(TAVRIN_BIN_DIR) + "/libzip32.so"));
        ASSERT_TRUE(engine.unzip.Load(std::string(TAVRIN_BIN_DIR) + "/libunzip32.so"));
        InitUnzipCallbacks(table);
        SetEngineOutput(&collector);
        g_calls.clear();
    }
    void TearDown() override { SetEngineOutput(nullptr); }
    Engine engine;
    USERFUNCTIONS table{};
    Collector collector;
    TempDir dir;
};

TEST_F(ArchiveJobsTest, ExtractionRecordFollowsTheBoxes) {
    char archive[] = "a.zip", target[] = "/tmp/x";
    UnzipBoxes boxes;
    DCL d = ExtractionRecord(boxes, archive, target);
    EXPECT_EQ(d.ExtractOnlyNewer, 0);
    EXPECT_EQ(d.nfflag, 0);
    EXPECT_EQ(d.ndflag, 0);
    EXPECT_EQ(d.noflag, 0);
    EXPECT_EQ(d.C_flag, 1);
    EXPECT_EQ(d.fQuiet, 2);
    EXPECT_EQ(d.fPrivilege, 1);
    EXPECT_EQ(d.nvflag, 0);
    EXPECT_EQ(d.ncflag, 0);
    boxes = {true, true, true, false, true};
    d = ExtractionRecord(boxes, archive, target);
    EXPECT_EQ(d.ExtractOnlyNewer, 1);
    EXPECT_EQ(d.nfflag, 1);
    EXPECT_EQ(d.noflag, 1);
    EXPECT_EQ(d.C_flag, 0);
    EXPECT_EQ(d.ndflag, 1);
    EXPECT_EQ(d.lpszExtractDir, target);

    DCL l = ListingRecord(archive);
    EXPECT_EQ(l.nvflag, 1);
    EXPECT_EQ(l.nfflag, 1);
    EXPECT_EQ(l.C_flag, 1);
    EXPECT_EQ(l.fQuiet, 2);
    EXPECT_EQ(l.lpszExtractDir, nullptr);
}

TEST_F(ArchiveJobsTest, PackListAndExtractARealArchive) {
    WriteFile(dir / "a.txt", "alpha");
    WriteFile(dir / "b.txt", "beta");
    ZPOPT o = BuildZipOptions(ZipOptionBoxes{});
    ASSERT_TRUE(engine.zip.ZpSetOptions(&o));
    std::string archive = dir / "out.zip";
    bool ranThroughRunner = false;
    EngineCallRunner runner = [&](const std::function<void()>& call) {
        ranThroughRunner = true;
        call();
    };
    EXPECT_EQ(
        ZipFileList(engine.zip, archive, {dir / "a.txt", dir / "b.txt", dir / "a.txt"}, runner),
        ZE_OK);
    EXPECT_TRUE(ranThroughRunner);

    bool cleared = false;
    EXPECT_EQ(Get_Contents(engine.unzip, table, archive, [&] { cleared = true; }), PK_OK);
    EXPECT_TRUE(cleared);
    EXPECT_FALSE(CaptureListing);
    ASSERT_EQ(collector.names, (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_NE(collector.lines[0].find("      5  "), std::string::npos);

    std::filesystem::create_directory(dir / "out");
    ExtractionRequest request{archive, dir / "out", {}, false, collector.names, {false, true}};
    std::vector<std::string> chosen;
    EXPECT_EQ(UnZip_SelectedFiles(engine.unzip, table, request, chosen), PK_OK);
    EXPECT_EQ(chosen, std::vector<std::string>{"b.txt"});
    EXPECT_EQ(ReadFile(dir / "out/b.txt"), "beta");
    EXPECT_FALSE(FileExists(dir / "out/a.txt"));
}

TEST_F(ArchiveJobsTest, BlankNamesAndEmptyListsDoNothing) {
    EXPECT_EQ(ZipFileList(engine.zip, " \t ", {dir / "a"}), ZE_NONE);
    EXPECT_EQ(ZipFileList(engine.zip, dir / "x.zip", {}), ZE_NONE);
    EXPECT_FALSE(FileExists(dir / "x.zip"));
    EXPECT_EQ(Get_Contents(engine.unzip, table, "  "), PK_PARAM);

    UnZip32 recorder;
    recorder.Wiz_SingleEntryUnzip = RecordingUnzip;
    std::vector<std::string> chosen;
    ExtractionRequest none{dir / "a.zip", dir.Path(), {}, false, {"a", "b"}, {false, false}};
    EXPECT_EQ(UnZip_SelectedFiles(recorder, table, none, chosen), PK_FIND);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(ArchiveJobsTest, ExtractionPassesAtMostAThousandNamesPerCallInListOrder) {
    UnZip32 recorder;
    recorder.Wiz_SingleEntryUnzip = RecordingUnzip;
    ExtractionRequest request;
    request.archive = "/data/big.zip";
    request.extractDir = "/tmp/target ";
    for (int i = 0; i < 2345; ++i) request.listed.push_back("f" + std::to_string(i));
    std::vector<std::string> chosen;
    CaptureDescription = true;
    EXPECT_EQ(UnZip_SelectedFiles(recorder, table, request, chosen), PK_OK);
    EXPECT_FALSE(CaptureDescription);
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].names.size(), 1000u);
    EXPECT_EQ(g_calls[1].names.size(), 1000u);
    EXPECT_EQ(g_calls[2].names.size(), 345u);
    EXPECT_EQ(g_calls[2].names.back(), "f2344");
    EXPECT_EQ(g_calls[1].names.front(), "f1000");
    EXPECT_EQ(g_calls[0].archive, "/data/big.zip");
    EXPECT_EQ(g_calls[0].dir, "/tmp/target ");  // as typed, not trimmed
    EXPECT_EQ(chosen.size(), 2345u);
}

TEST_F(ArchiveJobsTest, StoredNamesWithWildcardCharactersExtractOnlyThemselves) {
    EXPECT_EQ(LiteralPattern("a[1]*?.txt"), "a[[]1][*][?].txt");
    test::MakeZipWithPython(dir / "w.zip",
                            {{"a[1].txt", "bracket"}, {"a1.txt", "plain"}, {"*.txt", "star"}});
    ASSERT_EQ(Get_Contents(engine.unzip, table, dir / "w.zip"), PK_OK);
    std::filesystem::create_directory(dir / "out");
    ExtractionRequest request{dir / "w.zip", dir / "out", {}, false, collector.names, {}};
    for (const std::string& n : collector.names) request.selected.push_back(n != "a1.txt");
    std::vector<std::string> chosen;
    EXPECT_EQ(UnZip_SelectedFiles(engine.unzip, table, request, chosen), PK_OK);
    EXPECT_EQ(ReadFile(dir / "out/a[1].txt"), "bracket");
    EXPECT_EQ(ReadFile(dir / "out/*.txt"), "star");
    EXPECT_FALSE(FileExists(dir / "out/a1.txt"));
}

// The engine's warnings and errors come back with the job; the notice names them, one a line,
// and says nothing for a job that went well silently or merely found nothing newer.
TEST_F(ArchiveJobsTest, RefusedJobsComeBackWithTheEngineMessages) {
    std::filesystem::create_directories(dir / "d1");
    std::filesystem::create_directories(dir / "d2");
    WriteFile(dir / "d1/x.txt", "one");
    WriteFile(dir / "d2/x.txt", "two");
    ZPOPT o = BuildZipOptions(ZipOptionBoxes{});  // "Do not add path" ticked
    ASSERT_TRUE(engine.zip.ZpSetOptions(&o));
    std::string messages;
    EXPECT_EQ(
        ZipFileList(engine.zip, dir / "x.zip", {dir / "d1/x.txt", dir / "d2/x.txt"}, {}, &messages),
        ZE_PARMS);
    EXPECT_FALSE(FileExists(dir / "x.zip"));
    EXPECT_EQ(messages.find("adding"), std::string::npos);  // no progress lines
    std::string notice = ZipJobNotice(dir / "x.zip", ZE_PARMS, messages);
    EXPECT_EQ(notice, "Packing " + dir / "x.zip" +
                          " failed: these files would be stored under one name, which an "
                          "archive cannot hold (cannot repeat names in zip file). Nothing was "
                          "packed.\n\nx.txt:\n    " +
                          dir / "d1/x.txt" + "\n    " + dir / "d2/x.txt");
    EXPECT_EQ(ZipEngineMessages(), "");  // handed over, not kept

    EXPECT_EQ(ZipFileList(engine.zip, dir / "x.zip", {dir / "d1/x.txt"}, {}, &messages), ZE_OK);
    EXPECT_EQ(messages, "");
    EXPECT_EQ(ZipJobNotice(dir / "x.zip", ZE_OK, messages), "");
    EXPECT_EQ(ZipJobNotice(dir / "x.zip", ZE_NONE, ""), "");
    EXPECT_EQ(ZipJobNotice(dir / "x.zip", ZE_OK, "zip warning: zip file empty\n"),
              "Packing " + dir / "x.zip" +
                  ": done.\n\nEvery entry was deleted; the archive is kept, empty.");
    EXPECT_EQ(ZipJobNotice("a.zip", ZE_NONE,
                           "zip warning: name not matched: /h/b.txt\n"
                           "zip error: Nothing to do! (a.zip)\n"),
              "Packing a.zip failed: there was nothing to do.\n\nname not matched: /h/b.txt\n"
              "Nothing to do! (a.zip)");
    std::string many;
    for (int i = 0; i < 30; ++i)
        many += "zip warning: name not matched: f" + std::to_string(i) + "\n";
    notice = ZipJobNotice("a.zip", ZE_NONE, many);
    EXPECT_NE(notice.find("failed: there was nothing to do."), std::string::npos);
    EXPECT_NE(notice.find("f23\n... and 6 more"), std::string::npos);
    EXPECT_EQ(notice.find("f24"), std::string::npos);

    // An archive that cannot be written: the system's reason comes first, as zip gives it.
    const std::string refused =
        "zip I/O error: Permission denied\nzip error: Could not create output file (a.zip)\n";
    EXPECT_EQ(ZipJobNotice("a.zip", ZE_CREAT, refused),
              "Packing a.zip failed: the archive could not be created.\n\nPermission denied\n"
              "Could not create output file (a.zip)");
    EXPECT_EQ(ZipFailureText(ZE_CREAT, refused),
              "Permission denied\nCould not create output file (a.zip)");
    EXPECT_EQ(ZipFailureText(ZE_WRITE, ""), "the archive could not be written");
}

// "Unzip all" of an overlap bomb of 2,500 records: the first call writes the first entry and
// is refused at the second; no further call is made and the refusal is what comes back.
TEST_F(ArchiveJobsTest, AnOverlapBombEndsTheExtraction) {
    test::MakeOverlapBomb(dir / "bomb.zip", 2500, 1 << 20);
    ASSERT_EQ(Get_Contents(engine.unzip, table, dir / "bomb.zip"), PK_OK);
    ASSERT_EQ(collector.names.size(), 2500u);
    int calls = 0;
    EngineCallRunner runner = [&](const std::function<void()>& call) { call(); };
    UnZip32 counting;
    static const UnZip32* real;
    static int* seen;
    real = &engine.unzip;
    seen = &calls;
    counting.Wiz_SingleEntryUnzip = [](int n, char** names, int xn, char** xnames, LPDCL dcl,
                                       LPUSERFUNCTIONS uf) {
        ++*seen;
        return real->Wiz_SingleEntryUnzip(n, names, xn, xnames, dcl, uf);
    };
    ExtractionRequest request{dir / "bomb.zip", dir / "out", {}, true, collector.names, {}};
    request.boxes.withPath = true;
    std::vector<std::string> chosen;
    EXPECT_EQ(UnZip_SelectedFiles(counting, table, request, chosen, runner), PK_BOMB);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(chosen.size(), 2500u);
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "out"))
        written.push_back(entry.path().filename().string());
    EXPECT_EQ(written, std::vector<std::string>{"a0.txt"});
    EXPECT_NE(UnzipResultText(PK_BOMB).find("overlapped components"), std::string::npos);
}

}  // namespace
}  // namespace tavrin
