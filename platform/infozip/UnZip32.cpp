// The unzip library: lists, tests, extracts to memory or to a folder.
//
// Extraction never writes outside the target folder: stored names are cleaned to relative
// components, every existing folder on the way is checked (a symbolic link is followed only
// when it leads to a folder inside the target), a new file is created under its final name
// without following anything that is there (and removed again when its entry fails), and a
// file that exists is replaced by a temporary file written beside it and renamed over it, so
// an existing link is replaced rather than followed and a failed entry never replaces a good
// file. A missing target folder is created, as the command-line unzip does. Entries whose
// data overlaps another's are refused, as Info-ZIP's unzip refuses them.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "ZipNames.h"
#include "ZipReader.h"
#include "infozip_api.h"

#define IZ_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using izcommon::CentralEntry;
using Reader = izcommon::ZipArchiveReader;
using DataStatus = Reader::DataStatus;

// Higher rank wins when several entries report different problems.
int Rank(int code) {
    switch (code) {
        case PK_OK:
            return 0;
        case PK_WARN:
            return 1;
        case IZ_BADPWD:
            return 2;
        case IZ_UNSUP:
            return 3;
        case PK_ERR:
            return 4;
        case PK_DISK:
            return 5;
        default:
            return 6;
    }
}

ulg Saturate(uint64_t value) {
    return value > 0xffffffffu ? 0xffffffffu : static_cast<ulg>(value);
}

unsigned PercentSaved(uint64_t size, uint64_t compSize) {
    if (size == 0 || compSize > size) return 0;
    return static_cast<unsigned>((size - compSize) * 100 / size);
}

void MethodText(const CentralEntry& e, char* out, size_t size) {
    static const char kDeflateKinds[] = {'N', 'X', 'F', 'S'};
    switch (e.method) {
        case 0:
            std::snprintf(out, size, "Stored");
            break;
        case 1:
            std::snprintf(out, size, "Shrunk");
            break;
        case 2:
        case 3:
        case 4:
        case 5:
            std::snprintf(out, size, "Reduce%d", e.method - 1);
            break;
        case 6:
            std::snprintf(out, size, "Implode");
            break;
        case 8:
            std::snprintf(out, size, "Defl:%c", kDeflateKinds[(e.flags >> 1) & 3]);
            break;
        case 9:
            std::snprintf(out, size, "Def64#");
            break;
        case 12:
            std::snprintf(out, size, "BZip2");
            break;
        case 14:
            std::snprintf(out, size, "LZMA");
            break;
        case 93:
            std::snprintf(out, size, "Zstd");
            break;
        case 95:
            std::snprintf(out, size, "XZ");
            break;
        case 98:
            std::snprintf(out, size, "PPMd");
            break;
        case 99:
            std::snprintf(out, size, "AES");
            break;
        default:
            std::snprintf(out, size, "Unk:%03u", static_cast<unsigned>(e.method));
            break;
    }
}

// The include or exclude names of one call. Plain names (also stored names whose wildcard
// characters are put in brackets, as the unzip dialog sends them) are looked up in a hash
// set; only real patterns are matched one by one. A call therefore costs time in proportion
// to the entries and the names, however many names it carries (with many plain names and no
// pattern, to the names and the entries they find).
class NameSet {
  public:
    NameSet(int count, char** names, bool ignoreCase) : ignoreCase_(ignoreCase) {
        if (!names) return;
        std::string literal;
        for (int i = 0; i < count; ++i) {
            if (!names[i] || !*names[i]) continue;
            if (izcommon::LiteralFromPattern(names[i], &literal)) {
                if (literal.empty()) continue;
                for (unsigned char c : literal)
                    if (c >= 0x80) allAscii_ = false;
                if (literal.size() > maxLength_) maxLength_ = literal.size();
                hashes_.push_back(izcommon::NameHash(literal));
                literals_.insert(ignoreCase ? izcommon::AsciiFold(literal) : literal);
            } else {
                patterns_.emplace_back(names[i]);
            }
        }
    }

