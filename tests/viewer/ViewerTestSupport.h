// Helpers of the viewer tests: the application object, pictures made by ImageMagick and
// decoded by Debian's djpeg, metafiles written byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace tavrin::viewer::test {

inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "test_viewer";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}

class ViewerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { EnsureApplication(); }
};

inline std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

// Runs ImageMagick's convert; the test fails when it does.
inline void Convert(const std::string& arguments) {
    ASSERT_EQ(tavrin::test::RunCommand("convert " + arguments + " 2>/dev/null"), 0) << arguments;
}

// The file header and the 40-byte bitmap header of a bitmap file, with its colour table.
inline std::string BitmapHeaders(int width, int height, int bitCount, std::size_t rowBytes,
                                 const std::vector<QRgb>& palette) {
    std::string out;
    auto u16 = [&](std::uint32_t v) { out += char(v & 0xFF), out += char((v >> 8) & 0xFF); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    const std::uint32_t offset = 14 + 40 + 4 * std::uint32_t(palette.size());
    out += "BM";
    u32(std::uint32_t(offset + rowBytes));
    u32(0);
    u32(offset);
    u32(40);
    u32(std::uint32_t(width));
    u32(std::uint32_t(height));
    u16(1);
    u16(std::uint32_t(bitCount));
    for (int i = 0; i < 6; ++i) u32(0);
    for (QRgb c : palette) u32(c & 0xFFFFFF);
    return out;
}

// The picture of a binary PPM or PGM (P6 or P5, maxval 255).
inline QImage ReadPpm(const std::string& bytes) {
    std::size_t pos = 0;
    auto token = [&] {
        while (pos < bytes.size()) {
            if (bytes[pos] == '#') {
                while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
            } else if (std::isspace(static_cast<unsigned char>(bytes[pos]))) {
                ++pos;
            } else {
                break;
            }
        }
        std::string t;
        while (pos < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[pos])))
            t += bytes[pos++];
        return t;
    };
    const std::string magic = token();
    if (magic != "P6" && magic != "P5") return {};
    const int channels = magic == "P6" ? 3 : 1;
    int w = std::stoi(token()), h = std::stoi(token()), max = std::stoi(token());
    ++pos;
    if (max != 255 || bytes.size() < pos + std::size_t(w) * h * channels) return {};
    QImage image(w, h, QImage::Format_RGB32);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + pos;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x, p += channels)
            row[x] = channels == 3 ? qRgb(p[0], p[1], p[2]) : qRgb(p[0], p[0], p[0]);
    }
    return image;
}

// The picture as an independent decoder gives it: Debian's djpeg where it is installed,
// else ImageMagick (both write a PPM).
inline QImage ReferenceDecode(const std::string& jpeg) {
    std::string ppm;
    const std::string command = tavrin::test::RunCommand("command -v djpeg >/dev/null") == 0
                                    ? "djpeg -pnm " + Quote(jpeg)
                                    : "convert " + Quote(jpeg) + " ppm:-";
    if (tavrin::test::RunCommand(command, &ppm) != 0) return {};
    return ReadPpm(ppm);
}

// The number of pixels in which two pictures of the same size differ by more than
// `tolerance` in a channel; -1 when the sizes differ.
inline int DifferentPixels(const QImage& a, const QImage& b, int tolerance = 0) {
    if (a.size() != b.size()) return -1;
    QImage x = a.convertToFormat(QImage::Format_RGB32);
    QImage y = b.convertToFormat(QImage::Format_RGB32);
    int different = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            if (std::abs(qRed(p[col]) - qRed(q[col])) > tolerance ||
                std::abs(qGreen(p[col]) - qGreen(q[col])) > tolerance ||
                std::abs(qBlue(p[col]) - qBlue(q[col])) > tolerance)
                ++different;
    }
    return different;
}

// A bitmap file written byte by byte, bottom row first: 24 bits a pixel, the colour of
// pixel (x, y) given by `colour`.
template <class Colour>
std::string Bitmap24(int width, int height, Colour colour) {
    const std::size_t stride = (std::size_t(width) * 3 + 3) / 4 * 4;
    std::string bytes = BitmapHeaders(width, height, 24, stride * height, {});
    std::string row(stride, '\0');
    for (int stored = 0; stored < height; ++stored) {
        const int y = height - 1 - stored;
        for (int x = 0; x < width; ++x) {
            const QRgb c = colour(x, y);
            row[3 * x] = char(qBlue(c));
            row[3 * x + 1] = char(qGreen(c));
            row[3 * x + 2] = char(qRed(c));
        }
        bytes += row;
    }
    return bytes;
}

// A black-and-white bitmap file of 1 bit a pixel: every byte of row y is `rowByte(y)`, so
// pixel (x, y) is white when bit 7 - x % 8 of it is set.
template <class RowByte>
std::string Bitmap1(int width, int height, RowByte rowByte) {
    const std::size_t stride = (std::size_t(width) + 31) / 32 * 4;
    std::string bytes =
        BitmapHeaders(width, height, 1, stride * height, {0xFF000000u, 0xFFFFFFFFu});
    bytes.reserve(bytes.size() + stride * height);
    for (int stored = 0; stored < height; ++stored)
        bytes.append(stride, char(rowByte(height - 1 - stored)));
    return bytes;
}

