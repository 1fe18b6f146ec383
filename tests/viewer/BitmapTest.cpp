// Bitmap files read by our own bitmap reader, compared pixel by pixel with ImageMagick's
// reading of the same files; files cut short; what is drawn while a bitmap still loads.
#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>
#include <cstring>
#include <memory>

#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/BitmapLoader.h"
#include "viewer/Dib.h"

namespace tavrin::viewer {
namespace {

using tavrin::test::ReadFile;
using tavrin::test::RunCommand;
using tavrin::test::TempDir;
using tavrin::test::WriteFile;
using test::Convert;
using test::Quote;

constexpr QRgb kFill = 0xFF123456;

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

void SetLe32(std::string& bytes, std::size_t at, std::uint32_t v) {
    std::memcpy(bytes.data() + at, &v, 4);
}

class BitmapTest : public test::ViewerTest {
  protected:
    // A colourful picture saved by ImageMagick with the given output options.
    std::string Make(const std::string& name, const std::string& options, int w = 67, int h = 45) {
        std::string path = dir / name;
        Convert("-seed 4 -size " + std::to_string(w) + "x" + std::to_string(h) +
                " plasma:fractal " + options + " " + Quote("BMP3:" + path));
        return path;
    }
    std::string MakeV5(const std::string& name, const std::string& options) {
        std::string path = dir / name;
        Convert("-seed 4 -size 67x45 plasma:fractal " + options + " " + Quote("BMP:" + path));
        return path;
    }

    // The picture as ImageMagick reads the file.
    static QImage Reference(const std::string& path) {
        std::string ppm;
        if (RunCommand("convert " + Quote(path) + " -alpha off -depth 8 ppm:-", &ppm) != 0)
            return {};
        return test::ReadPpm(ppm);
    }

    // Loads the file to its end, as the viewer does.
    static QImage Load(const std::string& path, BitmapLoader::Status* status = nullptr,
                       int* missing = nullptr) {
        BitmapLoader::Status s;
        std::unique_ptr<BitmapLoader> loader = BitmapLoader::Open(path, kFill, &s);
        if (status) *status = s;
        if (!loader) return {};
        if (missing) *missing = loader->MissingRows();
        bool done = false, good = false;
        loader->Start([] {}, [&](bool ok) { done = true, good = ok; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 30000));
        EXPECT_TRUE(good);
        return loader->Picture();
    }

