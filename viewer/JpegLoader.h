// A JPEG picture decoding on a worker thread while the user-interface thread shows the rows
// that are ready: the finished rows of the picture and, below them, the rows of the preview
// when there is one. The user-interface thread only reads rows the worker has finished with.
#pragma once

#include <QImage>
#include <QObject>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "viewer/JpegDecoder.h"
#include "viewer/ProgressivePicture.h"

namespace tavrin::viewer {

class JpegLoader : public ProgressivePicture, private JpegDecoder::Target {
  public:
    // Reads the file and its header; null, with `error` set, when it is no readable JPEG;
    // `tooLarge`, when given, tells a picture refused only for its size.
    static std::unique_ptr<JpegLoader> Open(
        const std::string& path, std::string* error,
        std::int64_t previewMinPixels = JpegDecoder::kPreviewMinPixels, bool* tooLarge = nullptr);
    ~JpegLoader() override;

    QSize Size() const override { return {width_, height_}; }
    bool HasPreview() const { return hasPreview_; }

    // Starts decoding. `changed` runs on this object's thread when rows were added (at most
    // once per interval, the first rows at once); `finished` when the decode has ended, with
    // false after an error.
    void Start(std::function<void()> changed, std::function<void(bool ok)> finished,
               std::chrono::milliseconds interval);
    void Start(std::function<void()> changed, std::function<void(bool ok)> finished) override {
        Start(std::move(changed), std::move(finished), std::chrono::milliseconds(15));
    }
    // Stops the decode and waits for the worker.
    void Cancel() override;

    bool Finished() const { return finished_; }
    bool Succeeded() const { return succeeded_; }
    const std::string& Error() const { return error_; }
    // The rows of the picture that are ready.
    int RowsReady() const;
    // The preview, once it is complete (null before, and without one).
    QImage Preview() const;
    QImage Picture() const override;
    void Paint(QPainter& painter, const QRectF& target) const override;

  private:
    JpegLoader() = default;

    std::uint8_t* BeginPreview(int width, int height, std::ptrdiff_t* stride) override;
    void PreviewDone() override;
    std::uint8_t* BeginPicture(std::ptrdiff_t* stride) override;
    void RowsDone(int rows) override;
    bool Cancelled() override { return cancel_.load(std::memory_order_relaxed); }
    void Notify(bool force);

    JpegDecoder decoder_;
    int width_ = 0, height_ = 0;
    bool hasPreview_ = false;
    std::int64_t previewMinPixels_ = 0;
    QImage picture_;
    QImage preview_;  // made by the worker, read here once previewReady_ is set
    std::thread worker_;
    std::atomic<bool> cancel_{false};
    // Progress, written by the worker.
    std::atomic<int> rows_{0};
    std::atomic<bool> previewReady_{false};
    std::atomic<bool> notifyPending_{false};
    std::chrono::steady_clock::time_point lastNotify_;
    std::chrono::milliseconds interval_{15};
    std::function<void()> changed_;
    std::function<void(bool)> finishedCallback_;
    bool finished_ = false;
    bool succeeded_ = false;
    std::string error_;
};

}  // namespace tavrin::viewer