    bool Empty() const { return literals_.empty() && patterns_.empty(); }
    bool LiteralOnly() const { return !literals_.empty() && patterns_.empty(); }
    bool AllAscii() const { return allAscii_; }
    size_t LiteralCount() const { return literals_.size(); }
    const std::vector<uint32_t>& Hashes() const { return hashes_; }
    // The lengths of the plain names.
    std::vector<bool> Lengths() const {
        std::vector<bool> lengths(maxLength_ + 1, false);
        for (const std::string& l : literals_) lengths[l.size()] = true;
        return lengths;
    }

    bool Contains(std::string_view name) const {
        if (!literals_.empty()) {
            std::string_view key = name;
            if (ignoreCase_) {
                folded_.assign(name);
                for (char& c : folded_) c = izcommon::AsciiLower(c);
                key = folded_;
            }
            if (literals_.find(key) != literals_.end()) return true;
        }
        for (const std::string& p : patterns_)
            if (izcommon::WildMatch(p, name, ignoreCase_)) return true;
        return false;
    }

  private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    bool ignoreCase_;
    std::unordered_set<std::string, Hash, std::equal_to<>> literals_;
    std::vector<std::string> patterns_;
    std::vector<uint32_t> hashes_;
    size_t maxLength_ = 0;
    bool allAscii_ = true;
    mutable std::string folded_;
};

class Matcher {
  public:
    Matcher(int includeCount, char** include, int excludeCount, char** exclude, bool ignoreCase)
        : include_(includeCount, include, ignoreCase),
          exclude_(excludeCount, exclude, ignoreCase) {}

    bool Matches(std::string_view name) const {
        if (!include_.Empty() && !include_.Contains(name)) return false;
        return exclude_.Empty() || !exclude_.Contains(name);
    }
    const NameSet& Include() const { return include_; }

  private:
    NameSet include_;
    NameSet exclude_;
};

class Unzipper {
  public:
    // Up to this many plain names are found by the length of the stored name.
    static constexpr size_t kFewNames = 16;

    Unzipper(const DCL& options, USERFUNCTIONS& functions)
        : opt_(options), uf_(functions), matcherIgnoreCase_(options.C_flag != 0) {}
    ~Unzipper() {
        if (lastFolderFd_ >= 0) close(lastFolderFd_);
        if (targetFd_ >= 0) close(targetFd_);
    }

    int Run(int ifnc, char** ifnv, int xfnc, char** xfnv);

  private:
    enum class Walk { kOk, kUnsafe, kFailed };
    struct FolderStamp {
        std::vector<std::string> parts;
        time_t mtime;
        bool hasMode;
        mode_t mode;
    };

    void Info(const std::string& text) {
        if (opt_.fQuiet == 0) Print(text);
    }
    void Error(const std::string& text) {
        if (opt_.fQuiet <= 1) Print(text);
    }
    void Print(const std::string& text) {
        if (!uf_.print) return;
        message_.assign(text.begin(), text.end());
        message_.push_back('\0');
        uf_.print(message_.data(), static_cast<ulg>(text.size()));
    }
    void Report(int code) {
        if (Rank(code) > Rank(result_)) result_ = code;
    }

    void List(const CentralEntry& e, std::string_view name);
    void Process(const CentralEntry& e, std::string_view name);
    bool ReportData(DataStatus status, std::string_view name);
    DataStatus ObtainPassword(const CentralEntry& e, std::string_view name, std::string* password);
    DataStatus ReadEntry(const CentralEntry& e, std::string_view name, const Reader::Sink& sink);

    bool OpenTarget();
    bool Inside(int fd, std::string* realRelative);
    Walk OpenFolder(const std::vector<std::string>& parts, size_t count, bool create, int* out);
    bool ShouldWrite(const std::string& shown, bool exists, const struct stat& existing,
                     time_t entryTime);
    Walk FileFolder(const std::vector<std::string>& parts, int* out);
    std::string Shown(const std::vector<std::string>& parts) const;
    void ExtractFolder(const CentralEntry& e, const std::vector<std::string>& parts);
    void ExtractFile(const CentralEntry& e, std::string_view name,
                     const std::vector<std::string>& parts);
    DataStatus WriteData(const CentralEntry& e, std::string_view name, int fd, mode_t perms,
                         time_t mtime, bool* ok);
    bool SafeLinkTarget(int dirFd, const std::string& target, std::string* normalized);
    void StampFolders();
    Reader::OpenStatus OpenArchive();

