#include "ZipReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "LibzipLoader.h"
#include "ZipNames.h"

namespace izcommon {

namespace {

constexpr uint32_t kLocalSig = 0x04034b50;
constexpr uint32_t kCentralSig = 0x02014b50;
constexpr uint32_t kEndSig = 0x06054b50;
constexpr uint32_t kEnd64Sig = 0x06064b50;
constexpr uint32_t kEnd64LocatorSig = 0x07064b50;
constexpr size_t kCentralFixed = 46;
constexpr size_t kEndFixed = 22;

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Get64(const uint8_t* p) {
    return static_cast<uint64_t>(Get32(p)) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}

// Finds one extra field by id; false when absent or malformed.
bool FindExtra(std::string_view extra, uint16_t id, std::string_view* data) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(extra.data());
    size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        uint16_t fieldId = Get16(p + pos);
        uint16_t length = Get16(p + pos + 2);
        if (pos + 4 + length > extra.size()) return false;
        if (fieldId == id) {
            *data = extra.substr(pos + 4, length);
            return true;
        }
        pos += 4 + length;
    }
    return false;
}

// Traditional PKWARE decryption.
class TraditionalKeys {
  public:
    explicit TraditionalKeys(const std::string& password) : table_(get_crc_table()) {
        for (unsigned char c : password) Update(c);
    }
    uint8_t Decrypt(uint8_t c) {
        uint32_t t = (k2_ & 0xffff) | 2;
        uint8_t plain = c ^ static_cast<uint8_t>((t * (t ^ 1)) >> 8);
        Update(plain);
        return plain;
    }
    void Decrypt(uint8_t* data, size_t length) {
        for (size_t i = 0; i < length; ++i) data[i] = Decrypt(data[i]);
    }

  private:
    uint32_t Crc(uint32_t crc, uint8_t b) const { return table_[(crc ^ b) & 0xff] ^ (crc >> 8); }
    void Update(uint8_t c) {
        k0_ = Crc(k0_, c);
        k1_ = (k1_ + (k0_ & 0xff)) * 134775813u + 1;
        k2_ = Crc(k2_, static_cast<uint8_t>(k1_ >> 24));
    }
    const z_crc_t* table_;
    uint32_t k0_ = 0x12345678, k1_ = 0x23456789, k2_ = 0x34567890;
};

// The Info-ZIP Unicode path field, when it belongs to this very stored name.
bool UnicodePath(const CentralEntry& e, std::string_view* name) {
    std::string_view unicode;
    if (!FindExtra(e.extra, 0x7075, &unicode) || unicode.size() < 5 || unicode[0] != 1)
        return false;
    uint32_t stored = Get32(reinterpret_cast<const uint8_t*>(unicode.data() + 1));
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(e.fullRawName.data()),
                      static_cast<uInt>(e.fullRawName.size()));
    std::string_view text = unicode.substr(5);
    text = text.substr(0, std::min(text.size(), text.find('\0')));
    if (stored != crc || text.empty() || !IsValidUtf8(text)) return false;
    *name = text;
    return true;
}

}  // namespace

std::string_view CentralEntry::Name(std::string* scratch) const {
    std::string_view unicode;
    if (flags & 0x800) return rawName;
    if (UnicodePath(*this, &unicode)) return unicode;
    if (IsValidUtf8(rawName)) return rawName;
    Cp437ToUtf8(rawName, scratch);
    return *scratch;
}

std::string_view CentralEntry::DiskName(std::string* scratch) const {
    unsigned host = madeBy >> 8;
    std::string_view unicode;
    if ((flags & 0x800) || (host != 3 && host != 19) || UnicodePath(*this, &unicode) ||
        IsValidUtf8(rawName))
        return Name(scratch);
    return rawName;
}

uint32_t NameHash(std::string_view name) {
    uint32_t h = 2166136261u;
    for (char c : name) {
        h ^= static_cast<unsigned char>(AsciiLower(c));
        h *= 16777619u;
    }
    return h;
}

bool CentralEntry::UnixMode(uint32_t* mode) const {
    unsigned host = madeBy >> 8;
    uint32_t bits = externalAttrs >> 16;
    if ((host != 3 && host != 19) || bits == 0) return false;
    *mode = bits;
    return true;
}

