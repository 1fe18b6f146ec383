// The zip library: adds, updates, freshens and deletes archive entries through libzip.
//
// All writing happens in zip_close, which builds the new archive in a temporary file beside
// the old one and renames it over it; on any failure the changes are discarded, so the old
// archive stays byte-identical and no temporary file is left behind. With a temporary
// folder the same is done on a copy there, which is then moved over the original.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "LibzipLoader.h"
#include "ZipNames.h"
#include "infozip_api.h"

#define IZ_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Options and callbacks stay from one call to the next, as the interface wants.
struct Settings {
    Settings() {
        std::memset(&options, 0, sizeof options);
        std::memset(&functions, 0, sizeof functions);
        // The engine starts as the zip options dialog starts: bare names, level 6.
        options.fJunkDir = -1;
        options.fLevel = '6';
    }
    std::mutex lock;
    ZPOPT options;
    std::string date, root, temp;
    ZIPUSERFUNCTIONS functions;
};

Settings& Global() {
    static Settings settings;
    return settings;
}

std::string Trim(const char* text) {
    std::string s = text ? text : "";
    size_t begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    size_t end = s.find_last_not_of(" \t");
    return s.substr(begin, end - begin + 1);
}

std::string Dirname(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string Basename(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates a new empty file "<dir>/<prefix><random>"; -1 on failure.
int MakeTempFile(const std::string& dir, const std::string& prefix, std::string* path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        *path = dir + "/" + prefix + izcommon::RandomToken(6);
        int fd = open(path->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool CopyInto(const std::string& from, int to) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        ssize_t n = read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(to, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) break;
    }
    close(in);
    return ok;
}

ulg Saturate(off_t value) {
    return value > 0xffffffff ? 0xffffffffu : static_cast<ulg>(value < 0 ? 0 : value);
}

class Archiver {
  public:
    Archiver(const ZPOPT& options, const ZIPUSERFUNCTIONS& functions, std::string date,
             std::string root, std::string temp)
        : opt_(options),
          fn_(functions),
          date_(std::move(date)),
          root_(std::move(root)),
          tempDir_(std::move(temp)) {}
    ~Archiver() {
        if (za_) izcommon::Libzip()->zip_discard(za_);
        if (!tempCopy_.empty()) unlink(tempCopy_.c_str());
        if (!tempFolder_.empty()) rmdir(tempFolder_.c_str());
    }

    int Run(const ZCL& names);

  private:
    struct Candidate {
        std::string path;   // where the file is read from
        std::string entry;  // its name in the archive ("dir/" for folders)
        struct stat st;
        bool isDir;
    };

    void Info(const std::string& text) {
        if (!opt_.fQuiet) Print(text);
    }
    void Warn(const std::string& text) { Print("zip warning: " + text + "\n"); }
    void Print(const std::string& text) {
        if (!fn_.print) return;
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\0');
        fn_.print(buffer.data(), static_cast<ulg>(text.size()));
    }

    std::string Resolve(const std::string& given) const {
        if (root_.empty() || given.empty() || given[0] == '/') return given;
        return root_ + "/" + given;
    }

    int OpenArchive();
    void Gather(const std::string& given);
    std::vector<std::string> Expand(const std::string& given);
    void AddNamed(const std::string& given, const struct stat& st);
    void Recurse(const std::string& given, const struct stat& st);
    void AddFile(const std::string& given, const struct stat& st);
    void AddFolderEntry(const std::string& given, const struct stat& st);
    bool IsArchiveItself(const struct stat& st) const;
    int Apply();
    int DeleteEntries(const ZCL& names);
    void AskComment();
    int Finish();
    int CloseError();
    int MoveIntoPlace();
    void SetLatestTime();
    void RemoveSources();

    ZPOPT opt_;
    ZIPUSERFUNCTIONS fn_;
    std::string date_, root_, tempDir_;
    int level_ = 6;
    time_t dateLimit_ = 0;
    std::string archive_;
    bool exists_ = false;
    struct stat archiveStat_ {};
    std::string tempFolder_, tempCopy_;
    struct stat tempStat_ {};
    zip_t* za_ = nullptr;
    std::unordered_map<std::string, zip_uint64_t> entries_;  // case-folded name -> index
    std::unordered_set<std::string> seen_;                   // case-folded names gathered
    std::vector<Candidate> candidates_;
    std::vector<std::string> movedFiles_, movedFolders_, namedFolders_;
    bool changed_ = false;
    bool openFailed_ = false;
};

int Archiver::Run(const ZCL& names) {
    archive_ = Trim(names.lpszZipFN);
    if (archive_.empty()) return ZE_NAME;
    level_ = (opt_.fLevel >= '0' && opt_.fLevel <= '9') ? opt_.fLevel - '0' : 6;
    if ((opt_.fIncludeDate || opt_.fExcludeDate) &&
        !izcommon::ParseDateOption(date_.c_str(), &dateLimit_)) {
        Warn("invalid date: " + date_);
        return ZE_PARMS;
    }
    int argc = names.FNV ? std::max(names.argc, 0) : 0;

    if (stat(archive_.c_str(), &archiveStat_) == 0) {
        if (!S_ISREG(archiveStat_.st_mode)) {
            Warn("not a regular file: " + archive_);
            return ZE_CREAT;
        }
        exists_ = true;
    } else if (errno != ENOENT || !IsFolder(Dirname(archive_))) {
        Warn("cannot create " + archive_);
        return ZE_CREAT;
    }
    if (!exists_ && (opt_.fDeleteEntries || opt_.fFreshen || argc == 0)) return ZE_NONE;

    if (int error = OpenArchive(); error != ZE_OK) return error;
    if (opt_.fDeleteEntries) {
        if (int error = DeleteEntries(names); error != ZE_OK) return error;
    } else {
        for (int i = 0; i < argc; ++i)
            if (names.FNV[i] && *names.FNV[i]) Gather(names.FNV[i]);
        if (int error = Apply(); error != ZE_OK) return error;
    }
    if (opt_.fComment && (changed_ || exists_)) AskComment();
    if (!changed_) {
        if (argc == 0 && exists_ && opt_.fLatestTime) {
            SetLatestTime();
            return ZE_OK;
        }
        return openFailed_ ? ZE_OPEN : ZE_NONE;
    }
    return Finish();
}

int Archiver::OpenArchive() {
    std::string work = archive_;
    if (!tempDir_.empty() && IsFolder(tempDir_)) {
        // A private folder there holds the copy, so its name cannot clash with anything.
        std::string pattern = tempDir_ + "/tvzXXXXXX";
        if (!mkdtemp(pattern.data())) {
            Warn("cannot create a temporary file in " + tempDir_);
            return ZE_TEMP;
        }
        tempFolder_ = pattern;
        tempCopy_ = tempFolder_ + "/" + Basename(archive_);
        if (exists_) {
            int fd = open(tempCopy_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            bool ok = fd >= 0 && CopyInto(archive_, fd) && fstat(fd, &tempStat_) == 0;
            if (fd >= 0 && close(fd) != 0) ok = false;
            if (!ok) {
                Warn("cannot copy " + archive_ + " to " + tempDir_);
                return ZE_TEMP;
            }
        }
        work = tempCopy_;
    }
    int error = 0;
    // An empty file holds nothing to lose: it becomes a new archive, as with a missing one.
    bool fresh = !exists_ || archiveStat_.st_size == 0;
    za_ = izcommon::Libzip()->zip_open(work.c_str(), fresh ? ZIP_CREATE | ZIP_TRUNCATE : 0, &error);
    if (za_) return ZE_OK;
    switch (error) {
        case ZIP_ER_MEMORY:
            return ZE_MEM;
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
        case ZIP_ER_SEEK:
            Warn("cannot open " + archive_);
            return ZE_CREAT;
        default:
            Warn(archive_ + " is not a zip archive or is damaged");
            return ZE_FORM;
    }
}

bool Archiver::IsArchiveItself(const struct stat& st) const {
    return (exists_ && st.st_dev == archiveStat_.st_dev && st.st_ino == archiveStat_.st_ino) ||
           (!tempCopy_.empty() && exists_ && st.st_dev == tempStat_.st_dev &&
            st.st_ino == tempStat_.st_ino);
}

void Archiver::Gather(const std::string& given) {
    std::string path = Resolve(given);
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        AddNamed(given, st);
        return;
    }
    if (lstat(path.c_str(), &st) == 0) {  // a link to nothing
        Warn("could not open for reading: " + given);
        openFailed_ = true;
        return;
    }
    if (izcommon::HasWildcards(given)) {
        std::vector<std::string> matches = Expand(given);
        for (const std::string& match : matches)
            if (stat(Resolve(match).c_str(), &st) == 0) AddNamed(match, st);
        if (!matches.empty()) return;
    }
    Warn("name not matched: " + given);
}

// Expands wildcards component by component against the folders' contents, without regard
// to case. Hidden names match only a pattern that starts with '.', or with fSystem.
std::vector<std::string> Archiver::Expand(const std::string& given) {
    std::vector<std::string> current{given[0] == '/' ? "/" : ""};
    auto join = [](const std::string& prefix, const std::string& name) {
        if (prefix.empty()) return name;
        return prefix == "/" ? "/" + name : prefix + "/" + name;
    };
    size_t start = 0;
    while (start <= given.size() && !current.empty()) {
        size_t end = given.find('/', start);
        if (end == std::string::npos) end = given.size();
        std::string part = given.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        std::vector<std::string> next;
        for (const std::string& prefix : current) {
            if (!izcommon::HasWildcards(part)) {
                next.push_back(join(prefix, part));
                continue;
            }
            std::string folder = Resolve(prefix.empty() ? "." : prefix);
            DIR* dir = opendir(folder.c_str());
            if (!dir) continue;
            std::vector<std::string> found;
            while (dirent* d = readdir(dir)) {
                std::string name = d->d_name;
                if (name == "." || name == "..") continue;
                if (name[0] == '.' && part[0] != '.' && !opt_.fSystem) continue;
                if (izcommon::WildMatch(part, name, true)) found.push_back(name);
            }
            closedir(dir);
            std::sort(found.begin(), found.end());
            for (const std::string& name : found) next.push_back(join(prefix, name));
        }
        current.swap(next);
    }
    return current;
}

void Archiver::AddNamed(const std::string& given, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) {
        if (opt_.fRecurse) {
            Recurse(given, st);
        } else {
            AddFolderEntry(given, st);
            namedFolders_.push_back(Resolve(given));
        }
    } else if (S_ISREG(st.st_mode)) {
        AddFile(given, st);
    } else {
        Warn("skipping special file: " + given);
    }
}

void Archiver::Recurse(const std::string& given, const struct stat& st) {
    std::string path = Resolve(given);
    AddFolderEntry(given, st);
    movedFolders_.push_back(path);
    DIR* dir = opendir(path.c_str());
    if (!dir) {
        Warn("could not open folder: " + given);
        openFailed_ = true;
        return;
    }
    std::vector<std::string> names;
    while (dirent* d = readdir(dir)) {
        std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        if (name[0] == '.' && !opt_.fSystem) continue;
        names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        std::string child =
            given.empty() || given.back() == '/' ? given + name : given + "/" + name;
        std::string childPath = Resolve(child);
        struct stat cst;
        if (lstat(childPath.c_str(), &cst) != 0) continue;
        if (S_ISLNK(cst.st_mode)) {
            // Linked files are stored as their content; linked folders are not followed,
            // which keeps the walk free of loops.
            if (stat(childPath.c_str(), &cst) != 0) {
                Warn("link to nothing: " + child);
                continue;
            }
            if (S_ISREG(cst.st_mode)) AddFile(child, cst);
            continue;
        }
        if (S_ISDIR(cst.st_mode))
            Recurse(child, cst);
        else if (S_ISREG(cst.st_mode))
            AddFile(child, cst);
        else if (opt_.fSystem)
            Warn("skipping special file: " + child);
    }
}

void Archiver::AddFolderEntry(const std::string& given, const struct stat& st) {
    if (opt_.fJunkDir || opt_.fNoDirEntries) return;
    std::string entry = izcommon::EntryNameFromPath(given, false);
    if (entry.empty()) return;
    entry += '/';
    if (!seen_.insert(izcommon::AsciiFold(entry)).second) return;
    candidates_.push_back({Resolve(given), entry, st, true});
}

void Archiver::AddFile(const std::string& given, const struct stat& st) {
    if (IsArchiveItself(st)) return;
    std::string entry = izcommon::EntryNameFromPath(given, opt_.fJunkDir != 0);
    if (entry.empty()) {
        Warn("no usable entry name for " + given);
        return;
    }
    if (opt_.fIncludeDate && st.st_mtime < dateLimit_) return;
    if (opt_.fExcludeDate && st.st_mtime >= dateLimit_) return;
    std::string key = izcommon::AsciiFold(entry);
    if (seen_.count(key)) return;
    std::string path = Resolve(given);
    // Check now that the file can be read, so writing the archive cannot fail on it later.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Warn("could not open for reading: " + given);
        openFailed_ = true;
        return;
    }
    close(fd);
    seen_.insert(key);
    candidates_.push_back({path, entry, st, false});
}

