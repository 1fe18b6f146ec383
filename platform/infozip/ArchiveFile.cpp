#include "ArchiveFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "LibzipLoader.h"

namespace izcommon {

using tavrin::fileio::ErrorText;

ArchiveFile::ArchiveFile(std::string path, std::string scratchFolder)
    : path_(std::move(path)), scratchFolder_(std::move(scratchFolder)) {}

bool ArchiveFile::Open() {
    if (!tavrin::fileio::ResolveLinks(path_, &target_)) {
        error_ = ErrorText(errno);
        return false;
    }
    read_ = tavrin::fileio::FileHandle(::open(target_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!read_.IsOpen()) {
        if (errno == ENOENT) return true;
        error_ = ErrorText(errno);
        return false;
    }
    if (::fstat(read_.Get(), &stat_) != 0 || !S_ISREG(stat_.st_mode)) {
        error_ = "Not a regular file";
        read_.Close();
        return false;
    }
    return true;
}

bool ArchiveFile::MayWrite() {
    tavrin::fileio::SafeReplace replace(path_);
    if (replace.Prepare()) return true;
    error_ = replace.Error();
    return false;
}

zip_source_t* ArchiveFile::MakeSource(zip_error_t* error) {
    Libzip()->zip_error_init(&zipError_);
    return Libzip()->zip_source_function_create(&ArchiveFile::Call, this, error);
}

zip_int64_t ArchiveFile::Call(void* self, void* data, zip_uint64_t length,
                              zip_source_cmd_t command) {
    return static_cast<ArchiveFile*>(self)->Handle(data, length, command);
}

zip_int64_t ArchiveFile::Fail(int zipCode, int systemCode, std::string text) {
    Libzip()->zip_error_set(&zipError_, zipCode, systemCode);
    error_ = !text.empty() ? std::move(text) : systemCode ? ErrorText(systemCode) : std::string();
    return -1;
}

zip_int64_t ArchiveFile::Handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    const LibzipApi& zip = *Libzip();
    switch (command) {
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_WRITABLE;
        case ZIP_SOURCE_OPEN:
            if (!read_.IsOpen()) return Fail(ZIP_ER_OPEN, ENOENT);
            readAt_ = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const std::int64_t n = tavrin::fileio::ReadUpToAt(read_.Get(), data, length, readAt_);
            if (n < 0) return Fail(ZIP_ER_READ, errno);
            readAt_ += n;
            return n;
        }
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_STAT: {
            if (length < sizeof(zip_stat_t)) return Fail(ZIP_ER_INVAL, 0);
            // A missing archive reads as this, so that libzip makes a new one.
            if (!read_.IsOpen()) return Fail(ZIP_ER_READ, ENOENT);
            auto* st = static_cast<zip_stat_t*>(data);
            zip.zip_stat_init(st);
            st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            st->size = static_cast<zip_uint64_t>(stat_.st_size);
            st->mtime = stat_.st_mtime;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip.zip_error_to_data(&zipError_, data, length);
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t at = zip.zip_source_seek_compute_offset(
                static_cast<zip_uint64_t>(readAt_), static_cast<zip_uint64_t>(stat_.st_size), data,
                length, &zipError_);
            if (at < 0) return -1;
            readAt_ = at;
            return 0;
        }
        case ZIP_SOURCE_TELL:
            return readAt_;
        case ZIP_SOURCE_BEGIN_WRITE:
            return BeginWrite();
        case ZIP_SOURCE_WRITE:
            if (!Write(data, length)) return Fail(ZIP_ER_WRITE, errno);
            writeAt_ += static_cast<std::int64_t>(length);
            writeEnd_ = std::max(writeEnd_, writeAt_);
            return static_cast<zip_int64_t>(length);
        case ZIP_SOURCE_SEEK_WRITE: {
            const zip_int64_t at = zip.zip_source_seek_compute_offset(
                static_cast<zip_uint64_t>(writeAt_), static_cast<zip_uint64_t>(writeEnd_), data,
                length, &zipError_);
            if (at < 0) return -1;
            writeAt_ = at;
            return 0;
        }
        case ZIP_SOURCE_TELL_WRITE:
            return writeAt_;
        case ZIP_SOURCE_COMMIT_WRITE:
            return CommitWrite();
        case ZIP_SOURCE_ROLLBACK_WRITE:
            pending_.clear();
            scratch_.Close();
            replace_.reset();  // its temporary goes with it
            writeFd_ = -1;
            return 0;
        case ZIP_SOURCE_REMOVE:
            // The engine keeps an archive without entries as an empty archive; libzip never
            // removes one.
            return Fail(ZIP_ER_REMOVE, EPERM);
        default:
            return Fail(ZIP_ER_OPNOTSUPP, 0);
    }
}

zip_int64_t ArchiveFile::BeginWrite() {
    replace_ = std::make_unique<tavrin::fileio::SafeReplace>(path_);
    if (!replace_->Prepare()) return Fail(ZIP_ER_TMPOPEN, replace_->ErrorCode(), replace_->Error());
    if (!scratchFolder_.empty()) {
        std::string error;
        scratch_ = tavrin::fileio::CreateScratchFile(scratchFolder_,
                                                     tavrin::fileio::BareNameOf(target_), &error);
        if (!scratch_.IsOpen()) return Fail(ZIP_ER_TMPOPEN, errno, error);
        writeFd_ = scratch_.Get();
    } else {
        if (!replace_->Create())
            return Fail(ZIP_ER_TMPOPEN, replace_->ErrorCode(), replace_->Error());
        writeFd_ = replace_->Fd();
    }
    writeAt_ = writeEnd_ = 0;
    return 0;
}

// libzip writes an entry's header in many small pieces: contiguous writes are gathered and
// go to the file together.
bool ArchiveFile::Write(const void* data, zip_uint64_t length) {
    const auto pendingEnd = pendingAt_ + static_cast<std::int64_t>(pending_.size());
    if (!pending_.empty() && (pendingEnd != writeAt_ || pending_.size() + length > kWriteBuffer) &&
        !Flush())
        return false;
    if (length >= kWriteBuffer) return tavrin::fileio::WriteAllAt(writeFd_, data, length, writeAt_);
    if (pending_.empty()) pendingAt_ = writeAt_;
    const auto* bytes = static_cast<const uint8_t*>(data);
    pending_.insert(pending_.end(), bytes, bytes + length);
    return true;
}

bool ArchiveFile::Flush() {
    if (pending_.empty()) return true;
    const bool written =
        tavrin::fileio::WriteAllAt(writeFd_, pending_.data(), pending_.size(), pendingAt_);
    pending_.clear();
    return written;
}

zip_int64_t ArchiveFile::CommitWrite() {
    if (!replace_) return Fail(ZIP_ER_INTERNAL, 0);
    if (!Flush()) return Fail(ZIP_ER_WRITE, errno);
    if (scratch_.IsOpen()) {
        // Built in the temporary folder: copied beside the archive, so that the last step is
        // still a rename in the archive's own folder.
        if (!replace_->Create())
            return Fail(ZIP_ER_TMPOPEN, replace_->ErrorCode(), replace_->Error());
        if (tavrin::fileio::CopyToEnd(scratch_.Get(), 0, replace_->Fd(), 0) != writeEnd_)
            return Fail(ZIP_ER_WRITE, errno ? errno : EIO);
        scratch_.Close();
    }
    if (!replace_->Commit()) return Fail(ZIP_ER_WRITE, replace_->ErrorCode(), replace_->Error());
    replace_.reset();
    writeFd_ = -1;
    return 0;
}

}  // namespace izcommon
