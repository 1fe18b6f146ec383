// TID3v2: the seven text frames of an ID3v2.3 tag at the start of an MP3 file. Tags of any
// ID3v2 version are recognised (their size tells where the audio starts); frames are read only
// from version 2.3 tags. Saving writes an ID3v2.3 tag and rebuilds the whole file through a
// temporary copy named like the file with "~" appended.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

class TID3v2 {
  public:
    // Frame bodies are read through one buffer of this size.
    static constexpr std::size_t kFrameBuffer = 250;
    static constexpr std::size_t kHeaderSize = 10;
    // The seven frames, in the order they are written.
    static constexpr std::array<const char*, 7> kFrameIds = {"TIT2", "TPE1", "TALB", "TRCK",
                                                             "TYER", "TCON", "COMM"};

    TID3v2() { Clear(); }

    // Reads the tag at the start of the file; false only when its first 10 bytes cannot be read.
    bool Load(const std::string& fileName);
    // Writes a version 2.3 tag from the current fields and rebuilds the file; false on any
    // failure, and then the file is as it was. When the file already has a version 2.3 tag,
    // its other frames stay in their order, and so do the frames of the fields that were not
    // changed since Load; a changed field's frame is rewritten in its place.
    bool Save(const std::string& fileName);
    void Clear();

    bool Present() const { return present_; }
    std::uint8_t MajorVersion() const { return majorVersion_; }
    // Whole tag size including the header; 0 without a tag or when the stored size is larger
    // than the file.
    std::int32_t TagSize() const { return tagSize_; }
    const std::string& Title() const { return fields_.title; }
    const std::string& Artist() const { return fields_.artist; }
    const std::string& Album() const { return fields_.album; }
    std::uint8_t Track() const { return fields_.track; }  // kept from Load
    const std::string& Year() const { return fields_.year; }
    const std::string& Genre() const { return fields_.genre; }
    const std::string& Comment() const { return fields_.comment; }

    // Each stores the text without its trailing characters of code <= 0x20; no length limit.
    void SetTitle(std::string_view text);
    void SetArtist(std::string_view text);
    void SetAlbum(std::string_view text);
    void SetYear(std::string_view text);
    void SetGenre(std::string_view text);
    void SetComment(std::string_view text);

    // The tag size rule on a 10-byte header: b6 * 2^21 + b7 * 2^14 + b8 * 2^7 + b9 + 10, or 0
    // when that is larger than the file.
    static std::int32_t TagSizeOf(const unsigned char* header, std::int64_t fileSize);

  private:
    friend class TMPEGaudio;
    // Load on a file already open for reading, of `fileSize` bytes.
    bool LoadFrom(int fd, std::int64_t fileSize);

    struct Fields {
        std::string title, artist, album, year, genre, comment;
        std::uint8_t track = 0;
    };

    // The frame text of slot k (in kFrameIds order) as a new frame carries it; empty for none.
    std::string NewFrameText(std::size_t k) const;
    // Whether slot k differs from what the last Load derived.
    bool Changed(std::size_t k) const;

    bool present_ = false;
    std::uint8_t majorVersion_ = 0;
    std::int32_t tagSize_ = 0;
    Fields fields_;
    Fields loaded_;  // the fields as the last Load derived them or the last Save wrote them
};

}  // namespace tavrin