bool CentralEntry::IsSymlink() const {
    uint32_t mode;
    return UnixMode(&mode) && (mode & S_IFMT) == S_IFLNK;
}

time_t CentralEntry::ModTime() const {
    std::string_view stamp;
    if (FindExtra(extra, 0x5455, &stamp) && stamp.size() >= 5 && (stamp[0] & 1))
        return static_cast<time_t>(
            static_cast<int32_t>(Get32(reinterpret_cast<const uint8_t*>(stamp.data() + 1))));
    return DosToUnix(dosTime);
}

ZipArchiveReader::~ZipArchiveReader() {
    if (inflater_) {
        inflateEnd(inflater_);
        delete inflater_;
    }
    if (libzip_) Libzip()->zip_discard(libzip_);
    if (fd_ >= 0) close(fd_);
}

bool ZipArchiveReader::ReadAt(uint64_t offset, void* buffer, size_t length) const {
    if (offset > fileSize_ || length > fileSize_ - offset) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    while (length > 0) {
        ssize_t n = pread(fd_, out, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        offset += static_cast<uint64_t>(n);
        length -= static_cast<size_t>(n);
    }
    return true;
}

ZipArchiveReader::OpenStatus ZipArchiveReader::Open(const char* path) {
    path_ = path;
    // Non-blocking, so a FIFO given as the archive cannot hang the call.
    fd_ = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) return OpenStatus::kNotFound;
    struct stat st;
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return OpenStatus::kNotZip;
    fileSize_ = static_cast<uint64_t>(st.st_size);
    if (fileSize_ < kEndFixed) return OpenStatus::kNotZip;

    // The end record sits in the last 22 bytes plus at most a 65535-byte comment.
    size_t tailSize = static_cast<size_t>(std::min<uint64_t>(fileSize_, kEndFixed + 0xffff));
    std::vector<uint8_t> tail(tailSize);
    uint64_t tailStart = fileSize_ - tailSize;
    if (!ReadAt(tailStart, tail.data(), tailSize)) return OpenStatus::kNotZip;
    size_t end = std::string_view::npos;
    for (size_t i = tailSize - kEndFixed + 1; i-- > 0;) {
        if (Get32(&tail[i]) == kEndSig && i + kEndFixed + Get16(&tail[i + 20]) <= tailSize) {
            end = i;
            break;
        }
    }
    if (end == std::string_view::npos) return OpenStatus::kNotZip;
    const uint8_t* eocd = &tail[end];
    uint64_t endPos = tailStart + end;
    comment_.assign(reinterpret_cast<const char*>(eocd + kEndFixed), Get16(eocd + 20));

    uint64_t total = Get16(eocd + 10);
    uint64_t dirSize = Get32(eocd + 12);
    uint64_t dirOffset = Get32(eocd + 16);
    uint64_t dirEnd = endPos;
    bool zip64 = false;
    uint8_t locator[20];
    if (endPos >= 20 && ReadAt(endPos - 20, locator, 20) && Get32(locator) == kEnd64LocatorSig) {
        uint8_t end64[56];
        uint64_t candidates[2] = {Get64(locator + 8), endPos >= 76 ? endPos - 76 : UINT64_MAX};
        for (uint64_t at : candidates) {
            if (at != UINT64_MAX && ReadAt(at, end64, sizeof end64) && Get32(end64) == kEnd64Sig) {
                total = Get64(end64 + 32);
                dirSize = Get64(end64 + 40);
                dirOffset = Get64(end64 + 48);
                dirEnd = at;
                zip64 = true;
                break;
            }
        }
    }
    if (dirSize > dirEnd) return OpenStatus::kDamaged;
    if (total > dirSize / kCentralFixed + 0x10000) return OpenStatus::kDamaged;

    // Where the directory really starts: at the recorded offset, or right before the end
    // records when something was put in front of the archive.
    auto startsDirectory = [&](uint64_t at) {
        uint8_t sig[4];
        return dirSize == 0 || (dirSize >= 4 && ReadAt(at, sig, 4) && Get32(sig) == kCentralSig);
    };
    uint64_t dirStart;
    if (dirOffset <= fileSize_ && dirSize <= fileSize_ - dirOffset && startsDirectory(dirOffset)) {
        dirStart = dirOffset;
        shift_ = 0;
    } else if (startsDirectory(dirEnd - dirSize)) {
        dirStart = dirEnd - dirSize;
        shift_ = static_cast<int64_t>(dirStart) - static_cast<int64_t>(dirOffset);
    } else {
        return OpenStatus::kDamaged;
    }

    if (dirSize > UINT32_MAX) return OpenStatus::kDamaged;  // records are found by 32-bit offsets
    directory_.resize(static_cast<size_t>(dirSize));
    if (dirSize > 0 && !ReadAt(dirStart, directory_.data(), directory_.size()))
        return OpenStatus::kDamaged;
    dirStart_ = dirStart;

    // Check every record once, so walking later needs no bounds failures, and note where
    // each one starts and its quick length (QuickLengths) while it is at hand.
    offsets_.clear();
    quickLengths_.clear();
    size_t expected = static_cast<size_t>(std::min<uint64_t>(total, dirSize / kCentralFixed));
    offsets_.reserve(expected);
    quickLengths_.reserve(expected);
    size_t pos = 0;
    std::string_view unused;
    while (pos + 4 <= directory_.size() && Get32(&directory_[pos]) == kCentralSig) {
        if (pos + kCentralFixed > directory_.size()) return OpenStatus::kDamaged;
        const uint8_t* r = &directory_[pos];
        size_t nameLength = Get16(r + 28), extraLength = Get16(r + 30);
        size_t length = kCentralFixed + nameLength + extraLength + Get16(r + 32);
        if (pos + length > directory_.size()) return OpenStatus::kDamaged;
        offsets_.push_back(static_cast<uint32_t>(pos));
        const char* name = reinterpret_cast<const char*>(r + kCentralFixed);
        bool plain = (Get16(r + 8) & 0x800) || extraLength == 0 ||
                     !FindExtra(std::string_view(name + nameLength, extraLength), 0x7075, &unused);
        const void* nul = std::memchr(name, 0, nameLength);
        size_t cut = nul ? static_cast<size_t>(static_cast<const char*>(nul) - name) : nameLength;
        quickLengths_.push_back(plain && cut < kExamine ? static_cast<uint16_t>(cut) : kExamine);
        pos += length;
    }
    uint64_t parsed = offsets_.size();
    // Old writers let the 16-bit count wrap past 65535 entries.
    if (parsed != total && (zip64 || parsed < total || (parsed & 0xffff) != (total & 0xffff)))
        return OpenStatus::kDamaged;
    count_ = parsed;
    Rewind();
    return OpenStatus::kOk;
}

