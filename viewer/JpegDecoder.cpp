#include "viewer/JpegDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace tavrin::viewer {

namespace {

// The library reports a fatal error by calling error_exit, which must not return: ours keeps
// the message and jumps back to the call that started the library's work.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void TavrinJpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (premature end of data, corrupt data) are counted by the library and not printed.
extern "C" void TavrinJpegOutputMessage(j_common_ptr) {}

constexpr int kRowsPerRead = 16;

}  // namespace

// Everything that changes while the library runs lives here, on the heap, so that it keeps
// its value across the jump back from an error.
struct JpegDecoder::State {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    bool created = false;
    std::vector<std::uint8_t> cmykRows;
    JSAMPROW rows[kRowsPerRead]{};
};

JpegDecoder::JpegDecoder() : state_(std::make_unique<State>()) {}

JpegDecoder::~JpegDecoder() {
    if (state_->created) jpeg_destroy_decompress(&state_->cinfo);
}

bool JpegDecoder::OpenFile(const std::string& path) {
    // Only regular files: opening a pipe would wait for a writer.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error_ = "not a file: " + path;
        return false;
    }
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error_ = "cannot open " + path;
        return false;
    }
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxFileBytes) {
        error_ = "cannot read " + path;
        return false;
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(data.data()), size)) {
        error_ = "cannot read " + path;
        return false;
    }
    return Open(std::move(data));
}

bool JpegDecoder::Open(std::vector<std::uint8_t> data) {
    if (state_->created) {
        jpeg_destroy_decompress(&state_->cinfo);
        state_->created = false;
    }
    opened_ = false;
    data_ = std::move(data);
    State& s = *state_;
    s.cinfo.err = jpeg_std_error(&s.err.pub);
    s.err.pub.error_exit = TavrinJpegErrorExit;
    s.err.pub.output_message = TavrinJpegOutputMessage;
    if (setjmp(s.err.jump)) {
        error_ = s.err.message;
        if (s.created) jpeg_destroy_decompress(&s.cinfo);
        s.created = false;
        return false;
    }
    jpeg_create_decompress(&s.cinfo);
    s.created = true;
    jpeg_mem_src(&s.cinfo, data_.data(), static_cast<unsigned long>(data_.size()));
    jpeg_read_header(&s.cinfo, TRUE);
    width_ = int(s.cinfo.image_width);
    height_ = int(s.cinfo.image_height);
    if (std::int64_t(width_) * height_ > kMaxPixels) {
        error_ = "picture too large";
        tooLarge_ = true;
        return false;
    }
    multiScan_ = jpeg_has_multiple_scans(&s.cinfo) != 0;
    opened_ = true;
    return true;
}

bool JpegDecoder::HasPreview(std::int64_t previewMinPixels) const {
    return multiScan_ && std::int64_t(width_) * height_ >= previewMinPixels;
}

namespace {

// Reads the rows of the output pass up to `limit` into `base`, reporting progress through
// `done`; false when the target cancelled.
template <typename Done>
bool ReadRows(jpeg_decompress_struct& cinfo, JpegDecoder::Target& target, std::uint8_t* base,
              std::ptrdiff_t stride, JDIMENSION limit, std::vector<std::uint8_t>& cmykRows,
              JSAMPROW* rows, Done done) {
    const bool cmyk = cinfo.out_color_space == JCS_CMYK;
    const JDIMENSION width = cinfo.output_width;
    // Adobe's CMYK files store the inks inverted.
    const bool inverted = cinfo.saw_Adobe_marker;
    if (cmyk) cmykRows.resize(std::size_t(width) * 4 * kRowsPerRead);
    limit = std::min(limit, cinfo.output_height);
    while (cinfo.output_scanline < limit) {
        if (target.Cancelled()) return false;
        const JDIMENSION first = cinfo.output_scanline;
        const int n = int(std::min<JDIMENSION>(kRowsPerRead, limit - first));
        for (int k = 0; k < n; ++k)
            rows[k] = cmyk ? cmykRows.data() + std::size_t(k) * width * 4
                           : base + std::ptrdiff_t(first + JDIMENSION(k)) * stride;
        const JDIMENSION got = jpeg_read_scanlines(&cinfo, rows, JDIMENSION(n));
        if (cmyk) {
            for (JDIMENSION k = 0; k < got; ++k) {
                const std::uint8_t* src = rows[k];
                auto* dst =
                    reinterpret_cast<std::uint32_t*>(base + std::ptrdiff_t(first + k) * stride);
                for (JDIMENSION x = 0; x < width; ++x, src += 4) {
                    unsigned c = src[0], m = src[1], y = src[2], kk = src[3];
                    if (!inverted) {
                        c = 255 - c;
                        m = 255 - m;
                        y = 255 - y;
                        kk = 255 - kk;
                    }
                    dst[x] =
                        0xFF000000u | (c * kk / 255) << 16 | (m * kk / 255) << 8 | (y * kk / 255);
                }
            }
        }
        if (got == 0) break;
        done(int(first + got));
    }
    return true;
}

J_COLOR_SPACE OutputSpace(const jpeg_decompress_struct& cinfo) {
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    return cmyk ? JCS_CMYK : JCS_EXT_BGRA;
}

}  // namespace