int Archiver::Apply() {
    zip_int64_t count = izcommon::Libzip()->zip_get_num_entries(za_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = izcommon::Libzip()->zip_get_name(za_, static_cast<zip_uint64_t>(i), 0);
        if (name) entries_.emplace(izcommon::AsciiFold(name), static_cast<zip_uint64_t>(i));
    }
    for (const Candidate& c : candidates_) {
        auto found = entries_.find(izcommon::AsciiFold(c.entry));
        bool present = found != entries_.end();
        if (c.isDir) {
            if (present || opt_.fFreshen) continue;
        } else if (opt_.fFreshen || opt_.fUpdate) {
            if (opt_.fFreshen && !present) continue;
            if (present) {
                zip_stat_t zs;
                if (izcommon::Libzip()->zip_stat_index(za_, found->second, 0, &zs) == 0 &&
                    (zs.valid & ZIP_STAT_MTIME) &&
                    izcommon::UnixToDos(c.st.st_mtime) <= izcommon::UnixToDos(zs.mtime))
                    continue;
            }
        }
        if (fn_.ServiceApplication &&
            fn_.ServiceApplication(c.entry.c_str(), c.isDir ? 0 : Saturate(c.st.st_size)) != 0) {
            Warn("stopped on request");
            return ZE_ABORT;
        }

        zip_int64_t index;
        if (c.isDir) {
            index = izcommon::Libzip()->zip_dir_add(za_, c.entry.c_str(), ZIP_FL_ENC_GUESS);
        } else {
            zip_source_t* source = izcommon::Libzip()->zip_source_file(za_, c.path.c_str(), 0, -1);
            if (!source) {
                Warn("could not open for reading: " + c.path);
                openFailed_ = true;
                continue;
            }
            if (present) {
                index = static_cast<zip_int64_t>(found->second);
                if (izcommon::Libzip()->zip_file_replace(za_, found->second, source, 0) != 0) {
                    izcommon::Libzip()->zip_source_free(source);
                    index = -1;
                } else {
                    const char* old = izcommon::Libzip()->zip_get_name(za_, found->second, 0);
                    if (old && c.entry != old)
                        izcommon::Libzip()->zip_file_rename(za_, found->second, c.entry.c_str(),
                                                            ZIP_FL_ENC_GUESS);
                    // Extra fields of the old entry (timestamps, owners) describe the old file.
                    izcommon::Libzip()->zip_file_extra_field_delete(
                        za_, found->second, ZIP_EXTRA_FIELD_ALL, ZIP_FL_CENTRAL | ZIP_FL_LOCAL);
                }
            } else {
                index = izcommon::Libzip()->zip_file_add(za_, c.entry.c_str(), source,
                                                         ZIP_FL_ENC_GUESS | ZIP_FL_OVERWRITE);
                if (index < 0) izcommon::Libzip()->zip_source_free(source);
            }
        }
        if (index < 0) {
            Warn(std::string("cannot add ") + c.entry + ": " +
                 izcommon::Libzip()->zip_strerror(za_));
            return ZE_LOGIC;
        }
        auto idx = static_cast<zip_uint64_t>(index);
        entries_[izcommon::AsciiFold(c.entry)] = idx;
        if (!c.isDir)
            izcommon::Libzip()->zip_set_file_compression(
                za_, idx, level_ == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                static_cast<zip_uint32_t>(level_));
        izcommon::Libzip()->zip_file_set_mtime(za_, idx, c.st.st_mtime, 0);
        zip_uint32_t dosAttrs = (c.isDir ? 0x10 : 0) | ((c.st.st_mode & S_IWUSR) ? 0 : 0x01);
        if (opt_.fExtra)
            izcommon::Libzip()->zip_file_set_external_attributes(za_, idx, 0, ZIP_OPSYS_DOS,
                                                                 dosAttrs);
        else
            izcommon::Libzip()->zip_file_set_external_attributes(
                za_, idx, 0, ZIP_OPSYS_UNIX,
                (static_cast<zip_uint32_t>(c.st.st_mode & 0xffff) << 16) | dosAttrs);
        Info((present ? "updating: " : "  adding: ") + c.entry + "\n");
        changed_ = true;
        if (!c.isDir) movedFiles_.push_back(c.path);
    }
    return ZE_OK;
}

