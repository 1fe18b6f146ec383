#include "platform/fileio/SafeReplace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

namespace tavrin::fileio {

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit on following links

std::string Hex(unsigned long long value, int digits) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%0*llx", digits, value);
    return buffer;
}

// Six letters or digits chosen at random.
std::string RandomPart() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[6];
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        unsigned long long seed = static_cast<unsigned long long>(std::time(nullptr)) ^
                                  (static_cast<unsigned long long>(::getpid()) << 20) ^
                                  reinterpret_cast<std::uintptr_t>(bytes);
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(seed >>= 5);
    }
    std::string part;
    for (unsigned char b : bytes) part += kChars[b % (sizeof kChars - 1)];
    return part;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Gives `to` the extended attributes of `from` (access lists among them). What cannot be
// copied (a security label the user may not set) is left out.
void CopyExtendedAttributes(const std::string& from, int to) {
    ssize_t size = ::llistxattr(from.c_str(), nullptr, 0);
    if (size <= 0) return;
    std::vector<char> names(static_cast<std::size_t>(size));
    size = ::llistxattr(from.c_str(), names.data(), names.size());
    if (size <= 0) return;
    std::vector<char> value;
    for (const char* name = names.data(); name < names.data() + size;
         name += std::char_traits<char>::length(name) + 1) {
        ssize_t length = ::lgetxattr(from.c_str(), name, nullptr, 0);
        if (length < 0) continue;
        value.resize(static_cast<std::size_t>(length));
        length = ::lgetxattr(from.c_str(), name, value.data(), value.size());
        if (length >= 0) ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(length), 0);
    }
}

// Opens a temporary of ours for removal or recovery: a regular file of this user that no save
// holds (every save keeps its temporary locked while it lives). A closed handle otherwise.
FileHandle OpenIdleTemporary(const std::string& path) {
    FileHandle file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!file.IsOpen() || ::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid() || ::flock(file.Get(), LOCK_EX | LOCK_NB) != 0)
        return {};
    return file;
}

// Removes the temporaries of ours for the file `bareName` in `folder` that no save holds.
void RemoveStaleTemporaries(const std::string& folder, std::string_view bareName) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const std::string start = TemporaryPrefix(bareName);
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name.substr(0, start.size()) != start ||
            !(EndsWith(name, ".tmp") || EndsWith(name, ".cpy")))
            continue;
        const std::string path = folder + "/" + std::string(name);
        if (FileHandle file = OpenIdleTemporary(path); file.IsOpen()) ::unlink(path.c_str());
    }
    ::closedir(dir);
}

// An unnamed file in `folder` where the file system and /proc allow it (nothing is left when
// the process dies), else a new file of ours named `prefix` + six random characters +
// ".tmp", in `name`. Locked, so that no other save takes it for a stale one. -1 on failure.
int CreateTemporary(const std::string& folder, const std::string& prefix, mode_t mode,
                    std::string* name) {
    name->clear();
    int fd = ::access("/proc/self/fd", X_OK) == 0
                 ? ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode)
                 : -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        *name = prefix + RandomPart() + ".tmp";
        fd = ::open(name->c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd >= 0 && ::flock(fd, LOCK_EX) != 0) {
        const int code = errno;
        if (!name->empty()) ::unlink(name->c_str());
        ::close(fd);
        errno = code;
        return -1;
    }
    if (fd < 0) name->clear();
    return fd;
}

}  // namespace

FileHandle CreateScratchFile(const std::string& folder, std::string_view forName,
                             std::string* error) {
    RemoveStaleTemporaries(folder, forName);
    std::string name;
    FileHandle file(CreateTemporary(folder, folder + "/" + TemporaryPrefix(forName), 0600, &name));
    if (!file.IsOpen()) {
        if (error) *error = "cannot create a temporary file in " + folder + ": " + ErrorText(errno);
        return file;
    }
    if (!name.empty()) ::unlink(name.c_str());  // it needs no name: it goes with its descriptor
    return file;
}

