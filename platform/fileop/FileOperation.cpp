#include "platform/fileop/FileOperation.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/qt/Text.h"
namespace tavrin {

namespace {

std::string BareName(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string WithoutSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool Exists(const std::string& path, struct stat* st = nullptr) {
    struct stat local {};
    return lstat(path.c_str(), st ? st : &local) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

struct Child {
    std::string name;
    unsigned char type;  // DT_DIR, DT_REG, ... or DT_UNKNOWN
};

// The entries of an open folder (the descriptor is taken over and closed). False with errno
// set when it cannot be read.
bool ReadFolder(int fd, std::vector<Child>* children) {
    DIR* dir = fdopendir(fd);
    if (!dir) {
        int e = errno;
        close(fd);
        errno = e;
        return false;
    }
    errno = 0;
    while (dirent* entry = readdir(dir)) {
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
        children->push_back({n, entry->d_type});
    }
    int e = errno;
    closedir(dir);
    errno = e;
    return e == 0;
}

bool ReadFolder(const std::string& path, std::vector<Child>* children) {
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd >= 0 && ReadFolder(fd, children);
}

// "name (2)", "name (3)", ... the first that does not exist yet.
std::string FreeName(const std::string& target) {
    std::size_t slash = target.rfind('/');
    std::string folder = target.substr(0, slash + 1), name = target.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    std::string ext = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    for (int n = 2;; ++n) {
        std::string candidate = folder + stem + " (" + std::to_string(n) + ")" + ext;
        if (!Exists(candidate)) return candidate;
    }
}

// Writes all of `data` at `offset`; false with errno set (a write that makes no progress
// is a full disk).
bool WriteAll(int fd, const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        ssize_t n = pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data += n;
        size -= std::size_t(n);
        offset += n;
    }
    return true;
}

const char* Verb(FileOpKind kind) {
    switch (kind) {
        case FileOpKind::Copy:
            return "copy";
        case FileOpKind::Move:
            return "move";
        case FileOpKind::Delete:
            return "delete";
        case FileOpKind::Rename:
            break;
    }
    return "rename";
}

// How many names the delete question lists before it only counts the rest.
constexpr std::size_t kNamesShown = 5;
// The piece copied between two looks at progress and cancel.
constexpr std::size_t kCopyPiece = 8u << 20;
constexpr std::size_t kBufferSize = 256u << 10;

}  // namespace

int ProgressPermille(const FileOpCounts& done, const FileOpCounts& total) {
    auto weight = [](const FileOpCounts& c) {
        return double(c.bytes) + double(c.entries) * double(kEntryWeight);
    };
    double whole = weight(total);
    if (whole <= 0) return 0;
    return int(std::clamp(weight(done) * 1000.0 / whole, 0.0, 1000.0));
}

std::string VolumeRootRefusal(FileOpKind kind, const std::string& root) {
    std::string verb = Verb(kind);
    std::string shown = root.empty() || root.back() != '/' ? root + "/" : root;
    return "Cannot " + verb + " '" + shown + "': it is the root of a drive.\nOpen the drive and " +
           "choose the files and folders to " + verb + ".";
}

std::string DeleteQuestionTitle(const std::vector<std::string>& sources) {
    return sources.size() == 1 ? "Confirm File Delete" : "Confirm Multiple File Delete";
}

std::string DeleteQuestionText(const std::vector<std::string>& sources) {
    if (sources.size() == 1) {
        const std::string& only = sources[0];
        if (IsFolder(only))
            return "Are you sure you want to delete the folder '" + WithoutSlash(only) +
                   "' and everything in it permanently?";
        return "Are you sure you want to delete '" + only + "' permanently?";
    }
    std::string text = "Are you sure you want to permanently delete these " +
                       std::to_string(sources.size()) + " items?\n";
    for (std::size_t i = 0; i < sources.size() && i < kNamesShown; ++i)
        text += "\n" + WithoutSlash(sources[i]) + (IsFolder(sources[i]) ? "/" : "");
    if (sources.size() > kNamesShown)
        text += "\n... and " + std::to_string(sources.size() - kNamesShown) + " more";
    return text;
}

bool IsInsideFolder(const std::string& folder, const struct stat& tree) {
    char real[PATH_MAX];
    if (!realpath(folder.c_str(), real)) return false;
    // The folder and each folder above it, up to "/", as the links resolve.
    std::string path = real;
    while (true) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && SameFile(st, tree)) return true;
        if (path == "/") return false;
        std::size_t slash = path.rfind('/');
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
}

// --- Running ---------------------------------------------------------------------------

FileOpResult FileOperation::Run(FileOpKind kind, const std::vector<std::string>& sources,
                                const std::vector<std::string>& destinations, unsigned flags) {
    flags_ = flags;
    yesToAll_ = (flags & kFofNoConfirmation) != 0;
    skipAll_ = false;
    cancelled_ = false;
    done_ = total_ = {};
    copying_.clear();
    result_ = {};
    active_ = (flags & kFofSilent) ? nullptr : progress_;
    if (sources.empty()) return result_;

    bool multi = (flags & kFofMultiDestFiles) && destinations.size() == sources.size();
    bool transfer = kind == FileOpKind::Copy || kind == FileOpKind::Move;
    std::string folder = destinations.empty() ? std::string() : WithoutSlash(destinations[0]);
    if (transfer && !multi) {
        struct stat st {};
        if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            ++result_.failures;
            questions_.ShowMessage(kAppTitle,
                                   std::string("Cannot ") + Verb(kind) +
                                       ": the destination folder " + folder + " does not exist.",
                                   BoxIcon::Error);
            return result_;
        }
    }
    if (kind == FileOpKind::Rename) {
        RunRename(sources, destinations);
        return result_;
    }