bool JpegDecoder::Decode(Target& target, std::int64_t previewMinPixels) {
    if (!opened_) {
        if (error_.empty()) error_ = "no picture";
        return false;
    }
    opened_ = false;
    const bool preview = HasPreview(previewMinPixels);
    State& s = *state_;
    jpeg_decompress_struct& cinfo = s.cinfo;
    if (setjmp(s.err.jump)) {
        error_ = s.err.message;
        jpeg_abort_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = OutputSpace(cinfo);
    cinfo.dct_method = JDCT_ISLOW;
    // Several scans: the library keeps the coefficients and the scans are counted as they
    // are read, so that a file of endless scans ends in an error instead of taking forever.
    cinfo.buffered_image = multiScan_ ? TRUE : FALSE;
    jpeg_start_decompress(&cinfo);
    if (int(cinfo.output_width) != width_ || int(cinfo.output_height) != height_) {
        error_ = "unexpected output size";
        jpeg_abort_decompress(&cinfo);
        return false;
    }
    auto cancel = [&] {
        error_ = "cancelled";
        jpeg_abort_decompress(&cinfo);
        return false;
    };
    if (preview) {
        // The first scan, quickly: the fast transform, no smoothing, and only the top rows.
        cinfo.dct_method = JDCT_IFAST;
        cinfo.do_block_smoothing = FALSE;
        jpeg_start_output(&cinfo, 1);
        const int rows = std::min(kPreviewRows, height_);
        std::ptrdiff_t stride = 0;
        if (std::uint8_t* base = target.BeginPreview(width_, rows, &stride)) {
            if (!ReadRows(cinfo, target, base, stride, JDIMENSION(rows), s.cmykRows, s.rows,
                          [](int) {}))
                return cancel();
            target.PreviewDone();
        }
        jpeg_finish_output(&cinfo);  // ends the pass before its end
        cinfo.dct_method = JDCT_ISLOW;
        cinfo.do_block_smoothing = TRUE;
    }
    if (multiScan_) {
        for (;;) {
            const int status = jpeg_consume_input(&cinfo);
            if (status == JPEG_REACHED_EOI || status == JPEG_SUSPENDED) break;
            if (cinfo.input_scan_number > kMaxScans) {
                error_ = "too many scans";
                jpeg_abort_decompress(&cinfo);
                return false;
            }
            if (target.Cancelled()) return cancel();
        }
        jpeg_start_output(&cinfo, cinfo.input_scan_number);
    }
    std::ptrdiff_t stride = 0;
    std::uint8_t* base = target.BeginPicture(&stride);
    if (!base) return cancel();
    if (!ReadRows(cinfo, target, base, stride, cinfo.output_height, s.cmykRows, s.rows,
                  [&target](int rows) { target.RowsDone(rows); }))
        return cancel();
    if (multiScan_) jpeg_finish_output(&cinfo);
    jpeg_finish_decompress(&cinfo);
    return true;
}

}  // namespace tavrin::viewer
