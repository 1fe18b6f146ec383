// The archive file as libzip reads and writes it. It is read from the file itself (a link's
// target) and written through fileio::SafeReplace: a save keeps the archive's links, owner,
// group and mode, refuses an archive the user may not write, is flushed to disk before and
// after it takes the old archive's place, and leaves no temporary file behind. With a
// temporary folder the new archive is built in an unnamed scratch file there first.
#pragma once

#include <sys/stat.h>
#include <zip.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/fileio/FileIo.h"
#include "platform/fileio/SafeReplace.h"

namespace izcommon {

class ArchiveFile {
  public:
    // `path` as the caller named it; `scratchFolder` the engine's temporary folder, or empty.
    ArchiveFile(std::string path, std::string scratchFolder);
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    // Follows links and opens an existing archive for reading. False, with Error(), when the
    // archive cannot be read (a missing archive is no failure: Exists() is then false).
    bool Open();
    bool Exists() const { return read_.IsOpen(); }
    const struct stat& Stat() const { return stat_; }
    // Whether the user may change the archive; false with Error() saying why ("Permission
    // denied").
    bool MayWrite();

    // A libzip source on this file for zip_open_from_source; null with `error` set.
    zip_source_t* MakeSource(zip_error_t* error);

    // The system's reason of the last failure ("Permission denied", "No space left on
    // device"), with the file it concerns where that is not the archive; empty when none.
    const std::string& Error() const { return error_; }

  private:
    static zip_int64_t Call(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command);
    zip_int64_t Handle(void* data, zip_uint64_t length, zip_source_cmd_t command);
    zip_int64_t Fail(int zipCode, int systemCode, std::string text = {});
    zip_int64_t BeginWrite();
    zip_int64_t CommitWrite();
    bool Write(const void* data, zip_uint64_t length);
    bool Flush();

    static constexpr size_t kWriteBuffer = 1 << 20;

    std::string path_, scratchFolder_, target_;
    struct stat stat_ {};
    tavrin::fileio::FileHandle read_;
    std::int64_t readAt_ = 0;
    std::unique_ptr<tavrin::fileio::SafeReplace> replace_;
    tavrin::fileio::FileHandle scratch_;
    int writeFd_ = -1;
    std::int64_t writeAt_ = 0, writeEnd_ = 0;
    std::vector<uint8_t> pending_;  // written, not yet in the file: from pendingAt_ on
    std::int64_t pendingAt_ = 0;
    zip_error_t zipError_{};
    std::string error_;
};

}  // namespace izcommon
