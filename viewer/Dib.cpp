#include "viewer/Dib.h"

#include <algorithm>
#include <cstring>

namespace tavrin::viewer {

namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}

// One colour channel taken out by a bit mask and scaled to 0..255.
struct Channel {
    int shift = 0;
    int bits = 0;
    explicit Channel(std::uint32_t mask) {
        if (!mask) return;
        while (!(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        while (mask & 1) {
            mask >>= 1;
            ++bits;
        }
    }
    std::uint32_t Get(std::uint32_t v) const {
        if (!bits) return 0;
        std::uint32_t x = (v >> shift) & ((bits >= 32 ? 0 : (1u << bits)) - 1u);
        if (bits >= 8) return x >> (bits - 8);
        // Spread the few bits over 0..255.
        return (x * 255u + ((1u << bits) - 1u) / 2u) / ((1u << bits) - 1u);
    }
};

std::uint32_t PaletteColor(const DibLayout& layout, unsigned index) {
    return index < layout.palette.size() ? layout.palette[index] : layout.palette.back();
}

}  // namespace

std::optional<DibLayout> ReadDibLayout(std::span<const std::uint8_t> info, std::int64_t maxPixels,
                                       bool* tooLarge) {
    if (tooLarge) *tooLarge = false;
    if (info.size() < 12) return std::nullopt;
    const std::uint32_t size = Le32(info.data());
    std::int64_t width = 0, height = 0;
    DibLayout layout;
    std::uint32_t colorsUsed = 0;
    bool haveMasks = false;
    const bool core = size == 12;
    if (core) {
        width = Le16(info.data() + 4);
        height = std::int16_t(Le16(info.data() + 6));
        layout.bitCount = Le16(info.data() + 10);
    } else if (size >= 40 && size <= info.size()) {
        width = std::int32_t(Le32(info.data() + 4));
        height = std::int32_t(Le32(info.data() + 8));
        layout.bitCount = Le16(info.data() + 14);
        layout.compression = Le32(info.data() + 16);
        colorsUsed = Le32(info.data() + 32);
        if (size >= 52) {
            for (int k = 0; k < 3; ++k) layout.masks[k] = Le32(info.data() + 40 + 4 * k);
            haveMasks = true;
        }
    } else {
        return std::nullopt;
    }
    if (width <= 0 || height == 0) return std::nullopt;
    layout.bottomUp = height > 0;
    if (height < 0) height = -height;
    const int bpp = layout.bitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return std::nullopt;
    const std::uint32_t compression = layout.compression;
    if (compression == kRle8 || compression == kRle4) {
        // Runs of 8-bit and 4-bit indices, stored bottom row first.
        if ((compression == kRle8 ? 8 : 4) != bpp || !layout.bottomUp) return std::nullopt;
    } else if (compression != kRgb && compression != kBitFields && compression != kAlphaBitFields) {
        return std::nullopt;
    }
    if (width > kMaxDibSide || height > kMaxDibSide || width * height > maxPixels) {
        if (tooLarge) *tooLarge = true;
        return std::nullopt;
    }
    layout.width = int(width);
    layout.height = int(height);
    layout.stride = std::size_t(((width * bpp + 31) / 32) * 4);

    std::size_t tableAt = size;
    // Bit-field masks follow a plain 40-byte header.
    const bool bitFields = compression == kBitFields || compression == kAlphaBitFields;
    if (bitFields && !haveMasks) {
        const std::size_t n = compression == kAlphaBitFields ? 4 : 3;
        if (info.size() < tableAt + 4 * n) return std::nullopt;
        for (std::size_t k = 0; k < 3; ++k) layout.masks[k] = Le32(info.data() + tableAt + 4 * k);
        tableAt += 4 * n;
    } else if (!bitFields) {
        // Rows without masks: 5-5-5 in 16 bits, 8-8-8 in 32.
        const bool sixteen = bpp == 16;
        layout.masks[0] = sixteen ? 0x7C00 : 0x00FF0000;
        layout.masks[1] = sixteen ? 0x03E0 : 0x0000FF00;
        layout.masks[2] = sixteen ? 0x001F : 0x000000FF;
    }
    // The colour table.
    if (bpp <= 8) {
        std::size_t entries = colorsUsed ? std::min<std::uint32_t>(colorsUsed, 256) : 1u << bpp;
        const std::size_t entrySize = core ? 3 : 4;
        entries = std::min(entries, (info.size() - std::min(info.size(), tableAt)) / entrySize);
        for (std::size_t k = 0; k < entries; ++k) {
            const std::uint8_t* e = info.data() + tableAt + k * entrySize;
            layout.palette.push_back(0xFF000000u | std::uint32_t(e[2]) << 16 |
                                     std::uint32_t(e[1]) << 8 | e[0]);
        }
        if (layout.palette.empty()) return std::nullopt;
    }
    return layout;
}

void DecodeDibRow(const DibLayout& layout, const std::uint8_t* src, std::uint32_t* dst) {
    const int width = layout.width;
    switch (layout.bitCount) {
        case 1:
            for (int x = 0; x < width; ++x)
                dst[x] = PaletteColor(layout, (src[x >> 3] >> (7 - (x & 7))) & 1);
            return;
        case 4:
            for (int x = 0; x < width; ++x)
                dst[x] = PaletteColor(layout, (src[x >> 1] >> (x & 1 ? 0 : 4)) & 0x0F);
            return;
        case 8:
            for (int x = 0; x < width; ++x) dst[x] = PaletteColor(layout, src[x]);
            return;
        case 24:
            for (int x = 0; x < width; ++x, src += 3)
                dst[x] =
                    0xFF000000u | std::uint32_t(src[2]) << 16 | std::uint32_t(src[1]) << 8 | src[0];
            return;
        default:
            break;
    }
    if (layout.Plain32()) {
        for (int x = 0; x < width; ++x) dst[x] = Le32(src + 4 * x);
        return;
    }
    const Channel red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]);
    const bool sixteen = layout.bitCount == 16;
    for (int x = 0; x < width; ++x) {
        const std::uint32_t v = sixteen ? Le16(src + 2 * x) : Le32(src + 4 * x);
        dst[x] = 0xFF000000u | red.Get(v) << 16 | green.Get(v) << 8 | blue.Get(v);
    }
}

