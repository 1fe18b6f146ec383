// TID3v1: the 128-byte ID3v1 tag at the end of an MP3 file, in its layouts ID3v1.0 and
// ID3v1.1 (with a track number). Texts are single-byte, stored and returned unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "mp3/Genres.h"

namespace tavrin {

class TID3v1 {
  public:
    static constexpr std::size_t kTagSize = 128;
    static constexpr std::size_t kTextWidth = 30;
    static constexpr std::size_t kYearWidth = 4;
    static constexpr std::uint8_t kNoGenre = 255;

    TID3v1() { Clear(); }

    // Reads the tag from the last 128 bytes; false only when they cannot be read (which
    // includes a file shorter than 128 bytes). A failed load leaves the object cleared.
    bool Load(const std::string& fileName);
    // Writes the current fields as the file's tag, replacing an existing one; false on any
    // failure.
    bool Save(const std::string& fileName);
    // Removes an existing tag; true also when there was none.
    bool Strip(const std::string& fileName);
    // Why the last Save or Strip failed, in the system's words ("Permission denied"); empty
    // when it did not fail for a reason of the file system.
    const std::string& Error() const { return error_; }
    void Clear();

    bool Present() const { return present_; }
    std::uint8_t Revision() const { return revision_; }  // 1 = ID3v1.0, 2 = ID3v1.1
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    const std::string& Year() const { return year_; }
    const std::string& Comment() const { return comment_; }
    std::uint8_t Track() const { return track_; }            // 0 = none; kept from Load
    std::uint8_t GenreIndex() const { return genreIndex_; }  // 255 = no genre

    // Each drops trailing characters of code <= 0x20, then keeps at most the field's width.
    void SetTitle(std::string_view text);
    void SetArtist(std::string_view text);
    void SetAlbum(std::string_view text);
    void SetYear(std::string_view text);
    void SetComment(std::string_view text);
    void SetGenreIndex(std::uint8_t index) { genreIndex_ = index; }

    // The genre list, index 0..147.
    static const std::array<const char*, kGenreCount>& Genres() { return GenreList(); }

    // The 128 bytes Save writes for the current fields.
    std::array<unsigned char, kTagSize> Encode() const;

  private:
    friend class TMPEGaudio;
    // Load on a file already open for reading, of `size` bytes.
    bool LoadFrom(int fd, std::int64_t size);
    bool Failed(std::string cause = {});

    bool present_ = false;
    std::uint8_t revision_ = 1;
    std::string title_, artist_, album_, year_, comment_;
    std::uint8_t track_ = 0;
    std::uint8_t genreIndex_ = kNoGenre;
    std::string error_;
};

}  // namespace tavrin