    TempDir dir;
};

TEST_F(BitmapTest, EveryKindOfBitmapMatchesAnIndependentReader) {
    const std::vector<std::string> files = {
        Make("rgb24.bmp", "-compress None"),
        Make("palette8.bmp", "-colors 200 -type Palette -compress None"),
        Make("rle8.bmp", "-colors 200 -type Palette -compress RLE"),
        Make("palette4.bmp", "-colors 12 -type Palette -compress None"),
        Make("mono.bmp", "-monochrome -compress None"),
        MakeV5("rgb565.bmp", "-define bmp:subtype=RGB565"),
        MakeV5("argb32.bmp", "-alpha set -channel A -evaluate set 60% +channel"),
    };
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        QImage reference = Reference(path);
        ASSERT_FALSE(reference.isNull());
        QImage picture = Load(path);
        ASSERT_EQ(picture.size(), QSize(67, 45));
        // Five bits of a 16-bit pixel spread over 0..255 may round one step apart.
        EXPECT_EQ(test::DifferentPixels(picture, reference, 1), 0);
        // A bitmap file's picture is opaque.
        EXPECT_EQ(qAlpha(picture.pixel(10, 10)), 255);
    }
}

TEST_F(BitmapTest, FileCutShortShowsItsRowsAndTheFillColourForTheRest) {
    const std::string whole = Make("whole.bmp", "-compress None", 64, 48);
    const QImage reference = Reference(whole);
    const std::string bytes = ReadFile(whole);
    const std::size_t offset = Le32(bytes, 10), stride = 64 * 3;
    // The last 18 stored rows (the top of the picture, stored bottom row first) are gone and
    // the row before them is incomplete.
    WriteFile(dir / "cut.bmp", bytes.substr(0, offset + 30 * stride + 100));
    int missing = 0;
    QImage cut = Load(dir / "cut.bmp", nullptr, &missing);
    ASSERT_EQ(cut.size(), QSize(64, 48));
    EXPECT_EQ(missing, 18);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(cut.pixel(x, y), y < 18 ? kFill : reference.pixel(x, y)) << x << "," << y;

    // Stored top row first (a negative height), the bottom rows are the ones missing.
    std::string topDown = bytes.substr(0, offset);
    SetLe32(topDown, 22, std::uint32_t(-48));
    for (int row = 47; row >= 0; --row) topDown += bytes.substr(offset + row * stride, stride);
    WriteFile(dir / "topdown.bmp", topDown.substr(0, offset + 10 * stride));
    QImage top = Load(dir / "topdown.bmp");
    ASSERT_EQ(top.size(), QSize(64, 48));
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(top.pixel(x, y), y < 10 ? reference.pixel(x, y) : kFill) << x << "," << y;

    // Run-length data that ends early: the rows it never reaches show the fill colour.
    const std::string rle = Make("rle.bmp", "-colors 100 -type Palette -compress RLE", 64, 48);
    const QImage rleReference = Reference(rle);
    std::string rleBytes = ReadFile(rle);
    const std::size_t rleOffset = Le32(rleBytes, 10);
    WriteFile(dir / "rlecut.bmp",
              rleBytes.substr(0, rleOffset + (rleBytes.size() - rleOffset) / 2));
    QImage rleCut = Load(dir / "rlecut.bmp");
    ASSERT_EQ(rleCut.size(), QSize(64, 48));
    EXPECT_EQ(rleCut.pixel(5, 0), kFill);
    EXPECT_EQ(rleCut.pixel(5, 47), rleReference.pixel(5, 47));
}

TEST_F(BitmapTest, DamagedAndOversizedHeadersAreRefused) {
    const std::string bytes = ReadFile(Make("ok.bmp", "-compress None", 16, 16));
    const std::size_t offset = Le32(bytes, 10);
    BitmapLoader::Status status;
    // Headers only, without one row; a header cut short; a colour table cut short.
    WriteFile(dir / "norows.bmp", bytes.substr(0, offset));
    EXPECT_TRUE(Load(dir / "norows.bmp", &status).isNull());
    EXPECT_EQ(status, BitmapLoader::Status::Damaged);
    WriteFile(dir / "header.bmp", bytes.substr(0, 30));
    EXPECT_TRUE(Load(dir / "header.bmp", &status).isNull());
    EXPECT_EQ(status, BitmapLoader::Status::Damaged);
    const std::string palette =
        ReadFile(Make("pal.bmp", "-colors 200 -type Palette -compress None"));
    WriteFile(dir / "palette.bmp", palette.substr(0, 14 + 40));
    EXPECT_TRUE(Load(dir / "palette.bmp", &status).isNull());
    EXPECT_EQ(status, BitmapLoader::Status::Damaged);
    // Rows said to start beyond the end of the file.
    std::string far = bytes;
    SetLe32(far, 10, std::uint32_t(bytes.size() + 1));
    WriteFile(dir / "far.bmp", far);
    EXPECT_TRUE(Load(dir / "far.bmp", &status).isNull());
    EXPECT_EQ(status, BitmapLoader::Status::Damaged);
    // 40000 x 40000 pixels would take 6.4 GB: too large, whatever the rows.
    std::string huge = bytes;
    SetLe32(huge, 18, 40000);
    SetLe32(huge, 22, 40000);
    WriteFile(dir / "huge.bmp", huge);
    EXPECT_TRUE(Load(dir / "huge.bmp", &status).isNull());
    EXPECT_EQ(status, BitmapLoader::Status::TooLarge);
}

TEST_F(BitmapTest, WhileItLoadsOnlyRowsAlreadyReadAreDrawn) {
    // 4000 x 4000 pixels in 24 bits: several slices of work.
    constexpr int kSide = 4000;
    auto colour = [](int x, int y) { return qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF); };
    WriteFile(dir / "big.bmp", test::Bitmap24(kSide, kSide, colour));
    BitmapLoader::Status status;
    std::unique_ptr<BitmapLoader> loader = BitmapLoader::Open(dir / "big.bmp", kFill, &status);
    ASSERT_TRUE(loader);
    int reports = 0;
    bool done = false;
    loader->Start(
        [&] {
            if (reports++) return;
            const int ready = loader->RowsReady();
            EXPECT_GT(ready, 0);
            EXPECT_LT(ready, kSide);
            // Drawn onto a marked canvas: the rows not ready leave the marks alone.
            QImage canvas(kSide, kSide, QImage::Format_RGB32);
            canvas.fill(Qt::magenta);
            QPainter painter(&canvas);
            loader->Paint(painter, QRectF(0, 0, kSide, kSide));
            painter.end();
            EXPECT_EQ(canvas.pixel(1000, ready - 1), colour(1000, ready - 1));
            EXPECT_EQ(canvas.pixel(1000, ready), QColor(Qt::magenta).rgb());
            EXPECT_EQ(canvas.pixel(5, kSide - 1), QColor(Qt::magenta).rgb());
        },
        [&](bool ok) {
            EXPECT_TRUE(ok);
            done = true;
        });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 60000));
    EXPECT_GT(reports, 0);
    const QImage picture = loader->Picture();
    for (int y = 0; y < kSide; y += 37)
        for (int x = 0; x < kSide; x += 41) ASSERT_EQ(picture.pixel(x, y), colour(x, y));
}

TEST(DibLayoutTest, MetafileBitmapsStillNeedAllTheirRows) {
    // 2 x 2 pixels, 24 bits: rows of 8 bytes.
    std::string info(40, '\0');
    SetLe32(info, 0, 40);
    SetLe32(info, 4, 2);
    SetLe32(info, 8, 2);
    info[12] = 1;
    info[14] = 24;
    const auto* i = reinterpret_cast<const std::uint8_t*>(info.data());
    std::vector<std::uint8_t> rows(16, 0x80);
    EXPECT_TRUE(DecodeDib({i, info.size()}, rows));
    EXPECT_FALSE(DecodeDib({i, info.size()}, std::span(rows).first(15)));
    std::optional<DibLayout> layout = ReadDibLayout({i, info.size()});
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->stride, 8u);
    EXPECT_EQ(layout->RowOf(0), 1);
}

}  // namespace
}  // namespace tavrin::viewer
