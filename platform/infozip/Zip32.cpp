// The zip library: adds, updates, freshens and deletes archive entries through libzip.
//
// A job runs in stages: the named files are gathered (folders walked, links to folders
// followed without looping), refused as a whole when two of them would get one entry name,
// planned against the archive's entries, deflated ahead (ZipPrepare: a file that does not get
// smaller is stored), handed to libzip, and written. All writing happens in zip_close, through
// ArchiveFile: the new archive is built in a temporary file beside the old one (or in the
// temporary folder first) and takes its place as fileio::SafeReplace puts it there: a link's
// target is written, an archive the user may not write is refused, owner, group, mode and
// hard links stay, and the new archive is on disk before and after the rename. On any failure
// the changes are discarded, so the old archive stays byte-identical and no temporary file is
// left behind. An archive left without entries is kept as an empty archive, as zip keeps it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "ArchiveFile.h"
#include "LibzipLoader.h"
#include "ParallelDeflate.h"
#include "ZipNames.h"
#include "ZipPrepare.h"
#include "infozip_api.h"
#include "platform/fileio/SafeReplace.h"

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

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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
        if (za_) izcommon::Libzip()->zip_discard(za_);  // before file_, which its source uses
    }

    int Run(const ZCL& names);

  private:
    struct Candidate {
        std::string given;  // the name as the caller gave it (or as the walk found it)
        std::string path;   // where the file is read from
        std::string entry;  // its name in the archive ("dir/" for folders)
        struct stat st;
        bool isDir;
        bool viaLink;  // found inside a folder reached through a link: never moved away
    };
    // Two files that would be stored under one name.
    struct Repeat {
        std::string first, second, entry;
    };
    // A change to make in the archive.
    struct Planned {
        const Candidate* candidate;
        bool present;  // replaces an entry
        zip_uint64_t index;
        izcommon::PreparedFile prepared;
        bool skip = false;  // could not be read after all
    };
    struct FolderId {
        dev_t dev;
        ino_t ino;
    };

    void Info(const std::string& text) {
        if (!opt_.fQuiet) Print(text);
    }
    void Warn(const std::string& text) { Print("zip warning: " + text + "\n"); }
    void NothingToDo() { Print("zip error: Nothing to do! (" + archive_ + ")\n"); }
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
    void Recurse(const std::string& given, const struct stat& st, std::vector<FolderId>& path,
                 bool viaLink);
    void AddFile(const std::string& given, const struct stat& st, bool viaLink);
    void AddFolderEntry(const std::string& given, const struct stat& st);
    bool IsArchiveItself(const struct stat& st) const;
    int RefuseRepeats();
    void ReadEntries();
    int Plan(std::vector<Planned>* plan);
    int Prepare(std::vector<Planned>* plan);
    int Stage(const std::vector<Planned>& plan);
    void SetExtraFields(zip_uint64_t index, const struct stat& st);
    int DeleteEntries(const ZCL& names);
    void AskComment();
    int Finish();
    int CloseError();
    int CannotWrite(int result, const std::string& cause);
    int WriteEmptyArchive();
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
    std::unique_ptr<izcommon::ArchiveFile> file_;  // what libzip reads and writes
    zip_t* za_ = nullptr;
    std::unique_ptr<izcommon::Spool> spool_;                 // the deflated data of the job
    std::unordered_map<std::string, zip_uint64_t> entries_;  // case-folded raw name -> index
    std::unordered_map<std::string, size_t> gathered_;       // case-folded entry name -> candidate
    std::vector<Candidate> candidates_;
    std::vector<Repeat> repeats_;
    std::vector<std::string> movedFiles_, movedFolders_, namedFolders_;
    uint64_t survivors_ = 0;  // entries the archive will hold
    bool changed_ = false;
    bool openFailed_ = false;
    bool unmatched_ = false;  // a name matched no file or entry
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
        return CannotWrite(ZE_CREAT, tavrin::fileio::ErrorText(errno));
    }
    if (!exists_ && opt_.fDeleteEntries) {
        Warn(archive_ + " not found or empty");
        NothingToDo();
        return ZE_NONE;
    }
    if (!exists_ && (opt_.fFreshen || argc == 0)) return ZE_NONE;

    if (int error = OpenArchive(); error != ZE_OK) return error;
    if (opt_.fDeleteEntries) {
        if (int error = DeleteEntries(names); error != ZE_OK) return error;
    } else {
        for (int i = 0; i < argc; ++i)
            if (names.FNV[i] && *names.FNV[i]) Gather(names.FNV[i]);
        if (int error = RefuseRepeats(); error != ZE_OK) return error;
        ReadEntries();
        std::vector<Planned> plan;
        if (int error = Plan(&plan); error != ZE_OK) return error;
        if (!plan.empty() && !file_->MayWrite()) return CannotWrite(ZE_CREAT, file_->Error());
        if (int error = Prepare(&plan); error != ZE_OK) return error;
        if (int error = Stage(plan); error != ZE_OK) return error;
    }
    if (opt_.fComment && (changed_ || exists_)) AskComment();
    if (!changed_) {
        if (argc == 0 && exists_ && opt_.fLatestTime) {
            SetLatestTime();
            return ZE_OK;
        }
        if (unmatched_) NothingToDo();
        return openFailed_ ? ZE_OPEN : ZE_NONE;
    }
    return Finish();
}