    // Nothing is asked or touched before every source has been checked.
    std::vector<Source> found;
    if (!Survey(kind, sources, multi ? std::string() : folder, &found)) return result_;
    if (kind == FileOpKind::Delete && !(flags & kFofNoConfirmation) &&
        !questions_.AskDelete(DeleteQuestionTitle(sources), DeleteQuestionText(sources))) {
        result_.cancelled = true;
        return result_;
    }

    if (active_) {
        active_->Begin(kind == FileOpKind::Delete ? "Deleting..."
                       : kind == FileOpKind::Move ? "Moving..."
                                                  : "Copying...");
    }
    lastReport_ = clock();
    // The counting is work too: the window may appear, and Cancel works, while it runs.
    bool sizes = kind != FileOpKind::Delete;
    for (Source& source : found) {
        if (cancelled_) break;
        if (source.counts.entries == 0) {
            Count(source.path, sizes, &source.counts);
        }
        total_.entries += source.counts.entries;
        total_.bytes += source.counts.bytes;
    }
    if (active_ && !cancelled_) active_->SetTotals(total_);
    if (!cancelled_) {
        if (kind == FileOpKind::Delete)
            RunDelete(found);
        else
            RunTransfer(kind == FileOpKind::Move, found,
                        multi ? destinations : std::vector<std::string>{}, folder);
    }
    if (active_) active_->End();
    result_.cancelled = result_.cancelled || cancelled_;
    return result_;
}

bool FileOperation::Survey(FileOpKind kind, const std::vector<std::string>& sources,
                           const std::string& folder, std::vector<Source>* found) {
    // Only folders can be volume roots; the mount table is read once, and only then.
    std::vector<std::string> roots;
    bool rootsRead = false;
    struct stat destination {};
    bool sameDevice = !folder.empty() && stat(folder.c_str(), &destination) == 0;
    for (const std::string& given : sources) {
        Source source;
        source.path = WithoutSlash(given);  // what the operation works on
        if (lstat(source.path.c_str(), &source.st) != 0) {
            // Reported when its turn comes, so that the others are still handled.
            source.st.st_mode = 0;
            source.counts.entries = 1;
        } else if (S_ISDIR(source.st.st_mode)) {
            if (!rootsRead) {
                roots = mountPoints();
                rootsRead = true;
            }
            if (IsVolumeRoot(source.path, roots)) {
                ++result_.failures;
                questions_.ShowNotice(VolumeRootRefusal(kind, source.path));
                return false;
            }
        }
        // A name moved within its file system is renamed: one step, whatever it holds.
        if (kind == FileOpKind::Move && sameDevice && source.st.st_dev == destination.st_dev) {
            source.counts.entries = 1;
            if (S_ISREG(source.st.st_mode)) source.counts.bytes = std::uint64_t(source.st.st_size);
        } else if (kind == FileOpKind::Delete && (flags_ & kFofAllowUndo)) {
            source.counts.entries = 1;
        }
        found->push_back(std::move(source));
    }
    return true;
}

