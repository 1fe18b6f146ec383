// libjpeg decoding compared pixel by pixel with Debian's djpeg on pictures made by ImageMagick.
#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>
#include <memory>

#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/JpegDecoder.h"
#include "viewer/JpegLoader.h"

namespace tavrin::viewer {
namespace {

using tavrin::test::ReadFile;
using tavrin::test::TempDir;
using tavrin::test::WriteFile;
using test::Convert;
using test::Quote;
using test::ReferenceDecode;

// Collects the preview and the picture and records the progress reports.
class Collector : public JpegDecoder::Target {
  public:
    Collector(int width, int height) : width_(width), height_(height) {}

    std::uint8_t* BeginPreview(int width, int height, std::ptrdiff_t* stride) override {
        EXPECT_TRUE(picture.isNull());  // the preview comes first
        preview = QImage(width, height, QImage::Format_RGB32);
        *stride = preview.bytesPerLine();
        return preview.bits();
    }
    void PreviewDone() override { previewDone = true; }
    std::uint8_t* BeginPicture(std::ptrdiff_t* stride) override {
        picture = QImage(width_, height_, QImage::Format_RGB32);
        picture.fill(Qt::magenta);
        *stride = picture.bytesPerLine();
        return picture.bits();
    }
    void RowsDone(int rows) override {
        EXPECT_GT(rows, reports.empty() ? 0 : reports.back());  // rows only ever grow
        reports.push_back(rows);
    }
    bool Cancelled() override {
        return cancelAfterRows >= 0 && !reports.empty() && reports.back() >= cancelAfterRows;
    }

    QImage preview;
    bool previewDone = false;
    QImage picture;
    std::vector<int> reports;
    int cancelAfterRows = -1;

  private:
    int width_, height_;
};

class JpegTest : public test::ViewerTest {
  protected:
    // Makes a picture with ImageMagick from plasma (fixed seed) with the extra options.
    std::string Make(const std::string& name, const std::string& size,
                     const std::string& options = "") {
        std::string path = dir / name;
        Convert("-seed 7 -size " + size + " plasma:fractal " + options + " -quality 88 " +
                Quote(path));
        return path;
    }