int Archiver::OpenArchive() {
    file_ = std::make_unique<izcommon::ArchiveFile>(
        archive_, !tempDir_.empty() && IsFolder(tempDir_) ? tempDir_ : std::string());
    if (!file_->Open()) {
        Warn("cannot open " + archive_ + ": " + file_->Error());
        return ZE_CREAT;
    }
    const izcommon::LibzipApi& zip = *izcommon::Libzip();
    zip_error_t error;
    zip.zip_error_init(&error);
    zip_source_t* source = file_->MakeSource(&error);
    // An empty file holds nothing to lose: it becomes a new archive, as with a missing one.
    const bool fresh = !exists_ || archiveStat_.st_size == 0;
    if (source)
        za_ = zip.zip_open_from_source(source, fresh ? ZIP_CREATE | ZIP_TRUNCATE : 0, &error);
    const int code = zip.zip_error_code_zip(&error);
    zip.zip_error_fini(&error);
    if (za_) return ZE_OK;
    if (source) zip.zip_source_free(source);
    switch (code) {
        case ZIP_ER_MEMORY:
            return ZE_MEM;
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
        case ZIP_ER_SEEK:
            Warn("cannot open " + archive_ + (file_->Error().empty() ? "" : ": " + file_->Error()));
            return ZE_CREAT;
        default:
            Warn(archive_ + " is not a zip archive or is damaged");
            return ZE_FORM;
    }
}

bool Archiver::IsArchiveItself(const struct stat& st) const {
    return exists_ && st.st_dev == archiveStat_.st_dev && st.st_ino == archiveStat_.st_ino;
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
    unmatched_ = true;
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
            std::vector<FolderId> path;
            Recurse(given, st, path, false);
        } else {
            AddFolderEntry(given, st);
            namedFolders_.push_back(Resolve(given));
        }
    } else if (S_ISREG(st.st_mode)) {
        AddFile(given, st, false);
    } else {
        Warn("skipping special file: " + given);
    }
}

// Links met on the way are followed, as zip does: a linked file is stored as its content, a
// linked folder is walked. A folder that is already on the path being walked (a link back
// up the tree) is skipped, so the walk always ends.
void Archiver::Recurse(const std::string& given, const struct stat& st, std::vector<FolderId>& path,
                       bool viaLink) {
    std::string folderPath = Resolve(given);
    AddFolderEntry(given, st);
    if (!viaLink) movedFolders_.push_back(folderPath);
    DIR* dir = opendir(folderPath.c_str());
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
    path.push_back({st.st_dev, st.st_ino});
    for (const std::string& name : names) {
        std::string child =
            given.empty() || given.back() == '/' ? given + name : given + "/" + name;
        std::string childPath = Resolve(child);
        struct stat cst;
        if (lstat(childPath.c_str(), &cst) != 0) continue;
        bool isLink = S_ISLNK(cst.st_mode);
        if (isLink && stat(childPath.c_str(), &cst) != 0) {
            Warn("link to nothing: " + child);
            continue;
        }
        if (S_ISDIR(cst.st_mode)) {
            bool loop = std::any_of(path.begin(), path.end(), [&](const FolderId& f) {
                return f.dev == cst.st_dev && f.ino == cst.st_ino;
            });
            if (loop)
                Warn("skipping link loop: " + child);
            else
                Recurse(child, cst, path, viaLink || isLink);
        } else if (S_ISREG(cst.st_mode)) {
            AddFile(child, cst, viaLink);
        } else if (opt_.fSystem) {
            Warn("skipping special file: " + child);
        }
    }
    path.pop_back();
}

