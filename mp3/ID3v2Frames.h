// The frames of an ID3v2 tag as they lie on disk, for versions 2.2, 2.3 and 2.4: reading the
// tag's byte stream, listing its frames, turning version 2.2 frames into version 2.3 ones,
// making new frames, and writing a new tag body from kept and new pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::id3frames {

// Frame bodies are read through one buffer of this size.
inline constexpr std::size_t kFrameBuffer = 250;
inline constexpr std::size_t kHeaderSize = 10;
// The largest tag body the 4 x 7-bit size field can express.
inline constexpr std::uint64_t kMaxTagBody = (std::uint64_t{1} << 28) - 1;

// Header flags.
inline constexpr unsigned char kFlagUnsynchronised = 0x80;
inline constexpr unsigned char kFlagExtendedHeader = 0x40;  // 2.3 and 2.4
inline constexpr unsigned char kFlagFooter = 0x10;          // 2.4

std::uint32_t BigEndian32(const unsigned char* p);
// Four 7-bit groups, most significant first (the upper bits of each byte ignored).
std::uint32_t Synchsafe32(const unsigned char* p);
void PutBigEndian32(std::string& out, std::uint64_t value);
void PutSynchsafe32(std::string& out, std::uint64_t value);
// The start of a frame: an identifier starts with a letter A-Z (padding is zero bytes).
bool IsFrameStart(unsigned char c);

// The bytes of a tag body [begin, end) of a file read front to back; with `unsynchronised`, a
// zero byte that follows 0xFF is dropped (the tag's unsynchronisation undone).
class TagStream {
  public:
    TagStream(int fd, std::int64_t begin, std::int64_t end, bool unsynchronised);

    // Reads up to `count` bytes; fewer at the end of the tag.
    std::size_t Read(unsigned char* out, std::size_t count);
    // Passes over `count` bytes; false when the tag ends first.
    bool Skip(std::uint64_t count);
    std::uint64_t Position() const { return position_; }
    bool Failed() const { return failed_; }

  private:
    bool Fill();

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

// How a tag's frames are laid out.
struct Layout {
    int major = 3;                // 2, 3 or 4
    bool unsynchronised = false;  // the header's flag
    bool extendedHeader = false;  // 2.3 and 2.4
    bool synchsafeSizes = true;   // 2.4: frame sizes in 7-bit groups (some writers use 8 bits)
};

// A frame of an old tag. Positions are in the tag's byte stream (see TagStream): in 2.2 and
// 2.3 tags with the tag's unsynchronisation undone; 2.4 tags are read as stored.
struct OldFrame {
    std::string id;  // three characters in version 2.2
    std::uint64_t start = 0;
    std::uint64_t length = 0;  // header and body
    // The first kFrameBuffer bytes of the body as a reader sees it (2.4: the frame's own
    // unsynchronisation undone, compression inflated), for the frames asked for; empty with
    // `headRead` false when the body cannot be read (encrypted, damaged).
    std::string head;
    bool headRead = false;
};

struct FrameList {
    std::vector<OldFrame> frames;
    bool clean = true;    // the list ended at the tag's end or at padding, not at a broken frame
    bool failed = false;  // a read error
};

// Lists the frames that lie wholly inside the tag, up to the first that does not or to the
// padding. `wantHead(id)` says which frames' heads to read.
FrameList ListFrames(int fd, std::int64_t tagEnd, const Layout& layout,
                     const std::function<bool(std::string_view id)>& wantHead);

// A part of a new tag body: a stretch of the old tag's byte stream, or new bytes.
struct Piece {
    bool fromOldTag = false;
    std::uint64_t start = 0;
    std::uint64_t length = 0;
    std::string bytes;
};

// A new frame in the layout of `major` (3 or 4). In a 2.4 tag whose header says it is
// unsynchronised, the body is unsynchronised and the frame says so.
std::string NewFrame(std::string_view id, const std::string& body, int major,
                     bool unsynchronisedTag);

// The version 2.3 identifier of a version 2.2 one; empty when there is none.
std::string Version23Id(std::string_view id22);
// A version 2.2 frame as version 2.3 pieces (header, body): false when it cannot be carried
// over (no version 2.3 counterpart).
bool ConvertToVersion23(const OldFrame& frame, std::vector<Piece>& pieces);

// Writes the pieces in order: old ones read from `oldTag` (their starts ascending).
class BufferedWriter;
bool WritePieces(const std::vector<Piece>& pieces, TagStream& oldTag, BufferedWriter& out);

class BufferedWriter {
  public:
    explicit BufferedWriter(int fd);
    bool Write(const void* data, std::size_t count);
    bool Flush();
    // Bytes written so far, buffered ones included.
    std::int64_t Offset() const { return written_ + static_cast<std::int64_t>(buffer_.size()); }

  private:
    int fd_;
    std::vector<unsigned char> buffer_;
    std::int64_t written_ = 0;
};

}  // namespace tavrin::id3frames
