// What one row of a file list holds, and the attribute and object-type sets.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tavrin {

// Attribute bits, as the file-type filter names them.
enum TFileAttr : std::uint8_t {
    ftReadOnly = 0x01,
    ftHidden = 0x02,
    ftSystem = 0x04,
    ftArchive = 0x20,
    ftNormal = 0x80,
};
// A set of TFileAttr (their bits or'ed together).
using TFileType = std::uint8_t;
inline constexpr std::uint8_t kDirectoryBit = 0x10;

enum TObjectType : std::uint8_t { otFile = 1, otDirectory = 2, otDisk = 4 };
using TObjectTypes = std::uint8_t;

// Sub-item indexes of a row.
enum SubItem {
    kSubSize = 0,
    kSubType = 1,
    kSubModified = 2,
    kSubAttributes = 3,
    kSubPath = 4,
    kSubKind = 5
};

// One row: a caption, an icon key and six sub-items (see SubItem). For a drive row the
// sub-items are the type word, total size, free space, "", the root path and "drv".
struct FileItem {
    std::string caption;
    std::string iconKey;  // "dir", "drv:<type>", or the file's type; rows of one key share an icon
    std::array<std::string, 6> sub;
    std::uint64_t size = 0;  // bytes of a file; 0 for folders and drives
    bool selected = false;

    bool IsFolderRow() const { return sub[kSubSize] == " "; }
    const std::string& Kind() const { return sub[kSubKind]; }
};

struct ColumnInfo {
    std::string caption;
    int width = 0;
    bool rightAligned = false;
};

}  // namespace tavrin
