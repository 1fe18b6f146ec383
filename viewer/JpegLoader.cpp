#include "viewer/JpegLoader.h"

#include <sys/mman.h>

#include <QPainter>

#include "viewer/ViewLogic.h"

namespace tavrin::viewer {

namespace {

// Rows [first, first + count) of a picture, without copying them.
QImage Rows(const QImage& image, int first, int count) {
    return QImage(image.constScanLine(first), image.width(), count, image.bytesPerLine(),
                  image.format());
}

struct Mapping {
    void* address;
    std::size_t size;
};

void Unmap(void* info) {
    auto* mapping = static_cast<Mapping*>(info);
    munmap(mapping->address, mapping->size);
    delete mapping;
}

// A large picture gets memory of its own, in huge pages where the system has them: the
// decoder writes every byte of it once, and touching fresh memory page by page would cost
// a good part of the decoding time.
QImage AllocatePicture(int width, int height) {
    const std::size_t stride = std::size_t(width) * 4;
    const std::size_t size = stride * std::size_t(height);
    if (size < (std::size_t(8) << 20)) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::black);  // fresh memory, never shown before it is written
        return image;
    }
    void* address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED) return {};
#ifdef MADV_HUGEPAGE
    madvise(address, size, MADV_HUGEPAGE);
#endif
    return QImage(static_cast<uchar*>(address), width, height, qsizetype(stride),
                  QImage::Format_RGB32, Unmap, new Mapping{address, size});
}

}  // namespace

std::unique_ptr<JpegLoader> JpegLoader::Open(const std::string& path, std::string* error,
                                             std::int64_t previewMinPixels, bool* tooLarge) {
    if (tooLarge) *tooLarge = false;
    std::unique_ptr<JpegLoader> loader(new JpegLoader);
    if (!loader->decoder_.OpenFile(path)) {
        if (error) *error = loader->decoder_.Error();
        if (tooLarge) *tooLarge = loader->decoder_.TooLarge();
        return nullptr;
    }
    if (std::int64_t(loader->decoder_.Width()) * loader->decoder_.Height() * 4 >
        PictureMemoryLimit()) {
        if (error) *error = "picture too large";
        if (tooLarge) *tooLarge = true;
        return nullptr;
    }
    loader->width_ = loader->decoder_.Width();
    loader->height_ = loader->decoder_.Height();
    loader->previewMinPixels_ = previewMinPixels;
    loader->hasPreview_ = loader->decoder_.HasPreview(previewMinPixels);
    return loader;
}

JpegLoader::~JpegLoader() {
    Cancel();
}

void JpegLoader::Start(std::function<void()> changed, std::function<void(bool)> finished,
                       std::chrono::milliseconds interval) {
    if (worker_.joinable() || finished_) return;
    changed_ = std::move(changed);
    finishedCallback_ = std::move(finished);
    interval_ = interval;
    // The picture is made here, on this thread, so that the worker only writes pixels.
    picture_ = AllocatePicture(width_, height_);
    if (picture_.isNull()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                finished_ = true;
                error_ = "not enough memory for the picture";
                auto callback = finishedCallback_;
                if (callback) callback(false);
            },
            Qt::QueuedConnection);
        return;
    }
    picture_.bits();  // detaches now, not on the worker
    worker_ = std::thread([this] {
        const bool ok = decoder_.Decode(*this, previewMinPixels_);
        std::string error = ok ? std::string() : decoder_.Error();
        QMetaObject::invokeMethod(
            this,
            [this, ok, error] {
                if (worker_.joinable()) worker_.join();
                finished_ = true;
                succeeded_ = ok;
                error_ = error;
                preview_ = QImage();
                if (!ok) picture_ = QImage();
                auto callback = finishedCallback_;
                if (callback) callback(ok);
            },
            Qt::QueuedConnection);
    });
}

void JpegLoader::Cancel() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

std::uint8_t* JpegLoader::BeginPreview(int width, int height, std::ptrdiff_t* stride) {
    preview_ = QImage(width, height, QImage::Format_RGB32);
    if (preview_.isNull()) return nullptr;
    *stride = preview_.bytesPerLine();
    return preview_.bits();
}

void JpegLoader::PreviewDone() {
    previewReady_.store(true, std::memory_order_release);
    Notify(true);
}

std::uint8_t* JpegLoader::BeginPicture(std::ptrdiff_t* stride) {
    *stride = picture_.bytesPerLine();
    // Pixel writes only: the picture was detached before the worker started.
    return const_cast<std::uint8_t*>(picture_.constBits());
}

void JpegLoader::RowsDone(int rows) {
    const int before = rows_.load(std::memory_order_relaxed);
    rows_.store(rows, std::memory_order_release);
    // The first rows show at once; later ones at most once an interval.
    Notify(before == 0);
}

void JpegLoader::Notify(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastNotify_ < interval_) return;
    if (notifyPending_.exchange(true)) return;
    lastNotify_ = now;
    QMetaObject::invokeMethod(
        this,
        [this] {
            notifyPending_ = false;
            if (changed_) changed_();
        },
        Qt::QueuedConnection);
}

int JpegLoader::RowsReady() const {
    if (finished_ && succeeded_) return height_;
    return rows_.load(std::memory_order_acquire);
}

QImage JpegLoader::Preview() const {
    if (finished_ || !previewReady_.load(std::memory_order_acquire)) return {};
    return preview_;
}

QImage JpegLoader::Picture() const {
    if (!finished_ || !succeeded_) return {};
    return picture_;
}

void JpegLoader::Paint(QPainter& painter, const QRectF& target) const {
    if (height_ <= 0) return;
    if (finished_) {
        if (succeeded_) painter.drawImage(target, picture_);
        return;
    }
    const int rows = std::min(rows_.load(std::memory_order_acquire), height_);
    const double rowHeight = target.height() / height_;
    if (rows > 0)
        painter.drawImage(QRectF(target.left(), target.top(), target.width(), rows * rowHeight),
                          Rows(picture_, 0, rows));
    // Below them, the rows of the preview that the picture has not reached yet.
    if (previewReady_.load(std::memory_order_acquire) && rows < preview_.height())
        painter.drawImage(QRectF(target.left(), target.top() + rows * rowHeight, target.width(),
                                 (preview_.height() - rows) * rowHeight),
                          Rows(preview_, rows, preview_.height() - rows));
}

}  // namespace tavrin::viewer
