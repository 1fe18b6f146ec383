#include "mp3/ID3v2Text.h"

#include "platform/text/TextCodec.h"

namespace tavrin {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// UTF-16 units to UTF-8. Each string (strings end at a zero unit, which is kept as a zero
// byte) may start with a byte order mark; without one the order of the string before holds,
// little-endian at first unless `bigEndian`. An unpaired surrogate becomes U+FFFD; an odd
// last byte is dropped.
std::string Utf16ToUtf8(const unsigned char* p, std::size_t size, bool bigEndian) {
    std::string out;
    bool atStart = true;
    auto unit = [&](std::size_t i) -> char32_t {
        return bigEndian ? char32_t((p[i] << 8) | p[i + 1]) : char32_t((p[i + 1] << 8) | p[i]);
    };
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        if (atStart && (p[i] == 0xFF && p[i + 1] == 0xFE)) {
            bigEndian = false;
            atStart = false;
            continue;
        }
        if (atStart && (p[i] == 0xFE && p[i + 1] == 0xFF)) {
            bigEndian = true;
            atStart = false;
            continue;
        }
        atStart = false;
        char32_t cp = unit(i);
        if (cp == 0) {
            out.push_back('\0');
            atStart = true;
            continue;
        }
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < size) {
            char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;
        AppendUtf8(out, cp);
    }
    return out;
}

// UTF-8 (valid) to UTF-16 units in the given byte order.
std::string Utf8ToUtf16(std::string_view text, bool bigEndian) {
    std::string out;
    auto put = [&](char32_t u) {
        char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    };
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (std::size_t k = 1; k < len && i + k < text.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

// Decoded Unicode text of one encoding, or nothing (then the bytes are taken as they are).
TagText UnicodeText(unsigned char encoding, const unsigned char* p, std::size_t size) {
    if (encoding == id3text::kUtf8) {
        std::string text(reinterpret_cast<const char*>(p), size);
        TrimPartialUtf8(text);  // a body cut short may end inside a character
        if (!IsValidUtf8(text)) return TagText(std::move(text), false);
        return TagText(std::move(text), true);
    }
    return TagText(Utf16ToUtf8(p, size, encoding == id3text::kUtf16BE), true);
}

// Where a string of this encoding that starts at `from` ends (at its terminator), and where
// the next one starts.
std::size_t StringEnd(unsigned char encoding, const unsigned char* p, std::size_t size,
                      std::size_t from, std::size_t* next) {
    const bool wide = encoding == id3text::kUtf16 || encoding == id3text::kUtf16BE;
    for (std::size_t i = from; wide ? i + 1 < size : i < size; i += wide ? 2 : 1) {
        if (p[i] == 0 && (!wide || p[i + 1] == 0)) {
            *next = i + (wide ? 2 : 1);
            return i;
        }
    }
    *next = size;
    return size;
}

bool FitsSingleByte(std::string_view utf8, std::string* bytes) {
    *bytes = Utf8ToWindows1252(utf8);
    return Windows1252ToUtf8(*bytes) == utf8;
}

// The bytes of one string in an encoding (a byte order mark in front for kUtf16).
std::string Encoded(unsigned char encoding, std::string_view utf8) {
    if (encoding == id3text::kUtf8) return std::string(utf8);
    if (encoding == id3text::kUtf16BE) return Utf8ToUtf16(utf8, true);
    return "\xFF\xFE" + Utf8ToUtf16(utf8, false);
}

}  // namespace

bool SameText(const TagText& a, const TagText& b) {
    if (a.unicode == b.unicode) return a.bytes == b.bytes;
    return ShownUtf8(a) == ShownUtf8(b);
}

std::string ShownUtf8(const TagText& text) {
    return text.unicode ? text.bytes : Windows1252ToUtf8(text.bytes);
}

TagText TypedText(std::string_view utf8) {
    std::string bytes;
    if (FitsSingleByte(utf8, &bytes)) return TagText(std::move(bytes), false);
    return TagText(std::string(utf8), true);
}

namespace id3text {

bool IsUnicode(unsigned char encoding) {
    return encoding == kUtf16 || encoding == kUtf16BE || encoding == kUtf8;
}

std::string TrimRight(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) --end;
    return std::string(text.substr(0, end));
}

std::string TrimBoth(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin])) ++begin;
    return TrimRight(text.substr(begin));
}

TagText FrameText(const unsigned char* body, std::size_t size) {
    if (size == 0 || !IsUnicode(body[0]))
        return TagText(TrimBoth(std::string_view(reinterpret_cast<const char*>(body), size)));
    TagText text = UnicodeText(body[0], body + 1, size - 1);
    text.bytes = TrimBoth(text.bytes);
    return text;
}

TagText CommentText(const unsigned char* body, std::size_t size) {
    if (size <= 4) return {};
    const unsigned char encoding = body[0];
    if (!IsUnicode(encoding))
        return TagText(
            TrimBoth(std::string_view(reinterpret_cast<const char*>(body) + 4, size - 4)));
    std::size_t textAt = 0;
    const std::size_t descriptionEnd = StringEnd(encoding, body, size, 4, &textAt);
    TagText description = UnicodeText(encoding, body + 4, descriptionEnd - 4);
    TagText text = UnicodeText(encoding, body + textAt, size - textAt);
    if (!description.unicode || !text.unicode) {  // not UTF-8 after all: the bytes as they are
        return TagText(
            TrimBoth(std::string_view(reinterpret_cast<const char*>(body) + 4, size - 4)));
    }
    std::string joined =
        description.bytes.empty() ? text.bytes : description.bytes + '\0' + text.bytes;
    return TagText(TrimBoth(joined), true);
}

std::string TextBody(const TagText& text, unsigned char unicodeEncoding) {
    std::string bytes;
    if (!text.unicode) return std::string(1, char(kSingleByte)) + text.bytes;
    if (FitsSingleByte(text.bytes, &bytes)) return std::string(1, char(kSingleByte)) + bytes;
    return std::string(1, char(unicodeEncoding)) + Encoded(unicodeEncoding, text.bytes);
}

std::string CommentBody(const TagText& comment, std::string_view language,
                        unsigned char unicodeEncoding) {
    std::string lang(language.substr(0, 3));
    lang.resize(3, ' ');
    // The short description is the part before the first zero byte.
    auto split = [](std::string_view all, std::string_view* text) {
        const std::size_t zero = all.find('\0');
        *text = zero == std::string_view::npos ? all : all.substr(zero + 1);
        return zero == std::string_view::npos ? std::string_view() : all.substr(0, zero);
    };
    std::string_view text;
    std::string single;
    if (!comment.unicode || FitsSingleByte(comment.bytes, &single)) {
        if (!comment.unicode) single = comment.bytes;
        const std::string_view description = split(single, &text);
        return std::string(1, char(kSingleByte)) + lang + std::string(description) + '\0' +
               std::string(text);
    }
    const std::string_view description = split(comment.bytes, &text);
    const std::string terminator(unicodeEncoding == kUtf8 ? 1 : 2, '\0');
    return std::string(1, char(unicodeEncoding)) + lang + Encoded(unicodeEncoding, description) +
           terminator + Encoded(unicodeEncoding, text);
}

}  // namespace id3text
}  // namespace tavrin
