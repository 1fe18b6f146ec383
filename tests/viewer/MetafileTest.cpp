// Metafiles written record by record, read and drawn; the pixels of the picture are checked.
#include <gtest/gtest.h>

#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/MetafileRenderer.h"
#include "viewer/PictureLoader.h"

namespace tavrin::viewer {
namespace {

using test::Bytes;
using test::Pixel;
using test::Wmf;

const QColor kWhite(255, 255, 255), kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255);
constexpr std::uint32_t kRedRef = 0x0000FF, kGreenRef = 0x00FF00, kBlueRef = 0xFF0000;

std::span<const std::uint8_t> Span(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

QImage Render(const std::string& bytes) {
    auto mf = ReadMetafile(Span(bytes));
    if (!mf) return {};
    return RenderMetafile(*mf, MetafileDisplaySize(*mf));
}

// A bottom-up 2 x 2 bitmap: top row red, white; bottom row blue, green.
Bytes Dib24() {
    Bytes b;
    b.U32(40).I32(2).I32(2).U16(1).U16(24).U32(0).U32(16).I32(0).I32(0).U32(0).U32(0);
    // Rows are stored bottom first, blue-green-red, each padded to 4 bytes.
    b.U8(255).U8(0).U8(0).U8(0).U8(255).U8(0).U16(0);      // blue, green
    b.U8(0).U8(0).U8(255).U8(255).U8(255).U8(255).U16(0);  // red, white
    return b;
}

// The same picture with 8 bits per pixel and a colour table.
Bytes Dib8() {
    Bytes b;
    b.U32(40).I32(2).I32(2).U16(1).U16(8).U32(0).U32(8).I32(0).I32(0).U32(4).U32(0);
    b.U32(0x0000FF).U32(0x00FF00).U32(0xFF0000).U32(0xFFFFFF);  // blue, green, red, white
    b.U8(0).U8(1).U16(0);
    b.U8(2).U8(3).U16(0);
    return b;
}

// The same picture top-down with 32 bits per pixel.
Bytes Dib32TopDown() {
    Bytes b;
    b.U32(40).I32(2).I32(-2).U16(1).U16(32).U32(0).U32(16).I32(0).I32(0).U32(0).U32(0);
    b.U32(0xFF0000).U32(0xFFFFFF);
    b.U32(0x0000FF).U32(0x00FF00);
    return b;
}

// A red-outlined blue rectangle and a green line, in a 200 x 100 picture.
Wmf RectangleAndLine() {
    Wmf w;
    w.Record(0x0103, {8})  // SetMapMode(MM_ANISOTROPIC)
        .Record(0x020B, {0, 0})
        .Record(0x020C, {100, 200})
        .Pen(0, 1, kRedRef)  // slot 0
        .Brush(0, kBlueRef)  // slot 1
        .Select(0)
        .Select(1)
        .Rectangle(20, 10, 80, 60)
        .Pen(0, 1, kGreenRef)  // slot 2
        .Select(2)
        .MoveTo(100, 50)
        .LineTo(190, 50);
    return w;
}

class MetafileTest : public test::ViewerTest {};

TEST_F(MetafileTest, WmfRectangleAndColouredLine) {
    QImage image = Render(RectangleAndLine().Build(0, 0, 200, 100, 96));
    ASSERT_EQ(image.size(), QSize(200, 100));
    EXPECT_EQ(Pixel(image, 50, 35), kBlue);   // inside
    EXPECT_EQ(Pixel(image, 20, 35), kRed);    // left edge
    EXPECT_EQ(Pixel(image, 79, 35), kRed);    // right edge, one in from the right side
    EXPECT_EQ(Pixel(image, 50, 10), kRed);    // top edge
    EXPECT_EQ(Pixel(image, 50, 59), kRed);    // bottom edge
    EXPECT_EQ(Pixel(image, 80, 35), kWhite);  // outside
    EXPECT_EQ(Pixel(image, 50, 60), kWhite);
    EXPECT_EQ(Pixel(image, 10, 5), kWhite);
    EXPECT_EQ(Pixel(image, 100, 50), kGreen);  // the line's first pixel
    EXPECT_EQ(Pixel(image, 150, 50), kGreen);
    EXPECT_EQ(Pixel(image, 150, 49), kWhite);
    EXPECT_EQ(Pixel(image, 150, 51), kWhite);
    EXPECT_EQ(Pixel(image, 190, 50), kWhite);  // the last point is left out
}

TEST_F(MetafileTest, WmfSizeComesFromThePlaceableHeader) {
    auto mf = ReadMetafile(Span(RectangleAndLine().Build(0, 0, 2880, 1440, 1440)));
    ASSERT_TRUE(mf);
    EXPECT_FALSE(mf->enhanced);
    EXPECT_EQ(mf->size, (PixelSize{192, 96}));  // two inches by one
    // A reversed box is the same box.
    mf = ReadMetafile(Span(RectangleAndLine().Build(2880, 1440, 0, 0, 1440)));
    ASSERT_TRUE(mf);
    EXPECT_EQ(mf->size, (PixelSize{192, 96}));
}

TEST_F(MetafileTest, WmfWindowIsMappedOntoThePicture) {
    // Logical units five times smaller than the picture's pixels.
    Wmf w;
    w.Record(0x0103, {8})
        .Record(0x020B, {0, 0})
        .Record(0x020C, {500, 1000})
        .Brush(0, kBlueRef)
        .Select(0)
        .Rectangle(100, 100, 500, 300);
    QImage image = Render(w.Build(0, 0, 200, 100, 96));
    ASSERT_EQ(image.size(), QSize(200, 100));
    EXPECT_EQ(Pixel(image, 60, 40), kBlue);
    EXPECT_EQ(Pixel(image, 22, 22), kBlue);
    EXPECT_EQ(Pixel(image, 18, 40), kWhite);
    EXPECT_EQ(Pixel(image, 102, 40), kWhite);
    EXPECT_EQ(Pixel(image, 60, 62), kWhite);
}

TEST_F(MetafileTest, WmfWithoutPlaceableHeaderTakesItsWindowAsPixels) {
    QImage image = Render(RectangleAndLine().Build(0, 0, 0, 0, 0, false));
    ASSERT_EQ(image.size(), QSize(200, 100));
    EXPECT_EQ(Pixel(image, 50, 35), kBlue);
    EXPECT_EQ(Pixel(image, 150, 50), kGreen);
}

TEST_F(MetafileTest, WmfObjectsTakeTheLowestFreeSlot) {
    Wmf w;
    w.Record(0x0103, {8}).Record(0x020B, {0, 0}).Record(0x020C, {100, 200});
    w.Pen(0, 1, kRedRef)       // slot 0
        .Brush(1, 0)           // slot 1 (hollow)
        .Record(0x01F0, {0})   // delete slot 0
        .Pen(0, 1, kGreenRef)  // slot 0 again
        .Pen(0, 1, kBlueRef)   // slot 2
        .Select(0)
        .MoveTo(10, 20)
        .LineTo(100, 20)
        .Select(2)
        .MoveTo(10, 40)
        .LineTo(100, 40);
    QImage image = Render(w.Build(0, 0, 200, 100, 96));
    EXPECT_EQ(Pixel(image, 50, 20), kGreen);
    EXPECT_EQ(Pixel(image, 50, 40), kBlue);
}

TEST_F(MetafileTest, WmfStretchDibAndDibStretchBlt) {
    Wmf w;
    w.Record(0x0103, {8}).Record(0x020B, {0, 0}).Record(0x020C, {100, 200});
    // StretchDIB: rop (2 words), usage, source h, w, y, x, destination h, w, y, x, bitmap.
    w.Record(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 40, 40, 10, 10}, Dib24());
    // DIBStretchBlt of the 8-bit bitmap: rop, source h, w, y, x, destination h, w, y, x.
    w.Record(0x0B41, {0x0020, 0x00CC, 2, 2, 0, 0, 40, 40, 10, 100}, Dib8());
    QImage image = Render(w.Build(0, 0, 200, 100, 96));
    for (int x0 : {10, 100}) {
        SCOPED_TRACE(x0);
        EXPECT_EQ(Pixel(image, x0 + 5, 15), kRed);
        EXPECT_EQ(Pixel(image, x0 + 35, 15), kWhite);
        EXPECT_EQ(Pixel(image, x0 + 5, 45), kBlue);
        EXPECT_EQ(Pixel(image, x0 + 35, 45), kGreen);
        EXPECT_EQ(Pixel(image, x0 + 45, 45), kWhite);  // beyond the bitmap
        // Enlarged pixel by pixel: each source pixel is a square of one colour.
        EXPECT_EQ(Pixel(image, x0 + 19, 29), kRed);
        EXPECT_EQ(Pixel(image, x0 + 20, 29), kWhite);
        EXPECT_EQ(Pixel(image, x0 + 19, 30), kBlue);
    }
}

TEST_F(MetafileTest, WmfPolyPolygonHonoursTheFillMode) {
    auto picture = [](int fillMode) {
        Wmf w;
        w.Record(0x0103, {8}).Record(0x020B, {0, 0}).Record(0x020C, {100, 200});
        w.Brush(0, kBlueRef).Select(0).Pen(5, 0, 0).Select(1);
        w.Record(0x0106, {fillMode});
        // Two squares, the second inside the first, both drawn the same way round.
        w.Record(0x0538, {2, 4, 4, 10, 10, 90, 10, 90, 90, 10, 90, 30, 30, 70, 30, 70, 70, 30, 70});
        return Render(w.Build(0, 0, 200, 100, 96));
    };
    QImage alternate = picture(1), winding = picture(2);
    EXPECT_EQ(Pixel(alternate, 20, 50), kBlue);
    EXPECT_EQ(Pixel(alternate, 50, 50), kWhite);  // the hole
    EXPECT_EQ(Pixel(winding, 20, 50), kBlue);
    EXPECT_EQ(Pixel(winding, 50, 50), kBlue);
}

TEST_F(MetafileTest, WmfDamagedRecordsAreSkippedOrEndTheFile) {
    // A polygon that claims more points than its record holds is skipped; the next record
    // still draws.
    Wmf w;
    w.Record(0x0103, {8}).Record(0x020B, {0, 0}).Record(0x020C, {100, 200});
    w.Brush(0, kBlueRef).Select(0);
    w.Record(0x0324, {30000, 1, 2});
    w.Record(0x0999, {1, 2, 3});  // unknown
    w.Rectangle(10, 10, 50, 50);
    QImage image = Render(w.Build(0, 0, 200, 100, 96));
    EXPECT_EQ(Pixel(image, 30, 30), kBlue);

    // A record longer than the file ends the reading; what came before is drawn.
    Wmf cut;
    cut.Record(0x0103, {8}).Record(0x020B, {0, 0}).Record(0x020C, {100, 200});
    cut.Brush(0, kBlueRef).Select(0).Rectangle(10, 10, 50, 50);
    cut.Raw(Bytes().U32(0x7FFFFFFF).U16(0x041B).I16(1).Str());
    image = Render(cut.Build(0, 0, 200, 100, 96));
    EXPECT_EQ(Pixel(image, 30, 30), kBlue);
}

TEST_F(MetafileTest, WmfNotAMetafile) {
    EXPECT_FALSE(ReadMetafile(Span(std::string("hello world, not a metafile"))));
    EXPECT_FALSE(ReadMetafile(Span(std::string())));
    // A placeable header with an empty box.
    EXPECT_FALSE(ReadMetafile(Span(RectangleAndLine().Build(5, 5, 5, 5, 96))));
}

// --- Enhanced metafiles -----------------------------------------------------------------

class Emf {
  public:
    Emf& Record(std::uint32_t type, const Bytes& params = {}) {
        Bytes p = params;
        p.Pad(4);
        records_.U32(type).U32(std::uint32_t(8 + p.Size())).Raw(p.Str());
        ++count_;
        return *this;
    }
    Emf& Ints(std::uint32_t type, std::initializer_list<std::int32_t> values) {
        Bytes p;
        for (std::int32_t v : values) p.I32(v);
        return Record(type, p);
    }
    Emf& Pen(std::uint32_t index, int style, int width, std::uint32_t colorref) {
        return Ints(38, {std::int32_t(index), style, width, 0, std::int32_t(colorref)});
    }
    Emf& Brush(std::uint32_t index, int style, std::uint32_t colorref, int hatch = 0) {
        return Ints(39, {std::int32_t(index), style, std::int32_t(colorref), hatch});
    }
    Emf& Select(std::uint32_t index) { return Ints(37, {std::int32_t(index)}); }
    Emf& Rectangle(int l, int t, int r, int b) { return Ints(43, {l, t, r, b}); }
    Emf& MoveTo(int x, int y) { return Ints(27, {x, y}); }
    Emf& LineTo(int x, int y) { return Ints(54, {x, y}); }
    // StretchDIBits of a bitmap (header and rows given together, header 40 bytes plus
    // `tableBytes` of colour table).
    Emf& StretchDib(int x, int y, int w, int h, const Bytes& dib, int tableBytes, int srcW = 2,
                    int srcH = 2) {
        const int fixed = 8 + 16 + 4 * 6 + 4 * 4 + 4 + 4 + 4 * 2;
        const int infoSize = 40 + tableBytes;
        Bytes p;
        p.I32(x).I32(y).I32(x + w).I32(y + h);  // bounds
        p.I32(x).I32(y).I32(0).I32(0).I32(srcW).I32(srcH);
        p.U32(std::uint32_t(fixed)).U32(std::uint32_t(infoSize));
        p.U32(std::uint32_t(fixed + infoSize))
            .U32(std::uint32_t(dib.Size() - std::size_t(infoSize)));
        p.U32(0).U32(0x00CC0020).I32(w).I32(h);
        p.Raw(dib.Str());
        return Record(81, p);
    }
    Emf& Raw(const std::string& bytes) {
        records_.Raw(bytes);
        return *this;
    }