void ZipArchiveReader::Rewind() {
    nextIndex_ = 0;
}

bool ZipArchiveReader::Next(CentralEntry* e) {
    if (nextIndex_ >= count_) return false;
    Parse(nextIndex_++, e);
    return true;
}

bool ZipArchiveReader::EntryAt(uint64_t index, CentralEntry* e) const {
    if (index >= count_) return false;
    Parse(index, e);
    return true;
}

void ZipArchiveReader::Parse(uint64_t index, CentralEntry* e) const {
    const uint8_t* r = &directory_[offsets_[static_cast<size_t>(index)]];
    size_t nameLength = Get16(r + 28), extraLength = Get16(r + 30);
    e->index = index;
    e->madeBy = Get16(r + 4);
    e->flags = Get16(r + 8);
    e->method = Get16(r + 10);
    e->dosTime = (static_cast<uint32_t>(Get16(r + 14)) << 16) | Get16(r + 12);
    e->crc = Get32(r + 16);
    e->compSize = Get32(r + 20);
    e->size = Get32(r + 24);
    e->externalAttrs = Get32(r + 38);
    e->localOffset = Get32(r + 42);
    const char* name = reinterpret_cast<const char*>(r + kCentralFixed);
    e->fullRawName = std::string_view(name, nameLength);
    const void* nul = std::memchr(name, 0, nameLength);
    e->rawName = std::string_view(
        name, nul ? static_cast<size_t>(static_cast<const char*>(nul) - name) : nameLength);
    e->extra = std::string_view(name + nameLength, extraLength);

    // Values that did not fit in 32 bits follow in the zip64 field, in this order.
    std::string_view z64;
    if ((e->size == 0xffffffff || e->compSize == 0xffffffff || e->localOffset == 0xffffffff) &&
        FindExtra(e->extra, 0x0001, &z64)) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(z64.data());
        size_t at = 0;
        for (uint64_t* field : {&e->size, &e->compSize, &e->localOffset}) {
            if (*field != 0xffffffff) continue;
            if (at + 8 > z64.size()) break;
            *field = Get64(p + at);
            at += 8;
        }
    }
}

