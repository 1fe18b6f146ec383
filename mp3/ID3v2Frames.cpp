#include "mp3/ID3v2Frames.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "mp3/FileAccess.h"

namespace tavrin::id3frames {

namespace {

// Version 2.4 frame format flags (the second flag byte).
constexpr unsigned char kFormatGroup = 0x40;
constexpr unsigned char kFormatCompressed = 0x08;
constexpr unsigned char kFormatEncrypted = 0x04;
constexpr unsigned char kFormatUnsynchronised = 0x02;
constexpr unsigned char kFormatDataLength = 0x01;

// A compressed frame is inflated only up to this size of its stored body.
constexpr std::uint32_t kMaxCompressedHead = 1 << 20;

bool IsIdCharacter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Undoes unsynchronisation: a zero byte after 0xFF goes.
std::string Resynchronised(std::string_view data) {
    std::string out;
    out.reserve(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        out.push_back(data[i]);
        if (static_cast<unsigned char>(data[i]) == 0xFF && i + 1 < data.size() && data[i + 1] == 0)
            ++i;
    }
    return out;
}

// Unsynchronises: a zero byte goes after each 0xFF that a byte of 0xE0 or more, a zero byte
// or the end follows.
std::string Unsynchronised(std::string_view data) {
    std::string out;
    out.reserve(data.size() + data.size() / 64);
    for (std::size_t i = 0; i < data.size(); ++i) {
        out.push_back(data[i]);
        if (static_cast<unsigned char>(data[i]) != 0xFF) continue;
        if (i + 1 == data.size() || static_cast<unsigned char>(data[i + 1]) >= 0xE0 ||
            data[i + 1] == 0)
            out.push_back('\0');
    }
    return out;
}

// The first kFrameBuffer bytes of a zlib stream; false when it cannot be inflated.
bool InflateHead(std::string_view data, std::string* head) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    unsigned char out[kFrameBuffer];
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out;
    z.avail_out = sizeof out;
    int result = inflate(&z, Z_SYNC_FLUSH);
    const std::size_t produced = sizeof out - z.avail_out;
    inflateEnd(&z);
    if (result != Z_OK && result != Z_STREAM_END && !(result == Z_BUF_ERROR && produced > 0))
        return false;
    head->assign(reinterpret_cast<const char*>(out), produced);
    return true;
}

// The body of a version 2.4 frame as a reader sees it, from its stored bytes (all of them, or
// the first ones when `whole` is false).
bool DecodeVersion24Body(unsigned char format, bool unsynchronisedTag, std::string_view stored,
                         bool whole, std::string* head) {
    if (format & kFormatEncrypted) return false;
    std::size_t skip = 0;
    if (format & kFormatGroup) ++skip;
    if (format & kFormatDataLength) skip += 4;
    if (stored.size() < skip) return false;
    std::string data(stored.substr(skip));
    if ((format & kFormatUnsynchronised) || unsynchronisedTag) data = Resynchronised(data);
    if (format & kFormatCompressed) {
        if (!whole) return false;
        return InflateHead(data, head);
    }
    data.resize(std::min(data.size(), kFrameBuffer));
    *head = std::move(data);
    return true;
}

// Version 2.2 identifiers and their version 2.3 counterparts.
constexpr std::pair<const char*, const char*> kVersion22Ids[] = {
    {"BUF", "RBUF"},
    {"CNT", "PCNT"},
    {"COM", "COMM"},
    {"CRA", "AENC"},
    {"ETC", "ETCO"},
    {"EQU", "EQUA"},
    {"GEO", "GEOB"},
    {"IPL", "IPLS"},
    {"LNK", "LINK"},
    {"MCI", "MCDI"},
    {"MLL", "MLLT"},
    {"PIC", "APIC"},
    {"POP", "POPM"},
    {"REV", "RVRB"},
    {"RVA", "RVAD"},
    {"SLT", "SYLT"},
    {"STC", "SYTC"},
    {"TAL", "TALB"},
    {"TBP", "TBPM"},
    {"TCM", "TCOM"},
    {"TCO", "TCON"},
    {"TCR", "TCOP"},
    {"TDA", "TDAT"},
    {"TDY", "TDLY"},
    {"TEN", "TENC"},
    {"TFT", "TFLT"},
    {"TIM", "TIME"},
    {"TKE", "TKEY"},
    {"TLA", "TLAN"},
    {"TLE", "TLEN"},
    {"TMT", "TMED"},
    {"TOA", "TOPE"},
    {"TOF", "TOFN"},
    {"TOL", "TOLY"},
    {"TOR", "TORY"},
    {"TOT", "TOAL"},
    {"TP1", "TPE1"},
    {"TP2", "TPE2"},
    {"TP3", "TPE3"},
    {"TP4", "TPE4"},
    {"TPA", "TPOS"},
    {"TPB", "TPUB"},
    {"TRC", "TSRC"},
    {"TRD", "TRDA"},
    {"TRK", "TRCK"},
    {"TSI", "TSIZ"},
    {"TSS", "TSSE"},
    {"TT1", "TIT1"},
    {"TT2", "TIT2"},
    {"TT3", "TIT3"},
    {"TXT", "TEXT"},
    {"TXX", "TXXX"},
    {"TYE", "TYER"},
    {"UFI", "UFID"},
    {"ULT", "USLT"},
    {"WAF", "WOAF"},
    {"WAR", "WOAR"},
    {"WAS", "WOAS"},
    {"WCM", "WCOM"},
    {"WCP", "WCOP"},
    {"WPB", "WPUB"},
    {"WXX", "WXXX"},
    // Written by iTunes in version 2.2 tags; version 2.3 readers know them by these names.
    {"TCP", "TCMP"},
    {"TST", "TSOT"},
    {"TSP", "TSOP"},
    {"TSA", "TSOA"},
    {"TS2", "TSO2"},
    {"TSC", "TSOC"},
    {"TDS", "TDES"},
    {"TID", "TGID"},
    {"TCT", "TCAT"},
    {"TKW", "TKWD"},
    {"PCS", "PCST"},
    {"WFD", "WFED"},
    {"GP1", "GRP1"},
    {"MVN", "MVNM"},
    {"MVI", "MVIN"},
};

std::string Version23Header(std::string_view id, std::uint64_t bodySize) {
    std::string header(id);
    PutBigEndian32(header, bodySize);
    header.append(2, '\0');
    return header;
}

// The MIME type of a version 2.2 picture's image format.
std::string MimeOfImageFormat(std::string_view format) {
    if (format == "JPG") return "image/jpeg";
    if (format == "PNG") return "image/png";
    if (format == "-->") return "-->";  // a link to the picture
    std::string mime = "image/";
    for (char c : format)
        if (c != '\0' && c != ' ') mime.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
    return mime;
}

}  // namespace

