#include "viewer/BitmapLoader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QPainter>
#include <algorithm>
#include <cerrno>

#include "viewer/ViewLogic.h"

namespace tavrin::viewer {

namespace {

// The rows read from the file at a time.
constexpr std::size_t kBlockBytes = std::size_t(4) << 20;
// The most run-length encoded data read.
constexpr std::uint64_t kMaxRunLengthBytes = std::uint64_t(1) << 30;

// Reads `size` bytes at `offset`, fewer when the file ends first or cannot be read.
std::size_t ReadAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::pread(fd, out + got, size - got, off_t(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += std::size_t(n);
    }
    return got;
}

}  // namespace

std::unique_ptr<BitmapLoader> BitmapLoader::Open(const std::string& path, QRgb fill,
                                                 Status* status) {
    *status = Status::Damaged;
    std::unique_ptr<BitmapLoader> loader(new BitmapLoader);
    loader->fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (loader->fd_ < 0) return nullptr;
    struct stat st {};
    if (::fstat(loader->fd_, &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    loader->fileSize_ = std::uint64_t(std::max<off_t>(st.st_size, 0));

    std::vector<std::uint8_t> head(kBitmapHeadBytes);
    head.resize(ReadAt(loader->fd_, 0, head.data(), head.size()));
    bool tooLarge = false;
    std::optional<BitmapFileLayout> layout =
        ReadBitmapFileLayout(head, loader->fileSize_, PictureMemoryLimit() / 4, &tooLarge);
    if (!layout) {
        if (tooLarge) *status = Status::TooLarge;
        return nullptr;
    }
    if (layout->storedRows == 0 ||
        (layout->dib.RunLength() && layout->bitsOffset >= loader->fileSize_))
        return nullptr;  // not one row of the picture is there
    loader->layout_ = std::move(*layout);
    loader->fill_ = fill | 0xFF000000u;
    loader->picture_ =
        QImage(loader->layout_.dib.width, loader->layout_.dib.height, QImage::Format_RGB32);
    if (loader->picture_.isNull()) {
        *status = Status::TooLarge;
        return nullptr;
    }
    loader->timer_.setSingleShot(true);
    loader->timer_.setInterval(0);
    QObject::connect(&loader->timer_, &QTimer::timeout, loader.get(),
                     [raw = loader.get()] { raw->Step(); });
    *status = Status::Ok;
    return loader;
}

BitmapLoader::~BitmapLoader() {
    if (fd_ >= 0) ::close(fd_);
}

void BitmapLoader::Start(std::function<void()> changed, std::function<void(bool)> finished) {
    if (finished_ || timer_.isActive()) return;
    changed_ = std::move(changed);
    finishedCallback_ = std::move(finished);
    timer_.start();
}

void BitmapLoader::Cancel() {
    timer_.stop();
    changed_ = nullptr;
    finishedCallback_ = nullptr;
}

QImage BitmapLoader::Picture() const {
    return finished_ ? picture_ : QImage();
}

void BitmapLoader::FillRows(int first, int count) {
    for (int y = first; y < first + count; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture_.scanLine(y));
        std::fill(row, row + picture_.width(), fill_);
    }
}

void BitmapLoader::DecodeRunLength() {
    // Skipped pixels and rows the data does not reach show in the fill colour.
    picture_.fill(fill_);
    const std::uint64_t size = std::min(fileSize_ - layout_.bitsOffset, kMaxRunLengthBytes);
    std::vector<std::uint8_t> bits(std::size_t(size), 0);
    bits.resize(ReadAt(fd_, layout_.bitsOffset, bits.data(), bits.size()));
    DecodeDibRunLength(layout_.dib, bits, reinterpret_cast<std::uint32_t*>(picture_.bits()),
                       picture_.bytesPerLine() / 4);
    ready_ = layout_.dib.height;
}

void BitmapLoader::Step() {
    const DibLayout& dib = layout_.dib;
    if (dib.RunLength()) {
        DecodeRunLength();
        return Finish();
    }
    QElapsedTimer slice;
    slice.start();
    const std::size_t stride = dib.stride;
    const int blockRows = int(std::clamp<std::size_t>(kBlockBytes / stride, 1, 65536));
    do {
        const int y0 = ready_;
        const int s0 = dib.RowOf(y0);
        if (s0 >= layout_.storedRows) {
            // Rows the file lacks: for a bitmap stored bottom row first, the top ones.
            const int missing = (dib.bottomUp ? dib.height - layout_.storedRows : dib.height) - y0;
            FillRows(y0, missing);
            ready_ += missing;
            continue;
        }
        // A block of rows the file holds, in one read.
        const int n = dib.bottomUp ? std::min(blockRows, s0 + 1)
                                   : std::min(blockRows, layout_.storedRows - y0);
        const int firstStored = dib.bottomUp ? s0 - n + 1 : s0;
        buffer_.resize(std::size_t(n) * stride);
        const std::size_t got =
            ReadAt(fd_, layout_.bitsOffset + std::uint64_t(firstStored) * stride, buffer_.data(),
                   buffer_.size());
        for (int k = 0; k < n; ++k) {
            const std::size_t j = std::size_t(dib.bottomUp ? n - 1 - k : k);
            auto* row = reinterpret_cast<std::uint32_t*>(picture_.scanLine(y0 + k));
            if ((j + 1) * stride > got) {
                FillRows(y0 + k, 1);  // the file shrank while it was read
                continue;
            }
            DecodeDibRow(dib, buffer_.data() + j * stride, row);
            // The fourth byte of 32-bit rows in a bitmap file is no alpha value.
            if (dib.Plain32())
                for (int x = 0; x < dib.width; ++x) row[x] |= 0xFF000000u;
        }
        ready_ += n;
    } while (ready_ < dib.height && slice.elapsed() < kSliceMs);
    if (ready_ >= dib.height) return Finish();
    if (changed_) changed_();
    timer_.start();
}

void BitmapLoader::Finish() {
    finished_ = true;
    buffer_ = {};
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    auto callback = finishedCallback_;
    if (callback) callback(true);
}

void BitmapLoader::Paint(QPainter& painter, const QRectF& target) const {
    const int height = picture_.height();
    if (height <= 0) return;
    if (finished_) {
        painter.drawImage(target, picture_);
        return;
    }
    if (ready_ <= 0) return;
    // Only the rows that are ready: the others hold memory nothing has written yet.
    const QImage rows(picture_.constScanLine(0), picture_.width(), ready_, picture_.bytesPerLine(),
                      picture_.format());
    painter.drawImage(
        QRectF(target.left(), target.top(), target.width(), target.height() * ready_ / height),
        rows);
}

}  // namespace tavrin::viewer
