// Builders for MP3 test files, byte by byte: MPEG audio frame headers and frames, ID3v1 tails
// and ID3v2 tags.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin::test {

// One MPEG audio frame header; the defaults are MPEG 1 Layer III, 128 kbit/s, 44100 Hz,
// joint stereo, no CRC.
struct Header {
    int version = 3;  // 0 MPEG 2.5, 1 reserved, 2 MPEG 2, 3 MPEG 1
    int layer = 1;    // 1 Layer III, 2 Layer II, 3 Layer I
    int bitRateIndex = 9;
    int sampleRateIndex = 0;
    bool padded = false;
    bool crc = false;
    int mode = 1;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool copyrighted = false;
    bool original = false;
    int emphasis = 0;

    std::string Bytes() const {
        std::string b(4, '\0');
        b[0] = static_cast<char>(0xFF);
        b[1] = static_cast<char>(0xE0 | (version << 3) | (layer << 1) | (crc ? 0 : 1));
        b[2] = static_cast<char>((bitRateIndex << 4) | (sampleRateIndex << 2) | (padded << 1));
        b[3] = static_cast<char>((mode << 6) | (copyrighted << 3) | (original << 2) | emphasis);
        return b;
    }
};

// A frame of `length` bytes: the header, then filler bytes that never form a header or a
// signature (so the 6 bytes after the header are not zero).
inline std::string Frame(const Header& h, std::size_t length) {
    std::string f = h.Bytes();
    f.resize(length, '\x55');
    return f;
}

// `count` frames of `length` bytes each.
inline std::string Frames(const Header& h, std::size_t length, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += Frame(h, length);
    return s;
}

// Writes `text` into `bytes` at `at`.
inline void Put(std::string& bytes, std::size_t at, const std::string& text) {
    bytes.replace(at, text.size(), text);
}

inline std::string BigEndian(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

// The 10-byte ID3v2 header with a body of `size` bytes.
inline std::string Id3v2Header(int major, std::uint32_t size, int flags = 0) {
    std::string h = "ID3";
    h += static_cast<char>(major);
    h += '\0';
    h += static_cast<char>(flags);
    for (int shift = 21; shift >= 0; shift -= 7) h += static_cast<char>((size >> shift) & 0x7F);
    return h;
}

// An ID3v2.3 frame with the given body.
inline std::string Id3v2Frame(const std::string& id, const std::string& body) {
    return id + BigEndian(static_cast<std::uint32_t>(body.size())) + std::string(2, '\0') + body;
}

// A text frame as a version 2.3 tag carries it: encoding byte 0, then the text.
inline std::string TextFrame(const std::string& id, const std::string& text) {
    return Id3v2Frame(id, std::string(1, '\0') + text);
}

// A whole version 2.3 tag around the given frames, followed by `padding` zero bytes.
inline std::string Id3v2Tag(const std::string& frames, std::size_t padding = 0) {
    return Id3v2Header(3, static_cast<std::uint32_t>(frames.size() + padding)) + frames +
           std::string(padding, '\0');
}

inline std::string Synchsafe(std::uint32_t v) {
    return {static_cast<char>((v >> 21) & 0x7F), static_cast<char>((v >> 14) & 0x7F),
            static_cast<char>((v >> 7) & 0x7F), static_cast<char>(v & 0x7F)};
}

// An ID3v2.4 frame: the size in 7-bit groups, the two flag bytes as given.
inline std::string Id3v24Frame(const std::string& id, const std::string& body, int status = 0,
                               int format = 0) {
    return id + Synchsafe(static_cast<std::uint32_t>(body.size())) + static_cast<char>(status) +
           static_cast<char>(format) + body;
}

// An ID3v2.2 frame: three-letter identifier, three-byte size.
inline std::string Id3v22Frame(const std::string& id, const std::string& body) {
    return id + BigEndian(static_cast<std::uint32_t>(body.size())).substr(1) + body;
}

// A whole tag of that version around the given frames.
inline std::string Id3v2TagOf(int major, const std::string& frames, std::size_t padding = 0,
                              int flags = 0) {
    return Id3v2Header(major, static_cast<std::uint32_t>(frames.size() + padding), flags) + frames +
           std::string(padding, '\0');
}

// ASCII text as UTF-16: little-endian with a byte order mark, or big-endian without.
inline std::string Utf16(const std::string& ascii, bool bigEndian = false) {
    std::string out = bigEndian ? "" : "\xFF\xFE";
    for (char c : ascii) {
        out += bigEndian ? '\0' : c;
        out += bigEndian ? c : '\0';
    }
    return out;
}

// An ID3v1 tail: "TAG", then the given 125 bytes padded with zeros.
inline std::string Id3v1Tail(const std::string& title, const std::string& artist,
                             const std::string& album, const std::string& year,
                             const std::string& comment, int genre) {
    std::string t(128, '\0');
    Put(t, 0, "TAG");
    Put(t, 3, title.substr(0, 30));
    Put(t, 33, artist.substr(0, 30));
    Put(t, 63, album.substr(0, 30));
    Put(t, 93, year.substr(0, 4));
    Put(t, 97, comment.substr(0, 30));
    t[127] = static_cast<char>(genre);
    return t;
}

}  // namespace tavrin::test
