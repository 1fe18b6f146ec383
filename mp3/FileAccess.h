// File helpers of the tag classes and the header analyser: opening regular files (never a
// FIFO, folder or device), on top of the shared reading, writing and copying helpers.
#pragma once

#include <cstdint>
#include <string>

#include "platform/fileio/FileIo.h"

namespace tavrin::fileaccess {

using fileio::CopyToEnd;
using fileio::FileHandle;
using fileio::ReadExactAt;
using fileio::ReadUpToAt;
using fileio::WriteAllAt;

// Opens a regular file read-only (never blocks on a FIFO, refuses folders and devices).
// Returns a closed handle on failure; `size` receives the file size.
FileHandle OpenForReading(const std::string& path, std::int64_t* size = nullptr);

// Opens an existing regular file for reading and writing; a closed handle on failure.
FileHandle OpenForWriting(const std::string& path, std::int64_t* size = nullptr);

}  // namespace tavrin::fileaccess
