// The zip library's deflate stage: each file is deflated before the archive is written, so
// the writer knows whether deflating made it smaller. When it did not, the file is stored
// (method 0), as zip does; otherwise the deflated bytes are handed to libzip ready made.
// The deflated data of a job waits in a spool (filled by PrepareFiles, ParallelDeflate.h)
// until libzip writes the archive.
#pragma once

#include <zip.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace izcommon {

// Holds the deflated data of a job: in memory up to a budget, beyond it in a temporary file
// that has no name (nothing is left behind, whatever happens). Data is appended; the data of
// the last file can be given back.
class Spool {
  public:
    Spool(std::string folder, size_t memoryBudget);
    ~Spool();
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    uint64_t Size() const { return size_; }
    bool Append(const uint8_t* data, size_t length);
    void Truncate(uint64_t size);
    bool Read(uint64_t offset, uint8_t* to, size_t length) const;
    const std::string& Error() const { return error_; }

  private:
    static constexpr size_t kBlock = 1 << 20;
    std::string folder_;
    size_t budget_;
    std::vector<std::unique_ptr<uint8_t[]>> blocks_;
    int fd_ = -1;
    uint64_t size_ = 0;
    std::string error_;
};

struct PreparedFile {
    bool stored = false;  // deflating did not make it smaller
    uint64_t size = 0;
    uint32_t crc = 0;
    uint64_t spoolOffset = 0;  // the deflated bytes
    uint64_t compSize = 0;
    uint16_t speedFlags = 0;  // general purpose bits 1 and 2 for the level
};

enum class PrepareStatus { kOk, kUnreadable, kSpoolFailed };

// A libzip source that delivers a prepared file's deflated bytes as they are; libzip writes
// them without compressing again. The spool must outlive the source.
zip_source_t* PreparedSource(zip_t* archive, const PreparedFile& file, const Spool& spool,
                             time_t mtime);

}  // namespace izcommon