    const DCL& opt_;
    USERFUNCTIONS& uf_;
    bool matcherIgnoreCase_;
    std::shared_ptr<Reader> reader_;  // shared with the cache of the last archive read
    int result_ = PK_OK;
    bool stopped_ = false;
    bool bomb_ = false;
    std::vector<char> message_;
    std::vector<char> piece_;  // to-memory buffer, NUL-terminated after each piece
    std::string listName_;

    std::string password_;
    bool havePassword_ = false;
    bool passwordWorked_ = false;
    bool passwordGaveUp_ = false;
    bool replaceAll_ = false;
    bool replaceNone_ = false;

    std::string targetShown_;  // the target folder as given, for messages and questions
    int targetFd_ = -1;
    bool targetFailed_ = false;
    std::string targetReal_;
    std::vector<FolderStamp> folders_;
    std::vector<std::string> parts_;  // of the entry being extracted
    std::string diskScratch_;
    std::vector<std::string> lastFolder_;
    int lastFolderFd_ = -1;
    std::string tempBase_;  // chosen when the target is opened
    unsigned tempCounter_ = 0;
};

namespace {

// The last archive read stays open with its directory: the description lookup asks for one
// name after another in the same archive. It is used again only while the file on disk is
// the same one, unchanged (device, inode, size, change and modification times).
struct CachedArchive {
    std::mutex lock;
    std::string path;
    struct stat identity {};
    std::shared_ptr<izcommon::ZipArchiveReader> reader;
};

CachedArchive& Cache() {
    static CachedArchive cache;
    return cache;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

}  // namespace

Reader::OpenStatus Unzipper::OpenArchive() {
    CachedArchive& cache = Cache();
    std::lock_guard<std::mutex> guard(cache.lock);
    struct stat now {};
    bool known = stat(opt_.lpszZipFN, &now) == 0 && S_ISREG(now.st_mode);
    if (known && cache.reader && cache.path == opt_.lpszZipFN && SameFile(cache.identity, now)) {
        reader_ = cache.reader;
        reader_->Rewind();
        return Reader::OpenStatus::kOk;
    }
    reader_ = std::make_shared<Reader>();
    Reader::OpenStatus status = reader_->Open(opt_.lpszZipFN);
    // Keep it only when the file did not change while it was read.
    struct stat after {};
    if (status == Reader::OpenStatus::kOk && known && stat(opt_.lpszZipFN, &after) == 0 &&
        SameFile(now, after)) {
        cache.path = opt_.lpszZipFN;
        cache.identity = now;
        cache.reader = reader_;
    } else {
        cache.reader.reset();
    }
    return status;
}

int Unzipper::Run(int ifnc, char** ifnv, int xfnc, char** xfnv) {
    switch (OpenArchive()) {
        case Reader::OpenStatus::kOk:
            break;
        case Reader::OpenStatus::kDamaged:
            Error(std::string("error: damaged central directory in ") + opt_.lpszZipFN + "\n");
            return PK_BADERR;
        default:
            Error(std::string("error: cannot find or open zip archive ") + opt_.lpszZipFN + "\n");
            return PK_NOZIP;
    }
    uf_.cchComment = static_cast<ush>(std::min<size_t>(reader_->Comment().size(), 0xffff));
    if (opt_.nzflag && !reader_->Comment().empty() && opt_.fQuiet < 2)
        Print(std::string(reader_->Comment()) + "\n");

    Matcher matcher(ifnc, ifnv, xfnc, xfnv, matcherIgnoreCase_);
    const NameSet& wanted = matcher.Include();
    // With plain names only, not every entry is looked at: a few ASCII names pass only the
    // entries with a stored name of their length, many names are looked up by a hash of the
    // name (so a call costs in proportion to its names and what they match).
    const std::vector<uint16_t>* quickLengths = nullptr;
    std::vector<bool> lengths;
    std::vector<uint64_t> candidates;
    bool byHash = false;
    if (wanted.LiteralOnly() && wanted.LiteralCount() > kFewNames) {
        for (uint32_t h : wanted.Hashes()) reader_->EntriesWithHash(h, &candidates);
        std::sort(candidates.begin(), candidates.end());  // archive order
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        byHash = true;
    } else if (wanted.LiteralOnly() && wanted.AllAscii()) {
        quickLengths = &reader_->QuickLengths();
        lengths = wanted.Lengths();
    }
    // Overlapped entries are refused wherever data is read in bulk; a lookup of a few plain
    // names to memory reads at most those entries.
    const bool checkOverlaps = !opt_.nvflag && (!opt_.ncflag || !wanted.LiteralOnly());

    uint64_t matched = 0, sumSize = 0, sumComp = 0;
    CentralEntry e;
    std::string scratch;
    const uint64_t steps = byHash ? candidates.size() : reader_->EntryCount();
    for (uint64_t step = 0; !stopped_ && step < steps; ++step) {
        const uint64_t i = byHash ? candidates[static_cast<size_t>(step)] : step;
        if (quickLengths) {
            uint16_t length = (*quickLengths)[static_cast<size_t>(i)];
            if (length != Reader::kExamine && (length >= lengths.size() || !lengths[length]))
                continue;
        }
        reader_->EntryAt(i, &e);
        std::string_view name = e.Name(&scratch);
        if (!matcher.Matches(name)) continue;
        if (checkOverlaps && reader_->OverlapsEarlier(e.index)) {
            Error("error: invalid zip file with overlapped components (possible zip bomb)\n");
            bomb_ = true;
            break;
        }
        ++matched;
        sumSize += e.size;
        sumComp += e.compSize;
        if (opt_.nvflag)
            List(e, name);
        else
            Process(e, name);
    }
    if (!folders_.empty()) StampFolders();

    uf_.TotalSize = Saturate(sumSize);
    uf_.TotalSizeComp = Saturate(sumComp);
    uf_.CompFactor = static_cast<int>(PercentSaved(sumSize, sumComp));
    uf_.NumMembers = static_cast<unsigned>(std::min<uint64_t>(matched, UINT_MAX));
    if (bomb_) return PK_BOMB;
    if (stopped_) return IZ_CTRLC;
    if (matched == 0) {
        Error("caution: no entry matched\n");
        return PK_FIND;
    }
    return result_;
}

void Unzipper::List(const CentralEntry& e, std::string_view name) {
    if (!uf_.SendApplicationMessage) return;
    listName_.assign(name);
    char method[16];
    MethodText(e, method, sizeof method);
    uint32_t date = e.dosTime >> 16, time = e.dosTime & 0xffff;
    unsigned year = (1980 + (date >> 9)) % 100;
    uf_.SendApplicationMessage(Saturate(e.size), Saturate(e.compSize),
                               PercentSaved(e.size, e.compSize), (date >> 5) & 0x0f, date & 0x1f,
                               year, time >> 11, (time >> 5) & 0x3f, ' ', listName_.data(), method,
                               e.crc, e.IsEncrypted() ? 'E' : ' ');
}

DataStatus Unzipper::ObtainPassword(const CentralEntry& e, std::string_view name,
                                    std::string* password) {
    if (havePassword_) {
        DataStatus s = reader_->CheckPassword(e, password_);
        if (s == DataStatus::kOk) {
            *password = password_;
            return s;
        }
        if (s != DataStatus::kBadPassword) return s;
    }
    // Ask once; ask again only when the previous answer opened other entries (archives
    // may use several passwords), never twice for a password that opened nothing.
    if (passwordGaveUp_ || !uf_.password || (havePassword_ && !passwordWorked_))
        return DataStatus::kBadPassword;
    char buffer[81] = {};
    std::string shown(name);
    uf_.password(buffer, sizeof buffer, "Enter password", shown.c_str());
    buffer[sizeof buffer - 1] = '\0';
    password_ = buffer;
    havePassword_ = true;
    passwordWorked_ = false;
    if (password_.empty()) {
        passwordGaveUp_ = true;
        return DataStatus::kBadPassword;
    }
    DataStatus s = reader_->CheckPassword(e, password_);
    if (s == DataStatus::kOk) *password = password_;
    return s;
}

DataStatus Unzipper::ReadEntry(const CentralEntry& e, std::string_view name,
                               const Reader::Sink& sink) {
    std::string password;
    if (e.IsEncrypted()) {
        DataStatus s = ObtainPassword(e, name, &password);
        if (s != DataStatus::kOk) return s;
    }
    DataStatus s = reader_->ReadData(e, password, sink);
    if (e.IsEncrypted()) {
        // A wrong password passes the one-byte check now and then; the data then fails.
        if (s == DataStatus::kBadData) return DataStatus::kBadPassword;
        if (s == DataStatus::kOk) passwordWorked_ = true;
    }
    return s;
}

// Reports a failed entry; true when the entry was fine.
bool Unzipper::ReportData(DataStatus status, std::string_view name) {
    std::string shown(name);
    switch (status) {
        case DataStatus::kOk:
            return true;
        case DataStatus::kBadPassword:
            Error("   skipping: " + shown + "  incorrect password\n");
            Report(IZ_BADPWD);
            break;
        case DataStatus::kUnsupported:
            Error("   skipping: " + shown + "  unsupported compression or encryption\n");
            Report(IZ_UNSUP);
            break;
        case DataStatus::kBadData:
            Error("error: bad CRC or damaged data: " + shown + "\n");
            Report(PK_ERR);
            break;
        case DataStatus::kSinkFailed:
            Error("error: write failed: " + shown + "\n");
            Report(PK_DISK);
            break;
    }
    return false;
}

void Unzipper::Process(const CentralEntry& e, std::string_view name) {
    if (uf_.ServCallBk) {
        listName_.assign(name);
        if (uf_.ServCallBk(listName_.c_str(), Saturate(e.size)) != 0) {
            stopped_ = true;
            return;
        }
    }
    bool isFolderEntry = !name.empty() && (name.back() == '/' || name.back() == '\\');

    if (opt_.ncflag) {
        if (isFolderEntry) return;
        std::vector<char>& piece = piece_;
        piece.resize(Reader::kChunk + 1);
        // A negative answer of the print callback means "enough": the entry ends there, and
        // that is no error.
        bool enough = false;
        auto status = ReadEntry(e, name, [&](const char* data, size_t length) {
            std::memcpy(piece.data(), data, length);
            piece[length] = '\0';
            enough = uf_.print && uf_.print(piece.data(), static_cast<ulg>(length)) < 0;
            return !enough;
        });
        if (!enough) ReportData(status, name);
        return;
    }
    if (opt_.ntflag) {
        if (isFolderEntry) return;
        if (ReportData(ReadEntry(e, name, [](const char*, size_t) { return true; }), name))
            Info("    testing: " + std::string(name) + "   OK\n");
        return;
    }

    if (!OpenTarget()) return;
    bool isDir = false;
    // On disk the entry takes the name its host meant (raw bytes from Unix-like hosts).
    izcommon::SplitStoredName(e.DiskName(&diskScratch_), opt_.SpaceToUnderscore != 0, &parts_,
                              &isDir);
    if (parts_.empty()) {
        Error("   skipping: \"" + std::string(name) + "\"  no usable name\n");
        Report(PK_WARN);
        return;
    }
    if (isDir) {
        if (!opt_.ndflag) return;
    } else if (!opt_.ndflag) {
        parts_.erase(parts_.begin(), parts_.end() - 1);
    }
    if (isDir)
        ExtractFolder(e, parts_);
    else
        ExtractFile(e, name, parts_);
}

// The place of the entry being extracted, for messages and questions.
std::string Unzipper::Shown(const std::vector<std::string>& parts) const {
    std::string shown = targetShown_;
    for (const std::string& part : parts) {
        if (!shown.empty()) shown += '/';
        shown += part;
    }
    return shown;
}

bool Unzipper::OpenTarget() {
    if (targetFd_ >= 0) return true;
    if (targetFailed_) {
        Report(PK_DISK);
        return false;
    }
    std::string dir = opt_.lpszExtractDir ? opt_.lpszExtractDir : "";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    targetShown_ = dir;
    if (dir.empty()) dir = ".";
    // Create the folder and its missing parents.
    for (size_t i = 1; i <= dir.size(); ++i) {
        if (i < dir.size() && dir[i] != '/') continue;
        std::string prefix = dir.substr(0, i);
        if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) break;
    }
    targetFd_ = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    char* real = targetFd_ >= 0 ? realpath(dir.c_str(), nullptr) : nullptr;
    if (!real) {
        Error("error: cannot create extraction folder " + dir + "\n");
        if (targetFd_ >= 0) close(targetFd_);
        targetFd_ = -1;
        targetFailed_ = true;
        Report(PK_DISK);
        return false;
    }
    targetReal_ = real;
    std::free(real);
    tempBase_ = izcommon::RandomToken(4);
    return true;
}

