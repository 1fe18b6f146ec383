#include <gtest/gtest.h>

#include "description/Cp437.h"
#include "description/CustomNames.h"
#include "description/DescriptionCap.h"
#include "description/DescriptionEmbed.h"
#include "description/DescriptionLookup.h"
#include "engine/EngineCallbacks.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::FileExists;
using test::MakeZipWithPython;
using test::ReadFile;
using test::RunCommand;
using test::TempDir;
using test::WriteFile;

TEST(Candidates, NameTextAndCustomPlaceholder) {
    EXPECT_EQ(NameText("Archive.ZIP"), "Archive.txt");
    EXPECT_EQ(NameText("my.old.zip"), "my.old.txt");
    EXPECT_EQ(NameText("ab"), "txt");
    EXPECT_EQ(CustomCandidate("MYFILE.ZIP", "<filename>.txt"), "MYFILE.txt");
    EXPECT_EQ(CustomCandidate("MYFILE.ZIP", "<filename>.nfo"), "MYFILE.nfo");
    EXPECT_EQ(CustomCandidate("MYFILE.ZIP", "info_<filename>.txt"), "MYFILE.txt");
    EXPECT_EQ(CustomCandidate("my.old.zip", "<filename>.txt"), "my.txt");
    EXPECT_EQ(CustomCandidate("MYFILE.ZIP", "<filename>"), "MYFILE.<filename>");
    EXPECT_EQ(CustomCandidate("NODOT", "<filename>.nfo"), "nfo");
    EXPECT_EQ(CustomCandidate("MYFILE.ZIP", "file.nfo"), "file.nfo");
}

TEST(Cp437, EveryByteSurvivesTheEditor) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n') all += static_cast<char>(b);
    std::string text = all + "\r\n" + all + "\r\n";
    EXPECT_EQ(EncodeCp437(DecodeCp437(text)), text);
    std::u16string shown = DecodeCp437("\xC9\xCD\xBB\x01\x7F");
    EXPECT_EQ(shown, u"╔═╗☺⌂");
    EXPECT_EQ(EncodeCp437(u"a€b"), "a?b");                          // a character 437 lacks
    EXPECT_EQ(EncodeCp437(DecodeCp437("a\rb\nc")), "a\r\nb\r\nc");  // breaks become CR LF
}

TEST(DescriptionCapTest, CountsWhatWasDecompressed) {
    DescriptionCap cap(100);
    bool more = false;
    EXPECT_EQ(cap.Fit(40, &more), 40u);
    EXPECT_TRUE(more);
    EXPECT_EQ(cap.Fit(60, &more), 60u);
    EXPECT_TRUE(more);
    EXPECT_FALSE(cap.Cut());  // exactly the cap is no cut
    EXPECT_EQ(cap.Fit(5, &more), 0u);
    EXPECT_FALSE(more);
    EXPECT_TRUE(cap.Cut());
    EXPECT_EQ(cap.Fit(5, &more), 0u);  // and stays cut
    EXPECT_FALSE(more);
    cap.Reset();
    EXPECT_FALSE(cap.Cut());
    EXPECT_EQ(cap.Fit(80, &more), 80u);
    EXPECT_EQ(cap.Fit(30, &more), 20u);  // the part that fits
    EXPECT_FALSE(more);
    EXPECT_TRUE(cap.Cut());
}

// Records the attempts of a lookup.
class Recorder : public EngineOutput, public DescriptionTarget {
  public:
    Recorder() { SetEngineOutput(this); }
    ~Recorder() override { SetEngineOutput(nullptr); }
    bool AppendDescription(const std::string& piece) override {
        text += piece;
        return true;
    }
    void AddListingLine(const std::string&, const std::string&) override {}
    void ClearDescription() override { text.clear(); }
    void SetCornice(const Candidate& name) override {
        tried.push_back(name.name);
        cornices.push_back(name);
    }
    std::string text;
    std::vector<std::string> tried;
    std::vector<Candidate> cornices;
};

class LookupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(unzip.Load(std::string(TAVRIN_BIN_DIR) + "/libunzip32.so"));
    }
    LookupResult Look(const std::string& archive, LookupMode mode,
                      const std::string& caption = "all custom files",
                      const std::vector<std::string>& customs = {}) {
        recorder.tried.clear();
        recorder.cornices.clear();
        return ViewInfo(unzip, archive, {mode, caption, caption == "all custom files"}, customs,
                        recorder);
    }
    UnZip32 unzip;
    Recorder recorder;
    TempDir dir;
};