void FileOperation::Count(const std::string& path, bool sizes, FileOpCounts* counts) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        ++counts->entries;
        return;
    }
    ++counts->entries;
    if (S_ISREG(st.st_mode)) counts->bytes += std::uint64_t(st.st_size);
    if (!S_ISDIR(st.st_mode)) return;
    // Below the top, the folder's own list says what is a folder; only the sizes need a look
    // at each file.
    std::vector<std::string> folders = {path};
    while (!folders.empty() && !cancelled_) {
        std::string folder = std::move(folders.back());
        folders.pop_back();
        int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;  // reported when its turn comes
        int keep = dup(fd);
        std::vector<Child> children;
        ReadFolder(fd, &children);
        for (const Child& child : children) {
            ++counts->entries;
            unsigned char type = child.type;
            if (type == DT_UNKNOWN || (type == DT_REG && sizes)) {
                struct stat cst {};
                if (fstatat(keep, child.name.c_str(), &cst, AT_SYMLINK_NOFOLLOW) != 0) continue;
                type = S_ISDIR(cst.st_mode) ? DT_DIR : S_ISREG(cst.st_mode) ? DT_REG : DT_LNK;
                if (type == DT_REG) counts->bytes += std::uint64_t(cst.st_size);
            }
            if (type == DT_DIR) folders.push_back(folder + "/" + child.name);
        }
        if (keep >= 0) close(keep);
        Tick(folder, 0, 0);
    }
}

void FileOperation::Grow(const FileOpCounts& more) {
    total_.entries += more.entries;
    total_.bytes += more.bytes;
    if (active_) active_->SetTotals(total_);
}

// --- Delete --------------------------------------------------------------------------------

void FileOperation::RunDelete(const std::vector<Source>& sources) {
    for (const Source& source : sources) {
        if (cancelled_) break;
        bool ok;
        if (source.st.st_mode == 0)
            ok = Report("Cannot delete " + source.path + ": " + ErrorText(ENOENT));
        else if (flags_ & kFofAllowUndo)
            ok = QFile::moveToTrash(FileNameText(source.path))
                     ? (Tick(source.path, 1, 0), true)
                     : Report("Cannot move " + source.path + " to the trash");
        else
            ok = RemoveEntry(AT_FDCWD, source.path, source.path,
                             S_ISDIR(source.st.st_mode) ? DT_DIR : DT_REG, source.st.st_dev);
        if (ok) ++result_.done;
    }
}

// Removes the entry `name` of the folder open as `parent` (`path` names it in messages),
// and everything below it. Never goes into another volume mounted below it: that volume
// stays, and so does the folder that holds it.
bool FileOperation::RemoveEntry(int parent, const std::string& name, const std::string& path,
                                unsigned char type, dev_t device) {
    if (type != DT_DIR) {
        if (unlinkat(parent, name.c_str(), 0) == 0) {
            Tick(path, 1, 0);
            return true;
        }
        // A folder the folder's list did not name as one.
        if (errno != EISDIR) return Report("Cannot delete " + path + ": " + ErrorText(errno));
    }
    int fd = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        int e = errno;
        if (fd >= 0) close(fd);
        return Report("Cannot delete " + path + ": " + ErrorText(e));
    }
    if (st.st_dev != device) {
        close(fd);
        return Report(VolumeRootRefusal(FileOpKind::Delete, path));
    }
    int keep = dup(fd);
    std::vector<Child> children;
    if (keep < 0 || !ReadFolder(fd, &children)) {
        int e = errno;
        if (keep >= 0) close(keep);
        return Report("Cannot read the folder " + path + ": " + ErrorText(e));
    }
    bool whole = true;
    for (const Child& child : children) {
        if (cancelled_) break;
        whole = RemoveEntry(keep, child.name, path + "/" + child.name, child.type, device) && whole;
    }
    close(keep);
    // What could not go was reported; the folder that holds it stays without a word.
    if (!whole || cancelled_) return false;
    if (unlinkat(parent, name.c_str(), AT_REMOVEDIR) != 0)
        return Report("Cannot delete " + path + ": " + ErrorText(errno));
    Tick(path, 1, 0);
    return true;
}

// --- Rename --------------------------------------------------------------------------------

