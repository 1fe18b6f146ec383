#include "platform/Volumes.h"

#include <sys/stat.h>

#include <QStorageInfo>
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <set>

#include "platform/qt/Text.h"

namespace tavrin {

namespace {

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// A block device is removable when the kernel says so for it or for its parent disk.
bool IsRemovableDevice(const std::string& device) {
    if (!StartsWith(device, "/dev/")) return false;
    std::string name = device.substr(5);
    for (int cut = 0; cut < 2 && !name.empty(); ++cut) {
        std::ifstream flag("/sys/class/block/" + name + "/removable");
        int value = 0;
        if (flag >> value) return value == 1;
        // A partition (sdb1) has no flag of its own; ask its disk (sdb).
        while (!name.empty() && std::isdigit(static_cast<unsigned char>(name.back())))
            name.pop_back();
    }
    return false;
}

}  // namespace

bool IsPseudoFileSystem(const std::string& t) {
    static const std::set<std::string> pseudo = {
        "proc",       "sysfs",       "cgroup",       "cgroup2", "devpts",
        "devtmpfs",   "mqueue",      "debugfs",      "tracefs", "securityfs",
        "pstore",     "bpf",         "configfs",     "fusectl", "hugetlbfs",
        "autofs",     "binfmt_misc", "efivarfs",     "nsfs",    "rpc_pipefs",
        "selinuxfs",  "squashfs",    "ramfs-pseudo", "nfsd",    "fuse.gvfsd-fuse",
        "fuse.portal"};
    return pseudo.count(t) > 0;
}

DriveType DriveTypeOf(const std::string& t, const std::string& device) {
    static const std::set<std::string> remote = {"nfs",   "nfs4",       "cifs",      "smb3",
                                                 "smbfs", "fuse.sshfs", "sshfs",     "9p",
                                                 "afs",   "ceph",       "glusterfs", "fuse.rclone"};
    if (remote.count(t)) return kDriveRemote;
    if (t == "iso9660" || t == "udf") return kDriveCdrom;
    if (t == "tmpfs" || t == "ramfs") return kDriveRam;
    if (StartsWith(device, "/dev/"))
        return IsRemovableDevice(device) ? kDriveRemovable : kDriveFixed;
    if (t == "ext2" || t == "ext3" || t == "ext4" || t == "xfs" || t == "btrfs" || t == "overlay" ||
        t == "zfs")
        return kDriveFixed;
    return kDriveUnknown;
}

std::vector<Volume> MountedVolumes() {
    std::vector<Volume> volumes;
    std::set<std::string> seen;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        std::string root = WithSlash(FileNameBytes(info.rootPath()));
        std::string type = info.fileSystemType().toStdString();
        if (IsPseudoFileSystem(type)) continue;
        if (StartsWith(root, "/proc/") || StartsWith(root, "/sys/") || StartsWith(root, "/dev/"))
            continue;
        if (type == "overlay" && root != "/") continue;  // container layers
        if (!seen.insert(root).second) continue;
        Volume v;
        v.rootPath = root;
        v.fileSystemType = type;
        v.device = info.device().toStdString();
        v.displayName = Utf8Bytes(info.displayName());
        v.type = DriveTypeOf(type, v.device);
        v.ready = info.isValid() && info.isReady();
        if (v.ready) {
            v.totalBytes = static_cast<std::uint64_t>(std::max<qint64>(0, info.bytesTotal()));
            v.freeBytes = static_cast<std::uint64_t>(std::max<qint64>(0, info.bytesAvailable()));
        }
        volumes.push_back(std::move(v));
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const Volume& a, const Volume& b) { return a.rootPath < b.rootPath; });
    return volumes;
}

std::vector<std::string> MountPoints() {
    std::vector<std::string> roots;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes())
        roots.push_back(WithSlash(FileNameBytes(info.rootPath())));
    return roots;
}

bool IsVolumeRoot(const std::string& path, const std::vector<std::string>& mountPoints) {
    struct stat own {
    }, parent{};
    if (lstat(path.c_str(), &own) != 0 || !S_ISDIR(own.st_mode)) return false;
    if (stat((WithSlash(path) + "..").c_str(), &parent) != 0) return false;
    if (own.st_dev != parent.st_dev || own.st_ino == parent.st_ino) return true;
    char real[PATH_MAX];
    if (!realpath(path.c_str(), real)) return false;
    std::string canonical = WithSlash(real);
    return std::find(mountPoints.begin(), mountPoints.end(), canonical) != mountPoints.end();
}

std::string VolumeRootOf(const std::string& path, const std::vector<Volume>& volumes) {
    std::string best = "/";
    std::string p = WithSlash(path);
    for (const Volume& v : volumes)
        if (StartsWith(p, v.rootPath) && v.rootPath.size() > best.size()) best = v.rootPath;
    return best;
}

}  // namespace tavrin