void ZipArchiveReader::EntriesWithHash(uint32_t hash, std::vector<uint64_t>* indices) {
    if (!byHashBuilt_) {
        byHash_.resize(static_cast<size_t>(count_));
        CentralEntry e;
        std::string scratch;
        for (uint64_t i = 0; i < count_; ++i) {
            Parse(i, &e);
            byHash_[static_cast<size_t>(i)] = {NameHash(e.Name(&scratch)),
                                               static_cast<uint32_t>(i)};
        }
        std::sort(byHash_.begin(), byHash_.end());
        byHashBuilt_ = true;
    }
    auto at = std::lower_bound(byHash_.begin(), byHash_.end(), std::make_pair(hash, uint32_t(0)));
    for (; at != byHash_.end() && at->first == hash; ++at) indices->push_back(at->second);
}

bool ZipArchiveReader::OverlapsEarlier(uint64_t index) {
    if (!overlapsKnown_) {
        // Each entry covers at least [local offset, local offset + 30 + compressed size).
        // Sorted by start, entries whose spans chain into one another form a cluster; in a
        // cluster only the entry that comes first in the directory may be read. The
        // directory itself takes part as an entry that comes before all others.
        struct Span {
            uint64_t begin, end, index;
        };
        std::vector<Span> spans;
        spans.reserve(static_cast<size_t>(count_) + 1);
        const uint64_t kDirectory = UINT64_MAX;
        spans.push_back({dirStart_, fileSize_, kDirectory});
        CentralEntry e;
        for (uint64_t i = 0; i < count_; ++i) {
            Parse(i, &e);
            int64_t at = static_cast<int64_t>(e.localOffset) + shift_;
            uint64_t begin = at < 0 ? 0 : static_cast<uint64_t>(at);
            uint64_t length =
                e.compSize > UINT64_MAX - 30 - begin ? UINT64_MAX - begin : 30 + e.compSize;
            spans.push_back({begin, begin + length, i});
        }
        std::sort(spans.begin(), spans.end(),
                  [](const Span& a, const Span& b) { return a.begin < b.begin; });
        overlapping_.assign(static_cast<size_t>(count_), false);
        size_t start = 0;
        uint64_t reach = 0;
        auto settle = [&](size_t from, size_t to) {
            if (to - from < 2) return;
            uint64_t first = UINT64_MAX;  // the directory counts as first
            bool directory = false;
            for (size_t k = from; k < to; ++k) {
                if (spans[k].index == kDirectory)
                    directory = true;
                else
                    first = std::min(first, spans[k].index);
            }
            for (size_t k = from; k < to; ++k)
                if (spans[k].index != kDirectory && (directory || spans[k].index != first))
                    overlapping_[static_cast<size_t>(spans[k].index)] = true;
        };
        for (size_t k = 0; k < spans.size(); ++k) {
            if (k > start && spans[k].begin >= reach) {
                settle(start, k);
                start = k;
            }
            reach = k == start ? spans[k].end : std::max(reach, spans[k].end);
        }
        settle(start, spans.size());
        overlapsKnown_ = true;
    }
    return index < overlapping_.size() && overlapping_[static_cast<size_t>(index)];
}

bool ZipArchiveReader::IsNative(const CentralEntry& e) const {
    if (e.method != 0 && e.method != 8) return false;
    // Strong encryption (bit 6) and AES (method 99, caught above) are left to libzip.
    return !(e.flags & 0x40);
}