    // A picture whose frame is `widthPx` by `heightPx` pixels of a 96 dpi device.
    std::string Build(int widthPx, int heightPx) const {
        Bytes out;
        const std::uint32_t total = std::uint32_t(88 + records_.Size() + 20);
        out.U32(1).U32(88);
        out.I32(0).I32(0).I32(widthPx - 1).I32(heightPx - 1);                  // bounds
        out.I32(0).I32(0).I32(widthPx * 2540 / 96).I32(heightPx * 2540 / 96);  // frame
        out.U32(0x464D4520).U32(0x10000).U32(total).U32(std::uint32_t(count_ + 2));
        out.U16(16).U16(0).U32(0).U32(0).U32(0);
        out.I32(960).I32(960).I32(254).I32(254);  // 96 pixels to the inch
        out.Raw(records_.Str());
        out.U32(14).U32(20).U32(0).U32(16).U32(20);
        return out.Str();
    }

  private:
    Bytes records_;
    int count_ = 0;
};

Emf EmfRectangleAndLine() {
    Emf e;
    e.Pen(1, 0, 1, kRedRef)
        .Brush(2, 0, kGreenRef)
        .Select(1)
        .Select(2)
        .Rectangle(20, 10, 80, 60)
        .Pen(3, 0, 3, kBlueRef)
        .Select(3)
        .MoveTo(100, 50)
        .LineTo(180, 50);
    return e;
}

TEST_F(MetafileTest, EmfRectangleAndThickColouredLine) {
    auto mf = ReadMetafile(Span(EmfRectangleAndLine().Build(192, 96)));
    ASSERT_TRUE(mf);
    EXPECT_TRUE(mf->enhanced);
    EXPECT_EQ(mf->size, (PixelSize{192, 96}));
    QImage image = RenderMetafile(*mf, QSize(192, 96));
    EXPECT_EQ(Pixel(image, 50, 35), kGreen);
    EXPECT_EQ(Pixel(image, 20, 35), kRed);
    EXPECT_EQ(Pixel(image, 79, 35), kRed);
    EXPECT_EQ(Pixel(image, 81, 35), kWhite);
    EXPECT_EQ(Pixel(image, 140, 50), kBlue);
    EXPECT_EQ(Pixel(image, 140, 49), kBlue);  // three pixels wide
    EXPECT_EQ(Pixel(image, 140, 51), kBlue);
    EXPECT_EQ(Pixel(image, 140, 53), kWhite);
    EXPECT_EQ(Pixel(image, 140, 47), kWhite);
}

TEST_F(MetafileTest, EmfDrawnLargerScalesWithThePicture) {
    auto mf = ReadMetafile(Span(EmfRectangleAndLine().Build(192, 96)));
    ASSERT_TRUE(mf);
    QImage image = RenderMetafile(*mf, QSize(384, 192));
    EXPECT_EQ(Pixel(image, 100, 70), kGreen);
    EXPECT_EQ(Pixel(image, 40, 70), kRed);  // the pen is two pixels wide now
    EXPECT_EQ(Pixel(image, 42, 70), kGreen);
    EXPECT_EQ(Pixel(image, 170, 70), kWhite);
    EXPECT_EQ(Pixel(image, 280, 100), kBlue);
    EXPECT_EQ(Pixel(image, 280, 98), kBlue);  // six pixels wide now
    EXPECT_EQ(Pixel(image, 280, 102), kBlue);
    EXPECT_EQ(Pixel(image, 280, 95), kWhite);
    EXPECT_EQ(Pixel(image, 280, 105), kWhite);
}

TEST_F(MetafileTest, EmfMappingModes) {
    // Isotropic: the smaller of the two scales holds for both directions.
    Emf iso;
    iso.Ints(17, {7}).Ints(9, {100, 100}).Ints(11, {200, 100});
    iso.Brush(1, 0, kBlueRef).Select(1).Select(0x80000008);  // no pen
    iso.Rectangle(0, 0, 50, 50);
    QImage image = Render(iso.Build(192, 96));
    EXPECT_EQ(Pixel(image, 25, 25), kBlue);
    EXPECT_EQ(Pixel(image, 75, 25), kWhite);
    EXPECT_EQ(Pixel(image, 25, 75), kWhite);

    // Anisotropic with a moved window origin and a viewport origin.
    Emf aniso;
    aniso.Ints(17, {8}).Ints(9, {100, 100}).Ints(11, {200, 50}).Ints(10, {50, 0});
    aniso.Ints(12, {10, 10});
    aniso.Brush(1, 0, kBlueRef).Select(1).Select(0x80000008);
    aniso.Rectangle(50, 0, 100, 100);  // device (10, 10) to (110, 60)
    image = Render(aniso.Build(192, 96));
    EXPECT_EQ(Pixel(image, 12, 12), kBlue);
    EXPECT_EQ(Pixel(image, 108, 58), kBlue);
    EXPECT_EQ(Pixel(image, 112, 30), kWhite);
    EXPECT_EQ(Pixel(image, 60, 62), kWhite);
    EXPECT_EQ(Pixel(image, 8, 30), kWhite);

    // Metric: a tenth of a millimetre per unit, the y axis pointing up from the origin.
    Emf metric;
    metric.Ints(17, {2}).Ints(12, {0, 96});
    metric.Brush(1, 0, kBlueRef).Select(1).Select(0x80000008);
    metric.Rectangle(0, 254, 254, 0);  // one inch square from the bottom left
    image = Render(metric.Build(192, 96));
    EXPECT_EQ(Pixel(image, 48, 48), kBlue);
    EXPECT_EQ(Pixel(image, 100, 48), kWhite);
}

TEST_F(MetafileTest, EmfSavedStatesAndClipping) {
    Emf e;
    e.Pen(1, 0, 1, kRedRef).Pen(2, 0, 1, kBlueRef).Brush(3, 0, kGreenRef);
    e.Select(1).Select(3);
    e.Record(33);                // SaveDC
    e.Select(2);                 // blue, forgotten by the restore below
    e.Ints(30, {0, 0, 40, 40});  // IntersectClipRect
    e.Select(0x80000008).Rectangle(0, 0, 96, 96);
    e.Ints(34, {-1});  // RestoreDC: red pen, no clipping
    e.MoveTo(100, 80).LineTo(180, 80);
    e.Select(0x80000005).Rectangle(120, 10, 170, 60);  // hollow
    QImage image = Render(e.Build(192, 96));
    EXPECT_EQ(Pixel(image, 20, 20), kGreen);
    EXPECT_EQ(Pixel(image, 60, 60), kWhite);  // clipped away
    EXPECT_EQ(Pixel(image, 140, 80), kRed);
    EXPECT_EQ(Pixel(image, 120, 30), kRed);
    EXPECT_EQ(Pixel(image, 145, 35), kWhite);  // the null brush leaves the inside
}

TEST_F(MetafileTest, EmfBitmaps) {
    Emf e;
    e.StretchDib(10, 10, 40, 40, Dib24(), 0);
    e.StretchDib(100, 10, 40, 40, Dib32TopDown(), 0);
    QImage image = Render(e.Build(192, 96));
    for (int x0 : {10, 100}) {
        SCOPED_TRACE(x0);
        EXPECT_EQ(Pixel(image, x0 + 5, 15), kRed);
        EXPECT_EQ(Pixel(image, x0 + 35, 15), kWhite);
        EXPECT_EQ(Pixel(image, x0 + 5, 45), kBlue);
        EXPECT_EQ(Pixel(image, x0 + 35, 45), kGreen);
        EXPECT_EQ(Pixel(image, x0 + 45, 45), kWhite);
    }
}

TEST_F(MetafileTest, EmfBitmapWhoseRowsLieOutsideItsRecordIsSkipped) {
    Emf e;
    Bytes dib = Dib24();
    dib.Mutable().resize(dib.Size() - 8);  // the second row is cut off
    e.StretchDib(10, 10, 40, 40, dib, 0);
    e.Brush(1, 0, kBlueRef).Select(1).Rectangle(100, 10, 140, 50);
    QImage image = Render(e.Build(192, 96));
    EXPECT_EQ(Pixel(image, 20, 20), kWhite);
    EXPECT_EQ(Pixel(image, 120, 30), kBlue);
}

TEST_F(MetafileTest, EmfTextInTheTextColour) {
    Emf e;
    Bytes font;
    font.U32(1).I32(-30).I32(0).I32(0).I32(0).I32(700).U8(0).U8(0).U8(0).U8(0).U32(0);
    for (char16_t c : std::u16string(u"DejaVu Sans")) font.U16(c);
    while (font.Size() < 4 + 92) font.U16(0);
    e.Record(82, font).Select(1);
    e.Ints(24, {std::int32_t(kRedRef)});  // SetTextColor
    e.Ints(18, {1});                      // SetBkMode(TRANSPARENT)
    Bytes text;
    const std::u16string chars = u"HH";
    const std::uint32_t fixed = 8 + 16 + 12 + 8 + 4 * 3 + 16 + 4;
    text.I32(0).I32(0).I32(0).I32(0).U32(1).U32(0).U32(0);
    text.I32(20).I32(20).U32(std::uint32_t(chars.size())).U32(fixed).U32(0);
    text.I32(0).I32(0).I32(-1).I32(-1).U32(0);
    for (char16_t c : chars) text.U16(c);
    e.Record(84, text);
    QImage image = Render(e.Build(192, 96));
    int red = 0, otherInk = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QColor c = Pixel(image, x, y);
            if (c == kWhite) continue;
            const bool inBox = x >= 18 && x < 80 && y >= 18 && y < 52;
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60 && inBox)
                ++red;
            else if (!inBox)
                ++otherInk;
        }
    }
    EXPECT_GT(red, 60);
    EXPECT_EQ(otherInk, 0);
}