void FileOperation::RunRename(const std::vector<std::string>& sources,
                              const std::vector<std::string>& destinations) {
    std::vector<std::string> roots = mountPoints();
    for (std::size_t i = 0; i < sources.size() && i < destinations.size() && !cancelled_; ++i) {
        if (IsVolumeRoot(WithoutSlash(sources[i]), roots)) {
            ++result_.failures;
            questions_.ShowNotice(VolumeRootRefusal(FileOpKind::Rename, WithoutSlash(sources[i])));
        } else if (Exists(destinations[i])) {
            Report("Cannot rename " + sources[i] + ": " + destinations[i] + " already exists");
        } else if (std::rename(sources[i].c_str(), destinations[i].c_str()) != 0) {
            Report("Cannot rename " + sources[i] + ": " + ErrorText(errno));
        } else {
            ++result_.done;
        }
    }
}

// --- Copy and move -------------------------------------------------------------------------

void FileOperation::RunTransfer(bool move, const std::vector<Source>& sources,
                                const std::vector<std::string>& destinations,
                                const std::string& folder) {
    const char* verb = move ? "move" : "copy";
    for (std::size_t i = 0; i < sources.size() && !cancelled_; ++i) {
        const Source& source = sources[i];
        std::string target = destinations.empty() ? folder + "/" + BareName(source.path)
                                                  : WithoutSlash(destinations[i]);
        if (source.st.st_mode == 0) {
            Report("Cannot find " + source.path);
            continue;
        }
        struct stat tst {};
        if ((flags_ & kFofRenameOnCollision) && Exists(target)) target = FreeName(target);
        if (Exists(target, &tst) && SameFile(tst, source.st)) {
            Report(std::string("Cannot ") + verb + " " + source.path + ": it is the same file as " +
                   target);
            continue;
        }
        // A folder into itself, however reached: the destination or a folder above it is the
        // source itself.
        std::string into = target.substr(0, target.rfind('/'));
        if (S_ISDIR(source.st.st_mode) && IsInsideFolder(into.empty() ? "/" : into, source.st)) {
            Report(std::string("Cannot ") + verb + " a folder into itself: " + source.path +
                   " into " + target);
            continue;
        }
        if (CopyEntry(source.path, target, move, &source.counts)) ++result_.done;
    }
}

std::string FileOperation::FileFacts(const struct stat& st) const {
    std::uint64_t size = S_ISREG(st.st_mode) ? std::uint64_t(st.st_size) : 0;
    if (describeFile) return describeFile(size, st.st_mtime);
    char when[32];
    std::tm t{};
    localtime_r(&st.st_mtime, &t);
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &t);
    return std::to_string(size) + " bytes, modified " + when;
}

FileOperation::Overwrite FileOperation::AskOverwrite(const std::string& target,
                                                     const struct stat& existing,
                                                     const struct stat& incoming) {
    if (yesToAll_) return Overwrite::Yes;
    std::string folder = target.substr(0, target.rfind('/') + 1);
    OverwriteAnswer answer = questions_.AskOverwrite(
        "Confirm File Replace",
        "The folder " + folder + "\nalready contains a file called '" + BareName(target) +
            "'.\n\nWould you like to replace the existing file\n    " + FileFacts(existing) +
            "\n\nwith this one?\n    " + FileFacts(incoming));
    switch (answer) {
        case OverwriteAnswer::YesToAll:
            yesToAll_ = true;
            return Overwrite::Yes;
        case OverwriteAnswer::Yes:
            return Overwrite::Yes;
        case OverwriteAnswer::No:
            return Overwrite::No;
        case OverwriteAnswer::Cancel:
            break;
    }
    cancelled_ = true;
    return Overwrite::Cancel;
}

