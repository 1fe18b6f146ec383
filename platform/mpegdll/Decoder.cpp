#include "platform/mpegdll/Decoder.h"

#include <cstdio>

namespace mpegdll {

Decoder::~Decoder() {
    if (handle_ != nullptr) mpg123_delete(handle_);  // closes the input too
}

bool Decoder::Create() {
    if (handle_ != nullptr) return true;
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (handle_ == nullptr) return false;
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    // Only 16-bit output at the stream's own rate and channel count: the sinks take nothing
    // else, and resampling would change what the positions mean.
    mpg123_param(handle_, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0.0);
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    return true;
}

bool Decoder::ReadFormat() {
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK) return false;
    if (rate <= 0 || channels < 1 || channels > 2 || encoding != MPG123_ENC_SIGNED_16) return false;
    mpg123_frameinfo2 info{};
    if (mpg123_info2(handle_, &info) != MPG123_OK) return false;
    format_.rate = rate;
    format_.channels = channels;
    format_.layer = info.layer;
    format_.bitrate = info.bitrate;
    return true;
}

bool Decoder::OpenFile(const char* path) {
    if (!Create() || mpg123_open(handle_, path) != MPG123_OK || !ReadFormat()) return false;
    seekable_ = true;
    // A full scan gives the exact length (and a seek index); an Info frame alone may be
    // missing or wrong.
    mpg123_scan(handle_);
    off_t length = mpg123_length(handle_);
    length_ = length < 0 ? -1 : length;
    return true;
}

bool Decoder::OpenSource(CallbackSource* source) {
    if (!Create()) return false;
    source_ = source;
    seekable_ = source->Seekable();
    if (mpg123_replace_reader_handle(handle_, CallbackSource::Read, CallbackSource::Seek,
                                     nullptr) != MPG123_OK)
        return false;
    // A stream that cannot seek must not be probed at its end; the small buffer lets the
    // decoder look ahead for frame sync.
    if (!seekable_)
        mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_NO_PEEK_END | MPG123_SEEKBUFFER, 0.0);
    return Reopen();
}

bool Decoder::Reopen() {
    if (handle_ == nullptr || source_ == nullptr) return false;
    mpg123_close(handle_);
    source_->TakeReadFailure();
    if (mpg123_open_handle(handle_, source_) != MPG123_OK) return false;
    long long size = source_->Size();
    if (size > 0) mpg123_set_filesize(handle_, static_cast<off_t>(size));
    if (!ReadFormat()) return false;
    if (seekable_) mpg123_scan(handle_);
    off_t length = mpg123_length(handle_);  // from the Info frame or the size when not scanned
    length_ = length < 0 ? -1 : length;
    return true;
}

Decoder::Status Decoder::Read(unsigned char* buffer, size_t size, size_t* got) {
    *got = 0;
    int result = mpg123_read(handle_, buffer, size, got);
    switch (result) {
        case MPG123_OK:
            return Status::Data;
        case MPG123_NEW_FORMAT:
            return ReadFormat() ? Status::NewFormat : Status::InputError;
        case MPG123_DONE:
            if (*got > 0) return Status::Data;
            if (source_ != nullptr && source_->TakeReadFailure()) return Status::InputError;
            return Status::Done;
        default:
            break;
    }
    int code = mpg123_errcode(handle_);
    return code == MPG123_OUT_OF_MEM ? Status::InternalError : Status::InputError;
}

long long Decoder::SeekTo(long long sample) {
    off_t reached = mpg123_seek(handle_, static_cast<off_t>(sample), SEEK_SET);
    return reached < 0 ? -1 : reached;
}

int Decoder::CurrentBitrate() {
    mpg123_frameinfo2 info{};
    if (mpg123_info2(handle_, &info) != MPG123_OK) return format_.bitrate;
    return info.bitrate;
}

size_t Decoder::BlockSize() const {
    size_t size = mpg123_outblock(handle_);
    return size < 16384 ? 16384 : size;
}

}  // namespace mpegdll