int Archiver::DeleteEntries(const ZCL& names) {
    std::vector<std::string> patterns;
    for (int i = 0; names.FNV && i < names.argc; ++i)
        if (names.FNV[i] && *names.FNV[i]) patterns.emplace_back(names.FNV[i]);
    zip_int64_t count = izcommon::Libzip()->zip_get_num_entries(za_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = izcommon::Libzip()->zip_get_name(za_, static_cast<zip_uint64_t>(i), 0);
        if (!name) continue;
        bool match = std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) {
            return izcommon::WildMatch(p, name, true);
        });
        if (!match) continue;
        std::string shown = name;
        if (izcommon::Libzip()->zip_delete(za_, static_cast<zip_uint64_t>(i)) != 0) return ZE_LOGIC;
        Info("deleting: " + shown + "\n");
        changed_ = true;
    }
    return ZE_OK;
}

void Archiver::AskComment() {
    if (!fn_.comment) return;
    int length = 0;
    const char* current = izcommon::Libzip()->zip_get_archive_comment(za_, &length, 0);
    std::vector<char> buffer(0x10000, '\0');
    if (current && length > 0)
        std::memcpy(buffer.data(), current, std::min<size_t>(length, buffer.size() - 1));
    std::string before(buffer.data());
    const char* answer = fn_.comment(buffer.data());
    if (!answer) return;
    std::string text(answer, strnlen(answer, 0xffff));
    if (text == before) return;
    if (izcommon::Libzip()->zip_set_archive_comment(za_, text.c_str(),
                                                    static_cast<zip_uint16_t>(text.size())) == 0)
        changed_ = true;
}