    TempDir dir;
};

TEST_F(JpegTest, BaselineMatchesAnIndependentDecoderExactly) {
    for (const char* sampling : {"2x2", "1x1", "2x1"}) {
        SCOPED_TRACE(sampling);
        std::string path = Make("base.jpg", "301x203", std::string("-sampling-factor ") + sampling);
        JpegDecoder decoder;
        ASSERT_TRUE(decoder.OpenFile(path)) << decoder.Error();
        EXPECT_EQ(decoder.Width(), 301);
        EXPECT_EQ(decoder.Height(), 203);
        EXPECT_FALSE(decoder.MultiScan());
        Collector out(301, 203);
        ASSERT_TRUE(decoder.Decode(out)) << decoder.Error();
        EXPECT_TRUE(out.preview.isNull());
        EXPECT_EQ(out.reports.back(), 203);
        EXPECT_GT(out.reports.size(), 5u);  // rows are reported as they come
        QImage reference = ReferenceDecode(path);
        ASSERT_FALSE(reference.isNull());
        EXPECT_EQ(test::DifferentPixels(out.picture, reference), 0);
    }
}

TEST_F(JpegTest, ProgressiveGetsAPreviewThenTheExactPicture) {
    std::string path = Make("prog.jpg", "240x180", "-interlace JPEG");
    JpegDecoder decoder;
    ASSERT_TRUE(decoder.OpenFile(path)) << decoder.Error();
    EXPECT_TRUE(decoder.MultiScan());
    EXPECT_FALSE(decoder.HasPreview());  // small: no preview by default
    EXPECT_TRUE(decoder.HasPreview(0));
    Collector out(240, 180);
    ASSERT_TRUE(decoder.Decode(out, 0)) << decoder.Error();
    ASSERT_TRUE(out.previewDone);
    // The preview is the top of the picture from its first scan: near the picture, not it.
    ASSERT_EQ(out.preview.size(), QSize(240, 180));
    QImage reference = ReferenceDecode(path);
    EXPECT_LT(test::DifferentPixels(out.preview, reference, 64), 240 * 180 / 20);
    EXPECT_GT(test::DifferentPixels(out.preview, reference, 4), 240 * 180 / 4);
    EXPECT_EQ(test::DifferentPixels(out.picture, reference), 0);
}

TEST_F(JpegTest, ProgressiveWithoutPreviewMatchesToo) {
    std::string path = Make("prog.jpg", "240x180", "-interlace JPEG");
    JpegDecoder decoder;
    ASSERT_TRUE(decoder.OpenFile(path));
    Collector out(240, 180);
    ASSERT_TRUE(decoder.Decode(out));
    EXPECT_TRUE(out.preview.isNull());
    EXPECT_EQ(test::DifferentPixels(out.picture, ReferenceDecode(path)), 0);
}

TEST_F(JpegTest, GreyAndCmykPictures) {
    std::string grey = Make("grey.jpg", "120x90", "-colorspace Gray");
    JpegDecoder decoder;
    ASSERT_TRUE(decoder.OpenFile(grey));
    Collector out(120, 90);
    ASSERT_TRUE(decoder.Decode(out));
    EXPECT_EQ(test::DifferentPixels(out.picture, ReferenceDecode(grey)), 0);

    std::string cmyk = Make("cmyk.jpg", "120x90", "-colorspace CMYK");
    JpegDecoder cmykDecoder;
    ASSERT_TRUE(cmykDecoder.OpenFile(cmyk));
    Collector cmykOut(120, 90);
    ASSERT_TRUE(cmykDecoder.Decode(cmykOut));
    EXPECT_EQ(test::DifferentPixels(cmykOut.picture, ReferenceDecode(cmyk), 1), 0);
}

TEST_F(JpegTest, DamagedFilesFailWithAMessage) {
    JpegDecoder decoder;
    EXPECT_FALSE(decoder.Open({}));
    EXPECT_FALSE(decoder.Error().empty());
    const std::string text = "this is not a picture";
    EXPECT_FALSE(decoder.Open({text.begin(), text.end()}));
    const std::string header = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00garbage garbage";
    EXPECT_FALSE(decoder.Open({header.begin(), header.end()}));
    EXPECT_FALSE(decoder.OpenFile(dir / "missing.jpg"));
    Collector out(1, 1);
    EXPECT_FALSE(decoder.Decode(out));  // nothing open
}

TEST_F(JpegTest, TruncatedFileDecodesWhatItHas) {
    std::string path = Make("cut.jpg", "200x160");
    std::string bytes = ReadFile(path);
    bytes.resize(bytes.size() / 2);
    JpegDecoder decoder;
    ASSERT_TRUE(decoder.Open({bytes.begin(), bytes.end()}));
    Collector out(200, 160);
    ASSERT_TRUE(decoder.Decode(out));
    EXPECT_EQ(out.reports.back(), 160);
    QImage reference = ReferenceDecode(path);
    // The top rows are there.
    EXPECT_EQ(test::DifferentPixels(out.picture.copy(0, 0, 200, 16), reference.copy(0, 0, 200, 16)),
              0);
}

TEST_F(JpegTest, FatalErrorWhileDecodingIsReported) {
    // A later scan of a progressive file names a component the frame does not have: the
    // header reads, the decode fails.
    std::string path = Make("bad.jpg", "120x90", "-interlace JPEG");
    std::string bytes = ReadFile(path);
    std::size_t first = bytes.find("\xFF\xDA");
    std::size_t second = bytes.find("\xFF\xDA", first + 2);
    ASSERT_NE(second, std::string::npos);
    bytes[second + 5] = char(99);  // the first component selector of that scan
    JpegDecoder decoder;
    ASSERT_TRUE(decoder.Open({bytes.begin(), bytes.end()})) << decoder.Error();
    Collector out(120, 90);
    EXPECT_FALSE(decoder.Decode(out));
    EXPECT_FALSE(decoder.Error().empty());
}

TEST_F(JpegTest, CancellingStopsTheDecode) {
    std::string path = Make("big.jpg", "400x300");
    JpegDecoder decoder;
    ASSERT_TRUE(decoder.OpenFile(path));
    Collector out(400, 300);
    out.cancelAfterRows = 32;
    EXPECT_FALSE(decoder.Decode(out));
    EXPECT_LT(out.reports.back(), 300);
}

TEST_F(JpegTest, LoaderShowsRowsBeforeItFinishes) {
    std::string path = Make("load.jpg", "640x480", "-interlace JPEG");
    const QImage reference = ReferenceDecode(path);
    std::string error;
    auto loader = JpegLoader::Open(path, &error, 0);
    ASSERT_TRUE(loader) << error;
    EXPECT_EQ(loader->Size(), QSize(640, 480));
    EXPECT_TRUE(loader->HasPreview());
    int changes = 0, wrongRows = 0, uncoveredPreviewRows = 0;
    bool sawPreview = false;
    bool finished = false, ok = false;
    loader->Start(
        [&] {
            // What is painted while the picture decodes: its finished rows exactly, then
            // the preview's rows below them.
            ++changes;
            const int ready = loader->RowsReady();
            const QImage preview = loader->Preview();
            QImage painted(640, 480, QImage::Format_RGB32);
            painted.fill(Qt::black);
            QPainter painter(&painted);
            loader->Paint(painter, QRectF(0, 0, 640, 480));
            painter.end();
            if (ready > 0)
                wrongRows += test::DifferentPixels(painted.copy(0, 0, 640, ready),
                                                   reference.copy(0, 0, 640, ready));
            if (!preview.isNull()) {
                sawPreview = true;
                for (int y = ready; y < preview.height(); ++y)
                    if (painted.pixel(320, y) == qRgb(0, 0, 0)) ++uncoveredPreviewRows;
            }
        },
        [&](bool success) {
            finished = true;
            ok = success;
        });
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 10000));
    EXPECT_TRUE(ok);
    EXPECT_GE(changes, 1);  // the first rows are announced before the end
    EXPECT_TRUE(sawPreview);
    EXPECT_EQ(wrongRows, 0);
    EXPECT_EQ(uncoveredPreviewRows, 0);
    EXPECT_EQ(loader->RowsReady(), 480);
    EXPECT_EQ(test::DifferentPixels(loader->Picture(), reference), 0);

    // Once finished it paints the picture.
    QImage painted(640, 480, QImage::Format_RGB32);
    painted.fill(Qt::black);
    QPainter painter(&painted);
    loader->Paint(painter, QRectF(0, 0, 640, 480));
    painter.end();
    EXPECT_EQ(test::DifferentPixels(painted, reference), 0);
}

TEST_F(JpegTest, LoaderCanBeDroppedWhileDecoding) {
    std::string path = Make("drop.jpg", "800x600");
    for (int i = 0; i < 5; ++i) {
        auto loader = JpegLoader::Open(path, nullptr);
        ASSERT_TRUE(loader);
        loader->Start([] {}, [](bool) {});
        loader.reset();  // cancels and waits
    }
    QTest::qWait(20);  // no event reaches a dropped loader
}

}  // namespace
}  // namespace tavrin::viewer
