// Stream-mode input: the caller's six callbacks, adapted to the read/lseek handle interface
// of libmpg123.
#pragma once

#include <sys/types.h>

#include <cstddef>

#include "platform/mpegdll/mpegdll_api.h"

namespace mpegdll {

struct StreamCallbacks {
    MPEGDLL_OPEN_CB open = nullptr;
    MPEGDLL_CLOSE_CB close = nullptr;
    MPEGDLL_RESTART_CB restart = nullptr;
    MPEGDLL_READ_CB read = nullptr;
    MPEGDLL_SEEK_CB seek = nullptr;
    MPEGDLL_SIZE_CB size = nullptr;
    void* self = nullptr;
};

class CallbackSource {
  public:
    explicit CallbackSource(const StreamCallbacks& callbacks) : cb_(callbacks) {}
    ~CallbackSource() { Close(); }
    CallbackSource(const CallbackSource&) = delete;
    CallbackSource& operator=(const CallbackSource&) = delete;

    // Calls the open callback; false when the callbacks cannot carry a stream (no read).
    bool Open();
    // Calls the close callback once, if Open called the open callback.
    void Close();

    bool Seekable() const { return cb_.seek != nullptr && !nonseekable_; }
    // The stream's size in bytes from the size callback; -1 when unknown.
    long long Size();
    // Asks the caller to start the stream over (the way back for a non-seekable stream).
    bool Rewind();
    // Whether the read callback reported a failure since the last call: the decoder takes a
    // failed read for the end of the stream.
    bool TakeReadFailure() {
        bool failed = readFailed_;
        readFailed_ = false;
        return failed;
    }

    // The libmpg123 reader functions; `handle` is the CallbackSource.
    static ssize_t Read(void* handle, void* buffer, size_t bytes);
    static off_t Seek(void* handle, off_t offset, int whence);

  private:
    StreamCallbacks cb_;
    void* context_ = nullptr;
    bool opened_ = false;
    bool nonseekable_ = false;
    bool readFailed_ = false;
};

}  // namespace mpegdll