std::uint32_t BigEndian32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

std::uint32_t Synchsafe32(const unsigned char* p) {
    return (std::uint32_t{p[0] & 0x7Fu} << 21) | (std::uint32_t{p[1] & 0x7Fu} << 14) |
           (std::uint32_t{p[2] & 0x7Fu} << 7) | std::uint32_t{p[3] & 0x7Fu};
}

void PutBigEndian32(std::string& out, std::uint64_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void PutSynchsafe32(std::string& out, std::uint64_t value) {
    for (int shift = 21; shift >= 0; shift -= 7)
        out.push_back(static_cast<char>((value >> shift) & 0x7F));
}

bool IsFrameStart(unsigned char c) {
    return c >= 'A' && c <= 'Z';
}

// --- TagStream -------------------------------------------------------------------------------

TagStream::TagStream(int fd, std::int64_t begin, std::int64_t end, bool unsynchronised)
    : fd_(fd), next_(begin), end_(end), unsynchronised_(unsynchronised), buffer_(1 << 16) {}

std::size_t TagStream::Read(unsigned char* out, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        if (at_ == length_ && !Fill()) break;
        if (!unsynchronised_) {
            std::size_t n = std::min(count - done, length_ - at_);
            std::memcpy(out + done, buffer_.data() + at_, n);
            at_ += n;
            done += n;
            continue;
        }
        unsigned char c = buffer_[at_++];
        if (afterFF_ && c == 0) {
            afterFF_ = false;
            continue;
        }
        afterFF_ = c == 0xFF;
        out[done++] = c;
    }
    position_ += done;
    return done;
}