TEST_F(LookupTest, AutomaticOrderMatchesWithoutCase) {
    MakeZipWithPython(dir / "both.zip", {{"readme.txt", "readme"}, {"FILE_ID.DIZ", "diz"}});
    LookupResult r = Look(dir / "both.zip", LookupMode::Automatic);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.cornice, "file_id.diz");
    EXPECT_EQ(recorder.text, "diz");
    EXPECT_FALSE(CaptureDescription);

    MakeZipWithPython(dir / "Archive.zip", {{"Archive.txt", "own name"}});
    r = Look(dir / "Archive.zip", LookupMode::Automatic);
    EXPECT_EQ(recorder.tried,
              (std::vector<std::string>{"file_id.diz", "readme.txt", "Archive.txt"}));
    EXPECT_EQ(r.cornice, "Archive.txt");
    EXPECT_EQ(recorder.text, "own name");
    r = Look(dir / "Archive.zip", LookupMode::FileName);
    EXPECT_TRUE(r.found);

    // Nothing found: empty text, the frame names file_id.diz; the custom names were tried.
    MakeZipWithPython(dir / "MYFILE.ZIP", {{"docs/file_id.diz", "under a folder"}});
    r = Look(dir / "MYFILE.ZIP", LookupMode::Automatic, "all custom files",
             {"x.nfo", "<filename>.nfo"});
    EXPECT_FALSE(r.found);
    EXPECT_EQ(recorder.tried, (std::vector<std::string>{"file_id.diz", "readme.txt", "MYFILE.txt",
                                                        "x.nfo", "MYFILE.nfo", "file_id.diz"}));
    EXPECT_EQ(r.cornice, "file_id.diz");
    EXPECT_EQ(recorder.text, "");
}

// A description of zeros declared a gigabyte long: the engine stops once the cap is passed,
// so no more than the cap and one piece is ever decompressed.
TEST_F(LookupTest, AZeroBombIsCutAfterTheCap) {
    test::MakeZeroBomb(dir / "zeros.zip", "FILE_ID.DIZ", std::uint64_t(1) << 30);
    struct Capped : Recorder {
        bool AppendDescription(const std::string& piece) override {
            decompressed += piece.size();
            bool more = true;
            text.append(piece, 0, cap.Fit(piece.size(), &more));
            return more;
        }
        void ClearDescription() override {
            Recorder::ClearDescription();
            cap.Reset();
        }
        DescriptionCap cap;
        std::size_t decompressed = 0;
    } capped;
    LookupResult r = ViewInfo(unzip, dir / "zeros.zip",
                              {LookupMode::Automatic, "all custom files", true}, {}, capped);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.cornice, "file_id.diz");
    EXPECT_TRUE(capped.cap.Cut());
    EXPECT_EQ(capped.text, std::string(kMaxDescriptionBytes, '\0'));  // every byte up to the cap
    EXPECT_GT(capped.decompressed, kMaxDescriptionBytes);
    EXPECT_LE(capped.decompressed, kMaxDescriptionBytes + (64u << 10));
}

// Finding the name without reading: the same order, nothing decompressed, a damaged entry
// counts as there.
TEST_F(LookupTest, FindingTheNameAsksOnlyForNames) {
    MakeZipWithPython(dir / "Archive.zip", {{"Archive.txt", "own name"}, {"x.nfo", "nfo"}});
    LookupResult r = FindDescription(unzip, dir / "Archive.zip",
                                     {LookupMode::Automatic, "all custom files", true}, {});
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.cornice, "Archive.txt");
    EXPECT_EQ(recorder.text, "");  // nothing reached the description
    r = FindDescription(unzip, dir / "Archive.zip", {LookupMode::Custom, "all custom files", true},
                        {"none.txt", "X.NFO"});
    EXPECT_EQ(r.cornice, "X.NFO");
    r = FindDescription(unzip, dir / "Archive.zip", {LookupMode::Readme, ""}, {});
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.cornice, "readme.txt");
    MakeZipWithPython(dir / "none.zip", {{"other.txt", "o"}});
    r = FindDescription(unzip, dir / "none.zip", {LookupMode::Automatic, "all custom files", true},
                        {});
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.cornice, "file_id.diz");
}