bool FileOperation::CopyEntry(const std::string& source, const std::string& target, bool move,
                              const FileOpCounts* known) {
    struct stat sst {
    }, tst{};
    if (lstat(source.c_str(), &sst) != 0)
        return Report("Cannot read " + source + ": " + ErrorText(errno));
    bool targetExists = Exists(target, &tst);
    if (S_ISDIR(sst.st_mode)) {
        if (targetExists && !S_ISDIR(tst.st_mode))
            return Report("Cannot " + std::string(move ? "move " : "copy ") + source + ": a file " +
                          target + " is in the way");
        // A folder moved within one file system is renamed; otherwise copied and, once whole,
        // removed.
        if (move && !targetExists) {
            if (std::rename(source.c_str(), target.c_str()) == 0) {
                FileOpCounts moved;
                if (known)
                    moved = *known;
                else
                    Count(target, true, &moved);
                Tick(source, moved.entries, moved.bytes);
                return true;
            }
            if (errno != EXDEV) return Report("Cannot move " + source + ": " + ErrorText(errno));
        }
        if (move && known && known->entries == 1) {
            // Counted as one rename, it is handled entry by entry after all.
            FileOpCounts more;
            Count(source, true, &more);
            more.entries -= 1;
            Grow(more);
        }
        return CopyTree(source, target, move);
    }
    if (targetExists) {
        if (S_ISDIR(tst.st_mode))
            return Report("Cannot " + std::string(move ? "move " : "copy ") + source +
                          ": a folder " + target + " is in the way");
        if (AskOverwrite(target, tst, sst) != Overwrite::Yes) return false;
    }
    if (move) {
        if (std::rename(source.c_str(), target.c_str()) == 0) {
            Tick(source, 1, S_ISREG(sst.st_mode) ? std::uint64_t(sst.st_size) : 0);
            return true;
        }
        if (errno != EXDEV) return Report("Cannot move " + source + ": " + ErrorText(errno));
    }
    if (!CopyFile(source, target, sst, targetExists)) return false;
    if (move && unlink(source.c_str()) != 0)
        return Report("Cannot remove " + source + " after copying it: " + ErrorText(errno));
    return true;
}

bool FileOperation::CopyTree(const std::string& source, const std::string& target, bool move) {
    struct stat sst {};
    if (lstat(source.c_str(), &sst) != 0)
        return Report("Cannot read the folder " + source + ": " + ErrorText(errno));
    // A folder met again below itself (a volume mounted into itself) is not copied again.
    for (const auto& [dev, ino] : copying_)
        if (dev == sst.st_dev && ino == sst.st_ino)
            return Report(std::string("Cannot ") + (move ? "move" : "copy") +
                          " a folder into itself: " + source);
    std::vector<Child> children;
    if (!ReadFolder(source, &children))
        return Report("Cannot read the folder " + source + ": " + ErrorText(errno));
    bool made = !Exists(target);
    if (made && mkdir(target.c_str(), (sst.st_mode & 07777) | S_IRWXU) != 0)
        return Report("Cannot create the folder " + target + ": " + ErrorText(errno));
    copying_.push_back({sst.st_dev, sst.st_ino});
    bool whole = true;
    for (const Child& child : children) {
        if (cancelled_) break;
        std::string inner = source + "/" + child.name;
        struct stat ist {};
        if (move && child.type != DT_REG && lstat(inner.c_str(), &ist) == 0 &&
            S_ISDIR(ist.st_mode) && ist.st_dev != sst.st_dev) {
            // A volume mounted below a moved folder is not moved with it.
            whole = Report(VolumeRootRefusal(FileOpKind::Move, inner));
            continue;
        }
        whole = CopyEntry(inner, target + "/" + child.name, move) && whole;
    }
    copying_.pop_back();
    if (cancelled_) return false;
    // A folder made here gets the source's permissions once nothing more is written into it.
    if (made) chmod(target.c_str(), sst.st_mode & 07777);
    if (move && whole && rmdir(source.c_str()) != 0)
        return Report("Cannot remove the folder " + source + ": " + ErrorText(errno));
    if (whole) Tick(source, 1, 0);
    return whole;
}

