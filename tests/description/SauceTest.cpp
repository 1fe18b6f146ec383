#include <gtest/gtest.h>

#include "description/Sauce.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

std::string Padded(std::string text, std::size_t size, char pad = ' ') {
    text.resize(size, pad);
    return text;
}

std::string Record(const std::string& title, const std::string& author, const std::string& group,
                   const std::string& date, unsigned char commentLines) {
    std::string r = test::SauceRecordBytes(title, author, group, date, commentLines);
    EXPECT_EQ(r.size(), kSauceRecordSize);
    return r;
}

std::string Comments(std::initializer_list<const char*> lines) {
    return test::SauceCommentBlock(lines);
}

TEST(Sauce, RecordWithAndWithoutCommentBlockIsKeptApart) {
    const std::string text = "\xC9\xCD\xBB Cool release\r\n\xC8\xCD\xBC\r\n";
    const std::string record = Record("Cool release", "Ann \x84r", "ACiD", "19960517", 0);
    SauceSplit plain = SplitSauce(text + "\x1A" + record);
    ASSERT_TRUE(plain.record);
    EXPECT_EQ(plain.text, text);
    EXPECT_EQ(plain.tail, "\x1A" + record);
    EXPECT_EQ(plain.record->title, "Cool release");
    EXPECT_EQ(plain.record->author, "Ann \x84r");
    EXPECT_EQ(plain.record->group, "ACiD");
    EXPECT_EQ(plain.record->date, "19960517");
    EXPECT_TRUE(plain.record->comments.empty());
    EXPECT_EQ(SauceSummary(*plain.record),
              "Title: Cool release\nAuthor: Ann \x84r\nGroup: ACiD\nDate: 05/17/1996");

    const std::string withComments =
        "\x1A" + Comments({"first line", "second"}) + Record("T", "", "", "", 2);
    SauceSplit commented = SplitSauce(text + withComments);
    ASSERT_TRUE(commented.record);
    EXPECT_EQ(commented.text, text);
    EXPECT_EQ(commented.tail, withComments);
    EXPECT_EQ(commented.record->comments, (std::vector<std::string>{"first line", "second"}));
    EXPECT_EQ(SauceSummary(*commented.record), "Title: T");  // empty fields are left out

    // NUL padding is padding too; a date that is none stands as it is.
    std::string nulPadded = Record("", "", "", "", 0);
    nulPadded.replace(7, 35, Padded("Zeroes", 35, '\0'));
    nulPadded.replace(82, 8, "unknown ");
    SauceSplit zeroes = SplitSauce(nulPadded);
    ASSERT_TRUE(zeroes.record);
    EXPECT_EQ(zeroes.text, "");
    EXPECT_EQ(zeroes.record->title, "Zeroes");
    EXPECT_EQ(SauceDateText(*zeroes.record), "unknown");
}

TEST(Sauce, MissingEndOfFileByteAndMisplacedCommentBlock) {
    const std::string record = Record("No EOF", "", "", "20011224", 0);
    SauceSplit noEof = SplitSauce("text\r\n" + record);
    ASSERT_TRUE(noEof.record);
    EXPECT_EQ(noEof.text, "text\r\n");
    EXPECT_EQ(noEof.tail, record);  // written back without a 0x1A, as it was

    // The record counts three comment lines, but the block before it holds one: the block is
    // no part of the record and stays in the text; the record alone is still recognised.
    const std::string block = Comments({"only one"});
    const std::string counted = Record("Counted", "", "", "", 3);
    SauceSplit misplaced = SplitSauce("x\x1A" + block + counted);
    ASSERT_TRUE(misplaced.record);
    EXPECT_EQ(misplaced.text, "x\x1A" + block);
    EXPECT_EQ(misplaced.tail, counted);
    EXPECT_TRUE(misplaced.record->comments.empty());

    // More comment lines claimed than there are bytes before the record.
    SauceSplit tooMany = SplitSauce(Record("Short", "", "", "", 255));
    ASSERT_TRUE(tooMany.record);
    EXPECT_EQ(tooMany.text, "");
}

TEST(Sauce, DamagedRecordsStayText) {
    const std::string record = Record("Damaged", "", "", "19960517", 0);
    for (const std::string& bytes : {
             "text\x1A" + record.substr(0, 127),                      // cut short
             "text\x1A" + record + "\r\n",                            // something after it
             "text\x1A" + std::string("SAUCE01") + record.substr(7),  // another version
             std::string("SAUCE00"),                                  // shorter than a record
             std::string(),
         }) {
        SauceSplit split = SplitSauce(bytes);
        EXPECT_FALSE(split.record) << bytes;
        EXPECT_EQ(split.text, bytes);
        EXPECT_EQ(split.tail, "");
        EXPECT_EQ(JoinSauce(split.text, split.tail), bytes);
    }
}

// Edited text and the record as it was; splitting the result finds the same record, so a
// second save writes one record, not two.
TEST(Sauce, JoiningTheEditedTextKeepsOneRecord) {
    const std::string tail = "\x1A" + Comments({"c"}) + Record("Title", "Me", "Us", "19991231", 1);
    SauceSplit first = SplitSauce("old text\r\n" + tail);
    std::string saved = JoinSauce("new text\r\n", first.tail);
    EXPECT_EQ(saved, "new text\r\n" + tail);
    SauceSplit second = SplitSauce(saved);
    EXPECT_EQ(second.text, "new text\r\n");
    EXPECT_EQ(second.tail, tail);
    EXPECT_EQ(JoinSauce(second.text, second.tail), saved);
}

}  // namespace
}  // namespace tavrin
