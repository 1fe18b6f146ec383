// The viewer window's rules without widgets: which files are pictures, the scroll ranges,
// the stretched size of a picture, and how the bytes of a text file become characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text/TextCodec.h"

namespace tavrin::viewer {

// The picture classes, chosen by the file-name extension without regard to letter case.
enum class PictureKind { None, Bitmap, Icon, Metafile, EnhancedMetafile, Jpeg };

PictureKind PictureKindOf(const std::string& path);

struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};

// The fixed sizes of the picture panel and its two scroll bars.
struct PanelGeometry {
    PixelSize panel{481, 407};
    int scrollHHeight = 18;
    int scrollVWidth = 17;
};

struct ScrollMaxima {
    int horizontal = 0;
    int vertical = 0;
    bool operator==(const ScrollMaxima&) const = default;
};

// The largest scroll positions: how far the picture reaches beyond the panel, never below 0.
ScrollMaxima ScrollRangesFor(PixelSize picture, const PanelGeometry& geometry);

// The size a stretched picture takes: the ratio height / width in single precision; a tall
// picture (ratio >= 1) fills the panel's height above the horizontal scroll bar, a wide one
// the width left of the vertical scroll bar; the other side follows the ratio, truncated.
// An empty picture keeps its size.
PixelSize StretchedSize(PixelSize picture, const PanelGeometry& geometry);

// The most memory one picture may take: 1 GiB, or half the machine's memory when that is
// less. A larger picture is refused with a message.
std::int64_t PictureMemoryLimit();

// Where the picture's top (left) edge lies for a vertical (horizontal) scroll position.
constexpr int PictureEdgeFor(int position) {
    return 1 - position;
}

// --- Text -------------------------------------------------------------------------------

// The longest line of text the text box lays out, in UTF-16 units: a longer line (a file with
// few or no line ends) is shown as several lines, since laying out one very long line would
// hold up the window for minutes.
inline constexpr std::size_t kMaxShownLineLength = 4096;

// True when the bytes start like a rich-text document ("{\rtf").
bool LooksLikeRtf(std::string_view bytes);

using tavrin::IsValidUtf8;
using tavrin::Windows1252Char;

// Windows-1252 to UTF-16.
std::u16string Windows1252ToUtf16(std::string_view bytes);

// UTF-8 to UTF-16 (the input must be valid UTF-8).
std::u16string Utf8ToUtf16(std::string_view bytes);

// The Windows code page of a font character set (the RTF \fcharset and LOGFONT values), 0
// when the set names none of its own.
int CodePageOfCharset(int charset);

// Decodes bytes of a Windows code page (1252 built in; others through the platform's
// converters where it has them, else as 1252).
std::u16string DecodeCodePage(int codePage, std::string_view bytes);

// Reads at most `limit` bytes of a regular file (a device, pipe or folder is not read, so
// nothing can block). False when the file cannot be read.
bool ReadFileHead(const std::string& path, std::size_t limit, std::string* out);

}  // namespace tavrin::viewer
