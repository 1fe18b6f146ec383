#include "mp3/ID3v2.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "mp3/FileAccess.h"

namespace tavrin {

namespace {

constexpr std::size_t kSlotCount = TID3v2::kFrameIds.size();
enum Slot : std::size_t { kTitle, kArtist, kAlbum, kTrack, kYear, kGenre, kComment };

// The largest tag body the 4 x 7-bit size field can express.
constexpr std::uint64_t kMaxTagBody = (std::uint64_t{1} << 28) - 1;

// Header flags of version 2.3.
constexpr unsigned char kFlagUnsynchronised = 0x80;
constexpr unsigned char kFlagExtendedHeader = 0x40;

int SlotOf(const unsigned char* id) {
    for (std::size_t k = 0; k < kSlotCount; ++k)
        if (std::memcmp(id, TID3v2::kFrameIds[k], 4) == 0) return static_cast<int>(k);
    return -1;
}

std::uint32_t BigEndian32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
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

bool IsFrameStart(unsigned char c) {
    return c >= 'A' && c <= 'Z';
}

// The reading loop over the frames of a version 2.3 tag at file positions, the header flags
// not interpreted: stops at the tag's end, at an identifier that does not start with A-Z, or
// at the first read that fails. `onFrame(id, position, size, body)` gets each frame whose body
// (at most kFrameBuffer bytes, zero-filled) could be read.
template <typename OnFrame>
void WalkFrames(int fd, std::int64_t tagSize, OnFrame&& onFrame) {
    // The tag, and what a last frame's reads may take beyond it, is read in one piece of at
    // most 64 KiB; reads beyond that piece go to the file.
    constexpr std::int64_t kWindowAt = TID3v2::kHeaderSize;
    std::vector<unsigned char> window(static_cast<std::size_t>(
        std::clamp<std::int64_t>(tagSize + TID3v2::kFrameBuffer, 0, 1 << 16)));
    const std::int64_t windowRead =
        fileaccess::ReadUpToAt(fd, window.data(), window.size(), kWindowAt);
    const bool windowHasEnd = windowRead >= 0 && windowRead < std::int64_t(window.size());
    auto readAt = [&](void* out, std::size_t count, std::int64_t at) {
        const std::int64_t end = at + static_cast<std::int64_t>(count);
        if (windowRead >= 0 && at >= kWindowAt) {
            if (end <= kWindowAt + windowRead) {
                std::memcpy(out, window.data() + (at - kWindowAt), count);
                return true;
            }
            if (windowHasEnd) return false;  // the file ends inside the window
        }
        return fileaccess::ReadExactAt(fd, out, count, at);
    };

    std::int64_t position = TID3v2::kHeaderSize;
    unsigned char header[TID3v2::kHeaderSize];
    std::array<unsigned char, TID3v2::kFrameBuffer> body;
    while (position < tagSize) {
        if (!readAt(header, sizeof header, position)) break;
        if (!IsFrameStart(header[0])) break;
        const std::uint32_t size = BigEndian32(header + 4);
        const std::int64_t bodyAt = position + static_cast<std::int64_t>(sizeof header);
        body.fill(0);
        std::size_t count = std::min<std::uint32_t>(size, TID3v2::kFrameBuffer);
        if (!readAt(body.data(), count, bodyAt)) break;
        onFrame(header, position, size, body);
        position = bodyAt + size;
    }
}

// A track text: the part before the first "/" as a decimal number, 0 when it is not wholly a
// number (or does not fit in 32 bits); the low 8 bits are kept.
std::uint8_t TrackNumber(const std::string& text) {
    std::string number = TrimBoth(text);
    auto slash = number.find('/');
    if (slash != std::string::npos) number.erase(slash);
    std::size_t i = 0;
    bool negative = false;
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) negative = number[i++] == '-';
    if (i == number.size()) return 0;
    std::int64_t value = 0;
    for (; i < number.size(); ++i) {
        if (number[i] < '0' || number[i] > '9') return 0;
        value = value * 10 + (number[i] - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return 0;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) return 0;
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFF);
}

// The bytes of a tag body [begin, end) read front to back; with `unsynchronised`, a zero byte
// that follows 0xFF is dropped (the tag's unsynchronisation undone).
class TagStream {
  public:
    TagStream(int fd, std::int64_t begin, std::int64_t end, bool unsynchronised)
        : fd_(fd), next_(begin), end_(end), unsynchronised_(unsynchronised), buffer_(1 << 16) {}

    // Reads up to `count` bytes; fewer at the end of the tag.
    std::size_t Read(unsigned char* out, std::size_t count) {
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

    // Passes over `count` bytes; false when the tag ends first.
    bool Skip(std::uint64_t count) {
        unsigned char scratch[4096];
        while (count > 0) {
            std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof scratch));
            if (Read(scratch, n) != n) return false;
            count -= n;
        }
        return true;
    }

