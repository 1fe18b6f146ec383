// Device-independent bitmaps: a header (BITMAPINFOHEADER, its V4/V5 extensions or the old
// BITMAPCOREHEADER), a colour table and the pixel rows, as metafiles and RTF pictures carry
// them, and bitmap files (.bmp), where a file header comes first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tavrin::viewer {

struct DibImage {
    int width = 0;
    int height = 0;
    bool bottomUp = true;               // rows were stored bottom row first
    bool hasAlpha = false;              // a 32-bit bitmap whose alpha bytes are not all zero
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, top row first
};

// The largest bitmap decoded inside a metafile or a document, in pixels.
inline constexpr std::int64_t kMaxDibPixels = std::int64_t(1) << 26;

// The longest side of a bitmap decoded.
inline constexpr std::int64_t kMaxDibSide = std::int64_t(1) << 20;

// What the header and the colour table of a bitmap say.
struct DibLayout {
    int width = 0;
    int height = 0;
    bool bottomUp = true;
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> palette;  // 0xFFRRGGBB
    std::uint32_t masks[3] = {0, 0, 0};  // red, green, blue of 16- and 32-bit rows
    std::size_t stride = 0;              // bytes of one stored row, uncompressed

    bool RunLength() const { return compression == 1 || compression == 2; }
    // A 32-bit bitmap without masks, whose fourth byte may be an alpha value.
    bool Plain32() const { return bitCount == 32 && compression == 0; }
    // The picture row (top first) that the stored row `stored` is.
    int RowOf(int stored) const { return bottomUp ? height - 1 - stored : stored; }
};

// Reads the header and colour table in `info`. Null when the header is damaged, the colour
// table is missing, the compression is not understood (1, 4, 8, 16, 24 and 32 bits per
// pixel, uncompressed, with bit fields, or run-length encoded with 8 and 4 bits), or the
// bitmap has more than `maxPixels` pixels. Colour tables of palette indices are not
// understood.
// `tooLarge`, when given, tells a bitmap refused only for its size.
std::optional<DibLayout> ReadDibLayout(std::span<const std::uint8_t> info,
                                       std::int64_t maxPixels = kMaxDibPixels,
                                       bool* tooLarge = nullptr);

// One stored row of an uncompressed bitmap (layout.stride bytes) as `layout.width` pixels,
// 0xAARRGGBB. The fourth byte of plain 32-bit rows is kept; every other pixel is opaque.
void DecodeDibRow(const DibLayout& layout, const std::uint8_t* row, std::uint32_t* out);

// The rows of a run-length encoded bitmap into the picture at `pixels` (top row first,
// `rowPixels` pixels from one row to the next). Pixels the runs do not reach, because they
// skip them or the data ends early, keep what they held. Returns the stored rows the data
// reached (the rows from there on got nothing).
int DecodeDibRunLength(const DibLayout& layout, std::span<const std::uint8_t> bits,
                       std::uint32_t* pixels, std::ptrdiff_t rowPixels);

// Decodes a bitmap whose header and colour table are in `info` and whose rows are in `bits`.
// Null when the layout cannot be read or rows are missing.
std::shared_ptr<const DibImage> DecodeDib(std::span<const std::uint8_t> info,
                                          std::span<const std::uint8_t> bits);

// A packed bitmap: header, colour table and rows one after the other.
std::shared_ptr<const DibImage> DecodePackedDib(std::span<const std::uint8_t> packed);

// Where the parts of a bitmap file lie: the layout read from the header after the 14-byte
// file header, where the rows start, and how many whole stored rows the file holds.
struct BitmapFileLayout {
    DibLayout dib;
    std::size_t bitsOffset = 0;
    int storedRows = 0;  // uncompressed bitmaps; rows beyond them are missing
};

// Reads the start of a bitmap file of `fileSize` bytes (`head` holds at least its headers
// and colour table, or the whole file when it is shorter). Null when it is no bitmap file or
// its header is damaged; `tooLarge`, when given, tells a bitmap refused only for having more
// than `maxPixels` pixels.
std::optional<BitmapFileLayout> ReadBitmapFileLayout(std::span<const std::uint8_t> head,
                                                     std::uint64_t fileSize, std::int64_t maxPixels,
                                                     bool* tooLarge = nullptr);

// The bytes of a bitmap file's start that ReadBitmapFileLayout needs at most.
inline constexpr std::size_t kBitmapHeadBytes = 14 + 124 + 16 + 256 * 4;

}  // namespace tavrin::viewer
