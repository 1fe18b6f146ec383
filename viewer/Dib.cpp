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

struct Header {
    std::uint32_t size = 0;
    std::int64_t width = 0, height = 0;
    int bitCount = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t colorsUsed = 0;
    std::uint32_t masks[4] = {0, 0, 0, 0};
    bool haveMasks = false;
    bool core = false;
};

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

// RLE-compressed rows into 8-bit indices, bottom row first like the stored rows.
bool DecodeRle(std::span<const std::uint8_t> in, bool four, int width, int height,
               std::vector<std::uint8_t>& out) {
    out.assign(std::size_t(width) * std::size_t(height), 0);
    std::size_t i = 0;
    int x = 0, y = 0;
    auto put = [&](std::uint8_t v) {
        if (x < width && y < height) out[std::size_t(y) * std::size_t(width) + std::size_t(x)] = v;
        ++x;
    };
    while (i + 1 < in.size() && y < height) {
        std::uint8_t count = in[i], value = in[i + 1];
        i += 2;
        if (count) {
            for (int k = 0; k < count && x < width; ++k)
                put(four ? std::uint8_t(k % 2 ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return true;
        } else if (value == 2) {  // delta
            if (i + 1 >= in.size()) return true;
            x += in[i];
            y += in[i + 1];
            i += 2;
        } else {  // absolute run of `value` pixels, padded to a word
            int n = value;
            std::size_t bytes = four ? std::size_t((n + 1) / 2) : std::size_t(n);
            if (i + bytes > in.size()) bytes = in.size() - i;
            for (int k = 0; k < n; ++k) {
                std::size_t at = four ? i + std::size_t(k / 2) : i + std::size_t(k);
                if (at >= i + bytes) break;
                std::uint8_t b = in[at];
                put(four ? std::uint8_t(k % 2 ? b & 0x0F : b >> 4) : b);
            }
            i += bytes + (bytes & 1);
        }
    }
    return true;
}

}  // namespace

std::shared_ptr<const DibImage> DecodeDib(std::span<const std::uint8_t> info,
                                          std::span<const std::uint8_t> bits) {
    if (info.size() < 12) return nullptr;
    Header h;
    h.size = Le32(info.data());
    if (h.size == 12) {
        h.core = true;
        h.width = Le16(info.data() + 4);
        h.height = std::int16_t(Le16(info.data() + 6));
        h.bitCount = Le16(info.data() + 10);
    } else if (h.size >= 40 && h.size <= info.size()) {
        h.width = std::int32_t(Le32(info.data() + 4));
        h.height = std::int32_t(Le32(info.data() + 8));
        h.bitCount = Le16(info.data() + 14);
        h.compression = Le32(info.data() + 16);
        h.colorsUsed = Le32(info.data() + 32);
        if (h.size >= 52) {
            for (int k = 0; k < (h.size >= 56 ? 4 : 3); ++k)
                h.masks[k] = Le32(info.data() + 40 + 4 * k);
            h.haveMasks = true;
        }
    } else {
        return nullptr;
    }
    if (h.width <= 0 || h.height == 0) return nullptr;
    const bool bottomUp = h.height > 0;
    const std::int64_t width = h.width, height = bottomUp ? h.height : -h.height;
    if (width > 65535 || height > 65535 || width * height > kMaxDibPixels) return nullptr;
    const int bpp = h.bitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return nullptr;

    std::size_t tableAt = h.size;
    // Bit-field masks follow a plain 40-byte header.
    if ((h.compression == kBitFields || h.compression == kAlphaBitFields) && !h.haveMasks) {
        int n = h.compression == kAlphaBitFields ? 4 : 3;
        if (info.size() < tableAt + 4 * std::size_t(n)) return nullptr;
        for (int k = 0; k < n; ++k) h.masks[k] = Le32(info.data() + tableAt + 4 * std::size_t(k));
        tableAt += 4 * std::size_t(n);
        h.haveMasks = true;
    }
    // The colour table.
    std::vector<std::uint32_t> palette;
    if (bpp <= 8) {
        std::size_t entries = h.colorsUsed ? std::min<std::uint32_t>(h.colorsUsed, 256) : 1u << bpp;
        std::size_t entrySize = h.core ? 3 : 4;
        entries = std::min(entries, (info.size() - std::min(info.size(), tableAt)) / entrySize);
        for (std::size_t k = 0; k < entries; ++k) {
            const std::uint8_t* e = info.data() + tableAt + k * entrySize;
            palette.push_back(0xFF000000u | std::uint32_t(e[2]) << 16 | std::uint32_t(e[1]) << 8 |
                              e[0]);
        }
        if (palette.empty()) return nullptr;
    }

    auto image = std::make_shared<DibImage>();
    image->width = int(width);
    image->height = int(height);
    image->bottomUp = bottomUp;
    image->pixels.assign(std::size_t(width * height), 0xFF000000u);
    auto pixelAt = [&](std::int64_t storedRow) -> std::uint32_t* {
        std::int64_t row = bottomUp ? height - 1 - storedRow : storedRow;
        return image->pixels.data() + row * width;
    };
    auto paletteColor = [&](unsigned index) {
        return index < palette.size() ? palette[index] : palette.back();
    };

    if (h.compression == kRle8 || h.compression == kRle4) {
        if ((h.compression == kRle8) != (bpp == 8) || (h.compression == kRle4) != (bpp == 4))
            return nullptr;
        if (!bottomUp) return nullptr;
        std::vector<std::uint8_t> indices;
        DecodeRle(bits, h.compression == kRle4, int(width), int(height), indices);
        for (std::int64_t r = 0; r < height; ++r) {
            std::uint32_t* dst = pixelAt(r);
            for (std::int64_t x = 0; x < width; ++x)
                dst[x] = paletteColor(indices[std::size_t(r * width + x)]);
        }
        return image;
    }
    if (h.compression != kRgb && h.compression != kBitFields && h.compression != kAlphaBitFields)
        return nullptr;

    const std::size_t stride = std::size_t(((width * bpp + 31) / 32) * 4);
    if (bits.size() / stride < std::size_t(height)) return nullptr;

    // Masks of 16- and 32-bit rows.
    std::uint32_t masks[4] = {0, 0, 0, 0};
    if (h.haveMasks && (h.compression == kBitFields || h.compression == kAlphaBitFields)) {
        std::copy(std::begin(h.masks), std::end(h.masks), masks);
    } else if (bpp == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else {
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
    }
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    const bool plain32 = bpp == 32 && h.compression == kRgb;

    bool anyAlpha = false;
    for (std::int64_t r = 0; r < height; ++r) {
        const std::uint8_t* src = bits.data() + std::size_t(r) * stride;
        std::uint32_t* dst = pixelAt(r);
        for (std::int64_t x = 0; x < width; ++x) {
            std::uint32_t c;
            switch (bpp) {
                case 1:
                    c = paletteColor((src[x >> 3] >> (7 - (x & 7))) & 1);
                    break;
                case 4:
                    c = paletteColor((src[x >> 1] >> (x & 1 ? 0 : 4)) & 0x0F);
                    break;
                case 8:
                    c = paletteColor(src[x]);
                    break;
                case 16: {
                    std::uint32_t v = Le16(src + 2 * x);
                    c = 0xFF000000u | red.Get(v) << 16 | green.Get(v) << 8 | blue.Get(v);
                    break;
                }
                case 24: {
                    const std::uint8_t* p = src + 3 * x;
                    c = 0xFF000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
                    break;
                }
                default: {
                    std::uint32_t v = Le32(src + 4 * x);
                    if (plain32) {
                        if (v >> 24) anyAlpha = true;
                        c = v;
                    } else {
                        c = 0xFF000000u | red.Get(v) << 16 | green.Get(v) << 8 | blue.Get(v);
                    }
                    break;
                }
            }
            dst[x] = c;
        }
    }
    if (plain32) {
        // The fourth byte of plain 32-bit rows is usually left zero: then every pixel is
        // opaque. Otherwise it is kept as the pixel's alpha for blending records.
        image->hasAlpha = anyAlpha;
        if (!anyAlpha)
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

}  // namespace tavrin::viewer