int Archiver::CloseError() {
    zip_error_t* error = izcommon::Libzip()->zip_get_error(za_);
    int code = izcommon::Libzip()->zip_error_code_zip(error);
    Print(std::string("zip error: ") + izcommon::Libzip()->zip_error_strerror(error) + "\n");
    switch (code) {
        case ZIP_ER_TMPOPEN:
            return exists_ ? ZE_TEMP : ZE_CREAT;
        case ZIP_ER_OPEN:
            return ZE_OPEN;
        case ZIP_ER_READ:
        case ZIP_ER_CHANGED:
            return ZE_READ;
        case ZIP_ER_MEMORY:
            return ZE_MEM;
        // Copying the old entries fails this way on a damaged archive.
        case ZIP_ER_INVAL:
        case ZIP_ER_SEEK:
        case ZIP_ER_NOZIP:
        case ZIP_ER_INCONS:
        case ZIP_ER_CRC:
        case ZIP_ER_EOF:
        case ZIP_ER_COMPRESSED_DATA:
            return ZE_FORM;
        default:
            return ZE_WRITE;
    }
}

int Archiver::Finish() {
    if (izcommon::Libzip()->zip_close(za_) != 0)
        return CloseError();  // the destructor discards the changes
    za_ = nullptr;
    if (!tempCopy_.empty()) {
        if (int error = MoveIntoPlace(); error != ZE_OK) return error;
    }
    if (opt_.fLatestTime) SetLatestTime();
    if (opt_.fMove) RemoveSources();
    return openFailed_ ? ZE_OPEN : ZE_OK;
}