void Archiver::AddFolderEntry(const std::string& given, const struct stat& st) {
    if (opt_.fJunkDir || opt_.fNoDirEntries) return;
    std::string entry = izcommon::EntryNameFromPath(given, false);
    if (entry.empty()) return;
    entry += '/';
    if (!gathered_.emplace(izcommon::AsciiFold(entry), candidates_.size()).second) return;
    candidates_.push_back({given, Resolve(given), entry, st, true, false});
}

void Archiver::AddFile(const std::string& given, const struct stat& st, bool viaLink) {
    if (IsArchiveItself(st)) return;
    std::string entry = izcommon::EntryNameFromPath(given, opt_.fJunkDir != 0);
    if (entry.empty()) {
        Warn("no usable entry name for " + given);
        return;
    }
    if (opt_.fIncludeDate && st.st_mtime < dateLimit_) return;
    if (opt_.fExcludeDate && st.st_mtime >= dateLimit_) return;
    std::string path = Resolve(given);
    auto known = gathered_.find(izcommon::AsciiFold(entry));
    if (known != gathered_.end()) {
        // The same name given twice is one file; two files for one entry name (junked
        // paths, or names that differ only in case) make the job impossible.
        const Candidate& first = candidates_[known->second];
        if (first.path != path) repeats_.push_back({first.given, given, entry});
        return;
    }
    // Check now that the file can be read, so writing the archive cannot fail on it later.
    if (faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) {
        Warn("could not open for reading: " + given);
        openFailed_ = true;
        return;
    }
    gathered_.emplace(izcommon::AsciiFold(entry), candidates_.size());
    candidates_.push_back({given, path, entry, st, false, viaLink});
}

// As zip: the whole job is refused, nothing is written, and every clash is named.
int Archiver::RefuseRepeats() {
    if (repeats_.empty()) return ZE_OK;
    for (const Repeat& r : repeats_)
        Warn("  first full name: " + r.first + "\n                      second full name: " +
             r.second + "\n                     name in zip file repeated: " + r.entry +
             (opt_.fJunkDir ? "\n                     this may be a result of using -j" : ""));
    Print("zip error: Invalid command arguments (cannot repeat names in zip file)\n");
    return ZE_PARMS;
}

void Archiver::ReadEntries() {
    zip_int64_t count = izcommon::Libzip()->zip_get_num_entries(za_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        // Raw names: a name that is not UTF-8 is compared as the bytes it was stored with.
        const char* name =
            izcommon::Libzip()->zip_get_name(za_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (name) entries_.emplace(izcommon::AsciiFold(name), static_cast<zip_uint64_t>(i));
    }
    survivors_ = entries_.size();
}

// Which candidates go in: all, or with fUpdate / fFreshen only those newer than their entry.
int Archiver::Plan(std::vector<Planned>* plan) {
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
        plan->push_back({&c, present, present ? found->second : 0, {}});
    }
    return ZE_OK;
}

// The deflate stage: every file that goes in is deflated ahead, on every core; one that does
// not get smaller is stored. At level 0 everything is stored.
int Archiver::Prepare(std::vector<Planned>* plan) {
    if (level_ == 0) {
        for (Planned& p : *plan) p.prepared.stored = true;
        return ZE_OK;
    }
    std::string folder = !tempDir_.empty() && IsFolder(tempDir_) ? tempDir_ : Dirname(archive_);
    spool_ = std::make_unique<izcommon::Spool>(folder, size_t(64) << 20);
    std::vector<std::string> paths;
    std::vector<Planned*> files;
    uint64_t bytes = 0;
    for (Planned& p : *plan) {
        if (p.candidate->isDir) continue;
        paths.push_back(p.candidate->path);
        files.push_back(&p);
        bytes += static_cast<uint64_t>(std::max<off_t>(p.candidate->st.st_size, 0));
    }
    // A job of less than a piece (a description, say) is deflated without starting threads.
    const unsigned workers = bytes < (uint64_t(1) << 20) ? 0 : izcommon::DeflateWorkers();
    if (paths.empty()) return ZE_OK;
    std::vector<izcommon::PrepareResult> results;
    std::string error;
    if (izcommon::PrepareFiles(paths, level_, workers, *spool_, &results, &error) !=
        izcommon::PrepareStatus::kOk) {
        Warn(error);
        return ZE_TEMP;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (results[i].status == izcommon::PrepareStatus::kUnreadable) {
            Warn(results[i].error);
            openFailed_ = true;
            files[i]->skip = true;
        } else {
            files[i]->prepared = results[i].file;
        }
    }
    return ZE_OK;
}

