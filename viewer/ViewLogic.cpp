#include "viewer/ViewLogic.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>

namespace tavrin::viewer {

PictureKind PictureKindOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return PictureKind::None;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = char(std::toupper(static_cast<unsigned char>(c)));
    if (ext == "BMP") return PictureKind::Bitmap;
    if (ext == "ICO") return PictureKind::Icon;
    if (ext == "WMF") return PictureKind::Metafile;
    if (ext == "EMF") return PictureKind::EnhancedMetafile;
    if (ext == "JPG" || ext == "JPEG") return PictureKind::Jpeg;
    return PictureKind::None;
}

ScrollMaxima ScrollRangesFor(PixelSize picture, const PanelGeometry& geometry) {
    return {std::max(picture.width - geometry.panel.width, 0),
            std::max(picture.height - geometry.panel.height, 0)};
}

PixelSize StretchedSize(PixelSize picture, const PanelGeometry& geometry) {
    if (picture.width <= 0 || picture.height <= 0) return picture;
    // The ratio is a single-precision value; the products and quotients that use it are
    // worked out in a wider type before they are truncated.
    const float ratio = static_cast<float>(double(picture.height) / double(picture.width));
    PixelSize out;
    if (ratio >= 1.0f) {
        out.height = geometry.panel.height - geometry.scrollHHeight;
        out.width = static_cast<int>(std::trunc(double(out.height) / double(ratio)));
    } else {
        out.width = geometry.panel.width - geometry.scrollVWidth;
        out.height = static_cast<int>(std::trunc(double(ratio) * double(out.width)));
    }
    return out;
}

std::int64_t PictureMemoryLimit() {
    constexpr std::int64_t kLimit = std::int64_t(1) << 30;
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return kLimit;
    return std::min(kLimit, std::int64_t(pages) * pageSize / 2);
}

bool LooksLikeRtf(std::string_view bytes) {
    return bytes.substr(0, 5) == "{\\rtf";
}

std::u16string Windows1252ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes) out.push_back(Windows1252Char(static_cast<unsigned char>(c)));
    return out;
}

std::u16string Utf8ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        unsigned char c = p[i];
        char32_t cp;
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k <= extra && i + k < n; ++k) cp = (cp << 6) | (p[i + k] & 0x3F);
        i += std::size_t(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
    return out;
}

int CodePageOfCharset(int charset) {
    switch (charset) {
        case 77:
            return 10000;
        case 128:
            return 932;
        case 129:
            return 949;
        case 134:
            return 936;
        case 136:
            return 950;
        case 161:
            return 1253;
        case 162:
            return 1254;
        case 163:
            return 1258;
        case 177:
            return 1255;
        case 178:
            return 1256;
        case 186:
            return 1257;
        case 204:
            return 1251;
        case 222:
            return 874;
        case 238:
            return 1250;
        case 255:
            return 437;
        default:
            return 0;
    }
}

bool ReadFileHead(const std::string& path, std::size_t limit, std::string* out) {
    out->clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const std::size_t want = std::min<std::size_t>(limit, std::size_t(st.st_size));
    out->resize(want);
    std::size_t got = 0;
    bool ok = true;
    while (got < want) {
        ssize_t n = ::read(fd, out->data() + got, want - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        got += std::size_t(n);
    }
    ::close(fd);
    out->resize(got);
    return ok;
}

}  // namespace tavrin::viewer
