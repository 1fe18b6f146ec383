#include "description/Sauce.h"

namespace tavrin {

namespace {

constexpr std::string_view kRecordId = "SAUCE00";
constexpr std::string_view kCommentId = "COMNT";
// Where the fields lie in the record.
constexpr std::size_t kTitleAt = 7, kTitleSize = 35;
constexpr std::size_t kAuthorAt = 42, kAuthorSize = 20;
constexpr std::size_t kGroupAt = 62, kGroupSize = 20;
constexpr std::size_t kDateAt = 82, kDateSize = 8;
constexpr std::size_t kCommentCountAt = 104;

std::string Field(std::string_view bytes) {
    std::size_t end = bytes.size();
    while (end > 0 && (bytes[end - 1] == ' ' || bytes[end - 1] == '\0')) --end;
    return std::string(bytes.substr(0, end));
}

bool AllDigits(std::string_view text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return !text.empty();
}

}  // namespace

SauceSplit SplitSauce(std::string_view bytes) {
    SauceSplit split;
    if (bytes.size() < kSauceRecordSize ||
        bytes.substr(bytes.size() - kSauceRecordSize, kRecordId.size()) != kRecordId) {
        split.text = bytes;
        return split;
    }
    std::size_t start = bytes.size() - kSauceRecordSize;
    const std::string_view record = bytes.substr(start);
    SauceRecord fields;
    fields.title = Field(record.substr(kTitleAt, kTitleSize));
    fields.author = Field(record.substr(kAuthorAt, kAuthorSize));
    fields.group = Field(record.substr(kGroupAt, kGroupSize));
    fields.date = Field(record.substr(kDateAt, kDateSize));

    const std::size_t lines = static_cast<unsigned char>(record[kCommentCountAt]);
    const std::size_t block = kCommentId.size() + lines * kSauceCommentLineSize;
    if (lines > 0 && start >= block &&
        bytes.substr(start - block, kCommentId.size()) == kCommentId) {
        start -= block;
        for (std::size_t i = 0; i < lines; ++i)
            fields.comments.push_back(Field(bytes.substr(
                start + kCommentId.size() + i * kSauceCommentLineSize, kSauceCommentLineSize)));
    }
    if (start > 0 && bytes[start - 1] == kSauceEof) --start;
    split.text = bytes.substr(0, start);
    split.tail = bytes.substr(start);
    split.record = std::move(fields);
    return split;
}

std::string JoinSauce(std::string_view text, std::string_view tail) {
    std::string bytes;
    bytes.reserve(text.size() + tail.size());
    bytes.append(text);
    bytes.append(tail);
    return bytes;
}

std::string SauceDateText(const SauceRecord& record) {
    const std::string& d = record.date;
    if (d.size() != kDateSize || !AllDigits(d)) return d;
    return d.substr(4, 2) + "/" + d.substr(6, 2) + "/" + d.substr(0, 4);
}

std::string SauceSummary(const SauceRecord& record) {
    std::string summary;
    auto line = [&summary](const char* label, const std::string& value) {
        if (value.empty()) return;
        if (!summary.empty()) summary += '\n';
        summary += label;
        summary += value;
    };
    line("Title: ", record.title);
    line("Author: ", record.author);
    line("Group: ", record.group);
    line("Date: ", SauceDateText(record));
    return summary;
}

}  // namespace tavrin