bool FileOperation::CopyFile(const std::string& source, const std::string& target,
                             const struct stat& sst, bool replacing) {
    if (S_ISLNK(sst.st_mode)) {
        // A link is copied as a link, as cp -r does.
        char buffer[PATH_MAX];
        ssize_t n = readlink(source.c_str(), buffer, sizeof buffer - 1);
        if (n < 0) return Report("Cannot read " + source + ": " + ErrorText(errno));
        buffer[n] = '\0';
        if (replacing) unlink(target.c_str());
        if (symlink(buffer, target.c_str()) != 0)
            return Report("Cannot create " + target + ": " + ErrorText(errno));
        Tick(source, 1, 0);
        return true;
    }
    if (!S_ISREG(sst.st_mode))
        return Report("Cannot copy " + source + ": it is not a regular file");
    int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Report("Cannot read " + source + ": " + ErrorText(errno));
    // A new file is written in place (and removed again if the copy fails); a file that is
    // replaced is written beside it and renamed over it, so it is never half-written.
    // `written` is the name of the file this copy made, and the only one it removes.
    std::string folder = target.substr(0, target.rfind('/') + 1);
    std::string written = replacing ? folder + "." + BareName(target) + ".tavrin-XXXXXX" : target;
    int out = replacing ? mkstemp(written.data())
                        : open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                               sst.st_mode & 07777);
    if (out < 0) {
        int e = errno;
        close(in);
        return Report("Cannot write into " + folder + ": " + ErrorText(e));
    }
    int error = CopyData(in, out, sst, source);
    if (replacing && !error) fchmod(out, sst.st_mode & 07777);
    struct timespec times[2] = {sst.st_atim, sst.st_mtim};
    futimens(out, times);
    if (close(out) != 0 && !error) error = errno;
    close(in);
    if (!error && replacing && std::rename(written.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        unlink(written.c_str());
        if (error == ECANCELED) return false;
        return Report("Cannot copy " + source + "\nto " + target + ":\n" + ErrorText(error));
    }
    Tick(source, 1, 0);
    return true;
}

// Copies the bytes of `in` into `out`. The holes of a sparse file stay holes: only the
// stretches that hold data are copied. 0, an errno value, or ECANCELED when cancelled.
int FileOperation::CopyData(int in, int out, const struct stat& sst, const std::string& name) {
    off_t size = sst.st_size;
    bool sparse = off_t(sst.st_blocks) * 512 < size;
    bool kernel = true;  // copy_file_range, until the file systems say they cannot
    off_t at = 0;
    while (at < size) {
        off_t start = at, end = size;
        if (sparse) {
            start = lseek(in, at, SEEK_DATA);
            if (start < 0 && errno == ENXIO) break;  // a hole up to the end
            if (start < 0) {
                sparse = false;  // the file system cannot say where the holes are
                start = at;
            } else {
                end = lseek(in, start, SEEK_HOLE);
                if (end < 0 || end > size) end = size;
                if (start > size) break;
            }
            if (start > at && !Tick(name, 0, std::uint64_t(start - at))) return ECANCELED;
        }
        for (off_t pos = start; pos < end;) {
            std::size_t piece = std::size_t(std::min<off_t>(end - pos, off_t(kCopyPiece)));
            ssize_t n;
            if (kernel) {
                off_t from = pos, to = pos;
                n = copy_file_range(in, &from, out, &to, piece, 0);
                if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                              errno == EOPNOTSUPP || errno == EBADF)) {
                    kernel = false;
                    continue;
                }
            } else {
                if (buffer_.size() < kBufferSize) buffer_.resize(kBufferSize);
                n = pread(in, buffer_.data(), std::min(piece, buffer_.size()), pos);
                if (n > 0 && !WriteAll(out, buffer_.data(), std::size_t(n), pos)) return errno;
            }
            if (n < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            if (n == 0) {  // the file got shorter meanwhile
                size = pos;
                break;
            }
            pos += n;
            if (!Tick(name, 0, std::uint64_t(n))) return ECANCELED;
        }
        at = std::min(end, size);
    }
    // A hole at the end, or a file that ends in one: the copy gets the full length.
    if (sparse && ftruncate(out, size) != 0) return errno;
    return 0;
}

// --- Reports -------------------------------------------------------------------------------

bool FileOperation::Report(const std::string& text) {
    ++result_.failures;
    if (skipAll_ || cancelled_) return false;
    switch (questions_.AskSkip(kAppTitle, ErrorBoxText(text))) {
        case SkipAnswer::Skip:
            break;
        case SkipAnswer::SkipAll:
            skipAll_ = true;
            break;
        case SkipAnswer::Cancel:
            cancelled_ = true;
            break;
    }
    return false;
}

bool FileOperation::Tick(const std::string& name, std::uint64_t entries, std::uint64_t bytes) {
    done_.entries += entries;
    done_.bytes += bytes;
    if (!active_ || cancelled_) return !cancelled_;
    auto now = clock();
    if (now - lastReport_ < kProgressInterval) return true;
    lastReport_ = now;
    if (!active_->Update(done_, name)) cancelled_ = true;
    return !cancelled_;
}

}  // namespace tavrin