bool TagStream::Skip(std::uint64_t count) {
    if (!unsynchronised_) {
        // Stored bytes: what is not buffered is passed over without reading it.
        const std::size_t buffered =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, length_ - at_));
        at_ += buffered;
        position_ += buffered;
        count -= buffered;
        if (count == 0) return true;
        const auto left = static_cast<std::uint64_t>(std::max<std::int64_t>(end_ - next_, 0));
        const std::uint64_t passed = std::min(count, left);
        next_ += static_cast<std::int64_t>(passed);
        position_ += passed;
        return passed == count;
    }
    unsigned char scratch[4096];
    while (count > 0) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof scratch));
        if (Read(scratch, n) != n) return false;
        count -= n;
    }
    return true;
}

bool TagStream::Fill() {
    at_ = length_ = 0;
    if (failed_ || next_ >= end_) return false;
    std::size_t want =
        static_cast<std::size_t>(std::min<std::int64_t>(end_ - next_, buffer_.size()));
    std::int64_t n = fileaccess::ReadUpToAt(fd_, buffer_.data(), want, next_);
    if (n < 0) failed_ = true;
    if (n <= 0) return false;
    length_ = static_cast<std::size_t>(n);
    next_ += n;
    return true;
}

// --- Frame lists -----------------------------------------------------------------------------

FrameList ListFrames(int fd, std::int64_t tagEnd, const Layout& layout,
                     const std::function<bool(std::string_view id)>& wantHead) {
    FrameList list;
    const bool v22 = layout.major == 2;
    const bool v24 = layout.major == 4;
    // Version 2.4 unsynchronises frame by frame: its stream is read as stored.
    TagStream stream(fd, kHeaderSize, tagEnd, layout.unsynchronised && !v24);
    auto finish = [&](bool clean) {
        list.clean = clean;
        list.failed = stream.Failed();
        return list;
    };
    if (layout.extendedHeader && !v22) {
        // Its size: without these four bytes in 2.3, with them (and in 7-bit groups) in 2.4.
        unsigned char size[4];
        if (stream.Read(size, 4) != 4) return finish(false);
        const std::uint32_t n = v24 ? Synchsafe32(size) : BigEndian32(size);
        if (!stream.Skip(v24 ? (n >= 4 ? n - 4 : 0) : n)) return finish(false);
    }
    const std::size_t headerSize = v22 ? 6 : kHeaderSize;
    for (;;) {
        const std::uint64_t start = stream.Position();
        unsigned char header[kHeaderSize];
        const std::size_t got = stream.Read(header, headerSize);
        if (got == 0) return finish(true);
        if (!IsFrameStart(header[0])) return finish(header[0] == 0);
        if (got != headerSize) return finish(false);
        std::uint32_t size;
        if (v22) {
            size = (std::uint32_t{header[3]} << 16) | (std::uint32_t{header[4]} << 8) | header[5];
        } else if (v24 && layout.synchsafeSizes) {
            if ((header[4] | header[5] | header[6] | header[7]) & 0x80) return finish(false);
            size = Synchsafe32(header + 4);
        } else {
            size = BigEndian32(header + 4);
        }
        OldFrame frame;
        frame.id.assign(reinterpret_cast<const char*>(header), v22 ? 3 : 4);
        if (v24 && !std::all_of(frame.id.begin(), frame.id.end(), [](char c) {
                return IsIdCharacter(static_cast<unsigned char>(c));
            }))
            return finish(false);
        frame.start = start;
        frame.length = headerSize + std::uint64_t{size};
        std::uint64_t left = size;
        if (wantHead && wantHead(frame.id)) {
            // 2.4 bodies may carry extra bytes and unsynchronisation: enough of the stored body
            // for kFrameBuffer bytes of the real one, or all of a compressed one.
            const unsigned char format = v24 ? header[9] : 0;
            std::size_t want = std::min<std::uint64_t>(size, kFrameBuffer);
            const bool compressed = (format & kFormatCompressed) && size <= kMaxCompressedHead;
            if (v24) want = compressed ? size : std::min<std::uint64_t>(size, 2 * kFrameBuffer + 6);
            std::string stored(want, '\0');
            if (stream.Read(reinterpret_cast<unsigned char*>(stored.data()), want) != want)
                return finish(false);  // cut off by the tag's end: not kept
            left -= want;
            if (v24) {
                frame.headRead = DecodeVersion24Body(format, layout.unsynchronised, stored,
                                                     want == size, &frame.head);
            } else {
                frame.head = std::move(stored);
                frame.headRead = true;
            }
        }
        if (!stream.Skip(left)) return finish(false);  // cut off by the tag's end: not kept
        list.frames.push_back(std::move(frame));
    }
}