inline QColor Pixel(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

// Little-endian bytes of a metafile under construction.
class Bytes {
  public:
    Bytes& U8(std::uint8_t v) {
        data_.push_back(char(v));
        return *this;
    }
    Bytes& U16(std::uint16_t v) { return U8(std::uint8_t(v)).U8(std::uint8_t(v >> 8)); }
    Bytes& I16(std::int16_t v) { return U16(std::uint16_t(v)); }
    Bytes& U32(std::uint32_t v) { return U16(std::uint16_t(v)).U16(std::uint16_t(v >> 16)); }
    Bytes& I32(std::int32_t v) { return U32(std::uint32_t(v)); }
    Bytes& Raw(const std::string& s) {
        data_ += s;
        return *this;
    }
    Bytes& Pad(std::size_t multiple) {
        while (data_.size() % multiple) data_.push_back('\0');
        return *this;
    }
    std::size_t Size() const { return data_.size(); }
    const std::string& Str() const { return data_; }
    std::string& Mutable() { return data_; }

  private:
    std::string data_;
};

// A Windows metafile written record by record.
class Wmf {
  public:
    // Parameters are 16-bit words in the order the file stores them.
    Wmf& Record(std::uint16_t function, std::initializer_list<int> words, const Bytes& tail = {}) {
        Bytes params;
        for (int w : words) params.I16(std::int16_t(w));
        params.Raw(tail.Str()).Pad(2);
        records_.U32(std::uint32_t(3 + params.Size() / 2)).U16(function).Raw(params.Str());
        return *this;
    }
    Wmf& Color(std::uint16_t function, std::uint32_t colorref) {
        return Record(function, {int(colorref & 0xFFFF), int(colorref >> 16)});
    }
    Wmf& Pen(int style, int width, std::uint32_t colorref) {
        return Record(0x02FA, {style, width, 0, int(colorref & 0xFFFF), int(colorref >> 16)});
    }
    Wmf& Brush(int style, std::uint32_t colorref, int hatch = 0) {
        return Record(0x02FC, {style, int(colorref & 0xFFFF), int(colorref >> 16), hatch});
    }
    Wmf& Select(int slot) { return Record(0x012D, {slot}); }
    Wmf& Rectangle(int l, int t, int r, int b) { return Record(0x041B, {b, r, t, l}); }
    Wmf& MoveTo(int x, int y) { return Record(0x0214, {y, x}); }
    Wmf& LineTo(int x, int y) { return Record(0x0213, {y, x}); }
    Wmf& Raw(const std::string& bytes) {
        records_.Raw(bytes);
        return *this;
    }

    std::string Build(int left, int top, int right, int bottom, int inch,
                      bool placeable = true) const {
        Bytes out;
        if (placeable) {
            Bytes head;
            head.U32(0x9AC6CDD7).U16(0).I16(std::int16_t(left)).I16(std::int16_t(top));
            head.I16(std::int16_t(right)).I16(std::int16_t(bottom)).U16(std::uint16_t(inch)).U32(0);
            std::uint16_t sum = 0;
            for (std::size_t i = 0; i < head.Size(); i += 2)
                sum ^= std::uint16_t(std::uint8_t(head.Str()[i]) | std::uint8_t(head.Str()[i + 1])
                                                                       << 8);
            out.Raw(head.Str()).U16(sum);
        }
        const std::uint32_t words = std::uint32_t(9 + records_.Size() / 2 + 3);
        out.U16(1).U16(9).U16(0x0300).U32(words).U16(8).U32(64).U16(0);
        out.Raw(records_.Str());
        out.U32(3).U16(0);  // end of file
        return out.Str();
    }

  private:
    Bytes records_;
};

// An enhanced metafile of a 96 x 48 frame with a red rectangle from (10, 10) to (50, 40).
inline std::string RedRectangleEmf() {
    test::Bytes emf;
    emf.U32(1).U32(88).I32(0).I32(0).I32(95).I32(47).I32(0).I32(0).I32(2540).I32(1270);
    emf.U32(0x464D4520).U32(0x10000).U32(88 + 28 + 16 + 20).U32(4).U16(4).U16(0);
    emf.U32(0).U32(0).U32(0).I32(960).I32(960).I32(254).I32(254);
    emf.U32(39).U32(24).U32(1).U32(0).U32(0x0000FF).U32(0);  // a red brush
    emf.U32(37).U32(12).U32(1);
    emf.U32(43).U32(24).I32(10).I32(10).I32(50).I32(40);
    emf.U32(14).U32(20).U32(0).U32(16).U32(20);
    return emf.Str();
}

}  // namespace tavrin::viewer::test
