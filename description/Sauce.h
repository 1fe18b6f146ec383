// SAUCE records: many DOS description files end with an end-of-file byte 0x1A, an optional
// comment block ("COMNT" and lines of 64 bytes) and a 128-byte record "SAUCE00" naming the
// title, author, group and date of the work. The record is kept apart from the text the user
// edits and is written back after it exactly as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

inline constexpr std::size_t kSauceRecordSize = 128;
inline constexpr std::size_t kSauceCommentLineSize = 64;
inline constexpr char kSauceEof = '\x1A';

// The record's fields as bytes (code page 437 in practice), their padding of blanks and NULs
// removed from the end.
struct SauceRecord {
    std::string title;                  // 35 bytes
    std::string author;                 // 20 bytes
    std::string group;                  // 20 bytes
    std::string date;                   // 8 bytes, CCYYMMDD
    std::vector<std::string> comments;  // the lines of the comment block, when it is there
};

// A description split into the text the editor shows and the record's bytes.
struct SauceSplit {
    std::string text;
    // The 0x1A before the record (when there), the comment block and the record, byte for
    // byte; empty when the description carries no record.
    std::string tail;
    std::optional<SauceRecord> record;
};

// Finds the record at the very end of `bytes`. Anything else (a record cut short, bytes
// after it, another version than "00") is left in the text. A comment block is taken with
// the record only when it stands where the record's line count puts it; otherwise those
// bytes stay in the text.
SauceSplit SplitSauce(std::string_view bytes);

// The bytes to store: the edited text followed by the record as it was.
std::string JoinSauce(std::string_view text, std::string_view tail);

// The record's date as the program writes dates (mm/dd/yyyy), or the field itself when it is
// no date.
std::string SauceDateText(const SauceRecord& record);

// The lines a tip shows: "Title: ", "Author: ", "Group: ", "Date: ", each only when its field
// is not empty, joined by "\n" (bytes, the fields as they stand).
std::string SauceSummary(const SauceRecord& record);

}  // namespace tavrin