// --- New frames and pieces -------------------------------------------------------------------

std::string NewFrame(std::string_view id, const std::string& body, int major,
                     bool unsynchronisedTag) {
    std::string frame(id);
    if (major != 4) {
        PutBigEndian32(frame, body.size());
        frame.append(2, '\0');
        return frame + body;
    }
    const std::string stored = unsynchronisedTag ? Unsynchronised(body) : body;
    PutSynchsafe32(frame, stored.size());
    frame.push_back('\0');
    frame.push_back(unsynchronisedTag ? char(kFormatUnsynchronised) : '\0');
    return frame + stored;
}

std::string Version23Id(std::string_view id22) {
    for (const auto& [from, to] : kVersion22Ids)
        if (id22 == from) return to;
    return {};
}

bool ConvertToVersion23(const OldFrame& frame, std::vector<Piece>& pieces) {
    const std::string id = Version23Id(frame.id);
    if (id.empty() || frame.length < 6) return false;
    const std::uint64_t bodyAt = frame.start + 6;
    const std::uint64_t bodySize = frame.length - 6;
    if (frame.id == "PIC" && bodySize >= 4 && frame.headRead) {
        // Encoding, image format (3 characters), then picture type, description and data; the
        // version 2.3 frame names a MIME type instead of the format.
        const std::string mime = MimeOfImageFormat(std::string_view(frame.head).substr(1, 3));
        pieces.push_back({false, 0, 0, Version23Header(id, bodySize - 3 + mime.size() + 1)});
        pieces.push_back({true, bodyAt, 1, {}});
        pieces.push_back({false, 0, 0, mime + '\0'});
        pieces.push_back({true, bodyAt + 4, bodySize - 4, {}});
        return true;
    }
    if (frame.id == "LNK") {
        // The linked frame's identifier comes first, in three characters.
        if (bodySize < 3 || !frame.headRead) return false;
        const std::string linked = Version23Id(std::string_view(frame.head).substr(0, 3));
        if (linked.empty()) return false;
        pieces.push_back({false, 0, 0, Version23Header(id, bodySize + 1) + linked});
        pieces.push_back({true, bodyAt + 3, bodySize - 3, {}});
        return true;
    }
    if (frame.id == "PIC") return false;  // too short to hold its image format
    pieces.push_back({false, 0, 0, Version23Header(id, bodySize)});
    pieces.push_back({true, bodyAt, bodySize, {}});
    return true;
}

BufferedWriter::BufferedWriter(int fd) : fd_(fd) {
    buffer_.reserve(1 << 16);
}

bool BufferedWriter::Write(const void* data, std::size_t count) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (buffer_.size() + count > buffer_.capacity() && !Flush()) return false;
    if (count >= buffer_.capacity()) {
        if (!fileaccess::WriteAllAt(fd_, bytes, count, written_)) return false;
        written_ += static_cast<std::int64_t>(count);
        return true;
    }
    buffer_.insert(buffer_.end(), bytes, bytes + count);
    return true;
}

bool BufferedWriter::Flush() {
    if (buffer_.empty()) return true;
    if (!fileaccess::WriteAllAt(fd_, buffer_.data(), buffer_.size(), written_)) return false;
    written_ += static_cast<std::int64_t>(buffer_.size());
    buffer_.clear();
    return true;
}

bool WritePieces(const std::vector<Piece>& pieces, TagStream& oldTag, BufferedWriter& out) {
    std::vector<unsigned char> chunk(1 << 16);
    for (const Piece& piece : pieces) {
        if (!piece.fromOldTag) {
            if (!out.Write(piece.bytes.data(), piece.bytes.size())) return false;
            continue;
        }
        if (piece.start < oldTag.Position() || !oldTag.Skip(piece.start - oldTag.Position()))
            return false;
        for (std::uint64_t left = piece.length; left > 0;) {
            std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
            if (oldTag.Read(chunk.data(), n) != n || !out.Write(chunk.data(), n)) return false;
            left -= n;
        }
    }
    return true;
}

}  // namespace tavrin::id3frames
