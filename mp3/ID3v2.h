// TID3v2: seven text frames of an ID3v2 tag at the start of an MP3 file, read from tags of
// versions 2.2, 2.3 and 2.4 (UTF-16 and UTF-8 texts decoded). Tags of any other version are
// recognised (their size tells where the audio starts) but not read. Saving rebuilds the whole
// file through a temporary copy named like the file with "~" appended, and keeps every frame
// whose field was not changed.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mp3/ID3v2Text.h"

namespace tavrin {

// The six fields a user edits (the track number is only carried).
enum class ID3v2Field { Title, Artist, Album, Year, Genre, Comment };

class TID3v2 {
  public:
    // Frame bodies are read through one buffer of this size.
    static constexpr std::size_t kFrameBuffer = 250;
    static constexpr std::size_t kHeaderSize = 10;
    // The seven frames of a version 2.3 tag, in the order a fresh tag has them.
    static constexpr std::array<const char*, 7> kFrameIds = {"TIT2", "TPE1", "TALB", "TRCK",
                                                             "TYER", "TCON", "COMM"};

    // Asked before a save drops frames the new tag cannot carry (their identifiers, in the
    // tag's order): true to save without them.
    using DropQuestion = std::function<bool(const std::vector<std::string>& frameIds)>;

    TID3v2() { Clear(); }

    // Reads the tag at the start of the file; false only when its first 10 bytes cannot be read.
    bool Load(const std::string& fileName);
    // Rebuilds the file with a tag of the current fields; false on any failure, and then the
    // file is as it was. Frames of fields not changed since Load, and all other frames, stay
    // in their order byte for byte; a changed field's frame is rewritten in its place (and
    // goes when the field is now empty); a field without a frame gets one after the others.
    // A version 2.3 or 2.4 tag keeps its version; a version 2.2 tag becomes a version 2.3 tag
    // with its frames under their version 2.3 identifiers: a frame that has none is dropped
    // only when `askDrop` agrees (without it, nothing is saved). A file without a readable tag
    // gets a fresh version 2.3 tag.
    bool Save(const std::string& fileName, const DropQuestion& askDrop = {});
    void Clear();

    bool Present() const { return present_; }
    std::uint8_t MajorVersion() const { return majorVersion_; }
    // Whole tag size including the header; 0 without a tag or when the stored size is larger
    // than the file.
    std::int32_t TagSize() const { return tagSize_; }
    const TagText& Text(ID3v2Field field) const;
    // The fields' bytes (UTF-8 for a Unicode text).
    const std::string& Title() const { return Text(ID3v2Field::Title).bytes; }
    const std::string& Artist() const { return Text(ID3v2Field::Artist).bytes; }
    const std::string& Album() const { return Text(ID3v2Field::Album).bytes; }
    std::uint8_t Track() const { return track_; }  // kept from Load
    const std::string& Year() const { return Text(ID3v2Field::Year).bytes; }
    const std::string& Genre() const { return Text(ID3v2Field::Genre).bytes; }
    const std::string& Comment() const { return Text(ID3v2Field::Comment).bytes; }

    // Each stores the text without its trailing characters of code <= 0x20; no length limit.
    void SetText(ID3v2Field field, const TagText& text);
    // Sets the field back to what the tag holds, so that its frame stays as it is.
    void KeepText(ID3v2Field field);
    void SetTitle(std::string_view text) { SetText(ID3v2Field::Title, TagText(std::string(text))); }
    void SetArtist(std::string_view text) {
        SetText(ID3v2Field::Artist, TagText(std::string(text)));
    }
    void SetAlbum(std::string_view text) { SetText(ID3v2Field::Album, TagText(std::string(text))); }
    void SetYear(std::string_view text) { SetText(ID3v2Field::Year, TagText(std::string(text))); }
    void SetGenre(std::string_view text) { SetText(ID3v2Field::Genre, TagText(std::string(text))); }
    void SetComment(std::string_view text) {
        SetText(ID3v2Field::Comment, TagText(std::string(text)));
    }

    // The tag size rule on a 10-byte header: b6 * 2^21 + b7 * 2^14 + b8 * 2^7 + b9 + 10, or 0
    // when that is larger than the file.
    static std::int32_t TagSizeOf(const unsigned char* header, std::int64_t fileSize);

  private:
    friend class TMPEGaudio;
    // Load on a file already open for reading, of `fileSize` bytes.
    bool LoadFrom(int fd, std::int64_t fileSize);

    static constexpr std::size_t kFieldCount = 6;
    using Texts = std::array<TagText, kFieldCount>;

    bool present_ = false;
    std::uint8_t majorVersion_ = 0;
    std::int32_t tagSize_ = 0;
    Texts texts_;
    std::uint8_t track_ = 0;
    Texts loaded_;  // the texts as the last Load derived them or the last Save wrote them
};

}  // namespace tavrin