bool ResolveLinks(const std::string& path, std::string* target) {
    std::string current = path;
    for (int step = 0; step < kMaxLinks; ++step) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT) return false;
            *target = current;  // a new file, or the missing target of a link
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            *target = current;
            return true;
        }
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0) return false;
        if (static_cast<std::size_t>(n) >= link.size()) {
            errno = ENAMETOOLONG;
            return false;
        }
        link.resize(static_cast<std::size_t>(n));
        if (link.empty()) {
            errno = ENOENT;
            return false;
        }
        current = link.front() == '/' || current.find('/') == std::string::npos
                      ? link
                      : FolderOf(current) + "/" + link;
    }
    errno = ELOOP;
    return false;
}

bool MayModify(const std::string& path, Protection protection) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    if (protection == Protection::kUnlockOwnFile && st.st_uid == ::geteuid() &&
        !(st.st_mode & S_IWUSR) && ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0)
        return false;
    // As the effective user the writing will run as; root may write a file without write bits.
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

std::string TemporaryPrefix(std::string_view bareName) {
    std::uint32_t hash = 2166136261u;  // FNV-1a over the name's bytes
    for (unsigned char c : bareName) hash = (hash ^ c) * 16777619u;
    return ".tavrin-" + Hex(hash, 8) + "-";
}

SafeReplace::SafeReplace(std::string path, Protection protection)
    : path_(std::move(path)), protection_(protection) {}

SafeReplace::~SafeReplace() {
    Discard();
}

bool SafeReplace::Fail(int code, std::string text) {
    errorCode_ = code;
    error_ = text.empty() ? ErrorText(code) : std::move(text);
    return false;
}

std::string SafeReplace::JournalName(ino_t inode) const {
    return prefix_ + Hex(static_cast<unsigned long long>(inode), 1) + ".cpy";
}

bool SafeReplace::Prepare() {
    if (!ResolveLinks(path_, &target_)) return Fail(errno);
    const std::string bare = BareNameOf(target_);
    if (bare.empty() || bare == "." || bare == "..") return Fail(EISDIR);
    folder_ = FolderOf(target_);
    prefix_ = folder_ + "/" + TemporaryPrefix(bare);
    if (::lstat(target_.c_str(), &old_) == 0) {
        if (S_ISDIR(old_.st_mode)) return Fail(EISDIR);
        if (!S_ISREG(old_.st_mode)) return Fail(EINVAL, "Not a regular file");
        exists_ = true;
        if (!MayModify(target_, protection_)) return Fail(errno);
        if (!RecoverInterruptedCopy()) return false;
        ::lstat(target_.c_str(), &old_);
    } else if (errno != ENOENT) {
        return Fail(errno);
    }
    prepared_ = true;
    return true;
}

// A rewrite in place that a crash cut short left its complete new contents under the journal
// name of this file: the copy is done again, so the file is wholly new before it is read.
bool SafeReplace::RecoverInterruptedCopy() {
    const std::string journal = JournalName(old_.st_ino);
    struct stat st {};
    if (::lstat(journal.c_str(), &st) != 0) return true;
    FileHandle file = OpenIdleTemporary(journal);
    if (!file.IsOpen()) return true;  // not ours, or another save is copying it right now
    temp_ = std::move(file);
    const CopyResult result = CopyInPlace();
    temp_.Close();
    if (result != CopyResult::kDone)
        return Fail(errorCode_, "an interrupted save left the new contents in " + journal +
                                    ", which cannot be copied: " + error_);
    ::unlink(journal.c_str());
    SyncFolder(folder_);
    return true;
}

bool SafeReplace::Create(mode_t newFileMode) {
    if (!prepared_ && !Prepare()) return false;
    if (temp_.IsOpen()) return Fail(EBUSY);
    // Swept when a save really begins, not on every check whether one may.
    RemoveStaleTemporaries(folder_, BareNameOf(target_));
    // Until it is complete the new contents are the user's alone; the old mode comes at the end.
    std::string name;
    const int fd = CreateTemporary(folder_, prefix_, exists_ ? 0600 : newFileMode, &name);
    if (fd < 0)
        return Fail(errno,
                    "cannot create a temporary file in " + folder_ + ": " + ErrorText(errno));
    temp_ = FileHandle(fd);
    tempName_ = name;
    return true;
}

