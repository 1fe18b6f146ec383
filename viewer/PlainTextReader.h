// A plain text file read and decoded piece by piece, so that the viewer can show a large file
// while the event loop goes on answering. The text is UTF-8 when all its bytes are valid UTF-8
// (a leading byte-order mark dropped), otherwise Windows-1252. Because the bytes arrive piece
// by piece, a file whose first pieces were valid UTF-8 can turn out not to be: the reader then
// starts over in Windows-1252 from the bytes it already holds, and says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin::viewer {

class PlainTextReader {
  public:
    PlainTextReader() = default;
    ~PlainTextReader();
    PlainTextReader(const PlainTextReader&) = delete;
    PlainTextReader& operator=(const PlainTextReader&) = delete;

    // Opens the file at `path` to read at most `limit` bytes of it. Only regular files are
    // read (a device, pipe or folder could block); false when it cannot be opened.
    bool Open(const std::string& path, std::size_t limit);
    // Reads bytes held in memory instead of a file.
    void SetBytes(std::string_view bytes);
    // Lines longer than this many UTF-16 units are broken into lines of that length, so that
    // no line of the shown text is longer (0, the default: lines are never broken).
    void SetMaxLineLength(std::size_t units) { maxLine_ = units; }

    // The first `count` bytes of the file (fewer when it is shorter), read now if need be.
    std::string_view Head(std::size_t count);
    // Reads the rest of the file up to the limit; false on a read error.
    bool ReadAll();
    // The bytes read so far.
    const std::string& Bytes() const { return bytes_; }

    // The text of about `maxBytes` more bytes. When `restart` comes back true, the text of
    // every earlier piece is void: this piece starts the text again from its beginning.
    // False on a read error (the text of earlier pieces stays good).
    bool Next(std::size_t maxBytes, std::u16string* text, bool* restart);
    // Every byte up to the limit has been turned into text.
    bool AtEnd() const { return eof_ && decoded_ == bytes_.size(); }
    // The file goes on beyond the limit: its text ends early.
    bool Cut() const { return cut_; }
    bool IsUtf8() const { return utf8_; }

  private:
    bool ReadMore(std::size_t count);
    void Reset();
    void Close();
    void AppendText(std::u16string_view units, std::u16string* text);

    int fd_ = -1;
    std::size_t limit_ = 0;
    std::string bytes_;
    std::size_t decoded_ = 0;  // bytes already turned into text
    bool eof_ = false;
    bool cut_ = false;
    bool utf8_ = true;
    std::size_t maxLine_ = 0;
    std::size_t lineLength_ = 0;  // units since the last line end of the text given out
};

// The whole text of a plain file's bytes, decoded as above, lines never broken.
std::u16string DecodePlainText(std::string_view bytes);

}  // namespace tavrin::viewer