// Moves the archive built in the temporary folder over the original.
int Archiver::MoveIntoPlace() {
    struct stat st;
    if (stat(tempCopy_.c_str(), &st) != 0) {
        // libzip removes an archive left without entries.
        if (exists_) unlink(archive_.c_str());
        tempCopy_.clear();
        return ZE_OK;
    }
    mode_t mode = exists_ ? (archiveStat_.st_mode & 07777) : (0666 & ~izcommon::CurrentUmask());
    chmod(tempCopy_.c_str(), mode);
    if (rename(tempCopy_.c_str(), archive_.c_str()) == 0) {
        tempCopy_.clear();
        return ZE_OK;
    }
    if (errno != EXDEV) {
        Warn("cannot replace " + archive_);
        return ZE_WRITE;
    }
    // Another file system: copy beside the archive first, so the last step is a rename.
    std::string beside;
    int fd = MakeTempFile(Dirname(archive_), "." + Basename(archive_) + ".tv", &beside);
    if (fd < 0) {
        Warn("cannot create a temporary file beside " + archive_);
        return ZE_TEMP;
    }
    bool ok = CopyInto(tempCopy_, fd) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    if (close(fd) != 0) ok = false;
    if (!ok || rename(beside.c_str(), archive_.c_str()) != 0) {
        unlink(beside.c_str());
        Warn("cannot replace " + archive_);
        return ZE_WRITE;
    }
    return ZE_OK;  // the destructor removes the copy in the temporary folder
}

