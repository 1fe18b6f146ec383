// The texts of ID3v2 frames: what a text or comment frame's body shows (the encoding byte
// read, UTF-16 and UTF-8 decoded), and the body a changed text is written in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace tavrin {

// A tag text: the bytes of a single-byte frame (encoding 0, shown in Windows-1252), or the
// characters of a Unicode frame as UTF-8.
struct TagText {
    TagText() = default;
    TagText(std::string text, bool isUnicode = false)
        : bytes(std::move(text)), unicode(isUnicode) {}
    TagText(const char* text) : bytes(text) {}

    std::string bytes;
    bool unicode = false;
};

// The same characters, whichever way each is stored.
bool SameText(const TagText& a, const TagText& b);
// The text as UTF-8, for showing.
std::string ShownUtf8(const TagText& text);
// A typed text (UTF-8) as the tag keeps it: single-byte when every character has a
// Windows-1252 byte, else Unicode.
TagText TypedText(std::string_view utf8);

namespace id3text {

// The encoding bytes of ID3v2 texts.
inline constexpr unsigned char kSingleByte = 0;
inline constexpr unsigned char kUtf16 = 1;    // with a byte order mark
inline constexpr unsigned char kUtf16BE = 2;  // version 2.4
inline constexpr unsigned char kUtf8 = 3;     // version 2.4

bool IsUnicode(unsigned char encoding);

// Removes leading and trailing characters of code <= 0x20 (zero bytes included).
std::string TrimBoth(std::string_view text);
std::string TrimRight(std::string_view text);

// A text frame's text from the first `size` bytes of its body (encoding byte, text), trimmed.
// Bodies of another encoding byte are taken as single-byte text, the encoding byte included
// (it is trimmed away when below 0x21).
TagText FrameText(const unsigned char* body, std::size_t size);

// A comment frame's text from the first `size` bytes of its body (encoding byte, language,
// short description, text): the text, trimmed; a non-empty short description stays in front
// of it, separated by a zero byte.
TagText CommentText(const unsigned char* body, std::size_t size);

// The body of a text frame holding `text`: encoding 0 and single bytes when every character
// fits, else `unicodeEncoding` (kUtf16, kUtf16BE or kUtf8). No terminator follows.
std::string TextBody(const TagText& text, unsigned char unicodeEncoding);

// The body of a comment frame: as TextBody, with the three-byte language and the short
// description (the part of `comment` before its first zero byte, if any) in front of the text.
std::string CommentBody(const TagText& comment, std::string_view language,
                        unsigned char unicodeEncoding);

}  // namespace id3text
}  // namespace tavrin
