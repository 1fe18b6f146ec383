#include "platform/fileio/FileIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tavrin::fileio {

FileHandle::~FileHandle() {
    Close();
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

int FileHandle::Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

bool FileHandle::Close() {
    if (fd_ < 0) return true;
    int fd = Release();
    return ::close(fd) == 0;
}

std::int64_t ReadUpToAt(int fd, void* buffer, std::size_t count, std::int64_t offset) {
    if (offset < 0) return -1;
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool ReadExactAt(int fd, void* buffer, std::size_t count, std::int64_t offset) {
    return ReadUpToAt(fd, buffer, count, offset) == static_cast<std::int64_t>(count);
}

bool WriteAllAt(int fd, const void* buffer, std::size_t count, std::int64_t offset) {
    if (offset < 0) {
        errno = EINVAL;
        return false;
    }
    const auto* in = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::pwrite(fd, in + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::int64_t CopyToEnd(int src, std::int64_t srcOffset, int dst, std::int64_t dstOffset) {
    if (srcOffset < 0 || dstOffset < 0) {
        errno = EINVAL;
        return -1;
    }
    std::int64_t copied = 0;
    // In-kernel copy first: no user-space buffer, and no data through this process. The copy
    // goes in pieces whose writing to disk starts at once, so that a later flush has little
    // left to wait for.
    constexpr std::size_t kPiece = std::size_t{8} << 20;
    loff_t in = srcOffset;
    loff_t out = dstOffset;
    for (;;) {
        const loff_t pieceAt = out;
        ssize_t n = ::copy_file_range(src, &in, dst, &out, kPiece, 0);
        if (n > 0) {
            copied += n;
            ::sync_file_range(dst, pieceAt, n, SYNC_FILE_RANGE_WRITE);
            continue;
        }
        if (n == 0) return copied;
        if (errno == EINTR) continue;
        // Not supported between these files: fall back to reading and writing below.
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
            errno == EBADF || errno == EPERM)
            break;
        return -1;
    }
    std::vector<unsigned char> buffer(std::size_t{1} << 20);
    std::int64_t readAt = in;
    std::int64_t writeAt = out;
    for (;;) {
        std::int64_t n = ReadUpToAt(src, buffer.data(), buffer.size(), readAt);
        if (n < 0) return -1;
        if (n == 0) return copied;
        if (!WriteAllAt(dst, buffer.data(), static_cast<std::size_t>(n), writeAt)) return -1;
        readAt += n;
        writeAt += n;
        copied += n;
    }
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BareNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    ::fsync(fd);  // some file systems cannot flush a folder (EINVAL): nothing more to do there
    ::close(fd);
    return true;
}

std::string ErrorText(int code) {
    char buffer[256];
    // The GNU strerror_r returns the text, which need not be in the buffer.
    return ::strerror_r(code, buffer, sizeof buffer);
}

}  // namespace tavrin::fileio