TEST_F(MetafileTest, EmfDamagedInputNeverReadsOutside) {
    const std::string good = EmfRectangleAndLine().Build(192, 96);
    // Every cut of the file either fails to read or draws without harm.
    for (std::size_t n = 0; n < good.size(); n += 3) {
        auto mf = ReadMetafile(Span(good.substr(0, n)));
        if (mf) {
            EXPECT_FALSE(RenderMetafile(*mf, QSize(48, 24)).isNull());
        }
    }
    // Counts and offsets far beyond the record.
    Emf e;
    e.Ints(86, {0, 0, 10, 10, 0x7FFFFFFF, 1});           // Polygon16 with 2^31 points
    e.Ints(91, {0, 0, 10, 10, 3, 4, 0x7FFFFFFF, 1, 1});  // PolyPolygon16
    e.Ints(81, {0, 0, 1, 1, 0, 0, 0, 0, 2, 2, 1 << 30, 40, 1 << 30, 16, 0, 0x00CC0020, 5, 5});
    e.Ints(84, {0, 0, 1, 1, 1, 0, 0, 5, 5, 1000000, 1 << 30, 0, 0, 0, 9, 9, 1 << 30});
    e.Ints(37, {-1}).Ints(40, {12345}).Ints(34, {-100}).Ints(34, {100});
    e.Record(250, Bytes().U32(1).U32(2));  // unknown
    e.Brush(1, 0, kBlueRef).Select(1).Rectangle(100, 10, 140, 50);
    QImage image = Render(e.Build(192, 96));
    EXPECT_EQ(Pixel(image, 120, 30), kBlue);
    // A record size that is not a multiple of four ends the reading.
    std::string odd = e.Build(192, 96);
    odd[88 + 4] = 9;
    auto mf = ReadMetafile(Span(odd));
    ASSERT_TRUE(mf);
    EXPECT_TRUE(mf->commands.empty());
}