    std::uint64_t Position() const { return position_; }
    bool Failed() const { return failed_; }

  private:
    bool Fill() {
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

    int fd_;
    std::int64_t next_;
    std::int64_t end_;
    bool unsynchronised_;
    std::vector<unsigned char> buffer_;
    std::size_t at_ = 0;
    std::size_t length_ = 0;
    std::uint64_t position_ = 0;
    bool afterFF_ = false;
    bool failed_ = false;
};

// One part of a new tag body: a frame taken unchanged from the old tag (its place in the old
// tag's byte stream) or the bytes of a new frame.
struct Piece {
    bool fromOldTag = false;
    std::uint64_t start = 0;
    std::uint64_t length = 0;
    std::string bytes;
};

std::string NewFrame(const char* id, const std::string& text) {
    std::string frame(id, 4);
    const std::uint64_t size = text.size() + 1;
    for (int shift = 24; shift >= 0; shift -= 8)
        frame.push_back(static_cast<char>((size >> shift) & 0xFF));
    frame.append(3, '\0');  // two flag bytes, encoding byte 0
    frame += text;
    return frame;
}

class BufferedWriter {
  public:
    explicit BufferedWriter(int fd) : fd_(fd) { buffer_.reserve(1 << 16); }
    bool Write(const void* data, std::size_t count) {
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
    bool Flush() {
        if (buffer_.empty()) return true;
        if (!fileaccess::WriteAllAt(fd_, buffer_.data(), buffer_.size(), written_)) return false;
        written_ += static_cast<std::int64_t>(buffer_.size());
        buffer_.clear();
        return true;
    }
    // Bytes written so far, buffered ones included.
    std::int64_t Offset() const { return written_ + static_cast<std::int64_t>(buffer_.size()); }

  private:
    int fd_;
    std::vector<unsigned char> buffer_;
    std::int64_t written_ = 0;
};

// For each of the seven frames: whether its field was changed since the tag was read, and the
// text of the frame that the field now gives (empty for none).
struct SlotPlan {
    bool changed = true;
    std::string text;
};
using SlotPlans = std::array<SlotPlan, kSlotCount>;

// A frame of an old version 2.3 tag: which of the seven it is (-1 for another frame) and where
// it lies in the tag's byte stream.
struct OldFrame {
    int slot;
    std::uint64_t start;
    std::uint64_t length;
};

// Per slot, the index of the frame its field was read from; -1 for none.
using SourceFrames = std::array<int, kSlotCount>;

// Lists the frames that lie wholly inside the tag, up to the first that does not or to the
// padding; false on a read error.
bool ListOldFrames(TagStream& stream, bool extendedHeader, std::vector<OldFrame>& frames) {
    bool ok = true;
    if (extendedHeader) {
        unsigned char size[4];
        ok = stream.Read(size, 4) == 4 && stream.Skip(BigEndian32(size));
    }
    while (ok) {
        const std::uint64_t start = stream.Position();
        unsigned char header[TID3v2::kHeaderSize];
        if (stream.Read(header, sizeof header) != sizeof header) break;
        if (!IsFrameStart(header[0])) break;
        const std::uint32_t size = BigEndian32(header + 4);
        if (!stream.Skip(size)) break;  // cut off by the tag's end: not kept
        frames.push_back({SlotOf(header), start, TID3v2::kHeaderSize + std::uint64_t{size}});
    }
    return !stream.Failed();
}

// The frame each field was read from: the last of its identifier that the reading loop met.
// With a plain layout (no extended header, no unsynchronisation) the reading loop saw exactly
// these frames, and a field read from a frame that does not lie wholly inside the tag has
// none; otherwise the last frame of each identifier counts.
SourceFrames FindSourceFrames(int fd, std::int64_t tagSize, bool plainLayout,
                              const std::vector<OldFrame>& frames) {
    SourceFrames sources;
    sources.fill(-1);
    if (!plainLayout) {
        for (std::size_t i = 0; i < frames.size(); ++i)
            if (frames[i].slot >= 0) sources[frames[i].slot] = static_cast<int>(i);
        return sources;
    }
    std::array<std::int64_t, kSlotCount> readAt;
    readAt.fill(-1);
    WalkFrames(fd, tagSize,
               [&](const unsigned char* id, std::int64_t at, std::uint32_t size,
                   const std::array<unsigned char, TID3v2::kFrameBuffer>&) {
                   const int slot = SlotOf(id);
                   const bool whole =
                       at + static_cast<std::int64_t>(TID3v2::kHeaderSize) + size <= tagSize;
                   if (slot >= 0) readAt[slot] = whole ? at : -1;
               });
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int slot = frames[i].slot;
        const auto at = static_cast<std::int64_t>(frames[i].start + TID3v2::kHeaderSize);
        if (slot >= 0 && readAt[slot] == at) sources[slot] = static_cast<int>(i);
    }
    return sources;
}

// The body of a new tag that keeps an old version 2.3 tag's frames in their order: a frame a
// field was read from is rewritten in its place when the field changed (and dropped when the
// field is now empty); a field without such a frame gets a new one after the others.
std::vector<Piece> PlanKeptTag(const std::vector<OldFrame>& frames, const SourceFrames& sources,
                               const SlotPlans& plans) {
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int slot = frames[i].slot;
        if (slot >= 0 && sources[slot] == static_cast<int>(i) && plans[slot].changed) {
            if (!plans[slot].text.empty())
                pieces.push_back(
                    {false, 0, 0, NewFrame(TID3v2::kFrameIds[slot], plans[slot].text)});
        } else {
            pieces.push_back({true, frames[i].start, frames[i].length, {}});
        }
    }
    for (std::size_t k = 0; k < kSlotCount; ++k)
        if (sources[k] < 0 && !plans[k].text.empty())
            pieces.push_back({false, 0, 0, NewFrame(TID3v2::kFrameIds[k], plans[k].text)});
    return pieces;
}