// Small entries come with one read: the local header, its name and extra field (usually as
// long as the central ones) and the data. `small` then points at the data in header_.
ZipArchiveReader::DataStatus ZipArchiveReader::DataStart(const CentralEntry& e, uint64_t* start,
                                                         const uint8_t** small) {
    constexpr uint64_t kSmallEntry = 60000;
    int64_t signedAt = static_cast<int64_t>(e.localOffset) + shift_;
    if (signedAt < 0 || static_cast<uint64_t>(signedAt) > fileSize_) return DataStatus::kBadData;
    uint64_t at = static_cast<uint64_t>(signedAt);
    uint64_t room = fileSize_ - at;
    uint64_t guess = 30 + e.fullRawName.size() + e.extra.size() + e.compSize;
    size_t want =
        small && e.compSize <= kSmallEntry && guess <= room ? static_cast<size_t>(guess) : 30;
    header_.resize(std::max<size_t>(want, 30));
    const uint8_t* local = header_.data();
    if (room < 30 || !ReadAt(at, header_.data(), want) || Get32(local) != kLocalSig)
        return DataStatus::kBadData;
    uint64_t data = at + 30 + Get16(local + 26) + Get16(local + 28);
    if (data > fileSize_ || e.compSize > fileSize_ - data) return DataStatus::kBadData;
    *start = data;
    if (small) *small = data + e.compSize <= at + want ? local + (data - at) : nullptr;
    return DataStatus::kOk;
}

ZipArchiveReader::DataStatus ZipArchiveReader::CheckPassword(const CentralEntry& e,
                                                             const std::string& password) {
    if (!e.IsEncrypted()) return DataStatus::kOk;
    return IsNative(e) ? ReadNative(e, password, nullptr) : ReadWithLibzip(e, password, nullptr);
}

ZipArchiveReader::DataStatus ZipArchiveReader::ReadData(const CentralEntry& e,
                                                        const std::string& password,
                                                        const Sink& sink) {
    return IsNative(e) ? ReadNative(e, password, &sink) : ReadWithLibzip(e, password, &sink);
}

// With a null sink only the password is checked.
ZipArchiveReader::DataStatus ZipArchiveReader::ReadNative(const CentralEntry& e,
                                                          const std::string& password,
                                                          const Sink* sink) {
    uint64_t pos;
    const uint8_t* inBuffer = nullptr;
    if (DataStatus s = DataStart(e, &pos, &inBuffer); s != DataStatus::kOk) return s;
    uint64_t remaining = e.compSize;
    // Takes `n` bytes of the entry's data: from the buffer of the first read, else from disk.
    auto take = [&](uint8_t* to, size_t n) {
        if (inBuffer) {
            std::memcpy(to, inBuffer, n);
            inBuffer += n;
            return true;
        }
        return ReadAt(pos, to, n);
    };

    std::unique_ptr<TraditionalKeys> keys;
    if (e.IsEncrypted()) {
        if (password.empty()) return DataStatus::kBadPassword;
        uint8_t header[12];
        if (remaining < 12 || !take(header, 12)) return DataStatus::kBadData;
        keys = std::make_unique<TraditionalKeys>(password);
        keys->Decrypt(header, 12);
        // The last header byte repeats the CRC's top byte, or the time's high byte when the
        // sizes follow the data.
        bool ok = header[11] == static_cast<uint8_t>(e.crc >> 24) ||
                  ((e.flags & 8) && header[11] == static_cast<uint8_t>(e.dosTime >> 8));
        if (!ok) return DataStatus::kBadPassword;
        pos += 12;
        remaining -= 12;
    }
    if (!sink) return DataStatus::kOk;

    // Buffers are kept across entries: reading many small entries allocates nothing.
    std::vector<uint8_t>& in = input_;
    std::vector<uint8_t>& out = output_;
    in.resize(65536);
    out.resize(kChunk);
    uLong crc = crc32(0, nullptr, 0);
    uint64_t total = 0;
    auto fill = [&](size_t want, size_t* got) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(remaining, want));
        if (!take(in.data(), n)) return false;
        if (keys) keys->Decrypt(in.data(), n);
        pos += n;
        remaining -= n;
        *got = n;
        return true;
    };
    auto deliver = [&](const uint8_t* data, size_t n) {
        total += n;
        if (total > e.size) return DataStatus::kBadData;  // more than the entry claims
        crc = crc32(crc, data, static_cast<uInt>(n));
        return (*sink)(reinterpret_cast<const char*>(data), n) ? DataStatus::kOk
                                                               : DataStatus::kSinkFailed;
    };

    if (e.method == 0) {
        while (remaining > 0) {
            size_t n;
            if (!fill(kChunk, &n)) return DataStatus::kBadData;
            if (DataStatus s = deliver(in.data(), n); s != DataStatus::kOk) return s;
        }
    } else {
        if (!inflater_) {
            inflater_ = new z_stream{};
            if (inflateInit2(inflater_, -MAX_WBITS) != Z_OK) {
                delete inflater_;
                inflater_ = nullptr;
                return DataStatus::kBadData;
            }
        } else if (inflateReset(inflater_) != Z_OK) {
            return DataStatus::kBadData;
        }
        z_stream& zs = *inflater_;
        zs.avail_in = 0;
        DataStatus status = DataStatus::kOk;
        for (;;) {
            if (zs.avail_in == 0 && remaining > 0) {
                size_t n;
                if (!fill(in.size(), &n)) {
                    status = DataStatus::kBadData;
                    break;
                }
                zs.next_in = in.data();
                zs.avail_in = static_cast<uInt>(n);
            }
            zs.next_out = out.data();
            zs.avail_out = static_cast<uInt>(out.size());
            int ret = inflate(&zs, Z_NO_FLUSH);
            size_t produced = out.size() - zs.avail_out;
            if (produced > 0) {
                status = deliver(out.data(), produced);
                if (status != DataStatus::kOk) break;
            }
            if (ret == Z_STREAM_END) break;
            bool stuck = produced == 0 && zs.avail_in == 0 && remaining == 0;
            if ((ret != Z_OK && ret != Z_BUF_ERROR) || stuck) {
                status = DataStatus::kBadData;
                break;
            }
        }
        if (status != DataStatus::kOk) return status;
    }
    if (total != e.size || crc != e.crc) return DataStatus::kBadData;
    return DataStatus::kOk;
}

