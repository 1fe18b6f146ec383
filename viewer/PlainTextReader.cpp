#include "viewer/PlainTextReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "viewer/ViewLogic.h"

namespace tavrin::viewer {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Where the last complete UTF-8 character before `end` ends: an incomplete sequence at the
// end of the bytes read so far waits for the bytes that complete it.
std::size_t CompleteUtf8End(const std::string& bytes, std::size_t begin, std::size_t end) {
    for (std::size_t back = 1; back <= 4 && back <= end - begin; ++back) {
        const auto c = static_cast<unsigned char>(bytes[end - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? end - back : end;
    }
    return end;
}

bool IsLineEnd(char16_t c) {
    return c == u'\n' || c == u'\r' || c == u'\u2029';
}

}  // namespace

PlainTextReader::~PlainTextReader() {
    Close();
}

void PlainTextReader::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void PlainTextReader::Reset() {
    Close();
    limit_ = 0;
    bytes_.clear();
    decoded_ = 0;
    eof_ = cut_ = false;
    utf8_ = true;
    lineLength_ = 0;
}

bool PlainTextReader::Open(const std::string& path, std::size_t limit) {
    Reset();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return false;
    }
    limit_ = limit;
    bytes_.reserve(std::min<std::size_t>(limit, std::size_t(std::max<off_t>(st.st_size, 0))));
    return true;
}

void PlainTextReader::SetBytes(std::string_view bytes) {
    Reset();
    bytes_.assign(bytes);
    limit_ = bytes_.size();
    eof_ = true;
}

bool PlainTextReader::ReadMore(std::size_t count) {
    if (eof_) return true;
    const std::size_t want = std::min(count, limit_ - bytes_.size());
    const std::size_t old = bytes_.size();
    bytes_.resize(old + want);
    std::size_t got = 0;
    bool ok = true;
    while (got < want) {
        ssize_t n = ::read(fd_, bytes_.data() + old + got, want - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) n = 0;  // nothing more to come without waiting
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) {
            eof_ = true;
            break;
        }
        got += std::size_t(n);
    }
    bytes_.resize(old + got);
    if (ok && !eof_ && bytes_.size() >= limit_) {
        // The limit is reached: one more byte tells whether the file goes on.
        char extra;
        ssize_t n;
        do n = ::read(fd_, &extra, 1);
        while (n < 0 && errno == EINTR);
        cut_ = n > 0;
        eof_ = true;
    }
    if (eof_ || !ok) Close();
    return ok;
}

std::string_view PlainTextReader::Head(std::size_t count) {
    if (bytes_.size() < count) ReadMore(count - bytes_.size());
    return std::string_view(bytes_).substr(0, count);
}

bool PlainTextReader::ReadAll() {
    while (!eof_)
        if (!ReadMore(std::size_t(1) << 20)) return false;
    return true;
}

bool PlainTextReader::Next(std::size_t maxBytes, std::u16string* text, bool* restart) {
    text->clear();
    *restart = false;
    maxBytes = std::max<std::size_t>(maxBytes, 8);
    if (bytes_.size() - decoded_ < maxBytes && !ReadMore(maxBytes - (bytes_.size() - decoded_)))
        return false;
    if (utf8_ && decoded_ == 0 && std::string_view(bytes_).starts_with(kByteOrderMark))
        decoded_ = kByteOrderMark.size();
    std::size_t end = std::min(bytes_.size(), decoded_ + maxBytes);
    const bool last = eof_ && end == bytes_.size();
    if (utf8_) {
        if (!last) end = CompleteUtf8End(bytes_, decoded_, end);
        if (!IsValidUtf8(std::string_view(bytes_).substr(decoded_, end - decoded_))) {
            // Not UTF-8 after all: the text starts over in Windows-1252.
            utf8_ = false;
            *restart = true;
            decoded_ = 0;
            lineLength_ = 0;
            end = std::min(bytes_.size(), maxBytes);
        }
    }
    // A CR at the end of a piece waits for the LF that may follow it, so that the pair stays
    // one line end.
    if (end > decoded_ + 1 && bytes_[end - 1] == '\r' && !(eof_ && end == bytes_.size())) --end;
    const std::string_view piece = std::string_view(bytes_).substr(decoded_, end - decoded_);
    AppendText(utf8_ ? Utf8ToUtf16(piece) : Windows1252ToUtf16(piece), text);
    decoded_ = end;
    return true;
}

void PlainTextReader::AppendText(std::u16string_view units, std::u16string* text) {
    if (!maxLine_) {
        text->append(units);
        return;
    }
    text->reserve(text->size() + units.size() + units.size() / maxLine_ + 1);
    for (char16_t c : units) {
        if (IsLineEnd(c)) {
            lineLength_ = 0;
        } else if (lineLength_ >= maxLine_ && !(c >= 0xDC00 && c <= 0xDFFF)) {
            // A surrogate pair is never torn apart.
            text->push_back(u'\n');
            lineLength_ = 0;
        }
        if (!IsLineEnd(c)) ++lineLength_;
        text->push_back(c);
    }
}

std::u16string DecodePlainText(std::string_view bytes) {
    PlainTextReader reader;
    reader.SetBytes(bytes);
    std::u16string text;
    bool restart = false;
    reader.Next(bytes.size(), &text, &restart);
    return text;
}

}  // namespace tavrin::viewer
