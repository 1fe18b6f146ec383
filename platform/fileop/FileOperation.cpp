#include "platform/fileop/FileOperation.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QString>
#include <cerrno>
#include <cstring>

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

std::vector<std::string> Children(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    return names;
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

bool IsFolder(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

}  // namespace

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

std::uint64_t TotalSize(const std::vector<std::string>& paths) {
    std::uint64_t total = 0;
    for (const std::string& path : paths) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            std::vector<std::string> inner;
            for (const std::string& name : Children(path)) inner.push_back(path + "/" + name);
            total += TotalSize(inner);
        } else if (S_ISREG(st.st_mode)) {
            total += static_cast<std::uint64_t>(st.st_size);
        }
    }
    return total;
}

FileOpResult FileOperation::Run(FileOpKind kind, const std::vector<std::string>& sources,
                                const std::vector<std::string>& destinations, unsigned flags) {
    flags_ = flags;
    yesToAll_ = (flags & kFofNoConfirmation) != 0;
    cancelled_ = false;
    done_ = 0;
    result_ = {};
    if (sources.empty()) return result_;
    FileOpProgress* progress = (flags & kFofSilent) ? nullptr : progress_;
    progress_ = progress;

    if (RefuseVolumeRoots(kind, sources)) return result_;

    if (kind == FileOpKind::Delete) {
        if (!(flags & kFofNoConfirmation) &&
            !questions_.AskDelete(DeleteQuestionTitle(sources), DeleteQuestionText(sources))) {
            result_.cancelled = true;
            return result_;
        }
        if (progress_) progress_->Begin("Deleting...", sources.size());
        for (const std::string& given : sources) {
            if (cancelled_) break;
            std::string source = WithoutSlash(given);
            struct stat st {};
            bool ok;
            if (lstat(source.c_str(), &st) != 0)
                ok = Report("Cannot delete " + source + ": " + std::strerror(errno));
            else if (flags & kFofAllowUndo)
                ok = QFile::moveToTrash(QFile::decodeName(source.c_str())) ||
                     Report("Cannot move " + source + " to the trash");
            else
                ok = RemoveTree(source, st.st_dev);
            if (ok) ++result_.done;
            Tick(source, 1);
        }
    } else if (kind == FileOpKind::Rename) {
        for (std::size_t i = 0; i < sources.size() && i < destinations.size(); ++i) {
            if (Exists(destinations[i])) {
                Report("Cannot rename " + BareName(sources[i]) + ": " + BareName(destinations[i]) +
                       " already exists");
            } else if (std::rename(sources[i].c_str(), destinations[i].c_str()) != 0) {
                Report("Cannot rename " + BareName(sources[i]) + ": " + std::strerror(errno));
            } else {
                ++result_.done;
            }
        }
    } else {
        bool move = kind == FileOpKind::Move;
        bool multi = (flags & kFofMultiDestFiles) && destinations.size() == sources.size();
        std::string folder = destinations.empty() ? std::string() : WithoutSlash(destinations[0]);
        struct stat st {};
        if (!multi && (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
            Report(std::string("Cannot ") + (move ? "move" : "copy") + ": the destination folder " +
                   folder + " does not exist");
            return result_;
        }
        if (progress_) progress_->Begin(move ? "Moving..." : "Copying...", TotalSize(sources));
        for (std::size_t i = 0; i < sources.size() && !cancelled_; ++i) {
            std::string source = WithoutSlash(sources[i]);
            std::string target =
                multi ? WithoutSlash(destinations[i]) : folder + "/" + BareName(source);
            struct stat sst {};
            if (!Exists(source, &sst)) {
                Report("Cannot find " + source);
                continue;
            }
            if (source == target) {
                Report("Cannot " + std::string(move ? "move " : "copy ") + BareName(source) +
                       ": the source and the destination are the same");
                continue;
            }
            if (S_ISDIR(sst.st_mode) && target.compare(0, source.size() + 1, source + "/") == 0) {
                Report("Cannot " + std::string(move ? "move " : "copy ") + BareName(source) +
                       ": the destination folder is inside the source folder");
                continue;
            }
            if ((flags & kFofRenameOnCollision) && Exists(target)) target = FreeName(target);
            if (CopyEntry(source, target, move)) ++result_.done;
        }
    }
    if (progress_) progress_->End();
    result_.cancelled = result_.cancelled || cancelled_;
    return result_;
}

bool FileOperation::RefuseVolumeRoots(FileOpKind kind, const std::vector<std::string>& sources) {
    // Only folders can be volume roots; the mount table is read once, and only then.
    std::vector<std::string> roots;
    bool rootsRead = false;
    for (const std::string& given : sources) {
        std::string source = WithoutSlash(given);  // what the operation works on
        if (!IsFolder(source)) continue;
        if (!rootsRead) {
            roots = mountPoints();
            rootsRead = true;
        }
        if (IsVolumeRoot(source, roots)) {
            ++result_.failures;
            questions_.ShowNotice(VolumeRootRefusal(kind, source));
            return true;
        }
    }
    return false;
}

FileOperation::Overwrite FileOperation::AskOverwrite(const std::string& target) {
    if (yesToAll_) return Overwrite::Yes;
    OverwriteAnswer answer = questions_.AskOverwrite(
        "Confirm File Replace", "This folder already contains a file called '" + BareName(target) +
                                    "'.\nDo you want to replace it?");
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

bool FileOperation::CopyEntry(const std::string& source, const std::string& target, bool move) {
    struct stat sst {
    }, tst{};
    lstat(source.c_str(), &sst);
    bool targetExists = Exists(target, &tst);
    if (S_ISDIR(sst.st_mode)) {
        if (targetExists && !S_ISDIR(tst.st_mode)) {
            Report("Cannot copy " + BareName(source) + ": a file of that name is in the way");
            return false;
        }
        // A folder moved within one file system is renamed; otherwise copied and, once whole,
        // removed.
        if (move && !targetExists && std::rename(source.c_str(), target.c_str()) == 0) {
            Tick(source, TotalSize({target}));
            return true;
        }
        return CopyTree(source, target, move);
    }
    if (targetExists) {
        if (S_ISDIR(tst.st_mode)) {
            Report("Cannot copy " + BareName(source) + ": a folder of that name is in the way");
            return false;
        }
        Overwrite answer = AskOverwrite(target);
        if (answer != Overwrite::Yes) return false;
    }
    if (move && std::rename(source.c_str(), target.c_str()) == 0) {
        Tick(source, S_ISREG(sst.st_mode) ? std::uint64_t(sst.st_size) : 0);
        return true;
    }
    if (!CopyFile(source, target)) return false;
    if (move && unlink(source.c_str()) != 0) {
        Report("Cannot remove " + source + " after copying it: " + std::strerror(errno));
        return false;
    }
    return true;
}

bool FileOperation::CopyTree(const std::string& source, const std::string& target, bool move) {
    struct stat sst {};
    lstat(source.c_str(), &sst);
    if (!Exists(target) && mkdir(target.c_str(), (sst.st_mode & 07777) | S_IRWXU) != 0) {
        Report("Cannot create the folder " + target + ": " + std::strerror(errno));
        return false;
    }
    bool whole = true;
    for (const std::string& name : Children(source)) {
        if (cancelled_) return false;
        std::string inner = source + "/" + name;
        struct stat ist {};
        if (move && lstat(inner.c_str(), &ist) == 0 && S_ISDIR(ist.st_mode) &&
            ist.st_dev != sst.st_dev) {
            // A volume mounted below a moved folder is not moved with it.
            whole = Report(VolumeRootRefusal(FileOpKind::Move, inner));
            continue;
        }
        whole = CopyEntry(inner, target + "/" + name, move) && whole;
    }
    if (cancelled_) return false;
    if (move && whole && rmdir(source.c_str()) != 0) {
        Report("Cannot remove the folder " + source + ": " + std::strerror(errno));
        return false;
    }
    return whole;
}

bool FileOperation::CopyFile(const std::string& source, const std::string& target) {
    struct stat sst {};
    if (lstat(source.c_str(), &sst) != 0)
        return Report("Cannot read " + source + ": " + std::strerror(errno));
    std::string folder = target.substr(0, target.rfind('/') + 1);
    std::string temporary = folder + "." + BareName(target) + ".tavrin-XXXXXX";
    if (S_ISLNK(sst.st_mode)) {
        // A link is copied as a link, as cp -r does.
        char buffer[4096];
        ssize_t n = readlink(source.c_str(), buffer, sizeof buffer - 1);
        if (n < 0) return Report("Cannot read " + source + ": " + std::strerror(errno));
        buffer[n] = '\0';
        unlink(target.c_str());
        if (symlink(buffer, target.c_str()) != 0)
            return Report("Cannot create " + target + ": " + std::strerror(errno));
        return true;
    }
    if (!S_ISREG(sst.st_mode))
        return Report("Cannot copy " + BareName(source) + ": it is not a regular file");
    int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Report("Cannot read " + source + ": " + std::strerror(errno));
    // A new file is written in place (and removed again if the copy fails); a file that is
    // replaced is written beside it and renamed over it, so it is never half-written.
    bool replacing = Exists(target);
    std::string written = replacing ? temporary : target;
    int out = replacing ? mkstemp(temporary.data())
                        : open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                               sst.st_mode & 07777);
    if (out < 0) {
        int e = errno;
        close(in);
        return Report("Cannot write into " + folder + ": " + std::strerror(e));
    }
    bool ok = true;
    std::string error;
    off_t left = sst.st_size;
    while (left > 0 && ok) {
        // The kernel copies; the pieces leave room for progress and cancel.
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, std::min<off_t>(left, 8 << 20), 0);
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL)) {
            char buffer[1 << 16];
            n = read(in, buffer, sizeof buffer);
            if (n > 0 && write(out, buffer, std::size_t(n)) != n) n = -1;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            error = std::strerror(errno);
        } else if (n == 0) {
            break;  // the file got shorter meanwhile
        } else {
            left -= n;
            if (!Tick(source, std::uint64_t(n))) ok = false;
        }
    }
    if (replacing) fchmod(out, sst.st_mode & 07777);
    struct timespec times[2] = {sst.st_atim, sst.st_mtim};
    futimens(out, times);
    if (close(out) != 0 && ok) {
        ok = false;
        error = std::strerror(errno);
    }
    close(in);
    if (ok && replacing && std::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        error = std::strerror(errno);
    }
    if (!ok) {
        unlink(written.c_str());
        if (!cancelled_) Report("Cannot copy " + BareName(source) + ": " + error);
    }
    return ok;
}