ZipArchiveReader::DataStatus ZipArchiveReader::ReadWithLibzip(const CentralEntry& e,
                                                              const std::string& password,
                                                              const Sink* sink) {
    if (!Libzip()) return DataStatus::kUnsupported;
    if (!libzip_ && !libzipFailed_) {
        int error = 0;
        libzip_ = Libzip()->zip_open(path_.c_str(), ZIP_RDONLY, &error);
        libzipFailed_ = libzip_ == nullptr;
    }
    if (!libzip_) return DataStatus::kBadData;
    // Both walk the same central directory; make sure the index names the same entry.
    const char* name = Libzip()->zip_get_name(libzip_, e.index, ZIP_FL_ENC_RAW);
    if (!name || std::string_view(name) != e.rawName) return DataStatus::kBadData;
    if (e.IsEncrypted() && password.empty()) return DataStatus::kBadPassword;
    zip_file_t* file = Libzip()->zip_fopen_index_encrypted(
        libzip_, e.index, 0, e.IsEncrypted() ? password.c_str() : nullptr);
    if (!file) {
        switch (Libzip()->zip_error_code_zip(Libzip()->zip_get_error(libzip_))) {
            case ZIP_ER_NOPASSWD:
            case ZIP_ER_WRONGPASSWD:
                return DataStatus::kBadPassword;
            case ZIP_ER_COMPNOTSUPP:
            case ZIP_ER_ENCRNOTSUPP:
                return DataStatus::kUnsupported;
            default:
                return DataStatus::kBadData;
        }
    }
    DataStatus status = DataStatus::kOk;
    if (sink) {
        std::vector<char> buffer(kChunk);
        for (;;) {
            zip_int64_t n = Libzip()->zip_fread(file, buffer.data(), buffer.size());
            if (n < 0) {
                status = DataStatus::kBadData;
                break;
            }
            if (n == 0) break;
            if (!(*sink)(buffer.data(), static_cast<size_t>(n))) {
                status = DataStatus::kSinkFailed;
                break;
            }
        }
    }
    Libzip()->zip_fclose(file);
    return status;
}

}  // namespace izcommon
