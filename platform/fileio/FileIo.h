// Small POSIX file helpers shared by every writer: an owned descriptor, reading and writing
// whole ranges at offsets, copying in the kernel, and flushing a folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrin::fileio {

// An open file descriptor, closed when the object goes.
class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : fd_(other.Release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    int Release();
    // Closes the descriptor; false when the close reports an error (a late write error).
    bool Close();

  private:
    int fd_ = -1;
};

// Reads up to `count` bytes at `offset`; the number read (less at the end of the file), or -1
// on an error.
std::int64_t ReadUpToAt(int fd, void* buffer, std::size_t count, std::int64_t offset);

// Reads exactly `count` bytes at `offset`; false on an error or when the file ends earlier.
bool ReadExactAt(int fd, void* buffer, std::size_t count, std::int64_t offset);

// Writes all `count` bytes at `offset`; false on any error (errno tells which).
bool WriteAllAt(int fd, const void* buffer, std::size_t count, std::int64_t offset);

// Copies the bytes of `src` from `srcOffset` up to its end into `dst` at `dstOffset`, in the
// kernel where the file systems allow it. Returns the number of bytes copied, or -1 on error.
std::int64_t CopyToEnd(int src, std::int64_t srcOffset, int dst, std::int64_t dstOffset);

// The folder part of a path ("." for a bare name, "/" for a name in the root) and its last
// part.
std::string FolderOf(const std::string& path);
std::string BareNameOf(const std::string& path);

// Flushes a folder's entries to disk, so that a rename or a new name in it survives a crash.
// False only when the folder cannot be opened; file systems that cannot flush a folder count
// as flushed.
bool SyncFolder(const std::string& folder);

// The text of an errno value ("Permission denied").
std::string ErrorText(int code);

}  // namespace tavrin::fileio