TEST_F(LookupTest, FixedAndCustomChoices) {
    MakeZipWithPython(dir / "MYFILE.ZIP", {{"MYFILE.NFO", "nfo text"}, {"other.txt", "o"}});
    LookupResult r = Look(dir / "MYFILE.ZIP", LookupMode::Readme);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.cornice, "readme.txt");  // the fixed name stays in the frame
    r = Look(dir / "MYFILE.ZIP", LookupMode::Custom, "<filename>.nfo");
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.cornice, "MYFILE.nfo");
    EXPECT_EQ(recorder.text, "nfo text");
    r = Look(dir / "MYFILE.ZIP", LookupMode::Custom, "all custom files",
             {"a.txt", "other.txt", "b.txt"});
    EXPECT_TRUE(r.found);
    EXPECT_EQ(recorder.tried, (std::vector<std::string>{"a.txt", "other.txt"}));
    r = Look(dir / "MYFILE.ZIP", LookupMode::Custom, "all custom files", {"a.txt", "b.txt"});
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.cornice, "b.txt");  // the last candidate tried
    r = Look(dir / "MYFILE.ZIP", LookupMode::Custom, "all custom files", {});
    EXPECT_EQ(r.cornice, "file_id.diz");
    // A missing or damaged archive: every attempt fails, no message.
    WriteFile(dir / "bad.zip", "not an archive");
    EXPECT_FALSE(Look(dir / "bad.zip", LookupMode::Automatic).found);
    EXPECT_FALSE(Look(dir / "gone.zip", LookupMode::FileId).found);
}

class EmbedTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(zip.Load(std::string(TAVRIN_BIN_DIR) + "/libzip32.so")); }
    std::string Entry(const std::string& archive, const std::string& name) {
        std::string out;
        RunCommand("unzip -p '" + archive + "' '" + name + "'", &out);
        return out;
    }
    Zip32 zip;
    TempDir dir;
};

TEST_F(EmbedTest, StoresUnderTheNameAndKeepsTheOtherEntries) {
    MakeZipWithPython(dir / "a.zip",
                      {{"FILE_ID.DIZ", "old"}, {"docs/file_id.diz", "nested"}, {"prog.exe", "MZ"}});
    TempDir scratch;
    setenv("TMPDIR", scratch.Path().c_str(), 1);
    EmbedOutcome out = Embed(zip, dir / "a.zip", "file_id.diz", "new text\r\n", "9");
    unsetenv("TMPDIR");
    ASSERT_EQ(out.kind, EmbedOutcome::kStored);
    std::string names;
    RunCommand("unzip -Z1 '" + dir / "a.zip'", &names);
    EXPECT_EQ(names, "file_id.diz\ndocs/file_id.diz\nprog.exe\n");  // replaced in place, one entry
    EXPECT_EQ(Entry(dir / "a.zip", "file_id.diz"), "new text\r\n");
    EXPECT_EQ(Entry(dir / "a.zip", "docs/file_id.diz"), "nested");  // never replaced
    EXPECT_EQ(Entry(dir / "a.zip", "prog.exe"), "MZ");
    // Nothing is left in the temporary folder.
    std::string left;
    RunCommand("ls -A '" + scratch.Path() + "'", &left);
    EXPECT_EQ(left, "");
}

TEST_F(EmbedTest, OptionRecordAndFailures) {
    ZPOPT o = EmbedOptions("");
    EXPECT_EQ(o.fLevel, '6');
    EXPECT_EQ(o.fExtra, -1);
    EXPECT_EQ(o.fJunkDir, -1);
    EXPECT_EQ(o.fGrow, -1);
    EXPECT_EQ(o.fRecurse, 0);
    EXPECT_EQ(o.fMove | o.fUpdate | o.fFreshen | o.fDeleteEntries | o.fSystem, 0);
    EXPECT_EQ(EmbedOptions("9x").fLevel, '9');
    // An archive that cannot be written is reported.
    EmbedOutcome out = Embed(zip, dir / "no/such/folder/a.zip", "file_id.diz", "x", "6");
    EXPECT_EQ(out.kind, EmbedOutcome::kArchiveFailed);
    EXPECT_NE(out.engineResult, 0);
}

TEST(CustomNamesFile, ReadWriteAndAdd) {
    TempDir dir;
    std::string ext = dir / "tavrin.ext";
    WriteFile(ext, "file.nfo\r\n\r\n<filename>.txt\r\n  spaced  \r\n");
    EXPECT_EQ(ReadCustoms(ext),
              (std::vector<std::string>{"file.nfo", "<filename>.txt", "  spaced  "}));
    EXPECT_TRUE(ReadCustoms(dir / "missing.ext").empty());
    ASSERT_TRUE(WriteCustoms(ext, {"a", "", "b"}));
    EXPECT_EQ(ReadFile(ext), "a\r\nb\r\n");
    ASSERT_TRUE(WriteCustoms(ext, {}));
    EXPECT_EQ(ReadFile(ext), "");
    EXPECT_FALSE(WriteCustoms(dir / "no/folder/tavrin.ext", {"a"}));
    std::vector<std::string> names = {"file.nfo"};
    EXPECT_FALSE(AddCustomName(names, "file.nfo"));
    EXPECT_TRUE(AddCustomName(names, "File.nfo"));
    EXPECT_EQ(names.size(), 2u);
}

}  // namespace
}  // namespace tavrin
