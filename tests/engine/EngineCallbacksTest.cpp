#include <gtest/gtest.h>

#include "engine/EngineCallbacks.h"

namespace tavrin {
namespace {

class RecordingOutput : public EngineOutput {
  public:
    bool AppendDescription(const std::string& piece) override {
        deliveredTotal += piece.size();
        description.push_back(piece);
        return description.size() < 3;
    }
    void AddListingLine(const std::string& line, const std::string& name) override {
        lines.push_back(line);
        names.push_back(name);
    }
    std::vector<std::string> description, lines, names;
    std::size_t deliveredTotal = 0;
};

class EngineCallbacksTest : public ::testing::Test {
  protected:
    void SetUp() override { SetEngineOutput(&output); }
    void TearDown() override {
        SetEngineOutput(nullptr);
        CaptureDescription = CaptureListing = false;
    }
    RecordingOutput output;
};

TEST_F(EngineCallbacksTest, ListingLineHasTheFixedColumns) {
    EXPECT_EQ(FormatListingLine(1234, 3, 7, 2, 14, 5, "file_id.diz"),
              "   1234  03-07-02 14:05  file_id.diz");
    // Wide values are not cut.
    EXPECT_EQ(FormatListingLine(123456789, 12, 31, 99, 23, 59, "a"),
              "123456789  12-31-99 23:59  a");
}

TEST_F(EngineCallbacksTest, ListingReachesTheDialogOnlyWhileCaptured) {
    char name[] = "docs/readme.txt";
    char method[] = "Defl:N";
    UnzipMessage(1234, 600, 51, 3, 7, 2, 14, 5, ' ', name, method, 0xDEADBEEF, ' ');
    EXPECT_TRUE(output.lines.empty());
    CaptureListing = true;
    UnzipMessage(1234, 600, 51, 3, 7, 2, 14, 5, ' ', name, method, 0xDEADBEEF, ' ');
    ASSERT_EQ(output.lines.size(), 1u);
    EXPECT_EQ(output.lines[0], "   1234  03-07-02 14:05  docs/readme.txt");
    EXPECT_EQ(output.names[0], "docs/readme.txt");
    EXPECT_TRUE(output.description.empty());
}

TEST_F(EngineCallbacksTest, PrintedTextReachesTheDescriptionOnlyWhileCaptured) {
    char piece[] = "first line\r\nsecond\0hidden after the NUL";
    EXPECT_EQ(UnzipPrint(piece, sizeof piece - 1), int(sizeof piece - 1));
    EXPECT_TRUE(output.description.empty());
    CaptureDescription = true;
    EXPECT_EQ(UnzipPrint(piece, sizeof piece - 1), int(sizeof piece - 1));
    ASSERT_EQ(output.description.size(), 1u);
    // The whole piece: a NUL byte does not end the text.
    EXPECT_EQ(output.description[0], std::string(piece, sizeof piece - 1));
    EXPECT_EQ(output.deliveredTotal, sizeof piece - 1);
    EXPECT_TRUE(output.lines.empty());
    // A description that takes no more answers -1, so the engine ends the entry.
    EXPECT_EQ(UnzipPrint(piece, 5), 5);
    EXPECT_EQ(UnzipPrint(piece, 5), -1);
}

TEST_F(EngineCallbacksTest, QuestionsOfTheEngineAreAnsweredWithoutTheUser) {
    char buffer[16] = "untouched";
    EXPECT_EQ(ZipPassword(buffer, sizeof buffer, "Enter password", "a"), 1);
    EXPECT_EQ(UnzipPassword(buffer, sizeof buffer, "Enter password", "a"), 1);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(ZipComment(buffer), buffer);
    EXPECT_EQ(UnzipReplace(buffer), 1);
    EXPECT_EQ(ZipService("a", 1), 0);
    EXPECT_EQ(UnzipService("a", 1), 0);
    EXPECT_EQ(ZipPrint(buffer, 9), 9);

    USERFUNCTIONS table{};
    table.TotalSize = 77;
    InitUnzipCallbacks(table);
    EXPECT_EQ(table.print, &UnzipPrint);
    EXPECT_EQ(table.sound, nullptr);
    EXPECT_EQ(table.replace, &UnzipReplace);
    EXPECT_EQ(table.password, &UnzipPassword);
    EXPECT_EQ(table.SendApplicationMessage, &UnzipMessage);
    EXPECT_EQ(table.ServCallBk, &UnzipService);
    EXPECT_EQ(table.TotalSize, 77u);  // the engine's totals are left alone
}

}  // namespace
}  // namespace tavrin
