// Device-independent bitmaps as metafiles carry them: a header (BITMAPINFOHEADER, its V4/V5
// extensions or the old BITMAPCOREHEADER), a colour table and the pixel rows.
#pragma once

#include <cstdint>
#include <memory>
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

// The largest bitmap decoded, in pixels.
inline constexpr std::int64_t kMaxDibPixels = std::int64_t(1) << 26;

// Decodes a bitmap whose header and colour table are in `info` and whose rows are in `bits`.
// 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed, with bit fields, or run-length encoded
// (8 and 4 bits). Null when the header is damaged, the rows are missing or the bitmap is too
// large; colour tables of palette indices (DIB_PAL_COLORS) are not understood.
std::shared_ptr<const DibImage> DecodeDib(std::span<const std::uint8_t> info,
                                          std::span<const std::uint8_t> bits);

// A packed bitmap: header, colour table and rows one after the other.
std::shared_ptr<const DibImage> DecodePackedDib(std::span<const std::uint8_t> packed);

}  // namespace tavrin::viewer
