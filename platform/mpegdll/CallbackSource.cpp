#include "platform/mpegdll/CallbackSource.h"

#include <cerrno>
#include <climits>
#include <cstdio>

namespace mpegdll {

bool CallbackSource::Open() {
    if (cb_.read == nullptr) return false;
    if (cb_.open != nullptr) {
        int nonseekable = 0;
        void* context = nullptr;
        cb_.open(cb_.self, &nonseekable, &context);
        nonseekable_ = nonseekable != 0;
        context_ = context;
    }
    opened_ = true;
    return true;
}

void CallbackSource::Close() {
    if (!opened_) return;
    opened_ = false;
    if (cb_.close != nullptr) cb_.close(cb_.self, context_);
}

long long CallbackSource::Size() {
    if (cb_.size == nullptr) return -1;
    int res = -1;
    cb_.size(cb_.self, context_, &res);
    return res < 0 ? -1 : res;
}

bool CallbackSource::Rewind() {
    if (cb_.restart == nullptr) return false;
    int res = 0;
    cb_.restart(cb_.self, context_, &res);
    return res >= 0;
}

ssize_t CallbackSource::Read(void* handle, void* buffer, size_t bytes) {
    auto* source = static_cast<CallbackSource*>(handle);
    // The callback counts in int; larger requests are simply served in part.
    int wanted = bytes > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(bytes);
    int got = 0;
    int res = 0;
    source->cb_.read(source->cb_.self, source->context_, buffer, wanted, &got, &res);
    if (res < 0 || got < 0) {
        source->readFailed_ = true;
        errno = EIO;
        return -1;
    }
    return got > wanted ? wanted : got;
}

off_t CallbackSource::Seek(void* handle, off_t offset, int whence) {
    auto* source = static_cast<CallbackSource*>(handle);
    int method = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? 1 : whence == SEEK_END ? 2 : -1;
    if (!source->Seekable() || method < 0 || offset < INT_MIN || offset > INT_MAX) {
        errno = ESPIPE;
        return -1;
    }
    int res = -1;
    source->cb_.seek(source->cb_.self, source->context_, static_cast<int>(offset), method, &res);
    if (res < 0) {
        errno = EIO;
        return -1;
    }
    return res;
}

}  // namespace mpegdll
