// Read-only access to a zip archive for the unzip library. The central directory is read
// once into one buffer and walked in place, so listing or finding one entry among hundreds
// of thousands costs no per-entry allocation and no time-zone work. Stored and deflated
// entries (plain or with traditional PKWARE encryption) are decoded here; other methods
// and encryptions go through libzip, opened only when such an entry is read.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

typedef struct zip zip_t;
typedef struct z_stream_s z_stream;

namespace izcommon {

struct CentralEntry {
    uint64_t index = 0;  // position in the central directory
    uint16_t madeBy = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t dosTime = 0;  // DOS date in the high 16 bits, time in the low 16 bits
    uint32_t crc = 0;
    uint32_t externalAttrs = 0;
    uint64_t compSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;
    std::string_view rawName;  // as stored, cut at a NUL byte
    std::string_view fullRawName;
    std::string_view extra;  // central extra fields

    bool IsEncrypted() const { return (flags & 1) != 0; }
    // The name as UTF-8: stored UTF-8, the Unicode path field, or CP437 converted into
    // `scratch`. The view lives as long as the directory buffer and `scratch`. This is the
    // name listed and matched.
    std::string_view Name(std::string* scratch) const;
    // The name a file gets on disk: Name(), except that an unflagged name which is not UTF-8
    // and was made on a Unix-like host is taken as its raw bytes (such hosts store the bytes
    // of the file system, not code page 437).
    std::string_view DiskName(std::string* scratch) const;
    // Unix permission and type bits when the entry was made on a Unix-like system.
    bool UnixMode(uint32_t* mode) const;
    bool IsSymlink() const;
    // Modification time: the extended timestamp when present, else the DOS time.
    time_t ModTime() const;
};

// Hash of a name with ASCII letters folded: equal for names that match without regard to
// case.
uint32_t NameHash(std::string_view name);

class ZipArchiveReader {
  public:
    enum class OpenStatus { kOk, kNotFound, kNotZip, kDamaged };
    enum class DataStatus { kOk, kBadData, kBadPassword, kUnsupported, kSinkFailed };
    static constexpr size_t kChunk = 32768;
    // No entry in an archive has a stored name this long (names are 16-bit): the quick
    // length of an entry that must be looked at by its full name.
    static constexpr uint16_t kExamine = 0xffff;
    using Sink = std::function<bool(const char* data, size_t length)>;

    ZipArchiveReader() = default;
    ~ZipArchiveReader();
    ZipArchiveReader(const ZipArchiveReader&) = delete;
    ZipArchiveReader& operator=(const ZipArchiveReader&) = delete;

    OpenStatus Open(const char* path);
    uint64_t EntryCount() const { return count_; }
    std::string_view Comment() const { return comment_; }

    // Walks the central directory from the start.
    void Rewind();
    bool Next(CentralEntry* entry);
    // The entry at `index` in central-directory order.
    bool EntryAt(uint64_t index, CentralEntry* entry) const;

    // Per entry, kept with the archive, so that repeated lookups in a large archive cost
    // little:
    // - the length of the stored name when Name() is that name or a conversion of its
    //   non-ASCII bytes (an ASCII name can only match a stored name of its own length),
    //   else kExamine (noted while the directory is read);
    const std::vector<uint16_t>& QuickLengths() const { return quickLengths_; }
    // - (built on first use) the entries by a hash of Name() with ASCII letters folded
    //   (NameHash): appends the indices of the entries whose name has hash `hash` (and
    //   perhaps a few others);
    void EntriesWithHash(uint32_t hash, std::vector<uint64_t>* indices);
    // - (built on first use) whether the entry's data overlaps an entry that comes before it
    //   in the central directory, or the directory itself (a zip bomb of overlapped
    //   components). The spans are the least each entry must cover: its 30-byte local
    //   header and its compressed data.
    bool OverlapsEarlier(uint64_t index);

    // Whether `password` opens an encrypted entry; plain entries always pass.
    DataStatus CheckPassword(const CentralEntry& entry, const std::string& password);
    // Delivers the uncompressed bytes in pieces of at most kChunk bytes, then checks the
    // size and CRC. Nothing is delivered when the password is wrong.
    DataStatus ReadData(const CentralEntry& entry, const std::string& password, const Sink& sink);

  private:
    void Parse(uint64_t index, CentralEntry* entry) const;
    bool ReadAt(uint64_t offset, void* buffer, size_t length) const;
    bool IsNative(const CentralEntry& entry) const;
    DataStatus DataStart(const CentralEntry& entry, uint64_t* start, const uint8_t** small);
    DataStatus ReadNative(const CentralEntry& entry, const std::string& password, const Sink* sink);
    DataStatus ReadWithLibzip(const CentralEntry& entry, const std::string& password,
                              const Sink* sink);

    int fd_ = -1;
    std::string path_;
    uint64_t fileSize_ = 0;
    int64_t shift_ = 0;  // bytes in front of the archive (self-extractor stubs)
    // The central directory; read whole, left uninitialised before the read (it can be
    // megabytes).
    struct Bytes {
        std::unique_ptr<uint8_t[]> bytes;
        size_t count = 0;
        void resize(size_t n) {
            bytes.reset(new uint8_t[n]);
            count = n;
        }
        uint8_t* data() { return bytes.get(); }
        const uint8_t* data() const { return bytes.get(); }
        size_t size() const { return count; }
        uint8_t& operator[](size_t i) { return bytes[i]; }
        const uint8_t& operator[](size_t i) const { return bytes[i]; }
    };
    Bytes directory_;
    uint64_t count_ = 0;
    uint64_t dirStart_ = 0;
    std::vector<uint32_t> offsets_;  // of each record in directory_
    std::string comment_;
    uint64_t nextIndex_ = 0;
    std::vector<uint16_t> quickLengths_;
    std::vector<std::pair<uint32_t, uint32_t>> byHash_;  // (name hash, index), sorted
    bool byHashBuilt_ = false;
    std::vector<bool> overlapping_;
    bool overlapsKnown_ = false;
    std::vector<uint8_t> input_, output_;
    std::vector<uint8_t> header_;   // local header and, for small entries, their data
    z_stream* inflater_ = nullptr;  // kept across entries, reset for each
    zip_t* libzip_ = nullptr;
    bool libzipFailed_ = false;
};

}  // namespace izcommon
