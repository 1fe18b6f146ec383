// One MPEG audio stream decoded by libmpg123 to signed 16-bit samples at the stream's own
// rate and channel count.
#pragma once

#include <mpg123.h>

#include <cstddef>

#include "platform/mpegdll/CallbackSource.h"

namespace mpegdll {

struct StreamFormat {
    long rate = 0;
    int channels = 0;
    int layer = 0;
    int bitrate = 0;  // kbit/s of the first frame
};

class Decoder {
  public:
    enum class Status { Data, NewFormat, Done, InputError, InternalError };

    Decoder() = default;
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Open and read the first frame; false when the input is unreadable or not MPEG audio.
    bool OpenFile(const char* path);
    bool OpenSource(CallbackSource* source);
    // Opens the callback source again after its owner started it over.
    bool Reopen();

    const StreamFormat& Format() const { return format_; }
    // Samples per channel in the whole stream; -1 when not known.
    long long LengthSamples() const { return length_; }
    bool Seekable() const { return seekable_; }

    // Decodes into `buffer`; `got` receives the byte count of Data (and possibly NewFormat, after
    // which Format() describes the samples).
    Status Read(unsigned char* buffer, size_t size, size_t* got);
    // Moves to a sample offset; returns the offset reached or -1.
    long long SeekTo(long long sample);
    // The bitrate of the frame decoded last, kbit/s.
    int CurrentBitrate();
    // A buffer size that holds the output of one frame.
    size_t BlockSize() const;

  private:
    bool Create();
    bool ReadFormat();

    mpg123_handle* handle_ = nullptr;
    CallbackSource* source_ = nullptr;
    StreamFormat format_;
    long long length_ = -1;
    bool seekable_ = false;
};

}  // namespace mpegdll