int DecodeDibRunLength(const DibLayout& layout, std::span<const std::uint8_t> in,
                       std::uint32_t* pixels, std::ptrdiff_t rowPixels) {
    const bool four = layout.compression == kRle4;
    const int width = layout.width, height = layout.height;
    std::size_t i = 0;
    int x = 0, y = 0;  // y counts stored rows, bottom first
    auto put = [&](unsigned index) {
        if (x < width && y < height)
            pixels[std::ptrdiff_t(layout.RowOf(y)) * rowPixels + x] = PaletteColor(layout, index);
        ++x;
    };
    while (i + 1 < in.size() && y < height) {
        const std::uint8_t count = in[i], value = in[i + 1];
        i += 2;
        if (count) {
            for (int k = 0; k < count && x < width; ++k)
                put(four ? unsigned(k % 2 ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return height;
        } else if (value == 2) {  // delta
            if (i + 1 >= in.size()) break;
            x += in[i];
            y += in[i + 1];
            i += 2;
        } else {  // absolute run of `value` pixels, padded to a word
            const int n = value;
            std::size_t bytes = four ? std::size_t((n + 1) / 2) : std::size_t(n);
            if (i + bytes > in.size()) bytes = in.size() - i;
            for (int k = 0; k < n; ++k) {
                const std::size_t at = four ? i + std::size_t(k / 2) : i + std::size_t(k);
                if (at >= i + bytes) break;
                const std::uint8_t b = in[at];
                put(four ? unsigned(k % 2 ? b & 0x0F : b >> 4) : b);
            }
            i += bytes + (bytes & 1);
        }
    }
    return std::min(y, height);
}

std::shared_ptr<const DibImage> DecodeDib(std::span<const std::uint8_t> info,
                                          std::span<const std::uint8_t> bits) {
    std::optional<DibLayout> layout = ReadDibLayout(info);
    if (!layout) return nullptr;
    const std::size_t width = std::size_t(layout->width), height = std::size_t(layout->height);
    auto image = std::make_shared<DibImage>();
    image->width = layout->width;
    image->height = layout->height;
    image->bottomUp = layout->bottomUp;
    if (layout->RunLength()) {
        // Pixels the runs skip show the first colour of the table.
        image->pixels.assign(width * height, layout->palette.front());
        DecodeDibRunLength(*layout, bits, image->pixels.data(), std::ptrdiff_t(width));
        return image;
    }
    if (bits.size() / layout->stride < height) return nullptr;
    image->pixels.resize(width * height);
    for (int stored = 0; stored < layout->height; ++stored)
        DecodeDibRow(*layout, bits.data() + std::size_t(stored) * layout->stride,
                     image->pixels.data() + std::size_t(layout->RowOf(stored)) * width);
    if (layout->Plain32()) {
        // The fourth byte of plain 32-bit rows is usually left zero: then every pixel is
        // opaque. Otherwise it is kept as the pixel's alpha for blending records.
        image->hasAlpha = std::any_of(image->pixels.begin(), image->pixels.end(),
                                      [](std::uint32_t p) { return p >> 24; });
        if (!image->hasAlpha)
            for (std::uint32_t& p : image->pixels) p |= 0xFF000000u;
    }
    return image;
}

std::shared_ptr<const DibImage> DecodePackedDib(std::span<const std::uint8_t> packed) {
    if (packed.size() < 12) return nullptr;
    std::uint32_t size = Le32(packed.data());
    std::size_t infoSize = 0;
    if (size == 12) {
        int bpp = Le16(packed.data() + 10);
        infoSize = 12 + (bpp <= 8 ? 3u * (1u << bpp) : 0u);
    } else if (size >= 40 && size <= packed.size()) {
        int bpp = Le16(packed.data() + 14);
        std::uint32_t compression = Le32(packed.data() + 16);
        std::uint32_t used = Le32(packed.data() + 32);
        infoSize = size;
        if (size == 40 && compression == kBitFields) infoSize += 12;
        if (size == 40 && compression == kAlphaBitFields) infoSize += 16;
        if (bpp <= 8) infoSize += 4u * (used ? std::min<std::uint32_t>(used, 256) : 1u << bpp);
    } else {
        return nullptr;
    }
    if (infoSize > packed.size()) return nullptr;
    return DecodeDib(packed.first(infoSize), packed.subspan(infoSize));
}

std::optional<BitmapFileLayout> ReadBitmapFileLayout(std::span<const std::uint8_t> head,
                                                     std::uint64_t fileSize, std::int64_t maxPixels,
                                                     bool* tooLarge) {
    if (tooLarge) *tooLarge = false;
    if (head.size() < 14 + 12 || head[0] != 'B' || head[1] != 'M') return std::nullopt;
    const std::uint64_t bitsOffset = Le32(head.data() + 10);
    const std::uint64_t headerSize = Le32(head.data() + 14);
    // The rows start after the headers and within the file.
    if (bitsOffset < 14 + headerSize || bitsOffset > fileSize) return std::nullopt;
    const std::size_t infoEnd = std::size_t(std::min<std::uint64_t>(bitsOffset, head.size()));
    std::optional<DibLayout> dib =
        ReadDibLayout(head.subspan(14, infoEnd - 14), maxPixels, tooLarge);
    if (!dib) return std::nullopt;
    BitmapFileLayout file;
    file.bitsOffset = std::size_t(bitsOffset);
    file.storedRows =
        dib->RunLength()
            ? dib->height
            : int(std::min<std::uint64_t>((fileSize - bitsOffset) / dib->stride, dib->height));
    file.dib = std::move(*dib);
    return file;
}

}  // namespace tavrin::viewer
