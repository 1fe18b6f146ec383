// A bitmap file (.bmp) read and decoded by our own bitmap reader in slices on the
// user-interface thread, top row first, so that a large picture shows at once and the window
// keeps answering. A file cut short shows the rows it holds; the rows it lacks show in the
// fill colour. Every pixel of the picture is written before it is drawn.
#pragma once

#include <QImage>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "viewer/Dib.h"
#include "viewer/ProgressivePicture.h"

namespace tavrin::viewer {

class BitmapLoader : public ProgressivePicture {
  public:
    enum class Status { Ok, Damaged, TooLarge };

    // Reads the headers of the file at `path` and makes room for its picture. Null, with
    // `status` Damaged, when the file is no bitmap, its header or colour table is damaged or
    // it holds no row at all; TooLarge when the picture would take more than
    // PictureMemoryLimit() or the memory cannot be had.
    static std::unique_ptr<BitmapLoader> Open(const std::string& path, QRgb fill, Status* status);
    ~BitmapLoader() override;

    QSize Size() const override { return picture_.size(); }
    void Start(std::function<void()> changed, std::function<void(bool ok)> finished) override;
    void Cancel() override;
    QImage Picture() const override;
    void Paint(QPainter& painter, const QRectF& target) const override;

    bool Finished() const { return finished_; }
    // The picture's top rows that are ready.
    int RowsReady() const { return ready_; }
    // The rows the file lacks.
    int MissingRows() const { return layout_.dib.height - layout_.storedRows; }

    // Each slice of work lasts about this long; the event loop runs between slices.
    static constexpr int kSliceMs = 15;

  private:
    BitmapLoader() = default;
    void Step();
    void DecodeRunLength();
    void FillRows(int first, int count);
    void Finish();

    int fd_ = -1;
    BitmapFileLayout layout_;
    std::uint64_t fileSize_ = 0;
    QRgb fill_ = 0;
    QImage picture_;
    std::vector<std::uint8_t> buffer_;
    int ready_ = 0;
    bool finished_ = false;
    QTimer timer_;
    std::function<void()> changed_;
    std::function<void(bool)> finishedCallback_;
};

}  // namespace tavrin::viewer
