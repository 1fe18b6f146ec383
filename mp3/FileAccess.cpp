#include "mp3/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace tavrin::fileaccess {

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

}  // namespace tavrin::fileaccess
