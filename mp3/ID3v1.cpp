#include "mp3/ID3v1.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "mp3/FileAccess.h"
#include "platform/fileio/SafeReplace.h"

namespace tavrin {

namespace {

using Tail = std::array<unsigned char, TID3v1::kTagSize>;

// Offsets of the fields within the tag.
constexpr std::size_t kTitleAt = 3;
constexpr std::size_t kArtistAt = 33;
constexpr std::size_t kAlbumAt = 63;
constexpr std::size_t kYearAt = 93;
constexpr std::size_t kCommentAt = 97;
constexpr std::size_t kTrackMarkAt = 125;
constexpr std::size_t kTrackAt = 126;
constexpr std::size_t kGenreAt = 127;

// The bytes of a field with trailing bytes of value <= 0x20 removed; a zero byte in the middle
// stays part of the text.
std::string FieldText(const Tail& tail, std::size_t at, std::size_t width) {
    std::size_t end = width;
    while (end > 0 && tail[at + end - 1] <= 0x20) --end;
    return std::string(reinterpret_cast<const char*>(tail.data() + at), end);
}

std::string TrimmedToWidth(std::string_view text, std::size_t width) {
    std::size_t end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
    return std::string(text.substr(0, std::min(end, width)));
}

bool HasTagMark(const Tail& tail) {
    return tail[0] == 'T' && tail[1] == 'A' && tail[2] == 'G';
}

// Reads the last 128 bytes of a file; false when they cannot be read.
bool ReadTail(const std::string& fileName, Tail& tail) {
    std::int64_t size = 0;
    fileaccess::FileHandle file = fileaccess::OpenForReading(fileName, &size);
    if (!file.IsOpen() || size < static_cast<std::int64_t>(TID3v1::kTagSize)) return false;
    return fileaccess::ReadExactAt(file.Get(), tail.data(), tail.size(),
                                   size - static_cast<std::int64_t>(TID3v1::kTagSize));
}

}  // namespace

void TID3v1::Clear() {
    present_ = false;
    revision_ = 1;
    title_.clear();
    artist_.clear();
    album_.clear();
    year_.clear();
    comment_.clear();
    track_ = 0;
    genreIndex_ = kNoGenre;
}

bool TID3v1::Load(const std::string& fileName) {
    Clear();
    std::int64_t size = 0;
    fileaccess::FileHandle file = fileaccess::OpenForReading(fileName, &size);
    return file.IsOpen() && LoadFrom(file.Get(), size);
}

bool TID3v1::LoadFrom(int fd, std::int64_t size) {
    Clear();
    Tail tail{};
    const auto tagBytes = static_cast<std::int64_t>(kTagSize);
    if (size < tagBytes || !fileaccess::ReadExactAt(fd, tail.data(), tail.size(), size - tagBytes))
        return false;
    if (!HasTagMark(tail)) return true;
    present_ = true;
    const unsigned char mark = tail[kTrackMarkAt];
    const unsigned char track = tail[kTrackAt];
    revision_ = ((mark == 0 && track != 0) || (mark == 0x20 && track != 0x20)) ? 2 : 1;
    title_ = FieldText(tail, kTitleAt, kTextWidth);
    artist_ = FieldText(tail, kArtistAt, kTextWidth);
    album_ = FieldText(tail, kAlbumAt, kTextWidth);
    year_ = FieldText(tail, kYearAt, kYearWidth);
    if (revision_ == 1) {
        comment_ = FieldText(tail, kCommentAt, kTextWidth);
    } else {
        comment_ = FieldText(tail, kCommentAt, kTextWidth - 2);
        track_ = track;
    }
    genreIndex_ = tail[kGenreAt];
    return true;
}

void TID3v1::SetTitle(std::string_view text) {
    title_ = TrimmedToWidth(text, kTextWidth);
}
void TID3v1::SetArtist(std::string_view text) {
    artist_ = TrimmedToWidth(text, kTextWidth);
}
void TID3v1::SetAlbum(std::string_view text) {
    album_ = TrimmedToWidth(text, kTextWidth);
}
void TID3v1::SetYear(std::string_view text) {
    year_ = TrimmedToWidth(text, kYearWidth);
}
void TID3v1::SetComment(std::string_view text) {
    comment_ = TrimmedToWidth(text, kTextWidth);
}

std::array<unsigned char, TID3v1::kTagSize> TID3v1::Encode() const {
    Tail tag{};
    std::memcpy(tag.data(), "TAG", 3);
    auto put = [&](const std::string& text, std::size_t at, std::size_t width) {
        std::memcpy(tag.data() + at, text.data(), std::min(text.size(), width));
    };
    put(title_, kTitleAt, kTextWidth);
    put(artist_, kArtistAt, kTextWidth);
    put(album_, kAlbumAt, kTextWidth);
    put(year_, kYearAt, kYearWidth);
    put(comment_, kCommentAt, kTextWidth);
    if (track_ > 0) {
        tag[kTrackMarkAt] = 0;
        tag[kTrackAt] = track_;
    }
    tag[kGenreAt] = genreIndex_;
    return tag;
}

bool TID3v1::Failed(std::string cause) {
    error_ = !cause.empty() ? std::move(cause) : errno ? fileio::ErrorText(errno) : "";
    return false;
}

bool TID3v1::Strip(const std::string& fileName) {
    error_.clear();
    errno = 0;
    Tail tail{};
    if (!ReadTail(fileName, tail)) return Failed();
    if (!HasTagMark(tail)) return true;
    if (!fileio::MayModify(fileName, fileio::Protection::kUnlockOwnFile)) return Failed();
    std::int64_t size = 0;
    fileaccess::FileHandle file = fileaccess::OpenForWriting(fileName, &size);
    if (!file.IsOpen() || size < static_cast<std::int64_t>(kTagSize)) return Failed();
    if (::ftruncate(file.Get(), static_cast<off_t>(size - kTagSize)) != 0) return Failed();
    if (::fsync(file.Get()) != 0) return Failed();
    return file.Close() || Failed();
}

bool TID3v1::Save(const std::string& fileName) {
    error_.clear();
    errno = 0;
    const Tail tag = Encode();
    // The checks of removing the old tag come first: a file whose tail cannot be read is left
    // as it is. The tag is written in place (through a link to its target), so the file keeps
    // its links, owner and mode; the user's own read-only file is made writable first.
    Tail tail{};
    if (!ReadTail(fileName, tail)) return Failed();
    if (!fileio::MayModify(fileName, fileio::Protection::kUnlockOwnFile)) return Failed();
    std::int64_t size = 0;
    fileaccess::FileHandle file = fileaccess::OpenForWriting(fileName, &size);
    if (!file.IsOpen()) return Failed();
    const auto tagBytes = static_cast<std::int64_t>(kTagSize);
    // An existing tag is overwritten in place, so the audio never loses its tag in between;
    // the bytes afterwards are those of removing the old tag and appending the new one.
    bool hasTag = size >= tagBytes &&
                  fileaccess::ReadExactAt(file.Get(), tail.data(), tail.size(), size - tagBytes) &&
                  HasTagMark(tail);
    if (hasTag) {
        if (!fileaccess::WriteAllAt(file.Get(), tag.data(), tag.size(), size - tagBytes)) {
            const int code = errno;
            fileaccess::WriteAllAt(file.Get(), tail.data(), tail.size(), size - tagBytes);
            return Failed(fileio::ErrorText(code));
        }
    } else if (!fileaccess::WriteAllAt(file.Get(), tag.data(), tag.size(), size)) {
        const int code = errno;
        // Leave no partial tag behind.
        (void)::ftruncate(file.Get(), static_cast<off_t>(size));
        return Failed(fileio::ErrorText(code));
    }
    if (::fsync(file.Get()) != 0) return Failed();
    return file.Close() || Failed();
}

}  // namespace tavrin