TEST_F(MetafileTest, EitherKindLoadsUnderEitherExtension) {
    tavrin::test::TempDir dir;
    tavrin::test::WriteFile(dir / "a.wmf", EmfRectangleAndLine().Build(192, 96));
    tavrin::test::WriteFile(dir / "b.emf", RectangleAndLine().Build(0, 0, 200, 100, 96));
    EXPECT_EQ(LoadStillPicture(dir / "a.wmf", PictureKind::Metafile).size(), QSize(192, 96));
    EXPECT_EQ(LoadStillPicture(dir / "b.emf", PictureKind::EnhancedMetafile).size(),
              QSize(200, 100));
    EXPECT_TRUE(LoadStillPicture(dir / "missing.emf", PictureKind::EnhancedMetafile).isNull());
}

TEST_F(MetafileTest, HugePicturesAreShownScaledDown) {
    Emf e;
    e.Rectangle(0, 0, 10, 10);
    auto mf = ReadMetafile(Span(e.Build(40000, 20000)));
    ASSERT_TRUE(mf);
    EXPECT_EQ(MetafileDisplaySize(*mf), QSize(kMaxMetafileSide, kMaxMetafileSide / 2));
    EXPECT_EQ(MetafileDisplaySize(*mf, 100), QSize(100, 50));
}

}  // namespace
}  // namespace tavrin::viewer
