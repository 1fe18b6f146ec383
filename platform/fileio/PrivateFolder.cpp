#include "platform/fileio/PrivateFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace tavrin::fileio {

namespace {

std::string PrefixOf(const std::string& kind) {
    return "tavrin-" + kind + "-";
}

// A folder is made under a hidden name and locked before it gets its visible name, so that no
// other process takes it for a stale one in between. A hidden one is left only by a process
// killed in that moment; it counts as stale once it is a minute old.
constexpr std::time_t kHiddenStaleAfter = 60;

// The folder locked for this process: held while the folder is in use.
FileHandle LockFolder(const std::string& path, bool wait) {
    FileHandle folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.IsOpen() && ::flock(folder.Get(), LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) return {};
    return folder;
}

}  // namespace

std::string PrivateFolder::SystemTemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp";
    struct stat st {};
    if (::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) base = "/tmp";
    return base;
}

void PrivateFolder::RemoveStale(const std::string& kind, const std::string& base) {
    const std::string prefix = PrefixOf(kind);
    DIR* dir = ::opendir(base.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        const bool hidden = !name.empty() && name.front() == '.';
        const std::string visible = hidden ? name.substr(1) : name;
        if (visible.size() != prefix.size() + 6 || visible.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string path = base + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        if (hidden && std::time(nullptr) - st.st_mtime < kHiddenStaleAfter) continue;
        FileHandle lock = LockFolder(path, false);
        if (!lock.IsOpen()) continue;  // in use by a running process
        std::error_code ec;
        std::filesystem::remove_all(path, ec);  // links inside are removed, never followed
    }
    ::closedir(dir);
}

PrivateFolder::PrivateFolder(const std::string& kind, const std::string& base) {
    const std::string folder = base.empty() ? SystemTemporaryFolder() : base;
    RemoveStale(kind, folder);
    std::string hidden = folder + "/." + PrefixOf(kind) + "XXXXXX";
    if (!::mkdtemp(hidden.data())) {
        error_ = "cannot create a temporary folder in " + folder + ": " + ErrorText(errno);
        return;
    }
    lock_ = LockFolder(hidden, true);
    if (!lock_.IsOpen()) {
        error_ = "cannot lock the temporary folder " + hidden + ": " + ErrorText(errno);
        ::rmdir(hidden.c_str());
        return;
    }
    // The visible name keeps the random part; where it is taken, or the file system cannot
    // rename without replacing, the folder keeps its hidden name.
    std::string visible = folder + "/" + BareNameOf(hidden).substr(1);
    path_ = ::renameat2(AT_FDCWD, hidden.c_str(), AT_FDCWD, visible.c_str(), RENAME_NOREPLACE) == 0
                ? visible
                : hidden;
}

PrivateFolder::~PrivateFolder() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace tavrin::fileio