// Gives the temporary the name `name` (a new random one when `name` is empty).
bool SafeReplace::GiveName(const std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string wanted = name.empty() ? prefix_ + RandomPart() + ".tmp" : name;
        int result;
        if (!tempName_.empty()) {
            if (tempName_ == wanted) return true;
            result = ::rename(tempName_.c_str(), wanted.c_str());
        } else {
            result = ::linkat(temp_.Get(), "", AT_FDCWD, wanted.c_str(), AT_EMPTY_PATH);
            if (result != 0 && errno != EEXIST) {
                const std::string self = "/proc/self/fd/" + std::to_string(temp_.Get());
                result =
                    ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, wanted.c_str(), AT_SYMLINK_FOLLOW);
            }
            if (result != 0 && errno == EEXIST && !name.empty() && ::unlink(wanted.c_str()) == 0)
                continue;
        }
        if (result == 0) {
            tempName_ = wanted;
            return true;
        }
        if (errno != EEXIST || !name.empty()) break;
    }
    return Fail(errno);
}

bool SafeReplace::Commit() {
    if (!temp_.IsOpen()) return Fail(EBADF);
    if (::fsync(temp_.Get()) != 0) return Fail(errno);
    bool inPlace = false;
    if (exists_) {
        struct stat now {};
        if (::lstat(target_.c_str(), &now) == 0 && S_ISREG(now.st_mode)) old_ = now;
        inPlace = old_.st_nlink > 1;
        struct stat mine {};
        if (!inPlace && ::fstat(temp_.Get(), &mine) == 0 &&
            (mine.st_uid != old_.st_uid || mine.st_gid != old_.st_gid) &&
            ::fchown(temp_.Get(), old_.st_uid, old_.st_gid) != 0)
            inPlace = true;  // only the old file can keep its owner
        if (!inPlace) {
            if (::fchmod(temp_.Get(), old_.st_mode & 07777) != 0) return Fail(errno);
            CopyExtendedAttributes(target_, temp_.Get());
        }
    }
    if (!inPlace) {
        if (!GiveName({})) return false;
        if (::rename(tempName_.c_str(), target_.c_str()) == 0) {
            tempName_.clear();
            temp_.Close();
            SyncFolder(folder_);
            return true;
        }
        const int code = errno;
        // A folder with the sticky bit lets the user write another user's file, not replace it.
        if (!exists_ || (code != EPERM && code != EACCES)) {
            Discard();
            return Fail(code);
        }
    }
    const std::string journal = JournalName(old_.st_ino);
    if (!GiveName(journal)) {
        const int code = errorCode_;
        Discard();
        return Fail(code);
    }
    SyncFolder(folder_);
    switch (CopyInPlace()) {
        case CopyResult::kDone:
            Discard();
            SyncFolder(folder_);
            return true;
        case CopyResult::kUntouched:
            Discard();
            return false;
        case CopyResult::kPartly:
            // The journal is now the only whole copy of the new contents: it stays, and the
            // next save of the file finishes the copy.
            Fail(errorCode_, error_ + "; the new contents are in " + journal);
            tempName_.clear();
            temp_.Close();
            return false;
    }
    return false;
}

// Copies the temporary over the target, keeping the target's inode (its links, owner and
// mode).
SafeReplace::CopyResult SafeReplace::CopyInPlace() {
    FileHandle target(::open(target_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    struct stat from {};
    if (!target.IsOpen() || ::fstat(target.Get(), &st) != 0 || ::fstat(temp_.Get(), &from) != 0) {
        Fail(errno);
        return CopyResult::kUntouched;
    }
    if (st.st_dev != old_.st_dev || st.st_ino != old_.st_ino) {
        Fail(ESTALE, "the file was replaced meanwhile");
        return CopyResult::kUntouched;
    }
    // Room for the whole new contents first, so that a full disk stops the copy before it
    // begins.
    if (from.st_size > st.st_size && ::fallocate(target.Get(), 0, 0, from.st_size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        Fail(errno);
        return CopyResult::kUntouched;
    }
    errno = 0;
    if (CopyToEnd(temp_.Get(), 0, target.Get(), 0) != from.st_size ||
        ::ftruncate(target.Get(), from.st_size) != 0 || ::fsync(target.Get()) != 0 ||
        !target.Close()) {
        Fail(errno ? errno : EIO);
        return CopyResult::kPartly;
    }
    return CopyResult::kDone;
}

void SafeReplace::Discard() {
    if (!tempName_.empty()) ::unlink(tempName_.c_str());
    tempName_.clear();
    temp_.Close();
}

}  // namespace tavrin::fileio
