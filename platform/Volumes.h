// The mounted volumes of real file systems: what the drive boxes and the drive list show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

// Drive type codes as the drive list words them: 0 "<unknown>", 1 "<not exists>",
// 2 "Removable", 3 "Fixed", 4 "Remote", 5 "CDROM", 6 "RAM".
enum DriveType : std::uint8_t {
    kDriveUnknown = 0,
    kDriveNotExists = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdrom = 5,
    kDriveRam = 6,
};

struct Volume {
    std::string rootPath;  // always ends in "/"
    std::string displayName;
    std::string fileSystemType;
    std::string device;
    DriveType type = kDriveUnknown;
    bool ready = false;
    std::uint64_t totalBytes = 0;
    std::uint64_t freeBytes = 0;  // available to the caller
};

// The volumes in the order of their root paths. Pseudo file systems (proc, sysfs, cgroup,
// devpts, ...) and the mounts under /proc, /sys and /dev are left out; so are overlay
// mounts other than the root file system.
std::vector<Volume> MountedVolumes();

// Type code for a file system type and device (for example "nfs" → Remote).
DriveType DriveTypeOf(const std::string& fileSystemType, const std::string& device);

// Whether a file system type is a pseudo file system that the drive list leaves out.
bool IsPseudoFileSystem(const std::string& fileSystemType);

// Every mount point of the system, pseudo file systems included, as the kernel names them
// (no links in them), each ending in "/".
std::vector<std::string> MountPoints();

// Whether `path` is a folder at which a volume starts: "/" in any spelling, a folder on
// another device than its parent, or one of `mountPoints` (which also names a volume
// mounted from the same device, such as a bind mount). A link is never a volume root.
bool IsVolumeRoot(const std::string& path, const std::vector<std::string>& mountPoints);

// The root path of the volume that holds `path` (the longest root that is a prefix of it),
// or "/" when none matches.
std::string VolumeRootOf(const std::string& path, const std::vector<Volume>& volumes);

}  // namespace tavrin