// Hands the planned changes to libzip; nothing is written yet.
int Archiver::Stage(const std::vector<Planned>& plan) {
    const izcommon::LibzipApi& zip = *izcommon::Libzip();
    for (const Planned& p : plan) {
        if (p.skip) continue;
        const Candidate& c = *p.candidate;
        zip_int64_t index;
        if (c.isDir) {
            index = zip.zip_dir_add(za_, c.entry.c_str(), ZIP_FL_ENC_GUESS);
        } else {
            zip_source_t* source =
                p.prepared.stored
                    ? zip.zip_source_file(za_, c.path.c_str(), 0, -1)
                    : izcommon::PreparedSource(za_, p.prepared, *spool_, c.st.st_mtime);
            if (!source) {
                Warn("could not open for reading: " + c.path);
                openFailed_ = true;
                continue;
            }
            if (p.present) {
                index = static_cast<zip_int64_t>(p.index);
                if (zip.zip_file_replace(za_, p.index, source, 0) != 0) {
                    zip.zip_source_free(source);
                    index = -1;
                } else {
                    const char* old = zip.zip_get_name(za_, p.index, ZIP_FL_ENC_RAW);
                    if (old && c.entry != old)
                        zip.zip_file_rename(za_, p.index, c.entry.c_str(), ZIP_FL_ENC_GUESS);
                    // Extra fields of the old entry (timestamps, owners) describe the old file.
                    zip.zip_file_extra_field_delete(za_, p.index, ZIP_EXTRA_FIELD_ALL,
                                                    ZIP_FL_CENTRAL | ZIP_FL_LOCAL);
                }
            } else {
                // Valid UTF-8 is stored with the UTF-8 flag; other names as their bytes.
                index = zip.zip_file_add(za_, c.entry.c_str(), source,
                                         ZIP_FL_ENC_GUESS | ZIP_FL_OVERWRITE);
                if (index < 0) zip.zip_source_free(source);
            }
        }
        if (index < 0) {
            Warn(std::string("cannot add ") + c.entry + ": " + zip.zip_strerror(za_));
            return ZE_LOGIC;
        }
        auto idx = static_cast<zip_uint64_t>(index);
        entries_[izcommon::AsciiFold(c.entry)] = idx;
        if (!p.present) ++survivors_;
        if (!c.isDir) {
            if (p.prepared.stored)
                zip.zip_set_file_compression(za_, idx, ZIP_CM_STORE, 0);
            else
                zip.zip_set_file_compression(za_, idx, ZIP_CM_DEFLATE,
                                             static_cast<zip_uint32_t>(level_));
        }
        zip.zip_file_set_mtime(za_, idx, c.st.st_mtime, 0);
        // Made on Unix, with the file's mode, as zip makes it (also without extra fields).
        zip_uint32_t dosAttrs = (c.isDir ? 0x10 : 0) | ((c.st.st_mode & S_IWUSR) ? 0 : 0x01);
        zip.zip_file_set_external_attributes(
            za_, idx, 0, ZIP_OPSYS_UNIX,
            (static_cast<zip_uint32_t>(c.st.st_mode & 0xffff) << 16) | dosAttrs);
        if (!opt_.fExtra) SetExtraFields(idx, c.st);
        std::string how;
        if (c.isDir || p.prepared.stored)
            how = " (stored 0%)";
        else if (p.prepared.size > 0)
            how = " (deflated " +
                  std::to_string(100 - p.prepared.compSize * 100 / p.prepared.size) + "%)";
        Info((p.present ? "updating: " : "  adding: ") + c.entry + how + "\n");
        changed_ = true;
        if (!c.isDir && !c.viaLink) movedFiles_.push_back(c.path);
    }
    return ZE_OK;
}

// The extended timestamp ("UT"), as zip writes it: modification and access time in the
// local header, the modification time in the central one. Entry times are then exact to
// the second and the same in every time zone.
void Archiver::SetExtraFields(zip_uint64_t index, const struct stat& st) {
    auto fits = [](time_t t) { return t >= INT32_MIN && t <= INT32_MAX; };
    if (!fits(st.st_mtime) || !fits(st.st_atime)) return;
    auto put32 = [](uint8_t* p, time_t t) {
        uint32_t v = static_cast<uint32_t>(static_cast<int32_t>(t));
        for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    };
    uint8_t local[9] = {3};
    put32(local + 1, st.st_mtime);
    put32(local + 5, st.st_atime);
    uint8_t central[5] = {3};
    put32(central + 1, st.st_mtime);
    const izcommon::LibzipApi& zip = *izcommon::Libzip();
    zip.zip_file_extra_field_set(za_, index, 0x5455, ZIP_EXTRA_FIELD_NEW, local, sizeof local,
                                 ZIP_FL_LOCAL);
    zip.zip_file_extra_field_set(za_, index, 0x5455, ZIP_EXTRA_FIELD_NEW, central, sizeof central,
                                 ZIP_FL_CENTRAL);
}

