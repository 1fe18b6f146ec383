#include "ZipPrepare.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "LibzipLoader.h"
#include "ZipNames.h"
#include "platform/fileio/SafeReplace.h"

namespace izcommon {

Spool::Spool(std::string folder, size_t memoryBudget)
    : folder_(std::move(folder)), budget_(memoryBudget) {}

Spool::~Spool() {
    if (fd_ >= 0) close(fd_);
}

bool Spool::Append(const uint8_t* data, size_t length) {
    while (length > 0) {
        if (size_ < budget_) {
            size_t block = static_cast<size_t>(size_ / kBlock), at = size_ % kBlock;
            if (block == blocks_.size()) blocks_.emplace_back(new uint8_t[kBlock]);
            size_t n = std::min({length, kBlock - at, static_cast<size_t>(budget_ - size_)});
            std::memcpy(blocks_[block].get() + at, data, n);
            data += n;
            length -= n;
            size_ += n;
            continue;
        }
        if (fd_ < 0) {
            // Unnamed: it goes with the job, also when the job is killed.
            tavrin::fileio::FileHandle file =
                tavrin::fileio::CreateScratchFile(folder_, "spool", &error_);
            if (!file.IsOpen()) return false;
            fd_ = file.Release();
        }
        off_t at = static_cast<off_t>(size_ - budget_);
        ssize_t n = pwrite(fd_, data, length, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = std::string("cannot write a temporary file: ") + strerror(errno);
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
        size_ += static_cast<uint64_t>(n);
    }
    return true;
}

void Spool::Truncate(uint64_t size) {
    if (size >= size_) return;
    size_ = size;
    if (fd_ >= 0 && size_ >= budget_)
        (void)!ftruncate(fd_, static_cast<off_t>(size_ - budget_));
    else if (fd_ >= 0)
        (void)!ftruncate(fd_, 0);
}

bool Spool::Read(uint64_t offset, uint8_t* to, size_t length) const {
    if (offset > size_ || length > size_ - offset) return false;
    while (length > 0) {
        if (offset < budget_) {
            size_t block = static_cast<size_t>(offset / kBlock), at = offset % kBlock;
            size_t n = std::min({length, kBlock - at, static_cast<size_t>(budget_ - offset)});
            std::memcpy(to, blocks_[block].get() + at, n);
            to += n;
            length -= n;
            offset += n;
            continue;
        }
        ssize_t n = pread(fd_, to, length, static_cast<off_t>(offset - budget_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        to += n;
        length -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

namespace {

struct SourceState {
    PreparedFile file;
    const Spool* spool;
    time_t mtime;
    uint64_t position = 0;
    int zipError = 0, systemError = 0;
};

zip_int64_t Callback(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
    auto* s = static_cast<SourceState*>(userdata);
    switch (cmd) {
        case ZIP_SOURCE_OPEN:
            s->position = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            uint64_t left = s->file.compSize - s->position;
            size_t n = static_cast<size_t>(std::min<uint64_t>(left, length));
            if (!s->spool->Read(s->file.spoolOffset + s->position, static_cast<uint8_t*>(data),
                                n)) {
                s->zipError = ZIP_ER_READ;
                s->systemError = EIO;
                return -1;
            }
            s->position += n;
            return static_cast<zip_int64_t>(n);
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT: {
            if (length < sizeof(zip_stat_t)) return -1;
            auto* st = static_cast<zip_stat_t*>(data);
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD |
                        ZIP_STAT_ENCRYPTION_METHOD | ZIP_STAT_MTIME;
            st->size = s->file.size;
            st->comp_size = s->file.compSize;
            st->crc = s->file.crc;
            st->comp_method = ZIP_CM_DEFLATE;
            st->encryption_method = ZIP_EM_NONE;
            st->mtime = s->mtime;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
            if (length < sizeof(zip_file_attributes_t)) return -1;
            auto* a = static_cast<zip_file_attributes_t*>(data);
            a->valid |=
                ZIP_FILE_ATTRIBUTES_VERSION_NEEDED | ZIP_FILE_ATTRIBUTES_GENERAL_PURPOSE_BIT_FLAGS;
            a->version_needed = 20;
            a->general_purpose_bit_flags = s->file.speedFlags;
            a->general_purpose_bit_mask = 0x0006;
            return sizeof(zip_file_attributes_t);
        }
        case ZIP_SOURCE_ERROR: {
            if (length < 2 * sizeof(int)) return -1;
            int* e = static_cast<int*>(data);
            e[0] = s->zipError;
            e[1] = s->systemError;
            return 2 * sizeof(int);
        }
        case ZIP_SOURCE_FREE:
            delete s;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_READABLE |
                   ZIP_SOURCE_MAKE_COMMAND_BITMASK(ZIP_SOURCE_GET_FILE_ATTRIBUTES) |
                   ZIP_SOURCE_MAKE_COMMAND_BITMASK(ZIP_SOURCE_SUPPORTS);
        default:
            s->zipError = ZIP_ER_OPNOTSUPP;
            return -1;
    }
}

}  // namespace

zip_source_t* PreparedSource(zip_t* archive, const PreparedFile& file, const Spool& spool,
                             time_t mtime) {
    auto* state = new SourceState{file, &spool, mtime};
    zip_source_t* source = Libzip()->zip_source_function(archive, Callback, state);
    if (!source) delete state;
    return source;
}

}  // namespace izcommon
