// JPEG decoding with libjpeg, row by row into a buffer the caller provides, so that a picture
// can be shown while it decodes. A file of several scans (progressive) is read in the
// library's buffered-image mode. Its final rows can only come once every scan has been read,
// so a large one first gets a preview: an output pass of its first scan, cut off after the
// top kPreviewRows rows, which costs little and shows at once. Errors of the library come
// back through an error manager of our own and end the decode with a message; they never
// end the program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrin::viewer {

class JpegDecoder {
  public:
    // Pictures of at least this many pixels and several scans get a preview.
    static constexpr std::int64_t kPreviewMinPixels = 1'000'000;
    // The rows of the preview: more than the viewer's panel shows at once.
    static constexpr int kPreviewRows = 512;
    // The largest picture decoded, in pixels.
    static constexpr std::int64_t kMaxPixels = std::int64_t(1) << 27;
    // The largest file read.
    static constexpr std::int64_t kMaxFileBytes = std::int64_t(1) << 30;
    // The most scans a file may have.
    static constexpr int kMaxScans = 1000;

    // Where the rows go. Pixels are 32 bits, 0xFFRRGGBB in native order (the layout of
    // QImage::Format_RGB32).
    class Target {
      public:
        virtual ~Target() = default;
        // The buffer of the preview: its `height` rows are the picture's top rows, `width`
        // pixels each, `stride` bytes apart. Null goes without.
        virtual std::uint8_t* BeginPreview(int width, int height, std::ptrdiff_t* stride) {
            (void)width, (void)height, (void)stride;
            return nullptr;
        }
        // The preview is complete.
        virtual void PreviewDone() {}
        // The buffer of the picture: Height() rows of Width() pixels, `stride` bytes apart.
        // Null cancels the decode.
        virtual std::uint8_t* BeginPicture(std::ptrdiff_t* stride) = 0;
        // So many rows of the picture are complete.
        virtual void RowsDone(int rows) = 0;
        // Asked between rows; true stops the decode.
        virtual bool Cancelled() { return false; }
    };

    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // Reads the header of a JPEG held in memory (the decoder keeps the bytes). False, with
    // Error() set, when the data is no JPEG, is damaged or is too large.
    bool Open(std::vector<std::uint8_t> data);
    bool OpenFile(const std::string& path);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool MultiScan() const { return multiScan_; }
    // Whether Decode makes a preview with this threshold.
    bool HasPreview(std::int64_t previewMinPixels = kPreviewMinPixels) const;
    const std::string& Error() const { return error_; }
    // Open failed only because the picture has more than kMaxPixels pixels.
    bool TooLarge() const { return tooLarge_; }

    // Decodes into `target`. False when the library met a fatal error (Error() says which)
    // or the target cancelled. Can be called once after Open.
    bool Decode(Target& target, std::int64_t previewMinPixels = kPreviewMinPixels);

  private:
    struct State;

    std::unique_ptr<State> state_;
    std::vector<std::uint8_t> data_;
    int width_ = 0;
    int height_ = 0;
    bool multiScan_ = false;
    bool opened_ = false;
    bool tooLarge_ = false;
    std::string error_;
};

}  // namespace tavrin::viewer
