// The pictures of an RTF document: PNG through the platform's reader, JPEG through libjpeg,
// bitmaps and metafiles through our own readers.
#include <QImage>
#include <algorithm>
#include <cmath>

#include "viewer/Dib.h"
#include "viewer/JpegDecoder.h"
#include "viewer/MetafileRenderer.h"
#include "viewer/PictureLoader.h"
#include "viewer/RtfReader.h"

namespace tavrin::viewer {

namespace {

std::span<const std::uint8_t> Bytes(const std::string& data) {
    return {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()};
}

// Rows of a JPEG picture straight into an image.
class ImageTarget : public JpegDecoder::Target {
  public:
    explicit ImageTarget(QImage* image) : image_(image) {}
    std::uint8_t* BeginPicture(std::ptrdiff_t* stride) override {
        *stride = image_->bytesPerLine();
        return image_->bits();
    }
    void RowsDone(int) override {}

  private:
    QImage* image_;
};

QImage DecodeJpeg(const std::string& data) {
    JpegDecoder decoder;
    if (!decoder.Open(std::vector<std::uint8_t>(data.begin(), data.end()))) return {};
    if (std::int64_t(decoder.Width()) * decoder.Height() > kMaxDibPixels) return {};
    QImage image(decoder.Width(), decoder.Height(), QImage::Format_RGB32);
    if (image.isNull()) return {};
    image.fill(Qt::white);
    ImageTarget target(&image);
    // A picture cut short keeps the rows it has; a fatal error leaves none.
    return decoder.Decode(target) ? image : QImage();
}

QImage DibPicture(const std::string& data) {
    std::shared_ptr<const DibImage> dib = DecodePackedDib(Bytes(data));
    if (!dib) return {};
    QImage view(reinterpret_cast<const uchar*>(dib->pixels.data()), dib->width, dib->height,
                dib->width * 4, dib->hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    return view.copy();
}

// Twips to pixels, at 96 pixels an inch.
int FromTwips(int twips) {
    return int(std::lround(twips / 15.0));
}

// The \picw or \pich of a Windows metafile in pixels: its units are those of the mapping
// mode, and hundredths of a millimetre for the two modes that scale freely.
int MetafileExtent(int value, int mapMode) {
    double perInch;
    switch (mapMode) {
        case 1:  // MM_TEXT: pixels
            return value;
        case 2:  // MM_LOMETRIC
            perInch = 254;
            break;
        case 4:  // MM_LOENGLISH
            perInch = 100;
            break;
        case 5:  // MM_HIENGLISH
            perInch = 1000;
            break;
        case 6:  // MM_TWIPS
            perInch = 1440;
            break;
        default:  // MM_HIMETRIC, MM_ISOTROPIC, MM_ANISOTROPIC
            perInch = 2540;
            break;
    }
    return int(std::lround(value * 96.0 / perInch));
}

// The size the document shows the picture at: its goal size when it has one, else its own,
// scaled; no side beyond kMaxRtfPictureSide, the proportions kept.
QSize ShownSize(const RtfPicture& picture, QSize natural) {
    QSizeF size = natural;
    if (picture.goalWidth > 0 && picture.goalHeight > 0)
        size = QSizeF(FromTwips(picture.goalWidth), FromTwips(picture.goalHeight));
    size = QSizeF(size.width() * picture.scaleX / 100.0, size.height() * picture.scaleY / 100.0);
    const double longest = std::max(size.width(), size.height());
    if (longest > kMaxRtfPictureSide) size *= kMaxRtfPictureSide / longest;
    return QSize(std::max(1, int(std::lround(size.width()))),
                 std::max(1, int(std::lround(size.height()))));
}

}  // namespace

QImage RenderRtfPicture(const RtfPicture& picture) {
    using Kind = RtfPicture::Kind;
    if (picture.kind == Kind::Wmf || picture.kind == Kind::Emf) {
        std::optional<Metafile> metafile =
            picture.kind == Kind::Wmf ? ReadWmf(Bytes(picture.data)) : ReadEmf(Bytes(picture.data));
        if (!metafile) return {};
        QSize natural = MetafileDisplaySize(*metafile);
        // A Windows metafile in a document gives its size as \picw and \pich.
        if (picture.kind == Kind::Wmf && picture.width > 0 && picture.height > 0)
            natural = QSize(MetafileExtent(picture.width, picture.mapMode),
                            MetafileExtent(picture.height, picture.mapMode));
        return RenderMetafile(*metafile, ShownSize(picture, natural));
    }
    QImage image;
    if (picture.kind == Kind::Png) {
        UsePictureMemoryLimit();
        image = QImage::fromData(Bytes(picture.data).data(), int(picture.data.size()), "PNG");
    } else if (picture.kind == Kind::Jpeg) {
        image = DecodeJpeg(picture.data);
    } else if (picture.kind == Kind::Dib) {
        image = DibPicture(picture.data);
    }
    if (image.isNull()) return {};
    const QSize shown = ShownSize(picture, image.size());
    if (shown == image.size()) return image;
    return image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace tavrin::viewer
