#include "mp3/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace tavrin::fileaccess {

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

namespace {

FileHandle OpenRegular(const std::string& path, int access, std::int64_t* size) {
    // O_NONBLOCK keeps a FIFO from blocking the open; on the regular files that are all this
    // accepts it changes nothing, so it stays set.
    int fd = ::open(path.c_str(), access | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return {};
    FileHandle handle(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return {};
    if (size) *size = st.st_size;
    return handle;
}

}  // namespace

FileHandle OpenForReading(const std::string& path, std::int64_t* size) {
    return OpenRegular(path, O_RDONLY, size);
}

FileHandle OpenForWriting(const std::string& path, std::int64_t* size) {
    return OpenRegular(path, O_RDWR, size);
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
    if (offset < 0) return false;
    const auto* in = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::pwrite(fd, in + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool SetAttributesNormal(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    if (st.st_mode & S_IWUSR) return true;
    return ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

std::int64_t CopyToEnd(int src, std::int64_t srcOffset, int dst, std::int64_t dstOffset) {
    if (srcOffset < 0 || dstOffset < 0) return -1;
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

std::string ResolveForRewrite(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return {};
    std::string result = resolved;
    std::free(resolved);
    return result;
}

ReplacementFile::ReplacementFile(std::string target)
    : target_(std::move(target)), temp_(target_ + "~") {}

ReplacementFile::~ReplacementFile() {
    if (created_) {
        file_.Close();
        ::unlink(temp_.c_str());
    }
}

bool ReplacementFile::Create(unsigned mode) {
    // An existing file of that name is replaced; removing it first keeps a link of that name
    // from redirecting the write elsewhere.
    if (::unlink(temp_.c_str()) != 0 && errno != ENOENT) return false;
    int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    file_ = FileHandle(fd);
    created_ = true;
    return ::fchmod(fd, mode & 07777) == 0;
}

bool ReplacementFile::Commit() {
    if (!created_ || !file_.IsOpen()) return false;
    if (::fsync(file_.Get()) != 0) return false;
    if (!file_.Close()) return false;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    created_ = false;
    // Make the rename itself durable; the data is already on disk, so a failure here does not
    // put anything at risk.
    std::string folder = ".";
    auto slash = target_.find_last_of('/');
    if (slash != std::string::npos) folder = slash == 0 ? "/" : target_.substr(0, slash);
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

}  // namespace tavrin::fileaccess
