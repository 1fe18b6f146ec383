// Small POSIX file helpers shared by the tag classes and the header analyser: reading regular
// files at given offsets, the "attributes to normal" rule, copying ranges between files and
// the atomic replacement of a file by a fully written temporary copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrin::fileaccess {

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

// Opens a regular file read-only (never blocks on a FIFO, refuses folders and devices).
// Returns a closed handle on failure; `size` receives the file size.
FileHandle OpenForReading(const std::string& path, std::int64_t* size = nullptr);

// Opens an existing regular file for reading and writing; a closed handle on failure.
FileHandle OpenForWriting(const std::string& path, std::int64_t* size = nullptr);

// Reads exactly `count` bytes at `offset`; false on an error or when the file ends earlier.
bool ReadExactAt(int fd, void* buffer, std::size_t count, std::int64_t offset);

// Reads up to `count` bytes at `offset`; the number read (less at the end of the file), or -1
// on an error.
std::int64_t ReadUpToAt(int fd, void* buffer, std::size_t count, std::int64_t offset);

// Writes all `count` bytes at `offset`; false on any error.
bool WriteAllAt(int fd, const void* buffer, std::size_t count, std::int64_t offset);

// "Sets the attributes to normal": adds the owner's write bit (the read-only attribute is
// cleared and not restored). False when the file does not exist or the mode cannot be changed.
bool SetAttributesNormal(const std::string& path);

// Copies the bytes of `src` from `srcOffset` up to its end into `dst` at `dstOffset`, in the
// kernel where the file systems allow it. Returns the number of bytes copied, or -1 on error.
std::int64_t CopyToEnd(int src, std::int64_t srcOffset, int dst, std::int64_t dstOffset);

// The path a rewrite should replace: a symbolic link is followed, so that the link stays and
// its target is rewritten. The path itself when it is not a link; empty when the link dangles.
std::string ResolveForRewrite(const std::string& path);

// A temporary file next to a target, named target + "~", replacing the target atomically.
// Until Commit succeeds the target is untouched; the temporary file is removed when the object
// goes without a successful Commit.
class ReplacementFile {
  public:
    explicit ReplacementFile(std::string target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the temporary file (an existing file of that name is replaced) with the given
    // permission bits. False on failure.
    bool Create(unsigned mode);
    int Fd() const { return file_.Get(); }
    const std::string& TempPath() const { return temp_; }
    // Flushes the temporary file to disk, closes it and renames it over the target in one
    // step. False on any failure (the temporary file is then removed, the target kept).
    bool Commit();

  private:
    std::string target_;
    std::string temp_;
    FileHandle file_;
    bool created_ = false;
};

}  // namespace tavrin::fileaccess