// As zip -d: each name is first made an entry name the way an added file's name is (no
// leading "/", only the last part when paths are junked), then matched as a pattern against
// the entries. Names that match nothing are reported.
int Archiver::DeleteEntries(const ZCL& names) {
    struct Pattern {
        std::string given, entry;
        bool matched;
    };
    std::vector<Pattern> patterns;
    for (int i = 0; names.FNV && i < names.argc; ++i) {
        if (!names.FNV[i] || !*names.FNV[i]) continue;
        std::string entry = izcommon::EntryNameFromPath(names.FNV[i], opt_.fJunkDir != 0);
        if (entry.empty()) {
            Warn("no usable entry name for " + std::string(names.FNV[i]));
            continue;
        }
        patterns.push_back({names.FNV[i], entry, false});
    }
    zip_int64_t count = izcommon::Libzip()->zip_get_num_entries(za_, 0);
    survivors_ = static_cast<uint64_t>(std::max<zip_int64_t>(count, 0));
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name =
            izcommon::Libzip()->zip_get_name(za_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (!name) continue;
        bool match = false;
        for (Pattern& p : patterns) {
            if (izcommon::WildMatch(p.entry, name, true)) {
                p.matched = true;
                match = true;
            }
        }
        if (!match) continue;
        std::string shown = name;
        if (izcommon::Libzip()->zip_delete(za_, static_cast<zip_uint64_t>(i)) != 0) return ZE_LOGIC;
        Info("deleting: " + shown + "\n");
        --survivors_;
        changed_ = true;
    }
    for (const Pattern& p : patterns) {
        if (p.matched) continue;
        Warn("name not matched: " + p.given);
        unmatched_ = true;
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

// The archive cannot be written: the system's reason, then what could not be done, as zip
// says them.
int Archiver::CannotWrite(int result, const std::string& cause) {
    Print("zip I/O error: " + cause + "\n");
    Print(result == ZE_WRITE ? "zip error: Output file write failure (write error on zip file)\n"
                             : "zip error: Could not create output file (" + archive_ + ")\n");
    return result;
}

int Archiver::CloseError() {
    zip_error_t* error = izcommon::Libzip()->zip_get_error(za_);
    int code = izcommon::Libzip()->zip_error_code_zip(error);
    if (!file_->Error().empty()) {
        if (code == ZIP_ER_TMPOPEN) return CannotWrite(ZE_CREAT, file_->Error());
        if (code == ZIP_ER_WRITE) return CannotWrite(ZE_WRITE, file_->Error());
    }
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
    // Refused before anything is written, as zip refuses it.
    if (!file_->MayWrite()) return CannotWrite(ZE_CREAT, file_->Error());
    if (survivors_ == 0) {
        // libzip would remove the file; zip keeps an empty archive and says so.
        if (int error = WriteEmptyArchive(); error != ZE_OK) return error;
        Warn("zip file empty");
    } else {
        if (izcommon::Libzip()->zip_close(za_) != 0)
            return CloseError();  // the destructor discards the changes
        za_ = nullptr;
    }
    if (opt_.fLatestTime) SetLatestTime();
    if (opt_.fMove) RemoveSources();
    return openFailed_ ? ZE_OPEN : ZE_OK;
}

// An archive without entries: the 22-byte end record (and the archive's comment), put in
// place of the archive safely.
int Archiver::WriteEmptyArchive() {
    std::string record("PK\x05\x06", 4);
    record.append(16, '\0');
    int length = 0;
    const char* comment = izcommon::Libzip()->zip_get_archive_comment(za_, &length, ZIP_FL_ENC_RAW);
    if (!comment || length < 0) length = 0;
    record.push_back(static_cast<char>(length & 0xff));
    record.push_back(static_cast<char>(length >> 8));
    if (length > 0) record.append(comment, static_cast<size_t>(length));
    izcommon::Libzip()->zip_discard(za_);
    za_ = nullptr;
    tavrin::fileio::SafeReplace replace(archive_);
    if (!replace.Create() ||
        !tavrin::fileio::WriteAllAt(replace.Fd(), record.data(), record.size(), 0) ||
        !replace.Commit()) {
        return CannotWrite(
            ZE_CREAT, replace.Error().empty() ? tavrin::fileio::ErrorText(errno) : replace.Error());
    }
    return ZE_OK;
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