// Whether an open folder lies inside the target; gives its path relative to the target.
bool Unzipper::Inside(int fd, std::string* realRelative) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[PATH_MAX + 1];
    ssize_t n = readlink(link, path, PATH_MAX);
    if (n <= 0) return false;
    std::string real(path, static_cast<size_t>(n));
    if (real == targetReal_) {
        if (realRelative) realRelative->clear();
        return true;
    }
    std::string prefix = targetReal_ == "/" ? "/" : targetReal_ + "/";
    if (real.compare(0, prefix.size(), prefix) != 0) return false;
    if (realRelative) *realRelative = real.substr(prefix.size());
    return true;
}

Unzipper::Walk Unzipper::OpenFolder(const std::vector<std::string>& parts, size_t count,
                                    bool create, int* out) {
    int fd = targetFd_;  // owned from the first step on
    auto release = [&] {
        if (fd != targetFd_) close(fd);
    };
    for (size_t i = 0; i < count; ++i) {
        const char* part = parts[i].c_str();
        // A real folder opens at once; anything else is looked at.
        int next = openat(fd, part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            struct stat st;
            if (errno == ENOENT && create) {
                if (mkdirat(fd, part, 0777) == 0 || errno == EEXIST)
                    next = openat(fd, part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            } else if (fstatat(fd, part, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
                // A link is used only when it leads to a folder inside the target.
                next = openat(fd, part, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (next < 0 || !Inside(next, nullptr)) {
                    if (next >= 0) close(next);
                    release();
                    return Walk::kUnsafe;
                }
            }
        }
        release();
        if (next < 0) return Walk::kFailed;
        fd = next;
    }
    if (fd == targetFd_) {
        fd = fcntl(targetFd_, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) return Walk::kFailed;
    }
    *out = fd;
    return Walk::kOk;
}

// The folder of a file entry. The last one stays open: entries of one folder usually follow
// one another. The descriptor belongs to the cache.
Unzipper::Walk Unzipper::FileFolder(const std::vector<std::string>& parts, int* out) {
    size_t count = parts.size() - 1;
    if (lastFolderFd_ >= 0 && lastFolder_.size() == count &&
        std::equal(lastFolder_.begin(), lastFolder_.end(), parts.begin())) {
        *out = lastFolderFd_;
        return Walk::kOk;
    }
    int fd;
    Walk walk = OpenFolder(parts, count, true, &fd);
    if (walk != Walk::kOk) return walk;
    if (lastFolderFd_ >= 0) close(lastFolderFd_);
    lastFolderFd_ = fd;
    lastFolder_.assign(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(count));
    *out = fd;
    return Walk::kOk;
}

bool Unzipper::ShouldWrite(const std::string& shown, bool exists, const struct stat& existing,
                           time_t entryTime) {
    bool newer = exists && izcommon::UnixToDos(entryTime) > izcommon::UnixToDos(existing.st_mtime);
    if (opt_.nfflag) return exists && newer;
    if (opt_.ExtractOnlyNewer) return !exists || newer;
    if (!exists || opt_.noflag || replaceAll_) return true;
    if (replaceNone_ || !opt_.PromptToOverwrite || !uf_.replace) return false;
    std::vector<char> question(shown.begin(), shown.end());
    question.resize(std::max<size_t>(question.size() + 1, PATH_MAX), '\0');
    int answer = uf_.replace(question.data());
    if (answer == IDM_REPLACE_ALL) replaceAll_ = true;
    if (answer == IDM_REPLACE_NONE) replaceNone_ = true;
    return answer != 0 && answer != IDM_REPLACE_NO && answer != IDM_REPLACE_NONE;
}

void Unzipper::ExtractFolder(const CentralEntry& e, const std::vector<std::string>& parts) {
    const std::string shown = Shown(parts);
    int fd;
    Walk walk = OpenFolder(parts, parts.size(), true, &fd);
    if (walk == Walk::kUnsafe) {
        Error("   skipping: " + shown + "/  leads outside the extraction folder\n");
        Report(PK_WARN);
        return;
    }
    if (walk == Walk::kFailed) {
        Error("error: cannot create folder " + shown + "\n");
        Report(PK_DISK);
        return;
    }
    close(fd);
    uint32_t mode = 0;
    bool hasMode = e.UnixMode(&mode);
    folders_.push_back({parts, e.ModTime(), hasMode, static_cast<mode_t>(mode & 0777)});
    Info("   creating: " + shown + "/\n");
}

// Folder times and modes are set last: writing files into a folder changes its time.
void Unzipper::StampFolders() {
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
        int fd;
        if (OpenFolder(it->parts, it->parts.size(), false, &fd) != Walk::kOk) continue;
        struct timespec times[2] = {{it->mtime, 0}, {it->mtime, 0}};
        futimens(fd, times);
        if (it->hasMode) fchmod(fd, it->mode);
        close(fd);
    }
}

// A link may point only at relative places inside the target, judged from the real
// location of its folder. The target is rewritten in normal form ("a/../b" becomes "b"),
// so the kernel never resolves a ".." through another link.
bool Unzipper::SafeLinkTarget(int dirFd, const std::string& target, std::string* normalized) {
    if (target.empty() || target[0] == '/' || target.find('\0') != std::string::npos) return false;
    std::string folder;
    if (!Inside(dirFd, &folder)) return false;
    // The real path has no "." or ".." parts; split it on '/' only.
    std::vector<std::string> stack;
    for (size_t start = 0; start < folder.size();) {
        size_t end = folder.find('/', start);
        if (end == std::string::npos) end = folder.size();
        if (end > start) stack.push_back(folder.substr(start, end - start));
        start = end + 1;
    }
    size_t base = stack.size(), lowest = stack.size();
    size_t start = 0;
    for (size_t i = 0; i <= target.size(); ++i) {
        if (i < target.size() && target[i] != '/') continue;
        std::string part = target.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (stack.empty()) return false;
            stack.pop_back();
            lowest = std::min(lowest, stack.size());
        } else {
            stack.push_back(part);
        }
    }
    // Folders the link passes through must not be links that lead outside.
    std::string path = targetReal_;
    for (size_t i = 0; i + 1 < stack.size(); ++i) {
        path += "/" + stack[i];
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) continue;
        char* real = realpath(path.c_str(), nullptr);
        bool inside = real && (std::string(real) == targetReal_ ||
                               std::string(real).rfind(targetReal_ + "/", 0) == 0);
        std::free(real);
        if (!inside) return false;
    }
    normalized->clear();
    for (size_t i = lowest; i < base; ++i) *normalized += "../";
    for (size_t i = lowest; i < stack.size(); ++i) *normalized += stack[i] + "/";
    if (normalized->empty())
        *normalized = ".";
    else
        normalized->pop_back();
    return true;
}