void Archiver::SetLatestTime() {
    int error = 0;
    zip_t* za = izcommon::Libzip()->zip_open(archive_.c_str(), ZIP_RDONLY, &error);
    if (!za) return;
    time_t latest = 0;
    bool any = false;
    zip_int64_t count = izcommon::Libzip()->zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t zs;
        if (izcommon::Libzip()->zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &zs) == 0 &&
            (zs.valid & ZIP_STAT_MTIME) && (!any || zs.mtime > latest)) {
            latest = zs.mtime;
            any = true;
        }
    }
    izcommon::Libzip()->zip_discard(za);
    if (!any) return;
    struct timespec times[2] = {{0, UTIME_OMIT}, {latest, 0}};
    utimensat(AT_FDCWD, archive_.c_str(), times, 0);
}

// Runs only after the archive was written: the files that went in, then the folders that
// were walked (or named) once they are empty.
void Archiver::RemoveSources() {
    for (const std::string& path : movedFiles_) unlink(path.c_str());
    for (auto it = movedFolders_.rbegin(); it != movedFolders_.rend(); ++it) rmdir(it->c_str());
    for (const std::string& path : namedFolders_) rmdir(path.c_str());
}

}  // namespace

IZ_EXPORT int ZpInit(LPZIPUSERFUNCTIONS functions) {
    if (!functions) return FALSE;
    Settings& s = Global();
    std::lock_guard<std::mutex> guard(s.lock);
    s.functions = *functions;
    return TRUE;
}

IZ_EXPORT BOOL ZpSetOptions(LPZPOPT options) {
    if (!options) return FALSE;
    Settings& s = Global();
    std::lock_guard<std::mutex> guard(s.lock);
    s.options = *options;
    // Keep our own copies of the strings; the caller's may go away.
    auto keep = [](const char* from, std::string& store, char*& field) {
        store = from ? from : "";
        field = from ? store.data() : nullptr;
    };
    keep(options->Date, s.date, s.options.Date);
    keep(options->szRootDir, s.root, s.options.szRootDir);
    keep(options->szTempDir, s.temp, s.options.szTempDir);
    return TRUE;
}

IZ_EXPORT ZPOPT ZpGetOptions(void) {
    Settings& s = Global();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.options;
}

IZ_EXPORT int ZpArchive(ZCL names) {
    if (!izcommon::Libzip()) return ZE_LOGIC;  // the archive writer cannot be loaded
    try {
        ZPOPT options;
        ZIPUSERFUNCTIONS functions;
        std::string date, root, temp;
        {
            Settings& s = Global();
            std::lock_guard<std::mutex> guard(s.lock);
            options = s.options;
            functions = s.functions;
            date = s.date;
            root = s.root;
            temp = s.temp;
        }
        Archiver archiver(options, functions, date, root, temp);
        return archiver.Run(names);
    } catch (const std::bad_alloc&) {
        return ZE_MEM;
    } catch (...) {
        return ZE_LOGIC;
    }
}