// The body of a fresh tag: the non-empty frames in the order of the seven.
std::vector<Piece> PlanFreshTag(const SlotPlans& plans) {
    std::vector<Piece> pieces;
    for (std::size_t k = 0; k < kSlotCount; ++k)
        if (!plans[k].text.empty())
            pieces.push_back({false, 0, 0, NewFrame(TID3v2::kFrameIds[k], plans[k].text)});
    return pieces;
}

bool WritePieces(const std::vector<Piece>& pieces, TagStream& oldTag, BufferedWriter& out) {
    std::vector<unsigned char> chunk(1 << 16);
    for (const Piece& piece : pieces) {
        if (!piece.fromOldTag) {
            if (!out.Write(piece.bytes.data(), piece.bytes.size())) return false;
            continue;
        }
        if (!oldTag.Skip(piece.start - oldTag.Position())) return false;
        for (std::uint64_t left = piece.length; left > 0;) {
            std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
            if (oldTag.Read(chunk.data(), n) != n || !out.Write(chunk.data(), n)) return false;
            left -= n;
        }
    }
    return true;
}

}  // namespace

std::int32_t TID3v2::TagSizeOf(const unsigned char* header, std::int64_t fileSize) {
    std::int64_t size = (std::int64_t{header[6]} << 21) + (std::int64_t{header[7]} << 14) +
                        (std::int64_t{header[8]} << 7) + header[9] + 10;
    return size > fileSize ? 0 : static_cast<std::int32_t>(size);
}

void TID3v2::Clear() {
    present_ = false;
    majorVersion_ = 0;
    tagSize_ = 0;
    fields_ = Fields{};
    loaded_ = Fields{};
}

bool TID3v2::Load(const std::string& fileName) {
    Clear();
    std::int64_t fileSize = 0;
    fileaccess::FileHandle file = fileaccess::OpenForReading(fileName, &fileSize);
    return file.IsOpen() && LoadFrom(file.Get(), fileSize);
}

bool TID3v2::LoadFrom(int fd, std::int64_t fileSize) {
    Clear();
    unsigned char header[kHeaderSize];
    if (!fileaccess::ReadExactAt(fd, header, sizeof header, 0)) return false;
    if (std::memcmp(header, "ID3", 3) != 0) return true;
    present_ = true;
    majorVersion_ = header[3];
    tagSize_ = TagSizeOf(header, fileSize);
    if (majorVersion_ != 3 || tagSize_ == 0) return true;

    // A later frame with the same identifier replaces an earlier one.
    std::array<std::string, kSlotCount> slots;
    WalkFrames(fd, tagSize_,
               [&](const unsigned char* id, std::int64_t, std::uint32_t,
                   const std::array<unsigned char, kFrameBuffer>& body) {
                   int slot = SlotOf(id);
                   if (slot >= 0)
                       slots[slot].assign(reinterpret_cast<const char*>(body.data()), body.size());
               });

    fields_.title = TrimBoth(slots[kTitle]);
    fields_.artist = TrimBoth(slots[kArtist]);
    fields_.album = TrimBoth(slots[kAlbum]);
    fields_.year = TrimBoth(slots[kYear]);
    fields_.track = TrackNumber(slots[kTrack]);
    fields_.genre = TrimBoth(slots[kGenre]);
    auto paren = fields_.genre.rfind(')');
    if (paren != std::string::npos) fields_.genre.erase(0, paren + 1);
    // Past the encoding byte and the language; an empty short description's terminator goes
    // with the trimming, a non-empty one stays in front of the text.
    if (slots[kComment].size() > 4) fields_.comment = TrimBoth(slots[kComment].substr(4));
    loaded_ = fields_;
    return true;
}