// Writes the entry's data into `fd`, then its exact mode (the process's umask does not
// apply, as with the command-line unzip) and time; closes `fd`.
DataStatus Unzipper::WriteData(const CentralEntry& e, std::string_view name, int fd, mode_t perms,
                               time_t mtime, bool* ok) {
    DataStatus s = ReadEntry(e, name, [&](const char* data, size_t length) {
        while (length > 0) {
            ssize_t n = write(fd, data, length);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            length -= static_cast<size_t>(n);
        }
        return true;
    });
    struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    *ok = s == DataStatus::kOk && fchmod(fd, perms) == 0 && futimens(fd, times) == 0;
    if (close(fd) != 0) *ok = false;
    return s;
}

void Unzipper::ExtractFile(const CentralEntry& e, std::string_view name,
                           const std::vector<std::string>& parts) {
    int dirFd = -1;
    Walk walk = FileFolder(parts, &dirFd);
    if (walk == Walk::kUnsafe) {
        Error("   skipping: " + Shown(parts) + "  leads outside the extraction folder\n");
        Report(PK_WARN);
        return;
    }
    if (walk == Walk::kFailed) {
        Error("error: cannot create folder for " + Shown(parts) + "\n");
        Report(PK_DISK);
        return;
    }
    const std::string& leaf = parts.back();
    time_t mtime = e.ModTime();
    uint32_t mode = 0;
    const mode_t perms = e.UnixMode(&mode) ? static_cast<mode_t>(mode & 0777) : 0644;

    // Most files are new: the final name is made at once (never following anything that is
    // there) and removed again when the entry fails. Freshening needs an existing file.
    if (!e.IsSymlink() && !opt_.nfflag) {
        int fd = openat(dirFd, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        perms);
        if (fd >= 0) {
            bool ok = false;
            DataStatus s = WriteData(e, name, fd, perms, mtime, &ok);
            if (!ok) {
                unlinkat(dirFd, leaf.c_str(), 0);
                if (ReportData(s, name)) {
                    Error("error: cannot write " + Shown(parts) + "\n");
                    Report(PK_DISK);
                }
            } else {
                Info((e.method == 0 ? " extracting: " : "  inflating: ") + Shown(parts) + "\n");
            }
            return;
        }
        if (errno != EEXIST) {
            Error("error: cannot create " + Shown(parts) + "\n");
            Report(PK_DISK);
            return;
        }
    }

    const std::string shown = Shown(parts);
    struct stat existing {};
    bool exists = fstatat(dirFd, leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (!ShouldWrite(shown, exists, existing, mtime)) return;
    if (exists && S_ISDIR(existing.st_mode)) {
        Error("error: a folder is in the way of " + shown + "\n");
        Report(PK_DISK);
        return;
    }

    // A temporary name next to the final one, so the rename stays on one file system.
    std::string temp;
    auto makeTempName = [&] {
        temp = "." + leaf.substr(0, std::min<size_t>(leaf.size(), 200)) + ".tv" + tempBase_ +
               std::to_string(++tempCounter_);
    };

    if (e.IsSymlink()) {
        std::string target;
        DataStatus s = ReadEntry(e, name, [&](const char* data, size_t length) {
            target.append(data, length);
            return target.size() <= PATH_MAX;
        });
        std::string normalized;
        if (s == DataStatus::kSinkFailed ||
            (s == DataStatus::kOk && !SafeLinkTarget(dirFd, target, &normalized))) {
            Error("   skipping: " + shown + "  link leads outside the extraction folder\n");
            Report(PK_WARN);
        } else if (ReportData(s, name)) {
            bool made = false;
            for (int attempt = 0; attempt < 100 && !made; ++attempt) {
                makeTempName();
                if (symlinkat(normalized.c_str(), dirFd, temp.c_str()) == 0)
                    made = true;
                else if (errno != EEXIST)
                    break;
            }
            if (!made || renameat(dirFd, temp.c_str(), dirFd, leaf.c_str()) != 0) {
                if (made) unlinkat(dirFd, temp.c_str(), 0);
                Error("error: cannot create link " + shown + "\n");
                Report(PK_DISK);
            } else {
                struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
                utimensat(dirFd, leaf.c_str(), times, AT_SYMLINK_NOFOLLOW);
                Info("    linking: " + shown + " -> " + normalized + "\n");
            }
        }
        return;
    }

    // An existing file is replaced only once the new one is complete: an existing link is
    // replaced rather than followed, and a failed entry leaves the old file alone.
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        makeTempName();
        fd =
            openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        Error("error: cannot create " + shown + "\n");
        Report(PK_DISK);
        return;
    }
    bool ok = false;
    DataStatus s = WriteData(e, name, fd, perms, mtime, &ok);
    if (ok && renameat(dirFd, temp.c_str(), dirFd, leaf.c_str()) != 0) ok = false;
    if (!ok) {
        unlinkat(dirFd, temp.c_str(), 0);
        if (ReportData(s, name)) {
            Error("error: cannot write " + shown + "\n");
            Report(PK_DISK);
        }
    } else {
        Info((e.method == 0 ? " extracting: " : "  inflating: ") + shown + "\n");
    }
}

}  // namespace

IZ_EXPORT int Wiz_SingleEntryUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv, LPDCL dcl,
                                   LPUSERFUNCTIONS uf) {
    if (!dcl || !uf || !dcl->lpszZipFN || !*dcl->lpszZipFN || ifnc < 0 || xfnc < 0) return PK_PARAM;
    uf->TotalSizeComp = 0;
    uf->TotalSize = 0;
    uf->CompFactor = 0;
    uf->NumMembers = 0;
    uf->cchComment = 0;
    try {
        Unzipper unzipper(*dcl, *uf);
        return unzipper.Run(ifnc, ifnv, xfnc, xfnv);
    } catch (const std::bad_alloc&) {
        return PK_MEM;
    } catch (...) {
        return PK_ERR;
    }
}