bool FileOperation::RemoveTree(const std::string& path, dev_t device) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
        return Report("Cannot delete " + path + ": " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) {
        // Another volume mounted below the folder is not part of it: it stays, and so does
        // the folder that holds it.
        if (st.st_dev != device) return Report(VolumeRootRefusal(FileOpKind::Delete, path));
        bool whole = true;
        for (const std::string& name : Children(path)) {
            if (cancelled_) return false;
            whole = RemoveTree(path + "/" + name, device) && whole;
        }
        // What could not go was reported; the folder that holds it stays without a word.
        if (!whole) return false;
        if (rmdir(path.c_str()) != 0)
            return Report("Cannot delete " + path + ": " + std::strerror(errno));
        return true;
    }
    if (unlink(path.c_str()) != 0)
        return Report("Cannot delete " + path + ": " + std::strerror(errno));
    return true;
}

bool FileOperation::Report(const std::string& text) {
    ++result_.failures;
    questions_.ShowMessage(kAppTitle, text, BoxIcon::Error);
    return false;
}

bool FileOperation::Tick(const std::string& name, std::uint64_t bytes) {
    done_ += bytes;
    if (progress_ && !progress_->Update(done_, name)) cancelled_ = true;
    return !cancelled_;
}

}  // namespace tavrin