void TID3v2::SetTitle(std::string_view text) {
    fields_.title = TrimRight(text);
}
void TID3v2::SetArtist(std::string_view text) {
    fields_.artist = TrimRight(text);
}
void TID3v2::SetAlbum(std::string_view text) {
    fields_.album = TrimRight(text);
}
void TID3v2::SetYear(std::string_view text) {
    fields_.year = TrimRight(text);
}
void TID3v2::SetGenre(std::string_view text) {
    fields_.genre = TrimRight(text);
}
void TID3v2::SetComment(std::string_view text) {
    fields_.comment = TrimRight(text);
}

std::string TID3v2::NewFrameText(std::size_t k) const {
    switch (k) {
        case kTitle:
            return fields_.title;
        case kArtist:
            return fields_.artist;
        case kAlbum:
            return fields_.album;
        case kTrack:
            return fields_.track > 0 ? std::to_string(fields_.track) : std::string();
        case kYear:
            return fields_.year;
        case kGenre:
            return fields_.genre;
        case kComment:
            return fields_.comment.empty() ? std::string()
                                           : std::string("eng\0", 4) + fields_.comment;
    }
    return {};
}

bool TID3v2::Changed(std::size_t k) const {
    switch (k) {
        case kTitle:
            return fields_.title != loaded_.title;
        case kArtist:
            return fields_.artist != loaded_.artist;
        case kAlbum:
            return fields_.album != loaded_.album;
        case kTrack:
            return fields_.track != loaded_.track;
        case kYear:
            return fields_.year != loaded_.year;
        case kGenre:
            return fields_.genre != loaded_.genre;
        case kComment:
            return fields_.comment != loaded_.comment;
    }
    return true;
}

bool TID3v2::Save(const std::string& fileName) {
    const std::string path = fileaccess::ResolveForRewrite(fileName);
    if (path.empty() || !fileaccess::SetAttributesNormal(path)) return false;
    std::int64_t fileSize = 0;
    fileaccess::FileHandle source = fileaccess::OpenForReading(path, &fileSize);
    if (!source.IsOpen()) return false;
    unsigned char header[kHeaderSize];
    if (!fileaccess::ReadExactAt(source.Get(), header, sizeof header, 0)) return false;
    struct stat st {};
    if (::fstat(source.Get(), &st) != 0) return false;

    // Where the audio starts: after the old tag, unless its stored size exceeds the file.
    std::int64_t audioAt = 0;
    bool keepFrames = false;
    if (std::memcmp(header, "ID3", 3) == 0) {
        audioAt = TagSizeOf(header, fileSize);
        keepFrames = header[3] == 3 && audioAt > 0;
    }
    const bool unsynchronised = keepFrames && (header[5] & kFlagUnsynchronised);
    const bool extended = keepFrames && (header[5] & kFlagExtendedHeader);

    SlotPlans plans;
    for (std::size_t k = 0; k < kSlotCount; ++k) plans[k] = {Changed(k), NewFrameText(k)};
    std::vector<Piece> pieces;
    if (keepFrames) {
        std::vector<OldFrame> frames;
        TagStream stream(source.Get(), kHeaderSize, audioAt, unsynchronised);
        if (!ListOldFrames(stream, extended, frames)) return false;
        const SourceFrames sources =
            FindSourceFrames(source.Get(), audioAt, !unsynchronised && !extended, frames);
        pieces = PlanKeptTag(frames, sources, plans);
    } else {
        pieces = PlanFreshTag(plans);
    }
    std::uint64_t bodySize = 0;
    for (const Piece& piece : pieces)
        bodySize += piece.fromOldTag ? piece.length : piece.bytes.size();
    if (bodySize > kMaxTagBody) return false;

    // The new file is written completely beside the old one and then takes its place.
    fileaccess::ReplacementFile temp(path);
    if (!temp.Create(st.st_mode | S_IWUSR)) return false;
    BufferedWriter out(temp.Fd());
    unsigned char newHeader[kHeaderSize] = {'I', 'D', '3', 3, 0, 0};
    for (int i = 0; i < 4; ++i)
        newHeader[6 + i] = static_cast<unsigned char>((bodySize >> (7 * (3 - i))) & 0x7F);
    if (!out.Write(newHeader, sizeof newHeader)) return false;
    TagStream oldTag(source.Get(), kHeaderSize, audioAt, unsynchronised);
    if (!WritePieces(pieces, oldTag, out) || !out.Flush()) return false;
    if (fileaccess::CopyToEnd(source.Get(), audioAt, temp.Fd(), out.Offset()) < 0) return false;
    source.Close();
    if (!temp.Commit()) return false;
    // The file now holds the fields: later changes are measured against them.
    loaded_ = fields_;
    return true;
}

}  // namespace tavrin
